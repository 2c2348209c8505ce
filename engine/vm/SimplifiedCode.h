#pragma once
// One instruction of compiled script code (`TSimplifiedCode`), its opcode enumeration
// (`TInstruction`), the owning instruction list, the packed forms of source positions
// and member references, and the five core constants the constant opcodes refer to.

#include <array>
#include <cstdint>
#include <memory>

#include "engine/vm/MachineProc.h"
#include "engine/vm/ScriptText.h"
#include "engine/vm/Variant.h"

namespace vorn::engine {

enum TInstruction : uint8_t {
#define VORN_INSTRUCTION(Name, Number, Handler) Name = Number,
#include "engine/vm/Instructions.def"
};

inline constexpr int InstructionCount = 83;

// The opcode's name ("inPrepare"), or "" for a number outside the table.
const char* InstructionName(TInstruction op) noexcept;

struct TSimplifiedCode;
using pSimplifiedCode = TSimplifiedCode*;

// Fields in their declaration order; the compiled image writes them one by one. The
// overlaid operand holds one of its forms per opcode (see Instructions.def users).
struct TSimplifiedCode {
    TInstruction OpCode = inPrepare;
    uint8_t vByte = 0;
    int16_t vSmallInt = 0;
    int32_t vInteger = 0;
    int32_t vInteger1 = 0;
    // Set by the machine's link step when this instruction heads a sequence it runs as
    // one step (0 for none); never stored in compiled images, which keep the opcodes.
    uint8_t Fused = 0;
    // What the interpreter loop dispatches on while nothing watches the run: Fused when
    // set, the opcode otherwise. Also set by the link step and never stored; whatever
    // patches OpCode of linked code must set it too.
    uint8_t Dispatch = inPrepare;
    ScriptText vString;
    int32_t vDebugInfo = 0;
    pSimplifiedCode Next = nullptr;
    TGenericProc Compute;
    ScriptText vString2;
    int32_t Dummy = 0;
    intptr_t vPointer = 0;
    intptr_t vPointer2 = 0;
    union {
        double vDouble;
        TGenericProc vProc;
        struct {
            int32_t vInteger2;
            int32_t vInteger3;
        };
        struct {
            intptr_t vSave1;
            intptr_t vSave2;
        };
        int64_t valueInt64;
        uint64_t valueUInt64;
    };
    // The operands of the sequence this instruction heads (see Fused), gathered by the
    // link step so that the fused step reads this one record instead of walking the
    // sequence; never stored. Which fields a sequence uses is listed with its kind.
    struct TFusedOperands {
        pSimplifiedCode Exit = nullptr;    // the first instruction after the sequence
        pSimplifiedCode Target = nullptr;  // the other way out (jump taken, or the loop test)
        int32_t A = 0, B = 0, C = 0, X = 0;  // frame slots of the operands and the result
        int32_t Low = 0, High = 0;           // the lowest and highest of the slots used
        uint8_t Op = 0, Op2 = 0;           // the operators (inner and outer), or a comparison's mask
        bool CIsSlot = false;              // the third operand is slot C, not Constant
        Variant Constant;                  // a constant operand as its script value
    } Fuse;
    // What the host procedure of a call found for this instruction the last time (say a
    // class and the method chosen on it), so that a call in a loop looks its member up
    // once. Never stored.
    const void* HostCacheKey = nullptr;
    const void* HostCacheValue = nullptr;

    explicit TSimplifiedCode(TInstruction op = inPrepare) noexcept : OpCode(op), Dispatch(op), vProc{} {}
    TSimplifiedCode(const TSimplifiedCode&) = delete;
    TSimplifiedCode& operator=(const TSimplifiedCode&) = delete;
};

static_assert(sizeof(TGenericProc) == 16, "the overlaid operand is 16 bytes");

// Owns a script's instructions. Each record is allocated on its own so that its address
// stays fixed: jump operands, breakpoints and the debugger's position point at records.
class TSimplifiedCodeList {
public:
    TSimplifiedCodeList() = default;
    TSimplifiedCodeList(const TSimplifiedCodeList&) = delete;
    TSimplifiedCodeList& operator=(const TSimplifiedCodeList&) = delete;
    ~TSimplifiedCodeList() { Clear(); }

    // Appends a zero-filled record with `op` set and links it after the last one.
    TSimplifiedCode* Append(TInstruction op);
    TSimplifiedCode* First() const noexcept { return FFirst; }
    TSimplifiedCode* Last() const noexcept { return FLast; }
    int Count() const noexcept { return FCount; }
    // The record at `index` in the walk through Next, or nullptr.
    TSimplifiedCode* At(int index) const noexcept;
    void Clear() noexcept;

private:
    TSimplifiedCode* FFirst = nullptr;
    TSimplifiedCode* FLast = nullptr;
    int FCount = 0;
};

// The machine proc stored as the generic proc it travels in (same code and object).
TGenericProc GenericProc(TMachineProc proc) noexcept;
// The generic proc of `vProc` read back as the machine proc it was stored from.
TMachineProc MachineProcOf(TGenericProc proc) noexcept;

// Packed source positions: row in bits 0 to 19, column in bits 20 to 31, both from 1.
inline constexpr int32_t MaxPackedRow = 0xFFFFF;
inline constexpr int32_t MaxPackedColumn = 0xFFF;
// Packs a 1-based row and column. Values beyond the field widths saturate at the
// largest row or column, so a long line never spills into the row bits; values below 0
// become 0 (no position).
int32_t PackSourcePosition(int64_t row, int64_t column) noexcept;

// Packed member reference of a host call before linking: kind in bits 0-1, member index
// in bits 2-16, class index in bits 17-31. The bare kind (class 0, member 0) marks a
// member left unresolved at compile time.
enum TMemberRefKind : int32_t { mrPropertyRead = 1, mrPropertyWrite = 2, mrMethod = 3 };
inline constexpr int32_t MaxPackedMemberIndex = 0x7FFF;
inline constexpr int32_t MaxPackedClassIndex = 0x7FFF;
// False when an index does not fit its 15 bits; the call is then found by name.
bool TryPackMemberReference(TMemberRefKind kind, int32_t memberIndex, int32_t classIndex,
                            int32_t& packed) noexcept;
inline int32_t PackedMemberKind(int32_t packed) noexcept { return packed & 3; }
inline int32_t PackedMemberIndex(int32_t packed) noexcept { return (packed >> 2) & 0x7FFF; }
inline int32_t PackedClassIndex(int32_t packed) noexcept {
    return static_cast<int32_t>((static_cast<uint32_t>(packed) >> 17) & 0x7FFF);
}
inline bool IsUnresolvedMemberReference(int32_t packed) noexcept {
    return packed >= mrPropertyRead && packed <= mrMethod;
}

// The core constants TRUE, FALSE, NULL, UNASSIGNED and NIL, numbered 0 to 4 as the script
// words that produce them, and the Null source of the handlers. Both stay empty until
// StartEngineValues fills them.
inline constexpr int CoreConstCount = 5;
extern std::array<Variant, CoreConstCount> CoreConst;
extern Variant NullValue;
// Fills CoreConst and NullValue; part of the engine's start-up, before any compilation.
void StartEngineValues() noexcept;
// Empties them again (engine shutdown, and tests that check the start-up).
void StopEngineValues() noexcept;

} // namespace vorn::engine

#include "engine/vm/SimplifiedCode.h"

#include <algorithm>

namespace vorn::engine {

namespace {

constexpr const char* InstructionNames[InstructionCount] = {
#define VORN_INSTRUCTION(Name, Number, Handler) #Name,
#include "engine/vm/Instructions.def"
};

} // namespace

std::array<Variant, CoreConstCount> CoreConst;
Variant NullValue;

const char* InstructionName(TInstruction op) noexcept {
    return op < InstructionCount ? InstructionNames[op] : "";
}

TSimplifiedCode* TSimplifiedCodeList::Append(TInstruction op) {
    auto* code = new TSimplifiedCode(op);
    if (FLast) FLast->Next = code;
    else FFirst = code;
    FLast = code;
    ++FCount;
    return code;
}

TSimplifiedCode* TSimplifiedCodeList::At(int index) const noexcept {
    if (index < 0) return nullptr;
    TSimplifiedCode* code = FFirst;
    for (; code && index > 0; --index) code = code->Next;
    return code;
}

void TSimplifiedCodeList::Clear() noexcept {
    // Freed by walking the chain, never recursively: lists run to many thousands.
    TSimplifiedCode* code = FFirst;
    while (code) {
        TSimplifiedCode* next = code->Next;
        delete code;
        code = next;
    }
    FFirst = FLast = nullptr;
    FCount = 0;
}

TGenericProc GenericProc(TMachineProc proc) noexcept {
    // The code address is kept as it is (through the untyped function pointer) and only
    // ever called again after MachineProcOf has restored its own type.
    return {reinterpret_cast<TGenericProc::Code>(reinterpret_cast<void (*)()>(proc.FCode)), proc.FObject};
}

TMachineProc MachineProcOf(TGenericProc proc) noexcept {
    return {reinterpret_cast<TMachineProc::Code>(reinterpret_cast<void (*)()>(proc.FCode)), proc.FObject};
}

int32_t PackSourcePosition(int64_t row, int64_t column) noexcept {
    int64_t r = std::clamp<int64_t>(row, 0, MaxPackedRow);
    int64_t c = std::clamp<int64_t>(column, 0, MaxPackedColumn);
    return static_cast<int32_t>(static_cast<uint32_t>(c << 20 | r));
}

bool TryPackMemberReference(TMemberRefKind kind, int32_t memberIndex, int32_t classIndex,
                            int32_t& packed) noexcept {
    if (memberIndex < 0 || memberIndex > MaxPackedMemberIndex) return false;
    if (classIndex < 0 || classIndex > MaxPackedClassIndex) return false;
    uint32_t value = static_cast<uint32_t>(kind & 3) | static_cast<uint32_t>(memberIndex) << 2 |
                     static_cast<uint32_t>(classIndex) << 17;
    packed = static_cast<int32_t>(value);
    return true;
}

void StartEngineValues() noexcept {
    CoreConst[0] = Variant::FromBoolean(true);
    CoreConst[1] = Variant::FromBoolean(false);
    CoreConst[2] = Variant::Null();
    CoreConst[3] = Variant();
    CoreConst[4] = Variant::FromByte(0);
    NullValue = Variant::Null();
}

void StopEngineValues() noexcept {
    for (Variant& value : CoreConst) value.Clear();
    NullValue.Clear();
}

} // namespace vorn::engine

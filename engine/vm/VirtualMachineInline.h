#pragma once
// The machine's hot paths, inline so that the interpreter loop's switch compiles them in
// place: stack access with bounds checks, frame and global slots, pushes and the
// handlers of the opcodes that small loops and calls spend their time in. Included only
// by the machine's own sources.

#include <cmath>

#include "engine/vm/ScriptValue.h"
#include "engine/vm/VirtualMachine.h"

namespace vorn::engine {

// The handlers the interpreter loop's switch must compile in place (the compiler's own
// size limits would otherwise leave the hottest ones as calls).
// The fused sequences stay out of line: each does the work of several instructions, and
// keeping them out of the loop keeps its registers for the dispatch.
#if defined(__GNUC__)
#define VORN_VM_HOT inline __attribute__((always_inline))
#define VORN_VM_FUSED inline __attribute__((noinline))
#else
#define VORN_VM_HOT inline
#define VORN_VM_FUSED inline
#endif

// A frame slot; any index outside the value stack is a runtime error, never a stray access.
VORN_VM_HOT Variant& TatVirtualMachine::FrameSlot(int32_t index) {
    int32_t slot = FStackBase + index;
    if (static_cast<uint32_t>(slot) >= static_cast<uint32_t>(StackSize)) StackOverflow();
    return FProcStack[size_t(slot)];
}

VORN_VM_HOT Variant& TatVirtualMachine::GlobalSlot(int32_t index) {
    if (static_cast<uint32_t>(index) >= static_cast<uint32_t>(StackSize)) StackOverflow();
    return FProcStack[size_t(index)];
}

inline void TatVirtualMachine::Push(const Variant& v) {
    if (FStackTop >= StackSize) StackOverflow();
    FProcStack[size_t(FStackTop++)] = v;
}

inline void TatVirtualMachine::Push(Variant&& v) {
    if (FStackTop >= StackSize) StackOverflow();
    FProcStack[size_t(FStackTop++)] = std::move(v);
}

VORN_VM_HOT void TatVirtualMachine::NeedOperands(int32_t n) const {
    if (FStackTop < n || n < 0) const_cast<TatVirtualMachine*>(this)->StackUnderflow();
}

// Integer fast paths of the operators: the same results as the value operations (32-bit
// pairs stay 32-bit where the result fits, anything wider is a 64-bit integer), which
// take every other combination of kinds and every overflow.
namespace vmfast {
// A plain number as the fused sequences carry it between their steps: kind and payload
// bits, with no counted payload, so that it lives in registers.
struct Plain {
    TVarType Type;
    uint64_t Bits;
    static Plain Of(const Variant& v) noexcept { return {v.VType(), v.RawUInt64()}; }
    static Plain Integer(int32_t v) noexcept { return {varInteger, static_cast<uint32_t>(v)}; }
    static Plain Int64(int64_t v) noexcept { return {varInt64, static_cast<uint64_t>(v)}; }
    static Plain Double(double v) noexcept { return {varDouble, std::bit_cast<uint64_t>(v)}; }
    TVarType VType() const noexcept { return Type; }
    int32_t RawInteger() const noexcept { return static_cast<int32_t>(static_cast<uint32_t>(Bits)); }
    int64_t RawInt64() const noexcept { return static_cast<int64_t>(Bits); }
    double RawDouble() const noexcept { return std::bit_cast<double>(Bits); }
    void StoreTo(Variant& v) const noexcept { v.AssignPlain(Type, Bits); }
};

// The helpers below read a Variant or a Plain alike.
template <class A, class B>
inline bool BothInt32(const A& a, const B& b) {
    return a.VType() == varInteger && b.VType() == varInteger;
}
template <class V>
inline bool IntOf(const V& v, int64_t& x) {
    if (v.VType() == varInteger) {
        x = v.RawInteger();
        return true;
    }
    if (v.VType() == varInt64) {
        x = v.RawInt64();
        return true;
    }
    return false;
}
template <class A, class B>
inline bool Ints(const A& a, const B& b, int64_t& x, int64_t& y) { return IntOf(a, x) && IntOf(b, y); }
// The integer result of a with b: 32-bit pairs stay 32-bit where it fits.
template <class A, class B>
inline Plain IntResult(const A& a, const B& b, int64_t z) {
    if (BothInt32(a, b) && z == int32_t(z)) return Plain::Integer(int32_t(z));
    return Plain::Int64(z);
}
inline Variant Result(const Variant& a, const Variant& b, int64_t z) {
    if (BothInt32(a, b) && z == int32_t(z)) return Variant::FromInteger(int32_t(z));
    return Variant::FromInt64(z);
}
inline Variant Low32(int64_t z) { return Variant::FromInteger(static_cast<int32_t>(static_cast<uint32_t>(z))); }
// A pair the value operations compute in floating point: a double with a double or a
// 32-bit integer. A finite result is what they give; anything else (overflow, division
// by zero, other kinds) takes the value operation, which raises the fault.
template <class V>
inline bool RealOf(const V& v, double& x) {
    if (v.VType() == varDouble) {
        x = v.RawDouble();
        return true;
    }
    if (v.VType() == varInteger) {
        x = v.RawInteger();
        return true;
    }
    return false;
}
template <class A, class B>
inline bool Reals(const A& a, const B& b, double& x, double& y) {
    return (a.VType() == varDouble || b.VType() == varDouble) && RealOf(a, x) && RealOf(b, y);
}
// x mod y for y != 0 and not (INT64_MIN, -1); operands that fit 32 bits take the much
// cheaper 32-bit division (y = -1 always gives 0, which also avoids the 32-bit trap).
inline int64_t Mod(int64_t x, int64_t y) {
    if (y == -1) return 0;
    if (x == int32_t(x) && y == int32_t(y)) return int32_t(x) % int32_t(y);
    return x % y;
}
// The four arithmetic operators and mod on plain integers and doubles with exactly the
// results of the value operations; false (nothing written) for anything those leave to
// the value operations, which also raise the floating-point faults and overflows.
template <class L, class R>
VORN_VM_HOT bool Arith(unsigned op, const L& l, const R& r, Plain& out) {
    int64_t x, y, z;
    double a, b, c;
    // Integers of either width (literals are 64-bit, so loops mostly meet those).
    if (Ints(l, r, x, y)) {
        switch (op) {
        case inOperAdd:
            if (__builtin_add_overflow(x, y, &z)) return false;
            break;
        case inOperSub:
            if (__builtin_sub_overflow(x, y, &z)) return false;
            break;
        case inOperMul:
            if (__builtin_mul_overflow(x, y, &z)) return false;
            break;
        case inOperMod:
            if (y == 0 || (x == INT64_MIN && y == -1)) return false;
            out = Plain::Integer(static_cast<int32_t>(static_cast<uint32_t>(Mod(x, y))));
            return true;
        case inOperSlash:
            // Only two 32-bit integers divide here: a 64-bit one is left to the value operation.
            if (!BothInt32(l, r) || y == 0) return false;
            out = Plain::Double(double(x) / double(y));
            return true;
        default: return false;
        }
        out = IntResult(l, r, z);
        return true;
    }
    if (!Reals(l, r, a, b)) return false;
    switch (op) {
    case inOperAdd: c = a + b; break;
    case inOperSub: c = a - b; break;
    case inOperMul: c = a * b; break;
    case inOperSlash:
        if (b == 0) return false;
        c = a / b;
        break;
    default: return false;
    }
    if (!std::isfinite(c)) return false;
    out = Plain::Double(c);
    return true;
}
// Stores a finite result into `l`; false leaves it to the value operation.
inline bool StoreReal(Variant& l, double z) {
    if (!std::isfinite(z)) return false;
    l = Variant::FromDouble(z);
    return true;
}
} // namespace vmfast

inline void TatVirtualMachine::_Prepare() {
    int32_t n = FCurrentInstruction->vInteger;
    if (n < 0 || n > StackSize - FStackTop) StackOverflow();
    Variant* locals = FProcStack.get() + FStackTop;
    for (int32_t i = 0; i < n; ++i) locals[i].AssignPlain(varNull, 0);
    FStackTop += n;
    FPrepareInstruction = FCurrentInstruction;
}

VORN_VM_HOT void TatVirtualMachine::_PushInteger() {
    const TSimplifiedCode* i = FCurrentInstruction;
    Push(BigIntToScriptValue(i->valueUInt64, i->vByte != 0));
}

// Copies straight into the top slot (no temporary): plain kinds are a 16-byte copy.
VORN_VM_HOT void TatVirtualMachine::_PushVar() {
    const Variant& v = DerefPValue(FrameSlot(FCurrentInstruction->vInteger));
    if (FStackTop >= StackSize) StackOverflow();
    FProcStack[size_t(FStackTop++)] = v;
}
inline void TatVirtualMachine::_PushGlobalVar() {
    const Variant& v = DerefPValue(GlobalSlot(FCurrentInstruction->vInteger));
    if (FStackTop >= StackSize) StackOverflow();
    FProcStack[size_t(FStackTop++)] = v;
}

VORN_VM_HOT void TatVirtualMachine::_StoreVar() {
    NeedOperands(1);
    Variant& dest = FrameSlot(FCurrentInstruction->vInteger);
    --FStackTop;
    dest = std::move(FProcStack[size_t(FStackTop)]);
}

inline void TatVirtualMachine::_StoreGlobalVar() {
    NeedOperands(1);
    Variant& dest = GlobalSlot(FCurrentInstruction->vInteger);
    --FStackTop;
    dest = std::move(FProcStack[size_t(FStackTop)]);
}

VORN_VM_HOT void TatVirtualMachine::_StoreVarInteger() {
    const TSimplifiedCode* i = FCurrentInstruction;
    FrameSlot(i->vInteger) = BigIntToScriptValue(i->valueUInt64, i->vByte != 0);
}

VORN_VM_HOT void TatVirtualMachine::_OperAdd() {
    NeedOperands(2);
    Variant& l = FProcStack[size_t(FStackTop - 2)];
    const Variant& r = FProcStack[size_t(FStackTop - 1)];
    int64_t x, y, z;
    double a, b;
    if (vmfast::Ints(l, r, x, y) && !__builtin_add_overflow(x, y, &z)) {
        l = vmfast::Result(l, r, z);
    } else if (vmfast::Reals(l, r, a, b) && vmfast::StoreReal(l, a + b)) {
    } else {
        l = ScriptValueAdd(DerefPValue(l), DerefPValue(r));
    }
    --FStackTop;
}

VORN_VM_HOT void TatVirtualMachine::_OperSub() {
    NeedOperands(2);
    Variant& l = FProcStack[size_t(FStackTop - 2)];
    const Variant& r = FProcStack[size_t(FStackTop - 1)];
    int64_t x, y, z;
    double a, b;
    if (vmfast::Ints(l, r, x, y) && !__builtin_sub_overflow(x, y, &z)) {
        l = vmfast::Result(l, r, z);
    } else if (vmfast::Reals(l, r, a, b) && vmfast::StoreReal(l, a - b)) {
    } else {
        l = ScriptValueSubtract(DerefPValue(l), DerefPValue(r));
    }
    --FStackTop;
}

VORN_VM_HOT void TatVirtualMachine::_OperMod() {
    NeedOperands(2);
    Variant& l = FProcStack[size_t(FStackTop - 2)];
    const Variant& r = FProcStack[size_t(FStackTop - 1)];
    int64_t x, y;
    if (vmfast::Ints(l, r, x, y) && y != 0 && !(x == INT64_MIN && y == -1)) {
        l = vmfast::Low32(vmfast::Mod(x, y));
    } else {
        l = ScriptValueMod(DerefPValue(l), DerefPValue(r));
    }
    --FStackTop;
}

inline void TatVirtualMachine::CompareOp(bool (*op)(const Variant&, const Variant&), bool negate) {
    NeedOperands(2);
    Variant& l = FProcStack[size_t(FStackTop - 2)];
    bool result = op(DerefPValue(l), DerefPValue(FProcStack[size_t(FStackTop - 1)]));
    l = Variant::FromBoolean(result != negate);
    --FStackTop;
}

// Integer comparisons in place; everything else through the value comparison.
#define VORN_VM_COMPARE(Handler, Operator, Function, Negate)                                     \
    inline void TatVirtualMachine::Handler() {                                                 \
        NeedOperands(2);                                                                       \
        Variant& l = FProcStack[size_t(FStackTop - 2)];                                        \
        const Variant& r = FProcStack[size_t(FStackTop - 1)];                                  \
        int64_t x, y;                                                                          \
        if (vmfast::Ints(l, r, x, y)) {                                                        \
            l = Variant::FromBoolean(x Operator y);                                            \
            --FStackTop;                                                                       \
            return;                                                                            \
        }                                                                                      \
        CompareOp(Function, Negate);                                                           \
    }
VORN_VM_COMPARE(_OperLess, <, ScriptValueLess, false)
VORN_VM_COMPARE(_OperLE, <=, ScriptValueLessOrEqual, false)
VORN_VM_COMPARE(_OperGreater, >, ScriptValueGreater, false)
VORN_VM_COMPARE(_OperGE, >=, ScriptValueGreaterOrEqual, false)
VORN_VM_COMPARE(_OperEqual, ==, ScriptValueEqual, false)
VORN_VM_COMPARE(_OperNE, !=, ScriptValueEqual, true)
#undef VORN_VM_COMPARE

// The condition of a jump: Booleans and integers directly, the rest by the variant cast
// (Null raises, as the platform's strict Null conversion does).
inline bool ConditionOf(const Variant& v) {
    if (v.VType() == varBoolean) return v.RawBoolean();
    if (v.VType() == varInteger) return v.RawInteger() != 0;
    if (v.VType() == varInt64) return v.RawInt64() != 0;
    return ScriptValueAsBool(v);
}

VORN_VM_HOT void TatVirtualMachine::_JumpIfFalse() {
    NeedOperands(1);
    bool c = ConditionOf(DerefPValue(FProcStack[size_t(FStackTop - 1)]));
    --FStackTop;
    if (!c) TakeJump();
}

inline void TatVirtualMachine::_JumpIfTrue() {
    NeedOperands(1);
    bool c = ConditionOf(DerefPValue(FProcStack[size_t(FStackTop - 1)]));
    --FStackTop;
    if (c) TakeJump();
}

VORN_VM_HOT void TatVirtualMachine::_Jump() { TakeJump(); }

// Takes the jump of the current instruction; a jump that leaves try statements runs
// their finally parts first.
VORN_VM_HOT void TatVirtualMachine::TakeJump() {
    const TSimplifiedCode* i = FCurrentInstruction;
    auto* target = reinterpret_cast<TSimplifiedCode*>(i->vPointer);
    if (i->Dummy == 0) {
        FNextInstruction = target;
        return;
    }
    LeaveTryStatements(target, i->Dummy, false);
}

inline void TatVirtualMachine::_Call() {
    TSimplifiedCode* callee = reinterpret_cast<TSimplifiedCode*>(FCurrentInstruction->vPointer);
    int32_t argc = FCurrentInstruction->vByte;
    NeedOperands(argc);
    FOutputBase = FStackTop + callee->vInteger;
    EnterCall(callee, argc);
}

inline void TatVirtualMachine::_Ret() { FNextInstruction = nullptr; }

inline void TatVirtualMachine::_PushOutput() {
    int32_t slot = FOutputBase + FCurrentInstruction->vInteger;
    if (static_cast<uint32_t>(slot) >= static_cast<uint32_t>(StackSize) || FStackTop >= StackSize) StackOverflow();
    FProcStack[size_t(FStackTop++)] = FProcStack[size_t(slot)];
}

inline void TatVirtualMachine::_StoreInput() {
    int32_t slot = FInputBase + FInputOffset;
    if (static_cast<uint32_t>(slot) >= static_cast<uint32_t>(StackSize)) StackOverflow();
    Variant v = DerefValue(FProcStack[size_t(slot)]);
    FrameSlot(FCurrentInstruction->vInteger) = std::move(v);
    ++FInputOffset;
}

// Saves the caller's registers and enters the routine at `prepare` with `argc`
// arguments on the stack; no native recursion. The host-call argument registers are not
// among them: a script call never happens inside a host call except through a nested
// run, which keeps them itself.
inline void TatVirtualMachine::EnterCall(TSimplifiedCode* prepare, int32_t argc) {
    if (FFrameCount >= MaxCallDepth) RuntimeError("Stack overflow: too many nested routine calls");
    TFrame& f = FFrames[size_t(FFrameCount++)];
    f.FReturn = FNextInstruction;
    f.FPrepare = FPrepareInstruction;
    f.FStackBase = FStackBase;
    f.FInputBase = FInputBase;
    f.FOutputBase = FOutputBase;
    f.FInputOffset = FInputOffset;
    f.FCallerTop = FStackTop - argc;
    FInputBase = FStackTop - argc;
    FInputOffset = 0;
    FStackBase = FStackTop;
    ++FDebugStackLevel;
    FNextInstruction = prepare;
}

// Returns from the innermost call: restores the caller's registers and drops the
// routine's frame and arguments.
inline void TatVirtualMachine::LeaveCall() {
    TFrame& f = FFrames[size_t(--FFrameCount)];
    FLastReturnCount = FStackTop - FStackBase;
    FStackTop = f.FCallerTop;
    FPrepareInstruction = f.FPrepare;
    FStackBase = f.FStackBase;
    FInputBase = f.FInputBase;
    FOutputBase = f.FOutputBase;
    FInputOffset = f.FInputOffset;
    --FDebugStackLevel;
    FNextInstruction = FHalted ? nullptr : f.FReturn;
}

// ---- Fused sequences (see FuseSequences) -----------------------------------------------------
// Each returns the instruction to go on with, or null when its operands are not the plain
// numbers it computes on: the loop then runs the head alone, which gives the same result
// or raises the error the plain sequence would. Nothing is changed before a step knows it
// can finish. A destination that holds a counted value is left to the plain
// instructions too (they release it), which keeps these steps free of calls.

// The running routine's frame when the sequence's slots Low..High lie on the value stack.
VORN_VM_HOT Variant* TatVirtualMachine::FusedFrame(const TSimplifiedCode::TFusedOperands& f) {
    const int64_t base = FStackBase;
    if (base + f.Low < 0 || base + f.High >= StackSize) return nullptr;
    return FProcStack.get() + base;
}

namespace vmfast {
// Writes a plain result into `dest`; false when `dest` holds a counted value.
VORN_VM_HOT bool StorePlain(Variant& dest, Plain p) {
    if (dest.HoldsCounted()) return false;
    p.StoreTo(dest);
    return true;
}
} // namespace vmfast

// x compare y, the comparison given by the mask the link step made of its opcode (bit 0
// holds for less, bit 1 for equal, bit 2 for greater): no branch on the operator.
inline bool CompareInts(uint8_t mask, int64_t x, int64_t y) {
    const int order = (x > y) - (x < y) + 1;
    return ((mask >> order) & 1) != 0;
}

// PushVar a; PushVar b; compare; JumpIfFalse on plain integers.
VORN_VM_FUSED TSimplifiedCode* TatVirtualMachine::FusedCompareJump(TSimplifiedCode* head) {
    const TSimplifiedCode::TFusedOperands& f = head->Fuse;
    Variant* frame = FusedFrame(f);
    int64_t x, y;
    if (frame == nullptr || !vmfast::IntOf(frame[f.A], x) || !vmfast::IntOf(frame[f.B], y)) return nullptr;
    return CompareInts(f.Op, x, y) ? f.Exit : f.Target;
}

// PushInteger c; PushVar i; OperAdd; Jump back to StoreVar i: the step of a for loop.
VORN_VM_FUSED TSimplifiedCode* TatVirtualMachine::FusedStepJump(TSimplifiedCode* head) {
    const TSimplifiedCode::TFusedOperands& f = head->Fuse;
    Variant* frame = FusedFrame(f);
    if (frame == nullptr) return nullptr;
    Variant& slot = frame[f.X];
    int64_t x, y, z;
    if (!vmfast::Ints(f.Constant, slot, x, y) || __builtin_add_overflow(x, y, &z)) return nullptr;
    vmfast::IntResult(f.Constant, slot, z).StoreTo(slot);
    // The loop test after the store is usually fused as well: run it right here, in the
    // same frame (fused steps run only while nothing watches the run; the link step
    // widened this step's slot range to the test's).
    TSimplifiedCode* test = f.Target;
    if (test->Fused != fuCompareJump || test == FStopInstruction) return test;
    const TSimplifiedCode::TFusedOperands& t = test->Fuse;
    if (!vmfast::IntOf(frame[t.A], x) || !vmfast::IntOf(frame[t.B], y)) return test;
    return CompareInts(t.Op, x, y) ? t.Exit : t.Target;
}

// PushVar a; PushInteger c; OperMod: pushes a mod c.
VORN_VM_FUSED TSimplifiedCode* TatVirtualMachine::FusedPushVarMod(TSimplifiedCode* head) {
    const TSimplifiedCode::TFusedOperands& f = head->Fuse;
    Variant* frame = FusedFrame(f);
    int64_t x, y;
    if (frame == nullptr || FStackTop >= StackSize || !vmfast::Ints(frame[f.A], f.Constant, x, y) || y == 0 ||
        (x == INT64_MIN && y == -1))
        return nullptr;
    const auto mod = vmfast::Plain::Integer(static_cast<int32_t>(static_cast<uint32_t>(vmfast::Mod(x, y))));
    if (!vmfast::StorePlain(FProcStack[size_t(FStackTop)], mod)) return nullptr;
    ++FStackTop;
    return f.Exit;
}

// OperAdd; StoreVar x: x := the sum of the two values on top.
VORN_VM_FUSED TSimplifiedCode* TatVirtualMachine::FusedAddStore(TSimplifiedCode* head) {
    const TSimplifiedCode::TFusedOperands& f = head->Fuse;
    Variant* frame = FusedFrame(f);
    vmfast::Plain sum;
    if (frame == nullptr || FStackTop < 2 || FStackTop > StackSize ||
        !vmfast::Arith(inOperAdd, FProcStack[size_t(FStackTop - 2)], FProcStack[size_t(FStackTop - 1)], sum) ||
        !vmfast::StorePlain(frame[f.X], sum))
        return nullptr;
    FStackTop -= 2;
    return f.Exit;
}

// PushVar a; PushVar b; Op: pushes a Op b.
VORN_VM_FUSED TSimplifiedCode* TatVirtualMachine::FusedVarVarOp(TSimplifiedCode* head) {
    const TSimplifiedCode::TFusedOperands& f = head->Fuse;
    Variant* frame = FusedFrame(f);
    vmfast::Plain result;
    if (frame == nullptr || FStackTop >= StackSize || !vmfast::Arith(f.Op, frame[f.A], frame[f.B], result) ||
        !vmfast::StorePlain(FProcStack[size_t(FStackTop)], result))
        return nullptr;
    ++FStackTop;
    return f.Exit;
}

// PushVar a; PushInteger/PushDouble c; Op: pushes a Op c.
VORN_VM_FUSED TSimplifiedCode* TatVirtualMachine::FusedVarConstOp(TSimplifiedCode* head) {
    const TSimplifiedCode::TFusedOperands& f = head->Fuse;
    Variant* frame = FusedFrame(f);
    vmfast::Plain result;
    if (frame == nullptr || FStackTop >= StackSize || !vmfast::Arith(f.Op, frame[f.A], f.Constant, result) ||
        !vmfast::StorePlain(FProcStack[size_t(FStackTop)], result))
        return nullptr;
    ++FStackTop;
    return f.Exit;
}

// PushVar a; PushInteger c; compare; JumpIfFalse on plain integers.
VORN_VM_FUSED TSimplifiedCode* TatVirtualMachine::FusedCompareConstJump(TSimplifiedCode* head) {
    const TSimplifiedCode::TFusedOperands& f = head->Fuse;
    Variant* frame = FusedFrame(f);
    int64_t x, y;
    if (frame == nullptr || !vmfast::IntOf(frame[f.A], x) || !vmfast::IntOf(f.Constant, y)) return nullptr;
    return CompareInts(f.Op, x, y) ? f.Exit : f.Target;
}

// PushVar a; PushVar b; PushVar/PushInteger/PushDouble c; Inner; Outer; StoreVar x:
// x := a Outer (b Inner c).
VORN_VM_FUSED TSimplifiedCode* TatVirtualMachine::FusedThreeOpStore(TSimplifiedCode* head) {
    const TSimplifiedCode::TFusedOperands& f = head->Fuse;
    Variant* frame = FusedFrame(f);
    if (frame == nullptr) return nullptr;
    vmfast::Plain inner, result;
    const bool innerDone = f.CIsSlot ? vmfast::Arith(f.Op, frame[f.B], frame[f.C], inner)
                                     : vmfast::Arith(f.Op, frame[f.B], f.Constant, inner);
    if (!innerDone || !vmfast::Arith(f.Op2, frame[f.A], inner, result) || !vmfast::StorePlain(frame[f.X], result))
        return nullptr;
    return f.Exit;
}

// StoreVar x; PushVar x (a routine's Result before its return): x takes a copy of the
// top value, which stays; a reference on top is left to the plain pair.
VORN_VM_FUSED TSimplifiedCode* TatVirtualMachine::FusedStorePush(TSimplifiedCode* head) {
    const TSimplifiedCode::TFusedOperands& f = head->Fuse;
    Variant* frame = FusedFrame(f);
    if (frame == nullptr || FStackTop < 1 || FStackTop > StackSize) return nullptr;
    const Variant& top = FProcStack[size_t(FStackTop - 1)];
    if (top.IsRef()) return nullptr;
    frame[f.X] = top;
    return f.Exit;
}

// PushVar a; PushInteger/PushDouble c; Op; StoreVar x: x := a Op c.
VORN_VM_FUSED TSimplifiedCode* TatVirtualMachine::FusedVarConstOpStore(TSimplifiedCode* head) {
    const TSimplifiedCode::TFusedOperands& f = head->Fuse;
    Variant* frame = FusedFrame(f);
    vmfast::Plain result;
    if (frame == nullptr || !vmfast::Arith(f.Op, frame[f.A], f.Constant, result) ||
        !vmfast::StorePlain(frame[f.X], result))
        return nullptr;
    return f.Exit;
}

// PushVar a; OperNeg; StoreVar x: x := -a for a double or an Integer other than its minimum.
VORN_VM_FUSED TSimplifiedCode* TatVirtualMachine::FusedNegStore(TSimplifiedCode* head) {
    const TSimplifiedCode::TFusedOperands& f = head->Fuse;
    Variant* frame = FusedFrame(f);
    if (frame == nullptr) return nullptr;
    const Variant& a = frame[f.A];
    vmfast::Plain result;
    if (a.VType() == varDouble) {
        result = {varDouble, a.RawUInt64() ^ (uint64_t(1) << 63)};
    } else if (a.VType() == varInteger && a.RawInteger() != INT32_MIN) {
        result = vmfast::Plain::Integer(-a.RawInteger());
    } else {
        return nullptr;
    }
    return vmfast::StorePlain(frame[f.X], result) ? f.Exit : nullptr;
}

} // namespace vorn::engine

#undef VORN_VM_HOT
#undef VORN_VM_FUSED

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
inline bool BothInt32(const Variant& a, const Variant& b) {
    return a.VType() == varInteger && b.VType() == varInteger;
}
inline bool IntOf(const Variant& v, int64_t& x) {
    if (v.VType() == varInt64) {
        x = v.RawInt64();
        return true;
    }
    if (v.VType() == varInteger) {
        x = v.RawInteger();
        return true;
    }
    return false;
}
inline bool Ints(const Variant& a, const Variant& b, int64_t& x, int64_t& y) { return IntOf(a, x) && IntOf(b, y); }
inline Variant Result(const Variant& a, const Variant& b, int64_t z) {
    if (BothInt32(a, b) && z == int32_t(z)) return Variant::FromInteger(int32_t(z));
    return Variant::FromInt64(z);
}
inline Variant Low32(int64_t z) { return Variant::FromInteger(static_cast<int32_t>(static_cast<uint32_t>(z))); }
// A pair the value operations compute in floating point: a double with a double or a
// 32-bit integer. A finite result is what they give; anything else (overflow, division
// by zero, other kinds) takes the value operation, which raises the fault.
inline bool RealOf(const Variant& v, double& x) {
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
inline bool Reals(const Variant& a, const Variant& b, double& x, double& y) {
    return (a.VType() == varDouble || b.VType() == varDouble) && RealOf(a, x) && RealOf(b, y);
}
// x mod y for y != 0 and not (INT64_MIN, -1); operands that fit 32 bits take the much
// cheaper 32-bit division (y = -1 always gives 0, which also avoids the 32-bit trap).
inline int64_t Mod(int64_t x, int64_t y) {
    if (y == -1) return 0;
    if (x == int32_t(x) && y == int32_t(y)) return int32_t(x) % int32_t(y);
    return x % y;
}
// The four arithmetic operators on plain integers and doubles with exactly the results of
// their handlers' fast paths; false (nothing written) for anything those leave to the
// value operations, which also raise the floating-point faults.
VORN_VM_HOT bool Arith(unsigned op, const Variant& l, const Variant& r, Variant& out) {
    int64_t x, y, z;
    double a, b, c;
    switch (op) {
    case inOperAdd:
        if (Ints(l, r, x, y)) {
            if (__builtin_add_overflow(x, y, &z)) return false;
            out = Result(l, r, z);
            return true;
        }
        if (!Reals(l, r, a, b)) return false;
        c = a + b;
        break;
    case inOperSub:
        if (Ints(l, r, x, y)) {
            if (__builtin_sub_overflow(x, y, &z)) return false;
            out = Result(l, r, z);
            return true;
        }
        if (!Reals(l, r, a, b)) return false;
        c = a - b;
        break;
    case inOperMul:
        if (Ints(l, r, x, y)) {
            if (__builtin_mul_overflow(x, y, &z)) return false;
            out = Result(l, r, z);
            return true;
        }
        if (!Reals(l, r, a, b)) return false;
        c = a * b;
        break;
    case inOperSlash:
        if (!RealOf(l, a) || !RealOf(r, b) || b == 0) return false;
        c = a / b;
        break;
    case inOperMod:
        if (!Ints(l, r, x, y) || y == 0 || (x == INT64_MIN && y == -1)) return false;
        out = Low32(Mod(x, y));
        return true;
    default: return false;
    }
    if (!std::isfinite(c)) return false;
    out = Variant::FromDouble(c);
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
    for (int32_t i = 0; i < n; ++i) FProcStack[size_t(FStackTop + i)] = Variant::Null();
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
    if (static_cast<uint32_t>(slot) >= static_cast<uint32_t>(StackSize)) StackOverflow();
    Variant copy = FProcStack[size_t(slot)];
    Push(std::move(copy));
}

inline void TatVirtualMachine::_StoreInput() {
    int32_t slot = FInputBase + FInputOffset;
    if (static_cast<uint32_t>(slot) >= static_cast<uint32_t>(StackSize)) StackOverflow();
    Variant v = DerefValue(FProcStack[size_t(slot)]);
    FrameSlot(FCurrentInstruction->vInteger) = std::move(v);
    ++FInputOffset;
}

// Saves the caller's registers and enters the routine at `prepare` with `argc`
// arguments on the stack; no native recursion.
inline void TatVirtualMachine::EnterCall(TSimplifiedCode* prepare, int32_t argc) {
    if (FFrameCount >= MaxCallDepth) RuntimeError("Stack overflow: too many nested routine calls");
    TFrame& f = FFrames[size_t(FFrameCount++)];
    f.FReturn = FNextInstruction;
    f.FPrepare = FPrepareInstruction;
    f.FStackBase = FStackBase;
    f.FInputBase = FInputBase;
    f.FOutputBase = FOutputBase;
    f.FInputOffset = FInputOffset;
    f.FOutputOffset = FOutputOffset;
    f.FCurrentInputArgBase = FCurrentInputArgBase;
    f.FCurrentArrayIndexBase = FCurrentArrayIndexBase;
    f.FCurrentOutputArgIndex = FCurrentOutputArgIndex;
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
    FOutputOffset = f.FOutputOffset;
    FCurrentInputArgBase = f.FCurrentInputArgBase;
    FCurrentArrayIndexBase = f.FCurrentArrayIndexBase;
    FCurrentOutputArgIndex = f.FCurrentOutputArgIndex;
    --FDebugStackLevel;
    FNextInstruction = FHalted ? nullptr : f.FReturn;
}

// ---- Fused sequences (see FuseSequences) -----------------------------------------------------

// A frame slot in range, or null (the fused forms then run their head alone, which
// raises the error where the plain sequence would).
VORN_VM_HOT Variant* TatVirtualMachine::FrameSlotOrNull(int32_t index) {
    int32_t slot = FStackBase + index;
    if (static_cast<uint32_t>(slot) >= static_cast<uint32_t>(StackSize)) return nullptr;
    return &FProcStack[size_t(slot)];
}

// x compare y for the comparison opcodes (inOperNE for any other).
inline bool CompareInts(TInstruction compare, int64_t x, int64_t y) {
    switch (compare) {
    case inOperLE: return x <= y;
    case inOperLess: return x < y;
    case inOperGE: return x >= y;
    case inOperGreater: return x > y;
    case inOperEqual: return x == y;
    default: return x != y;
    }
}

// The frame slot of a PushVar when it holds a plain integer.
inline bool LocalInt(const Variant& v, int64_t& x) { return vmfast::IntOf(v, x); }

VORN_VM_FUSED bool TatVirtualMachine::FusedCompareJump(TSimplifiedCode* head) {
    TSimplifiedCode* second = head->Next;
    TSimplifiedCode* compare = second->Next;
    TSimplifiedCode* jump = compare->Next;
    Variant* a = FrameSlotOrNull(head->vInteger);
    Variant* b = FrameSlotOrNull(second->vInteger);
    int64_t x, y;
    if (a == nullptr || b == nullptr || !LocalInt(*a, x) || !LocalInt(*b, y)) return false;
    FNextInstruction = CompareInts(compare->OpCode, x, y) ? jump->Next : reinterpret_cast<TSimplifiedCode*>(jump->vPointer);
    return true;
}

VORN_VM_FUSED bool TatVirtualMachine::FusedStepJump(TSimplifiedCode* head) {
    TSimplifiedCode* var = head->Next;
    TSimplifiedCode* jump = var->Next->Next;
    Variant& slot = FrameSlot(var->vInteger);
    const Variant step = BigIntToScriptValue(head->valueUInt64, head->vByte != 0);
    int64_t x, y, z;
    if (!vmfast::Ints(step, slot, x, y) || __builtin_add_overflow(x, y, &z)) return false;
    slot = vmfast::Result(step, slot, z);
    // The loop test after the store is usually fused as well: run it right here.
    TSimplifiedCode* test = reinterpret_cast<TSimplifiedCode*>(jump->vPointer)->Next;
    FNextInstruction = test;
    if (test->Fused == fuCompareJump && test != FStopInstruction && FAttention == 0) FusedCompareJump(test);
    return true;
}

VORN_VM_FUSED bool TatVirtualMachine::FusedPushVarMod(TSimplifiedCode* head) {
    TSimplifiedCode* divisor = head->Next;
    const Variant d = BigIntToScriptValue(divisor->valueUInt64, divisor->vByte != 0);
    const Variant& v = FrameSlot(head->vInteger);
    int64_t x, y;
    if (!vmfast::Ints(v, d, x, y) || y == 0 || (x == INT64_MIN && y == -1)) return false;
    if (FStackTop >= StackSize) StackOverflow();
    FProcStack[size_t(FStackTop++)] = vmfast::Low32(vmfast::Mod(x, y));
    FNextInstruction = divisor->Next->Next;
    return true;
}

VORN_VM_FUSED bool TatVirtualMachine::FusedAddStore(TSimplifiedCode* head) {
    if (FStackTop < 2) return false;
    Variant& l = FProcStack[size_t(FStackTop - 2)];
    const Variant& r = FProcStack[size_t(FStackTop - 1)];
    int64_t x, y, z;
    double a, b;
    TSimplifiedCode* store = head->Next;
    if (vmfast::Ints(l, r, x, y) && !__builtin_add_overflow(x, y, &z)) {
        FrameSlot(store->vInteger) = vmfast::Result(l, r, z);
    } else if (vmfast::Reals(l, r, a, b) && std::isfinite(a + b)) {
        FrameSlot(store->vInteger) = Variant::FromDouble(a + b);
    } else {
        return false;
    }
    FStackTop -= 2;
    FNextInstruction = store->Next;
    return true;
}

// The constant of a PushInteger or PushDouble.
inline Variant ConstantOf(const TSimplifiedCode* i) {
    if (i->OpCode == inPushDouble) return Variant::FromDouble(i->vDouble);
    return BigIntToScriptValue(i->valueUInt64, i->vByte != 0);
}

// PushVar a; PushVar b; Op: pushes a Op b.
VORN_VM_FUSED bool TatVirtualMachine::FusedVarVarOp(TSimplifiedCode* head) {
    TSimplifiedCode* second = head->Next;
    TSimplifiedCode* op = second->Next;
    Variant* a = FrameSlotOrNull(head->vInteger);
    Variant* b = FrameSlotOrNull(second->vInteger);
    if (a == nullptr || b == nullptr || FStackTop >= StackSize) return false;
    if (!vmfast::Arith(op->OpCode, *a, *b, FProcStack[size_t(FStackTop)])) return false;
    ++FStackTop;
    FNextInstruction = op->Next;
    return true;
}

// PushVar a; PushInteger/PushDouble c; Op: pushes a Op c.
VORN_VM_FUSED bool TatVirtualMachine::FusedVarConstOp(TSimplifiedCode* head) {
    TSimplifiedCode* constant = head->Next;
    TSimplifiedCode* op = constant->Next;
    Variant* a = FrameSlotOrNull(head->vInteger);
    if (a == nullptr || FStackTop >= StackSize) return false;
    if (!vmfast::Arith(op->OpCode, *a, ConstantOf(constant), FProcStack[size_t(FStackTop)])) return false;
    ++FStackTop;
    FNextInstruction = op->Next;
    return true;
}

// PushVar a; PushInteger c; compare; JumpIfFalse on plain integers.
VORN_VM_FUSED bool TatVirtualMachine::FusedCompareConstJump(TSimplifiedCode* head) {
    TSimplifiedCode* constant = head->Next;
    TSimplifiedCode* compare = constant->Next;
    TSimplifiedCode* jump = compare->Next;
    Variant* a = FrameSlotOrNull(head->vInteger);
    int64_t x, y;
    if (a == nullptr || !LocalInt(*a, x) ||
        !LocalInt(BigIntToScriptValue(constant->valueUInt64, constant->vByte != 0), y))
        return false;
    FNextInstruction = CompareInts(compare->OpCode, x, y) ? jump->Next : reinterpret_cast<TSimplifiedCode*>(jump->vPointer);
    return true;
}

// PushVar a; PushVar b; PushVar/PushInteger/PushDouble c; Inner; Outer; StoreVar x:
// x := a Outer (b Inner c).
VORN_VM_FUSED bool TatVirtualMachine::FusedThreeOpStore(TSimplifiedCode* head) {
    TSimplifiedCode* second = head->Next;
    TSimplifiedCode* third = second->Next;
    TSimplifiedCode* inner = third->Next;
    TSimplifiedCode* outer = inner->Next;
    TSimplifiedCode* store = outer->Next;
    Variant* a = FrameSlotOrNull(head->vInteger);
    Variant* b = FrameSlotOrNull(second->vInteger);
    Variant* x = FrameSlotOrNull(store->vInteger);
    if (a == nullptr || b == nullptr || x == nullptr) return false;
    Variant t;
    if (third->OpCode == inPushVar) {
        Variant* c = FrameSlotOrNull(third->vInteger);
        if (c == nullptr || !vmfast::Arith(inner->OpCode, *b, *c, t)) return false;
    } else if (!vmfast::Arith(inner->OpCode, *b, ConstantOf(third), t)) {
        return false;
    }
    Variant result;
    if (!vmfast::Arith(outer->OpCode, *a, t, result)) return false;
    *x = result;
    FNextInstruction = store->Next;
    return true;
}

// StoreVar x; PushVar x (a routine's Result before its return): x takes a copy of the
// top value, which stays; a reference on top is left to the plain pair.
VORN_VM_FUSED bool TatVirtualMachine::FusedStorePush(TSimplifiedCode* head) {
    Variant* x = FrameSlotOrNull(head->vInteger);
    if (x == nullptr || FStackTop < 1 || FStackTop > StackSize) return false;
    const Variant& top = FProcStack[size_t(FStackTop - 1)];
    if (top.IsRef()) return false;
    *x = top;
    FNextInstruction = head->Next->Next;
    return true;
}

// PushVar a; PushInteger/PushDouble c; Op; StoreVar x: x := a Op c.
VORN_VM_FUSED bool TatVirtualMachine::FusedVarConstOpStore(TSimplifiedCode* head) {
    TSimplifiedCode* constant = head->Next;
    TSimplifiedCode* op = constant->Next;
    TSimplifiedCode* store = op->Next;
    Variant* a = FrameSlotOrNull(head->vInteger);
    Variant* x = FrameSlotOrNull(store->vInteger);
    if (a == nullptr || x == nullptr) return false;
    Variant result;
    if (!vmfast::Arith(op->OpCode, *a, ConstantOf(constant), result)) return false;
    *x = result;
    FNextInstruction = store->Next;
    return true;
}

// PushVar a; OperNeg; StoreVar x: x := -a for a double or an Integer other than its minimum.
VORN_VM_FUSED bool TatVirtualMachine::FusedNegStore(TSimplifiedCode* head) {
    TSimplifiedCode* store = head->Next->Next;
    Variant* a = FrameSlotOrNull(head->vInteger);
    Variant* x = FrameSlotOrNull(store->vInteger);
    if (a == nullptr || x == nullptr) return false;
    if (a->VType() == varDouble) {
        *x = Variant::FromDouble(-a->RawDouble());
    } else if (a->VType() == varInteger && a->RawInteger() != INT32_MIN) {
        *x = Variant::FromInteger(-a->RawInteger());
    } else {
        return false;
    }
    FNextInstruction = store->Next;
    return true;
}

} // namespace vorn::engine

#undef VORN_VM_HOT
#undef VORN_VM_FUSED

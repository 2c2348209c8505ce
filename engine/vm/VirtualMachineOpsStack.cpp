// Handlers of the stack, constant, operator, jump and test opcodes that are not on the
// inline hot path.

#include "engine/compiler/ClassRegistry.h"
#include "engine/vm/VirtualMachineInline.h"
#include "platform/rtti/LiveObjects.h"
#include "platform/rtti/TypeInfo.h"

namespace vorn::engine {

void TatVirtualMachine::_GlobalPrepare() {
    int32_t n = FCurrentInstruction->vInteger;
    if (n < 0 || n > StackSize - FStackTop) StackOverflow();
    FStackTop += n;
}

void TatVirtualMachine::_PushDouble() { Push(Variant::FromDouble(FCurrentInstruction->vDouble)); }
void TatVirtualMachine::_PushString() { Push(Variant::FromText(FCurrentInstruction->vString)); }

void TatVirtualMachine::_PushConst() {
    switch (FCurrentInstruction->vByte) {
    case 0: Push(Variant::FromBoolean(true)); break;
    case 1: Push(Variant::FromBoolean(false)); break;
    case 2: Push(Variant::Null()); break;
    case 3: Push(Variant()); break;
    case 4: Push(Variant::FromByte(0)); break;
    default: Push(Variant::Null()); break;  // never generated; the stack stays balanced
    }
}

void TatVirtualMachine::_PushClass() {
    TSimplifiedCode* i = FCurrentInstruction;
    if (i->vPointer == 0) {
        TatClasses* classes = FHost->Classes();
        TatClass* c = classes ? classes->ClassByName(i->vString.ToUtf8()) : nullptr;
        if (!c) RuntimeError("Invalid class reference '" + i->vString.ToUtf8() + "'" + PositionSuffix(i));
        i->vPointer = reinterpret_cast<intptr_t>(c);
    }
    Push(ClassToVar(reinterpret_cast<const TatClass*>(i->vPointer)));
}

void TatVirtualMachine::_Duplicate() {
    NeedOperands(1);
    Variant copy = FProcStack[size_t(FStackTop - 1)];
    Push(std::move(copy));
}

void TatVirtualMachine::_Duplicate2() {
    NeedOperands(2);
    Variant a = FProcStack[size_t(FStackTop - 2)];
    Variant b = FProcStack[size_t(FStackTop - 1)];
    Push(std::move(a));
    Push(std::move(b));
}

void TatVirtualMachine::_Drop() {
    NeedOperands(FCurrentInstruction->vInteger);
    FStackTop -= FCurrentInstruction->vInteger;
}

void TatVirtualMachine::_Swap() {
    NeedOperands(2);
    FProcStack[size_t(FStackTop - 1)].Swap(FProcStack[size_t(FStackTop - 2)]);
}

// The side stack is bounded like the value stack: a save beyond 50 values or a load from
// an empty side stack is a runtime error; a handled failure resets it to its height at
// the try statement.
void TatVirtualMachine::_SaveStackValue() {
    int32_t n = FCurrentInstruction->vInteger;
    NeedOperands(n);
    if (n > TempStackSize - FTempStackTop) RuntimeError("Temporary stack overflow");
    for (int32_t k = 0; k < n; ++k) FTempStack[size_t(FTempStackTop++)] = std::move(FProcStack[size_t(--FStackTop)]);
}

void TatVirtualMachine::_LoadStackValue() {
    int32_t n = FCurrentInstruction->vInteger;
    if (n < 0 || n > FTempStackTop) RuntimeError("Temporary stack underflow");
    for (int32_t k = 0; k < n; ++k) Push(std::move(FTempStack[size_t(--FTempStackTop)]));
}

// ---- Operators --------------------------------------------------------------------------

void TatVirtualMachine::BinaryOp(Variant (*op)(const Variant&, const Variant&)) {
    NeedOperands(2);
    Variant& l = FProcStack[size_t(FStackTop - 2)];
    l = op(DerefPValue(l), DerefPValue(FProcStack[size_t(FStackTop - 1)]));
    --FStackTop;
}

void TatVirtualMachine::_OperConcat() { BinaryOp(ScriptValueConcat); }
void TatVirtualMachine::_OperOr() { BinaryOp(ScriptValueOr); }
void TatVirtualMachine::_OperXor() { BinaryOp(ScriptValueXor); }
void TatVirtualMachine::_OperAnd() { BinaryOp(ScriptValueAnd); }
void TatVirtualMachine::_OperSlash() {
    NeedOperands(2);
    Variant& l = FProcStack[size_t(FStackTop - 2)];
    const Variant& r = FProcStack[size_t(FStackTop - 1)];
    double x, y;
    bool numbers = vmfast::RealOf(l, x) && vmfast::RealOf(r, y);
    if (numbers && y != 0 && vmfast::StoreReal(l, x / y)) {
        --FStackTop;
        return;
    }
    BinaryOp(ScriptValueDivide);
}
void TatVirtualMachine::_OperShl() { BinaryOp(ScriptValueShl); }
void TatVirtualMachine::_OperShr() { BinaryOp(ScriptValueShr); }
void TatVirtualMachine::_OperExp() { BinaryOp(ScriptValueExp); }

void TatVirtualMachine::_OperMul() {
    NeedOperands(2);
    Variant& l = FProcStack[size_t(FStackTop - 2)];
    const Variant& r = FProcStack[size_t(FStackTop - 1)];
    int64_t x, y, z;
    if (vmfast::Ints(l, r, x, y) && !__builtin_mul_overflow(x, y, &z)) {
        l = vmfast::Result(l, r, z);
        --FStackTop;
        return;
    }
    double a, b;
    if (vmfast::Reals(l, r, a, b) && vmfast::StoreReal(l, a * b)) {
        --FStackTop;
        return;
    }
    BinaryOp(ScriptValueMultiply);
}

void TatVirtualMachine::_OperDiv() {
    NeedOperands(2);
    Variant& l = FProcStack[size_t(FStackTop - 2)];
    const Variant& r = FProcStack[size_t(FStackTop - 1)];
    int64_t x, y;
    if (vmfast::Ints(l, r, x, y) && y != 0 && !(x == INT64_MIN && y == -1)) {
        l = vmfast::Low32(x / y);
        --FStackTop;
        return;
    }
    BinaryOp(ScriptValueDiv);
}

void TatVirtualMachine::_OperIs() {
    NeedOperands(2);
    Variant& l = FProcStack[size_t(FStackTop - 2)];
    int64_t object = VarToObject(DerefPValue(l));
    bool result = false;
    if (object != 0) {
        const TatClass* c = TranslateClass(DerefPValue(FProcStack[size_t(FStackTop - 1)]));
        result = ObjectIsOf(object, c);
    }
    l = Variant::FromBoolean(result);
    --FStackTop;
}

void TatVirtualMachine::_OperNeg() {
    NeedOperands(1);
    Variant& v = FProcStack[size_t(FStackTop - 1)];
    if (v.VType() == varInteger && v.RawInteger() != INT32_MIN) {
        v = Variant::FromInteger(-v.RawInteger());
        return;
    }
    if (v.VType() == varDouble) {
        v = Variant::FromDouble(-v.RawDouble());
        return;
    }
    v = ScriptValueNeg(DerefPValue(v));
}

void TatVirtualMachine::_OperNot() {
    NeedOperands(1);
    Variant& v = FProcStack[size_t(FStackTop - 1)];
    v = ScriptValueNot(DerefPValue(v));
}

// Short-circuit tests decide only on a Boolean left operand: for numbers the operator
// combines both sides bitwise (5 or 2 is 7), so the test falls through.
void TatVirtualMachine::_TestIfFalse() {
    NeedOperands(1);
    const Variant& v = DerefPValue(FProcStack[size_t(FStackTop - 1)]);
    if (v.VType() == varBoolean && !v.RawBoolean()) TakeJump();
}

void TatVirtualMachine::_TestIfTrue() {
    NeedOperands(1);
    const Variant& v = DerefPValue(FProcStack[size_t(FStackTop - 1)]);
    if (v.VType() == varBoolean && v.RawBoolean()) TakeJump();
}

// ---- Fused variable tests --------------------------------------------------------------

void TatVirtualMachine::_VarTest() {
    NeedOperands(1);
    bool equal = ScriptValueEqual(DerefPValue(FrameSlot(FCurrentInstruction->vInteger2)),
                                  DerefPValue(FProcStack[size_t(FStackTop - 1)]));
    --FStackTop;
    if (uint8_t(equal) == FCurrentInstruction->vByte) TakeJump();
}

void TatVirtualMachine::_VarTestInteger() {
    const TSimplifiedCode* i = FCurrentInstruction;
    const Variant& v = DerefPValue(FrameSlot(i->vInteger2));
    int64_t x;
    bool equal = vmfast::IntOf(v, x) ? x == i->vInteger3 : ScriptValueEqual(v, Variant::FromInteger(i->vInteger3));
    if (uint8_t(equal) == i->vByte) TakeJump();
}

void TatVirtualMachine::_VarTestDouble() {
    const TSimplifiedCode* i = FCurrentInstruction;
    bool equal = ScriptValueEqual(DerefPValue(FrameSlot(i->vInteger1)), Variant::FromDouble(i->vDouble));
    if (uint8_t(equal) == i->vByte) TakeJump();
}

void TatVirtualMachine::_VarTestString() {
    const TSimplifiedCode* i = FCurrentInstruction;
    platform::UStringView text = i->vString.View();
    size_t n = std::min(text.size(), size_t(std::max(0, i->vInteger3)));
    bool equal = ScriptValueEqual(DerefPValue(FrameSlot(i->vInteger2)), Variant::FromText(text.substr(0, n)));
    if (uint8_t(equal) == i->vByte) TakeJump();
}

void TatVirtualMachine::_VarTestVar() {
    const TSimplifiedCode* i = FCurrentInstruction;
    bool equal = ScriptValueEqual(DerefPValue(FrameSlot(i->vInteger2)), DerefPValue(FrameSlot(i->vInteger3)));
    if (uint8_t(equal) == i->vByte) TakeJump();
}

// ---- Class values ------------------------------------------------------------------------

// A class descriptor travels as the live-object number of the registry entry; reading
// one back accepts only numbers that name an entry of this machine's registry.
Variant TatVirtualMachine::ClassToVar(const TatClass* c) {
    if (!c) return ObjectToVar(0);
    return ObjectToVar(platform::rtti::TLiveObjects::Instance().Register(const_cast<TatClass*>(c), nullptr));
}

const TatClass* TatVirtualMachine::TranslateClass(const Variant& v) {
    void* object = nullptr;
    const platform::rtti::TClassInfo* info = nullptr;
    if (!platform::rtti::TLiveObjects::Instance().TryResolve(VarToObject(v), object, info) || info) return nullptr;
    TatClasses* classes = FHost->Classes();
    if (!classes) return nullptr;
    for (const auto& c : *classes)
        if (c.get() == object) return c.get();
    return nullptr;
}

bool TatVirtualMachine::ObjectIsOf(int64_t object, const TatClass* c) {
    if (!c || !c->ClassRef()) return false;
    void* instance = nullptr;
    const platform::rtti::TClassInfo* info = nullptr;
    if (!platform::rtti::TLiveObjects::Instance().TryResolve(object, instance, info) || !info) return false;
    return info->InheritsFrom(c->ClassRef());
}

std::string TatVirtualMachine::PositionSuffix(const TSimplifiedCode* i) {
    int row = i->vDebugInfo & 0xFFFFF;
    int col = static_cast<int>(static_cast<uint32_t>(i->vDebugInfo) >> 20);
    return ".\r\nSource position: " + std::to_string(row) + "," + std::to_string(col);
}

} // namespace vorn::engine

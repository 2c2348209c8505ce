// Handlers of the variable, indexed-access, array, host-call, cast and abort opcodes.

#include <algorithm>

#include "engine/compiler/ClassRegistry.h"
#include "engine/vm/EngineErrors.h"
#include "engine/vm/VirtualMachineInline.h"
#include "platform/rtti/LiveObjects.h"
#include "platform/rtti/TypeInfo.h"

namespace vorn::engine {

namespace {

// The first `count` characters of an operand text (the rest names the variable).
Variant LeadingText(const TSimplifiedCode* i) {
    platform::UStringView text = i->vString.View();
    size_t n = std::min(text.size(), size_t(std::max(0, i->vInteger3)));
    return Variant::FromText(text.substr(0, n));
}

void StoreThrough(Variant& slot, Variant value) {
    if (IsReference(slot))
        SetRefValue(slot, value);
    else
        slot = std::move(value);
}

} // namespace

// ---- Loads and stores ----------------------------------------------------------------------

void TatVirtualMachine::_StoreVarRef() {
    NeedOperands(1);
    Variant& dest = FrameSlot(FCurrentInstruction->vInteger);
    Variant v = DerefValue(FProcStack[size_t(FStackTop - 1)]);
    --FStackTop;
    StoreThrough(dest, std::move(v));
}

void TatVirtualMachine::_StoreVarRefInteger() {
    const TSimplifiedCode* i = FCurrentInstruction;
    StoreThrough(FrameSlot(i->vInteger), BigIntToScriptValue(i->valueUInt64, i->vByte != 0));
}

void TatVirtualMachine::_StoreVarDouble() { FrameSlot(FCurrentInstruction->vInteger) = Variant::FromDouble(FCurrentInstruction->vDouble); }
void TatVirtualMachine::_StoreVarRefDouble() {
    StoreThrough(FrameSlot(FCurrentInstruction->vInteger), Variant::FromDouble(FCurrentInstruction->vDouble));
}
void TatVirtualMachine::_StoreVarString() { FrameSlot(FCurrentInstruction->vInteger) = LeadingText(FCurrentInstruction); }
void TatVirtualMachine::_StoreVarRefString() { StoreThrough(FrameSlot(FCurrentInstruction->vInteger), LeadingText(FCurrentInstruction)); }

void TatVirtualMachine::_StoreVarConst() {
    uint8_t k = FCurrentInstruction->vByte;
    FrameSlot(FCurrentInstruction->vInteger) = k < CoreConstCount ? CoreConst[k] : Variant::Null();
}

void TatVirtualMachine::_StoreVarRefConst() {
    uint8_t k = FCurrentInstruction->vByte;
    StoreThrough(FrameSlot(FCurrentInstruction->vInteger), k < CoreConstCount ? CoreConst[k] : Variant::Null());
}

void TatVirtualMachine::_CopyVar() {
    const Variant& v = DerefPValue(FrameSlot(FCurrentInstruction->vInteger));
    FrameSlot(FCurrentInstruction->vInteger2) = v;
}

void TatVirtualMachine::_CopyVarRef() {
    Variant v = DerefValue(FrameSlot(FCurrentInstruction->vInteger));
    StoreThrough(FrameSlot(FCurrentInstruction->vInteger2), std::move(v));
}

void TatVirtualMachine::_CopyGlobalVar() {
    Variant v = DerefValue(GlobalSlot(FCurrentInstruction->vInteger));
    GlobalSlot(FCurrentInstruction->vInteger2) = std::move(v);
}

void TatVirtualMachine::_PushVarByRef() {
    Variant& target = FrameSlot(FCurrentInstruction->vInteger);
    Variant ref;
    CreateReferenceValue(ref, target);
    Push(std::move(ref));
}

void TatVirtualMachine::_PushGlobalVarByRef() {
    Variant& target = GlobalSlot(FCurrentInstruction->vInteger);
    Variant ref;
    CreateReferenceValue(ref, target);
    Push(std::move(ref));
}

// ---- Indexed access --------------------------------------------------------------------------

// The array is read where it lies (no counted copy); the element is copied out before
// the push, which could reuse its slot in broken code.
void TatVirtualMachine::_PushIdxVar() {
    int32_t n = FCurrentInstruction->vByte;
    NeedOperands(n);
    const Variant& a = DerefPValue(FrameSlot(FCurrentInstruction->vInteger));
    FStackTop -= n;
    Variant element = GetScriptArrayElement(a, 1);
    Push(std::move(element));
}

void TatVirtualMachine::_PushGlobalIdxVar() {
    int32_t n = FCurrentInstruction->vByte;
    NeedOperands(n);
    const Variant& a = DerefPValue(GlobalSlot(FCurrentInstruction->vInteger));
    FStackTop -= n;
    Variant element = GetScriptArrayElement(a, 1);
    Push(std::move(element));
}

void TatVirtualMachine::StoreIdx(Variant& target) {
    int32_t n = FCurrentInstruction->vByte;
    NeedOperands(n + 1);
    FStackTop -= n + 1;
    Variant value = DerefValue(FProcStack[size_t(FStackTop)]);
    SetScriptArrayElement(DerefPValue(target), 1, value);
}

void TatVirtualMachine::_StoreIdxVar() { StoreIdx(FrameSlot(FCurrentInstruction->vInteger)); }
void TatVirtualMachine::_StoreIdxVarRef() { StoreIdx(FrameSlot(FCurrentInstruction->vInteger)); }
void TatVirtualMachine::_StoreGlobalIdxVar() { StoreIdx(GlobalSlot(FCurrentInstruction->vInteger)); }

// Index value j of the current access (start 1 is the first); reads beyond the
// instruction's count are refused rather than taken from unrelated slots.
int32_t TatVirtualMachine::IndexValue(int start, int j, int offset) {
    int32_t n = FCurrentInstruction->vByte;
    if (start + j > n) RuntimeError("Not enough index values for the array's dimensions");
    int32_t slot = FStackTop + start + j + offset;
    if (static_cast<uint32_t>(slot) >= static_cast<uint32_t>(StackSize)) StackOverflow();
    const Variant& v = FProcStack[size_t(slot)];
    if (v.VType() == varInteger) return v.RawInteger();
    if (v.VType() == varInt64 && v.RawInt64() == int32_t(v.RawInt64())) return int32_t(v.RawInt64());
    return VarToInteger(v);
}

Variant TatVirtualMachine::GetScriptArrayElement(const Variant& v, int start) {
    int32_t n = FCurrentInstruction->vByte;
    if (v.IsArray()) {
        int32_t index = IndexValue(start, 0, -1) - v.ArrayLow();
        const std::vector<Variant>& items = v.ArrayItems();
        if (index < 0 || size_t(index) >= items.size()) RuntimeError("Variant or safe array index out of bounds");
        const Variant& element = items[size_t(index)];
        if (start + 1 != n + 1) return GetScriptArrayElement(DerefPValue(element), start + 1);
        return element;
    }
    if (VariantIsString(v)) {
        if (start != n) RuntimeError("String variable has only one dimension");
        int32_t pos = IndexValue(start, 0, -1);
        platform::UStringView text = v.RawText();
        if (pos < 1 || size_t(pos) > text.size()) return Variant::FromText(platform::UStringView());
        return Variant::FromText(text.substr(size_t(pos - 1), 1));
    }
    RuntimeError("Variable is not an array");
}

void TatVirtualMachine::SetScriptArrayElement(Variant& v, int start, const Variant& value) {
    int32_t n = FCurrentInstruction->vByte;
    if (v.IsArray()) {
        int32_t index = IndexValue(start, 0, 0) - v.ArrayLow();
        if (index < 0 || size_t(index) >= v.ArrayItems().size()) RuntimeError("Variant or safe array index out of bounds");
        if (start + 1 == n + 1) {
            v.MutableArrayItems()[size_t(index)] = value;
            return;
        }
        Variant element = DerefValue(v.ArrayItems()[size_t(index)]);
        SetScriptArrayElement(element, start + 1, value);
        v.MutableArrayItems()[size_t(index)] = std::move(element);
        return;
    }
    if (VariantIsString(v)) {
        if (start != n) RuntimeError("String variable has only one dimension");
        int32_t pos = IndexValue(start, 0, 0);
        platform::UString text(v.RawText());
        if (pos >= 1 && size_t(pos) <= text.size()) {
            text.erase(size_t(pos - 1), 1);
            text.insert(size_t(pos - 1), VarToStr(value).View());
        }
        v = Variant::FromText(platform::UStringView(text));
        return;
    }
    RuntimeError("Variable is not an array");
}

// ---- Arrays ------------------------------------------------------------------------------

void TatVirtualMachine::_InitArray() {
    NeedOperands(1);
    Variant a = ScriptInitArray(DerefPValue(FProcStack[size_t(FStackTop - 1)]));
    Push(std::move(a));
}

void TatVirtualMachine::_ArrayOf() {
    int32_t n = FCurrentInstruction->vInteger;
    NeedOperands(n);
    Variant a = Variant::NewArray(0, n - 1);
    std::vector<Variant>& items = a.MutableArrayItems();
    for (int32_t k = 0; k < n; ++k) items[size_t(k)] = FProcStack[size_t(FStackTop - n + k)];
    FStackTop -= n;
    Push(std::move(a));
}

// ---- Host calls ---------------------------------------------------------------------------

void TatVirtualMachine::_CallProc() {
    TSimplifiedCode* i = FCurrentInstruction;
    FCurrentOutputArgIndex = FOutputBase = FStackTop;
    NeedOperands(i->vInteger1);
    FStackTop -= i->vInteger1;
    FCurrentArrayIndexBase = FStackTop;
    auto takeObject = [&] {
        FCurrentObject = static_cast<int64_t>(i->vPointer);
        if (FCurrentObject != 0) return;
        NeedOperands(1);
        --FStackTop;
        FCurrentOleObject = FProcStack[size_t(FStackTop)];
        try {
            FCurrentObject = VarToObject(DerefPValue(FCurrentOleObject));
        } catch (const std::exception&) {
            FCurrentObject = 0;
        }
    };
    if (i->vByte == 255) {
        takeObject();
        NeedOperands(1);
        --FStackTop;
        FCurrentInputArgBase = FStackTop;
    } else {
        NeedOperands(i->vByte);
        FStackTop -= i->vByte;
        FCurrentInputArgBase = FStackTop;
        takeObject();
    }
    FCurrentClass = nullptr;
    CallHost(i);
}

void TatVirtualMachine::_CallClassProc() {
    TSimplifiedCode* i = FCurrentInstruction;
    FCurrentOutputArgIndex = FOutputBase = FStackTop;
    NeedOperands(i->vInteger1);
    FStackTop -= i->vInteger1;
    FCurrentArrayIndexBase = FStackTop;
    FCurrentObject = 0;
    FCurrentOleObject = Variant::Null();
    FCurrentClass = reinterpret_cast<const TatClass*>(i->vPointer);
    NeedOperands(i->vByte);
    FStackTop -= i->vByte;
    FCurrentInputArgBase = FStackTop;
    CallHost(i);
}

void TatVirtualMachine::CallHost(TSimplifiedCode* i) {
    TMachineProc proc = MachineProcOf(i->vProc);
    if (!proc) InternalError("Host call without a bound procedure: " + i->vString.ToUtf8());
    proc(this);
}

// The object goes into the next instruction's vPointer, the host call's object operand.
// Only a host call receives it: a breakpoint patched into that instruction keeps its
// breakpoint object where nothing else writes, and no other instruction's linked
// operand (a jump target) is ever overwritten.
void TatVirtualMachine::_WithObject() {
    TSimplifiedCode* next = FCurrentInstruction->Next;
    int64_t object = VarToObject(DerefPValue(FrameSlot(FCurrentInstruction->vInteger)));
    if (object == 0) RuntimeError("Object of with statement is nil");
    if (next && next->OpCode == inCallProc) next->vPointer = static_cast<intptr_t>(object);
}

void TatVirtualMachine::_BreakPoint() {
    TMachineProc proc = MachineProcOf(FCurrentInstruction->vProc);
    if (proc) proc(this);
}

void TatVirtualMachine::_Abort() { throw platform::EAbort(); }
void TatVirtualMachine::_ExecFun() { RuntimeError("Use methods instead of obsolete user functions"); }

void TatVirtualMachine::_CastClass() {
    TSimplifiedCode* i = FCurrentInstruction;
    NeedOperands(1);
    if (i->vPointer == 0) {
        TatClasses* classes = FHost->Classes();
        TatClass* c = classes ? classes->ClassByName(i->vString.ToUtf8()) : nullptr;
        if (!c) RuntimeError("Invalid type cast. Class '" + i->vString.ToUtf8() + "' is not valid" + PositionSuffix(i));
        i->vPointer = reinterpret_cast<intptr_t>(c);
    }
    auto* c = reinterpret_cast<const TatClass*>(i->vPointer);
    int64_t object = VarToObject(DerefPValue(FProcStack[size_t(FStackTop - 1)]));
    if (object == 0) RuntimeError("Invalid object to type cast (nil)" + PositionSuffix(i));
    if (!ObjectIsOf(object, c)) RuntimeError("Object is not of expected class '" + c->Name() + "'" + PositionSuffix(i));
}

// ---- Late-bound members -------------------------------------------------------------------

// The class of the current object in the registry (exact class name), or null.
const TatClass* TatVirtualMachine::LateBoundClass(const char* what) {
    const std::string name = FCurrentInstruction->vString.ToUtf8();
    if (FCurrentObject == 0)
        RuntimeError(std::string("Object or Record required to access ") + what + ": '" + name + "'" +
                     PositionSuffix(FCurrentInstruction));
    void* instance = nullptr;
    const platform::rtti::TClassInfo* info = nullptr;
    TatClasses* classes = FHost->Classes();
    const platform::rtti::TLiveObjects& live = platform::rtti::TLiveObjects::Instance();
    if (!classes || !live.TryResolve(FCurrentObject, instance, info) || !info) return nullptr;
    // An object of a class a script declares is known by that class, not by its host class.
    if (const platform::rtti::TObject* object = live.ResolveTObject(FCurrentObject)) {
        const std::string scriptClass = object->ScriptClassName();
        if (!scriptClass.empty())
            if (const TatClass* c = classes->ClassByName(scriptClass)) return c;
    }
    return classes->ClassByName(info->Name());
}

void TatVirtualMachine::UndefinedGetterProc(TatVirtualMachine*) {
    const TatClass* c = LateBoundClass("property");
    const std::string name = FCurrentInstruction->vString.ToUtf8();
    std::string pos = PositionSuffix(FCurrentInstruction);
    TatProperty* p = c ? c->PropertyByName(name) : nullptr;
    if (!p) {
        TatMethod* m = c ? c->MethodByName(name) : nullptr;
        if (!m) RuntimeError("Unknown property or method: '" + name + "'" + pos);
        if (m->FProc) m->FProc(this);
        return;
    }
    if (FCurrentInstruction->vSmallInt == 1) RuntimeError("Property '" + name + "' cannot be called as a method" + pos);
    if (!p->FGetter) RuntimeError("Property '" + name + "' cannot be readed" + pos);
    p->FGetter(this);
}

void TatVirtualMachine::UndefinedSetterProc(TatVirtualMachine*) {
    const TatClass* c = LateBoundClass("property");
    const std::string name = FCurrentInstruction->vString.ToUtf8();
    std::string pos = PositionSuffix(FCurrentInstruction);
    TatProperty* p = c ? c->PropertyByName(name) : nullptr;
    if (!p) {
        if (c && c->MethodByName(name)) RuntimeError("Assign to method '" + name + "' is not allowed" + pos);
        RuntimeError("Unknown property: '" + name + "'" + pos);
    }
    if (!p->FSetter) RuntimeError("Property '" + name + "' cannot be written" + pos);
    p->FSetter(this);
}

void TatVirtualMachine::UndefinedMethodProc(TatVirtualMachine*) {
    const TatClass* c = LateBoundClass("method");
    const std::string name = FCurrentInstruction->vString.ToUtf8();
    std::string pos = PositionSuffix(FCurrentInstruction);
    TatMethod* m = c ? c->MethodByName(name) : nullptr;
    if (!m) RuntimeError("Unknown method: '" + name + "'" + pos);
    if (!m->FProc) RuntimeError("Method '" + name + "' was not defined" + pos);
    int n = FCurrentInstruction->vByte, a = m->FArgCount, d = m->FDefArgCount;
    if (n < a - d) {
        if (d > 0)
            RuntimeError("Not enough actual parameters for method '" + name + "'. Expected " + std::to_string(a - d) +
                         " to " + std::to_string(a) + " parameters" + pos);
        RuntimeError("Not enough actual parameters for method '" + name + "'. Expected " + std::to_string(a) +
                     " parameters" + pos);
    }
    if (n > a) RuntimeError("Too many parameters for method '" + name + "'. Expected " + std::to_string(a) + " parameters" + pos);
    m->FProc(this);
}

} // namespace vorn::engine

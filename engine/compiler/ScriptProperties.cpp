// Constants, host variables, host objects and enumeration values as properties of a
// registry class, and the procs that serve them (bound to the property entry itself),
// plus the procs of published properties.

#include "engine/compiler/BindingMessages.h"
#include "engine/compiler/ClassRegistry.h"
#include "engine/compiler/HostBinding.h"
#include "engine/compiler/RttiValues.h"
#include "engine/compiler/Scripter.h"
#include "engine/vm/EngineErrors.h"
#include "engine/vm/ScriptValue.h"
#include "engine/vm/VirtualMachine.h"
#include "platform/CaseFolding.h"
#include "platform/Unicode.h"

namespace vorn::engine {

namespace rtti = platform::rtti;

namespace {

const TatProperty& PropertyOf(void* p) { return *static_cast<const TatProperty*>(p); }

template <class T>
T& VariableOf(void* p) { return *static_cast<T*>(VarToPointer(PropertyOf(p).FValue)); }

void GetScriptValuePropProc(void* p, TatVirtualMachine* m) { m->ReturnOutputArg(PropertyOf(p).FValue); }
void GetHostObjectPropProc(void* p, TatVirtualMachine* m) { m->ReturnOutputArg(ObjectToVar(VarToObject(PropertyOf(p).FValue))); }

void GetVarVariablePropProc(void* p, TatVirtualMachine* m) { m->ReturnOutputArg(VariableOf<Variant>(p)); }
void SetVarVariablePropProc(void* p, TatVirtualMachine* m) { VariableOf<Variant>(p) = m->GetInputArg(0); }
void GetDblVariablePropProc(void* p, TatVirtualMachine* m) { m->ReturnOutputArg(Variant::FromDouble(VariableOf<double>(p))); }
void SetDblVariablePropProc(void* p, TatVirtualMachine* m) { VariableOf<double>(p) = m->GetInputArgAsFloat(0); }
void GetSglVariablePropProc(void* p, TatVirtualMachine* m) { m->ReturnOutputArg(Variant::FromDouble(VariableOf<float>(p))); }
void SetSglVariablePropProc(void* p, TatVirtualMachine* m) { VariableOf<float>(p) = float(m->GetInputArgAsFloat(0)); }
void GetStrVariablePropProc(void* p, TatVirtualMachine* m) {
    m->ReturnOutputArg(Variant::FromText(ScriptText::FromUtf8(VariableOf<std::string>(p))));
}
void SetStrVariablePropProc(void* p, TatVirtualMachine* m) { VariableOf<std::string>(p) = m->GetInputArgAsString(0); }
void GetShortStrVariablePropProc(void* p, TatVirtualMachine* m) {
    m->ReturnOutputArg(Variant::FromText(ScriptText(platform::AnsiToUtf16(VariableOf<TShortString>(p).Text()))));
}
// Short strings hold 8-bit characters; a longer text is cut to the variable's capacity.
void SetShortStrVariablePropProc(void* p, TatVirtualMachine* m) {
    VariableOf<TShortString>(p).SetText(platform::Utf16ToAnsi(VarToStr(m->GetInputArg(0)).View()));
}
void GetWStrVariablePropProc(void* p, TatVirtualMachine* m) {
    m->ReturnOutputArg(Variant::FromText(ScriptText(VariableOf<std::u16string>(p)), varOleStr));
}
void SetWStrVariablePropProc(void* p, TatVirtualMachine* m) {
    VariableOf<std::u16string>(p) = VarToStr(m->GetInputArg(0)).ToUString();
}
void GetIntVariablePropProc(void* p, TatVirtualMachine* m) { m->ReturnOutputArg(Variant::FromInteger(VariableOf<int32_t>(p))); }
void SetIntVariablePropProc(void* p, TatVirtualMachine* m) { VariableOf<int32_t>(p) = m->GetInputArgAsInteger(0); }
void GetBoolVariablePropProc(void* p, TatVirtualMachine* m) { m->ReturnOutputArg(Variant::FromBoolean(VariableOf<bool>(p))); }
void SetBoolVariablePropProc(void* p, TatVirtualMachine* m) { VariableOf<bool>(p) = VarToBoolean(m->GetInputArg(0)); }

// A variant property with no procs, replaced or appended under `name`.
TatProperty* PlainVariantProp(TatClass* c, const std::string& name) {
    TatPropDef def;
    def.FName = name;
    def.FDataType = tkVariant;
    // SetProp registers nothing for a bare variant: a placeholder getter keeps the entry.
    def.FGetter = TMachineProc{&GetScriptValuePropProc, nullptr};
    return c->SetProp(def);
}

TatProperty* BindVariable(TatClass* c, const std::string& name, void* address, TMachineProc::Code getter,
                          TMachineProc::Code setter) {
    try {
        if (!address) throw platform::EInvalidCast();
        TatProperty* p = PlainVariantProp(c, name);
        p->SetPropExtra(TMachineProc{getter, p}, TMachineProc{setter, p}, PointerToVar(address));
        return p;
    } catch (const std::exception&) {
        DefinitionError(BindingMessage(TBindingMessage::bmVariableUnassigned));
    }
}

} // namespace

void TatProperty::SetPropExtra(TMachineProc getter, TMachineProc setter, const Variant& value) {
    FGetter = getter;
    FSetter = setter;
    FValue = value;
    if (!FClass) return;
    for (TatClass* d : FClass->Descendants())
        if (TatProperty* same = d->PropertyByName(FName); same && same != this) same->SetPropExtra(getter, setter, value);
}

TatProperty* TatClass::AddConstant(const std::string& name, const Variant& value) {
    TatProperty* p = PlainVariantProp(this, name);
    p->SetPropExtra(TMachineProc{&GetScriptValuePropProc, p}, TMachineProc{}, value);
    return p;
}

TatProperty* TatClass::AddVariable(const std::string& name, Variant& v) {
    return BindVariable(this, name, &v, &GetVarVariablePropProc, &SetVarVariablePropProc);
}
// The platform's extended float is a double, so one form serves both.
TatProperty* TatClass::AddVariable(const std::string& name, double& v) {
    return BindVariable(this, name, &v, &GetDblVariablePropProc, &SetDblVariablePropProc);
}
TatProperty* TatClass::AddVariable(const std::string& name, float& v) {
    return BindVariable(this, name, &v, &GetSglVariablePropProc, &SetSglVariablePropProc);
}
TatProperty* TatClass::AddVariable(const std::string& name, std::string& v) {
    return BindVariable(this, name, &v, &GetStrVariablePropProc, &SetStrVariablePropProc);
}
TatProperty* TatClass::AddVariable(const std::string& name, TShortString& v) {
    return BindVariable(this, name, &v, &GetShortStrVariablePropProc, &SetShortStrVariablePropProc);
}
TatProperty* TatClass::AddVariable(const std::string& name, std::u16string& v) {
    return BindVariable(this, name, &v, &GetWStrVariablePropProc, &SetWStrVariablePropProc);
}
TatProperty* TatClass::AddVariable(const std::string& name, int32_t& v) {
    return BindVariable(this, name, &v, &GetIntVariablePropProc, &SetIntVariablePropProc);
}
TatProperty* TatClass::AddVariable(const std::string& name, bool& v) {
    return BindVariable(this, name, &v, &GetBoolVariablePropProc, &SetBoolVariablePropProc);
}

TatProperty* TatClass::AddHostObjectProp(const std::string& name, rtti::TObject* object) {
    TatPropDef def;
    def.FName = name;
    def.FDataType = tkClass;
    def.FPropertyClass = object ? object->ClassType() : nullptr;
    def.FGetter = TMachineProc{&GetHostObjectPropProc, nullptr};
    TatProperty* p = SetProp(def);
    p->SetPropExtra(TMachineProc{&GetHostObjectPropProc, p}, TMachineProc{}, ObjectToVar(object ? object->ObjectNumber() : 0));
    return p;
}

void TatClass::AddEnumeration(const rtti::TTypeInfo* enumType) {
    const rtti::TEnumInfo* e = enumType ? enumType->AsEnum() : nullptr;
    if (!e) InternalError(BindingMessage(TBindingMessage::bmInvalidEnumeration));
    if (enumType == rtti::TTypeOf<bool>::Get()) return;
    for (const auto& [ordinal, name] : e->Values()) {
        if (platform::AsciiSameText(name, "False") || platform::AsciiSameText(name, "True")) continue;
        AddConstant(name, Variant::FromInteger(int32_t(ordinal)));
    }
}

// ---- Published properties ------------------------------------------------------------------------

namespace {

void* PublishedInstance(const TatProperty& p, TatVirtualMachine* m) {
    auto [object, classInfo] = rtti::TLiveObjects::Instance().Resolve(m->CurrentObject());
    if (!object || !classInfo) m->RuntimeError(BindingMessage(TBindingMessage::bmObjectRequired, p.FName));
    void* part = classInfo->CastTo(object, static_cast<const rtti::TClassInfo*>(p.FPropInfo->Owner()));
    if (!part) throw platform::EInvalidCast();
    return part;
}

} // namespace

void RTTIGetterProcCode(void* property, TatVirtualMachine* m) {
    const TatProperty& p = PropertyOf(property);
    TatHostBinding* binding = p.FScripter ? &HostBindingOf(p.FScripter) : nullptr;
    if (p.FDataType == tkMethod) {
        Variant result = Variant::Null();
        if (binding && binding->FOnTranslateMethodGetter)
            binding->FOnTranslateMethodGetter(m, PublishedInstance(p, m), p.FPropInfo, result);
        m->ReturnOutputArg(result);
        return;
    }
    switch (p.FDataType) {
    case tkArray: case tkRecord: case tkInterface: case tkDynArray: case tkNone:
        m->ReturnOutputArg(Variant::Null());
        return;
    default: break;
    }
    rtti::TValue value = p.FPropInfo->GetValue(PublishedInstance(p, m));
    if (p.FDataType == tkInt64 || p.FDataType == tkSet || p.FDataType == tkInteger)
        m->ReturnOutputArg(Variant::FromInt64(value.AsInt64()));
    else
        m->ReturnOutputArg(TValueToVariant(value, binding, m->Host()));
}

void RTTISetterProcCode(void* property, TatVirtualMachine* m) {
    const TatProperty& p = PropertyOf(property);
    if (p.FDataType == tkMethod) {
        TatHostBinding* binding = p.FScripter ? &HostBindingOf(p.FScripter) : nullptr;
        if (binding && binding->FOnTranslateMethodSetter)
            binding->FOnTranslateMethodSetter(m, PublishedInstance(p, m), p.FPropInfo, m->GetInputArg(0));
        return;
    }
    switch (p.FDataType) {
    case tkArray: case tkRecord: case tkInterface: case tkDynArray: case tkNone: return;
    default: break;
    }
    p.FPropInfo->SetValue(PublishedInstance(p, m), ScrPrepareValue(p.FPropInfo->Type(), m->GetInputArg(0)));
}

} // namespace vorn::engine

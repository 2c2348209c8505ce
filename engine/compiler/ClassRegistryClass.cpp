// The class entries of the registry: member registration with copying down to
// descendants, inheritance, default properties and unlinking on free.

#include "engine/compiler/ClassRegistry.h"

#include "engine/compiler/DefaultInstances.h"
#include "platform/CaseFolding.h"

#include <algorithm>

namespace vorn::engine {

using platform::AsciiSameText;
using platform::rtti::TClassInfo;

namespace {
bool HostNamed(const TClassInfo* classRef, std::string_view name) {
    for (const TClassInfo* c = classRef; c; c = c->Parent())
        if (AsciiSameText(c->Name(), name)) return true;
    return false;
}
} // namespace

TatClass::TatClass(TatClasses* classes, std::string name) : FName(std::move(name)), FClasses(classes) {}

TatClass::~TatClass() {
    NotifyDescendants();
    if (FAncestor) FAncestor->RemoveDescendant(this);
    if (FClasses && !FClasses->FDestroying) FClasses->ClassRemoved(this);
    FDefaultProperty = nullptr;
    FProperties.Clear();
    FMethods.Clear();
}

TatCustomScripter* TatClass::Scripter() const { return FClasses ? FClasses->Scripter() : nullptr; }

int TatClass::Index() const { return FClasses ? FClasses->IndexOf(this) : -1; }

// ---- Lookups ------------------------------------------------------------------------

TatMethod* TatClass::MethodByName(std::string_view name) const {
    for (int i = FMethods.Count() - 1; i >= 0; --i)
        if (AsciiSameText(FMethods.GetItem(i)->FName, name)) return FMethods.GetItem(i);
    return nullptr;
}

TatProperty* TatClass::PropertyByName(std::string_view name) const {
    for (int i = FProperties.Count() - 1; i >= 0; --i)
        if (AsciiSameText(FProperties.GetItem(i)->FName, name)) return FProperties.GetItem(i);
    return nullptr;
}

TatMethod* TatClass::ClassMethodByName(std::string_view name) const {
    for (int i = FMethods.Count() - 1; i >= 0; --i) {
        TatMethod* m = FMethods.GetItem(i);
        if (m->FIsClassMethod && AsciiSameText(m->FName, name)) return m;
    }
    return nullptr;
}

TatProperty* TatClass::ClassPropertyByName(std::string_view name) const {
    for (int i = FProperties.Count() - 1; i >= 0; --i) {
        TatProperty* p = FProperties.GetItem(i);
        if (p->FIsClassProp && AsciiSameText(p->FName, name)) return p;
    }
    return nullptr;
}

// ---- Member registration ------------------------------------------------------------

bool TatClass::PassesMembersDown() const { return FClassRef && !IsInternalObject() && !IsScripterLibrary(); }

TatProperty* TatClass::RegisterProp(bool overwrite, const TatPropDef& def) {
    TatProperty* p = overwrite ? PropertyByName(def.FName) : nullptr;
    if (!p) p = FProperties.Append(std::make_unique<TatProperty>(this));
    SetLibContext(p);
    p->FName = def.FName;
    p->FDataType = def.FDataType;
    p->FGetter = def.FGetter;
    p->FSetter = def.FSetter;
    p->FPropertyClass = def.FPropertyClass;
    p->FIsClassProp = def.FIsClassProp;
    p->FIndexCount = def.FIndexCount;
    if (!PassesMembersDown()) return p;
    for (TatClass* d : FDescendants)
        if (!d->PropertyByName(def.FName) && !d->IsInternalObject() && !d->IsScripterLibrary()) d->RegisterProp(overwrite, def);
    return p;
}

TatMethod* TatClass::RegisterProc(bool overwrite, const TatProcDef& def, const std::string_view* hints) {
    TatMethod* m = overwrite ? MethodByName(def.FName) : nullptr;
    bool replaced = m != nullptr;
    if (!m) m = FMethods.Append(std::make_unique<TatMethod>(this));
    SetLibContext(m);
    m->FName = def.FName;
    m->SetArgCount(def.FArgCount);
    m->FDefArgCount = def.FDefArgCount;
    m->FResultDataType = def.FResultDataType;
    m->FProc = def.FProc;
    m->FResultClass = def.FResultClass;
    m->FIsClassMethod = def.FIsClassMethod;
    if (replaced) {
        // An entry overwritten by another overload must not keep the by-reference marks
        // of the one before: its arguments are marked again by whoever registers it.
        m->FByRefArgMask = 0;
        for (const auto& argDef : m->FArgDefs) argDef->FModifier = moNone;
    }
    if (hints) m->UpdateParameterHints(*hints);
    if (!PassesMembersDown()) return m;
    for (TatClass* d : FDescendants)
        if (!d->MethodByName(def.FName) && !d->IsInternalObject() && !d->IsScripterLibrary()) d->RegisterProc(overwrite, def, hints);
    return m;
}

TatProperty* TatClass::AddProp(const TatPropDef& def) { return RegisterProp(false, def); }
TatProperty* TatClass::SetProp(const TatPropDef& def) { return RegisterProp(true, def); }

// A Variant property without getter, setter and class carries nothing a script could use.
static bool RegistersNothing(const TatPropDef& def) {
    return def.FDataType == tkVariant && !def.FGetter && !def.FSetter && !def.FPropertyClass;
}

TatProperty* TatClass::DefineProp(const TatPropDef& def) { return RegistersNothing(def) ? nullptr : SetProp(def); }
TatProperty* TatClass::DefineNewProp(const TatPropDef& def) { return RegistersNothing(def) ? nullptr : AddProp(def); }

static TatPropDef Typed(std::string name, TatTypeKind kind, TMachineProc getter, TMachineProc setter, bool isClassProp,
                        const TClassInfo* propertyClass = nullptr) {
    return {std::move(name), kind, getter, setter, propertyClass, isClassProp, 0};
}

// Boolean properties are registered as Integer, as scripts have always seen them.
TatProperty* TatClass::AddIntegerProp(std::string n, TMachineProc g, TMachineProc s, bool c) { return SetProp(Typed(std::move(n), tkInteger, g, s, c)); }
TatProperty* TatClass::AddBooleanProp(std::string n, TMachineProc g, TMachineProc s, bool c) { return SetProp(Typed(std::move(n), tkInteger, g, s, c)); }
TatProperty* TatClass::AddStringProp(std::string n, TMachineProc g, TMachineProc s, bool c) { return SetProp(Typed(std::move(n), tkLString, g, s, c)); }
TatProperty* TatClass::AddFloatProp(std::string n, TMachineProc g, TMachineProc s, bool c) { return SetProp(Typed(std::move(n), tkFloat, g, s, c)); }
TatProperty* TatClass::AddVariantProp(std::string n, TMachineProc g, TMachineProc s, bool c) { return SetProp(Typed(std::move(n), tkVariant, g, s, c)); }
TatProperty* TatClass::AddObjectProp(std::string n, const TClassInfo* pc, TMachineProc g, TMachineProc s, bool c) {
    return SetProp(Typed(std::move(n), tkClass, g, s, c, pc));
}
TatProperty* TatClass::DefineIntegerProp(std::string n, TMachineProc g, TMachineProc s, bool c) { return DefineProp(Typed(std::move(n), tkInteger, g, s, c)); }
TatProperty* TatClass::DefineBooleanProp(std::string n, TMachineProc g, TMachineProc s, bool c) { return DefineProp(Typed(std::move(n), tkInteger, g, s, c)); }
TatProperty* TatClass::DefineStringProp(std::string n, TMachineProc g, TMachineProc s, bool c) { return DefineProp(Typed(std::move(n), tkLString, g, s, c)); }
TatProperty* TatClass::DefineFloatProp(std::string n, TMachineProc g, TMachineProc s, bool c) { return DefineProp(Typed(std::move(n), tkFloat, g, s, c)); }
TatProperty* TatClass::DefineVariantProp(std::string n, TMachineProc g, TMachineProc s, bool c) { return DefineProp(Typed(std::move(n), tkVariant, g, s, c)); }
TatProperty* TatClass::DefineObjectProp(std::string n, const TClassInfo* pc, TMachineProc g, TMachineProc s, bool c) {
    return DefineProp(Typed(std::move(n), tkClass, g, s, c, pc));
}

TatMethod* TatClass::AddProc(const TatProcDef& def) { return RegisterProc(false, def, nullptr); }
TatMethod* TatClass::SetProc(const TatProcDef& def, std::string_view hints) { return RegisterProc(true, def, &hints); }

// ---- Default property and whole-list replacement ----------------------------------

void TatClass::SetDefaultProperty(TatProperty* property) {
    FDefaultProperty = property;
    // Without a property there is no name to look for: descendants keep theirs.
    if (!property || !PassesMembersDown()) return;
    for (TatClass* d : FDescendants) {
        if (d->FDefaultProperty || d->IsInternalObject() || d->IsScripterLibrary()) continue;
        if (TatProperty* own = d->PropertyByName(property->FName)) d->SetDefaultProperty(own);
    }
}

void TatClass::RemoveProperty(std::string_view name) {
    TatProperty* p = PropertyByName(name);
    if (!p) return;
    if (FDefaultProperty == p) FDefaultProperty = nullptr;
    FProperties.Remove(p);
}

void TatClass::SetMethods(const TatMethods& source) {
    if (&source == &FMethods) return;
    FMethods.Clear();
    for (const auto& m : source) FMethods.Append(std::make_unique<TatMethod>(this))->Assign(*m);
}

void TatClass::SetProperties(const TatProperties& source) {
    if (&source == &FProperties) return;
    FDefaultProperty = nullptr;
    FProperties.Clear();
    for (const auto& p : source) FProperties.Append(std::make_unique<TatProperty>(this))->Assign(*p);
}

// ---- Inheritance --------------------------------------------------------------------

void TatClass::Inherits(const std::string& ancestorName) {
    if (FClassRef && FClassRef->Parent() && FClasses) FClasses->AddClassByRTTI(FClassRef->Parent(), {});
    TatClass* ancestor = FClasses ? FClasses->ClassByName(ancestorName) : nullptr;
    // A class never becomes its own ancestor, directly or through a cycle: member
    // propagation down the descendant lists would not end.
    for (TatClass* a = ancestor; a; a = a->FAncestor)
        if (a == this) return;
    if (FAncestor && FAncestor != ancestor) FAncestor->RemoveDescendant(this);
    FAncestor = ancestor;
    if (!ancestor) return;
    if (std::find(ancestor->FDescendants.begin(), ancestor->FDescendants.end(), this) != ancestor->FDescendants.end()) return;
    ancestor->InsertDescendant(this);
    if (IsInternalObject() && !IsScripterLibrary()) return;
    for (const auto& m : ancestor->FMethods) {
        TatMethod* copy = FMethods.Append(std::make_unique<TatMethod>(this));
        copy->Assign(*m);
        SetLibContext(copy);
    }
    // Published properties are not copied: each class registers its own.
    for (const auto& p : ancestor->FProperties) {
        if (p->FPropInfo) continue;
        TatProperty* copy = FProperties.Append(std::make_unique<TatProperty>(this));
        copy->Assign(*p);
        SetLibContext(copy);
    }
    if (ancestor->FDefaultProperty) SetDefaultProperty(PropertyByName(ancestor->FDefaultProperty->FName));
}

void TatClass::InsertDescendant(TatClass* descendant) {
    if (std::find(FDescendants.begin(), FDescendants.end(), descendant) == FDescendants.end())
        FDescendants.push_back(descendant);
}

void TatClass::RemoveDescendant(TatClass* descendant) {
    FDescendants.erase(std::remove(FDescendants.begin(), FDescendants.end(), descendant), FDescendants.end());
}

void TatClass::NotifyDescendants() {
    for (TatClass* d : FDescendants) d->AncestorDestroyed();
    FDescendants.clear();
}

// ---- Kinds of classes and implicit registration ------------------------------------

bool TatClass::IsDefaultInstance() const {
    return FClasses && FClasses->FDefaultInstances && FClasses->FDefaultInstances->HoldsClass(this);
}

bool TatClass::IsInternalObject() const { return HostNamed(FClassRef, "TatInternalObject"); }

bool TatClass::IsScripterLibrary() const { return HostNamed(FClassRef, "TatScripterLibrary"); }

TatClass* TatClass::CastFromString(std::string_view className) {
    for (TatClass* c = this; c; c = c->FAncestor)
        if (AsciiSameText(c->FName, className)) return c;
    return nullptr;
}

void TatClass::SetImplicitElement(const TatMethod* method) {
    FImplicitClassRef = std::make_unique<TatClassRef>();
    TatClassRef& ref = *FImplicitClassRef;
    ref.FClassIndex = Index();
    ref.FElementIndex = method->Index();
    ref.FElementIsMethod = true;
    ref.FClassName = FName;
    ref.FElementName = method->FName;
    ref.FElementClassIndex = method->atClass()->Index();
    ref.FElementClassName = method->atClass()->FName;
}

void TatClass::SetImplicitElement(const TatProperty* property) {
    FImplicitClassRef = std::make_unique<TatClassRef>();
    TatClassRef& ref = *FImplicitClassRef;
    ref.FClassIndex = Index();
    ref.FElementIndex = property->Index();
    ref.FElementIsMethod = false;
    ref.FClassName = FName;
    ref.FElementName = property->FName;
    ref.FElementClassIndex = property->atClass()->Index();
    ref.FElementClassName = property->atClass()->FName;
}

void TatClass::SetLibContext(TatMethod* method) {
    if (FClasses && method->FLibContext.empty()) method->FLibContext = FClasses->FLibraryNameUnderRegistration;
}

void TatClass::SetLibContext(TatProperty* property) {
    if (FClasses && property->FLibContext.empty()) property->FLibContext = FClasses->FLibraryNameUnderRegistration;
}

void TatClass::ForgetClass(const TatClass* removed) {
    for (const auto& m : FMethods)
        if (m->FResultVirtualClass == removed) m->FResultVirtualClass = nullptr;
    for (const auto& p : FProperties)
        if (p->FVirtualClass == removed) p->FVirtualClass = nullptr;
}

} // namespace vorn::engine

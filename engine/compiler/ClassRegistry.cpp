#include "engine/compiler/ClassRegistry.h"
#include "engine/compiler/HostBinding.h"

#include "engine/compiler/DefaultInstances.h"
#include "engine/vm/EngineErrors.h"
#include "engine/vm/SimplifiedCode.h"
#include "platform/CaseFolding.h"

#include <algorithm>

namespace vorn::engine {

using platform::AsciiSameText;
using platform::rtti::TClassInfo;

namespace {

// True when the host class or one of its ancestors is named `name` (A to Z without case):
// the engine's own base classes are recognised by name, the registry does not link them.
bool HostInheritsFrom(const TClassInfo* classRef, std::string_view name) {
    for (const TClassInfo* c = classRef; c; c = c->Parent())
        if (AsciiSameText(c->Name(), name)) return true;
    return false;
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
    return s;
}

// A proc bound to the source's scripter or to the source member itself is bound to the
// copy's scripter or the copy.
TMachineProc Rebound(TMachineProc proc, const void* sourceScripter, const void* source, void* copyScripter, void* copy) {
    if (proc.FObject && proc.FObject == sourceScripter) proc.FObject = copyScripter;
    else if (proc.FObject == source) proc.FObject = copy;
    return proc;
}

// The class a member chain continues with after a member of kind `kind`.
template <class Member>
void UpdateChain(Member* member, TatTypeKind kind, TatClass*& cache, const TClassInfo* hostClass,
                 const std::string& className, TatClass*& currentClass) {
    if (kind != tkClass) {
        currentClass = kind == tkVariant ? UndefinedClass() : nullptr;
    } else if (cache) {
        currentClass = cache;
    } else {
        TatClasses* classes = member->atClass()->Classes();
        if (!hostClass || !classes || classes->FDeferObjectResolution) currentClass = UndefinedClass();
        else if (classes->TestCheckLoaded(hostClass, currentClass, className) && currentClass)
            currentClass->SetImplicitElement(member);
    }
    cache = currentClass;
}

} // namespace

// ---- Argument definitions and methods ------------------------------------------------

TatDataDef* TatDataDefs::Add(std::string name, TatTypeKind dataType, TatArgumentModifier modifier) {
    auto def = std::make_unique<TatDataDef>();
    def->FName = std::move(name);
    def->FDataType = dataType;
    def->FModifier = modifier;
    return Append(std::move(def));
}

TatMethod::TatMethod(TatClass* owner) : FScripter(owner ? owner->Scripter() : nullptr), FClass(owner) {}

int TatMethod::Index() const { return FClass ? FClass->Methods().IndexOf(this) : -1; }

void TatMethod::SetArgCount(int32_t count) {
    FArgCount = count;
    int32_t wanted = std::max(count, 0);
    while (FArgDefs.Count() < wanted) FArgDefs.Add({}, tkNone, moNone);
    while (FArgDefs.Count() > wanted) FArgDefs.Delete(FArgDefs.Count() - 1);
}

void TatMethod::UpdateParameterHints(std::string_view hints) {
    std::string_view rest = TrimBlanks(hints);
    for (int i = 0; !rest.empty() && i < FArgDefs.Count(); ++i) {
        size_t semicolon = rest.find(';');
        std::string_view segment = rest.substr(0, semicolon);
        rest = semicolon == std::string_view::npos ? std::string_view() : rest.substr(semicolon + 1);
        std::string_view defaultText, typeName;
        if (size_t eq = segment.find('='); eq != std::string_view::npos) {
            defaultText = TrimBlanks(segment.substr(eq + 1));
            segment = segment.substr(0, eq);
        }
        if (size_t colon = segment.find(':'); colon != std::string_view::npos) {
            typeName = TrimBlanks(segment.substr(colon + 1));
            segment = segment.substr(0, colon);
        }
        TatDataDef* def = FArgDefs.GetItem(i);
        def->FName = TrimBlanks(segment);
        def->FDataTypeName = typeName;
        def->FDefaultValueText = defaultText;
    }
}

void TatMethod::SetVarArgs(std::span<const uint8_t> positions) {
    SetArgCount(FArgCount);
    for (uint8_t p : positions) {
        // A position beyond the arguments has no definition to mark.
        if (p >= FArgDefs.Count()) continue;
        FArgDefs.GetItem(p)->FModifier = moVar;
        FByRefArgMask |= uint32_t(1) << (p % 32);
    }
    if (!FClass) return;
    for (TatClass* descendant : FClass->Descendants()) {
        TatMethod* same = descendant->MethodByName(FName);
        if (same && same->FArgCount == FArgCount) same->SetVarArgs(positions);
    }
}

bool TatMethod::IsByRefArg(int n) const {
    return n >= 0 && n < FArgDefs.Count() && FArgDefs.GetItem(n)->FModifier == moVar;
}

void TatMethod::UpdateObjectInfo(TatClass*& currentClass) {
    UpdateChain(this, FResultDataType, FResultVirtualClass, FResultClass, FResultClassName, currentClass);
}

std::string TatMethod::GetResultTypeName() const {
    if (FResultType) return FResultType->Name();
    if (!FResultClassName.empty()) return FResultClassName;
    switch (FResultDataType) {
    case tkInteger:
    case tkInt64: return "Integer";
    case tkFloat: return "Double";
    case tkString:
    case tkLString:
    case tkWString:
    case tkUString: return "string";
    default: return {};
    }
}

bool TatMethod::GetReturnsLibrary() const { return HostInheritsFrom(FResultClass, "TatScripterLibrary"); }

void TatMethod::Assign(const TatMethod& source) {
    FName = source.FName;
    FProc = Rebound(source.FProc, source.FScripter, &source, FScripter, this);
    FResultDataType = source.FResultDataType;
    FResultType = source.FResultType;
    SetArgCount(source.FArgCount);
    FDefArgCount = source.FDefArgCount;
    FResultClass = source.FResultClass;
    FResultClassName = source.FResultClassName;
    FResultVirtualClass = source.FResultVirtualClass;
    for (int i = 0; i < FArgDefs.Count() && i < source.FArgDefs.Count(); ++i)
        *FArgDefs.GetItem(i) = *source.FArgDefs.GetItem(i);
    FIsClassMethod = source.FIsClassMethod;
    FByRefArgMask = source.FByRefArgMask;
}

// ---- Properties ---------------------------------------------------------------------

TatProperty::TatProperty(TatClass* owner) : FScripter(owner ? owner->Scripter() : nullptr), FClass(owner) {}

TatProperty::~TatProperty() {
    if (FClass && FClass->FDefaultProperty == this) FClass->FDefaultProperty = nullptr;
}

int TatProperty::Index() const { return FClass ? FClass->Properties().IndexOf(this) : -1; }

void TatProperty::UpdateObjectInfo(TatClass*& currentClass) {
    UpdateChain(this, FDataType, FVirtualClass, FPropertyClass, FPropertyClassName, currentClass);
}

std::string TatProperty::GetPropTypeName() const {
    if (FPropType) return FPropType->Name();
    if (!FPropertyClassName.empty()) return FPropertyClassName;
    if (FPropInfo && FPropInfo->Type()) return FPropInfo->Type()->Name();
    return {};
}

void TatProperty::Assign(const TatProperty& source) {
    FName = source.FName;
    FDataType = source.FDataType;
    FGetter = Rebound(source.FGetter, source.FScripter, &source, FScripter, this);
    FSetter = Rebound(source.FSetter, source.FScripter, &source, FScripter, this);
    FPropertyClass = source.FPropertyClass;
    FPropertyClassName = source.FPropertyClassName;
    FVirtualClass = source.FVirtualClass;
    FPropInfo = source.FPropInfo;
    FPropType = source.FPropType;
    FValue = source.FValue;
    FIsClassProp = source.FIsClassProp;
    FIndexCount = source.FIndexCount;
}

// ---- The registry -------------------------------------------------------------------

TatClass* UndefinedClass() {
    // Created on first use and kept for the process: member caches of every registry
    // may point at it.
    static TatClass* undefined = new TatClass(nullptr, {});
    return undefined;
}

TatClasses::TatClasses(TatCustomScripter* scripter) : FScripter(scripter) {}

TatClasses::~TatClasses() {
    FDestroying = true;
    for (TatObjects* list : FInstanceLists) list->FClasses = nullptr;
    Clear();
}

int TatClasses::IndexOf(std::string_view name) const {
    for (int i = 0; i < Count(); ++i)
        if (AsciiSameText(GetItem(i)->FName, name)) return i;
    return -1;
}

TatClass* TatClasses::ClassByName(std::string_view name) const {
    int i = IndexOf(name);
    return i < 0 ? nullptr : GetItem(i);
}

TatClass* TatClasses::Add(std::string name) { return Append(std::make_unique<TatClass>(this, std::move(name))); }

TatClass* TatClasses::FindOrAdd(const std::string& name) {
    TatClass* found = ClassByName(name);
    return found ? found : Add(name);
}

int TatClasses::GetImplicitCount() const {
    return int(std::count_if(begin(), end(), [](const auto& c) { return c->IsImplicit(); }));
}

TatClass* TatClasses::AddRecord(const platform::rtti::TTypeInfo* recordType, const std::string& name) {
    TatRegLevelGuard level(*this);
    std::string recordName = name.empty() ? recordType->Name() : name;
    TatClass* entry = FindOrAdd(recordName);
    SetLibraryContext(entry);
    if (!entry->FRecordRef) {
        entry->FName = recordName;
        entry->FRecordRef = recordType;
    }
    return entry;
}

void TatClasses::SetLibraryContext(TatClass* atClass) {
    if (atClass->FLibContext.empty() || FRegLevel == 1) atClass->FLibContext = FLibraryNameUnderRegistration;
}

TatClass* TatClasses::AddClassByRTTI(const TClassInfo* classRef, const std::string& name) {
    // The scripter's binding installs the published-property step on first use.
    if (!OnAddPublishedProperties && FScripter) HostBindingOf(FScripter);
    TatRegLevelGuard level(*this);
    std::string className = name.empty() ? classRef->Name() : name;
    TatClass* entry = FindOrAdd(className);
    SetLibraryContext(entry);
    if (entry->FClassRef) return entry;
    entry->FName = className;
    entry->FClassRef = classRef;
    if (!AsciiSameText(classRef->Name(), className)) {
        // An alias: the class under its own name first, the alias inherits from it.
        AddClassByRTTI(classRef, {});
        entry->FAncestorName = classRef->Name();
        entry->Inherits(entry->FAncestorName);
    } else if (classRef->Parent()) {
        entry->FAncestorName = classRef->Parent()->Name();
        if (!entry->FAncestorName.empty()) entry->Inherits(entry->FAncestorName);
    }
    if (OnAddPublishedProperties) OnAddPublishedProperties(entry);
    return entry;
}

TatClass* TatClasses::CheckLoaded(const TClassInfo* classRef, const std::string& name) {
    if (!OnCheckLoaded && FScripter) HostBindingOf(FScripter);
    return OnCheckLoaded ? OnCheckLoaded(classRef, name) : AddClassByRTTI(classRef, name);
}

bool TatClasses::TestCheckLoaded(const TClassInfo* classRef, TatClass*& currentClass, const std::string& name) {
    TatClass* found = ClassByName(name.empty() ? classRef->Name() : name);
    if (!found || !found->FClassRef) {
        currentClass = CheckLoaded(classRef, name);
        return true;
    }
    currentClass = found;
    return false;
}

int32_t TatClasses::PackMemberReference(int32_t kind, int32_t classIndex, int32_t memberIndex) const {
    int32_t packed = 0;
    if (!TryPackMemberReference(TMemberRefKind(kind), memberIndex, classIndex, packed))
        DefinitionError("Member reference out of range: class index " + std::to_string(classIndex) +
                        ", member index " + std::to_string(memberIndex) + " (at most " +
                        std::to_string(MaxPackedClassIndex) + " each)");
    return packed;
}

void TatClasses::ClassRemoved(const TatClass* removed) {
    for (const auto& c : *this) c->ForgetClass(removed);
    for (TatObjects* list : FInstanceLists) list->ClassRemoved(removed);
}

} // namespace vorn::engine

#include "engine/compiler/DefaultInstances.h"

#include "engine/vm/EngineErrors.h"
#include "platform/CaseFolding.h"
#include "platform/rtti/Object.h"
#include "platform/rtti/TypeInfo.h"

#include <algorithm>

namespace vorn::engine {

using platform::AsciiSameText;
using platform::AsciiUpperCase;
using platform::rtti::TClassInfo;

// ---- Default instances --------------------------------------------------------------

void TatObject::SeTatClass(TatClass* value) {
    TatClasses* classes = FOwner ? FOwner->Classes() : nullptr;
    TatClass* found = classes && value ? classes->ClassByName(value->FName) : nullptr;
    if (!found) DefinitionError("Undefined default instance class '" + (value ? value->FName : std::string()) + "'");
    FatClass = found;
}

void TatObject::Assign(const TatObject& source) {
    FName = source.FName;
    FInstance = source.FInstance;
    FatClass = source.FatClass;
}

TatObjects::TatObjects(TatClasses* classes) : FClasses(classes) {
    if (FClasses) FClasses->FInstanceLists.push_back(this);
}

TatObjects::~TatObjects() {
    if (!FClasses) return;
    auto& lists = FClasses->FInstanceLists;
    lists.erase(std::remove(lists.begin(), lists.end(), this), lists.end());
}

TatObject* TatObjects::Add(void* instance, const TClassInfo* instanceClass, const std::string& name,
                           const std::string& className) {
    if (!instance || !instanceClass) DefinitionError("Invalid reZudera default instance");
    std::string entryName = name;
    if (entryName.empty() && OnLibraryName) entryName = OnLibraryName(instance, instanceClass);
    if (entryName.empty()) entryName = instanceClass->Name();
    if (int i = IndexOf(entryName); i >= 0) return GetItem(i);
    if (!FClasses) DefinitionError("Invalid reZudera default instance");
    auto entry = std::make_unique<TatObject>(this);
    entry->FInstance = instance;
    entry->FatClass = FClasses->CheckLoaded(instanceClass, className);
    entry->FName = entryName;
    return Append(std::move(entry));
}

TatObject* TatObjects::Add(platform::rtti::TObject* instance, const std::string& name, const std::string& className) {
    if (!instance) DefinitionError("Invalid reZudera default instance");
    auto part = instance->ClassPart();
    return Add(part.first, part.second, name, className);
}

int TatObjects::IndexOf(std::string_view name) const {
    for (int i = 0; i < Count(); ++i)
        if (AsciiSameText(GetItem(i)->FName, name)) return i;
    return -1;
}

int TatObjects::FindInstanceByMethodName(std::string_view methodName, TatMethod*& method) const {
    for (int i = Count() - 1; i >= 0; --i) {
        TatClass* c = GetItem(i)->FatClass;
        if (c && (method = c->MethodByName(methodName))) return i;
    }
    method = nullptr;
    return -1;
}

int TatObjects::FindInstanceByPropertyName(std::string_view propertyName, TatProperty*& property) const {
    for (int i = Count() - 1; i >= 0; --i) {
        TatClass* c = GetItem(i)->FatClass;
        if (c && (property = c->PropertyByName(propertyName))) return i;
    }
    property = nullptr;
    return -1;
}

TatObject* TatObjects::FindInstanceByClassName(std::string_view className) const {
    for (int i = Count() - 1; i >= 0; --i) {
        TatClass* c = GetItem(i)->FatClass;
        if (c && AsciiSameText(c->FName, className)) return GetItem(i);
    }
    return nullptr;
}

bool TatObjects::HoldsClass(const TatClass* atClass) const {
    return std::any_of(begin(), end(), [&](const auto& o) { return o->FatClass == atClass; });
}

// Entries keep their positions (compiled code refers to them) but lose a freed class.
void TatObjects::ClassRemoved(const TatClass* removed) {
    for (const auto& o : *this)
        if (o->FatClass == removed) o->FatClass = nullptr;
}

// ---- Implicit class references -------------------------------------------------------

TatClassRef* TatClassRefs::Add(int32_t classIndex, int32_t elementIndex, int32_t elementClassIndex,
                               bool elementIsMethod, std::string className, std::string elementName,
                               std::string elementClassName) {
    auto ref = std::make_unique<TatClassRef>();
    ref->FClassIndex = classIndex;
    ref->FElementIndex = elementIndex;
    ref->FElementClassIndex = elementClassIndex;
    ref->FElementIsMethod = elementIsMethod;
    ref->FClassName = std::move(className);
    ref->FElementName = std::move(elementName);
    ref->FElementClassName = std::move(elementClassName);
    return Append(std::move(ref));
}

namespace {
// A member by position when the position holds a member of that name, else the newest by name.
template <class List, class Find>
auto MemberAt(const List& list, int32_t index, const std::string& name, Find byName) -> decltype(list.GetItem(0)) {
    if (index >= 0 && index < list.Count() && AsciiSameText(list.GetItem(index)->FName, name)) return list.GetItem(index);
    return byName(name);
}
} // namespace

TatClass* TatClassRefs::ElementClass(const TatClassRef& ref) const {
    // Every script registers its global object under "TatInternalObject" and a number;
    // the bare name (17 characters) is an ordinary class.
    std::string upper = AsciiUpperCase(ref.FElementClassName);
    if (upper.rfind("TATINTERNALOBJECT", 0) == 0 && upper.size() > 17 && OnInternalObjectClass)
        return OnInternalObjectClass();
    const TatClasses& classes = *FClasses;
    int32_t i = ref.FElementClassIndex;
    if (i >= 0 && i < classes.Count() && AsciiSameText(classes.GetItem(i)->FName, ref.FElementClassName))
        return classes.GetItem(i);
    return classes.ClassByName(ref.FElementClassName);
}

void TatClassRefs::CheckLoaded(const TatClassRef& ref) const {
    try {
        TatClass* owner = FClasses ? ElementClass(ref) : nullptr;
        if (!owner) InternalError("Class '" + ref.FElementClassName + "' not found");
        if (ref.FElementIsMethod) {
            TatMethod* m = MemberAt(owner->Methods(), ref.FElementIndex, ref.FElementName,
                                    [&](const std::string& n) { return owner->MethodByName(n); });
            if (!m || !m->FResultClass) InternalError("Method '" + ref.FElementName + "' not found");
            FClasses->CheckLoaded(m->FResultClass, m->FResultClassName);
        } else {
            TatProperty* p = MemberAt(owner->Properties(), ref.FElementIndex, ref.FElementName,
                                      [&](const std::string& n) { return owner->PropertyByName(n); });
            if (!p || !p->FPropertyClass) InternalError("Property '" + ref.FElementName + "' not found");
            FClasses->CheckLoaded(p->FPropertyClass, p->FPropertyClassName);
        }
    } catch (const std::exception& e) {
        InternalError(std::string("Error loading implicit class reference.\r\n") + e.what());
    }
}

} // namespace vorn::engine

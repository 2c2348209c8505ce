#pragma once
// Default instances (host objects whose members scripts use without naming the object)
// and implicit class references (which member led the compiler to register a class on
// demand, kept in compiled images so a new registry can register it again).

#include "engine/compiler/ClassRegistry.h"
#include "platform/rtti/Object.h"

#include <functional>
#include <string>
#include <string_view>

namespace vorn::engine {

// One default instance: its name, the host object (not owned) and its registry entry.
class TatObject {
public:
    explicit TatObject(TatObjects* owner) : FOwner(owner) {}
    const std::string& Name() const { return FName; }
    void* Instance() const { return FInstance; }
    TatClass* atClass() const { return FatClass; }
    // Looks the class up again by its name in the registry; a class that is not there is
    // the definition error "Undefined default instance class '%s'".
    void SeTatClass(TatClass* value);
    void Assign(const TatObject& source);

    std::string FName;
    void* FInstance = nullptr;
    TatClass* FatClass = nullptr;

private:
    TatObjects* FOwner;
};

// A list of default instances resolving classes in one registry.
class TatObjects : public TatOwnedList<TatObject> {
public:
    explicit TatObjects(TatClasses* classes);
    ~TatObjects();
    TatObjects(const TatObjects&) = delete;
    TatObjects& operator=(const TatObjects&) = delete;

    TatClasses* Classes() const { return FClasses; }
    // Registers a default instance (`instanceClass` is the instance's class). A null
    // instance is the definition error "Invalid reZudera default instance"; an existing
    // entry of the name is returned unchanged.
    TatObject* Add(void* instance, const platform::rtti::TClassInfo* instanceClass, const std::string& name,
                   const std::string& className = {});
    // The same for an object that knows its class.
    TatObject* Add(platform::rtti::TObject* instance, const std::string& name, const std::string& className = {});
    int IndexOf(std::string_view name) const;
    using TatOwnedList<TatObject>::IndexOf;
    // From the newest entry back: the first whose class has a method (property) of that name.
    int FindInstanceByMethodName(std::string_view methodName, TatMethod*& method) const;
    int FindInstanceByPropertyName(std::string_view propertyName, TatProperty*& property) const;
    TatObject* FindInstanceByClassName(std::string_view className) const;
    // True when an entry's class is `atClass`.
    bool HoldsClass(const TatClass* atClass) const;

    // The name of a library object (set by the library unit); empty when not a library.
    std::function<std::string(void* instance, const platform::rtti::TClassInfo* instanceClass)> OnLibraryName;

private:
    friend class TatClasses;
    void ClassRemoved(const TatClass* removed);

    TatClasses* FClasses;
};

// The member that caused an on-demand class registration, by position and by name.
class TatClassRef {
public:
    int32_t ClassIndex() const { return FClassIndex; }
    int32_t ElementIndex() const { return FElementIndex; }
    bool ElementIsMethod() const { return FElementIsMethod; }
    int32_t ElementClassIndex() const { return FElementClassIndex; }

    int32_t FClassIndex = 0;
    int32_t FElementIndex = 0;
    bool FElementIsMethod = false;
    std::string FElementName;
    std::string FClassName;
    std::string FElementClassName;
    int32_t FElementClassIndex = 0;
};

// The implicit class references read back from one compiled image.
class TatClassRefs : public TatOwnedList<TatClassRef> {
public:
    explicit TatClassRefs(TatClasses* classes) : FClasses(classes) {}
    TatClassRef* Add(int32_t classIndex, int32_t elementIndex, int32_t elementClassIndex, bool elementIsMethod,
                     std::string className, std::string elementName, std::string elementClassName);
    // Registers the class of one reference again; any failure becomes the internal
    // error "Error loading implicit class reference.\r\n" followed by its message.
    void CheckLoaded(const TatClassRef& ref) const;

    // The owning script's internal-object class (every script registers its global
    // object under "TatInternalObject" and a number); wired by the script.
    std::function<TatClass*()> OnInternalObjectClass;
    void* FScript = nullptr;

private:
    TatClass* ElementClass(const TatClassRef& ref) const;
    TatClasses* FClasses;
};

} // namespace vorn::engine

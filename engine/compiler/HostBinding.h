#pragma once
// Host binding through type information: registration of host classes and records from
// the reflection layer into the class registry (`DefineClass` with `TDefineClassOptions`,
// `DefineRecordByRTTI`, the published-property step), and the generic machine procs that
// serve every member registered this way by finding it again by name at each call.
// One `TatHostBinding` belongs to each scripter; it also owns the objects scripts create
// through it (constructed host objects, record wrappers) until the script frees them, the
// script that created them is cleared, or the scripter goes.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/compiler/ClassRegistry.h"
#include "platform/rtti/Rtti.h"

namespace vorn::engine {

class TatCustomScripter;
class TatMachineHost;
class TatVirtualMachine;

// Member visibilities as a set (bit n = visibility n).
using TMemberVisibilities = uint8_t;
constexpr TMemberVisibilities VisibilityBit(platform::rtti::TMemberVisibility v) { return uint8_t(1u << v); }
constexpr TMemberVisibilities kPublicAndPublished =
    VisibilityBit(platform::rtti::mvPublic) | VisibilityBit(platform::rtti::mvPublished);

enum TRedefineOption : uint8_t { roNone = 0, roInclude = 1, roOverwrite = 2 };

// What one DefineClassByRTTI call registers; shared by every class the call reaches.
struct TDefineClassOptions {
    bool FRecursive = false;
    TMemberVisibilities FVisibilityFilter = kPublicAndPublished;
    TRedefineOption FRedefine = roNone;
    bool FCustomProperties = false;
    std::vector<const platform::rtti::TPropertyInfo*> FProperties;
    bool FCustomFields = false;
    std::vector<const platform::rtti::TFieldInfo*> FFields;
};

// Event-property translation (properties of method kind), set by the event broker.
using TTranslateMethodGetterProc = std::function<void(TatVirtualMachine* machine, void* instance,
                                                      const platform::rtti::TPropertyInfo* propInfo, Variant& value)>;
using TTranslateMethodSetterProc = std::function<void(TatVirtualMachine* machine, void* instance,
                                                      const platform::rtti::TPropertyInfo* propInfo,
                                                      const Variant& value)>;

class TatHostBinding {
public:
    explicit TatHostBinding(TatCustomScripter* scripter);
    // Frees every object scripts created through this binding and did not free.
    ~TatHostBinding();
    TatHostBinding(const TatHostBinding&) = delete;
    TatHostBinding& operator=(const TatHostBinding&) = delete;

    TatCustomScripter* Scripter() const { return FScripter; }

    // ---- Registration ---------------------------------------------------------------------
    // The extended registration of `classRef` under `name` (its own name when empty).
    TatClass* DefineClass(const platform::rtti::TClassInfo* classRef, const TDefineClassOptions& options,
                          const std::string& name);
    // A host record type with its fields and methods; the entry has "Create" and "Free".
    TatClass* DefineRecordByRTTI(const platform::rtti::TTypeInfo* recordType);
    // The record's entry (an empty name: the type's own) with "Create" and "Free".
    TatClass* DefineRecord(const platform::rtti::TTypeInfo* recordType, const std::string& name);
    // The published-property step of the narrow registration (AddClassByRTTI).
    void AddPublishedProperties(TatClass* entry);
    // On-demand registration: the extended form when AutoLoadClassUsingRTTI is set.
    TatClass* CheckLoaded(const platform::rtti::TClassInfo* classRef, const std::string& name);

    // ---- Generic procs (each takes the running machine) -----------------------------------
    void GenericFieldGetterMachineProc(TatVirtualMachine* machine);
    void GenericFieldSetterMachineProc(TatVirtualMachine* machine);
    void GenericPropGetterMachineProc(TatVirtualMachine* machine);
    void GenericPropSetterMachineProc(TatVirtualMachine* machine);
    void GenericIdxPropGetterMachineProc(TatVirtualMachine* machine);
    void GenericIdxPropSetterMachineProc(TatVirtualMachine* machine);
    void GenericMethodMachineProc(TatVirtualMachine* machine);
    void GenericRecordFieldGetterMachineProc(TatVirtualMachine* machine);
    void GenericRecordFieldSetterMachineProc(TatVirtualMachine* machine);
    void GenericRecordMethodMachineProc(TatVirtualMachine* machine);
    void RecordCreateProc(TatVirtualMachine* machine);
    void RecordFreeProc(TatVirtualMachine* machine);
    void ComponentCreateProc(TatVirtualMachine* machine);
    // "Free" of a host object: frees it when a script created it, else does nothing.
    void ObjectFreeProc(TatVirtualMachine* machine);

    // A proc of this binding bound to the scripter (so registry copies rebind it).
    template <void (TatHostBinding::*Proc)(TatVirtualMachine*)>
    TMachineProc Bound() const;

    // ---- Objects created by scripts --------------------------------------------------------
    // Takes ownership of an object a script created; returns its live-object number. The
    // owner is the script whose machine created it (null: kept until the binding goes).
    template <class T>
    int64_t Adopt(std::unique_ptr<T> object, const TatMachineHost* owner) {
        int64_t number = static_cast<platform::rtti::TObject*>(object.get())->ObjectNumber();
        FCreated[number] = TCreated{owner, [p = object.release()] { delete p; }};
        return number;
    }
    // Takes ownership of a host object made by a class factory or constructor.
    int64_t AdoptInstance(void* object, const platform::rtti::TClassInfo* classInfo, const TatMachineHost* owner);
    // Frees an object this binding owns; false when it owns no object of that number.
    bool FreeCreated(int64_t number);
    size_t CreatedCount() const { return FCreated.size(); }
    // The number of objects still owned on behalf of `owner`.
    size_t CreatedCountOf(const TatMachineHost* owner) const;
    // Frees the objects `owner` created and did not free (its script is being cleared).
    // Objects freed meanwhile by another path are skipped; freeing may free more objects.
    void FreeCreatedBy(const TatMachineHost* owner) noexcept;
    void FreeAllCreated() noexcept;

    bool FAutoLoadClassUsingRTTI = false;
    TTranslateMethodGetterProc FOnTranslateMethodGetter;
    TTranslateMethodSetterProc FOnTranslateMethodSetter;
    // The type kinds the published registration takes (bit n = kind n).
    platform::rtti::TTypeKinds FTypeInfoFilter;

private:
    struct TDefineContext;
    void DefineMethods(TatClass* entry, const platform::rtti::TClassInfo* classRef, TDefineContext& ctx);
    void DefineProperties(TatClass* entry, const platform::rtti::TClassInfo* classRef, TDefineContext& ctx);
    void DefineFields(TatClass* entry, const platform::rtti::TClassInfo* classRef, TDefineContext& ctx);
    void RecordsReached(const platform::rtti::TTypeInfo* type);
    void DefineObjectFree();
    void RecursiveDefine(const platform::rtti::TTypeInfo* type, TDefineContext& ctx);
    void ApplyParameters(TatMethod* method, const platform::rtti::TMethodInfo* info);

    // The overload candidates a host-call instruction found for a class, so that a loop
    // calling one host method looks them up once; checked against the instruction's
    // member name, so a reused instruction address never answers with another member.
    struct TMethodLookup {
        const platform::rtti::TClassInfo* FClass = nullptr;
        std::u16string FName;
        std::vector<const platform::rtti::TMethodInfo*> FCandidates;
    };
    const TMethodLookup& LookupMethods(TatVirtualMachine* machine, const platform::rtti::TClassInfo* classInfo);

    // An object owned for a script: the script that created it and how to free it.
    struct TCreated {
        const TatMachineHost* FOwner = nullptr;
        std::function<void()> FFree;
    };
    static void RunFree(std::function<void()>& free) noexcept;

    TatCustomScripter* FScripter;
    std::unordered_map<int64_t, TCreated> FCreated;
    std::unordered_map<const void*, TMethodLookup> FMethodLookups;
    // The last object a generic proc resolved (a loop calls on the same object).
    platform::rtti::TLiveObjects::TResolveMemo FResolveMemo;
};

// The getter and setter of a published property, bound to the property entry itself
// (`TatProperty.RTTIGetterProc` / `RTTISetterProc`).
void RTTIGetterProcCode(void* property, TatVirtualMachine* machine);
void RTTISetterProcCode(void* property, TatVirtualMachine* machine);

// The binding of a scripter (created on first use).
TatHostBinding& HostBindingOf(TatCustomScripter* scripter);

template <void (TatHostBinding::*Proc)(TatVirtualMachine*)>
TMachineProc TatHostBinding::Bound() const {
    return TMachineProc{[](void* s, TatVirtualMachine* m) {
                            (HostBindingOf(static_cast<TatCustomScripter*>(s)).*Proc)(m);
                        },
                        FScripter};
}

} // namespace vorn::engine

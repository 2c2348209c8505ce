// The generic machine procs: every member registered through type information is served
// here. A proc learns the object and member name from the machine, finds the member again
// by name in the object's type information, converts the arguments to the member's
// declared types, performs the access and hands the result and by-reference arguments back.

#include <algorithm>
#include <new>
#include <span>

#include "engine/compiler/BindingMessages.h"
#include "engine/compiler/HostBinding.h"
#include "engine/compiler/RttiValues.h"
#include "engine/compiler/Scripter.h"
#include "engine/vm/RecordWrapper.h"
#include "engine/vm/ScriptValue.h"
#include "engine/vm/VirtualMachine.h"
#include "platform/CaseFolding.h"

namespace vorn::engine {

namespace rtti = platform::rtti;
using rtti::TValue;

namespace {

// The machine's current object resolved through the live-object registry: a forged or
// stale number is "Invalid class typecast".
struct TCurrentObject {
    void* FObject = nullptr;
    const rtti::TClassInfo* FClass = nullptr;
};

TCurrentObject CurrentObjectOf(TatVirtualMachine* machine, rtti::TLiveObjects::TResolveMemo& memo) {
    TCurrentObject current;
    const int64_t number = machine->CurrentObject();
    // Written field by field: a pair written to memory and read back whole stalls the CPU.
    if (!rtti::TLiveObjects::Instance().TryResolve(number, current.FObject, current.FClass, memo) ||
        (current.FObject && !current.FClass))
        throw platform::EInvalidCast();
    return current;
}

std::string MemberName(TatVirtualMachine* machine) {
    std::string name = machine->CurrentMethodName();
    return name.empty() ? machine->CurrentPropertyName() : name;
}

// The instance a member of `owner` is used on; a member of an instance needs an object.
void* InstancePart(TatVirtualMachine* machine, const TCurrentObject& current, const rtti::TStructInfo* owner,
                   const std::string& name) {
    if (!current.FObject) machine->RuntimeError(BindingMessage(TBindingMessage::bmObjectRequired, name));
    void* part = current.FClass->CastTo(current.FObject, static_cast<const rtti::TClassInfo*>(owner));
    if (!part) throw platform::EInvalidCast();
    return part;
}

[[noreturn]] void MemberNotFound(TatVirtualMachine* machine, const std::string& name, const rtti::TTypeInfo* type) {
    machine->RuntimeError(BindingMessage(TBindingMessage::bmMemberNotFound, name, type ? type->Name() : "nil"));
}

// The methods of that name in the type and its ancestors, own ones first, each class's
// in declaration order.
std::vector<const rtti::TMethodInfo*> Candidates(const rtti::TStructInfo* type, std::string_view name) {
    std::vector<const rtti::TMethodInfo*> found;
    for (const rtti::TStructInfo* t = type; t; t = t->ParentStruct())
        for (const auto& m : t->Methods())
            if (platform::AsciiSameText(m->Name(), name)) found.push_back(m.get());
    return found;
}

const rtti::TMethodInfo* ChooseOverload(const std::vector<const rtti::TMethodInfo*>& candidates, int argc) {
    for (const rtti::TMethodInfo* m : candidates)
        if (int(m->Parameters().size()) == argc) return m;
    return nullptr;
}

// The arguments of a host method call: up to eight live in the call's own frame and
// only as many are made as the method takes; more go to the heap.
class TCallArguments {
public:
    explicit TCallArguments(size_t n) : FCount(n) {
        if (n > Inline) {
            FOverflow.resize(n);
            FArgs = FOverflow.data();
            return;
        }
        FArgs = reinterpret_cast<TValue*>(FStorage);
        for (size_t i = 0; i < n; ++i) new (FArgs + i) TValue();
    }
    ~TCallArguments() {
        if (FCount <= Inline)
            for (size_t i = 0; i < FCount; ++i) FArgs[i].~TValue();
    }
    TCallArguments(const TCallArguments&) = delete;
    TCallArguments& operator=(const TCallArguments&) = delete;
    std::span<TValue> Span() noexcept { return {FArgs, FCount}; }

private:
    static constexpr size_t Inline = 8;
    alignas(TValue) unsigned char FStorage[Inline * sizeof(TValue)];
    std::vector<TValue> FOverflow;
    TValue* FArgs;
    size_t FCount;
};

// The script's arguments converted to the parameters' types. An out parameter's
// incoming value is not read: it starts as the type's default.
void PrepareArguments(TatVirtualMachine* machine, const rtti::TMethodInfo* method, std::span<TValue> args) {
    const auto& params = method->Parameters();
    for (size_t i = 0; i < args.size(); ++i) {
        const rtti::TParamInfo& param = params[i];
        if (!param.IsOut()) args[i] = ScrPrepareValue(param.Type(), machine->PeekInputArg(int(i)));
    }
}

// Returns the result (when there is one) and writes by-reference arguments back.
void FinishCall(TatVirtualMachine* machine, TatHostBinding* binding, const rtti::TMethodInfo* method,
                const TValue& result, std::span<TValue> args) {
    if (result.Kind() == rtti::TValueKind::vkInteger && !method->IsConstructor()) {
        // The common case without the general conversion.
        const int64_t i = result.AsInt64();
        machine->ReturnOutputArg(i == int32_t(i) ? Variant::FromInteger(int32_t(i)) : Variant::FromInt64(i));
    } else if (ScrTypeKind(method->ReturnType()) != tkNone || method->IsConstructor()) {
        machine->ReturnOutputArg(TValueToVariant(result, binding, machine->Host()));
    }
    for (size_t i = 0; i < args.size(); ++i)
        if (method->Parameters()[i].IsByRef())
            machine->SetInputArgIfByRef(int(i), TValueToVariant(args[i], binding, machine->Host()));
}

// When no overload takes the given number of arguments, the call fails by name and
// count instead of silently doing nothing: a script must not believe it called it.
[[noreturn]] void NoOverload(TatVirtualMachine* machine, const std::string& name, int argc) {
    machine->RuntimeError(BindingMessage(TBindingMessage::bmNoOverload, name, std::to_string(argc)));
}

TGenericRecordWrapper* CurrentWrapper(TatVirtualMachine* machine, rtti::TLiveObjects::TResolveMemo& memo) {
    TCurrentObject current = CurrentObjectOf(machine, memo);
    if (!current.FObject) return nullptr;
    return static_cast<TGenericRecordWrapper*>(current.FClass->CastTo(current.FObject, &TGenericRecordWrapper::ClassInfo()));
}

// The property the current instruction names on `classInfo`, remembered in the
// instruction for the next time it runs on the same class.
const rtti::TPropertyInfo* CachedProperty(TatVirtualMachine* machine, const rtti::TClassInfo* classInfo) {
    TSimplifiedCode* inst = machine->CurrentInstruction();
    if (inst && classInfo && inst->HostCacheKey == classInfo)
        return static_cast<const rtti::TPropertyInfo*>(inst->HostCacheValue);
    std::string name = machine->CurrentPropertyName();
    const rtti::TPropertyInfo* p = classInfo ? classInfo->PropertyByName(name) : nullptr;
    if (!p) MemberNotFound(machine, name, classInfo);
    if (inst) {
        inst->HostCacheKey = classInfo;
        inst->HostCacheValue = p;
    }
    return p;
}

} // namespace

// ---- Fields and properties of classes ----------------------------------------------------------

void TatHostBinding::GenericFieldGetterMachineProc(TatVirtualMachine* machine) {
    TCurrentObject current = CurrentObjectOf(machine, FResolveMemo);
    std::string name = machine->CurrentPropertyName();
    const rtti::TFieldInfo* field = current.FClass ? current.FClass->FieldByName(name) : nullptr;
    if (!field) MemberNotFound(machine, name, current.FClass);
    TValue value = field->GetValue(InstancePart(machine, current, field->Owner(), name));
    machine->ReturnOutputArg(TValueToVariant(value, this, machine->Host()));
}

void TatHostBinding::GenericFieldSetterMachineProc(TatVirtualMachine* machine) {
    TCurrentObject current = CurrentObjectOf(machine, FResolveMemo);
    std::string name = machine->CurrentPropertyName();
    const rtti::TFieldInfo* field = current.FClass ? current.FClass->FieldByName(name) : nullptr;
    if (!field) MemberNotFound(machine, name, current.FClass);
    TValue value = ScrPrepareValue(field->Type(), machine->GetInputArg(0));
    field->SetValue(InstancePart(machine, current, field->Owner(), name), value);
}

void TatHostBinding::GenericPropGetterMachineProc(TatVirtualMachine* machine) {
    TCurrentObject current = CurrentObjectOf(machine, FResolveMemo);
    const rtti::TPropertyInfo* p = CachedProperty(machine, current.FClass);
    if (ScrTypeKind(p->Type()) == tkMethod) {
        Variant result = Variant::Null();
        if (FOnTranslateMethodGetter) FOnTranslateMethodGetter(machine, current.FObject, p, result);
        machine->ReturnOutputArg(result);
        return;
    }
    TValue value = p->GetValue(InstancePart(machine, current, p->Owner(), p->Name()));
    machine->ReturnOutputArg(TValueToVariant(value, this, machine->Host()));
}

void TatHostBinding::GenericPropSetterMachineProc(TatVirtualMachine* machine) {
    TCurrentObject current = CurrentObjectOf(machine, FResolveMemo);
    std::string name = machine->CurrentPropertyName();
    const rtti::TPropertyInfo* p = current.FClass ? current.FClass->PropertyByName(name) : nullptr;
    if (!p) MemberNotFound(machine, name, current.FClass);
    if (ScrTypeKind(p->Type()) == tkMethod) {
        if (FOnTranslateMethodSetter) FOnTranslateMethodSetter(machine, current.FObject, p, machine->GetInputArg(0));
        return;
    }
    TValue value = ScrPrepareValue(p->Type(), machine->GetInputArg(0));
    p->SetValue(InstancePart(machine, current, p->Owner(), name), value);
}

void TatHostBinding::GenericIdxPropGetterMachineProc(TatVirtualMachine* machine) {
    TCurrentObject current = CurrentObjectOf(machine, FResolveMemo);
    std::string name = machine->CurrentPropertyName();
    const rtti::TPropertyInfo* p = current.FClass ? current.FClass->PropertyByName(name) : nullptr;
    if (!p) MemberNotFound(machine, name, current.FClass);
    if (ScrTypeKind(p->Type()) == tkMethod) {
        machine->ReturnOutputArg(Variant::Null());
        return;
    }
    if (!p->IsReadable()) machine->RuntimeError(BindingMessage(TBindingMessage::bmIndexedAccessor));
    std::vector<TValue> index;
    for (size_t i = 0; i < p->IndexParameters().size(); ++i)
        index.push_back(ScrPrepareValue(p->IndexParameters()[i].Type(), machine->GetArrayIndex(int(i))));
    TValue value = p->GetValue(InstancePart(machine, current, p->Owner(), name), index);
    machine->ReturnOutputArg(TValueToVariant(value, this, machine->Host()));
}

void TatHostBinding::GenericIdxPropSetterMachineProc(TatVirtualMachine* machine) {
    TCurrentObject current = CurrentObjectOf(machine, FResolveMemo);
    std::string name = machine->CurrentPropertyName();
    const rtti::TPropertyInfo* p = current.FClass ? current.FClass->PropertyByName(name) : nullptr;
    if (!p) MemberNotFound(machine, name, current.FClass);
    if (ScrTypeKind(p->Type()) == tkMethod) return;
    if (!p->IsWritable()) machine->RuntimeError(BindingMessage(TBindingMessage::bmIndexedAccessor));
    std::vector<TValue> index;
    for (size_t i = 0; i < p->IndexParameters().size(); ++i)
        index.push_back(ScrPrepareValue(p->IndexParameters()[i].Type(), machine->GetArrayIndex(int(i))));
    TValue value = ScrPrepareValue(p->Type(), machine->GetInputArg(0));
    p->SetValue(InstancePart(machine, current, p->Owner(), name), value, index);
}

// ---- Methods -----------------------------------------------------------------------------------

// Overload choice by argument count (own methods before inherited ones), conversion,
// invocation on the object or the class, result and by-reference write-back.
void TatHostBinding::GenericMethodMachineProc(TatVirtualMachine* machine) {
    TCurrentObject current = CurrentObjectOf(machine, FResolveMemo);
    const rtti::TClassInfo* classInfo = current.FClass;
    if (!classInfo && machine->CurrentClass()) classInfo = machine->CurrentClass()->ClassRef();
    if (!classInfo) MemberNotFound(machine, MemberName(machine), nullptr);
    int argc = machine->InputArgCount();
    TSimplifiedCode* inst = machine->CurrentInstruction();
    const rtti::TMethodInfo* method = nullptr;
    if (inst && inst->HostCacheKey == classInfo) {
        method = static_cast<const rtti::TMethodInfo*>(inst->HostCacheValue);
    } else {
        method = ChooseOverload(LookupMethods(machine, classInfo).FCandidates, argc);
        if (inst && method) {
            inst->HostCacheKey = classInfo;
            inst->HostCacheValue = method;
        }
    }
    if (!method) {
        std::string name = MemberName(machine);
        // A class without a declared constructor is created through its factory.
        if (argc == 0 && platform::AsciiSameText(name, "Create") && classInfo->CanCreate()) {
            TValue made = classInfo->NewInstance();
            machine->ReturnOutputArg(ObjectToVar(AdoptInstance(made.RawPointer(), classInfo, machine->Host())));
            return;
        }
        NoOverload(machine, name, argc);
    }
    TCallArguments arguments(method->Parameters().size());
    std::span<TValue> args = arguments.Span();
    PrepareArguments(machine, method, args);
    void* instance = nullptr;
    if (!method->IsClassMethod() && !method->IsConstructor())
        instance = InstancePart(machine, current, method->Owner(), method->Name());
    TValue result = method->Invoke(instance, args);
    if (method->IsConstructor() && result.Kind() == rtti::TValueKind::vkObject && result.RawPointer()) {
        const rtti::TClassInfo* made = result.TypeInfo()->AsClass();
        AdoptInstance(result.RawPointer(), made, machine->Host());
    }
    FinishCall(machine, this, method, result, args);
}

const TatHostBinding::TMethodLookup& TatHostBinding::LookupMethods(TatVirtualMachine* machine,
                                                                   const rtti::TClassInfo* classInfo) {
    const TSimplifiedCode* inst = machine->CurrentInstruction();
    platform::UStringView name = inst ? inst->vString.View() : platform::UStringView();
    TMethodLookup& lookup = FMethodLookups[inst];
    if (lookup.FClass == classInfo && lookup.FName == name && inst) return lookup;
    lookup.FClass = classInfo;
    lookup.FName = platform::UString(name);
    lookup.FCandidates = Candidates(classInfo, MemberName(machine));
    return lookup;
}

// ---- Records -------------------------------------------------------------------------------------

void TatHostBinding::GenericRecordFieldGetterMachineProc(TatVirtualMachine* machine) {
    TGenericRecordWrapper* wrapper = CurrentWrapper(machine, FResolveMemo);
    if (!wrapper) return;
    TValue value = wrapper->GetFieldValue(machine->CurrentPropertyName());
    machine->ReturnOutputArg(TValueToVariant(value, this, machine->Host()));
}

void TatHostBinding::GenericRecordFieldSetterMachineProc(TatVirtualMachine* machine) {
    TGenericRecordWrapper* wrapper = CurrentWrapper(machine, FResolveMemo);
    if (!wrapper) return;
    std::string name = machine->CurrentPropertyName();
    const rtti::TFieldInfo* field = wrapper->RecordType()->FieldByName(name);
    if (!field) MemberNotFound(machine, name, wrapper->RecordType());
    field->SetValue(wrapper->Rec(), ScrPrepareValue(field->Type(), machine->GetInputArg(0)));
}

void TatHostBinding::GenericRecordMethodMachineProc(TatVirtualMachine* machine) {
    TGenericRecordWrapper* wrapper = nullptr;
    try {
        wrapper = CurrentWrapper(machine, FResolveMemo);
    } catch (const platform::EInvalidCast&) {
        wrapper = nullptr;
    }
    if (!wrapper) machine->RuntimeError(BindingMessage(TBindingMessage::bmRecordMethod));
    std::string name = MemberName(machine);
    int argc = machine->InputArgCount();
    const rtti::TMethodInfo* method = ChooseOverload(Candidates(wrapper->RecordType(), name), argc);
    if (!method) NoOverload(machine, name, argc);
    TCallArguments arguments(method->Parameters().size());
    std::span<TValue> args = arguments.Span();
    PrepareArguments(machine, method, args);
    void* instance = method->IsClassMethod() || method->IsConstructor() ? nullptr : wrapper->Rec();
    TValue result = method->Invoke(instance, args);
    FinishCall(machine, this, method, result, args);
}

void TatHostBinding::RecordCreateProc(TatVirtualMachine* machine) {
    const TatClass* entry = machine->CurrentClass();
    const rtti::TRecordInfo* record = entry && entry->RecordRef() ? entry->RecordRef()->AsRecord() : nullptr;
    if (!record) machine->RuntimeError(BindingMessage(TBindingMessage::bmRecordMethod));
    std::unique_ptr<TGenericRecordWrapper> wrapper(TGenericRecordWrapper::CreateDefault(record));
    machine->ReturnOutputArg(ObjectToVar(Adopt(std::move(wrapper), machine->Host())));
}

void TatHostBinding::RecordFreeProc(TatVirtualMachine* machine) {
    void* object = nullptr;
    const rtti::TClassInfo* classInfo = nullptr;
    int64_t number = machine->CurrentObject();
    if (!rtti::TLiveObjects::Instance().TryResolve(number, object, classInfo) || !object || !classInfo) return;
    if (classInfo->InheritsFrom(&TGenericRecordWrapper::ClassInfo())) FreeCreated(number);
}

void TatHostBinding::ComponentCreateProc(TatVirtualMachine* machine) {
    const TatClass* entry = machine->CurrentClass();
    const rtti::TClassInfo* classInfo = entry ? entry->ClassRef() : nullptr;
    if (!classInfo || !classInfo->CanCreate()) machine->RuntimeError("Cannot create an instance of this class");
    TValue made = classInfo->NewInstance();
    machine->ReturnOutputArg(ObjectToVar(AdoptInstance(made.RawPointer(), classInfo, machine->Host())));
}

void TatHostBinding::ObjectFreeProc(TatVirtualMachine* machine) { FreeCreated(machine->CurrentObject()); }

// ---- Objects created by scripts ------------------------------------------------------------------

int64_t TatHostBinding::AdoptInstance(void* object, const rtti::TClassInfo* classInfo, const TatMachineHost* owner) {
    if (!object) return 0;
    auto& live = rtti::TLiveObjects::Instance();
    int64_t number = live.NumberOf(object);
    bool registeredHere = number == 0;
    if (registeredHere) number = live.Register(object, classInfo);
    FCreated[number] = TCreated{owner, [number, object, classInfo, registeredHere] {
        void* found = nullptr;
        const rtti::TClassInfo* foundClass = nullptr;
        // Freed meanwhile by its owner: nothing left to free.
        if (!rtti::TLiveObjects::Instance().TryResolve(number, found, foundClass) || !found) return;
        if (registeredHere) rtti::TLiveObjects::Instance().Unregister(number);
        classInfo->FreeInstance(object);
    }};
    return number;
}

bool TatHostBinding::FreeCreated(int64_t number) {
    auto it = FCreated.find(number);
    if (it == FCreated.end()) return false;
    std::function<void()> free = std::move(it->second.FFree);
    FCreated.erase(it);
    free();
    return true;
}

void TatHostBinding::RunFree(std::function<void()>& free) noexcept {
    try {
        free();
    } catch (...) {
        // A host destructor that throws must not stop the others from being freed.
    }
}

size_t TatHostBinding::CreatedCountOf(const TatMachineHost* owner) const {
    size_t count = 0;
    for (const auto& [number, created] : FCreated) count += created.FOwner == owner;
    return count;
}

// The numbers are taken first: freeing one object can free others (a script-based
// object frees its own script and what that script created), so each is looked up again.
void TatHostBinding::FreeCreatedBy(const TatMachineHost* owner) noexcept {
    if (!owner) return;
    std::vector<int64_t> numbers;
    for (const auto& [number, created] : FCreated)
        if (created.FOwner == owner) numbers.push_back(number);
    for (int64_t number : numbers) {
        auto it = FCreated.find(number);
        if (it == FCreated.end() || it->second.FOwner != owner) continue;
        std::function<void()> free = std::move(it->second.FFree);
        FCreated.erase(it);
        RunFree(free);
    }
}

void TatHostBinding::FreeAllCreated() noexcept {
    while (!FCreated.empty()) {
        auto it = FCreated.begin();
        std::function<void()> free = std::move(it->second.FFree);
        FCreated.erase(it);
        RunFree(free);
    }
}

} // namespace vorn::engine

// The scripter's facade of the host binding: registration through type information,
// records, global objects and enumerations.

#include "engine/compiler/Scripter.h"

namespace vorn::engine {

namespace rtti = platform::rtti;

TatHostBinding& HostBindingOf(TatCustomScripter* scripter) { return scripter->HostBinding(); }

// Created on first use; from then on the registry's published-property step and its
// on-demand registration go through the binding.
TatHostBinding& TatCustomScripter::HostBinding() {
    if (!FHostBinding) {
        FHostBinding = {new TatHostBinding(this), [](TatHostBinding* b) { delete b; }};
        TatHostBinding* binding = FHostBinding.get();
        FClasses->OnAddPublishedProperties = [binding](TatClass* entry) { binding->AddPublishedProperties(entry); };
        FClasses->OnCheckLoaded = [binding](const rtti::TClassInfo* classRef, const std::string& name) {
            return binding->CheckLoaded(classRef, name);
        };
    }
    return *FHostBinding;
}

void TatCustomScripter::FreeScriptObjects(const TatMachineHost* script) noexcept {
    if (FHostBinding) FHostBinding->FreeCreatedBy(script);
}

TatClass* TatCustomScripter::DefineClassByRTTI(const rtti::TClassInfo* classRef, const std::string& className,
                                               TMemberVisibilities visibilityFilter, bool recursive,
                                               TRedefineOption redefine) {
    TDefineClassOptions options;
    options.FVisibilityFilter = visibilityFilter;
    options.FRecursive = recursive;
    options.FRedefine = redefine;
    return HostBinding().DefineClass(classRef, options, className);
}

TatClass* TatCustomScripter::DefineClassByRTTI(const rtti::TClassInfo* classRef, TRedefineOption redefine,
                                               bool recursive, const std::string& className,
                                               TMemberVisibilities visibilityFilter) {
    return DefineClassByRTTI(classRef, className, visibilityFilter, recursive, redefine);
}

TatClass* TatCustomScripter::DefineRecordByRTTI(const rtti::TTypeInfo* recordType) {
    return HostBinding().DefineRecordByRTTI(recordType);
}

TatClass* TatCustomScripter::DefineRecord(const rtti::TTypeInfo* recordType, const std::string& recordName) {
    return HostBinding().DefineRecord(recordType, recordName);
}

TatProperty* TatCustomScripter::AddObject(const std::string& name, rtti::TObject* object) {
    HostBinding();
    return InternalClass()->AddObject(name, object);
}

void TatCustomScripter::AddEnumeration(const rtti::TTypeInfo* enumType) { InternalClass()->AddEnumeration(enumType); }

} // namespace vorn::engine

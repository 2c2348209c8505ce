// TatScript as a library: resolving the units of a uses clause, registering the script
// itself as a library of a scripter and undoing that, and the default instances only
// this script sees.

#include <algorithm>

#include "engine/compiler/Script.h"
#include "engine/compiler/Scripter.h"
#include "platform/CaseFolding.h"

namespace vorn::engine {

TatScripterLibrary* TatScript::LoadLibrary(std::string_view name, bool isDefault) {
    if (!FScripter) return nullptr;
    return FScripter->LoadLibrary(name, isDefault, FSilentCompilation);
}

TatScriptBasedLibrary* TatScript::SelfRegisterAsLibrary(std::string_view name) {
    return SelfRegisterAsLibrary(FScripter, name);
}

// A plain script registers a script-based library class of its own name, used without
// qualification and reachable through an accessor routine.
TatScriptBasedLibrary* TatScript::SelfRegisterAsLibrary(TatCustomScripter* scripter, std::string_view name) {
    FUnitName = std::string(name);
    if (!FCompiled) Compile();
    std::string className = std::string(TatScriptBasedLibrary::LibraryClassName) + std::string(name);
    return SelfRegisterAsLibrary(scripter, name, &TatScriptBasedLibrary::ClassInfo(), className, true, true);
}

TatScriptBasedLibrary* TatScript::SelfRegisterAsLibrary(TatCustomScripter* scripter, std::string_view name,
                                                        const platform::rtti::TClassInfo* registeredClass,
                                                        std::string_view registeredClassName, bool isDefault,
                                                        bool addMethod) {
    FUnitName = std::string(name);
    if (!FCompiled) Compile();
    SelfUnregisterAsLibrary(scripter, "");
    auto library = std::make_unique<TatScriptBasedLibrary>(scripter);
    TatScriptBasedLibrary* result = library.get();
    library->FInternalScript = this;
    library->FName = std::string(name);
    library->FRegClass = registeredClass;
    library->FRegClassName = std::string(registeredClassName);
    library->SetLibraryClass(LibraryClassOf<TatScriptBasedLibrary>());
    FLibraries.push_back(result);
    try {
        scripter->AddLibraryInstance(std::move(library), std::string(name), isDefault, addMethod,
                                     std::string(registeredClassName));
    } catch (...) {
        FLibraries.erase(std::remove(FLibraries.begin(), FLibraries.end(), result), FLibraries.end());
        throw;
    }
    return result;
}

void TatScript::SelfUnregisterAsLibrary(std::string_view name) { SelfUnregisterAsLibrary(FScripter, name); }

// Removes the first registration made in that scripter whose name is `name` (any name
// when empty); nothing when none matches.
void TatScript::SelfUnregisterAsLibrary(TatCustomScripter* scripter, std::string_view name) {
    auto it = std::find_if(FLibraries.begin(), FLibraries.end(), [&](TatScriptBasedLibrary* library) {
        return library->Scripter() == scripter && (name.empty() || library->FName == name);
    });
    if (it == FLibraries.end()) return;
    TatScriptBasedLibrary* library = *it;
    FLibraries.erase(it);
    std::unique_ptr<TatScripterLibrary> doomed = scripter->RemoveLibraryInstance(library, library->FName);
}

bool TatScript::IsRegisteredAsLibrary(TatCustomScripter* scripter) const {
    TatScriptBasedLibrary* library = nullptr;
    return CheckRegisteredAsLibrary(scripter, library);
}

bool TatScript::CheckRegisteredAsLibrary(TatCustomScripter* scripter, TatScriptBasedLibrary*& library) const {
    library = nullptr;
    for (TatScriptBasedLibrary* candidate : FLibraries)
        if (candidate->Scripter() == scripter) {
            library = candidate;
            return true;
        }
    return false;
}

void TatScript::ForgetLibraryRegistration(const TatScriptBasedLibrary* library) noexcept {
    FLibraries.erase(std::remove(FLibraries.begin(), FLibraries.end(), library), FLibraries.end());
}

TatClass* TatScript::UsesObject(platform::rtti::TObject* object, const std::string& name, const std::string& className) {
    return FDefInstances->Add(object, name, className)->atClass();
}

void TatScript::UnuseObject(std::string_view className) {
    if (TatObject* entry = FDefInstances->FindInstanceByClassName(className)) FDefInstances->Remove(entry);
}

} // namespace vorn::engine

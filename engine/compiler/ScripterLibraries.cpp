// The scripter's library instances: creating the registered libraries, adding and
// removing instances, resolving a library name from a uses clause, and the search for
// library files on the search path.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/compiler/CompilerMessages.h"
#include "engine/compiler/Scripter.h"
#include "engine/compiler/TextLines.h"
#include "engine/vm/EngineErrors.h"
#include "platform/CaseFolding.h"

namespace vorn::engine {

namespace fs = std::filesystem;

void TatCustomScripter::CreateLibraries() {
    TatLibraryList* list = atLibraryList();
    if (!list) return;
    for (int i = 0; i < list->Count(); ++i) {
        TatLibraryListItem* item = list->GetItem(i);
        if (!item->FExplicitLoad) AddLibrary(item->FLibraryClass, true);
    }
}

TatScripterLibrary* TatCustomScripter::FindLibraryByClass(const TatScripterLibraryClass* libraryClass) const {
    for (const auto& library : FLibInstances)
        if (library->LibraryClass() == libraryClass) return library.get();
    return nullptr;
}

TatScripterLibrary* TatCustomScripter::AddLibrary(const TatScripterLibraryClass* libraryClass, bool isDefault) {
    if (TatScripterLibrary* existing = FindLibraryByClass(libraryClass)) return existing;
    std::unique_ptr<TatScripterLibrary> library = libraryClass->Create(this);
    library->SetLibraryClass(libraryClass);
    return AddLibraryInstance(std::move(library), libraryClass->LibraryName(), isDefault, true, {});
}

// Appends the instance, gives scripts an accessor routine named after the library, runs
// its Init under its name and, for a default library, makes its members usable without
// qualification.
TatScripterLibrary* TatCustomScripter::AddLibraryInstance(std::unique_ptr<TatScripterLibrary> library,
                                                          const std::string& name, bool isDefault, bool addMethod,
                                                          const std::string& libName) {
    TatScripterLibrary* added = library.get();
    FLibInstances.push_back(std::move(library));
    if (addMethod) {
        TatProcDef accessor;
        accessor.FName = name;
        accessor.FResultDataType = tkClass;
        accessor.FResultClass = added->ClassType();
        accessor.FProc = TMachineProc::Of<&TatScripterLibrary::SelfProc>(added);
        InternalClass()->DefineMethod(accessor)->FResultClassName = libName;
    }
    FLibraryNameUnderRegistration = name;
    FClasses->FLibraryNameUnderRegistration = name;
    try {
        added->Init();
    } catch (...) {
        FLibraryNameUnderRegistration.clear();
        FClasses->FLibraryNameUnderRegistration.clear();
        throw;
    }
    FLibraryNameUnderRegistration.clear();
    FClasses->FLibraryNameUnderRegistration.clear();
    added->SetDefaultInstanceName(libName);
    if (isDefault) UsesObject(added, libName, libName);
    return added;
}

std::unique_ptr<TatScripterLibrary> TatCustomScripter::RemoveLibraryInstance(TatScripterLibrary* library,
                                                                             std::string_view name) {
    library->Finalize();
    auto it = std::find_if(FLibInstances.begin(), FLibInstances.end(), [&](const auto& l) { return l.get() == library; });
    std::unique_ptr<TatScripterLibrary> removed;
    if (it != FLibInstances.end()) {
        removed = std::move(*it);
        FLibInstances.erase(it);
    }
    TatClass* internal = InternalClass();
    if (TatMethod* accessor = internal ? internal->MethodByName(name) : nullptr) internal->Methods().Remove(accessor);
    if (!library->DefaultInstanceName().empty()) {
        int i = FDefaultInstances->IndexOf(library->DefaultInstanceName());
        if (i >= 0) FDefaultInstances->Delete(i);
    }
    // Code compiled against the library's members may refer to members that are gone.
    if (auto* scriptLibrary = dynamic_cast<TatScriptBasedLibrary*>(library)) {
        for (int i = 0; i < FScripts->Count(); ++i)
            if (FScripts->Items(i) != scriptLibrary->FInternalScript) FScripts->Items(i)->Clear();
    }
    return removed;
}

// ---- Resolving a library name -------------------------------------------------------------

// Rules in order: registered library classes, scripts of this scripter known by that
// unit name, library files on the search path, the host's handler.
TatScripterLibrary* TatCustomScripter::LoadLibrary(std::string_view name, bool isDefault, bool silent) {
    if (TatLibraryList* list = atLibraryList())
        if (TatLibraryListItem* item = list->FindByLibraryName(name)) return AddLibrary(item->FLibraryClass, isDefault);
    if (!name.empty())
        if (TatScripterLibrary* unit = LoadScriptUnit(name)) return unit;
    if (FLibOptions.FUseScriptFiles)
        if (TatScripterLibrary* file = LoadScriptFile(name)) return file;
    if (FOnLoadLibrary) {
        TatScripterLibrary* library = nullptr;
        bool handled = false;
        FOnLoadLibrary(this, std::string(name), isDefault, library, handled);
        if (handled && library) return library;
    }
    if (!silent) InternalError(CompilerMessage(TCompilerMessage::cmLibraryNotFound, name));
    return nullptr;
}

// A unit that is being compiled while it is asked for uses itself, directly or not.
TatScripterLibrary* TatCustomScripter::LoadScriptUnit(std::string_view name) {
    for (int i = 0; i < FScripts->Count(); ++i) {
        TatScript* script = FScripts->Items(i);
        if (!platform::UnicodeSameText(script->UnitName(), name) &&
            !platform::UnicodeSameText(script->ScriptInfo().FUnitName, name))
            continue;
        if (script->Compiling()) InternalError(CompilerMessage(TCompilerMessage::cmCircularReference, name));
        TatScriptBasedLibrary* library = nullptr;
        if (script->CheckRegisteredAsLibrary(this, library)) return library;
        return script->SelfRegisterAsLibrary(name);
    }
    return nullptr;
}

TatScripterLibrary* TatCustomScripter::LoadScriptFile(std::string_view name) {
    std::string file = FindScriptFile(name);
    if (file.empty()) return nullptr;
    TatScriptBasedLibrary* library = nullptr;
    if (IsFileRegisteredAsLibrary(file, library)) return library;
    TatScript* script = FScripts->Add();
    if (fs::path(file).extension().string() == FLibOptions.FCompiledFileExt) {
        std::ifstream in(file, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        script->LoadCodeFromStream(bytes.str());
    } else {
        std::ifstream in(file, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        script->SetSourceText(text.str());
    }
    TatScriptBasedLibrary* registered = script->SelfRegisterAsLibrary(name);
    script->SetFileName(file);
    FLoadedScripts.push_back(script);
    return registered;
}

bool TatCustomScripter::IsFileRegisteredAsLibrary(std::string_view fileName, TatScriptBasedLibrary*& library) const {
    library = nullptr;
    for (int i = 0; i < FScripts->Count(); ++i) {
        TatScript* script = FScripts->Items(i);
        if (platform::UnicodeSameText(script->FileName(), fileName)) return script->CheckRegisteredAsLibrary(
            const_cast<TatCustomScripter*>(this), library);
    }
    return false;
}

// ---- Library folders -------------------------------------------------------------------------

std::string TatCustomScripter::TranslateDir(std::string_view dir) {
    if (dir.size() >= 9 && platform::AsciiSameText(dir.substr(0, 9), "$(CURDIR)")) {
        std::string result(1, '.');  // not `"." + ...`: g++ 12 -O3 warns falsely on it
        return result.append(dir.substr(9));
    }
    if (dir.size() >= 9 && platform::AsciiSameText(dir.substr(0, 9), "$(APPDIR)")) {
        std::error_code ec;
        fs::path exe = fs::read_symlink("/proc/self/exe", ec);
        std::string folder = ec ? std::string(".") : exe.parent_path().string();
        while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
        return folder + std::string(dir.substr(9));
    }
    return std::string(dir);
}

namespace {

// The file `name` in `folder`: the exact name first, else the first entry whose name
// differs only in letter case, since unit names in uses clauses ignore case and so did
// the file systems the scripts were written on. Empty when there is none.
fs::path FileInFolder(const fs::path& folder, std::string_view name) {
    std::error_code ec;
    fs::path exact = folder / std::string(name);
    if (fs::is_regular_file(exact, ec)) return exact;
    if (fs::path(std::string(name)).has_parent_path()) return {};
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (platform::UnicodeSameText(it->path().filename().string(), name) && fs::is_regular_file(it->path(), ec))
            return it->path();
    return {};
}

} // namespace

// The first folder of the search path (blank lines skipped) that holds name1, or else
// name2, gives the file's full path; "" when none does.
std::string TatCustomScripter::FindFileInSearchPath(std::string_view name1, std::string_view name2) const {
    for (const std::string& line : FLibOptions.FSearchPath) {
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        std::string entries = TranslateDir(line);
        std::stringstream split(entries);
        std::string entry;
        while (std::getline(split, entry, ';')) {
            if (entry.empty()) continue;
            if (entry.back() != '/') entry += '/';
            for (std::string_view name : {name1, name2}) {
                if (name.empty()) continue;
                fs::path candidate = FileInFolder(fs::path(entry), name);
                std::error_code ec;
                if (!candidate.empty()) return fs::absolute(candidate, ec).lexically_normal().string();
            }
        }
    }
    return {};
}

std::string TatCustomScripter::FindScriptFile(std::string_view name) const {
    fs::path compiled = fs::path(std::string(name)).replace_extension(FLibOptions.FCompiledFileExt);
    fs::path source = fs::path(std::string(name)).replace_extension(FLibOptions.FSourceFileExt);
    return FindFileInSearchPath(compiled.string(), source.string());
}

std::string TatCustomScripter::FindFormFile(std::string_view name) const {
    fs::path form = fs::path(std::string(name)).replace_extension(FLibOptions.FFormFileExt);
    return FindFileInSearchPath(name, form.string());
}

} // namespace vorn::engine

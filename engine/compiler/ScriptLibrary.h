#pragma once
// Script libraries: the base of every library (host libraries, scripts used as units, the
// DLL carrier), the process-wide list of registered library classes that each scripter
// instantiates, the script-based library, the scripter's library options and the list
// of units a script uses.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/compiler/ClassRegistry.h"
#include "platform/rtti/Object.h"

namespace vorn::engine {

class TatCustomScripter;
class TatScript;
class TatScripterLibrary;

// A library class: what the list registers and the scripter instantiates. It answers its
// library name without an instance and creates instances for a scripter.
struct TatScripterLibraryClass {
    const char* ClassName;
    std::string (*LibraryName)();
    std::unique_ptr<TatScripterLibrary> (*Create)(TatCustomScripter* scripter);
};

// The class reference of library type L (which provides `static std::string LibraryName()`,
// `static ClassInfo()` and a constructor taking the scripter). One constant descriptor per
// type. Creating describes the class first, so the new instance's ClassType() is L's own
// class (the accessor member named after the library takes its result class from it).
template <class L>
const TatScripterLibraryClass* LibraryClassOf() {
    static const TatScripterLibraryClass descriptor{
        L::LibraryClassName, &L::LibraryName, [](TatCustomScripter* scripter) -> std::unique_ptr<TatScripterLibrary> {
            L::ClassInfo();
            return std::make_unique<L>(scripter);
        }};
    return &descriptor;
}

// The name a library has unless it says otherwise: its class name without a leading
// "T" ("TatSystemLibrary" gives "atSystemLibrary").
std::string DefaultLibraryName(std::string_view className);

class TatScripterLibrary : public platform::rtti::TObject {
public:
    explicit TatScripterLibrary(TatCustomScripter* scripter) : FScripter(scripter) {}
    ~TatScripterLibrary() override = default;

    // Defines the library's members in the scripter's registry.
    virtual void Init() = 0;
    // Undoes what Init did that the registry does not undo by itself.
    virtual void Finalize() {}
    // Called after a script of the owning scripter was cleared (recompiled, reloaded or
    // freed): a library releases what that script's run left open.
    virtual void ScriptCleared(TatScript* /*script*/) {}
    // The class this instance was created from (set by the scripter that created it).
    const TatScripterLibraryClass* LibraryClass() const { return FLibraryClass; }
    void SetLibraryClass(const TatScripterLibraryClass* value) { FLibraryClass = value; }
    TatCustomScripter* Scripter() const { return FScripter; }
    const std::string& DefaultInstanceName() const { return FDefaultInstanceName; }
    void SetDefaultInstanceName(std::string value) { FDefaultInstanceName = std::move(value); }
    // The member named after the library: returns the library object itself, so a script
    // can qualify a member with the library's name (`Math.Sin`).
    void SelfProc(TatVirtualMachine* machine);

    static const platform::rtti::TClassInfo& ClassInfo();

protected:
    TatCustomScripter* FScripter;
    std::string FDefaultInstanceName;
    const TatScripterLibraryClass* FLibraryClass = nullptr;
};

// One registered library class and whether it is created only on request.
struct TatLibraryListItem {
    const TatScripterLibraryClass* FLibraryClass = nullptr;
    bool FExplicitLoad = false;
    void Assign(const TatLibraryListItem& source) { FLibraryClass = source.FLibraryClass; }
};

// The process-wide list of registered library classes, in registration order.
class TatLibraryList {
public:
    TatLibraryListItem* Add();
    int Count() const { return static_cast<int>(FItems.size()); }
    TatLibraryListItem* GetItem(int i) const { return FItems[static_cast<size_t>(i)].get(); }
    // The first item whose library name equals `name` ignoring case, or nullptr.
    TatLibraryListItem* FindByLibraryName(std::string_view name) const;
    // Frees the first item of that class, if any.
    void Remove(const TatScripterLibraryClass* libraryClass);

private:
    std::vector<std::unique_ptr<TatLibraryListItem>> FItems;
};

// The process-wide list; null outside StartEngine/StopEngine.
TatLibraryList* atLibraryList();
// Appends a library class to the process-wide list (a class may be listed twice) and
// returns its item; the engine must be started.
TatLibraryListItem* RegisterScripterLibrary(const TatScripterLibraryClass* libraryClass, bool explicitLoad);
// Engine start-up and shut-down create and free the list.
void CreateLibraryList();
void FreeLibraryList() noexcept;

// A script used as a library: its public routines and globals become members of a
// script-visible class.
class TatScriptBasedLibrary : public TatScripterLibrary {
public:
    static constexpr const char* LibraryClassName = "TatScriptBasedLibrary";
    static std::string LibraryName() { return DefaultLibraryName(LibraryClassName); }

    explicit TatScriptBasedLibrary(TatCustomScripter* scripter) : TatScripterLibrary(scripter) {}
    ~TatScriptBasedLibrary() override;

    void Init() override;
    void Finalize() override;
    // Member procs; they run the library script on its own machine, wired with the machine.
    void GetScriptVarProc(TatVirtualMachine* machine);
    void SetScriptVarProc(TatVirtualMachine* machine);
    void ExecSubRoutineProc(TatVirtualMachine* machine);

    static const platform::rtti::TClassInfo& ClassInfo();

    TatScript* FInternalScript = nullptr;
    std::string FName;
    std::vector<TatMethod*> FMethodList;
    std::vector<TatProperty*> FPropList;
    const platform::rtti::TClassInfo* FRegClass = nullptr;
    std::string FRegClassName;
    TatClass* FNewClass = nullptr;

private:
    void DefineRoutineMethods();
    void DefineGlobalProperties();
};

// Where a scripter looks for library script files.
struct TScripterLibraryOptions {
    bool FUseScriptFiles = false;
    std::string FCompiledFileExt;
    std::string FSourceFileExt;
    std::string FFormFileExt;
    std::vector<std::string> FSearchPath;
    void Assign(const TScripterLibraryOptions& source) { *this = source; }
};

// One unit of a script's uses clause.
struct TatUsedUnit {
    bool FIsDefault = false;
    std::string FUnitName;
    bool FIsScript = false;
    int FDeclSourcePos = -1;  // position of the name in the uses clause; -1 when the engine added it
};

class TatUsedUnits {
public:
    explicit TatUsedUnits(TatCustomScripter* scripter) : FScripter(scripter) {}
    TatUsedUnit* Add();
    int Count() const { return static_cast<int>(FItems.size()); }
    TatUsedUnit* GetItem(int i) const { return FItems[static_cast<size_t>(i)].get(); }
    // The first unit of that name ignoring case, or nullptr.
    TatUsedUnit* FindByName(std::string_view unitName) const;
    void Clear() { FItems.clear(); }
    TatCustomScripter* Scripter() const { return FScripter; }

private:
    TatCustomScripter* FScripter;
    std::vector<std::unique_ptr<TatUsedUnit>> FItems;
};

} // namespace vorn::engine

#pragma once
// The scripter component: the host's single entry to the script engine. It owns the
// scripts (the first is the current one), the class registry, the default instances and
// the library instances; it registers what scripts may reach, compiles, reports compile
// and runtime errors through the host's events, and resolves the units scripts use.
// `TatCustomScripter` holds the machinery, `TatBaseScripter` adds the language choice,
// `TatScripter` is the component a host creates.

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/compiler/ClassRegistry.h"
#include "engine/compiler/DefaultInstances.h"
#include "engine/compiler/ElementContext.h"
#include "engine/compiler/HostBinding.h"
#include "engine/compiler/Script.h"
#include "engine/compiler/ScriptLibrary.h"
#include "engine/compiler/ScripterErrors.h"

namespace vorn::engine {

class TatCustomScripter;

enum TScriptLanguage : uint8_t { slPascal = 0, slBasic = 1 };

using TScriptErrorEvent =
    std::function<void(TatCustomScripter* sender, std::string& msg, int row, int col, bool& showException)>;
using TLoadLibraryEvent = std::function<void(TatCustomScripter* sender, const std::string& libraryName, bool isDefault,
                                             TatScripterLibrary*& library, bool& handled)>;
using TScripterNotifyEvent = std::function<void(TatCustomScripter* sender)>;
using TBeforeExecuteEvent = std::function<void(TatVirtualMachine* machine, const std::string& label)>;
using TMachineNotifyEvent = std::function<void(TatVirtualMachine* sender)>;
// Called with a member-chain element the compiler cannot resolve (ElementContext.h).
using TUnknownElementEvent = std::function<void(TatCustomScripter* sender, TElementContext& context)>;

// The process-wide values of the scripter unit, set by the engine's start-up and by the
// language units; StopEngine resets them.
struct TScripterGlobals {
    TScripterNotifyEvent OnGlobalScripterCreate;
    TScripterNotifyEvent OnGlobalScripterLoaded;
    // The script class of each language (`TreZuderaScript`, `TatBasicScript`), registered
    // by the language units; null while a language is not linked in.
    std::array<const TatScriptClass*, 2> LanguageScriptClasses{};
    // The class of the machines of new scripts (set by the engine's start-up); null
    // leaves scripts without machines.
    const TatVirtualMachineClass* DefaultMachineClass = nullptr;
};
TScripterGlobals& ScripterGlobals();

class TatCustomScripter {
public:
    virtual ~TatCustomScripter();
    TatCustomScripter(const TatCustomScripter&) = delete;
    TatCustomScripter& operator=(const TatCustomScripter&) = delete;

    // ---- Scripts and settings -------------------------------------------------------
    TatScripts& Scripts() { return *FScripts; }
    TatScript* CurrentScript() const { return FCurrentScript; }
    void SetCurrentScript(TatScript* script) { FCurrentScript = script; }
    TatClasses& Classes() { return *FClasses; }
    TatObjects& DefaultInstances() { return *FDefaultInstances; }
    TScripterLibraryOptions& LibOptions() { return FLibOptions; }
    void SetLibOptions(const TScripterLibraryOptions& value) { FLibOptions.Assign(value); }
    bool OptionExplicit() const { return FOptionExplicit; }
    void SetOptionExplicit(bool value) { FOptionExplicit = value; }
    bool ShortBooleanEval() const { return FShortBooleanEval; }
    void SetShortBooleanEval(bool value) { FShortBooleanEval = value; }
    bool SaveCompiledCode() const { return FSaveCompiledCode; }
    void SetSaveCompiledCode(bool value) { FSaveCompiledCode = value; }
    const std::string& LibraryNameUnderRegistration() const { return FLibraryNameUnderRegistration; }
    static std::string GetProductVersion() { return "7.31"; }
    // The class that carries the global members (constants, objects, library accessors).
    TatClass* InternalClass() const;
    virtual const TatScriptClass* DefaultScriptClass() const { return nullptr; }

    // ---- Current script -----------------------------------------------------------------
    const std::vector<std::string>& SourceCode() const;
    void SetSourceCode(std::vector<std::string> lines);
    bool Compiled() const;
    void SetCompiled(bool value);
    bool SilentCompiled() const;
    // The stored "PCode" property: the current script's compiled image behind a signed
    // 32-bit little-endian length. Writing compiles first when needed; reading loads the
    // image into the current script and keeps a copy (ScripterPCode.cpp).
    bool PCodeStored() const { return FSaveCompiledCode && Compiled(); }
    void WritePCode(std::string& stream);
    void ReadPCode(std::string_view stream, size_t& position);
    const std::string& PCode() const { return FPCode; }
    TatScriptInfo& ScriptInfo() const;
    TSimplifiedCode* FirstInstruction() const;
    void GetRowColFromSource(int pos, int& row, int& col) const;
    virtual void Clear();
    virtual void Compile();
    void SilentCompile();
    // The current script, after checking that it has a machine.
    TatScript* CheckMachine() const;
    const TatVirtualMachineClass* MachineClass() const { return FMachineClass; }
    // Runs the current script's main block with `input` as its arguments.
    virtual Variant Execute(const Variant& input);
    Variant Execute() { return Execute(Variant::Null()); }
    // Runs routine `label` ("" the main block) with `input` as its arguments (Null none,
    // an array its items, else one). A label "[n]name" runs `name` in the script whose
    // ID is n (Null when there is none).
    Variant ExecuteSubroutine(std::string_view label, const Variant& input);
    Variant ExecuteSubroutine(std::string_view label) { return ExecuteSubroutine(label, Variant::Null()); }
    // The same with host arguments: the routine's var parameters write into `args`.
    Variant ExecuteSubroutine(std::string_view label, std::vector<Variant>& args);
    // Halts the current script's machine, then the machine of every other script.
    void Halt();
    bool GetRunning() const;
    bool IsAnyRunning() const { return GetRunning(); }
    bool Running() const { return GetRunning(); }
    bool Halted() const;
    // The current machine's record of the last failure.
    const std::string& LastExceptionMessage() const;
    const std::string& LastExceptionClassName() const;
    int LastExceptionLine() const;
    int LastExceptionCol() const;
    // Relays of the machines: the before-execute event, and the running-changed event
    // when whether any machine runs has changed since last reported.
    void BeforeExecute(TatVirtualMachine* machine, std::string_view label);
    void CheckRunningChanged(TatVirtualMachine* machine);
    virtual void DoRunningChanged(TatVirtualMachine* machine);

    // ---- Errors -------------------------------------------------------------------------
    // Raises the compile error of `script` (or aborts silently when the handler says so).
    [[noreturn]] void InternalCompileError(std::string message, int row, int col, TatScript* script);
    // Raises the runtime error of `script` at its machine's current instruction, or at
    // `row`, `col` as the machine gives them.
    [[noreturn]] void InternalRuntimeError(std::string message, TatScript* script);
    [[noreturn]] void InternalRuntimeError(std::string message, TatScript* script, int row, int col);

    // ---- Registration ---------------------------------------------------------------------
    TatProperty* AddConstant(const std::string& name, const Variant& value);
    TatMethod* DefineMethod(const std::string& name, int argCount, TatTypeKind resultTypeKind,
                            const platform::rtti::TClassInfo* resultClass, TMachineProc proc, bool isClassMethod = false,
                            int defArgCount = 0, std::string_view parameterHints = {});
    TatProperty* DefineProp(const std::string& name, TatTypeKind typeKind, TMachineProc getter, TMachineProc setter,
                            const platform::rtti::TClassInfo* propertyClass = nullptr, bool isClassProp = false,
                            int indexCount = 0);
    void RemoveProperty(std::string_view name);
    bool PropertyExists(std::string_view name) const;
    [[noreturn]] void AddFunction(const std::string& name, TMachineProc proc);
    TatClass* DefineClass(const platform::rtti::TClassInfo* classRef, const std::string& name = {});
    TatClass* AddHostClass(const platform::rtti::TClassInfo* classRef) { return DefineClass(classRef, {}); }
    TatClass* ClassByName(std::string_view name) const;
    TatClass* UsesObject(platform::rtti::TObject* object, const std::string& name, const std::string& className);
    TatClass* SystemLibrary() const { return ClassByName("TatSystemLibrary"); }
    // "Button1" + "OnClick" gives "Button1Click".
    static std::string BuildEventHandlerName(std::string_view instanceName, std::string_view propertyName);

    // ---- Host binding through type information (ScripterBinding.cpp) -----------------------
    // The scripter's binding: generic member procs and the objects scripts created.
    TatHostBinding& HostBinding();
    // Frees the objects that `script` created through the binding and did not free
    // (called when the script is cleared or destroyed); no binding yet: nothing to free.
    void FreeScriptObjects(const TatMachineHost* script) noexcept;
    TatClass* DefineClassByRTTI(const platform::rtti::TClassInfo* classRef, const std::string& className = {},
                                TMemberVisibilities visibilityFilter = kPublicAndPublished, bool recursive = false,
                                TRedefineOption redefine = roNone);
    TatClass* DefineClassByRTTI(const platform::rtti::TClassInfo* classRef, TRedefineOption redefine, bool recursive,
                                const std::string& className, TMemberVisibilities visibilityFilter);
    TatClass* DefineRecordByRTTI(const platform::rtti::TTypeInfo* recordType);
    TatClass* DefineRecord(const platform::rtti::TTypeInfo* recordType, const std::string& recordName = {});
    // Global objects, variables and enumerations as members of the internal class.
    TatProperty* AddObject(const std::string& name, platform::rtti::TObject* object);
    template <class V>
    TatProperty* AddVariable(const std::string& name, V& variable) { return InternalClass()->AddVariable(name, variable); }
    void AddEnumeration(const platform::rtti::TTypeInfo* enumType);

    // ---- Libraries ------------------------------------------------------------------------
    void CreateLibraries();
    TatScripterLibrary* FindLibraryByClass(const TatScripterLibraryClass* libraryClass) const;
    TatScripterLibrary* AddLibrary(const TatScripterLibraryClass* libraryClass, bool isDefault);
    TatScripterLibrary* AddLibraryInstance(std::unique_ptr<TatScripterLibrary> library, const std::string& name,
                                           bool isDefault, bool addMethod, const std::string& libName);
    // Finalizes the library and hands it back to the caller (no longer owned here).
    std::unique_ptr<TatScripterLibrary> RemoveLibraryInstance(TatScripterLibrary* library, std::string_view name);
    int LibInstanceCount() const { return static_cast<int>(FLibInstances.size()); }
    TatScripterLibrary* LibInstance(int i) const { return FLibInstances[static_cast<size_t>(i)].get(); }
    // Resolves a library by name (see ScripterLibraries.cpp); nullptr when silent and not found.
    TatScripterLibrary* LoadLibrary(std::string_view name, bool isDefault, bool silent);
    TatScripterLibrary* LoadLibrary2(std::string_view name, bool isDefault) { return LoadLibrary(name, isDefault, false); }
    bool IsFileRegisteredAsLibrary(std::string_view fileName, TatScriptBasedLibrary*& library) const;
    static std::string TranslateDir(std::string_view dir);
    std::string FindFileInSearchPath(std::string_view name1, std::string_view name2) const;
    std::string FindScriptFile(std::string_view name) const;
    std::string FindFormFile(std::string_view name) const;

    // ---- Hooks ------------------------------------------------------------------------------
    virtual void BeforeCompile() {}
    virtual void BeforeLoadCode() {}
    virtual void SourceCodeChanged(TatScript*) {}

    TScriptErrorEvent FOnCompileError;
    TScriptErrorEvent FOnRuntimeError;
    TLoadLibraryEvent FOnLoadLibrary;
    TBeforeExecuteEvent FOnBeforeExecute;
    TMachineNotifyEvent FOnRunningChanged;
    TUnknownElementEvent FOnUnknownElement;

protected:
    TatCustomScripter();
    // The construction steps that need the derived class's settings; the most derived
    // constructor calls it once.
    void Construct();
    virtual void DoCompileError(std::string& message, int row, int col, bool& showException, TatScript* script);
    virtual void DefineInternalClasses() {}
    // A machine proc that stands for host procedures served by the virtual machine.
    static TMachineProc MachinePendingProc();

    bool FOptionExplicit = false;
    bool FShortBooleanEval = false;

private:
    void RegisterCreateMethods();
    TatScripterLibrary* LoadScriptUnit(std::string_view name);
    TatScripterLibrary* LoadScriptFile(std::string_view name);

    Variant RunLabel(std::string_view label, const std::function<Variant(TatScript*, std::string_view)>& run);

    const TatVirtualMachineClass* FMachineClass = nullptr;
    bool FLastRunning = false;
    std::unique_ptr<TatClasses> FClasses;
    std::unique_ptr<TatScripts> FScripts;
    TatScript* FCurrentScript = nullptr;
    std::unique_ptr<TatInternalObject> FInternalInstance;
    std::unique_ptr<TatObjects> FDefaultInstances;
    std::vector<std::unique_ptr<TatScripterLibrary>> FLibInstances;
    std::string FPCode;
    bool FSaveCompiledCode = false;
    TScripterLibraryOptions FLibOptions;
    std::vector<TatScript*> FLoadedScripts;
    std::string FLibraryNameUnderRegistration;
    // Declared last so that it goes first: scripts and registry are gone by then.
    std::unique_ptr<TatHostBinding, void (*)(TatHostBinding*)> FHostBinding{nullptr, nullptr};
};

class TatBaseScripter : public TatCustomScripter {
public:
    TatBaseScripter();
    TScriptLanguage DefaultLanguage() const { return FDefaultLanguage; }
    void SetDefaultLanguage(TScriptLanguage value) { FDefaultLanguage = value; }
    const TatScriptClass* DefaultScriptClass() const override { return LanguageToClass(FDefaultLanguage); }
    // The script class of a language (null while that language is not linked in).
    static const TatScriptClass* LanguageToClass(TScriptLanguage language);
    TatScript* AddScript(TScriptLanguage language);

private:
    TScriptLanguage FDefaultLanguage = slPascal;
};

class TatScripter : public TatBaseScripter {
public:
    TatScripter() = default;
};

} // namespace vorn::engine

// TatCustomScripter: construction, the current script's operations, error reporting and
// registration of global members. Library instances and their search are in
// ScripterLibraries.cpp.

#include "engine/compiler/Scripter.h"

#include "engine/compiler/CompilerMessages.h"
#include "engine/vm/EngineErrors.h"
#include "platform/CaseFolding.h"

namespace vorn::engine {

TScripterGlobals& ScripterGlobals() {
    static TScripterGlobals globals;
    return globals;
}

// ---- Construction -------------------------------------------------------------------------

TatCustomScripter::TatCustomScripter() {
    FMachineClass = ScripterGlobals().DefaultMachineClass;
    FLibOptions.FSearchPath = {"$(CURDIR)", "$(APPDIR)"};
    FLibOptions.FUseScriptFiles = false;
}

// In the component's order: registry, first script, internal object as the first default
// instance, the "Create" class methods, the libraries, and the constants True and False.
void TatCustomScripter::Construct() {
    DefineInternalClasses();
    FScripts = std::make_unique<TatScripts>(this);
    FClasses = std::make_unique<TatClasses>(this);
    FCurrentScript = FScripts->Add();
    FDefaultInstances = std::make_unique<TatObjects>(FClasses.get());
    FClasses->FDefaultInstances = FDefaultInstances.get();
    RegisterCreateMethods();
    FInternalInstance = std::make_unique<TatInternalObject>();
    FDefaultInstances->Add(FInternalInstance.get(), "TatInternalObject", "TatInternalObject");
    CreateLibraries();
    AddConstant("True", Variant::FromBoolean(true));
    AddConstant("False", Variant::FromBoolean(false));
}

// Script forms register a third "Create" once the script form class exists.
void TatCustomScripter::RegisterCreateMethods() {
    TatProcDef create;
    create.FName = "Create";
    create.FResultDataType = tkClass;
    create.FProc = MachinePendingProc();
    create.FIsClassMethod = true;
    create.FArgCount = 1;
    TatClass* component = FClasses->FindOrAdd("TComponent");
    component->DefineMethod(create, "AOwner:TComponent")->FResultVirtualClass = component;
    create.FArgCount = 0;
    TatClass* baseObject = FClasses->FindOrAdd("TScriptBaseObject");
    baseObject->DefineMethod(create)->FResultVirtualClass = baseObject;
}

// Scripts first (their library registrations leave while the registry still exists),
// then the library instances from the last to the first, then the registry.
TatCustomScripter::~TatCustomScripter() {
    if (FScripts) FScripts->Clear();
    FScripts.reset();
    // Scripts of other scripters registered here as libraries forget those registrations.
    for (const auto& library : FLibInstances)
        if (auto* unit = dynamic_cast<TatScriptBasedLibrary*>(library.get()); unit && unit->FInternalScript)
            unit->FInternalScript->ForgetLibraryRegistration(unit);
    while (!FLibInstances.empty()) FLibInstances.pop_back();
    FDefaultInstances.reset();
    FInternalInstance.reset();
    FClasses.reset();
}

TMachineProc TatCustomScripter::MachinePendingProc() {
    return TMachineProc{[](void*, TatVirtualMachine*) { NoMachineError(); }, nullptr};
}

TatClass* TatCustomScripter::InternalClass() const {
    return FDefaultInstances && FDefaultInstances->Count() > 0 ? FDefaultInstances->GetItem(0)->atClass() : nullptr;
}

// ---- Current script -------------------------------------------------------------------------

namespace {

TatScript* Current(TatScript* script) {
    if (!script) InternalError(CompilerMessage(TCompilerMessage::cmNoDefaultScript));
    return script;
}

} // namespace

const std::vector<std::string>& TatCustomScripter::SourceCode() const { return Current(FCurrentScript)->SourceCode(); }

void TatCustomScripter::SetSourceCode(std::vector<std::string> lines) {
    FPCode.clear();
    Current(FCurrentScript)->SetSourceCode(std::move(lines));
}

bool TatCustomScripter::Compiled() const { return Current(FCurrentScript)->Compiled(); }

void TatCustomScripter::SetCompiled(bool value) {
    TatScript* script = Current(FCurrentScript);
    if (script->MachineRunning()) FatalError(CompilerMessage(TCompilerMessage::cmCompiledWhileRunning));
    script->SetCompiled(value);
}

bool TatCustomScripter::SilentCompiled() const { return Current(FCurrentScript)->SilentCompiled(); }
TatScriptInfo& TatCustomScripter::ScriptInfo() const { return Current(FCurrentScript)->ScriptInfo(); }
TSimplifiedCode* TatCustomScripter::FirstInstruction() const { return Current(FCurrentScript)->FirstInstruction(); }

void TatCustomScripter::GetRowColFromSource(int pos, int& row, int& col) const {
    Current(FCurrentScript)->GetRowColFromSource(pos, row, col);
}

void TatCustomScripter::Clear() {
    FPCode.clear();
    for (int i = 0; i < FScripts->Count(); ++i) FScripts->Items(i)->Clear();
}

void TatCustomScripter::Compile() {
    if (FCurrentScript) FCurrentScript->Compile();
}

void TatCustomScripter::SilentCompile() {
    if (FCurrentScript) FCurrentScript->SilentCompile();
}

TatScript* TatCustomScripter::CheckMachine() const {
    TatScript* script = Current(FCurrentScript);
    script->CheckMachine();
    return script;
}

Variant TatCustomScripter::Execute(const Variant& input) { return CheckMachine()->VirtualMachine()->Execute(input); }

// "[n]name" names routine `name` of the script whose ID is n; nothing runs (the result
// stays unassigned) when no script has that ID. Any other label runs on the current script.
Variant TatCustomScripter::RunLabel(std::string_view label,
                                    const std::function<Variant(TatScript*, std::string_view)>& run) {
    if (!label.empty() && label[0] == '[') {
        size_t close = label.find(']');
        std::string_view digits = label.substr(1, close == std::string_view::npos ? label.size() - 1 : close - 1);
        int id = 0;
        bool valid = !digits.empty() && digits.size() < 10;
        for (char c : digits) {
            valid = valid && c >= '0' && c <= '9';
            if (valid) id = id * 10 + (c - '0');
        }
        TatScript* script = valid ? FScripts->FindByID(id) : nullptr;
        if (!script || !script->VirtualMachine()) return Variant();
        return run(script, close == std::string_view::npos ? std::string_view{} : label.substr(close + 1));
    }
    TatScript* script = Current(FCurrentScript);
    if (!script->VirtualMachine()) return Variant();
    return run(script, label);
}

Variant TatCustomScripter::ExecuteSubroutine(std::string_view label, const Variant& input) {
    return RunLabel(label, [&](TatScript* script, std::string_view name) {
        return script->VirtualMachine()->ExecuteSubroutine(name, input);
    });
}

// Arguments at the positions of the routine's var parameters travel by reference, so the
// routine's writes land in `args`.
Variant TatCustomScripter::ExecuteSubroutine(std::string_view label, std::vector<Variant>& args) {
    return RunLabel(label, [&](TatScript* script, std::string_view name) {
        std::vector<bool> byRef(args.size(), false);
        if (TatRoutineInfo* routine = name.empty() ? nullptr : script->ScriptInfo().RoutineByName(name))
            for (size_t i = 0; i < args.size(); ++i) byRef[i] = routine->IsByRefArg(static_cast<int>(i));
        return script->VirtualMachine()->IntExecuteSubroutine(name, args, byRef);
    });
}

void TatCustomScripter::Halt() {
    TatScript* current = CheckMachine();
    current->VirtualMachine()->Halt();
    for (int i = 0; i < FScripts->Count(); ++i) {
        TatScript* script = FScripts->Items(i);
        if (script != current && script->VirtualMachine()) script->VirtualMachine()->Halt();
    }
}

bool TatCustomScripter::Halted() const { return CheckMachine()->VirtualMachine()->Halted(); }
const std::string& TatCustomScripter::LastExceptionMessage() const {
    return CheckMachine()->VirtualMachine()->LastExceptionMessage();
}
const std::string& TatCustomScripter::LastExceptionClassName() const {
    return CheckMachine()->VirtualMachine()->LastExceptionClassName();
}
int TatCustomScripter::LastExceptionLine() const { return CheckMachine()->VirtualMachine()->LastExceptionLine(); }
int TatCustomScripter::LastExceptionCol() const { return CheckMachine()->VirtualMachine()->LastExceptionCol(); }

void TatCustomScripter::BeforeExecute(TatVirtualMachine* machine, std::string_view label) {
    if (FOnBeforeExecute) FOnBeforeExecute(machine, std::string(label));
}

void TatCustomScripter::CheckRunningChanged(TatVirtualMachine* machine) {
    bool running = GetRunning();
    if (running == FLastRunning) return;
    FLastRunning = running;
    DoRunningChanged(machine);
}

void TatCustomScripter::DoRunningChanged(TatVirtualMachine* machine) {
    if (FOnRunningChanged) FOnRunningChanged(machine);
}

bool TatCustomScripter::GetRunning() const {
    for (int i = 0; i < FScripts->Count(); ++i)
        if (FScripts->Items(i)->MachineRunning()) return true;
    return false;
}

// ---- Errors -------------------------------------------------------------------------------

void TatCustomScripter::DoCompileError(std::string& message, int row, int col, bool& showException, TatScript*) {
    if (FOnCompileError) FOnCompileError(this, message, row, col, showException);
}

void TatCustomScripter::InternalCompileError(std::string message, int row, int col, TatScript* script) {
    bool showException = true;
    if (script && !script->UnitName().empty()) message = "Unit " + script->UnitName() + ": " + message;
    if (!script || !script->IsDebugScript()) DoCompileError(message, row, col, showException, script);
    if (!showException) throw platform::EAbort();
    throw EatCompileError(message + ".\r\nSource position: " + std::to_string(row) + "," + std::to_string(col));
}

// The position is that of the script machine's current instruction (0, 0 for none).
void TatCustomScripter::InternalRuntimeError(std::string message, TatScript* script) {
    int row = 0, col = 0;
    TatVirtualMachine* machine = script ? script->VirtualMachine() : nullptr;
    if (machine && machine->CurrentInstruction()) script->GetRowColFromInst(machine->CurrentInstruction(), row, col);
    InternalRuntimeError(std::move(message), script, row, col);
}

void TatCustomScripter::InternalRuntimeError(std::string message, TatScript* script, int row, int col) {
    bool showException = true;
    std::string libraryName;
    if (script) libraryName = script->UnitName().empty() ? script->ScriptInfo().FUnitName : script->UnitName();
    if (!libraryName.empty()) message = "File library " + libraryName + ": " + message;
    if ((!script || !script->IsDebugScript()) && FOnRuntimeError) FOnRuntimeError(this, message, row, col, showException);
    if (!showException) throw platform::EAbort();
    throw EatScripterRuntime(script, row, col, message);
}

// ---- Registration -------------------------------------------------------------------------

// A constant is a read-only property of the internal class whose getter serves FValue.
TatProperty* TatCustomScripter::AddConstant(const std::string& name, const Variant& value) {
    return InternalClass()->AddConstant(name, value);
}

TatMethod* TatCustomScripter::DefineMethod(const std::string& name, int argCount, TatTypeKind resultTypeKind,
                                           const platform::rtti::TClassInfo* resultClass, TMachineProc proc,
                                           bool isClassMethod, int defArgCount, std::string_view parameterHints) {
    TatProcDef def;
    def.FName = name;
    def.FArgCount = argCount;
    def.FResultDataType = resultTypeKind;
    def.FResultClass = resultClass;
    def.FProc = proc;
    def.FIsClassMethod = isClassMethod;
    def.FDefArgCount = defArgCount;
    return InternalClass()->DefineMethod(def, parameterHints);
}

TatProperty* TatCustomScripter::DefineProp(const std::string& name, TatTypeKind typeKind, TMachineProc getter,
                                           TMachineProc setter, const platform::rtti::TClassInfo* propertyClass,
                                           bool isClassProp, int indexCount) {
    TatPropDef def;
    def.FName = name;
    def.FDataType = typeKind;
    def.FGetter = getter;
    def.FSetter = setter;
    def.FPropertyClass = propertyClass;
    def.FIsClassProp = isClassProp;
    def.FIndexCount = indexCount;
    return InternalClass()->DefineProp(def);
}

void TatCustomScripter::RemoveProperty(std::string_view name) { InternalClass()->RemoveProperty(name); }

bool TatCustomScripter::PropertyExists(std::string_view name) const {
    return InternalClass()->PropertyByName(name) != nullptr;
}

void TatCustomScripter::AddFunction(const std::string&, TMachineProc) {
    DefinitionError(CompilerMessage(TCompilerMessage::cmUseSetProc));
}

TatClass* TatCustomScripter::DefineClass(const platform::rtti::TClassInfo* classRef, const std::string& name) {
    return FClasses->AddClassByRTTI(classRef, name);
}

TatClass* TatCustomScripter::ClassByName(std::string_view name) const { return FClasses->ClassByName(name); }

TatClass* TatCustomScripter::UsesObject(platform::rtti::TObject* object, const std::string& name,
                                        const std::string& className) {
    return FDefaultInstances->Add(object, name, className)->atClass();
}

std::string TatCustomScripter::BuildEventHandlerName(std::string_view instanceName, std::string_view propertyName) {
    if (propertyName.size() >= 2 && platform::AsciiSameText(propertyName.substr(0, 2), "on"))
        return std::string(instanceName) + std::string(propertyName.substr(2));
    return std::string(instanceName) + std::string(propertyName);
}

// ---- Base scripter ----------------------------------------------------------------------------

TatBaseScripter::TatBaseScripter() {
    FDefaultLanguage = slPascal;
    FShortBooleanEval = true;
    FOptionExplicit = true;
    Construct();
    if (ScripterGlobals().OnGlobalScripterCreate) ScripterGlobals().OnGlobalScripterCreate(this);
}

const TatScriptClass* TatBaseScripter::LanguageToClass(TScriptLanguage language) {
    return ScripterGlobals().LanguageScriptClasses[language == slBasic ? 1 : 0];
}

TatScript* TatBaseScripter::AddScript(TScriptLanguage language) {
    const TatScriptClass* scriptClass = LanguageToClass(language);
    return scriptClass ? Scripts().AddOf(scriptClass) : Scripts().Add();
}

} // namespace vorn::engine

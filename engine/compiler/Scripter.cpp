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

Variant TatCustomScripter::Execute(const Variant&) {
    CheckMachine();
    return Variant();
}

Variant TatCustomScripter::ExecuteSubroutine(std::string_view, const std::vector<Variant>&) {
    CheckMachine();
    return Variant();
}

void TatCustomScripter::Halt() { CheckMachine(); }

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

// Without a machine there is no current instruction, so the position is 0, 0.
void TatCustomScripter::InternalRuntimeError(std::string message, TatScript* script) {
    int row = 0, col = 0;
    bool showException = true;
    std::string libraryName;
    if (script) libraryName = script->UnitName().empty() ? script->ScriptInfo().FUnitName : script->UnitName();
    if (!libraryName.empty()) message = "File library " + libraryName + ": " + message;
    if ((!script || !script->IsDebugScript()) && FOnRuntimeError) FOnRuntimeError(this, message, row, col, showException);
    if (!showException) throw platform::EAbort();
    throw EatScripterRuntime(script, row, col, message);
}

// ---- Registration -------------------------------------------------------------------------

// A constant is a read-only property of the internal class holding its value; the
// machine serves it from FValue.
TatProperty* TatCustomScripter::AddConstant(const std::string& name, const Variant& value) {
    TatPropDef def;
    def.FName = name;
    def.FDataType = tkVariant;
    def.FGetter = MachinePendingProc();
    TatProperty* p = InternalClass()->SetProp(def);
    p->FValue = value;
    return p;
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

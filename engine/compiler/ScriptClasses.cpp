// Classes that scripts declare: registration of a compiled class script under its script
// class name, and the member procs that create instances and run an instance's routines
// and globals on the instance's own script.

#include <vector>

#include "engine/compiler/BindingMessages.h"
#include "engine/compiler/HostBinding.h"
#include "engine/compiler/Script.h"
#include "engine/compiler/ScriptBaseObject.h"
#include "engine/compiler/Scripter.h"
#include "engine/vm/ScriptValue.h"
#include "engine/vm/VirtualMachine.h"
#include "platform/CaseFolding.h"

namespace vorn::engine {

namespace {

// "Create" of a script class: a new instance, owned for the script that created it.
void ScriptObjectCreateProc(TatVirtualMachine* machine) {
    auto* host = dynamic_cast<TatScript*>(machine->Host());
    auto object = std::make_unique<TScriptBaseObject>(machine);
    TatCustomScripter* scripter = host ? host->Scripter() : nullptr;
    if (!scripter) machine->RuntimeError(BindingMessage(TBindingMessage::bmNoObjectScripter));
    machine->ReturnOutputArg(ObjectToVar(HostBindingOf(scripter).Adopt(std::move(object), machine->Host())));
}

TScriptBaseObject* RequiredObject(TatVirtualMachine* machine, const std::string& member) {
    TScriptBaseObject* object = CurrentScriptObject(machine);
    if (!object || !object->GetRunScript())
        machine->RuntimeError(BindingMessage(TBindingMessage::bmObjectRequired, member));
    return object;
}

// A routine of the class script run on the instance's script; var arguments are written back.
void ScriptMethodProc(TatVirtualMachine* machine) {
    const std::string name = machine->CurrentMethodName();
    TatScript* script = RequiredObject(machine, name)->GetRunScript();
    const TatRoutineInfo* routine = script->ScriptInfo().RoutineByName(name);
    const int argc = machine->InputArgCount();
    std::vector<Variant> args(static_cast<size_t>(argc));
    std::vector<bool> byRef(static_cast<size_t>(argc), false);
    for (int i = 0; i < argc; ++i) {
        args[size_t(i)] = machine->GetInputArg(i);
        if (routine && i < routine->Variables().Count())
            byRef[size_t(i)] = routine->Variables().GetItem(i)->FModifier == moVar;
    }
    Variant result = script->VirtualMachine()->IntExecuteSubroutine(name, args, byRef);
    for (int i = 0; i < argc; ++i)
        if (byRef[size_t(i)]) machine->SetInputArgIfByRef(i, args[size_t(i)]);
    machine->ReturnOutputArg(result);
}

TatVariableInfo* RequiredGlobal(TatVirtualMachine* machine) {
    const std::string name = machine->CurrentPropertyName();
    TatVariableInfo* global = RequiredObject(machine, name)->GetRunScript()->ScriptInfo().Globals().FindByName(name);
    if (!global) machine->RuntimeError("Unknown property: '" + name + "'");
    return global;
}

void ScriptGlobalGetter(TatVirtualMachine* machine) { machine->ReturnOutputArg(RequiredGlobal(machine)->Value()); }
void ScriptGlobalSetter(TatVirtualMachine* machine) { RequiredGlobal(machine)->SetValue(machine->GetInputArg(0)); }

const TMachineProc kCreateProc = TMachineProc::Of<&ScriptObjectCreateProc>();
const TMachineProc kMethodProc = TMachineProc::Of<&ScriptMethodProc>();
const TMachineProc kGetterProc = TMachineProc::Of<&ScriptGlobalGetter>();
const TMachineProc kSetterProc = TMachineProc::Of<&ScriptGlobalSetter>();

void DefineRoutine(TatClass* entry, const TatRoutineInfo* r) {
    TatProcDef def;
    def.FName = r->FName;
    def.FArgCount = r->FArgCount;
    def.FResultDataType = r->FResultClass ? tkClass : tkVariant;
    def.FResultClass = r->FResultClass ? r->FResultClass->ClassRef() : nullptr;
    def.FProc = kMethodProc;
    TatMethod* m = entry->DefineMethod(def);
    if (r->FResultClass) m->FResultVirtualClass = r->FResultClass;
    std::vector<uint8_t> positions;
    for (int v = 0; v < r->FArgCount && v < 256; ++v)
        if (r->Variables().GetItem(v)->FModifier == moVar) positions.push_back(uint8_t(v));
    if (!positions.empty()) m->SetVarArgs(positions);
    m->SetArgCount(r->FArgCount);
}

void DefineGlobal(TatClass* entry, const TatVariableInfo* g) {
    TatPropDef def;
    def.FName = g->FVarName;
    def.FDataType = g->FDeclaredClass ? tkClass : tkVariant;
    def.FPropertyClass = g->FDeclaredClass ? g->FDeclaredClass->ClassRef() : nullptr;
    def.FGetter = kGetterProc;
    def.FSetter = kSetterProc;
    TatProperty* p = entry->SetProp(def);
    if (g->FDeclaredClass) p->FVirtualClass = g->FDeclaredClass;
}

// The entry of a script class: found, or added below TScriptBaseObject.
TatClass* ScriptClassEntry(TatClasses& classes, const std::string& name) {
    if (TatClass* entry = classes.ClassByName(name)) return entry;
    TatClass* entry = classes.Add(name);
    entry->FAncestorName = "TScriptBaseObject";
    entry->Inherits("TScriptBaseObject");
    return entry;
}

} // namespace

void TatScript::RegisterScriptClass() {
    if (!FScripter || !FScriptInfo->IsClass() || FScriptInfo->FScriptClassName.empty()) return;
    UnregisterScriptClass();
    TatClass* entry = ScriptClassEntry(FScripter->Classes(), FScriptInfo->FScriptClassName);
    entry->SetClassRef(&TScriptBaseObject::ClassInfo());
    entry->FBaseScript = this;
    TatProcDef create;
    create.FName = "Create";
    create.FResultDataType = tkClass;
    create.FIsClassMethod = true;
    create.FProc = kCreateProc;
    entry->DefineMethod(create)->FResultVirtualClass = entry;
    TatProcDef free;
    free.FName = "Free";
    free.FProc = HostBindingOf(FScripter).Bound<&TatHostBinding::ObjectFreeProc>();
    entry->DefineMethod(free);
    const TatRoutinesInfo& routines = FScriptInfo->Routines();
    for (int i = 0; i < routines.Count(); ++i) {
        const TatRoutineInfo* r = routines.GetItem(i);
        if (r == FScriptInfo->MainRoutine() || r->FVisibility == rvPrivate) continue;
        if (platform::AsciiSameText(r->FName, "___MAIN___") || platform::AsciiSameText(r->FName, "Create")) continue;
        DefineRoutine(entry, r);
    }
    const TatVariablesInfo& globals = FScriptInfo->Globals();
    for (int i = 0; i < globals.Count(); ++i)
        if (const TatVariableInfo* g = globals.GetItem(i); g->FVisibility == vvPublic && !g->Internal())
            DefineGlobal(entry, g);
}

// "Self" stays on the script's own internal class once defined: it names nothing else.
void TatScript::DefineSelfProperty() {
    if (!FIntInstance || !FIntInstance->atClass()) return;
    TatPropDef def;
    def.FName = "Self";
    def.FDataType = tkVariant;
    def.FGetter = TMachineProc::Of<&TatScript::GetSelfBaseObjectProc>(this);
    FIntInstance->atClass()->SetProp(def);
}

// Compiled code may link "Self" through the class script's internal class, so the object
// is taken from the script whose machine runs, not from the script the getter is bound to.
void TatScript::GetSelfBaseObjectProc(TatVirtualMachine* machine) {
    auto* running = dynamic_cast<TatScript*>(machine->Host());
    platform::rtti::TObject* object = running ? running->FOriginalObject : FOriginalObject;
    machine->ReturnOutputArg(ObjectToVar(object ? object->ObjectNumber() : 0));
}

// The members this script defined go; "Create" stays and, without a base script, reports
// that the class can no longer create instances.
void TatScript::UnregisterScriptClass() noexcept {
    if (!FScripter) return;
    TatClasses& classes = FScripter->Classes();
    for (int c = 0; c < classes.Count(); ++c) {
        TatClass* entry = classes.GetItem(c);
        if (entry->FBaseScript != this) continue;
        entry->FBaseScript = nullptr;
        for (int i = entry->Methods().Count() - 1; i >= 0; --i)
            if (entry->Methods().GetItem(i)->FProc.FCode == kMethodProc.FCode) entry->Methods().Delete(i);
        for (int i = entry->Properties().Count() - 1; i >= 0; --i)
            if (entry->Properties().GetItem(i)->FGetter.FCode == kGetterProc.FCode) entry->Properties().Delete(i);
    }
}

} // namespace vorn::engine

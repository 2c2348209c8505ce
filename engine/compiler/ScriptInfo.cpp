#include "engine/compiler/ScriptInfo.h"

#include <algorithm>

#include "engine/compiler/CompilerMessages.h"
#include "engine/compiler/Script.h"
#include "engine/compiler/Scripter.h"
#include "engine/vm/EngineErrors.h"
#include "engine/vm/ScriptValue.h"
#include "platform/CaseFolding.h"

namespace vorn::engine {

using platform::AsciiSameText;

namespace {

// The scripter whose class registry resolves declared type names, or null.
TatCustomScripter* ScripterOf(const TatScriptInfo* info) {
    TatScript* script = info ? info->Script() : nullptr;
    return script ? script->Scripter() : nullptr;
}

} // namespace

// ---- Variables ------------------------------------------------------------------------

TatRoutineInfo* TatVariableInfo::routine() const {
    if (FOwner->Routine()) return FOwner->Routine();
    return FOwner->ScriptInfo() ? FOwner->ScriptInfo()->MainRoutine() : nullptr;
}

TatScriptInfo* TatVariableInfo::ScriptInfo() const {
    if (FOwner->ScriptInfo()) return FOwner->ScriptInfo();
    return FOwner->Routine() ? FOwner->Routine()->ScriptInfo() : nullptr;
}

TatScript* TatVariableInfo::Script() const {
    TatScriptInfo* info = ScriptInfo();
    return info ? info->Script() : nullptr;
}

int TatVariableInfo::VarIndex() const {
    int position = FOwner->IndexOfItem(this);
    if (FGlobal || !FOwner->Routine()) return position;
    return position - FOwner->Routine()->FArgCount;
}

// The machine slot of this variable, or null with `running` set to the routine the
// machine is executing ("" outside routines). A global's slot exists once the global
// initialisation ran (run now when needed); a routine variable's only while its routine runs.
Variant* TatVariableInfo::MachineSlot(std::string& running) const {
    TatScript* script = Script();
    TatVirtualMachine* machine = script ? script->VirtualMachine() : nullptr;
    if (FGlobal || !FOwner->Routine()) {
        if (!machine) return nullptr;
        machine->InitializeScript();
        return &machine->StackSlot(VarIndex());
    }
    if (!machine) NoMachineError();
    TSimplifiedCode* prepare = machine->PrepareInstruction();
    running = prepare ? prepare->vString.ToUtf8() : std::string();
    TatRoutineInfo* owner = routine();
    if (!prepare || !owner || !platform::AsciiSameText(running, owner->FName)) return nullptr;
    int32_t slot = machine->StackBase() + VarIndex();
    if (slot < 0 || slot >= TatVirtualMachine::StackSize) return nullptr;
    return &machine->StackSlot(slot);
}

Variant TatVariableInfo::Value() const {
    std::string running;
    if (Variant* slot = MachineSlot(running)) return DerefValue(*slot);
    if (FGlobal || !FOwner->Routine()) return Variant();
    TatRoutineInfo* owner = routine();
    const std::string routineName = owner ? owner->FName : "";
    if (!running.empty())
        ScriptInfoError(CompilerMessage(TCompilerMessage::cmVarNotInRoutine, FVarName, routineName, running));
    ScriptInfoError(CompilerMessage(TCompilerMessage::cmVarOnlyWhileRunning, FVarName, routineName));
}

// The value goes into the slot as it is: a by-reference slot is replaced, not followed.
void TatVariableInfo::SetValue(const Variant& value) {
    std::string running;
    if (Variant* slot = MachineSlot(running)) {
        *slot = value;
        return;
    }
    if (FGlobal || !FOwner->Routine()) return;
    TatRoutineInfo* owner = routine();
    if (!running.empty()) ScriptInfoError(CompilerMessage(TCompilerMessage::cmVarNotAvailable, FVarName, running));
    ScriptInfoError(CompilerMessage(TCompilerMessage::cmVarOnlyWhileRunning, FVarName, owner ? owner->FName : ""));
}

std::string TatVariableInfo::DeclaredClassName() const { return FDeclaredClass ? FDeclaredClass->Name() : std::string(); }

void TatVariableInfo::SetDeclaredClassName(std::string_view name) {
    TatCustomScripter* scripter = ScripterOf(ScriptInfo());
    FDeclaredClass = scripter ? scripter->ClassByName(name) : nullptr;
}

bool TatVariableInfo::SameDeclaration(const TatVariableInfo& other) const {
    return AsciiSameText(FVarName, other.FVarName) && FArgIndex == other.FArgIndex && FModifier == other.FModifier &&
           FDeclaredClass == other.FDeclaredClass;
}

void TatVariableInfo::Assign(const TatVariableInfo& source) {
    FVarName = source.FVarName;
    FDeclarationSourcePos = source.FDeclarationSourcePos;
    FArgIndex = source.FArgIndex;
    FModifier = source.FModifier;
    FDeclaredClass = source.FDeclaredClass;
    FGlobal = source.FGlobal;
}

TatVariableInfo* TatVariablesInfo::Add() {
    FItems.push_back(std::make_unique<TatVariableInfo>(this));
    return FItems.back().get();
}

int TatVariablesInfo::IndexOf(std::string_view name) const {
    for (int i = Count() - 1; i >= 0; --i)
        if (AsciiSameText(GetItem(i)->FVarName, name)) return i;
    return -1;
}

TatVariableInfo* TatVariablesInfo::FindByName(std::string_view name) const {
    int i = IndexOf(name);
    return i >= 0 ? GetItem(i) : nullptr;
}

int TatVariablesInfo::IndexOfItem(const TatVariableInfo* item) const {
    for (int i = 0; i < Count(); ++i)
        if (GetItem(i) == item) return i;
    return -1;
}

void TatVariablesInfo::Assign(const TatVariablesInfo& source) {
    Clear();
    for (int i = 0; i < source.Count(); ++i) Add()->Assign(*source.GetItem(i));
}

// ---- Routines -------------------------------------------------------------------------

TatRoutineInfo::TatRoutineInfo(TatRoutinesInfo* owner) : FOwner(owner), FVariables(this, nullptr) {}

TatScriptInfo* TatRoutineInfo::ScriptInfo() const { return FOwner ? FOwner->ScriptInfo() : nullptr; }

TatVariableInfo* TatRoutineInfo::DeclareVariable(std::string_view name, int sourcePos, int argIndex,
                                                 TatArgumentModifier modifier) {
    TatVariableInfo* v = FVariables.Add();
    v->FVarName = std::string(name);
    v->FDeclarationSourcePos = sourcePos;
    v->FArgIndex = argIndex;
    v->FModifier = modifier;
    if (argIndex >= 0) ++FArgCount;
    if (modifier == moVar && argIndex >= 0) {
        // Shifting a 32-bit mask by 32 or more is undefined; such arguments go to the list.
        if (argIndex < 32)
            FByRefArgMask |= uint32_t{1} << argIndex;
        else if (std::find(FByRefArgsBeyondMask.begin(), FByRefArgsBeyondMask.end(), argIndex) ==
                 FByRefArgsBeyondMask.end())
            FByRefArgsBeyondMask.push_back(argIndex);
    }
    return v;
}

bool TatRoutineInfo::IsByRefArg(int n) const {
    if (n < 0) return false;
    if (n < 32) return (FByRefArgMask >> n) & 1u;
    return std::find(FByRefArgsBeyondMask.begin(), FByRefArgsBeyondMask.end(), n) != FByRefArgsBeyondMask.end();
}

void TatRoutineInfo::SetResultTypeDecl(std::string_view text) {
    FResultTypeDecl = std::string(text);
    SetTypeFromString(text);
}

std::string TatRoutineInfo::ResultClassName() const { return FResultClass ? FResultClass->Name() : std::string(); }

void TatRoutineInfo::SetResultClassName(std::string_view name) { SetTypeFromString(name); }

// Resolves the result class only when the routine belongs to a script with a scripter.
void TatRoutineInfo::SetTypeFromString(std::string_view name) {
    TatCustomScripter* scripter = ScripterOf(ScriptInfo());
    if (scripter) FResultClass = scripter->ClassByName(name);
}

void TatRoutineInfo::Assign(const TatRoutineInfo& source) {
    FVariables.Assign(source.FVariables);
    FName = source.FName;
    FDeclarationInstruction = source.FDeclarationInstruction;
    FIsFunction = source.FIsFunction;
    FArgCount = source.FArgCount;
    FByRefArgMask = source.FByRefArgMask;
    FByRefArgsBeyondMask = source.FByRefArgsBeyondMask;
    FResultIndex = source.FResultIndex;
    FCallingConvention = source.FCallingConvention;
    FExternalDll = source.FExternalDll;
    FExternalName = source.FExternalName;
    FResultTypeDecl = source.FResultTypeDecl;
    FResultClass = source.FResultClass;
}

TatRoutineInfo* TatRoutinesInfo::Add() {
    FItems.push_back(std::make_unique<TatRoutineInfo>(this));
    return FItems.back().get();
}

int TatRoutinesInfo::IndexOf(std::string_view name) const {
    for (int i = 0; i < Count(); ++i)
        if (AsciiSameText(GetItem(i)->FName, name)) return i;
    return -1;
}

std::vector<std::string> TatRoutinesInfo::GetNames() const {
    std::vector<std::string> names;
    for (const auto& r : FItems) names.push_back(r->FName);
    return names;
}

void TatRoutinesInfo::Assign(const TatRoutinesInfo& source) {
    Clear();
    for (int i = 0; i < source.Count(); ++i) Add()->Assign(*source.GetItem(i));
}

// ---- Script info ------------------------------------------------------------------------

void TatScriptInfo::Clear() {
    FMainRoutine = nullptr;
    FRoutines.Clear();
    FGlobals.Clear();
    FScriptClassName.clear();
    FFormResource.clear();
    FUnitName.clear();
    FBehavior = sbNormal;
}

TatRoutineInfo* TatScriptInfo::RoutineByName(std::string_view name) const {
    int i = FRoutines.IndexOf(name);
    return i >= 0 ? FRoutines.GetItem(i) : nullptr;
}

TatRoutineInfo* TatScriptInfo::DeclareRoutine(std::string_view name, TSimplifiedCode* declInstruction, bool isFunction) {
    TatRoutineInfo* r = FRoutines.Add();
    r->FName = std::string(name);
    r->FDeclarationInstruction = declInstruction;
    r->FIsFunction = isFunction;
    return r;
}

void TatScriptInfo::UpdateRoutineInfoPointers(TSimplifiedCode* first) {
    int count = 0;
    for (TSimplifiedCode* inst = first; inst; inst = inst->Next, ++count) {
        if (inst->OpCode != inPrepare) continue;
        std::string name = inst->vString.ToUtf8();
        TatRoutineInfo* r = RoutineByName(name);
        if (!r) r = FRoutines.Add();
        r->FName = name;
        r->FDeclarationInstruction = inst;
    }
    FCodeSize = count;
}

} // namespace vorn::engine

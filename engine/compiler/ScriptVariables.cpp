// The variable operations of TatScript's back end: declarations, references with the
// explicit-declaration rule, the store of a value with its peephole fusions, and the
// variable test of case branches.

#include "engine/compiler/CompilerMessages.h"
#include "engine/compiler/Script.h"
#include "engine/compiler/Scripter.h"

namespace vorn::engine {

namespace {

ScriptText Joined(const ScriptText& first, std::string_view second) {
    return ScriptText::Concat(first.View(), ScriptText::FromUtf8(second).View());
}

} // namespace

// A redeclaration is reported; a silent compilation (which does not stop) declares the
// variable anyway. Outside any routine a local declaration becomes a global one.
TatVariableInfo* TatScript::DeclareVariable(std::string_view name, int argIndex, TatArgumentModifier modifier,
                                            bool global, int sourcePos) {
    if (sourcePos == -1) sourcePos = ScanningInputPos();
    if (global || !FCurrentRoutine) {
        TatVariablesInfo& globals = FScriptInfo->Globals();
        if (globals.IndexOf(name) >= 0)
            CompileError(CompilerMessage(TCompilerMessage::cmRedeclarationGlobal, name), ScanningInputPos());
        TatVariableInfo* v = globals.Add();
        v->FVarName = std::string(name);
        v->FArgIndex = argIndex;
        v->FModifier = modifier;
        v->FGlobal = true;
        v->FDeclarationSourcePos = sourcePos;
        return v;
    }
    if (FCurrentRoutine->VariableByName(name))
        CompileError(CompilerMessage(TCompilerMessage::cmRedeclaration, name), sourcePos);
    return FCurrentRoutine->DeclareVariable(name, sourcePos, argIndex, modifier);
}

TatVariableInfo* TatScript::RegisterVariableReference(std::string_view name) {
    TatVariableInfo* v = FCurrentRoutine ? FCurrentRoutine->VariableByName(name) : nullptr;
    if (!v) v = FScriptInfo->Globals().FindByName(name);
    if (v) return v;
    bool explicitDeclarations = FScripter && FScripter->OptionExplicit();
    if (!explicitDeclarations || FSilentCompilation)
        return DeclareVariable(name, -1, moNone, FCurrentRoutine == nullptr, ScanningInputPos());
    CompileError(CompilerMessage(TCompilerMessage::cmUndeclaredVariable, name), ScanningInputPos());
    return nullptr;
}

void TatScript::OptimizeStoreVar(TatVariableInfo* variable, bool initialising) {
    if (variable->FModifier == moConst && !initialising)
        CompileError(CompilerMessage(TCompilerMessage::cmAssignConstant, variable->FVarName), ScanningInputPos());
    if (!variable->FGlobal) return StoreIntoLocal(variable);
    // Globals are never fused, and a global cannot be a by-reference slot.
    if (variable->FModifier == moVar) {
        CompileError(CompilerMessage(TCompilerMessage::cmStoreGlobalVarRef, variable->FVarName), ScanningInputPos());
        return;
    }
    TSimplifiedCode* store = AppendInstruction(inStoreGlobalVar);
    store->vInteger = variable->VarIndex();
    store->vString = ScriptText::FromUtf8(variable->FVarName);
    store->vDebugInfo = ScanningInputPos();
}

// Rewrites the push just emitted into a store of its value (the rewritten instruction
// keeps its own source position); any other last instruction gets a plain store after it.
void TatScript::StoreIntoLocal(TatVariableInfo* variable) {
    const bool byRef = variable->FModifier == moVar;
    const int index = variable->VarIndex();
    TSimplifiedCode* last = FLastInstruction;
    switch (last ? last->OpCode : inPrepare) {
    case inPushInteger:
    case inPushDouble:
        if (last->OpCode == inPushInteger)
            last->OpCode = byRef ? inStoreVarRefInteger : inStoreVarInteger;
        else
            last->OpCode = byRef ? inStoreVarRefDouble : inStoreVarDouble;
        last->vInteger = index;
        last->vString = ScriptText::FromUtf8(variable->FVarName);
        return;
    case inPushString:
    case inPushConst:
        last->OpCode = last->OpCode == inPushString ? (byRef ? inStoreVarRefString : inStoreVarString)
                                                    : (byRef ? inStoreVarRefConst : inStoreVarConst);
        last->vInteger = index;
        last->vInteger3 = static_cast<int32_t>(last->vString.Length());
        last->vString = Joined(last->vString, variable->FVarName);
        return;
    case inPushVar:
        last->OpCode = byRef ? inCopyVarRef : inCopyVar;
        last->vInteger2 = index;
        last->vInteger3 = static_cast<int32_t>(last->vString.Length());
        last->vString = Joined(last->vString, variable->FVarName);
        return;
    default:
        break;
    }
    TSimplifiedCode* store = AppendInstruction(byRef ? inStoreVarRef : inStoreVar);
    store->vInteger = index;
    store->vString = ScriptText::FromUtf8(variable->FVarName);
    store->vDebugInfo = ScanningInputPos();
}

void TatScript::OptimizeVarTest(int varIndex, std::string_view varName, std::string_view label, uint8_t jumpWhen) {
    TSimplifiedCode* test = AppendInstruction(inVarTest);
    test->vInteger = RegisterReference(label);
    test->vByte = jumpWhen;
    test->vInteger2 = varIndex;
    test->vString = ScriptText::FromUtf8(varName);
    test->vDebugInfo = ScanningInputPos();
}

} // namespace vorn::engine

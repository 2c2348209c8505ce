// Pascal code generators for statements: for, while, repeat, if, case, try and with,
// and the statement keywords (exit, break, continue, abort, nothing). Each construct
// saves the number of the enclosing one of its kind on stContext and restores it.

#include <cmath>

#include "engine/compiler/Scripter.h"
#include "engine/languages/PascalScript.h"
#include "engine/vm/ScriptValue.h"

namespace vorn::engine {

namespace {

std::string Label(const char* prefix, int number) { return prefix + std::to_string(number); }

std::string CaseLabel(int caseNumber, const char* part, int branch) {
    return "@Case" + std::to_string(caseNumber) + part + std::to_string(branch);
}

// A compiler temporary of the current routine (a global outside any routine). An
// existing one is reused: a half-typed text can reach the same construct number twice.
TatVariableInfo* DeclareTemporary(TatScript& script, const std::string& name) {
    if (TatRoutineInfo* routine = script.CurrentRoutine()) {
        if (TatVariableInfo* v = routine->VariableByName(name)) return v;
        return routine->DeclareVariable(name, script.ScanningInputPos(), -1, moNone);
    }
    if (TatVariableInfo* v = script.ScriptInfo().Globals().FindByName(name)) return v;
    return script.DeclareVariable(name, -1, moNone, true);
}

} // namespace

void TreZuderaScript::EnterLoop(TLoopStatement kind) {
    StackPush(stContext, Variant::FromInteger(FCurrentLoop));
    FCurrentLoop = kind;
}

void TreZuderaScript::LeaveLoop() { FCurrentLoop = static_cast<TLoopStatement>(PopInt(stContext, lsNone) & 3); }

// ---- for ------------------------------------------------------------------------------------

void TreZuderaScript::BeforeFor(TNoTerminalNode*) {
    StackPush(stContext, Variant::FromInteger(FCurrentFor));
    FCurrentFor = ++FForCount;
    EnterLoop(lsFor);
}

// The start and final values are on the machine stack (final on top): the final one
// goes into #ForStop, the start one into the loop variable at @ForLoop.
void TreZuderaScript::AfterForControl(TNoTerminalNode* node) {
    const int n = FCurrentFor;
    TatVariableInfo* stop = DeclareTemporary(*this, Label("#ForStop", n));
    OptimizeStoreVar(stop, false);
    DefineReferenceAddress(Label("@ForLoop", n));
    const std::string name = PopString(stIdentifierList);
    TatVariableInfo* v = name.empty() ? nullptr : RegisterVariableReference(name);
    if (v) {
        TSimplifiedCode* store = Emit(v->FGlobal ? inStoreGlobalVar : (v->FModifier == moVar ? inStoreVarRef : inStoreVar));
        store->vInteger = v->VarIndex();
        store->vString = ScriptText::FromUtf8(v->FVarName);
    }
    StackPush(stContext, Variant::FromText(ScriptText::FromUtf8(v ? v->FVarName : name)));
    StackPush(stContext, Variant::FromInteger(v ? v->VarIndex() : 0));
    StackPush(stContext, Variant::FromBoolean(v && v->FGlobal));
    if (v) {
        TSimplifiedCode* push = Emit(v->FGlobal ? inPushGlobalVar : inPushVar);
        push->vInteger = v->VarIndex();
        push->vString = ScriptText::FromUtf8(v->FVarName);
    }
    TSimplifiedCode* pushStop = Emit(inPushVar);
    pushStop->vInteger = stop->VarIndex();
    pushStop->vString = ScriptText::FromUtf8(stop->FVarName);
    TNoTerminalNode* forNode = node->GetParentNode();
    double step = 1;
    if (RuleOf(node) == noFor_downto) {
        step = -1;
        StackPush(stContext, Variant::FromDouble(step));
    } else if (RuleOf(Child(forNode, 1)) == noStep) {
        step = std::strtod(TextOf(Child(forNode, 1)).c_str(), nullptr);
    } else {
        StackPush(stContext, Variant::FromDouble(step));
    }
    Emit(step < 0 ? inOperGE : inOperLE);
    EmitJump(inJumpIfFalse, Label("@EndFor", n));
}

void TreZuderaScript::AfterStep(TNoTerminalNode* node) {
    const std::string text = TextOf(node);
    char* end = nullptr;
    const double step = std::strtod(text.c_str(), &end);
    if (!std::isfinite(step) || std::fabs(step) > 9.0e18) InvalidNumber(node);
    StackPush(stContext, Variant::FromDouble(std::isfinite(step) ? step : 1));
}

void TreZuderaScript::AfterFor(TNoTerminalNode*) {
    const int n = FCurrentFor;
    DefineReferenceAddress(Label("@ForStep", n));
    const double step = PopDouble(stContext, 1);
    if (step != std::floor(step) || std::fabs(step) > 9.0e18) {
        Emit(inPushDouble)->vDouble = step;
    } else {
        Emit(inPushInteger)->valueInt64 = static_cast<int64_t>(std::llround(step));
    }
    const bool global = PopBool(stContext);
    const int index = PopInt(stContext);
    const std::string name = PopString(stContext);
    TSimplifiedCode* push = Emit(global ? inPushGlobalVar : inPushVar);
    push->vInteger = index;
    push->vString = ScriptText::FromUtf8(name);
    Emit(inOperAdd);
    EmitJump(inJump, Label("@ForLoop", n));
    DefineReferenceAddress(Label("@EndFor", n));
    LeaveLoop();
    FCurrentFor = PopInt(stContext, FCounterInit);
}

// ---- while and repeat --------------------------------------------------------------------------

void TreZuderaScript::BeforeWhile(TNoTerminalNode*) {
    StackPush(stContext, Variant::FromInteger(FCurrentWhile));
    FCurrentWhile = FWhileCount++;
    EnterLoop(lsWhile);
}

void TreZuderaScript::BeforeWhileControl(TNoTerminalNode*) { DefineReferenceAddress(Label("@WhileLoop", FCurrentWhile)); }

void TreZuderaScript::AfterWhileControl(TNoTerminalNode*) {
    EmitJump(inJumpIfFalse, Label("@EndWhile", FCurrentWhile));
}

void TreZuderaScript::AfterWhile(TNoTerminalNode*) {
    EmitJump(inJump, Label("@WhileLoop", FCurrentWhile));
    DefineReferenceAddress(Label("@EndWhile", FCurrentWhile));
    LeaveLoop();
    FCurrentWhile = PopInt(stContext, FCounterInit);
}

void TreZuderaScript::BeforeRepeat(TNoTerminalNode*) {
    StackPush(stContext, Variant::FromInteger(FCurrentRepeat));
    FCurrentRepeat = ++FRepeatCount;
    EnterLoop(lsRepeat);
    DefineReferenceAddress(Label("@RepeatLoop", FCurrentRepeat));
}

void TreZuderaScript::BeforeUntil(TNoTerminalNode*) { DefineReferenceAddress(Label("@RepeatTest", FCurrentRepeat)); }

void TreZuderaScript::AfterUntil(TNoTerminalNode*) {
    EmitJump(inJumpIfFalse, Label("@RepeatLoop", FCurrentRepeat));
    DefineReferenceAddress(Label("@EndRepeat", FCurrentRepeat));
    LeaveLoop();
    FCurrentRepeat = PopInt(stContext, FCounterInit);
}

// ---- if ------------------------------------------------------------------------------------------

void TreZuderaScript::BeforeIf(TNoTerminalNode*) {
    StackPush(stContext, Variant::FromInteger(FCurrentIf));
    FCurrentIf = ++FIfCount;
}

void TreZuderaScript::BeforeThen(TNoTerminalNode* node) {
    const bool hasElse = RuleOf(Child(node->GetParentNode(), 2)) == noElse;
    EmitJump(inJumpIfFalse, Label(hasElse ? "@Else" : "@EndIf", FCurrentIf));
}

void TreZuderaScript::AfterThen(TNoTerminalNode* node) {
    if (RuleOf(Child(node->GetParentNode(), 2)) == noElse)
        EmitJump(inJump, Label("@EndIf", FCurrentIf));
}

void TreZuderaScript::BeforeElse(TNoTerminalNode*) { DefineReferenceAddress(Label("@Else", FCurrentIf)); }

void TreZuderaScript::AfterIf(TNoTerminalNode*) {
    DefineReferenceAddress(Label("@EndIf", FCurrentIf));
    FCurrentIf = PopInt(stContext, FCounterInit);
}

// ---- case ------------------------------------------------------------------------------------------

void TreZuderaScript::BeforeCase(TNoTerminalNode*) {
    StackPush(stContext, Variant::FromInteger(FCurrentCase));
    FCurrentCase = ++FCaseCount;
    StackPush(stContext, Variant::FromInteger(FCaseVarIndex));
}

void TreZuderaScript::AfterCaseExpr(TNoTerminalNode*) {
    TatVariableInfo* selector = DeclareTemporary(*this, Label("#Case", FCurrentCase));
    FCaseVarIndex = selector->VarIndex();
    OptimizeStoreVar(selector, false);
}

void TreZuderaScript::BeforeCaseBranch(TNoTerminalNode*) {
    ++FCaseBranchLevel;
    DefineReferenceAddress(CaseLabel(FCurrentCase, "Branch", FCaseBranchLevel));
}

// All but the last test jump to the branch's statement when equal; the last one jumps
// to the next branch when not equal.
void TreZuderaScript::AfterCaseTest(TNoTerminalNode* node) {
    TNoTerminalNode* branch = node->GetParentNode();
    int index = 0;
    while (index < branch->Count() && branch->GetItem(index) != node) ++index;
    const std::string selector = Label("#Case", FCurrentCase);
    if (RuleOf(Child(branch, index + 1)) == noCase_test)
        OptimizeVarTest(FCaseVarIndex, selector, CaseLabel(FCurrentCase, "Match", FCaseBranchLevel), 1);
    else
        OptimizeVarTest(FCaseVarIndex, selector, CaseLabel(FCurrentCase, "Branch", FCaseBranchLevel + 1), 0);
}

void TreZuderaScript::BeforeCaseMatch(TNoTerminalNode*) {
    DefineReferenceAddress(CaseLabel(FCurrentCase, "Match", FCaseBranchLevel));
}

void TreZuderaScript::AfterCaseMatch(TNoTerminalNode* node) {
    TNoTerminalNode* branch = node->GetParentNode();
    if (RuleOf(Child(branch, branch->Count() - 1)) == noCase_branch)
        EmitJump(inJump, Label("@EndCase", FCurrentCase));
}

void TreZuderaScript::AfterCaseBranch(TNoTerminalNode*) { --FCaseBranchLevel; }

void TreZuderaScript::AfterCase(TNoTerminalNode*) {
    DefineReferenceAddress(Label("@EndCase", FCurrentCase));
    FCaseVarIndex = PopInt(stContext, FCounterInit);
    FCurrentCase = PopInt(stContext, FCounterInit);
}

// ---- try -------------------------------------------------------------------------------------------

// The try instruction records where its handler part starts and where the statement
// ends; the machine finds the parts by these positions (no instruction marks them).
void TreZuderaScript::BeforeTry(TNoTerminalNode* node) {
    TSimplifiedCode* tryInst = Emit(RuleOf(Child(node, 1)) == noExcept ? inTryExcept : inTryFinally);
    FTryInstructions.push_back(tryInst);
    FTryInstructions.push_back(tryInst);
}

void TreZuderaScript::AfterTryStatements(TNoTerminalNode*) {
    if (FTryInstructions.empty()) return;
    FTryInstructions.back()->vInteger = CodeLine() + 1;
    FTryInstructions.pop_back();
}

void TreZuderaScript::AfterTryUpshot(TNoTerminalNode*) {
    if (FTryInstructions.empty()) return;
    FTryInstructions.back()->vInteger2 = CodeLine() + 1;
    FTryInstructions.pop_back();
}

// ---- with ------------------------------------------------------------------------------------------

void TreZuderaScript::AfterWithObj(TNoTerminalNode*) {
    if (!FCurrentClass)
        ReportError(LanguageMessage(TLanguageMessage::lmWithObjectRequired), ScanningInputPos());
    else if (FCurrentClass == UndefinedClass())
        ReportError(LanguageMessage(TLanguageMessage::lmWithUndefinedClass), ScanningInputPos());
    TatVariableInfo* v = DeclareTemporary(*this, Label("#With", ++FCurrentWith));
    ++FWithCount;
    v->FDeclaredClass = FCurrentClass;
    OptimizeStoreVar(v, false);
    FWithVariables.push_back(v);
}

void TreZuderaScript::AfterWith(TNoTerminalNode* node) {
    for (int i = 0; i + 1 < node->Count() && !FWithVariables.empty(); ++i) FWithVariables.pop_back();
}

// ---- keywords ----------------------------------------------------------------------------------------

// break, continue and exit are plain jumps, also out of try statements: the machine's
// link step counts the try statements a jump leaves and runs their finally parts.
void TreZuderaScript::JumpToLoopLabel(const char* forLabel, const char* whileLabel, const char* repeatLabel,
                                      const char* keyword) {
    std::string label;
    switch (FCurrentLoop) {
    case lsFor: label = Label(forLabel, FCurrentFor); break;
    case lsWhile: label = Label(whileLabel, FCurrentWhile); break;
    case lsRepeat: label = Label(repeatLabel, FCurrentRepeat); break;
    case lsNone:
        ReportError(LanguageMessage(std::string_view(keyword) == "BREAK" ? TLanguageMessage::lmBreakOutsideLoop
                                                                        : TLanguageMessage::lmContinueOutsideLoop),
                    ScanningInputPos());
        return;
    }
    EmitJump(inJump, label);
}

bool TreZuderaScript::SpecialKeyWord(const std::string& upperName, TDataOperation operation) {
    static constexpr const char* constants[] = {"TRUE", "FALSE", "NULL", "UNASSIGNED", "NIL"};
    if (operation == doRead) {
        for (uint8_t i = 0; i < 5; ++i) {
            if (upperName != constants[i]) continue;
            TSimplifiedCode* push = Emit(inPushConst);
            push->vByte = i;
            push->vString = ScriptText::FromUtf8(upperName);
            return true;
        }
        return false;
    }
    if (operation != doExec) return false;
    if (upperName == "EXIT") {
        TSimplifiedCode* jump = Emit(inJump);
        jump->vString = ScriptText::FromUtf8("EXIT");
        int index = 0;
        while (index < ScriptInfo().Routines().Count() && ScriptInfo().Routines().GetItem(index) != CurrentRoutine())
            ++index;
        jump->vInteger = RegisterReference(Label("@EndSub", index));
    } else if (upperName == "BREAK") {
        JumpToLoopLabel("@EndFor", "@EndWhile", "@EndRepeat", "BREAK");
    } else if (upperName == "CONTINUE") {
        JumpToLoopLabel("@ForStep", "@WhileLoop", "@RepeatTest", "CONTINUE");
    } else if (upperName == "ABORT") {
        Emit(inAbort);
    } else if (upperName != "NOTHING") {
        return false;
    }
    return true;
}

} // namespace vorn::engine

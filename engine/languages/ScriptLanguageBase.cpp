// The shared part of the script languages: emission helpers, silent-safe stack pops,
// operator precedence with short-circuit labels, and the argument and index lists that
// save and restore the state of the member chain around them.

#include "engine/languages/ScriptLanguageBase.h"

#include <algorithm>

#include "engine/compiler/Scripter.h"
#include "engine/vm/ScriptValue.h"

namespace vorn::engine {

namespace {

constexpr const char* LanguageMessageTexts[] = {
#define VORN_LANGUAGE_MESSAGE(Id, Text) Text,
#include "engine/languages/LanguageMessages.def"
};

std::string OperLabel(int64_t number) { return "@Oper" + std::to_string(number); }

} // namespace

std::string LanguageMessage(TLanguageMessage id, std::string_view a1, std::string_view a2, std::string_view a3) {
    const std::string_view args[] = {a1, a2, a3};
    std::string_view text = LanguageMessageTexts[static_cast<int>(id)];
    std::string out;
    size_t next = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && (text[i + 1] == 's' || text[i + 1] == 'd')) {
            if (next < 3) out += args[next++];
            ++i;
            continue;
        }
        out += text[i];
    }
    return out;
}

void TatScriptLanguageBase::Clear() {
    TatScript::Clear();
    FOperatorCount = FCurrentOperator = FCounterInit;
    FCurrentClass = nullptr;
    FIsClassReference = false;
    FLastByRefArgMask = FByRefArgMask = 0;
    FPushVarList = FLastPushVarList = nullptr;
    FPushVarListObjects.clear();
    FArgListStates.clear();
    FIndexStates.clear();
    FIndexPushVarLists.clear();
    FWithVariables.clear();
}

// ---- Emission and tree helpers ------------------------------------------------------------

TSimplifiedCode* TatScriptLanguageBase::Emit(TInstruction opcode) {
    TSimplifiedCode* inst = AppendInstruction(opcode);
    inst->vDebugInfo = ScanningInputPos();
    return inst;
}

TSimplifiedCode* TatScriptLanguageBase::EmitJump(TInstruction opcode, const std::string& label) {
    TSimplifiedCode* inst = Emit(opcode);
    RegisterReference(label);
    return inst;
}

TNoTerminalNode* TatScriptLanguageBase::Child(const TNoTerminalNode* node, int i) {
    if (!node || i < 0 || i >= node->Count()) return nullptr;
    return node->GetItem(i);
}

int TatScriptLanguageBase::RuleOf(const TNoTerminalNode* node) { return node ? node->NoTerminalIndex() : -1; }

std::string TatScriptLanguageBase::TextOf(const TNoTerminalNode* node) {
    return node ? node->GetInputToken() : std::string();
}

bool TatScriptLanguageBase::FollowsDot(const TNoTerminalNode* node) {
    const TNoTerminalNode* parent = node ? node->GetParentNode() : nullptr;
    return parent && parent->NoTerminalIndex() == node->NoTerminalIndex();
}

bool TatScriptLanguageBase::CanPop(TStackType stack) { return !(EmptyStack(stack) && SilentCompilation()); }

int32_t TatScriptLanguageBase::PopInt(TStackType stack, int32_t fallback) {
    return CanPop(stack) ? StackPopAsInt(stack) : fallback;
}

std::string TatScriptLanguageBase::PopString(TStackType stack) {
    return CanPop(stack) ? StackPopAsString(stack) : std::string();
}

double TatScriptLanguageBase::PopDouble(TStackType stack, double fallback) {
    return CanPop(stack) ? StackPopAsDouble(stack) : fallback;
}

bool TatScriptLanguageBase::PopBool(TStackType stack) { return CanPop(stack) && StackPopAsBool(stack); }

// ---- Operators --------------------------------------------------------------------------------

void TatScriptLanguageBase::BeginExpression() { StackPushDelimitter(stPendingOperators); }

// Entries are (opcode << 20) | operator number; the number names the short-circuit label.
void TatScriptLanguageBase::EmitPendingOperator(int64_t entry) {
    const auto opcode = static_cast<TInstruction>(entry >> 20);
    Emit(opcode);
    const bool shortEval = Scripter() && Scripter()->ShortBooleanEval();
    if (shortEval && (opcode == inOperOr || opcode == inOperAnd)) DefineReferenceAddress(OperLabel(entry & 0xFFFFF));
}

void TatScriptLanguageBase::PushBinaryOperator(TInstruction opcode) {
    FCurrentOperator = ++FOperatorCount;
    while (!EmptyStack(stPendingOperators) && !StackDelimitterFound(stPendingOperators)) {
        const int64_t top = ScriptValueAsInt64(StackView(stPendingOperators));
        if (OperatorLevel(static_cast<TInstruction>(top >> 20)) > OperatorLevel(opcode)) break;
        StackPop(stPendingOperators);
        EmitPendingOperator(top);
    }
    if (Scripter() && Scripter()->ShortBooleanEval() && (opcode == inOperOr || opcode == inOperAnd)) {
        EmitJump(opcode == inOperOr ? inTestIfTrue : inTestIfFalse, OperLabel(FCurrentOperator));
    }
    StackPush(stPendingOperators, Variant::FromInt64((int64_t(opcode) << 20) | (FCurrentOperator & 0xFFFFF)));
}

void TatScriptLanguageBase::PushUnaryOperator(TInstruction opcode) {
    StackPush(stPendingOperators, Variant::FromInt64((int64_t(opcode) << 20) | (FCurrentOperator & 0xFFFFF)));
}

void TatScriptLanguageBase::EndExpression() {
    while (!EmptyStack(stPendingOperators)) {
        if (StackDelimitterFound(stPendingOperators)) {
            StackPop(stPendingOperators);
            return;
        }
        EmitPendingOperator(ScriptValueAsInt64(StackPop(stPendingOperators)));
    }
}

// ---- Argument and index lists -----------------------------------------------------------------

TatScriptLanguageBase::TPushVarList* TatScriptLanguageBase::NewPushVarList() {
    FPushVarListObjects.push_back(std::make_unique<TPushVarList>());
    return FPushVarListObjects.back().get();
}

// Frees a finished candidate list and forgets every saved reference to it, so that a
// partial tree cannot bring a freed list back.
void TatScriptLanguageBase::FreePushVarList(TPushVarList*& list) {
    if (!list) return;
    TPushVarList* doomed = list;
    list = nullptr;
    for (TChainState& s : FArgListStates)
        if (s.PushVarList == doomed) s.PushVarList = nullptr;
    std::replace(FIndexPushVarLists.begin(), FIndexPushVarLists.end(), doomed, static_cast<TPushVarList*>(nullptr));
    if (FPushVarList == doomed) FPushVarList = nullptr;
    for (auto it = FPushVarListObjects.rbegin(); it != FPushVarListObjects.rend(); ++it) {
        if (it->get() != doomed) continue;
        FPushVarListObjects.erase(std::next(it).base());
        return;
    }
}

void TatScriptLanguageBase::EnterArgList(bool hasArguments) {
    FArgListStates.push_back({FCurrentClass, FIsClassReference, FByRefArgMask, FPushVarList});
    FPushVarList = NewPushVarList();
    if (hasArguments) FByRefArgMask = 0;
}

void TatScriptLanguageBase::LeaveArgList(bool hasArguments) {
    if (hasArguments) FLastByRefArgMask = FByRefArgMask;
    FLastPushVarList = FPushVarList;
    if (FArgListStates.empty()) {
        FPushVarList = nullptr;
        return;
    }
    const TChainState saved = FArgListStates.back();
    FArgListStates.pop_back();
    if (hasArguments) {
        FByRefArgMask = saved.ByRefArgMask;
        FIsClassReference = saved.IsClassReference;
        FCurrentClass = saved.CurrentClass;
    }
    FPushVarList = saved.PushVarList;
}

void TatScriptLanguageBase::EnterIndexing(bool hasIndexes) {
    if (!hasIndexes) return;
    FIndexStates.push_back({FCurrentClass, FIsClassReference, 0, nullptr});
    FIndexPushVarLists.push_back(FLastPushVarList);
}

void TatScriptLanguageBase::LeaveIndexing(bool hasIndexes) {
    if (!hasIndexes || FIndexStates.empty()) return;
    FLastPushVarList = FIndexPushVarLists.back();
    FIndexPushVarLists.pop_back();
    FIsClassReference = FIndexStates.back().IsClassReference;
    FCurrentClass = FIndexStates.back().CurrentClass;
    FIndexStates.pop_back();
}

void TatScriptLanguageBase::CastToClass(const std::string& className) {
    if (!FCurrentClass) {
        ReportError(LanguageMessage(TLanguageMessage::lmCastNeedsObject, className), ScanningInputPos());
        return;
    }
    const int index = Scripter() ? Scripter()->Classes().IndexOf(className) : -1;
    TSimplifiedCode* cast = Emit(inCastClass);
    cast->vInteger = index;
    cast->vString = ScriptText::FromUtf8(className);
    FCurrentClass = index >= 0 ? Scripter()->Classes().GetItem(index) : UndefinedClass();
}

} // namespace vorn::engine

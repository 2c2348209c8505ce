// TreZuderaScript: construction (grammar, generator binding, lexical settings), clearing,
// the identifier veto, the FORM and CLASS directives and the watch script.

#include "engine/languages/PascalScript.h"

#include <algorithm>
#include <cctype>

#include "engine/compiler/Scripter.h"
#include "engine/vm/EngineErrors.h"
#include "platform/CaseFolding.h"

namespace vorn::engine {

namespace {

using THandler = void (TreZuderaScript::*)(TNoTerminalNode*);

struct TBinding {
    int Rule;
    THandler Before;
    THandler After;
};

constexpr std::string_view ReservedWords[] = {
#define VORN_PASCAL_RESERVED(Word) Word,
#include "engine/languages/PascalReservedWords.def"
};

struct TOperatorRow {
    TInstruction Opcode;
    const char* Text;
    int Level;
};

constexpr TOperatorRow PascalOperators[] = {
#define VORN_PASCAL_OPERATOR(Opcode, Text, Level) {Opcode, Text, Level},
#include "engine/languages/PascalOperators.def"
};

std::string Trimmed(std::string_view text) {
    size_t first = 0, last = text.size();
    while (first < last && std::isspace(static_cast<unsigned char>(text[first]))) ++first;
    while (last > first && std::isspace(static_cast<unsigned char>(text[last - 1]))) --last;
    return std::string(text.substr(first, last - first));
}

} // namespace

TreZuderaScript::TreZuderaScript(TatScripts* collection) : TatScriptLanguageBase(collection) {
    Parser().SetGrammarText(reZUDERA_GRAMMAR);
    BindGenerators();
    Parser().NoTerminals().GetItem(noId)->FOnAcceptNode = [this](TNoTerminalNode* node) { return AcceptNodeId(node); };
    Parser().SetStringDelimitter(u'\'');
    TSyntaxComments& remarks = Parser().Comments();
    remarks.Clear();
    remarks.Add("{", "}");
    remarks.Add("(*", "*)");
    remarks.Add("//", "\r");
    Parser().FOnExtractRemark = [this](TatSyntaxParser& parser, int startPos, int finalPos) {
        ExtractSourceRemark(parser, startPos, finalPos);
    };
    ResetCounters();
}

TreZuderaScript::~TreZuderaScript() = default;

// Every rule is checked against the name its number must carry, so a grammar text that
// drifted from the generator table fails at once rather than compiling wrong code.
void TreZuderaScript::BindGenerators() {
    TNoTerminals& rules = Parser().NoTerminals();
    for (int i = 0; i < PascalRuleCount; ++i) {
        const std::string actual = i < rules.Count() ? rules.GetItem(i)->IdS() : std::string();
        if (!IsSameText(actual, PascalRuleName(i)))
            InternalError(LanguageMessage(TLanguageMessage::lmRuleMissing, std::to_string(i), actual,
                                          PascalRuleName(i)));
    }
    static constexpr TBinding bindings[] = {
#define VORN_PASCAL_BEFORE(Rule, Handler) {Rule, &TreZuderaScript::Handler, nullptr},
#define VORN_PASCAL_AFTER(Rule, Handler) {Rule, nullptr, &TreZuderaScript::Handler},
#include "engine/languages/PascalBindings.def"
    };
    for (const TBinding& b : bindings) {
        TNoTerminal* rule = rules.GetItem(b.Rule);
        if (b.Before) rule->FOnBeforeNodeScan = [this, h = b.Before](TNoTerminalNode* n) { (this->*h)(n); };
        if (b.After) rule->FOnAfterNodeScan = [this, h = b.After](TNoTerminalNode* n) { (this->*h)(n); };
    }
}

void TreZuderaScript::ResetCounters() {
    FForCount = FCurrentFor = FWhileCount = FCurrentWhile = FCounterInit;
    FRepeatCount = FCurrentRepeat = FIfCount = FCurrentIf = FCounterInit;
    FCaseCount = FCurrentCase = FWithCount = FCurrentWith = FCounterInit;
    FOperatorCount = FCurrentOperator = FCaseVarIndex = FCaseBranchLevel = FCounterInit;
    FCurrentLoop = lsNone;
    FThereIsAnySubrot = false;
    FTryInstructions.clear();
    FDirectivePositions.clear();
}

void TreZuderaScript::Clear() {
    TatScriptLanguageBase::Clear();
    ResetCounters();
}

int TreZuderaScript::OperatorLevel(TInstruction opcode) const {
    for (const TOperatorRow& row : PascalOperators)
        if (row.Opcode == opcode) return row.Level;
    return 0;
}

// The dummy routine first makes the variable section belong to the main block, so the
// watch variable is a local of the debug script's main routine.
std::string TreZuderaScript::EncodeSingleAssign(std::string_view target, std::string_view expression) {
    std::string t(target);
    return "procedure ____Dummy; begin end;\r\nvar " + t + ";\r\nbegin\r\n  " + t + " := " + std::string(expression) +
           ";\r\nend;";
}

bool TreZuderaScript::AcceptNodeId(TNoTerminalNode* node) {
    const std::string word = platform::AsciiLowerCase(TextOf(node));
    if (std::find(std::begin(ReservedWords), std::end(ReservedWords), word) == std::end(ReservedWords)) return true;
    const TNoTerminalNode* parent = node->GetParentNode();
    const TNoTerminalNode* grandParent = parent ? parent->GetParentNode() : nullptr;
    return grandParent && parent->NoTerminalIndex() == grandParent->NoTerminalIndex();
}

// Only the closing brace is cut: a directive left open at the end of the text keeps
// its last character.
std::string TreZuderaScript::GetDefineID(std::string_view text) {
    const size_t blank = text.find(' ');
    if (blank == std::string_view::npos) return {};
    std::string_view rest = text.substr(blank + 1);
    if (!rest.empty() && rest.back() == '}') rest.remove_suffix(1);
    return Trimmed(rest);
}

// Directive errors are reported at the directive's brace. A remark that a backtracking
// parse reads again is recognised by its position and not handled twice.
void TreZuderaScript::ExtractSourceRemark(TatSyntaxParser& parser, int startPos, int finalPos) {
    const std::string remark = parser.InputText(startPos, finalPos);
    const std::string upper = platform::AsciiUpperCase(remark);
    TPascalDirectiveType kind = pdtNone;
    if (upper.rfind("{$FORM", 0) == 0)
        kind = pdtForm;
    else if (upper.rfind("{$CLASS", 0) == 0)
        kind = pdtClass;
    if (kind == pdtNone || parser.CurrentInclude() || !FDirectivePositions.insert(startPos).second) return;
    CompileDirective(kind, GetDefineID(remark), startPos);
}

void TreZuderaScript::CompileDirective(TPascalDirectiveType kind, const std::string& text, int position) {
    if (kind == pdtForm) {
        const size_t comma = text.find(',');
        const std::string className = comma == std::string::npos ? std::string() : Trimmed(text.substr(0, comma));
        const std::string fileName = Trimmed(comma == std::string::npos ? text : text.substr(comma + 1));
        if (className.empty() || fileName.empty())
            ReportError(LanguageMessage(TLanguageMessage::lmFormDirective), position);
        FDirectiveClassName = className;
        FDirectiveFormFile = fileName;
        ScriptInfo().FScriptClassName = className;
        ScriptInfo().FBehavior = sbForm;
        return;
    }
    if (text.empty()) ReportError(LanguageMessage(TLanguageMessage::lmClassDirective), position);
    FDirectiveClassName = text;
    FDirectiveFormFile.clear();
    ScriptInfo().FScriptClassName = text;
    ScriptInfo().FBehavior = sbClass;
    DefineSelfProperty();
}

void RegisterPascalLanguage() { ScripterGlobals().LanguageScriptClasses[slPascal] = TreZuderaScript::Class(); }

} // namespace vorn::engine

#pragma once
// The Pascal-like script language (`TreZuderaScript`): loads its grammar into the
// script's parser, binds its code generators to the grammar's rules, sets the lexical
// rules (strings, remarks, reserved words, the FORM and CLASS directives) and keeps the
// compile-time state of the generators (construct numbers, loop kind, with-objects).

#include <set>
#include <string>
#include <string_view>

#include "engine/languages/PascalGrammar.h"
#include "engine/languages/ScriptLanguageBase.h"

namespace vorn::engine {

enum TPascalDirectiveType : uint8_t { pdtNone, pdtForm, pdtClass };

class TreZuderaScript : public TatScriptLanguageBase {
public:
    explicit TreZuderaScript(TatScripts* collection);
    ~TreZuderaScript() override;

    void Clear() override;
    std::string EncodeSingleAssign(std::string_view target, std::string_view expression) override;
    static const TatScriptClass* Class() { return ScriptClassOf<TreZuderaScript>("TreZuderaScript"); }

    // The identifier veto: a reserved word is an identifier only after a chain's dot.
    bool AcceptNodeId(TNoTerminalNode* node);
    // Reads the FORM and CLASS directives out of the remarks the parser skips.
    void ExtractSourceRemark(TatSyntaxParser& parser, int startPos, int finalPos);
    // The argument text of a directive: after the first blank, without the closing
    // brace, trimmed; empty when there is no blank.
    static std::string GetDefineID(std::string_view text);
    // The value of a string literal (quoted parts, #n and #$n character codes).
    std::string ExtractQuotedString(std::string_view text, bool& valid) const;
    // The value of a "$" hexadecimal literal; false when it needs more than 32 bits.
    static bool HexToInt(std::string_view text, int32_t& value);

    // What the directives asked for; the back end's form and class registration takes
    // them from here.
    const std::string& DirectiveClassName() const { return FDirectiveClassName; }
    const std::string& DirectiveFormFile() const { return FDirectiveFormFile; }

protected:
    int OperatorLevel(TInstruction opcode) const override;
    bool SpecialKeyWord(const std::string& upperName, TDataOperation operation) override;
    int ExpressionRule() const override { return noExpression; }
    int ArgListRule() const override { return noArg_list; }

private:
    void BindGenerators();
    void CompileDirective(TPascalDirectiveType kind, const std::string& text, int position);
    void ResetCounters();

    // Program structure and declarations.
    void BeforeGlobalDecl(TNoTerminalNode* node);
    void BeforeMain(TNoTerminalNode* node);
    void AfterMain(TNoTerminalNode* node);
    void AfterUses(TNoTerminalNode* node);
    void AfterImports(TNoTerminalNode* node);
    void UseUnits(TNoTerminalNode* node, bool isDefault);
    void BeforeSubRoutine(TNoTerminalNode* node);
    void AfterSubRoutine(TNoTerminalNode* node);
    void AfterExternal(TNoTerminalNode* node);
    void AfterInputArgs(TNoTerminalNode* node);
    void CheckPrototype(TatRoutineInfo* routine);
    void AfterConstExpr(TNoTerminalNode* node);
    void AfterVarList(TNoTerminalNode* node);
    void AfterLabel(TNoTerminalNode* node);
    void DeclareRoutineAt(TNoTerminalNode* node, const std::string& name);
    void AfterId(TNoTerminalNode* node);
    void AfterPushOutput(TNoTerminalNode* node);

    // Statements.
    void BeforeFor(TNoTerminalNode* node);
    void AfterFor(TNoTerminalNode* node);
    void AfterForControl(TNoTerminalNode* node);
    void AfterStep(TNoTerminalNode* node);
    void BeforeWhile(TNoTerminalNode* node);
    void AfterWhile(TNoTerminalNode* node);
    void BeforeWhileControl(TNoTerminalNode* node);
    void AfterWhileControl(TNoTerminalNode* node);
    void BeforeRepeat(TNoTerminalNode* node);
    void BeforeUntil(TNoTerminalNode* node);
    void AfterUntil(TNoTerminalNode* node);
    void BeforeIf(TNoTerminalNode* node);
    void AfterIf(TNoTerminalNode* node);
    void BeforeThen(TNoTerminalNode* node);
    void AfterThen(TNoTerminalNode* node);
    void BeforeElse(TNoTerminalNode* node);
    void BeforeTry(TNoTerminalNode* node);
    void AfterTryStatements(TNoTerminalNode* node);
    void AfterTryUpshot(TNoTerminalNode* node);
    void BeforeCase(TNoTerminalNode* node);
    void AfterCase(TNoTerminalNode* node);
    void AfterCaseExpr(TNoTerminalNode* node);
    void BeforeCaseBranch(TNoTerminalNode* node);
    void AfterCaseBranch(TNoTerminalNode* node);
    void AfterCaseTest(TNoTerminalNode* node);
    void BeforeCaseMatch(TNoTerminalNode* node);
    void AfterCaseMatch(TNoTerminalNode* node);
    void AfterWith(TNoTerminalNode* node);
    void AfterWithObj(TNoTerminalNode* node);
    void EnterLoop(TLoopStatement kind);
    void LeaveLoop();
    void JumpToLoopLabel(const char* forLabel, const char* whileLabel, const char* repeatLabel, const char* keyword);

    // Expressions and data elements.
    void BeforeExpression(TNoTerminalNode* node);
    void AfterExpression(TNoTerminalNode* node);
    void AfterOperator(TNoTerminalNode* node);
    void AfterUnary(TNoTerminalNode* node);
    void AfterReal(TNoTerminalNode* node);
    void AfterHex(TNoTerminalNode* node);
    void AfterString(TNoTerminalNode* node);
    void AfterVector(TNoTerminalNode* node);
    void BeforeArgList(TNoTerminalNode* node);
    void AfterArgList(TNoTerminalNode* node);
    void BeforeIndexing(TNoTerminalNode* node);
    void AfterIndexing(TNoTerminalNode* node);
    void BeforeCallCode(TNoTerminalNode* node);
    void BeforeCallPtrCode(TNoTerminalNode* node);
    void BeforeDataValCode(TNoTerminalNode* node);
    void BeforeDataRefCode(TNoTerminalNode* node);
    void AfterAsClass(TNoTerminalNode* node);
    void InvalidNumber(TNoTerminalNode* node);

    int FForCount = 0, FCurrentFor = 0;
    int FWhileCount = 0, FCurrentWhile = 0;
    int FRepeatCount = 0, FCurrentRepeat = 0;
    int FIfCount = 0, FCurrentIf = 0;
    int FCaseCount = 0, FCurrentCase = 0;
    int FWithCount = 0, FCurrentWith = 0;
    int FCaseVarIndex = 0;
    int FCaseBranchLevel = 0;
    TLoopStatement FCurrentLoop = lsNone;
    bool FThereIsAnySubrot = false;
    // The try statements being compiled, innermost last (their handler indexes are
    // filled when their parts end).
    std::vector<TSimplifiedCode*> FTryInstructions;
    // Directive remarks already handled in this parse: a remark that backtracking reads
    // again must not register the form or class a second time.
    std::set<int> FDirectivePositions;
    std::string FDirectiveClassName;
    std::string FDirectiveFormFile;
};

// Makes the Pascal-like language the scripter's language for slPascal; part of the
// engine's start-up (and of tests that start the engine themselves).
void RegisterPascalLanguage();

} // namespace vorn::engine

#pragma once
// The grammar interpreter every script owns: it loads a grammar text into numbered rules,
// parses the input against rule 0 with backtracking into a parse tree (or reports how
// far it got), skips and reports remarks, and walks the tree with per-rule events.
//
// Text: the parser works on UTF-16. The input is converted once when it is set, so every
// position it reports (node spans, MaxInputPos, remark positions, the position handed
// to character handlers) is a UTF-16 code-unit index, which is how scripts count source
// positions (the mobile product counts UTF-16 units); matching then reads one code unit
// per character with no decoding and no position conversion on the hot path. Grammar
// texts, rule names and node texts for the code generators are UTF-8 at the interface.

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/compiler/CompiledSyntax.h"
#include "engine/compiler/Grammar.h"
#include "engine/compiler/ParseTree.h"
#include "engine/compiler/ParserError.h"
#include "engine/compiler/SyntaxComments.h"
#include "platform/Unicode.h"

namespace vorn::engine {

class TatSyntaxParser;

// The outcome of a parse.
struct TParsingResults {
    TSyntaxResult Result = srNotDefined;
    char16_t Suggestion = 0;     // expected character at the input end, 0 for none
    int InputPos = 0;            // where the parse stopped
    int SyntaxPos = 0;           // where in the syntax text it stopped
    int NoTerminalIndex = 0;     // rule of the furthest stop
    int MaxInputPos = 0;         // furthest position any attempt stopped at without matching all input
    TSyntaxResult LastResult = srNotDefined;  // outcome of that furthest stop
};

// Why the last parse was cut short, if it was.
enum TParseLimit { plNone, plDepth, plEffort };

using TExtractRemarkEvent = std::function<void(TatSyntaxParser& AParser, int AStartPos, int AFinalPos)>;
using TNodeNotifyEvent = std::function<void(TNoTerminalNode* Node)>;
using TRefuseInputEvent = std::function<void(TInclude* AInclude, int AInputPos)>;
using TIncludeInputEvent = std::function<void(TatSyntaxParser& AParser, const std::string& AName,
                                              std::string& AInputBuffer, void*& AInfoObject)>;

class TatSyntaxParser {
public:
    // Nested matches deeper than this end the parse as a syntax error (srIncorrect at
    // the position reached, LimitReached() == plDepth) instead of exhausting the native
    // stack. A level costs about 300 bytes of stack (about 1 MB at the limit, 3 MB under
    // AddressSanitizer); a bracket in a Pascal expression costs about four levels, so
    // some 700 nested brackets still parse.
    static constexpr int MaxParseDepth = 3000;
    // Includes nested deeper than this raise EParserError: a text that includes itself
    // would otherwise grow the saved inputs without end.
    static constexpr int MaxIncludeDepth = 64;

    TatSyntaxParser();
    ~TatSyntaxParser();
    TatSyntaxParser(const TatSyntaxParser&) = delete;
    TatSyntaxParser& operator=(const TatSyntaxParser&) = delete;

    // Grammar: assigning it reloads the rule list (EParserError on a reference to an
    // undefined rule, leaving no rules).
    const std::vector<std::string>& Grammar() const { return FGrammar; }
    void SetGrammar(std::vector<std::string> lines);
    void SetGrammarText(std::string_view text);
    TNoTerminals& NoTerminals() { return FNoTerminals; }
    const TNoTerminals& NoTerminals() const { return FNoTerminals; }

    // Input: set as lines; the input is the lines joined, each followed by CR LF.
    const std::vector<std::string>& Strings() const { return FStrings; }
    void SetStrings(std::vector<std::string> lines);
    void SetStringsText(std::string_view text);
    // Sets the input text as it is, without adding line breaks (code insight parses the
    // text up to the cursor this way); Strings becomes its lines.
    void SetInputText(std::string_view text);
    const platform::UString& Input() const { return FInput; }
    // The input from first to last position inclusive (clipped), as UTF-8.
    std::string InputText(int first, int last) const;

    TParsingResults CheckLanguage();
    TParseLimit LimitReached() const { return FLimitReached; }
    bool ScanSyntaxTree();
    void ScanNode(TNoTerminalNode* ANode);
    void Clear();

    TNoTerminalNode* Node() const { return FNode.get(); }
    bool Parsing() const { return FParsing; }
    int Effort() const { return FBranchCount; }
    // A parse that needs more nested matches than this (0: no limit) ends as srIncorrect
    // with LimitReached() == plEffort; code insight uses it to bound work per keystroke.
    int MaxEffort() const { return FMaxEffort; }
    void SetMaxEffort(int value) { FMaxEffort = value; }
    int ScanningInputPos() const { return FScanningInputPos; }
    bool DisableBranching() const { return FDisableBranching; }
    void SetDisableBranching(bool value) { FDisableBranching = value; }
    char16_t StringDelimitter() const { return FStringDelimitter; }
    void SetStringDelimitter(char16_t value) { FStringDelimitter = value; }
    bool AllowUnicodeIds() const { return FAllowUnicodeIds; }
    void SetAllowUnicodeIds(bool value) { FAllowUnicodeIds = value; }
    std::string GetCustomLexeme(int i) const;
    void SetCustomLexeme(int i, std::string_view text);
    int TargetPos() const { return FTargetPos; }
    void SetTargetPos(int value) { FTargetPos = value; }
    TSyntaxComments& Comments() { return FComments; }

    // Remark-time operations: only while FOnExtractRemark runs.
    bool ProcessingRemarks() const { return FProcessingRemarks; }
    bool ContinueOnRemarks() const { return FContinueOnRemarks; }
    void SetContinueOnRemarks(bool value);
    int CurrentInputPos() const { return FCurrentInputPos; }
    void SetCurrentInputPos(int value);
    int CurrentMaxInputPos() const { return FCurrentMaxInputPos; }
    void SetCurrentMaxInputPos(int value);
    void SetInput(std::string_view text);
    // Continues the parse at the start of the included text named AName.
    void IncludeInput(std::string_view AName);
    TInclude* CurrentInclude() const { return FCurrentInclude; }
    TIncludes& Includes() { return FIncludes; }
    TSavedInputs& SavedInputs() { return FSavedInputs; }

    // Tree services.
    TNoTerminalNode* FindNodeByPosition(int APos) const;
    bool TestInputString(int APos, std::string_view AText, bool ACaseSensitive) const;
    std::string RebuildFromNodes();
    void ChangePositions(TNoTerminalNode* refnode, int delta);

    TExtractRemarkEvent FOnExtractRemark;
    TNodeNotifyEvent FOnRefuseNode;
    TRefuseInputEvent FOnRefuseRemarks;
    TIncludeInputEvent FOnIncludeInput;
    void SetOnNewNode(TNodeNotifyEvent handler) { FOnNewNode = std::move(handler); }

private:
    friend class TNoTerminalNodes;
    friend class TNoTerminalNode;
    // What one nested parse returns; the furthest stop is kept in the parser.
    struct TSequenceResult {
        TSyntaxResult Result = srNotDefined;
        char16_t Suggestion = 0;
        int InputPos = 0;
        int SyntaxPos = 0;
    };
    // The running state of one sequence while its elements are matched.
    struct TSequenceState {
        TNoTerminalNodes* Nodes;
        int Rule;        // the rule being parsed
        int Pos;         // next unread input position
        bool Allowed;    // suggestions allowed
        int ReportRule;  // the rule reported for a stop of this sequence
        TSequenceResult R;
    };
    // Thrown to end a parse that hit the depth or effort limit; caught by CheckLanguage.
    struct TParseAbort {
        TParseLimit Limit;
        int Pos;
        int Rule;
    };
    class TDepthGuard;

    void LoadGrammar();
    void SetInputText(platform::UString text);
    void UpdateEnd();
    void RestoreMainInput();
    void FinishParse(int inputPos);
    void PrepareRemarkTable();

    TSequenceResult ParseSequence(const TCompiledSyntax& syntax, int sequence, TNoTerminalNodes& nodes, int pos, int rule);
    bool MatchElement(const TCompiledSyntax& syntax, const TSyntaxElement& e, TSequenceState& s);
    bool MatchCharacterClass(const TSyntaxElement& e, TSequenceState& s);
    bool MatchSpecial(const TSyntaxElement& e, TSequenceState& s);
    bool MatchCustom(const TSyntaxElement& e, TSequenceState& s);
    bool MatchString(const TSyntaxElement& e, TSequenceState& s);
    bool MatchSpaces(const TSyntaxElement& e, TSequenceState& s);
    bool MatchLineBreak(const TSyntaxElement& e, TSequenceState& s);
    bool MatchOptional(const TCompiledSyntax& syntax, const TSyntaxElement& e, TSequenceState& s);
    bool MatchLiteral(const TCompiledSyntax& syntax, const TSyntaxElement& e, TSequenceState& s);
    bool MatchReplicate(const TCompiledSyntax& syntax, const TSyntaxElement& e, TSequenceState& s);
    bool MatchChoice(const TCompiledSyntax& syntax, const TSyntaxElement& e, TSequenceState& s);
    bool MatchRule(const TCompiledSyntax& syntax, const TSyntaxElement& e, TSequenceState& s);
    bool FailNested(const TSyntaxElement& e, TSequenceState& s, const TSequenceResult& nested);
    [[noreturn]] void RaiseFault(const TSyntaxElement& e, const TCompiledSyntax& syntax, int rule) const;
    bool Matches(TSyntaxResult result, bool literal) const;
    void Undo(TNoTerminalNodes& nodes, int count);
    void RefuseRemarks(int fallbackPos);

    bool Ended(int& pos) { return pos > FCurEnd && EndedAfterPop(pos); }
    bool EndedAfterPop(int& pos);
    void SkipRemarks(int& pos);
    void SkipRemarksSlow(int& pos);
    int RemarkAt(int pos) const;
    bool TextAt(int pos, const platform::UString& folded) const;
    void ReportRemark(int start, int& pos);

    std::unique_ptr<TNoTerminalNode> AcquireNode(TNoTerminalNodes* owner, int rule);
    void ReleaseNode(std::unique_ptr<TNoTerminalNode> node);
    void ForgetTempNode(TNoTerminalNode* node);
    const std::string& RuleName(int rule) const;
    void RequireRemarkTime(TParserMessage message) const;

    bool FParsing = false;
    int FBranchCount = 0;
    std::unique_ptr<TNoTerminalNode> FNode;
    TNoTerminals FNoTerminals;
    std::vector<std::string> FGrammar;
    platform::UString FInput;
    std::vector<std::string> FStrings;
    int FScanningInputPos = 0;
    bool FDisableBranching = false;
    char16_t FStringDelimitter = u'\'';
    std::array<platform::UString, 10> FCustomLexemes;
    int FCurrentInputPos = 0;
    int FCurrentMaxInputPos = 0;
    int FEndPos = 0;
    int FTargetPos = 0;
    TSyntaxComments FComments;
    bool FContinueOnRemarks = false;
    TSavedInputs FSavedInputs;
    TInclude* FCurrentInclude = nullptr;
    bool FProcessingRemarks = false;
    TIncludes FIncludes;
    int FLastRemarkFound = 0;
    TNodeNotifyEvent FOnNewNode;
    bool FAllowUnicodeIds = false;
    std::unique_ptr<std::vector<TNoTerminalNode*>> FTempNodes;

    // Parse state shared by every nested match of one CheckLanguage.
    int FMaxInputPos = 0;
    int FMaxRule = 0;
    TSyntaxResult FLastResult = srNotDefined;
    int FCurEnd = 0;                      // last readable position of the current buffer
    const char16_t* FText = nullptr;      // the current buffer's characters
    int FDepth = 0;
    int FMaxEffort = 0;
    TParseLimit FLimitReached = plNone;
    std::array<bool, 128> FRemarkStart{}; // upper-cased first characters of open strings
    bool FRemarkStartNonAscii = false;
    bool FRemarksPossible = false;
    std::vector<platform::UString> FFoldedOpen, FFoldedClose, FPriorDelims;
    TCompiledSyntax FEmptySyntax{std::u16string_view{}};  // the start syntax when there are no rules
    std::vector<std::unique_ptr<TNoTerminalNode>> FNodePool;
};

} // namespace vorn::engine

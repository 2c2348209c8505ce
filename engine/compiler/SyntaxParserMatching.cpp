// The matching half of the syntax parser: one nested parse per sequence (rule, group,
// choice alternative or literal), the element kinds of the notation, remark skipping
// and the end of input. Elements read the current buffer directly: no allocation and
// no copy per input character.

#include <algorithm>

#include <unicode/uchar.h>

#include "engine/compiler/SyntaxParser.h"

namespace vorn::engine {

namespace {

// A-Z folding by table: grammar characters and remark delimiters compare this way.
struct TFoldTable {
    char16_t Upper[128];
    constexpr TFoldTable() : Upper()
    {
        for (int c = 0; c < 128; ++c)
            Upper[c] = static_cast<char16_t>(c >= 'a' && c <= 'z' ? c - 32 : c);
    }
};
constexpr TFoldTable kFold;

inline char16_t Fold(char16_t c) { return c < 128 ? kFold.Upper[c] : c; }
inline bool IsLineBreak(char16_t c) { return c == u'\r' || c == u'\n'; }

platform::UString FoldText(std::string_view utf8)
{
    platform::UString text = platform::Utf8ToUtf16(utf8);
    for (char16_t& c : text)
        c = Fold(c);
    return text;
}

} // namespace

class TatSyntaxParser::TDepthGuard {
public:
    TDepthGuard(TatSyntaxParser& parser, int pos, int rule) : FParser(parser)
    {
        if (++FParser.FDepth > MaxParseDepth) {
            --FParser.FDepth;
            throw TParseAbort{plDepth, pos, rule};
        }
    }
    ~TDepthGuard() { --FParser.FDepth; }
    TDepthGuard(const TDepthGuard&) = delete;
    TDepthGuard& operator=(const TDepthGuard&) = delete;

private:
    TatSyntaxParser& FParser;
};

// Matches one sequence from pos, appending nodes to the list; records the furthest stop
// of any sequence that did not match the whole input.
TatSyntaxParser::TSequenceResult TatSyntaxParser::ParseSequence(const TCompiledSyntax& syntax, int sequence,
                                                                TNoTerminalNodes& nodes, int pos, int rule)
{
    TDepthGuard guard(*this, pos, rule);
    if (++FBranchCount > FMaxEffort && FMaxEffort > 0)
        throw TParseAbort{plEffort, pos, rule};
    const TSyntaxSequence& seq = syntax.Sequence(sequence);
    TSequenceState s{&nodes, rule, pos, true, rule, {srNotDefined, 0, pos, 1}};
    SkipRemarks(s.Pos);
    bool matched = true;
    for (int i = 0; i < seq.Count && matched; ++i)
        matched = MatchElement(syntax, syntax.Element(seq.First + i), s);
    if (matched) {
        s.R.SyntaxPos = seq.TextLength + 1;
        s.R.Result = Ended(s.Pos) ? srCorrect : srOverFlow;
    }
    s.R.InputPos = s.Pos;
    if (s.R.Result != srCorrect && s.Pos > FMaxInputPos) {
        FMaxInputPos = s.Pos;
        FMaxRule = s.ReportRule;
        FLastResult = s.R.Result;
    }
    return s.R;
}

// Matches one element at s.Pos; false when it ends the sequence (s.R then holds why).
bool TatSyntaxParser::MatchElement(const TCompiledSyntax& syntax, const TSyntaxElement& e, TSequenceState& s)
{
    if (e.Fault)
        RaiseFault(e, syntax, s.Rule);
    switch (e.Kind) {
    case ttCharacter:
        if (Ended(s.Pos)) {
            s.R = {srIncomplete, s.Allowed ? e.Char : char16_t(0), s.Pos, e.SyntaxEnd};
            return false;
        }
        if (Fold(FText[s.Pos - 1]) != e.Folded) {
            s.R = {srIncorrect, 0, s.Pos, e.SyntaxEnd};
            return false;
        }
        ++s.Pos;
        SkipRemarks(s.Pos);
        s.Allowed = true;
        return true;
    case ttNumeric:
    case ttAlfabetic: return MatchCharacterClass(e, s);
    case ttSpecial: return MatchSpecial(e, s);
    case ttAnything:
        if (Ended(s.Pos)) {
            s.R = {srIncomplete, 0, s.Pos, e.SyntaxEnd};
            return false;
        }
        ++s.Pos;
        SkipRemarks(s.Pos);
        s.Allowed = false;
        return true;
    case ttCustom: return MatchCustom(e, s);
    case ttString: return MatchString(e, s);
    case ttSpaces: return MatchSpaces(e, s);
    case ttLineFeed:
    case ttSameLine: return MatchLineBreak(e, s);
    case ttOptional: return MatchOptional(syntax, e, s);
    case ttLiterate: return MatchLiteral(syntax, e, s);
    case ttReplicate: return MatchReplicate(syntax, e, s);
    case ttAchoice: return MatchChoice(syntax, e, s);
    case ttNoTerminal: return MatchRule(syntax, e, s);
    }
    return true;
}

// "#" reads a digit, "@" a letter A-Z (either case) or "_", or with Unicode identifiers
// any Unicode letter (a letter outside the BMP takes its two code units).
bool TatSyntaxParser::MatchCharacterClass(const TSyntaxElement& e, TSequenceState& s)
{
    if (Ended(s.Pos)) {
        s.R = {srIncomplete, 0, s.Pos, e.SyntaxEnd};
        return false;
    }
    const char16_t c = Fold(FText[s.Pos - 1]);
    int taken = 0;
    if (e.Kind == ttNumeric) {
        taken = c >= u'0' && c <= u'9' ? 1 : 0;
    } else if ((c >= u'A' && c <= u'Z') || c == u'_') {
        taken = 1;
    } else if (FAllowUnicodeIds && c >= 128) {
        if (U16_IS_LEAD(c) && s.Pos + 1 <= FCurEnd && U16_IS_TRAIL(FText[s.Pos])) {
            taken = u_isalpha(U16_GET_SUPPLEMENTARY(c, FText[s.Pos])) ? 2 : 0;
        } else {
            taken = u_isalpha(c) ? 1 : 0;
        }
    }
    if (taken == 0) {
        s.R = {srIncorrect, 0, s.Pos, e.SyntaxEnd};
        return false;
    }
    s.Pos += taken;
    SkipRemarks(s.Pos);
    s.Allowed = true;
    return true;
}

// "~" ends a word: a blank or control character is taken; "(" and ";" pass untaken.
bool TatSyntaxParser::MatchSpecial(const TSyntaxElement& e, TSequenceState& s)
{
    if (Ended(s.Pos)) {
        s.R = {srIncomplete, 0, s.Pos, e.SyntaxEnd};
        return false;
    }
    const char16_t c = FText[s.Pos - 1];
    if (c <= 32) {
        ++s.Pos;
        SkipRemarks(s.Pos);
        s.Allowed = true;
        return true;
    }
    if (c == u'(' || c == u';')
        return true;
    s.R = {srIncorrect, 0, s.Pos, e.SyntaxEnd};
    return false;
}

// "&d" takes a character of custom lexeme d, bare "&" one the rule's handler accepts;
// no remark is skipped after it.
bool TatSyntaxParser::MatchCustom(const TSyntaxElement& e, TSequenceState& s)
{
    if (Ended(s.Pos)) {
        s.R = {srIncomplete, 0, s.Pos, e.SyntaxEnd};
        return false;
    }
    const char16_t c = FText[s.Pos - 1];
    bool accepted = false;
    if (e.Lexeme >= 0) {
        accepted = FCustomLexemes[static_cast<size_t>(e.Lexeme)].find(c) != platform::UString::npos;
    } else if (s.Rule >= 0 && s.Rule < FNoTerminals.Count()) {
        const TNoTerminal* rule = FNoTerminals.GetItem(s.Rule);
        accepted = rule->FOnAcceptCharacter && rule->FOnAcceptCharacter(s.Nodes->Node(), s.Pos);
    }
    if (!accepted) {
        s.R = {srIncorrect, 0, s.Pos, e.SyntaxEnd};
        return false;
    }
    ++s.Pos;
    s.Allowed = true;
    return true;
}

// "$" takes a delimited string; a doubled delimiter stands inside it. Nothing inside or
// after it is a remark.
bool TatSyntaxParser::MatchString(const TSyntaxElement& e, TSequenceState& s)
{
    if (Ended(s.Pos)) {
        s.R = {srIncomplete, 0, s.Pos, e.SyntaxEnd};
        return false;
    }
    if (FText[s.Pos - 1] != FStringDelimitter) {
        s.R = {srIncorrect, 0, s.Pos, e.SyntaxEnd};
        return false;
    }
    int p = s.Pos + 1;
    for (;;) {
        if (p > FCurEnd) {
            s.Pos = p;
            s.R = {srIncomplete, 0, p, e.SyntaxEnd};
            return false;
        }
        const char16_t c = FText[p - 1];
        ++p;
        if (c != FStringDelimitter)
            continue;
        if (p <= FCurEnd && FText[p - 1] == FStringDelimitter) {
            ++p;
            continue;
        }
        break;
    }
    s.Pos = p;
    return true;
}

// A blank takes any run of characters of code 32 or less, remarks between them; never fails.
bool TatSyntaxParser::MatchSpaces(const TSyntaxElement&, TSequenceState& s)
{
    while (!Ended(s.Pos) && FText[s.Pos - 1] <= 32) {
        ++s.Pos;
        SkipRemarks(s.Pos);
    }
    s.Allowed = false;
    return true;
}

// " \" takes a blank run holding a line break, " ^" one holding none. On failure the
// stop is reported one before where the element started.
bool TatSyntaxParser::MatchLineBreak(const TSyntaxElement& e, TSequenceState& s)
{
    const int start = s.Pos;
    const bool sameLine = e.Kind == ttSameLine;
    if (Ended(s.Pos)) {
        s.R = {srIncomplete, 0, s.Pos, e.SyntaxEnd};
        return false;
    }
    char16_t c = FText[s.Pos - 1];
    bool sawBreak = IsLineBreak(c);
    bool failed = c > 32 || (sameLine && sawBreak);
    if (!failed) {
        ++s.Pos;
        while (!Ended(s.Pos) && (c = FText[s.Pos - 1]) <= 32) {
            if (IsLineBreak(c) && sameLine) {
                failed = true;
                break;
            }
            sawBreak = sawBreak || IsLineBreak(c);
            ++s.Pos;
            SkipRemarks(s.Pos);
        }
        failed = failed || (!sameLine && !sawBreak);
    }
    if (!failed)
        return true;
    s.Pos = start - 1;
    s.R = {srIncorrect, 0, s.Pos, e.SyntaxEnd};
    return false;
}

bool TatSyntaxParser::Matches(TSyntaxResult result, bool literal) const
{
    return result == srOverFlow || result == srCorrect || (result == srIncomplete && FTargetPos > 0 && !literal);
}

// Removes, last first, the nodes appended since the list held count of them.
void TatSyntaxParser::Undo(TNoTerminalNodes& nodes, int count)
{
    if (!FOnRefuseNode) {
        nodes.Truncate(count);
        return;
    }
    while (nodes.Count() > count) {
        FOnRefuseNode(nodes.GetItem(nodes.Count() - 1));
        nodes.Truncate(nodes.Count() - 1);
    }
}

// Tells the owner that remarks reported beyond the position the parse falls back to
// will be read again.
void TatSyntaxParser::RefuseRemarks(int fallbackPos)
{
    if (FLastRemarkFound <= fallbackPos)
        return;
    if (FOnRefuseRemarks)
        FOnRefuseRemarks(FCurrentInclude, fallbackPos);
    FLastRemarkFound = 0;
}

// A failed group ends the sequence with the group's stop.
bool TatSyntaxParser::FailNested(const TSyntaxElement& e, TSequenceState& s, const TSequenceResult& nested)
{
    s.Pos = nested.InputPos;
    s.R.Result = nested.Result;
    s.R.SyntaxPos = e.SyntaxStart + nested.SyntaxPos;
    if (s.Allowed)
        s.R.Suggestion = nested.Suggestion;
    return false;
}

// "[...]": on a mismatch everything the content did is undone and the sequence goes on.
bool TatSyntaxParser::MatchOptional(const TCompiledSyntax& syntax, const TSyntaxElement& e, TSequenceState& s)
{
    const int count = s.Nodes->Count();
    const TSequenceResult r = ParseSequence(syntax, e.Sequence, *s.Nodes, s.Pos, s.Rule);
    if (Matches(r.Result, false)) {
        s.Pos = r.InputPos;
        s.Allowed = true;
        FLastRemarkFound = 0;
        return true;
    }
    Undo(*s.Nodes, count);
    RefuseRemarks(s.Pos);
    s.Allowed = false;
    return true;
}

// A double-quoted literal: its characters in order, remarks skipped after each. Failed
// and matched literals report refused remarks like the other groups.
bool TatSyntaxParser::MatchLiteral(const TCompiledSyntax& syntax, const TSyntaxElement& e, TSequenceState& s)
{
    const int count = s.Nodes->Count();
    const TSequenceResult r = ParseSequence(syntax, e.Sequence, *s.Nodes, s.Pos, s.Rule);
    if (Matches(r.Result, true)) {
        s.Pos = r.InputPos;
        s.Allowed = true;
        FLastRemarkFound = 0;
        return true;
    }
    Undo(*s.Nodes, count);
    RefuseRemarks(s.Pos);
    return FailNested(e, s, r);
}

// "(...)": one or more. A later attempt that matches without moving the position is
// undone and ends the repetition, so content that can match nothing cannot loop.
bool TatSyntaxParser::MatchReplicate(const TCompiledSyntax& syntax, const TSyntaxElement& e, TSequenceState& s)
{
    int count = s.Nodes->Count();
    TSequenceResult r = ParseSequence(syntax, e.Sequence, *s.Nodes, s.Pos, s.Rule);
    if (!Matches(r.Result, false)) {
        Undo(*s.Nodes, count);
        RefuseRemarks(s.Pos);
        return FailNested(e, s, r);
    }
    FLastRemarkFound = 0;
    s.Pos = r.InputPos;
    s.Allowed = false;
    for (;;) {
        if (FTargetPos > 0 && Ended(s.Pos))
            break;
        count = s.Nodes->Count();
        const TInclude* include = FCurrentInclude;
        r = ParseSequence(syntax, e.Sequence, *s.Nodes, s.Pos, s.Rule);
        if (Matches(r.Result, false) && (r.InputPos > s.Pos || FCurrentInclude != include)) {
            FLastRemarkFound = 0;
            s.Pos = r.InputPos;
            continue;
        }
        Undo(*s.Nodes, count);
        RefuseRemarks(s.Pos);
        break;
    }
    return true;
}

// "{a|b}": ordered choice; the first alternative that matches wins.
bool TatSyntaxParser::MatchChoice(const TCompiledSyntax& syntax, const TSyntaxElement& e, TSequenceState& s)
{
    const int count = s.Nodes->Count();
    TSequenceResult failure;
    for (int k = 0; k < e.AlternativeCount; ++k) {
        const TSequenceResult r = ParseSequence(syntax, syntax.Alternative(e.FirstAlternative + k), *s.Nodes, s.Pos, s.Rule);
        if (Matches(r.Result, false)) {
            s.Pos = r.InputPos;
            s.Allowed = true;
            FLastRemarkFound = 0;
            return true;
        }
        Undo(*s.Nodes, count);
        RefuseRemarks(s.Pos);
        if (k == 0) {
            failure = r;
        } else if (r.Result != failure.Result || r.Result == srIncorrect) {
            // Alternatives that failed differently: no single stop or suggestion stands.
            if (failure.InputPos != r.InputPos)
                failure.InputPos = s.Pos;
            failure = {srIncorrect, 0, failure.InputPos, 0};
        } else if (failure.Suggestion != r.Suggestion) {
            failure.Suggestion = 0;
        }
    }
    return FailNested(e, s, failure);
}

// "<n>": matches rule n into a new node; the rule's veto may refuse a finished match.
bool TatSyntaxParser::MatchRule(const TCompiledSyntax& syntax, const TSyntaxElement& e, TSequenceState& s)
{
    if (e.Rule < 0 || e.Rule >= FNoTerminals.Count()) {
        const std::string reference = e.Rule < 0 ? syntax.BadReference(e.Sequence) : std::to_string(e.Rule);
        RaiseParserError(TParserMessage::pmInvalidRuleReference, reference, RuleName(s.Rule));
    }
    const TNoTerminal* target = FNoTerminals.GetItem(e.Rule);
    const int count = s.Nodes->Count();
    TNoTerminalNode* node = s.Nodes->Add(e.Rule);
    node->SetInputInitialPos(s.Pos);
    if (FOnNewNode)
        FOnNewNode(node);
    TSequenceResult r = ParseSequence(target->Compiled(), TCompiledSyntax::Root, node->Nodes(), s.Pos, e.Rule);
    node->SetInputFinalPos(r.InputPos - 1);
    bool matched = Matches(r.Result, false);
    if (matched && target->FOnAcceptNode && !target->FOnAcceptNode(node)) {
        matched = false;
        r.Result = srIncorrect;
    }
    if (matched) {
        s.Pos = r.InputPos;
        s.Allowed = true;
        FLastRemarkFound = 0;
        return true;
    }
    Undo(*s.Nodes, count);
    RefuseRemarks(s.Pos);
    s.Pos = r.InputPos;
    s.R.Result = r.Result;
    s.R.SyntaxPos = e.SyntaxStart;
    s.ReportRule = e.Rule;
    if (s.Allowed)
        s.R.Suggestion = r.Suggestion;
    return false;
}

void TatSyntaxParser::RaiseFault(const TSyntaxElement& e, const TCompiledSyntax&, int rule) const
{
    RaiseParserError(e.FaultMessage, RuleName(rule));
}

// The end test at the end of the current buffer: when an include is being read, the
// input it interrupted is resumed instead (one per test) and tested once more.
bool TatSyntaxParser::EndedAfterPop(int& pos)
{
    if (FSavedInputs.Count() == 0)
        return true;
    std::unique_ptr<TSavedInput> saved = FSavedInputs.Pop();
    FCurrentInclude = saved->FSavedInclude;
    pos = saved->FSavedInputPosition;
    FMaxInputPos = saved->FSavedMaxInputPosition;
    FInput = std::move(saved->FSavedInputBuffer);
    UpdateEnd();
    SkipRemarks(pos);
    return pos > FCurEnd;
}

void TatSyntaxParser::PrepareRemarkTable()
{
    FRemarkStart.fill(false);
    FRemarkStartNonAscii = false;
    FFoldedOpen.clear();
    FFoldedClose.clear();
    FPriorDelims.clear();
    for (int k = 0; k < FComments.Count(); ++k) {
        const TSyntaxComment& comment = FComments.GetItem(k);
        FFoldedOpen.push_back(FoldText(comment.FOpenString));
        FFoldedClose.push_back(FoldText(comment.FCloseString));
        FPriorDelims.push_back(platform::Utf8ToUtf16(comment.FPriorDelims));
        const platform::UString& open = FFoldedOpen.back();
        if (open.empty())
            continue;  // an empty open string would match everywhere and read nothing
        if (open[0] >= 128) {
            FRemarkStartNonAscii = true;
            continue;
        }
        FRemarkStart[open[0]] = true;
        if (open[0] >= u'A' && open[0] <= u'Z')
            FRemarkStart[open[0] + 32] = true;
    }
    FRemarksPossible = !FFoldedOpen.empty();
}

// Skips the remark starting at pos, if any (the first-character table settles most
// positions without looking further).
void TatSyntaxParser::SkipRemarks(int& pos)
{
    if (!FRemarksPossible)
        return;
    if (!FContinueOnRemarks) {
        if (pos > FCurEnd || pos < 1)
            return;
        const char16_t c = FText[pos - 1];
        if (c < 128 ? !FRemarkStart[c] : !FRemarkStartNonAscii)
            return;
    }
    SkipRemarksSlow(pos);
}

// Skips one remark (without a handler), or every remark that follows (with one, the
// handler reporting each); with ContinueOnRemarks it walks to the end of the input.
void TatSyntaxParser::SkipRemarksSlow(int& pos)
{
    for (;;) {
        const int k = pos >= 1 ? RemarkAt(pos) : -1;
        if (k >= 0) {
            const int start = pos;
            pos += static_cast<int>(FFoldedOpen[static_cast<size_t>(k)].size());
            const platform::UString& close = FFoldedClose[static_cast<size_t>(k)];
            while (pos <= FCurEnd && !TextAt(pos, close))
                ++pos;
            if (pos <= FCurEnd)
                pos += static_cast<int>(close.size());
            if (FOnExtractRemark) {
                ReportRemark(start, pos);
                continue;
            }
        } else if (FContinueOnRemarks) {
            ++pos;
        }
        if (!FContinueOnRemarks || pos > FCurEnd)
            return;
    }
}

// The first remark pair whose open string stands at pos and may start there.
int TatSyntaxParser::RemarkAt(int pos) const
{
    for (size_t k = 0; k < FFoldedOpen.size(); ++k) {
        const platform::UString& open = FFoldedOpen[k];
        if (open.empty() || !TextAt(pos, open))
            continue;
        const platform::UString& prior = FPriorDelims[k];
        if (prior.empty() || pos == 1 || (pos - 1 <= FCurEnd && prior.find(FText[pos - 2]) != platform::UString::npos))
            return static_cast<int>(k);
    }
    return -1;
}

bool TatSyntaxParser::TextAt(int pos, const platform::UString& folded) const
{
    if (pos + static_cast<long>(folded.size()) - 1 > FCurEnd)
        return false;
    for (size_t i = 0; i < folded.size(); ++i) {
        if (Fold(FText[static_cast<size_t>(pos - 1) + i]) != folded[i])
            return false;
    }
    return true;
}

// Calls the remark handler; the handler may move the resume position and the furthest
// position, replace the input or switch into an include.
void TatSyntaxParser::ReportRemark(int start, int& pos)
{
    struct TEndProcessing {
        bool& Flag;
        ~TEndProcessing() { Flag = false; }
    } endProcessing{FProcessingRemarks};
    FProcessingRemarks = true;
    FCurrentInputPos = pos;
    FCurrentMaxInputPos = FMaxInputPos;
    FLastRemarkFound = pos - 1;
    FOnExtractRemark(*this, start, pos - 1);
    pos = std::max(FCurrentInputPos, 1);
    FMaxInputPos = FCurrentMaxInputPos;
}

} // namespace vorn::engine

#include "engine/compiler/SyntaxParser.h"

#include <algorithm>

#include "engine/compiler/TextLines.h"

namespace vorn::engine {

TatSyntaxParser::TatSyntaxParser()
{
    FNode = AcquireNode(nullptr, 0);
    FComments.Add("{", "}");
    UpdateEnd();
}

// The tree is taken apart into the pool first, so that freeing a deep tree never recurses.
TatSyntaxParser::~TatSyntaxParser()
{
    FTempNodes.reset();
    ReleaseNode(std::move(FNode));
}

void TatSyntaxParser::SetGrammar(std::vector<std::string> lines)
{
    if (FParsing)
        RaiseParserError(TParserMessage::pmGrammarWhileParsing);
    FGrammar = std::move(lines);
    FNoTerminals.LoadFromStrings(FGrammar);
}

void TatSyntaxParser::SetGrammarText(std::string_view text)
{
    SetGrammar(SplitLines(text));
}

void TatSyntaxParser::SetStrings(std::vector<std::string> lines)
{
    FStrings = std::move(lines);
    FInput = platform::Utf8ToUtf16(JoinLines(FStrings));
    UpdateEnd();
}

void TatSyntaxParser::SetStringsText(std::string_view text)
{
    SetStrings(SplitLines(text));
}

void TatSyntaxParser::SetInputText(std::string_view text)
{
    FStrings = SplitLines(text);
    FInput = platform::Utf8ToUtf16(text);
    UpdateEnd();
}

std::string TatSyntaxParser::InputText(int first, int last) const
{
    first = std::max(first, 1);
    last = std::min(last, static_cast<int>(FInput.size()));
    if (last < first)
        return {};
    return platform::Utf16ToUtf8(platform::UStringView(FInput).substr(static_cast<size_t>(first - 1),
                                                                       static_cast<size_t>(last - first + 1)));
}

std::string TatSyntaxParser::GetCustomLexeme(int i) const
{
    return platform::Utf16ToUtf8(FCustomLexemes.at(static_cast<size_t>(i)));
}

void TatSyntaxParser::SetCustomLexeme(int i, std::string_view text)
{
    FCustomLexemes.at(static_cast<size_t>(i)) = platform::Utf8ToUtf16(text);
}

// The end of the current buffer: an include ends with its own text, the main input at
// the end position of the parse (never beyond the text, whatever the target position).
void TatSyntaxParser::UpdateEnd()
{
    FText = FInput.data();
    const int size = static_cast<int>(FInput.size());
    FCurEnd = FCurrentInclude ? size : std::min(FEndPos, size);
}

// After a parse or a clear the input is the main text again, whatever include was read.
void TatSyntaxParser::RestoreMainInput()
{
    if (FSavedInputs.Count() > 0)
        FInput = std::move(FSavedInputs.GetItems(0)->FSavedInputBuffer);
    FSavedInputs.Clear();
    FCurrentInclude = nullptr;
    UpdateEnd();
}

void TatSyntaxParser::Clear()
{
    if (FParsing)
        RaiseParserError(TParserMessage::pmCannotClear);
    ReleaseNode(std::move(FNode));
    FNode = AcquireNode(nullptr, 0);
    FScanningInputPos = 0;
    RestoreMainInput();
    FIncludes.Clear();
    FContinueOnRemarks = false;
}

// Parses the whole input with rule 0 into a new tree. A syntax error is a result, not an
// exception; grammar faults and handler exceptions propagate after the state is reset.
TParsingResults TatSyntaxParser::CheckLanguage()
{
    FBranchCount = 0;
    FMaxInputPos = 0;
    FMaxRule = 0;
    FLastResult = srNotDefined;
    FLimitReached = plNone;
    Clear();
    FEndPos = FTargetPos > 0 ? FTargetPos : static_cast<int>(FInput.size());
    FNode->SetInputInitialPos(1);
    UpdateEnd();
    PrepareRemarkTable();
    const TCompiledSyntax& start = FNoTerminals.Count() > 0 ? FNoTerminals.GetItem(0)->Compiled() : FEmptySyntax;
    TSequenceResult top{srNotDefined, 0, 1, 0};
    FParsing = true;
    try {
        top = ParseSequence(start, TCompiledSyntax::Root, FNode->Nodes(), 1, 0);
    } catch (const TParseAbort& abort) {
        FLimitReached = abort.Limit;
        top = {srIncorrect, 0, abort.Pos, 0};
        if (abort.Pos > FMaxInputPos) {
            FMaxInputPos = abort.Pos;
            FMaxRule = abort.Rule;
            FLastResult = srIncorrect;
        }
    } catch (...) {
        FinishParse(0);
        throw;
    }
    FinishParse(top.InputPos);
    return {top.Result, top.Suggestion, top.InputPos, top.SyntaxPos, FMaxRule, FMaxInputPos, FLastResult};
}

// Ends a parse, also one a grammar fault or a handler broke off.
void TatSyntaxParser::FinishParse(int inputPos)
{
    FParsing = false;
    RestoreMainInput();
    FNode->MovePositions(FNode->InputInitialPos(), inputPos - 1);
}

bool TatSyntaxParser::ScanSyntaxTree()
{
    ScanNode(FNode.get());
    return true;
}

// Runs the node's before handler, its children (last first for a reverse-scanning rule,
// none when the before handler set DisableBranching), then its after handler.
void TatSyntaxParser::ScanNode(TNoTerminalNode* ANode)
{
    FDisableBranching = false;
    TNoTerminal* rule = ANode->GetNoTerminal();
    if (rule && rule->FOnBeforeNodeScan) {
        FScanningInputPos = ANode->InputInitialPos();
        rule->FOnBeforeNodeScan(ANode);
    }
    if (!FDisableBranching) {
        if (rule && rule->ReverseScanning()) {
            for (int i = ANode->Count() - 1; i >= 0; --i) {
                if (i < ANode->Count())
                    ScanNode(ANode->GetItem(i));
            }
        } else {
            for (int i = 0; i < ANode->Count(); ++i)
                ScanNode(ANode->GetItem(i));
        }
    }
    if (rule && rule->FOnAfterNodeScan) {
        FScanningInputPos = ANode->InputFinalPos();
        rule->FOnAfterNodeScan(ANode);
    }
}

std::unique_ptr<TNoTerminalNode> TatSyntaxParser::AcquireNode(TNoTerminalNodes* owner, int rule)
{
    if (FNodePool.empty())
        return std::make_unique<TNoTerminalNode>(this, owner, rule);
    std::unique_ptr<TNoTerminalNode> node = std::move(FNodePool.back());
    FNodePool.pop_back();
    node->Reset(owner, rule);
    return node;
}

// Moves a node and its whole subtree into the pool; the pool doubles as the work list,
// so no recursion is needed however deep the subtree is.
void TatSyntaxParser::ReleaseNode(std::unique_ptr<TNoTerminalNode> node)
{
    if (!node)
        return;
    size_t next = FNodePool.size();
    FNodePool.push_back(std::move(node));
    for (; next < FNodePool.size(); ++next) {
        TNoTerminalNode* current = FNodePool[next].get();
        if (FTempNodes)
            ForgetTempNode(current);
        for (std::unique_ptr<TNoTerminalNode>& child : current->FNodes.FItems)
            FNodePool.push_back(std::move(child));
        current->FNodes.FItems.clear();
        current->FOwnerNodes = nullptr;
    }
}

void TatSyntaxParser::ForgetTempNode(TNoTerminalNode* node)
{
    std::erase(*FTempNodes, node);
}

const std::string& TatSyntaxParser::RuleName(int rule) const
{
    static const std::string none;
    return rule >= 0 && rule < FNoTerminals.Count() ? FNoTerminals.GetItem(rule)->IdS() : none;
}

} // namespace vorn::engine

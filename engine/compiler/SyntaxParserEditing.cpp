// The syntax parser's services beside parsing: what a remark handler may do while the
// parse runs (move the position, replace the input, switch into an included text), and
// looking up and rewriting the input through the tree after a parse.

#include <algorithm>

#include "engine/compiler/SyntaxParser.h"

namespace vorn::engine {

void TatSyntaxParser::RequireRemarkTime(TParserMessage message) const
{
    if (!FProcessingRemarks)
        RaiseParserError(message);
}

void TatSyntaxParser::SetContinueOnRemarks(bool value)
{
    RequireRemarkTime(TParserMessage::pmContinueOnRemarksOutside);
    FContinueOnRemarks = value;
}

void TatSyntaxParser::SetCurrentInputPos(int value)
{
    RequireRemarkTime(TParserMessage::pmCurrentInputPosOutside);
    FCurrentInputPos = value;
}

void TatSyntaxParser::SetCurrentMaxInputPos(int value)
{
    RequireRemarkTime(TParserMessage::pmCurrentMaxInputPosOutside);
    FCurrentMaxInputPos = value;
}

void TatSyntaxParser::SetInput(std::string_view text)
{
    RequireRemarkTime(TParserMessage::pmInputOutside);
    FInput = platform::Utf8ToUtf16(text);
    UpdateEnd();
}

// Suspends the current input and resumes the parse at the start of the included text;
// a name read before reuses its text, otherwise the include handler supplies it.
void TatSyntaxParser::IncludeInput(std::string_view AName)
{
    RequireRemarkTime(TParserMessage::pmIncludeInputOutside);
    if (FSavedInputs.Count() >= MaxIncludeDepth)
        RaiseParserError(TParserMessage::pmIncludeTooDeep, AName);
    TSavedInput* saved = FSavedInputs.Add();
    saved->FSavedInclude = FCurrentInclude;
    saved->FSavedInputPosition = FCurrentInputPos;
    saved->FSavedMaxInputPosition = FCurrentMaxInputPos;
    saved->FSavedInputBuffer = FInput;
    FCurrentInputPos = 1;
    FCurrentMaxInputPos = 0;
    TInclude* include = FIncludes.FindByName(AName);
    if (!include) {
        std::string buffer = platform::Utf16ToUtf8(FInput);
        void* info = nullptr;
        if (FOnIncludeInput)
            FOnIncludeInput(*this, std::string(AName), buffer, info);
        include = FIncludes.Add(std::string(AName), info, platform::Utf8ToUtf16(buffer));
    }
    FCurrentInclude = include;
    FInput = include->InputBuffer();
    UpdateEnd();
}

// The deepest node whose span holds APos; the first child wins where spans share it.
TNoTerminalNode* TatSyntaxParser::FindNodeByPosition(int APos) const
{
    TNoTerminalNode* node = FNode.get();
    if (APos < node->InputInitialPos() || APos > node->InputFinalPos())
        RaiseParserError(TParserMessage::pmNoSuchPosition);
    for (;;) {
        TNoTerminalNode* inner = nullptr;
        for (int i = 0; i < node->Count() && !inner; ++i) {
            TNoTerminalNode* child = node->GetItem(i);
            if (APos >= child->InputInitialPos() && APos <= child->InputFinalPos())
                inner = child;
        }
        if (!inner)
            return node;
        node = inner;
    }
}

bool TatSyntaxParser::TestInputString(int APos, std::string_view AText, bool ACaseSensitive) const
{
    const platform::UString text = platform::Utf8ToUtf16(AText);
    for (size_t i = 0; i < text.size(); ++i) {
        const long p = static_cast<long>(APos) + static_cast<long>(i);
        if (p < 1 || p > static_cast<long>(FInput.size()))
            return false;
        const platform::UString a(1, FInput[static_cast<size_t>(p - 1)]), b(1, text[i]);
        if (ACaseSensitive ? a != b : !IsSameText(platform::Utf16ToUtf8(a), platform::Utf16ToUtf8(b)))
            return false;
    }
    return true;
}

namespace {

// Every node below and including top, parents before children.
std::vector<TNoTerminalNode*> AllNodes(TNoTerminalNode* top)
{
    std::vector<TNoTerminalNode*> nodes{top};
    for (size_t i = 0; i < nodes.size(); ++i) {
        for (int k = 0; k < nodes[i]->Count(); ++k)
            nodes.push_back(nodes[i]->GetItem(k));
    }
    return nodes;
}

// Children first, then the node; the node's handler may drop its children afterwards.
void RebuildNode(TNoTerminalNode* node)
{
    for (int i = 0; i < node->Count(); ++i)
        RebuildNode(node->GetItem(i));
    TNoTerminal* rule = node->GetNoTerminal();
    if (rule && rule->FOnNodeStringChange)
        node->ChangeNodeString(rule->FOnNodeStringChange(node));
}

} // namespace

// Rewrites the input through the rules' string-change handlers, bottom up.
std::string TatSyntaxParser::RebuildFromNodes()
{
    FTempNodes = std::make_unique<std::vector<TNoTerminalNode*>>(AllNodes(FNode.get()));
    std::stable_sort(FTempNodes->begin(), FTempNodes->end(),
                     [](const TNoTerminalNode* a, const TNoTerminalNode* b) { return a->InputFinalPos() > b->InputFinalPos(); });
    struct TDropTemp {
        std::unique_ptr<std::vector<TNoTerminalNode*>>& Temp;
        ~TDropTemp() { Temp.reset(); }
    } dropTemp{FTempNodes};
    RebuildNode(FNode.get());
    return platform::Utf16ToUtf8(FInput);
}

// Moves every node after refnode's old end by delta, and stretches every node that
// encloses that end.
void TatSyntaxParser::ChangePositions(TNoTerminalNode* refnode, int delta)
{
    const std::vector<TNoTerminalNode*> nodes = FTempNodes ? *FTempNodes : AllNodes(FNode.get());
    const int refEnd = refnode->InputFinalPos();
    for (TNoTerminalNode* node : nodes) {
        if (node == refnode)
            continue;
        if (node->InputInitialPos() >= refEnd)
            node->MovePositions(node->InputInitialPos() + delta, node->InputFinalPos() + delta);
        else if (node->InputFinalPos() >= refEnd)
            node->MovePositions(node->InputInitialPos(), node->InputFinalPos() + delta);
    }
}

} // namespace vorn::engine

#include "engine/compiler/ParseTree.h"

#include "engine/compiler/Grammar.h"
#include "engine/compiler/SyntaxParser.h"
#include "platform/CaseFolding.h"

namespace vorn::engine {

TInclude* TIncludes::Add(std::string AName, void* AInfoObject, platform::UString AInputBuffer)
{
    FItems.push_back(std::make_unique<TInclude>(std::move(AName), AInfoObject, std::move(AInputBuffer)));
    return FItems.back().get();
}

int TIncludes::IndexOf(std::string_view AName) const
{
    for (size_t i = 0; i < FItems.size(); ++i) {
        if (IsSameText(FItems[i]->Name(), AName))
            return static_cast<int>(i);
    }
    return -1;
}

TInclude* TIncludes::FindByName(std::string_view AName) const
{
    const int i = IndexOf(AName);
    return i < 0 ? nullptr : GetItem(i);
}

TSavedInput* TSavedInputs::Add()
{
    FItems.push_back(std::make_unique<TSavedInput>());
    return FItems.back().get();
}

std::unique_ptr<TSavedInput> TSavedInputs::Pop()
{
    std::unique_ptr<TSavedInput> top = std::move(FItems.back());
    FItems.pop_back();
    return top;
}

TNoTerminalNode* TNoTerminalNodes::Add(int NoTermIndex)
{
    FItems.push_back(FNode->atSyntaxParser()->AcquireNode(this, NoTermIndex));
    return FItems.back().get();
}

int TNoTerminalNodes::IndexOf(int NoTerminalIndex) const
{
    for (size_t i = 0; i < FItems.size(); ++i) {
        if (FItems[i]->NoTerminalIndex() == NoTerminalIndex)
            return static_cast<int>(i);
    }
    return -1;
}

TNoTerminalNode* TNoTerminalNodes::FindByNoTerminalName(std::string_view AName) const
{
    const int rule = FNode->atSyntaxParser()->NoTerminals().IndexOf(AName);
    if (rule < 0)
        return nullptr;
    const int i = IndexOf(rule);
    return i < 0 ? nullptr : GetItem(i);
}

void TNoTerminalNodes::Truncate(int count)
{
    TatSyntaxParser* parser = FNode->atSyntaxParser();
    while (Count() > count) {
        std::unique_ptr<TNoTerminalNode> last = std::move(FItems.back());
        FItems.pop_back();
        parser->ReleaseNode(std::move(last));
    }
}

TNoTerminalNode::TNoTerminalNode(TatSyntaxParser* parser, TNoTerminalNodes* owner, int NoTerminalIndex)
    : FNoTerminalIndex(NoTerminalIndex), FNodes(this), FatSyntaxParser(parser), FOwnerNodes(owner)
{
}

TNoTerminalNode::~TNoTerminalNode() = default;

void TNoTerminalNode::Reset(TNoTerminalNodes* owner, int NoTerminalIndex)
{
    FNoTerminalIndex = NoTerminalIndex;
    FInputInitialPos = -1;
    FInputFinalPos = -1;
    FInclude = nullptr;
    FOwnerNodes = owner;
}

void TNoTerminalNode::SetInputInitialPos(int value)
{
    FInputInitialPos = value;
    FInclude = FatSyntaxParser->CurrentInclude();
}

void TNoTerminalNode::SetInputFinalPos(int value)
{
    if (FatSyntaxParser->CurrentInclude() != FInclude)
        RaiseParserError(TParserMessage::pmInvalidIncludeBuffer);
    FInputFinalPos = value;
}

TNoTerminal* TNoTerminalNode::GetNoTerminal() const
{
    const TNoTerminals& rules = FatSyntaxParser->NoTerminals();
    if (FNoTerminalIndex < 0 || FNoTerminalIndex >= rules.Count())
        return nullptr;
    return rules.GetItem(FNoTerminalIndex);
}

int TNoTerminalNode::ParentInitialPos() const
{
    const TNoTerminalNode* parent = GetParentNode();
    return parent ? parent->FInputInitialPos - 1 : 0;
}

int TNoTerminalNode::InitialPos() const { return FInputInitialPos - ParentInitialPos(); }
void TNoTerminalNode::SetInitialPos(int value) { FInputInitialPos = value + ParentInitialPos(); }
int TNoTerminalNode::FinalPos() const { return FInputFinalPos - ParentInitialPos(); }
void TNoTerminalNode::SetFinalPos(int value) { FInputFinalPos = value + ParentInitialPos(); }

const platform::UString& TNoTerminalNode::Buffer() const
{
    return FInclude ? FInclude->InputBuffer() : FatSyntaxParser->Input();
}

platform::UString TNoTerminalNode::GetInputTokenW() const
{
    const platform::UString& buffer = Buffer();
    const long first = std::max(FInputInitialPos, 1);
    const long last = std::min(static_cast<long>(FInputFinalPos), static_cast<long>(buffer.size()));
    if (last < first)
        return {};
    return buffer.substr(static_cast<size_t>(first - 1), static_cast<size_t>(last - first + 1));
}

std::string TNoTerminalNode::GetInputToken() const
{
    return platform::Utf16ToUtf8(GetInputTokenW());
}

// A remark start is recognised as the parser does, the token standing for the input.
std::string TNoTerminalNode::GetStrToken() const
{
    const platform::UString token = GetInputTokenW();
    const TSyntaxComments& comments = FatSyntaxParser->Comments();
    for (size_t i = 0; i < token.size(); ++i) {
        for (int k = 0; k < comments.Count(); ++k) {
            const platform::UString open = platform::Utf8ToUtf16(comments.GetItem(k).FOpenString);
            const platform::UString prior = platform::Utf8ToUtf16(comments.GetItem(k).FPriorDelims);
            if (open.empty() || i + open.size() > token.size())
                continue;
            if (!platform::AsciiSameText(platform::UStringView(token).substr(i, open.size()), open))
                continue;
            if (prior.empty() || i == 0 || prior.find(token[i - 1]) != platform::UString::npos)
                return platform::Utf16ToUtf8(token.substr(0, i));
        }
    }
    return platform::Utf16ToUtf8(token);
}

char16_t TNoTerminalNode::GetInputChar(int i) const
{
    const platform::UString& buffer = Buffer();
    const long index = static_cast<long>(FInputInitialPos) + i - 1;
    if (index < 0 || index >= static_cast<long>(buffer.size()))
        return 0;
    return buffer[static_cast<size_t>(index)];
}

// Deletes the children, replaces the span (in the node's own buffer) and moves every
// other node after or around it by the change in length.
void TNoTerminalNode::ChangeNodeString(std::string_view text)
{
    FNodes.Clear();
    TatSyntaxParser* parser = FatSyntaxParser;
    platform::UString& buffer = FInclude ? FInclude->InputBuffer() : parser->FInput;
    const platform::UString replacement = platform::Utf8ToUtf16(text);
    const long first = std::clamp(static_cast<long>(FInputInitialPos), 1L, static_cast<long>(buffer.size()) + 1);
    const long oldLength = std::clamp(static_cast<long>(FInputFinalPos) - first + 1, 0L,
                                      static_cast<long>(buffer.size()) - first + 1);
    buffer.replace(static_cast<size_t>(first - 1), static_cast<size_t>(oldLength), replacement);
    if (!FInclude)
        parser->UpdateEnd();
    const int delta = static_cast<int>(static_cast<long>(replacement.size()) - TokenLenght());
    if (delta != 0) {
        parser->ChangePositions(this, delta);
        FInputFinalPos += delta;
    }
}

} // namespace vorn::engine

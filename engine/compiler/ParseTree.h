#pragma once
// The parse tree: one node per matched rule, with its children in input order and the
// span of input it covers (1-based, inclusive, in UTF-16 code units), and the included
// texts a remark handler may switch the parse into.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Unicode.h"

namespace vorn::engine {

class TatSyntaxParser;
class TNoTerminal;
class TNoTerminalNode;

// A text the parse was redirected into by a remark handler.
class TInclude {
public:
    TInclude(std::string AName, void* AInfoObject, platform::UString AInputBuffer)
        : FName(std::move(AName)), FInfoObject(AInfoObject), FInputBuffer(std::move(AInputBuffer)) {}
    const std::string& Name() const { return FName; }
    // Whatever the include handler supplied; not owned.
    void* InfoObject() const { return FInfoObject; }
    const platform::UString& InputBuffer() const { return FInputBuffer; }
    platform::UString& InputBuffer() { return FInputBuffer; }

private:
    std::string FName;
    void* FInfoObject;
    platform::UString FInputBuffer;
};

// Every include read since the parser was last cleared, owned.
class TIncludes {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    TInclude* GetItem(int i) const { return FItems[static_cast<size_t>(i)].get(); }
    TInclude* Add(std::string AName, void* AInfoObject, platform::UString AInputBuffer);
    // The first include of that name (Unicode case-insensitive), or nullptr / -1.
    TInclude* FindByName(std::string_view AName) const;
    int IndexOf(std::string_view AName) const;
    void Clear() { FItems.clear(); }

private:
    std::vector<std::unique_ptr<TInclude>> FItems;
};

// An input suspended while an include is read.
struct TSavedInput {
    TInclude* FSavedInclude = nullptr;  // empty for the main input
    int FSavedInputPosition = 0;
    int FSavedMaxInputPosition = 0;
    platform::UString FSavedInputBuffer;
};

// The stack of suspended inputs, last item on top.
class TSavedInputs {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    TSavedInput* GetItems(int i) const { return FItems[static_cast<size_t>(i)].get(); }
    TSavedInput* Add();
    // Takes the top entry off the stack.
    std::unique_ptr<TSavedInput> Pop();
    void Clear() { FItems.clear(); }

private:
    std::vector<std::unique_ptr<TSavedInput>> FItems;
};

// The children of a node, owned. Nodes removed during backtracking go back to the
// parser's pool instead of being freed, so a parse allocates no node twice.
class TNoTerminalNodes {
public:
    TNoTerminalNodes(TNoTerminalNode* owner) : FNode(owner) {}
    TNoTerminalNodes(const TNoTerminalNodes&) = delete;
    TNoTerminalNodes& operator=(const TNoTerminalNodes&) = delete;

    TNoTerminalNode* Node() const { return FNode; }
    int Count() const { return static_cast<int>(FItems.size()); }
    TNoTerminalNode* GetItem(int i) const { return FItems[static_cast<size_t>(i)].get(); }
    // Appends a node of that rule, bound to the owner's parser.
    TNoTerminalNode* Add(int NoTermIndex);
    // Index of the first child of that rule, -1 when none.
    int IndexOf(int NoTerminalIndex) const;
    // The first child of the rule with that name (case-insensitive), nullptr when none.
    TNoTerminalNode* FindByNoTerminalName(std::string_view AName) const;
    // Frees the children from index count on, last first.
    void Truncate(int count);
    void Clear() { Truncate(0); }

private:
    friend class TNoTerminalNode;
    friend class TatSyntaxParser;
    TNoTerminalNode* FNode;
    std::vector<std::unique_ptr<TNoTerminalNode>> FItems;
};

class TNoTerminalNode {
public:
    TNoTerminalNode(TatSyntaxParser* parser, TNoTerminalNodes* owner, int NoTerminalIndex);
    ~TNoTerminalNode();
    TNoTerminalNode(const TNoTerminalNode&) = delete;
    TNoTerminalNode& operator=(const TNoTerminalNode&) = delete;

    int NoTerminalIndex() const { return FNoTerminalIndex; }
    int InputInitialPos() const { return FInputInitialPos; }
    int InputFinalPos() const { return FInputFinalPos; }
    // Sets the first position and records the parser's current include in the node.
    void SetInputInitialPos(int value);
    // Sets the last position; the parser must still read the buffer the node began in.
    void SetInputFinalPos(int value);
    // Sets both positions as they are, without the include check (tree editing).
    void MovePositions(int initialPos, int finalPos) { FInputInitialPos = initialPos; FInputFinalPos = finalPos; }

    TNoTerminalNodes& Nodes() { return FNodes; }
    const TNoTerminalNodes& Nodes() const { return FNodes; }
    int Count() const { return FNodes.Count(); }
    TNoTerminalNode* GetItem(int i) const { return FNodes.GetItem(i); }
    TatSyntaxParser* atSyntaxParser() const { return FatSyntaxParser; }
    TInclude* Include() const { return FInclude; }
    // The rule of the node; nullptr when the rule list no longer holds its number.
    TNoTerminal* GetNoTerminal() const;
    TNoTerminalNode* GetParentNode() const { return FOwnerNodes ? FOwnerNodes->Node() : nullptr; }
    TNoTerminalNodes* GetOwnerNodes() const { return FOwnerNodes; }

    // Positions relative to the parent's first position (1 = its first character);
    // absolute for the top node.
    int InitialPos() const;
    void SetInitialPos(int value);
    int FinalPos() const;
    void SetFinalPos(int value);
    int TokenLenght() const { return FInputFinalPos - FInputInitialPos + 1; }
    void SetTokenLenght(int value) { FInputFinalPos = FInputInitialPos + value - 1; }

    // The covered text, read from the include's buffer when the node has one.
    std::string GetInputToken() const;
    platform::UString GetInputTokenW() const;
    // The covered text cut before the first remark that starts inside it.
    std::string GetStrToken() const;
    // The input character i positions after the first one (i from 0); 0 outside the buffer.
    char16_t GetInputChar(int i) const;
    // Replaces the node's span of the input by text, dropping its children.
    void ChangeNodeString(std::string_view text);

private:
    friend class TatSyntaxParser;
    friend class TNoTerminalNodes;
    const platform::UString& Buffer() const;
    void Reset(TNoTerminalNodes* owner, int NoTerminalIndex);
    int ParentInitialPos() const;

    int FNoTerminalIndex;
    int FInputInitialPos = -1;
    int FInputFinalPos = -1;
    TNoTerminalNodes FNodes;
    TatSyntaxParser* FatSyntaxParser;
    TInclude* FInclude = nullptr;
    TNoTerminalNodes* FOwnerNodes;
};

} // namespace vorn::engine

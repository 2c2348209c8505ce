#pragma once
// The rule list of a grammar text: one rule per line, numbered by line from 0, each
// with its syntax text (references rewritten to rule numbers), its precompiled element
// tree and the code-generation handlers the language attaches to it.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vorn::engine {

class TNoTerminalNode;
class TNoTerminals;
class TCompiledSyntax;

// The element kinds of the notation; the numbers are those the languages know.
enum TTokenType : std::uint8_t {
    ttOptional = 0, ttReplicate = 1, ttAchoice = 2, ttNoTerminal = 3, ttLiterate = 4,
    ttNumeric = 5, ttAlfabetic = 6, ttSpecial = 7, ttCharacter = 8, ttSpaces = 9,
    ttString = 10, ttAnything = 11, ttCustom = 12, ttLineFeed = 13, ttSameLine = 14,
};

// The outcome of matching a syntax against the input.
enum TSyntaxResult : std::uint8_t {
    srNotDefined = 0, srCorrect = 1, srIncomplete = 2, srOverFlow = 3, srIncorrect = 4,
};

using TNodeScanProc = std::function<void(TNoTerminalNode* Node)>;
using TAcceptNodeProc = std::function<bool(TNoTerminalNode* Node)>;
using TAcceptCharProc = std::function<bool(TNoTerminalNode* Node, int ACurrentPos)>;
using TNodeStringChangeProc = std::function<std::string(TNoTerminalNode* Node)>;

// True when the two texts are equal after Unicode lower-casing of both (rule names).
bool IsSameText(std::string_view a, std::string_view b);

// One rule of the grammar.
class TNoTerminal {
public:
    TNoTerminal(TNoTerminals* owner, std::string AIdS, std::string ASyntax);
    ~TNoTerminal();
    TNoTerminal(const TNoTerminal&) = delete;
    TNoTerminal& operator=(const TNoTerminal&) = delete;

    const std::string& IdS() const { return FIdS; }
    // The syntax with rule references as numbers; setting it recompiles the rule.
    const std::string& Syntax() const { return FSyntax; }
    void SetSyntax(std::string ASyntax);
    // The syntax as written in the grammar text.
    const std::string& SyntaxText() const { return FSyntaxText; }
    void SetSyntaxText(std::string text) { FSyntaxText = std::move(text); }
    bool ReverseScanning() const { return FReverseScanning; }
    void SetReverseScanning(bool value) { FReverseScanning = value; }

    // Sets both scan handlers at once; either may be empty.
    void AssignNodeScanningEvents(TNodeScanProc AOnBeforeNodeScan, TNodeScanProc AOnAfterNodeScan);
    TNoTerminals* GetNoTerminals() const { return FNoTerminals; }
    const TCompiledSyntax& Compiled() const { return *FCompiled; }

    TNodeScanProc FOnBeforeNodeScan;
    TNodeScanProc FOnAfterNodeScan;
    TAcceptNodeProc FOnAcceptNode;
    TAcceptCharProc FOnAcceptCharacter;
    TNodeStringChangeProc FOnNodeStringChange;

private:
    TNoTerminals* FNoTerminals;
    std::string FIdS;
    std::string FSyntax;
    std::string FSyntaxText;
    bool FReverseScanning = false;
    std::unique_ptr<TCompiledSyntax> FCompiled;
};

// The owning list of rules; a rule's index is its rule number, rule 0 the start rule.
class TNoTerminals {
public:
    TNoTerminals();
    ~TNoTerminals();
    TNoTerminals(const TNoTerminals&) = delete;
    TNoTerminals& operator=(const TNoTerminals&) = delete;

    int Count() const { return static_cast<int>(FItems.size()); }
    // The rule with number i; i must be within the list.
    TNoTerminal* GetItem(int i) const { return FItems[static_cast<size_t>(i)].get(); }
    // Appends a rule with that name and (already rewritten) syntax.
    TNoTerminal* Add(std::string AIdS, std::string ASyntax);
    // Number of the first rule named IdS (case-insensitive), -1 when there is none.
    int IndexOf(std::string_view IdS) const;
    // Removes rule i; an index outside the list is ignored.
    void Delete(int i);
    void Clear() { FItems.clear(); }

    // Replaces the list by the rules of a grammar text, one rule per line. A reference
    // to a name no rule has is refused here (EParserError naming the rule and the name),
    // so that a parse never reaches a reference to nothing; the list is then left empty.
    void LoadFromStrings(const std::vector<std::string>& lines);

private:
    std::vector<std::unique_ptr<TNoTerminal>> FItems;
};

} // namespace vorn::engine

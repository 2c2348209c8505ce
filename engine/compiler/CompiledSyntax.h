#pragma once
// A rule's syntax text compiled once into a flat element tree, so that a parse never
// re-reads the text: each group, literal and choice alternative is a sequence of
// elements, and every element keeps where it stood in its text for the results.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/compiler/Grammar.h"
#include "engine/compiler/ParserError.h"

namespace vorn::engine {

struct TSyntaxElement {
    TTokenType Kind = ttCharacter;
    bool Fault = false;          // reaching this element raises FaultMessage
    TParserMessage FaultMessage = TParserMessage::pmLiteralNotTerminated;
    char16_t Char = 0;           // ttCharacter: as written, the suggestion at input end
    char16_t Folded = 0;         // ttCharacter: upper-cased A-Z
    std::int8_t Lexeme = -1;     // ttCustom: lexeme digit, -1 for the rule's handler
    std::int32_t Rule = -1;      // ttNoTerminal: rule number, -1 when the text is no number
    std::int32_t Sequence = -1;  // group and literal content; bad reference text for -1 rules
    std::int32_t FirstAlternative = 0, AlternativeCount = 0;  // ttAchoice
    std::int32_t SyntaxStart = 0, SyntaxEnd = 0;  // 1-based in the sequence's text, end exclusive
};

struct TSyntaxSequence {
    std::int32_t First = 0, Count = 0;  // range in the element array
    std::int32_t TextLength = 0;        // length of the sequence's syntax text
    bool Literal = false;               // a double-quoted literal's characters
};

class TCompiledSyntax {
public:
    static constexpr int Root = 0;
    // Grammar text nested deeper than this compiles to a fault element: it keeps the
    // compiler's own recursion bounded on any rule text.
    static constexpr int MaxNesting = 256;

    // Compiles a rewritten syntax text; never throws: faults become fault elements that
    // raise when a parse reaches them.
    explicit TCompiledSyntax(std::u16string_view syntax);

    const TSyntaxSequence& Sequence(int i) const { return FSequences[static_cast<size_t>(i)]; }
    const TSyntaxElement& Element(int i) const { return FElements[static_cast<size_t>(i)]; }
    int Alternative(int i) const { return FAlternatives[static_cast<size_t>(i)]; }
    const std::string& BadReference(int i) const { return FBadReferences[static_cast<size_t>(i)]; }
    // Rule numbers this syntax refers to (for the loader's check).
    std::vector<int> ReferencedRules() const;

private:
    int CompileSequence(std::u16string_view text, bool literal, int depth);
    // Reads the element at text[i]; returns the index after it, or npos after a fault.
    size_t CompileElement(std::u16string_view text, size_t i, int depth, TSyntaxElement& e);
    void CompileGroup(std::u16string_view content, int depth, TSyntaxElement& e);
    void CompileChoice(std::u16string_view content, int depth, TSyntaxElement& e);

    std::vector<TSyntaxSequence> FSequences;
    std::vector<TSyntaxElement> FElements;
    std::vector<std::int32_t> FAlternatives;
    std::vector<std::string> FBadReferences;
};

} // namespace vorn::engine

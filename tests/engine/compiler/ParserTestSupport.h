#pragma once
// Helpers shared by the syntax parser tests: grammar files from the test data and the
// lexical settings of the Pascal-like language (remarks, reserved-word veto).

#include <fstream>
#include <ostream>
#include <set>
#include <sstream>
#include <string>

#include "engine/compiler/SyntaxParser.h"

namespace vorn::engine {

// Outcomes print by name in test failures.
inline void PrintTo(TSyntaxResult r, std::ostream* os)
{
    static const char* const names[] = {"srNotDefined", "srCorrect", "srIncomplete", "srOverFlow", "srIncorrect"};
    *os << (r <= srIncorrect ? names[r] : "?");
}

} // namespace vorn::engine

namespace vorn::engine::test {

inline std::string ReadTestFile(const std::string& relativePath)
{
    std::ifstream in(std::string(VORN_TEST_DATA) + "/" + relativePath, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Loads the Pascal grammar with the language's remarks and its identifier veto: a
// reserved word is an identifier only after the dot of a member chain.
inline void LoadPascalGrammar(TatSyntaxParser& parser)
{
    parser.SetGrammarText(ReadTestFile("grammar/pascal.grm"));
    parser.SetStringDelimitter(u'\'');
    parser.Comments().Clear();
    parser.Comments().Add("{", "}");
    parser.Comments().Add("(*", "*)");
    parser.Comments().Add("//", "\r");
    static const std::set<std::string> reserved = {
        "begin", "end", "var", "try", "except", "finally", "do", "if", "then", "while", "for",
        "repeat", "until", "case", "with", "not", "and", "or", "xor", "div", "mod", "shl", "shr",
        "is", "as", "procedure", "function", "program", "to", "step", "const", "forward"};
    const int idRule = parser.NoTerminals().IndexOf("id");
    parser.NoTerminals().GetItem(idRule)->FOnAcceptNode = [](TNoTerminalNode* node) {
        std::string word = node->GetInputToken();
        for (char& c : word)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        if (!reserved.count(word))
            return true;
        TNoTerminalNode* parent = node->GetParentNode();
        TNoTerminalNode* grandParent = parent ? parent->GetParentNode() : nullptr;
        return grandParent && parent->NoTerminalIndex() == grandParent->NoTerminalIndex();
    };
}

} // namespace vorn::engine::test

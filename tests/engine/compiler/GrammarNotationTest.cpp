// The notation element by element: each row is a one-rule grammar, a raw input (no line
// break added), the outcome, where the parse stopped and the furthest position reached.

#include <gtest/gtest.h>

#include "engine/compiler/SyntaxParser.h"
#include "tests/engine/compiler/ParserTestSupport.h"

namespace vorn::engine {
namespace {

struct TNotationCase {
    const char* Syntax;
    const char* Input;
    TSyntaxResult Result;
    int InputPos;     // one past the consumed input
    int MaxInputPos;
};

const TNotationCase kNotationCases[] = {
    // characters fold A-Z only
    {"begin", "BeGiN", srCorrect, 6, 0},
    {"begin", "begix", srIncorrect, 5, 5},
    {"begin", "beg", srIncomplete, 4, 4},
    {"\xC3\xA9", "\xC3\x89", srIncorrect, 1, 1},  // é does not match É: only a-z fold
    {"be{x|y}gin", "beygin", srCorrect, 7, 4},  // the matched alternative stopped short of the end
    // ordered choice, decided once
    {"{a|b}", "b", srCorrect, 2, 1},
    {"{ab|a}c", "ac", srCorrect, 3, 2},
    {"{a|ab}c", "abc", srIncorrect, 2, 2},
    {"{a|ab}", "ab", srOverFlow, 2, 2},
    {"{a|}", "", srCorrect, 1, 1},
    {"{a|b}", "", srIncomplete, 1, 1},
    {"{a|b}", "c", srIncorrect, 1, 1},
    // optional and repetition
    {"[x]y", "y", srCorrect, 2, 1},
    {"(x)", "y", srIncorrect, 1, 1},
    {"(a)", "aaa", srCorrect, 4, 4},
    {"(a)b", "aab", srCorrect, 4, 3},
    {"([a])", "b", srOverFlow, 1, 1},      // empty body: one empty match, then it stops
    {"([a])", "aa", srCorrect, 3, 3},
    {"({a|})b", "aab", srCorrect, 4, 3},
    // character classes
    {"#", "5", srCorrect, 2, 0},
    {"#", "x", srIncorrect, 1, 1},
    {"@", "_", srCorrect, 2, 0},
    {"@", "q", srCorrect, 2, 0},
    {"@", "1", srIncorrect, 1, 1},
    {"@", "\xC3\xA9", srIncorrect, 1, 1},   // letters beyond A-Z only with Unicode identifiers
    {"%", "", srIncomplete, 1, 1},
    {"%%", "\xF0\x9F\x98\x80", srCorrect, 3, 0},  // one character outside the BMP is two positions
    // word end
    {"begin~", "begin x", srOverFlow, 7, 7},
    {"begin~", "begin(", srOverFlow, 6, 6},
    {"begin~", "begin;", srOverFlow, 6, 6},
    {"begin~", "beginx", srIncorrect, 6, 6},
    {"begin~", "begin", srIncomplete, 6, 6},
    // strings with doubled delimiters
    {"$", "'it''s'", srCorrect, 8, 0},
    {"$", "'abc", srIncomplete, 5, 5},
    {"$", "abc", srIncorrect, 1, 1},
    {"$ $", "'a''' 'b'", srCorrect, 10, 0},
    // literals: every character plain, remarks skipped between letters
    {"\"end if\"", "END IF", srCorrect, 7, 0},
    {"\"end if\"", "end  if", srIncorrect, 5, 5},
    {"\"end if\"", "e{x}nd if", srCorrect, 10, 0},
    {"\"<>\"", "<>", srCorrect, 3, 0},
    {"\"{a|b}\"", "{a|b}", srIncomplete, 6, 6},  // the input's brace opens a remark
    {"\"\"", "", srCorrect, 1, 0},
    // blanks, line breaks and same-line blanks
    {" ", "   ", srCorrect, 4, 0},
    {" ", "", srCorrect, 1, 0},
    {"a b", "ab", srCorrect, 3, 0},
    {"a \\b", "a\r\n b", srCorrect, 6, 0},
    {"a \\b", "a b", srIncorrect, 1, 1},    // the stop is one before the element
    {"a \\b", "ab", srIncorrect, 1, 1},
    {"a ^b", "a \t b", srCorrect, 6, 0},
    {"a ^b", "a\r\nb", srIncorrect, 1, 1},
    {"a ^b", "a \nb", srIncorrect, 1, 1},
    // remarks
    {"begin", "be{x}gin", srCorrect, 9, 0},
    {"a", "a{xyz", srCorrect, 6, 0},        // a remark left open runs to the end
    {"ab", "a{1}{2}b", srIncorrect, 5, 5},  // one skip passes over one remark only
    {"a b", "a{1}{2}b", srIncorrect, 5, 5},  // a blank takes no remark by itself
    {"a[ ]b", "a{1}{2}b", srCorrect, 9, 8},  // a nested parse skips one at its start
    // plain characters: ")", "]", "}", "|", ":" close nothing here
    {"a:)]", "a:)]", srCorrect, 5, 0},
};

class NotationTest : public ::testing::TestWithParam<TNotationCase> {};

TEST_P(NotationTest, MatchesAsTabled)
{
    const TNotationCase& c = GetParam();
    TatSyntaxParser parser;
    parser.SetGrammar({std::string("<r>:") + c.Syntax});
    parser.SetInputText(c.Input);
    const TParsingResults r = parser.CheckLanguage();
    EXPECT_EQ(r.Result, c.Result);
    EXPECT_EQ(r.InputPos, c.InputPos);
    EXPECT_EQ(r.MaxInputPos, c.MaxInputPos);
}

INSTANTIATE_TEST_SUITE_P(Elements, NotationTest, ::testing::ValuesIn(kNotationCases));

TEST(Notation, CustomLexemesAndCharacterHandler)
{
    TatSyntaxParser parser;
    parser.SetGrammar({"<r>:&3&"});
    parser.SetCustomLexeme(3, "xyz");
    int handlerPos = 0;
    parser.NoTerminals().GetItem(0)->FOnAcceptCharacter = [&](TNoTerminalNode* node, int pos) {
        handlerPos = pos;
        return node == parser.Node() && parser.Input()[static_cast<size_t>(pos - 1)] == u'!';
    };
    parser.SetInputText("y!");
    EXPECT_EQ(parser.CheckLanguage().Result, srCorrect);
    EXPECT_EQ(handlerPos, 2);
    parser.SetInputText("a!");
    EXPECT_EQ(parser.CheckLanguage().Result, srIncorrect);
    parser.SetInputText("y?");
    EXPECT_EQ(parser.CheckLanguage().Result, srIncorrect);

    parser.SetGrammar({"<r>:&"});  // no handler: the bare "&" always fails
    parser.SetInputText("!");
    EXPECT_EQ(parser.CheckLanguage().Result, srIncorrect);
}

TEST(Notation, UnicodeIdentifiersCountUtf16Units)
{
    TatSyntaxParser parser;
    parser.SetGrammar({"<r>:<w> <x>", "<w>:(@)", "<x>:x"});
    parser.SetAllowUnicodeIds(true);
    parser.SetInputText("\xC3\xA9\xF0\x9D\x90\x80 x");  // é, MATHEMATICAL BOLD CAPITAL A (two units)
    ASSERT_EQ(parser.CheckLanguage().Result, srCorrect);
    const TNoTerminalNode* word = parser.Node()->GetItem(0);
    EXPECT_EQ(word->InputInitialPos(), 1);
    EXPECT_EQ(word->InputFinalPos(), 3);
    EXPECT_EQ(word->GetInputToken(), "\xC3\xA9\xF0\x9D\x90\x80");
    EXPECT_EQ(parser.Node()->GetItem(1)->InputInitialPos(), 5);
}

TEST(Notation, RuleNamesMatchCaseInsensitivelyAndFlagsSetReverseScanning)
{
    TatSyntaxParser parser;
    parser.SetGrammar({"<program>:<Unary>", "<unary>R:-", "<other>r:x"});
    EXPECT_EQ(parser.NoTerminals().GetItem(0)->Syntax(), "<1>");
    EXPECT_EQ(parser.NoTerminals().GetItem(0)->SyntaxText(), "<Unary>");
    EXPECT_TRUE(parser.NoTerminals().GetItem(1)->ReverseScanning());
    EXPECT_FALSE(parser.NoTerminals().GetItem(2)->ReverseScanning());
    EXPECT_EQ(parser.NoTerminals().IndexOf("UNARY"), 1);
    EXPECT_EQ(parser.NoTerminals().IndexOf("none"), -1);
}

TEST(Notation, LiteralsKeepAngleBracketsAndUnclosedReferenceKeepsOnlyLiterals)
{
    TatSyntaxParser parser;
    parser.SetGrammar({"<op>:{\"<>\"|\">=\"|<op2>}", "<op2>:x<abc\"<\"def"});
    EXPECT_EQ(parser.NoTerminals().GetItem(0)->Syntax(), "{\"<>\"|\">=\"|<1>}");
    EXPECT_EQ(parser.NoTerminals().GetItem(1)->Syntax(), "x\"<\"");
}

TEST(Notation, ChoicesHaveNoFixedLimit)
{
    std::string syntax = "{";
    for (int i = 0; i < 40; ++i)
        syntax += (i ? "|" : "") + std::string("k") + std::to_string(i) + "z";
    syntax += "}";
    TatSyntaxParser parser;
    parser.SetGrammar({"<r>:" + syntax});
    parser.SetInputText("k39z");
    EXPECT_EQ(parser.CheckLanguage().Result, srCorrect);
}

TEST(Notation, SuggestionIsTheExpectedCharacterAtInputEnd)
{
    struct TCase {
        const char* Syntax;
        const char* Input;
        char16_t Suggestion;
    } cases[] = {
        {"begin", "beg", u'i'},
        {"{ab|ac}", "a", 0},       // alternatives disagree
        {"{ab|ab}", "a", u'b'},
        {"(a)b", "aa", 0},         // not after a repetition's first match
        {"a b", "a ", 0},          // not after a blank run
        {"[x]y", "", 0},           // not after a failed optional group
        {"$", "'ab", 0},
    };
    for (const TCase& c : cases) {
        TatSyntaxParser parser;
        parser.SetGrammar({std::string("<r>:") + c.Syntax});
        parser.SetInputText(c.Input);
        const TParsingResults r = parser.CheckLanguage();
        EXPECT_EQ(r.Result, srIncomplete) << c.Syntax;
        EXPECT_EQ(r.Suggestion, c.Suggestion) << c.Syntax;
    }
}

} // namespace
} // namespace vorn::engine

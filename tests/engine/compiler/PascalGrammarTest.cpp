// The Pascal grammar text from the test data loads and reads small programs; an opt-in
// robustness run parses a whole source tree (VORN_FPC_SOURCE) against a small grammar.

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "engine/compiler/TextLines.h"
#include "tests/engine/compiler/ParserTestSupport.h"

namespace vorn::engine {
namespace {

TEST(PascalGrammar, LoadsSeventyThreeRules)
{
    const std::string text = test::ReadTestFile("grammar/pascal.grm");
    const std::vector<std::string> lines = SplitLines(text);
    ASSERT_EQ(lines.size(), 73u);
    EXPECT_EQ(JoinLines(lines).size(), 3462u);
    TatSyntaxParser parser;
    test::LoadPascalGrammar(parser);
    ASSERT_EQ(parser.NoTerminals().Count(), 73);
    EXPECT_EQ(parser.NoTerminals().IndexOf("id"), 52);
    EXPECT_TRUE(parser.NoTerminals().GetItem(4)->ReverseScanning());
    EXPECT_TRUE(parser.NoTerminals().GetItem(35)->ReverseScanning());
    EXPECT_EQ(parser.NoTerminals().GetItem(52)->Syntax(), "{@|_}[({@|#|_})]");
}

struct TPascalCase {
    const char* Source;
    TSyntaxResult Result;
};

const TPascalCase kPascalCases[] = {
    {"", srCorrect},
    {"begin end.", srCorrect},
    {"x := 1", srCorrect},
    {"program Test;\nvar a, b: Integer;\nbegin\n  a := $FF + 1.5e3 * (b - 2);\n  ShowMessage('it''s' + #13#10);\nend.", srCorrect},
    {"uses Classes, SysUtils;\n"
     "function Twice(x: Integer): Integer;\nbegin\n  result := x * 2;\nend;\n"
     "procedure Show(var s: string);\nbegin\n  if s <> '' then s := s + '!' else s := 'empty';\nend;\n"
     "var i: Integer;\nbegin\n  for i := 1 to 10 do Show(IntToStr(Twice(i)));\n"
     "  while i > 0 do begin i := i - 1 end;\n  repeat i := i + 1 until i >= 3;\n"
     "  case i of 1: Show('one'); 2, 3: Show('more'); else Show('other') end;\n"
     "  try Obj.Free; except Obj := nil end;\n  with Obj do Caption := 'x';\nend.",
     srCorrect},
    {"{ remark } (* another *) // and one more\nbegin Obj.End := not Done end.", srCorrect},
    {"var end: Integer;\nbegin end.", srIncorrect},
    {"var Else: Integer;\nbegin end.", srCorrect},
    {"begin x := (1 + end.", srIncorrect},
};

class PascalProgramTest : public ::testing::TestWithParam<TPascalCase> {};

TEST_P(PascalProgramTest, ParsesAsExpected)
{
    TatSyntaxParser parser;
    test::LoadPascalGrammar(parser);
    parser.SetStringsText(GetParam().Source);
    const TParsingResults r = parser.CheckLanguage();
    EXPECT_EQ(r.Result == srCorrect ? srCorrect : srIncorrect, GetParam().Result) << "stopped at " << r.MaxInputPos;
}

INSTANTIATE_TEST_SUITE_P(Programs, PascalProgramTest, ::testing::ValuesIn(kPascalCases));

TEST(PascalGrammar, SyntaxErrorPositionConvertsToRowAndColumn)
{
    TatSyntaxParser parser;
    test::LoadPascalGrammar(parser);
    parser.SetStringsText("begin\n  x := 1;\n  y := ) 2;\nend.");
    const TParsingResults r = parser.CheckLanguage();
    ASSERT_NE(r.Result, srCorrect);
    int row = 0, col = 0;
    GetRowColFromStrings(parser.Strings(), r.MaxInputPos - 1, row, col);
    EXPECT_EQ(row, 3);
    EXPECT_EQ(col, 8);
}

TEST(PascalGrammar, DeepBracketsEndAtTheDepthLimit)
{
    TatSyntaxParser parser;
    test::LoadPascalGrammar(parser);
    parser.SetStringsText("begin x := " + std::string(100000, '(') + "1" + std::string(100000, ')') + " end.");
    EXPECT_NE(parser.CheckLanguage().Result, srCorrect);
    EXPECT_EQ(parser.LimitReached(), plDepth);
}

// Opt-in: VORN_FPC_SOURCE names a folder of Pascal sources (for example Debian's fpc-source
// under /usr/share/fpcsrc). Each *.pas / *.pp file must end cleanly, success or syntax error.
TEST(PascalGrammar, RobustnessCorpus)
{
    const char* folder = std::getenv("VORN_FPC_SOURCE");
    if (!folder || !*folder)
        GTEST_SKIP() << "VORN_FPC_SOURCE is not set";
    TatSyntaxParser parser;
    parser.SetGrammarText(test::ReadTestFile("grammar/pascal-tokens.grm"));
    parser.Comments().Clear();
    parser.Comments().Add("{", "}");
    parser.Comments().Add("(*", "*)");
    parser.Comments().Add("//", "\n");
    parser.SetCustomLexeme(0, "+-*/=<>()[].,;:^@&#$");
    const int wordRule = parser.NoTerminals().IndexOf("word");
    parser.NoTerminals().GetItem(wordRule)->FOnAcceptNode = [](TNoTerminalNode* n) {
        std::string w = n->GetInputToken();
        for (char& c : w)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        return w != "end" && w != "begin" && w != "case" && w != "record" && w != "try";
    };
    int files = 0, correct = 0;
    double slowest = 0;
    std::string slowestName;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        const std::string ext = entry.path().extension().string();
        if (!entry.is_regular_file() || (ext != ".pas" && ext != ".pp"))
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        parser.SetStringsText(text.str());
        const auto start = std::chrono::steady_clock::now();
        const TParsingResults r = parser.CheckLanguage();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ++files;
        correct += r.Result == srCorrect;
        if (seconds > slowest) {
            slowest = seconds;
            slowestName = entry.path().string();
        }
        EXPECT_NE(r.Result, srNotDefined) << entry.path();
        EXPECT_LT(seconds, 30.0) << entry.path();  // only a runaway parse comes near this
    }
    std::printf("parsed %d files, %d correct, slowest %.3f s (%s)\n", files, correct, slowest, slowestName.c_str());
    EXPECT_GT(files, 0);
}

} // namespace
} // namespace vorn::engine

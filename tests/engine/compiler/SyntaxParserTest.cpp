// The parser beyond single elements: grammar faults and their texts, remarks and their
// handlers, the tree and its scan, limits on depth and effort, and row/column conversion.

#include <gtest/gtest.h>

#include "engine/compiler/SyntaxParser.h"
#include "tests/engine/compiler/ParserTestSupport.h"
#include "engine/compiler/TextLines.h"

namespace vorn::engine {
namespace {

TParsingResults Parse(TatSyntaxParser& parser, std::vector<std::string> grammar, std::string_view input)
{
    parser.SetGrammar(std::move(grammar));
    parser.SetInputText(input);
    return parser.CheckLanguage();
}

std::string ErrorOf(std::vector<std::string> grammar, std::string_view input)
{
    TatSyntaxParser parser;
    try {
        Parse(parser, std::move(grammar), input);
    } catch (const EParserError& e) {
        EXPECT_FALSE(parser.Parsing());
        return e.Message();
    }
    return "no error";
}

TEST(SyntaxParserErrors, GrammarFaultsRaiseWhenReachedWithTheRuleName)
{
    struct TCase {
        std::vector<std::string> Grammar;
        const char* Input;
        const char* Message;
    } cases[] = {
        {{"<start>:\"abc"}, "abc", "Incorrect grammar. Literal string not terminated on 'start'"},
        {{"<start>:[abc"}, "abc", "Incorrect grammar. Subexpression not terminated on 'start'"},
        {{"<start>:a(b"}, "ab", "Incorrect grammar. Subexpression not terminated on 'start'"},
        {{"<start>:{a|b"}, "a", "Incorrect grammar. Subexpression not terminated on 'start'"},
        {{"<start>:[]"}, "", "Incorrect grammar. Subexpression is empty on 'start'"},
        {{"<start>:a<sub>", "<sub>:()"}, "a", "Incorrect grammar. Subexpression is empty on 'sub'"},
        {{"<start>:{}"}, "", "Incorrect grammar. Subexpression is empty on 'start'"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(ErrorOf(c.Grammar, c.Input), c.Message);
    // A fault the parse never reaches raises nothing.
    EXPECT_EQ(ErrorOf({"<start>:{a|[b}"}, "a"), "no error");
}

TEST(SyntaxParserErrors, UndefinedRuleReferenceIsRefusedWhenTheGrammarLoads)
{
    TatSyntaxParser parser;
    struct TCase {
        std::vector<std::string> Grammar;
        const char* Message;
    } cases[] = {
        {{"<start>:a<nope>", "<x>:b"}, "Incorrect grammar. Rule '<nope>' is not defined, referenced on 'start'"},
        {{"<start>:a", "<x>:b<>"}, "Incorrect grammar. Rule '<>' is not defined, referenced on 'x'"},
        {{"<start>:a>b"}, "Incorrect grammar. Rule '<>' is not defined, referenced on 'start'"},
    };
    for (const TCase& c : cases) {
        try {
            parser.SetGrammar(c.Grammar);
            ADD_FAILURE() << "loaded";
        } catch (const EParserError& e) {
            EXPECT_EQ(e.Message(), c.Message);
        }
        EXPECT_EQ(parser.NoTerminals().Count(), 0);
    }
    // A rule deleted after loading is caught when a parse reaches its number.
    parser.SetGrammar({"<start>:a<x>", "<x>:b"});
    parser.NoTerminals().Delete(1);
    parser.NoTerminals().Delete(7);  // ignored
    parser.SetInputText("ab");
    try {
        parser.CheckLanguage();
        ADD_FAILURE() << "parsed";
    } catch (const EParserError& e) {
        EXPECT_EQ(e.Message(), "Incorrect grammar. Invalid rule reference '<1>' on 'start'");
    }
}

TEST(SyntaxParserErrors, MisuseTexts)
{
    TatSyntaxParser parser;
    EXPECT_THROW(
        try { parser.SetCurrentInputPos(3); } catch (const EParserError& e) {
            EXPECT_STREQ(e.what(), "SetCurrentInputPos should only be called when processing input remarks");
            throw;
        },
        EParserError);
    EXPECT_THROW(parser.SetContinueOnRemarks(true), EParserError);
    EXPECT_THROW(parser.SetCurrentMaxInputPos(1), EParserError);
    EXPECT_THROW(parser.SetInput("x"), EParserError);
    EXPECT_THROW(parser.IncludeInput("x"), EParserError);

    parser.SetGrammar({"<r>:a"});
    parser.SetInputText("{x}a");
    parser.FOnExtractRemark = [](TatSyntaxParser& p, int, int) { p.Clear(); };
    try {
        parser.CheckLanguage();
        ADD_FAILURE();
    } catch (const EParserError& e) {
        EXPECT_EQ(e.Message(), "Cannot clear parser when parsing");
    }
    EXPECT_FALSE(parser.Parsing());
    EXPECT_FALSE(parser.ProcessingRemarks());

    parser.FOnExtractRemark = nullptr;
    parser.CheckLanguage();
    try {
        parser.FindNodeByPosition(99);
        ADD_FAILURE();
    } catch (const EParserError& e) {
        EXPECT_EQ(e.Message(), "Tentativa de acessar uma posição inexistente no fonte");
    }
}

TEST(SyntaxParserLimits, DeepNestingEndsAsSyntaxErrorAtTheDepthLimit)
{
    TatSyntaxParser parser;
    const std::string input = std::string(100000, '(') + "x" + std::string(100000, ')');
    const TParsingResults r = Parse(parser, {"<e>:{\"(\"<e>\")\"|x}"}, input);
    EXPECT_EQ(r.Result, srIncorrect);
    EXPECT_EQ(parser.LimitReached(), plDepth);
    EXPECT_GT(r.MaxInputPos, 100);
    EXPECT_LT(r.MaxInputPos, 100000);

    // Within the limit the same grammar parses.
    const std::string shallow = std::string(200, '(') + "x" + std::string(200, ')');
    EXPECT_EQ(Parse(parser, {"<e>:{\"(\"<e>\")\"|x}"}, shallow).Result, srCorrect);
    EXPECT_EQ(parser.LimitReached(), plNone);
}

TEST(SyntaxParserLimits, EffortLimitEndsTheParse)
{
    TatSyntaxParser parser;
    parser.SetMaxEffort(50);
    const TParsingResults r = Parse(parser, {"<r>:(<a>)", "<a>:{x|y}"}, std::string(1000, 'y'));
    EXPECT_EQ(r.Result, srIncorrect);
    EXPECT_EQ(parser.LimitReached(), plEffort);
    parser.SetMaxEffort(0);
    EXPECT_EQ(parser.CheckLanguage().Result, srCorrect);
    EXPECT_GT(parser.Effort(), 1000);
}

TEST(SyntaxParserLimits, RepetitionOfEmptyBodyTerminates)
{
    TatSyntaxParser parser;
    const TParsingResults r = Parse(parser, {"<r>:(<e>)x", "<e>:[y]"}, "yyx");
    EXPECT_EQ(r.Result, srCorrect);
    // Two matches that read a "y" and one empty match; the empty attempt after it is undone.
    EXPECT_EQ(parser.Node()->Count(), 2);
    EXPECT_EQ(Parse(parser, {"<r>:(<e>)x", "<e>:"}, "x").Result, srCorrect);
    EXPECT_EQ(parser.Node()->Count(), 1);
}

TEST(SyntaxParserRemarks, HandlerSeesEveryRemarkEachTimeItIsRead)
{
    TatSyntaxParser parser;
    std::vector<std::pair<int, int>> reported;
    parser.FOnExtractRemark = [&](TatSyntaxParser&, int start, int final) { reported.push_back({start, final}); };
    // Both alternatives read "a" and the remark after it.
    EXPECT_EQ(Parse(parser, {"<r>:{ab|ac}"}, "a{r}c").Result, srCorrect);
    EXPECT_EQ(reported, (std::vector<std::pair<int, int>>{{2, 4}, {2, 4}}));

    // With a handler, one skip passes over every remark that follows.
    reported.clear();
    EXPECT_EQ(Parse(parser, {"<r>:ab"}, "a{1}{2}b").Result, srCorrect);
    EXPECT_EQ(reported.size(), 2u);
}

TEST(SyntaxParserRemarks, HandlerMovesPositionsAndContinuesOnRemarks)
{
    TatSyntaxParser parser;
    parser.FOnExtractRemark = [](TatSyntaxParser& p, int start, int) {
        if (p.Input()[static_cast<size_t>(start)] == u'!')
            p.SetCurrentInputPos(p.CurrentInputPos() + 1);  // also skip the character after it
    };
    EXPECT_EQ(Parse(parser, {"<r>:ab"}, "a{!}zb").Result, srCorrect);

    std::vector<int> starts;
    parser.FOnExtractRemark = [&](TatSyntaxParser& p, int start, int) {
        starts.push_back(start);
        p.SetContinueOnRemarks(true);
    };
    Parse(parser, {"<r>:abc"}, "a{1}b{2}c");
    ASSERT_GE(starts.size(), 2u);
    EXPECT_EQ(starts[0], 2);
    EXPECT_EQ(starts[1], 6);
}

TEST(SyntaxParserRemarks, DelimitersPriorDelimitersAndStrings)
{
    TatSyntaxParser parser;
    parser.Comments().Clear();
    parser.Comments().Add("rem", "\n", " ");
    // "rem" opens a remark only at the start or after a blank.
    EXPECT_EQ(Parse(parser, {"<r>:x(@) y"}, "xremark y").Result, srCorrect);
    EXPECT_EQ(Parse(parser, {"<r>:x y"}, "x REM note\ny").Result, srCorrect);
    EXPECT_EQ(Parse(parser, {"<r>:y"}, "rem note\ny").Result, srCorrect);

    // A string does not skip the remark after it; the next character element sees it.
    parser.Comments().Clear();
    parser.Comments().Add("//", "\r");
    const TParsingResults r = Parse(parser, {"<r>:$/"}, "'a'//x");
    EXPECT_EQ(r.Result, srOverFlow);
    EXPECT_EQ(r.InputPos, 5);
}

TEST(SyntaxParserRemarks, RefusedRemarksAreReported)
{
    TatSyntaxParser parser;
    parser.FOnExtractRemark = [](TatSyntaxParser&, int, int) {};
    std::vector<int> refused;
    parser.FOnRefuseRemarks = [&](TInclude* include, int pos) {
        EXPECT_EQ(include, nullptr);
        refused.push_back(pos);
    };
    EXPECT_EQ(Parse(parser, {"<r>:{ab|ac}"}, "a{r}c").Result, srCorrect);
    EXPECT_EQ(refused, std::vector<int>{1});
}

struct TTreeFixture : ::testing::Test {
    TatSyntaxParser parser;
    void SetUp() override
    {
        parser.SetGrammar({
            "<stmt>:<id> := <expr>[ ;] ",
            "<expr>:<term>[( <op> <term>)]",
            "<term>:{<id>|<num>}",
            "<op>:{+|-}",
            "<id>:{@|_}[({@|#|_})]",
            "<num>:(#)",
            "<list>R:",
        });
        parser.SetStringsText("x := a + 12{c} - b;");
    }
};

TEST_F(TTreeFixture, NodesCoverTheirInputWithRelativePositions)
{
    ASSERT_EQ(parser.CheckLanguage().Result, srCorrect);
    TNoTerminalNode* top = parser.Node();
    EXPECT_EQ(top->InputInitialPos(), 1);
    EXPECT_EQ(top->InputFinalPos(), 21);  // the line and its CR LF
    ASSERT_EQ(top->Count(), 2);
    TNoTerminalNode* expr = top->GetItem(1);
    EXPECT_EQ(expr->GetInputToken(), "a + 12{c} - b");
    ASSERT_EQ(expr->Count(), 5);
    TNoTerminalNode* twelve = expr->GetItem(2);
    EXPECT_EQ(twelve->GetInputToken(), "12{c}");
    EXPECT_EQ(twelve->GetStrToken(), "12");
    EXPECT_EQ(twelve->InitialPos(), 5);  // relative to the expression's first character
    EXPECT_EQ(twelve->TokenLenght(), 5);
    EXPECT_EQ(twelve->GetInputChar(1), u'2');
    EXPECT_EQ(twelve->GetItem(0)->GetParentNode(), twelve);
    EXPECT_EQ(expr->Nodes().IndexOf(3), 1);
    EXPECT_EQ(expr->Nodes().FindByNoTerminalName("OP"), expr->GetItem(1));
    EXPECT_EQ(expr->Nodes().FindByNoTerminalName("list"), nullptr);
    EXPECT_EQ(expr->Nodes().FindByNoTerminalName("nothing"), nullptr);
    EXPECT_EQ(parser.FindNodeByPosition(11)->GetInputToken(), "12{c}");
    EXPECT_EQ(parser.FindNodeByPosition(10)->NoTerminalIndex(), 5);
    EXPECT_EQ(parser.FindNodeByPosition(1)->NoTerminalIndex(), 4);
}

TEST_F(TTreeFixture, ScanRunsHandlersInOrderReverseAndWithoutBranching)
{
    ASSERT_EQ(parser.CheckLanguage().Result, srCorrect);
    std::string trace;
    auto& rules = parser.NoTerminals();
    rules.GetItem(4)->AssignNodeScanningEvents([&](TNoTerminalNode* n) { trace += "id:" + n->GetInputToken() + " "; }, nullptr);
    rules.GetItem(5)->AssignNodeScanningEvents(nullptr, [&](TNoTerminalNode* n) {
        trace += "num@" + std::to_string(parser.ScanningInputPos()) + " ";
        (void)n;
    });
    EXPECT_TRUE(parser.ScanSyntaxTree());
    EXPECT_EQ(trace, "id:x id:a num@14 id:b ");

    trace.clear();
    rules.GetItem(1)->SetReverseScanning(true);
    parser.ScanSyntaxTree();
    EXPECT_EQ(trace, "id:x id:b num@14 id:a ");

    trace.clear();
    rules.GetItem(1)->AssignNodeScanningEvents([&](TNoTerminalNode*) { parser.SetDisableBranching(true); }, nullptr);
    parser.ScanSyntaxTree();
    EXPECT_EQ(trace, "id:x ");
}

TEST_F(TTreeFixture, VetoAndNodeNotifications)
{
    int created = 0, refused = 0;
    parser.SetOnNewNode([&](TNoTerminalNode*) { ++created; });
    parser.FOnRefuseNode = [&](TNoTerminalNode*) { ++refused; };
    parser.NoTerminals().GetItem(4)->FOnAcceptNode = [](TNoTerminalNode* n) { return n->GetInputToken() != "b"; };
    const TParsingResults r = parser.CheckLanguage();
    EXPECT_EQ(r.Result, srOverFlow);  // "- b" is refused, the statement ends before it
    EXPECT_GT(refused, 0);
    int kept = 0;
    std::vector<TNoTerminalNode*> work{parser.Node()};
    while (!work.empty()) {
        TNoTerminalNode* n = work.back();
        work.pop_back();
        for (int i = 0; i < n->Count(); ++i, ++kept)
            work.push_back(n->GetItem(i));
    }
    EXPECT_EQ(created - refused, kept);
}

TEST(SyntaxParserResults, EmptyMatchAndCodeCompletionTarget)
{
    TatSyntaxParser parser;
    // An empty input against a start rule that matches nothing.
    EXPECT_EQ(Parse(parser, {"<r>:[a]"}, "").Result, srCorrect);
    EXPECT_EQ(Parse(parser, {"<r>:[<e>]x", "<e>:"}, "x").Result, srCorrect);
    EXPECT_EQ(parser.Node()->GetItem(0)->TokenLenght(), 0);
    // No rules at all: only the empty input matches.
    TatSyntaxParser empty;
    empty.SetInputText("");
    EXPECT_EQ(empty.CheckLanguage().Result, srCorrect);
    empty.SetInputText("a");
    EXPECT_EQ(empty.CheckLanguage().Result, srOverFlow);

    // With a target position the input ends there and incomplete matches count.
    parser.SetGrammar({"<r>:(<w> )", "<w>:begin"});
    parser.SetInputText("begin beg and more");
    parser.SetTargetPos(9);
    EXPECT_EQ(parser.CheckLanguage().Result, srCorrect);
    ASSERT_EQ(parser.Node()->Count(), 2);
    EXPECT_EQ(parser.Node()->GetItem(1)->GetInputToken(), "beg");
    parser.SetTargetPos(500);  // beyond the text: the text's end bounds the parse
    const TParsingResults r = parser.CheckLanguage();
    EXPECT_EQ(r.Result, srOverFlow);
    EXPECT_EQ(r.MaxInputPos, 10);
}

TEST(TextLines, RowColumnFromOffset)
{
    const std::vector<std::string> lines = {"abc", "de"};
    struct TCase {
        int Offset, Row, Col;
    } cases[] = {{0, 1, 1}, {2, 1, 3}, {3, 1, 3}, {4, 1, 3}, {5, 2, 1}, {6, 2, 2}, {8, 2, 2}, {9, 3, 1}, {50, 3, 1}, {-1, 1, 1}};
    for (const TCase& c : cases) {
        int row = 0, col = 0;
        GetRowColFromStrings(lines, c.Offset, row, col);
        EXPECT_EQ(row, c.Row) << c.Offset;
        EXPECT_EQ(col, c.Col) << c.Offset;
    }
    int row = 0, col = 0;
    GetRowColFromStrings(std::vector<std::string>{"", "x"}, 0, row, col);  // an empty line gives column 0
    EXPECT_EQ(col, 0);
    GetRowColFromStrings(std::vector<std::string>{"\xF0\x9F\x98\x80z", "x"}, 2, row, col);  // the emoji is two units
    EXPECT_EQ(row, 1);
    EXPECT_EQ(col, 3);
    GetRowColFromStrings(std::vector<std::string>{"\xF0\x9F\x98\x80z", "x"}, 5, row, col);
    EXPECT_EQ(row, 2);
    EXPECT_EQ(col, 1);
}

TEST(TextLines, SplitAndJoin)
{
    EXPECT_EQ(SplitLines("a\r\nb\nc\rd\r\n"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("a\n\nb"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_TRUE(SplitLines("").empty());
    EXPECT_EQ(JoinLines({"a", "b"}), "a\r\nb\r\n");
}

} // namespace
} // namespace vorn::engine

// Included input switched in by a remark handler, and rewriting the input through the tree.

#include <gtest/gtest.h>

#include "engine/compiler/SyntaxParser.h"
#include "tests/engine/compiler/ParserTestSupport.h"

namespace vorn::engine {
namespace {

// Remarks "{$I name}" include the text the map holds for name.
struct TIncludeFixture : ::testing::Test {
    TatSyntaxParser parser;
    std::map<std::string, std::string> files;
    int handlerCalls = 0;
    void SetUp() override
    {
        parser.FOnExtractRemark = [](TatSyntaxParser& p, int start, int final) {
            const std::string remark = p.InputText(start, final);
            if (remark.rfind("{$I ", 0) == 0)
                p.IncludeInput(remark.substr(4, remark.size() - 5));
        };
        parser.FOnIncludeInput = [this](TatSyntaxParser&, const std::string& name, std::string& buffer, void*& info) {
            ++handlerCalls;
            buffer = files[name];
            info = &files;
        };
    }
    TParsingResults Parse(std::vector<std::string> grammar, std::string_view input)
    {
        parser.SetGrammar(std::move(grammar));
        parser.SetInputText(input);
        return parser.CheckLanguage();
    }
};

TEST_F(TIncludeFixture, ParseContinuesInsideTheIncludeAndResumesAfterIt)
{
    // The end test resumes the outer input, so a node ends before the include's end
    // and the blank after it reads across.
    files["inc"] = "bc ";
    EXPECT_EQ(Parse({"<r>:a<x> d", "<x>:bc"}, "a{$I inc}d").Result, srCorrect);
    ASSERT_EQ(parser.Includes().Count(), 1);
    TNoTerminalNode* x = parser.Node()->GetItem(0);
    EXPECT_EQ(x->Include(), parser.Includes().GetItem(0));
    EXPECT_EQ(parser.Includes().GetItem(0)->InfoObject(), &files);
    EXPECT_EQ(x->GetInputToken(), "bc");
    EXPECT_EQ(parser.CurrentInclude(), nullptr);
    EXPECT_EQ(parser.SavedInputs().Count(), 0);
}

TEST_F(TIncludeFixture, IncludeEndsAtItsOwnTextNotAtTheMainText)
{
    files["long"] = std::string(40, 'b');  // longer than the main text
    EXPECT_EQ(Parse({"<r>:(b)x"}, "{$I long}x").Result, srCorrect);
}

TEST_F(TIncludeFixture, SecondRequestReusesTheStoredText)
{
    files["inc"] = "bb";
    EXPECT_EQ(Parse({"<r>:bb bb"}, "{$I inc}{$I inc}").Result, srCorrect);
    EXPECT_EQ(handlerCalls, 1);
    EXPECT_EQ(parser.Includes().Count(), 1);
    EXPECT_EQ(parser.Includes().IndexOf("INC"), 0);
    EXPECT_EQ(parser.Includes().FindByName("other"), nullptr);
}

TEST_F(TIncludeFixture, NodeMustEndInTheBufferItBeganIn)
{
    files["inc"] = "bc";
    try {
        Parse({"<r>:a<x>", "<x>:bcd"}, "a{$I inc}d");
        ADD_FAILURE();
    } catch (const EParserError& e) {
        EXPECT_EQ(e.Message(), "Invalid included input buffer. Each nodes must begin and end on the same input buffer");
    }
    EXPECT_FALSE(parser.Parsing());
    EXPECT_EQ(parser.Input(), u"a{$I inc}d");  // the main input is back
}

TEST_F(TIncludeFixture, SelfIncludeIsBounded)
{
    files["me"] = "{$I me}";
    EXPECT_THROW(Parse({"<r>:x"}, "{$I me}"), EParserError);
}

struct TRebuildFixture : ::testing::Test {
    TatSyntaxParser parser;
    void SetUp() override
    {
        parser.SetGrammar({"<sum>:<id>(\"+\"<id>)", "<id>:(@)"});
        parser.SetInputText("ab+c+d");
        ASSERT_EQ(parser.CheckLanguage().Result, srCorrect);
    }
};

TEST_F(TRebuildFixture, LongerTextMovesLaterNodesAndStretchesEnclosingOnes)
{
    parser.NoTerminals().GetItem(1)->FOnNodeStringChange = [](TNoTerminalNode* n) {
        return n->GetInputToken() == "c" ? std::string("cxx") : n->GetInputToken();
    };
    EXPECT_EQ(parser.RebuildFromNodes(), "ab+cxx+d");
    TNoTerminalNode* top = parser.Node();
    EXPECT_EQ(top->InputFinalPos(), 8);
    EXPECT_EQ(top->GetItem(1)->InputInitialPos(), 4);
    EXPECT_EQ(top->GetItem(1)->InputFinalPos(), 6);
    EXPECT_EQ(top->GetItem(2)->InputInitialPos(), 8);
    EXPECT_EQ(top->GetItem(2)->GetInputToken(), "d");
    EXPECT_EQ(top->GetItem(0)->InputFinalPos(), 2);
}

TEST_F(TRebuildFixture, ChangeNodeStringDropsChildren)
{
    parser.Node()->GetItem(0)->ChangeNodeString("");
    EXPECT_EQ(parser.Node()->GetItem(1)->GetInputToken(), "c");
    EXPECT_EQ(parser.Node()->GetItem(0)->TokenLenght(), 0);
    EXPECT_TRUE(parser.TestInputString(1, "+C", false));
    EXPECT_FALSE(parser.TestInputString(1, "+C", true));
    EXPECT_FALSE(parser.TestInputString(4, "+dX", false));  // the input ends first
}

} // namespace
} // namespace vorn::engine

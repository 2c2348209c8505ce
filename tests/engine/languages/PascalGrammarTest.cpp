// The grammar text is pinned: rule numbers follow its lines, so it must match the
// reference copy line for line, and every rule must carry the name the generators expect.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "engine/compiler/SyntaxParser.h"
#include "engine/compiler/TextLines.h"
#include "engine/languages/PascalGrammar.h"

namespace vorn::engine {
namespace {

TEST(PascalGrammarText, TextMatchesReferenceLineForLine) {
    std::ifstream in(std::string(VORN_TEST_DATA) + "/grammar/pascal.grm", std::ios::binary);
    std::stringstream reference;
    reference << in.rdbuf();
    EXPECT_EQ(SplitLines(PascalGrammarText()), SplitLines(reference.str()));
}

TEST(PascalGrammarText, HasSeventyThreeCrLfLines) {
    const std::string_view text = PascalGrammarText();
    EXPECT_EQ(text.size(), 3462u);
    EXPECT_EQ(SplitLines(text).size(), 73u);
    size_t breaks = 0;
    for (size_t i = 0; (i = text.find("\r\n", i)) != std::string_view::npos; i += 2) ++breaks;
    EXPECT_EQ(breaks, 73u);
}

TEST(PascalGrammarText, RuleNumbersNameTheLoadedRules) {
    TatSyntaxParser parser;
    parser.SetGrammarText(PascalGrammarText());
    ASSERT_EQ(parser.NoTerminals().Count(), PascalRuleCount);
    for (int i = 0; i < PascalRuleCount; ++i) EXPECT_EQ(parser.NoTerminals().GetItem(i)->IdS(), PascalRuleName(i)) << i;
    EXPECT_EQ(noId, 52);
    EXPECT_TRUE(parser.NoTerminals().GetItem(noAssign)->ReverseScanning());
    EXPECT_TRUE(parser.NoTerminals().GetItem(noUses)->ReverseScanning());
}

} // namespace
} // namespace vorn::engine

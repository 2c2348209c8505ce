// Case folding: A-Z only for lookups, root-locale Unicode mapping through ICU.

#include "platform/CaseFolding.h"

#include <clocale>

#include <gtest/gtest.h>

namespace vorn::platform {
namespace {

TEST(CaseFoldingTest, AsciiOnly) {
    EXPECT_EQ(AsciiUpperCase("abc-xyz äé"), "ABC-XYZ äé");
    EXPECT_EQ(AsciiLowerCase(u"ABC Ä"), u"abc Ä");
    EXPECT_EQ(AsciiCompareText("abc", "ABC"), 0);
    EXPECT_LT(AsciiCompareText("abc", "ABD"), 0);
    EXPECT_GT(AsciiCompareText(u"abcd", u"ABC"), 0);
    EXPECT_LT(AsciiCompareText("", "a"), 0);
    EXPECT_TRUE(AsciiSameText(u"TatScript", u"TATSCRIPT"));
    EXPECT_FALSE(AsciiSameText("ä", "Ä"));
    // '_' (0x5F) sorts after the upper-case letters, as with the classic CompareText.
    EXPECT_GT(AsciiCompareText("_", "z"), 0);
}

TEST(CaseFoldingTest, UnicodeRootLocale) {
    struct Case {
        const char16_t *text, *upper, *lower;
    } const cases[] = {
        {u"straße", u"STRASSE", u"straße"},
        {u"Ärger öl", u"ÄRGER ÖL", u"ärger öl"},
        {u"istanbul", u"ISTANBUL", u"istanbul"}, // no Turkish dotted capital I
        {u"ı", u"I", u"ı"},                      // dotless i upper-cases to I
        {u"ΣΟΦΟΣ", u"ΣΟΦΟΣ", u"σοφος"},
        {u"", u"", u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UnicodeUpperCase(UStringView(c.text)), c.upper);
        EXPECT_EQ(UnicodeLowerCase(UStringView(c.text)), c.lower);
    }
    EXPECT_EQ(UnicodeUpperCase(std::string_view("stra\xC3\x9F" "e")), "STRASSE");
}

TEST(CaseFoldingTest, UnicodeComparison) {
    EXPECT_TRUE(UnicodeSameText(u"Straße", u"STRASSE"));
    EXPECT_TRUE(UnicodeSameText(std::string_view("\xC3\x84" "rger"), std::string_view("\xC3\xA4" "RGER")));
    EXPECT_FALSE(UnicodeSameText(u"ı", u"i"));
    EXPECT_LT(UnicodeCompareText(u"apple", u"Banana"), 0);
    EXPECT_EQ(UnicodeCompareStr(u"a", u"a"), 0);
    EXPECT_LT(UnicodeCompareStr(u"A", u"a"), 0);
    EXPECT_LT(UnicodeCompareStr(u"", u"a"), 0);
    // Code point order: a supplementary character sorts after U+FFFF.
    EXPECT_GT(UnicodeCompareStr(u"\U0001F600", u"\uFFFF"), 0);
}

} // namespace
} // namespace vorn::platform

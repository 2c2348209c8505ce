// Text conversions at the edges: UTF-8 with malformed input, UTF-16 surrogates and the
// Windows-1252 code page of narrow text.

#include "platform/Unicode.h"

#include <gtest/gtest.h>

namespace vorn::platform {
namespace {

TEST(UnicodeTest, Utf8ToUtf16WellFormed) {
    EXPECT_EQ(Utf8ToUtf16(""), u"");
    EXPECT_EQ(Utf8ToUtf16("abc"), u"abc");
    EXPECT_EQ(Utf8ToUtf16("stra\xC3\x9F" "e"), u"straße");
    EXPECT_EQ(Utf8ToUtf16("\xE2\x82\xAC"), u"€");
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80"), u"\U0001F600");
    EXPECT_EQ(Utf8ToUtf16("\xF4\x8F\xBF\xBF"), u"\U0010FFFF");
    EXPECT_EQ(Utf8ToUtf16(std::string_view("a\0b", 3)), UString(u"a\0b", 3));
}

TEST(UnicodeTest, Utf8MalformedBecomesReplacement) {
    struct Case {
        const char* bytes;
        const char16_t* text;
    } const cases[] = {
        {"\x80", u"\uFFFD"},                       // lone continuation
        {"a\xC3", u"a\uFFFD"},                     // truncated at the end
        {"\xC3(", u"\uFFFD("},                     // broken sequence, next byte kept
        {"\xC0\x80", u"\uFFFD\uFFFD"},             // overlong NUL
        {"\xE0\x80\x80", u"\uFFFD\uFFFD\uFFFD"},   // overlong three-byte form
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},   // encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // beyond U+10FFFF
        {"\xE2\x82", u"\uFFFD"},                   // maximal subpart: one replacement
        {"\xF0\x9F\x98", u"\uFFFD"},
        {"\xFF\xFE", u"\uFFFD\uFFFD"},
    };
    for (const auto& c : cases) EXPECT_EQ(Utf8ToUtf16(c.bytes), c.text) << c.bytes;
}

TEST(UnicodeTest, Utf16ToUtf8) {
    EXPECT_EQ(Utf16ToUtf8(u"straße €"), "stra\xC3\x9F" "e \xE2\x82\xAC");
    EXPECT_EQ(Utf16ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
    const char16_t loneHigh[] = {u'a', 0xD800, u'b', 0};
    EXPECT_EQ(Utf16ToUtf8(loneHigh), "a\xEF\xBF\xBD" "b");
    const char16_t loneLow[] = {0xDC00, 0};
    EXPECT_EQ(Utf16ToUtf8(loneLow), "\xEF\xBF\xBD");
    // Round trip of every BMP character outside the surrogates.
    UString all;
    for (char32_t c = 1; c < 0x10000; ++c) {
        if (c < 0xD800 || c > 0xDFFF) all += char16_t(c);
    }
    EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(all)), all);
}

TEST(UnicodeTest, Windows1252RoundTrip) {
    std::string bytes;
    for (int b = 1; b < 256; ++b) bytes += char(b);
    const UString text = AnsiToUtf16(bytes);
    EXPECT_EQ(Utf16ToAnsi(text), bytes);
    EXPECT_EQ(AnsiCharToUtf16(0x80), u'€');
    EXPECT_EQ(AnsiCharToUtf16(0x9F), u'Ÿ');
    EXPECT_EQ(AnsiCharToUtf16(0x81), char16_t(0x81)); // undefined byte: C1 control
    EXPECT_EQ(AnsiCharToUtf16(0xE9), u'é');
    EXPECT_EQ(Utf16CharToAnsi(u'€'), 0x80);
    EXPECT_EQ(Utf16CharToAnsi(u'Ω'), '?');
    EXPECT_EQ(Utf16ToAnsi(u"€5 Ω \U0001F600!"), "\x80" "5 ? ?!");
}

TEST(UnicodeTest, AsciiWidening) {
    EXPECT_EQ(AsciiToUtf16("12.5E3"), u"12.5E3");
}

} // namespace
} // namespace vorn::platform

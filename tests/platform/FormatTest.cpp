// Format directives with their argument kinds and both error texts, and FormatFloat's
// number patterns.

#include "platform/Format.h"

#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "platform/Exceptions.h"

namespace vorn::platform {
namespace {

using Args = std::vector<TFormatArg>;

TFormatArg I(int32_t v) { return TFormatArg::Integer(v); }
TFormatArg L(int64_t v) { return TFormatArg::Int64(v); }
TFormatArg F(double v) { return TFormatArg::FloatValue(v); }
TFormatArg S(const char* v) { return TFormatArg::Utf8(v); }
TFormatArg W(const char16_t* v) { return TFormatArg::Wide(v); }

TEST(FormatTest, Directives) {
    struct Case {
        const char* format;
        Args args;
        const char* text;
    } const cases[] = {
        {"%d-%s", {I(3), S("x")}, "3-x"},
        {"%5d|%-5d|%.3d|%5.3d", {I(5), I(5), I(-5), I(5)}, "    5|5    |-005|  005"},
        {"%d %D", {L(-9223372036854775807LL - 1), I(7)}, "-9223372036854775808 7"},
        {"%u %u", {I(-1), L(-1)}, "4294967295 18446744073709551615"},
        {"%x %X %.4x %x", {I(255), I(-1), I(255), L(-1)}, "FF FFFFFFFF 00FF FFFFFFFFFFFFFFFF"},
        {"%e|%E", {F(100), F(-1.5e-300)}, "1.00000000000000E+002|-1.50000000000000E-300"},
        {"%.3e|%.30e", {F(12345.678), F(1)}, "1.23E+004|1.00000000000000E+000"},
        {"%f|%.0f|%.0f|%f", {F(2.5), F(2.5), F(3.5), F(0.125)}, "2.50|3|4|0.13"},
        {"%.2f|%.2f", {F(-0.001), F(2.675)}, "0.00|2.68"},
        {"%g|%g|%g|%.3g|%g", {F(100), F(1e20), F(0.1), F(12345.678), F(1.0 / 3)},
         "100|1E20|0.1|1.23E4|0.333333333333333"},
        {"%g|%g|%g", {F(1e15), F(1e-5), F(1.5e-6)}, "1E15|0.00001|1.5E-6"},
        {"%n|%.0n|%n", {F(1234567.891), F(1234567.891), F(-1234.5)}, "1,234,567.89|1,234,568|-1,234.50"},
        {"%m|%m|%.0m", {F(1234.5), F(-1234.5), F(0.4)}, "$1,234.50|-$1,234.50|$0"},
        {"%m|%f|%g", {TFormatArg::Currency(12345000), TFormatArg::Currency(-5), TFormatArg::Currency(15)},
         "$1,234.50|0.00|0.0015"},
        {"%f|%e", {F(std::numeric_limits<double>::infinity()), F(std::nan(""))}, "INF|NAN"},
        {"%s|%.2s|%5s|%-5s|", {S("abc"), S("abc"), W(u"ab"), S("ab")}, "abc|ab|   ab|ab   |"},
        {"%.1s", {W(u"\U0001F600")}, "\xEF\xBF\xBD"}, // precision counts UTF-16 units
        {"%1:s %0:s %s", {S("a"), S("b"), S("c")}, "b a b"},
        {"%*d|%-*.*f|%*:s", {I(5), I(3), I(8), I(2), F(3.14159), I(6), S("z")}, "    3|3.14    |z"},
        {"%*d|", {I(-4), I(7)}, "7   |"},
        {"%*d|%.*f|%-*s|", {L(5), L(42), L(1), F(2.25), L(-3), S("a")}, "   42|2.3|a  |"},
        {"%%|100%%", {}, "%|100%"},
        {"%p", {TFormatArg::Pointer(0xABC)}, "0000000000000ABC"},
        {"straße %s €", {W(u"Ω")}, "straße Ω €"},
        {"no directives", {I(1)}, "no directives"},
    };
    for (const auto& c : cases) EXPECT_EQ(Format(std::string_view(c.format), c.args), c.text) << c.format;
    EXPECT_EQ(Format(UStringView(u"%s=%d"), Args{W(u"ä"), I(1)}), u"ä=1");
}

TEST(FormatTest, ErrorTexts) {
    const char* invalid = "invalid or incompatible with argument";
    struct Case {
        const char* format;
        Args args;
        const char* message; // nullptr: "Format '<format>' invalid ..."
    } const cases[] = {
        {"%d", {}, "No argument for format '%d'"},
        {"%d %d", {I(1)}, "No argument for format '%d %d'"},
        {"%3:d", {I(1)}, "No argument for format '%3:d'"},
        {"%*d", {}, "No argument for format '%*d'"},
        {"%d", {F(1.5)}, nullptr},
        {"%s", {I(5)}, nullptr},
        {"%f", {I(5)}, nullptr},
        {"%d", {TFormatArg::Currency(1)}, nullptr},
        {"%s", {TFormatArg::Boolean(true)}, nullptr},
        {"%d", {TFormatArg::Boolean(true)}, nullptr},
        {"%p", {I(1)}, nullptr},
        {"%q", {I(1)}, nullptr},
        {"%", {I(1)}, nullptr},
        {"abc%", {}, nullptr},
        {"%5", {I(1)}, nullptr},
        {"%5-d", {I(1)}, nullptr},
        {"%*d", {F(2), I(1)}, nullptr},
        {"%999999999d", {I(1)}, nullptr},
        {"%.99999999999999999999f", {F(1)}, nullptr},
        {"%*d", {I(1000000000), I(1)}, nullptr},
        {"%*d", {L(int64_t(1) << 40), I(1)}, nullptr},
        {"%*d", {L(-(int64_t(1) << 40)), I(1)}, nullptr},
    };
    for (const auto& c : cases) {
        try {
            Format(std::string_view(c.format), c.args);
            FAIL() << c.format;
        } catch (const EConvertError& e) {
            const std::string expected =
                c.message ? c.message : "Format '" + std::string(c.format) + "' " + invalid;
            EXPECT_EQ(e.Message(), expected);
        }
    }
}

TEST(FormatTest, LargeWidthsStayBounded) {
    EXPECT_EQ(Format(std::string_view("%65536d"), Args{I(1)}).size(), 65536u);
    EXPECT_THROW(Format(std::string_view("%65537d"), Args{I(1)}), EConvertError);
}

TEST(FormatTest, FormatFloatPatterns) {
    struct Case {
        const char* pattern;
        double value;
        const char* text;
    } const cases[] = {
        {"0.00", 1234.567, "1234.57"},
        {"#,##0.00", 1234567.891, "1,234,567.89"},
        {"#.##", 0.5, ".5"},
        {"0.0##", 1.5, "1.5"},
        {"0.0##", 1.23456, "1.235"},
        {"00000", 42, "00042"},
        {"#", 0, ""},
        {"0", 0, "0"},
        {"0.00E+00", 1234, "1.23E+03"},
        {"0.00E-00", 1234, "1.23E03"},
        {"0.00e+00", 0.000123, "1.23e-04"},
        {"##0.0E+0", 12345, "123.5E+2"},
        {"0.###E+000", -0.5, "-5E-001"},
        {"0.00E+00", 0, "0.00E+00"},
        {"0.00;(0.00);zero", -12.345, "(12.35)"},
        {"0.00;(0.00);zero", 0, "zero"},
        {"0.00;(0.00);zero", 0.001, "zero"},
        {"0.00;;zero", -5, "-5.00"},
        {"0.00;", -5, "-5.00"},
        {"'Total: '0.00", 5, "Total: 5.00"},
        {"\"x\"#,##0", 1234567, "x1,234,567"},
        {"'a;b' 0", 7, "a;b 7"},
        {"0.00", -0.001, "0.00"},
        {"0", 2.5, "3"},
        {"0", -2.5, "-3"},
        {"#,##0", 999.5, "1,000"},
        {"0.00", 1e20, "1E20"},
        {"", 1.5, "1.5"},
        {".00", 12.5, "12.50"},
        {"0-00", 1234, "12-34"},
        {"#,#", 1234567, "1,234,567"},
        {"0.0", 0.05, "0.1"},
        {"$#,##0.00", -1234.5, "-$1,234.50"},
        {"0 %", 45, "45 %"},
        {"0.00E+00", -1e-300, "-1.00E-300"},
        {"0.00", std::numeric_limits<double>::infinity(), "INF"},
        {"'unterminated 0", 3, "unterminated 0"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatFloat(std::string_view(c.pattern), c.value), c.text) << c.pattern;
    EXPECT_EQ(FormatFloat(UStringView(u"'€ '0.00"), 2.5), u"€ 2.50");
}

} // namespace
} // namespace vorn::platform

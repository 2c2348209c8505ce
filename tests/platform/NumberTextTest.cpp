// Number text: the general float form, the other float formats, hexadecimal, the
// whole-text parsers with their error texts, and the checked float-to-integer steps.

#include "platform/NumberText.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "platform/Exceptions.h"

namespace vorn::platform {
namespace {

struct FloatCase {
    double value;
    const char* text;
};

TEST(NumberTextTest, FloatToStrGeneralForm) {
    const double inf = std::numeric_limits<double>::infinity();
    const FloatCase cases[] = {
        {0.0, "0"},
        {-0.0, "0"},
        {0.1, "0.1"},
        {3.5, "3.5"},
        {-3.5, "-3.5"},
        {1.0 / 3, "0.333333333333333"},
        {2.0 / 3, "0.666666666666667"},
        {100, "100"},
        {123456789012345.0, "123456789012345"},
        {999999999999999.0, "999999999999999"},
        {1e15, "1E15"},
        {1e20, "1E20"},
        {1e-4, "0.0001"},
        {1e-5, "0.00001"},
        {1.5e-5, "0.000015"},
        {1.5e-6, "1.5E-6"},
        {-1.5e-6, "-1.5E-6"},
        {123456789012345678.0, "1.23456789012346E17"},
        {1e308, "1E308"},
        {1.7976931348623157e308, "1.79769313486232E308"},
        {4.9406564584124654e-324, "4.94065645841247E-324"},
        {2.2250738585072014e-308, "2.2250738585072E-308"},
        {0.000099999999999999, "0.000099999999999999"},
        {12345.678, "12345.678"},
        {9999999999999995.0, "1E16"},
        {std::numeric_limits<double>::quiet_NaN(), "NAN"},
        {inf, "INF"},
        {-inf, "-INF"},
    };
    for (const auto& c : cases) EXPECT_EQ(FloatToStr(c.value), c.text) << c.value;
}

TEST(NumberTextTest, FloatToStrFFormats) {
    using enum TFloatFormat;
    struct Case {
        double value;
        TFloatFormat format;
        int precision, digits;
        const char* text;
    } const cases[] = {
        {1234567.891, ffFixed, 15, 2, "1234567.89"},
        {1234567.891, ffNumber, 15, 2, "1,234,567.89"},
        {-1234567.891, ffNumber, 15, 0, "-1,234,568"},
        {1234567.891, ffCurrency, 15, 2, "$1,234,567.89"},
        {-1234.5, ffCurrency, 15, 2, "-$1,234.50"},
        {1234567.891, ffExponent, 15, 2, "1.23456789100000E+06"},
        {1234567.891, ffExponent, 4, 0, "1.235E+6"},
        {-0.00012, ffExponent, 3, 3, "-1.20E-004"},
        {0, ffExponent, 3, 3, "0.00E+000"},
        {1234567.891, ffGeneral, 4, 0, "1.235E6"},
        {0.125, ffFixed, 15, 2, "0.13"},
        {2.5, ffFixed, 15, 0, "3"},
        {-0.001, ffFixed, 15, 2, "0.00"},
        {999.996, ffFixed, 15, 2, "1000.00"},
        {1e30, ffFixed, 15, 2, "1E30"},
        {123, ffNumber, 15, 2, "123.00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FloatToStrF(c.value, c.format, c.precision, c.digits), c.text) << c.value;
    }
}

TEST(NumberTextTest, CurrencyAndIntegers) {
    EXPECT_EQ(CurrToStr(12345000), "1234.5");
    EXPECT_EQ(CurrToStr(-1), "-0.0001");
    EXPECT_EQ(CurrToStr(0), "0");
    EXPECT_EQ(CurrToStr(INT64_MAX), "922337203685477.5807");
    EXPECT_EQ(CurrToStr(INT64_MIN), "-922337203685477.5808");
    EXPECT_EQ(CurrToStrF(12345678, TFloatFormat::ffCurrency, 18, 2), "$1,234.57");
    EXPECT_EQ(IntToStr(INT64_MIN), "-9223372036854775808");
    EXPECT_EQ(UIntToStr(UINT64_MAX), "18446744073709551615");
    EXPECT_EQ(IntToHex(uint32_t(-1), 2), "FFFFFFFF");
    EXPECT_EQ(IntToHex(255, 4), "00FF");
    EXPECT_EQ(IntToHex(0, 0), "0");
    EXPECT_EQ(IntToHex(uint64_t(-1), 1), "FFFFFFFFFFFFFFFF");
    // An absurd width is capped instead of exhausting memory.
    EXPECT_EQ(IntToHex(1, 2000000000).size(), size_t(kMaxTextWidth));
}

TEST(NumberTextTest, StrToFloatAcceptsAndRejects) {
    struct Case {
        const char* text;
        bool ok;
        double value;
    } const cases[] = {
        {"1.5", true, 1.5},     {"  -1.5  ", true, -1.5}, {"+2", true, 2},
        {".5", true, 0.5},      {"5.", true, 5},          {"1e3", true, 1000},
        {"1E-3", true, 0.001},  {"-2.5e+2", true, -250},  {"4.9E-324", true, 4.9e-324},
        {"1e-400", true, 0},    {"1e400", false, 0},      {"", false, 0},
        {"  ", false, 0},       {"1,5", false, 0},        {"1.5x", false, 0},
        {"e5", false, 0},       {"1e", false, 0},         {"1e+", false, 0},
        {".", false, 0},        {"NAN", false, 0},        {"INF", false, 0},
        {"0x10", false, 0},     {"1 2", false, 0},        {"--1", false, 0},
    };
    for (const auto& c : cases) {
        double value = -99;
        EXPECT_EQ(TryStrToFloat(c.text, value), c.ok) << c.text;
        if (c.ok) {
            EXPECT_DOUBLE_EQ(value, c.value) << c.text;
        }
    }
    try {
        StrToFloat("1,5");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'1,5' is not a valid floating point value");
        EXPECT_STREQ(e.ClassName(), "EConvertError");
    }
}

TEST(NumberTextTest, StrToIntAcceptsAndRejects) {
    struct Case {
        const char* text;
        bool ok32, ok64;
        int64_t value;
    } const cases[] = {
        {"12", true, true, 12},
        {" -12 ", true, true, -12},
        {"$FF", true, true, 255},
        {"0x1f", true, true, 31},
        {"-$10", true, true, -16},
        {"2147483647", true, true, 2147483647},
        {"-2147483648", true, true, -2147483648LL},
        {"2147483648", false, true, 2147483648LL},
        {"9223372036854775807", false, true, INT64_MAX},
        {"-9223372036854775808", false, true, INT64_MIN},
        {"9223372036854775808", false, false, 0},
        {"$FFFFFFFF", true, true, 0xFFFFFFFFLL},
        {"$FFFFFFFFFFFFFFFF", false, true, -1},
        {"$1FFFFFFFFFFFFFFFF", false, false, 0},
        {"12x", false, false, 0},
        {"1.0", false, false, 0},
        {"", false, false, 0},
        {"$", false, false, 0},
        {"-", false, false, 0},
    };
    for (const auto& c : cases) {
        int32_t v32 = 0;
        int64_t v64 = 0;
        EXPECT_EQ(TryStrToInt(c.text, v32), c.ok32) << c.text;
        EXPECT_EQ(TryStrToInt64(c.text, v64), c.ok64) << c.text;
        if (c.ok64) {
            EXPECT_EQ(v64, c.value) << c.text;
        }
        if (c.ok32) {
            EXPECT_EQ(v32, int32_t(uint32_t(uint64_t(c.value)))) << c.text;
        }
    }
    try {
        StrToInt("12x");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'12x' is not a valid integer value");
    }
}

TEST(NumberTextTest, RoundAndTruncChecked) {
    struct Case {
        double value;
        int64_t rounded, truncated;
    } const cases[] = {
        {2.5, 2, 2},   {3.5, 4, 3},     {-2.5, -2, -2}, {-3.5, -4, -3},
        {-2.7, -3, -2}, {0.5, 0, 0},    {1.5, 2, 1},    {2.4999, 2, 2},
        {-9223372036854775808.0, INT64_MIN, INT64_MIN},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RoundToInt64(c.value), c.rounded) << c.value;
        EXPECT_EQ(TruncToInt64(c.value), c.truncated) << c.value;
    }
    for (const double bad : {9223372036854775808.0, -9.3e18, 1e300,
                             std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::infinity()}) {
        EXPECT_THROW(RoundToInt64(bad), EInvalidOp) << bad;
        EXPECT_THROW(TruncToInt64(bad), EInvalidOp) << bad;
    }
    try {
        RoundToInt64(1e300);
    } catch (const EMathError& e) {
        EXPECT_STREQ(e.what(), "Invalid floating point operation");
    }
}

} // namespace
} // namespace vorn::platform

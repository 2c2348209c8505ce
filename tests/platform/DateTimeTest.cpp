// Date-times: the 1899-12-30 epoch, leap years, negative values, the fixed text forms,
// the pattern language and the parsers with their error texts.

#include "platform/DateTime.h"

#include <array>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "platform/Exceptions.h"

namespace vorn::platform {
namespace {

TEST(DateTimeTest, EncodeDecodeAroundTheEpoch) {
    struct Case {
        int y, m, d;
        double days;
    } const cases[] = {
        {1899, 12, 30, 0},  {1899, 12, 31, 1},     {1900, 1, 1, 2},      {1899, 12, 29, -1},
        {1900, 3, 1, 61},   {2000, 2, 29, 36585},  {2024, 1, 1, 45292},  {1, 1, 1, -693593},
        {9999, 12, 31, 2958465}, {1970, 1, 1, 25569},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EncodeDate(c.y, c.m, c.d), c.days) << c.y << "-" << c.m << "-" << c.d;
        int y, m, d;
        DecodeDate(c.days, y, m, d);
        EXPECT_EQ(y * 10000 + m * 100 + d, c.y * 10000 + c.m * 100 + c.d) << c.days;
    }
    EXPECT_EQ(DayOfWeek(0), 7);                        // 1899-12-30 was a Saturday
    EXPECT_EQ(DayOfWeek(EncodeDate(2024, 6, 2)), 1);   // a Sunday
    EXPECT_EQ(DayOfWeek(-1.25), 6);
}

TEST(DateTimeTest, LeapYearsAndInvalidDates) {
    EXPECT_TRUE(IsLeapYear(2000));
    EXPECT_TRUE(IsLeapYear(2024));
    EXPECT_FALSE(IsLeapYear(1900));
    EXPECT_FALSE(IsLeapYear(2023));
    TDateTime value = 0;
    EXPECT_TRUE(TryEncodeDate(2024, 2, 29, value));
    for (const auto& bad : {std::array{2023, 2, 29}, std::array{1900, 2, 29}, std::array{2024, 13, 1},
                            std::array{2024, 0, 1}, std::array{0, 1, 1}, std::array{10000, 1, 1},
                            std::array{2024, 4, 31}}) {
        EXPECT_FALSE(TryEncodeDate(bad[0], bad[1], bad[2], value));
    }
    try {
        EncodeDate(2023, 2, 29);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Invalid argument to date encode");
    }
    try {
        EncodeTime(24, 0, 0, 0);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Invalid argument to time encode");
    }
}

TEST(DateTimeTest, NegativeDateTimesUseTheFractionsAbsoluteValue) {
    struct Case {
        double value;
        const char* text;
    } const cases[] = {
        {-1.25, "1899-12-29 06:00:00"},
        {-0.5, "1899-12-30 12:00:00"},
        {0.5, "1899-12-30 12:00:00"},
        {-2.75, "1899-12-28 18:00:00"},
        {-1, "1899-12-29"},
        {0, "1899-12-30"},
        {0.99999999999, "1899-12-31"}, // rounds to the next midnight, never 24:00:00
    };
    for (const auto& c : cases) EXPECT_EQ(DateTimeToStr(c.value), c.text) << c.value;
    EXPECT_EQ(ComposeDateTime(EncodeDate(1899, 12, 29), EncodeTime(6, 0, 0, 0)), -1.25);
    EXPECT_EQ(ComposeDateTime(EncodeDate(2024, 1, 1), 0.25), 45292.25);
}

TEST(DateTimeTest, TextForms) {
    const TDateTime value = EncodeDate(2024, 3, 7) + EncodeTime(9, 5, 3, 45);
    EXPECT_EQ(DateToStr(value), "2024-03-07");
    EXPECT_EQ(TimeToStr(value), "09:05:03");
    EXPECT_EQ(DateTimeToStr(value), "2024-03-07 09:05:03");
    EXPECT_EQ(DateTimeToStr(EncodeDate(2024, 3, 7)), "2024-03-07");
    EXPECT_THROW(DateToStr(std::numeric_limits<double>::quiet_NaN()), EConvertError);
    try {
        DateToStr(1e10);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'10000000000' is not a valid date and time");
    }
    EXPECT_EQ(DateTimeToStr(-693593.5), "0001-01-01 12:00:00");
    EXPECT_THROW(DateToStr(-693594), EConvertError);
}

TEST(DateTimeTest, FormatDateTimePatterns) {
    const TDateTime value = EncodeDate(2024, 3, 7) + EncodeTime(15, 4, 9, 7);   // a Thursday
    const TDateTime morning = EncodeDate(2024, 12, 25) + EncodeTime(0, 30, 0, 0);
    struct Case {
        const char* pattern;
        TDateTime value;
        const char* text;
    } const cases[] = {
        {"yyyy-mm-dd", value, "2024-03-07"},
        {"d/m/yy", value, "7-3-24"},
        {"dd.mm.yyyy", value, "07.03.2024"},
        {"ddd dddd", value, "Thu Thursday"},
        {"mmm mmmm", value, "Mar March"},
        {"h:n:s.z", value, "15:4:9.7"},
        {"hh:nn:ss.zzz", value, "15:04:09.007"},
        {"hh:mm", value, "15:04"},                    // m after h is the minute
        {"h:mm am/pm", value, "3:04 pm"},
        {"h:mm AM/PM", morning, "12:30 AM"},
        {"hh a/p", value, "03 p"},
        {"hh AMPM", morning, "12 AM"},
        {"c", value, "2024-03-07 15:04:09"},
        {"c", EncodeDate(2024, 3, 7), "2024-03-07"},
        {"ddddd", value, "2024-03-07"},
        {"dddddd", value, "Thursday, March 7, 2024"},
        {"t|tt", value, "15:04|15:04:09"},
        {"'yyyy' \"mm\" yyyy", value, "yyyy mm 2024"},
        {"YYYY-MM-DD HH:NN", value, "2024-03-07 15:04"},
        {"yyyymmdd_hhnnss", value, "20240307_150409"},
        {"yymmdd_hhnnss", value, "240307_150409"},
        {"'unterminated", value, "unterminated"},
        {"x#q", value, "x#q"},
        {"", value, "2024-03-07 15:04:09"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatDateTime(c.pattern, c.value), c.text) << c.pattern;
}

TEST(DateTimeTest, IncMonth) {
    EXPECT_EQ(DateToStr(IncMonth(EncodeDate(2024, 1, 31), 1)), "2024-02-29");
    EXPECT_EQ(DateToStr(IncMonth(EncodeDate(2023, 1, 31), 1)), "2023-02-28");
    EXPECT_EQ(DateToStr(IncMonth(EncodeDate(2024, 3, 15), -15)), "2022-12-15");
    EXPECT_EQ(DateTimeToStr(IncMonth(EncodeDate(2024, 3, 15) + 0.5, 12)), "2025-03-15 12:00:00");
    EXPECT_EQ(DateTimeToStr(IncMonth(-1.25, -1)), "1899-11-29 06:00:00");
    EXPECT_THROW(IncMonth(EncodeDate(9999, 12, 1), 1), EConvertError);
    EXPECT_THROW(IncMonth(EncodeDate(1, 1, 1), -1), EConvertError);
}

TEST(DateTimeTest, ParsersRoundTripAndReject) {
    struct Case {
        const char* text;
        bool date, time, dateTime;
        double value; // of whichever form accepts it
    } const cases[] = {
        {"2024-03-07", true, false, true, 45358},
        {" 1899-12-30 ", true, false, true, 0},
        {"2024-02-30", false, false, false, 0},
        {"2024/03/07", false, false, false, 0},
        {"12:30", false, true, true, 0.5208333333333334},
        {"12:30:15.500", false, true, true, (45015.5) / 86400},
        {"1:00 PM", false, true, true, 13.0 / 24},
        {"12 am", false, true, true, 0},
        {"13:00 PM", false, false, false, 0},
        {"24:00", false, false, false, 0},
        {"12", false, false, false, 0},
        {"2024-03-07 06:00", false, false, true, 45358.25},
        {"1899-12-29 06:00", false, false, true, -1.25},
        {"2024-03-07T06:00", false, false, false, 0},
        {"", false, false, false, 0},
        {"abc", false, false, false, 0},
    };
    for (const auto& c : cases) {
        TDateTime v = -99;
        EXPECT_EQ(TryStrToDate(c.text, v), c.date) << c.text;
        if (c.date) {
            EXPECT_DOUBLE_EQ(v, c.value) << c.text;
        }
        EXPECT_EQ(TryStrToTime(c.text, v), c.time) << c.text;
        if (c.time) {
            EXPECT_DOUBLE_EQ(v, c.value) << c.text;
        }
        EXPECT_EQ(TryStrToDateTime(c.text, v), c.dateTime) << c.text;
        if (c.dateTime) {
            EXPECT_DOUBLE_EQ(v, c.value) << c.text;
        }
    }
    // Round trips through the fixed text forms.
    for (const double value : {0.0, 45358.25, -1.25, 2958465.5, -693593.0}) {
        EXPECT_DOUBLE_EQ(StrToDateTime(DateTimeToStr(value)), value) << value;
    }
    // A missing year is the current one; two-digit years stay within 50 years of today.
    TDateTime v = 0;
    ASSERT_TRUE(TryStrToDate("03-07", v));
    EXPECT_EQ(FormatDateTime("mm-dd", v), "03-07");
    int y, m, d, yNow;
    DecodeDate(v, y, m, d);
    DecodeDate(Date(), yNow, m, d);
    EXPECT_EQ(y, yNow);
    ASSERT_TRUE(TryStrToDate("24-03-07", v));
    DecodeDate(v, y, m, d);
    EXPECT_LE(std::abs(y - yNow), 50);
}

TEST(DateTimeTest, ParserErrorTexts) {
    struct Case {
        TDateTime (*parse)(std::string_view);
        const char* text;
        const char* message;
    } const cases[] = {
        {StrToDate, "2024-13-01", "'2024-13-01' is not a valid date"},
        {StrToTime, "25:00", "'25:00' is not a valid time"},
        {StrToDateTime, "x", "'x' is not a valid date and time"},
    };
    for (const auto& c : cases) {
        try {
            c.parse(c.text);
            FAIL() << c.text;
        } catch (const EConvertError& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
}

TEST(DateTimeTest, ClockIsConsistent) {
    const TDateTime now = Now();
    EXPECT_GT(now, EncodeDate(2020, 1, 1));
    EXPECT_EQ(Date(), std::floor(Date()));
    EXPECT_GE(Time(), 0.0);
    EXPECT_LT(Time(), 1.0);
}

} // namespace
} // namespace vorn::platform

#pragma once
// Date-times as days since 1899-12-30 (the fraction is the time of day), with their
// text forms in the fixed formats: short date "yyyy-mm-dd", long time "hh:nn:ss".

#include <cstdint>
#include <string>
#include <string_view>

namespace vorn::platform {

using TDateTime = double;

// The fixed format settings: texts never depend on the process locale.
inline constexpr std::string_view kShortDateFormat = "yyyy-mm-dd";
inline constexpr std::string_view kLongDateFormat = "dddd, mmmm d, yyyy";
inline constexpr std::string_view kShortTimeFormat = "hh:nn";
inline constexpr std::string_view kLongTimeFormat = "hh:nn:ss";
inline constexpr char kDateSeparator = '-';
inline constexpr char kTimeSeparator = ':';

// A date-time split into its day (days since 1899-12-30, counted toward zero) and the
// milliseconds of its time of day (always from the fraction's absolute value).
struct TTimeStamp {
    int64_t Day = 0;
    int32_t MSec = 0;
};
// False (or EConvertError "'%s' is not a valid date and time") for NaN and values
// outside the years 1 to 9999.
bool TryToTimeStamp(TDateTime value, TTimeStamp& stamp);
TTimeStamp ToTimeStamp(TDateTime value);

bool TryEncodeDate(int year, int month, int day, TDateTime& result);
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& result);
// Raise EConvertError "Invalid argument to date encode" / "... time encode".
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int min, int sec, int msec);
// Decoding rounds to the millisecond first, so 0.99999999999 is the next midnight. A value
// outside the years 1 to 9999 (or NaN) raises EConvertError "'%s' is not a valid date and time".
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& min, int& sec, int& msec);
int DayOfWeek(TDateTime value); // 1 = Sunday
bool IsLeapYear(int year);

// Adds months (negative goes back); a day beyond the new month's end becomes its last
// day and the time of day is kept. Raises "Invalid argument to date encode" past year 9999.
TDateTime IncMonth(TDateTime value, int months);
// A date plus a time of day, by the sign rule of negative date-times: before the epoch
// the time is subtracted (-1.25 is 1899-12-29 06:00), since the time of day is always
// the fraction's absolute value.
TDateTime ComposeDateTime(TDateTime date, TDateTime time);

TDateTime Now();
TDateTime Date();
TDateTime Time();

std::string DateToStr(TDateTime value);
std::string TimeToStr(TDateTime value);
// The date, followed by the time when the time part is not midnight.
std::string DateTimeToStr(TDateTime value);
// The date/time pattern language: d dd ddd dddd m mm mmm mmmm yy yyyy h hh n nn s ss
// z zzz am/pm a/p ampm c t tt ddddd dddddd / : and quoted literals. '/' writes the date
// separator '-', ':' the time separator ':'; letters are matched without regard to case.
std::string FormatDateTime(std::string_view format, TDateTime value);

bool TryStrToDate(std::string_view text, TDateTime& value);
bool TryStrToTime(std::string_view text, TDateTime& value);
bool TryStrToDateTime(std::string_view text, TDateTime& value);
// Raise EConvertError "'%s' is not a valid date" / "... valid time" / "... valid date and time".
TDateTime StrToDate(std::string_view text);
TDateTime StrToTime(std::string_view text);
TDateTime StrToDateTime(std::string_view text);

} // namespace vorn::platform

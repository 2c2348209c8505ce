// Date-times as days since 1899-12-30: encoding, decoding by the classic sign rule
// (the integral part is the day counted toward zero, the time of day is the absolute
// value of the fraction), the fixed text forms and their parsers.

#include "platform/DateTime.h"

#include <chrono>
#include <cmath>
#include <ctime>

#include "platform/CaseFolding.h"
#include "platform/Exceptions.h"
#include "platform/NumberText.h"

namespace vorn::platform {

namespace {

constexpr int64_t kMSecsPerDay = 86400000;
// Days from 1970-01-01 back to 1899-12-30.
constexpr int64_t kEpochShift = 25569;
// Days of 0001-01-01 and 9999-12-31.
constexpr int64_t kMinDay = -693593;
constexpr int64_t kMaxDay = 2958465;

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

int DaysInMonth(int year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

} // namespace

bool TryToTimeStamp(TDateTime value, TTimeStamp& stamp) {
    // The bounds keep the product below from overflowing; the day check does the rest.
    if (!(value > double(kMinDay - 1) && value < double(kMaxDay + 1))) return false;
    const int64_t msecs = std::llround(value * double(kMSecsPerDay));
    stamp.Day = msecs / kMSecsPerDay; // toward zero: -1.25 is day -1
    stamp.MSec = static_cast<int32_t>(std::llabs(msecs) % kMSecsPerDay);
    return stamp.Day >= kMinDay && stamp.Day <= kMaxDay;
}

TTimeStamp ToTimeStamp(TDateTime value) {
    TTimeStamp stamp;
    if (!TryToTimeStamp(value, stamp)) {
        throw EConvertError("'" + FloatToStr(value) + "' is not a valid date and time");
    }
    return stamp;
}

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
    if (year < 1 || year > 9999 || month < 1 || month > 12) return false;
    if (day < 1 || day > DaysInMonth(year, month)) return false;
    result = double(DaysFromCivil(year, month, day) + kEpochShift);
    return true;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& result) {
    if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59 || msec < 0 ||
        msec > 999) {
        return false;
    }
    result = double(((hour * 60 + min) * 60 + sec) * 1000 + msec) / double(kMSecsPerDay);
    return true;
}

TDateTime EncodeDate(int year, int month, int day) {
    TDateTime result = 0;
    if (!TryEncodeDate(year, month, day, result)) throw EConvertError("Invalid argument to date encode");
    return result;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec) {
    TDateTime result = 0;
    if (!TryEncodeTime(hour, min, sec, msec, result)) throw EConvertError("Invalid argument to time encode");
    return result;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
    CivilFromDays(ToTimeStamp(value).Day - kEpochShift, year, month, day);
}

void DecodeTime(TDateTime value, int& hour, int& min, int& sec, int& msec) {
    int32_t ms = ToTimeStamp(value).MSec;
    msec = ms % 1000;
    ms /= 1000;
    sec = ms % 60;
    ms /= 60;
    min = ms % 60;
    hour = ms / 60;
}

int DayOfWeek(TDateTime value) {
    // 0001-01-01 was a Monday; counting it as day 1 makes Sunday 1 and Saturday 7.
    const int64_t day = ToTimeStamp(value).Day - kMinDay + 1;
    return static_cast<int>(day % 7) + 1;
}

TDateTime ComposeDateTime(TDateTime date, TDateTime time) {
    return date < 0 ? date - time : date + time;
}

TDateTime IncMonth(TDateTime value, int months) {
    int year, month, day;
    DecodeDate(value, year, month, day);
    const int64_t total = int64_t(year) * 12 + (month - 1) + months;
    const int64_t newYear = total >= 0 ? total / 12 : -1; // below year 0: out of range
    if (newYear < 1 || newYear > 9999) throw EConvertError("Invalid argument to date encode");
    const int newMonth = static_cast<int>(total % 12) + 1;
    const int newDay = std::min(day, DaysInMonth(static_cast<int>(newYear), newMonth));
    const TDateTime date = EncodeDate(static_cast<int>(newYear), newMonth, newDay);
    const TDateTime time = double(ToTimeStamp(value).MSec) / double(kMSecsPerDay);
    return ComposeDateTime(date, time);
}

TDateTime Now() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    const int msec = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
           EncodeTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59), msec);
}

TDateTime Date() { return std::floor(Now()); }

TDateTime Time() { return Now() - Date(); }

std::string DateToStr(TDateTime value) { return FormatDateTime(kShortDateFormat, value); }

std::string TimeToStr(TDateTime value) { return FormatDateTime(kLongTimeFormat, value); }

std::string DateTimeToStr(TDateTime value) { return FormatDateTime("c", value); }

} // namespace vorn::platform

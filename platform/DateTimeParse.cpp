// The parsers behind StrToDate, StrToTime and StrToDateTime: dates as year-month-day
// with '-' (a missing year is the current one, a two-digit year falls within 50 years
// of today), times as h:n[:s[.z]] with an optional AM/PM, surrounding blanks allowed.

#include <ctime>

#include "platform/CaseFolding.h"
#include "platform/DateTime.h"
#include "platform/Exceptions.h"

namespace vorn::platform {

namespace {

// Dates with a two-digit year fall between 50 years before and 49 after this year.
constexpr int kTwoDigitYearWindow = 50;

class TDateTimeScanner {
public:
    explicit TDateTimeScanner(std::string_view text) : FText(text) {}
    bool AtEnd() const { return FPos == FText.size(); }
    size_t SkipBlanks();
    bool ScanDate(TDateTime& date);
    bool ScanTime(TDateTime& time);

private:
    // Reads 1 to 9 digits (no sign); `digits` receives how many.
    bool ScanNumber(int& value, int& digits);
    bool ScanChar(char c);
    // Reads "AM"/"PM" (or "A"/"P") without regard to case; `pm` tells which.
    bool ScanAmPm(bool& pm);

    std::string_view FText;
    size_t FPos = 0;
};

size_t TDateTimeScanner::SkipBlanks() {
    const size_t start = FPos;
    while (FPos < FText.size() && (FText[FPos] == ' ' || FText[FPos] == '\t')) ++FPos;
    return FPos - start;
}

bool TDateTimeScanner::ScanNumber(int& value, int& digits) {
    value = 0;
    digits = 0;
    while (FPos < FText.size() && FText[FPos] >= '0' && FText[FPos] <= '9') {
        if (++digits > 9) return false;
        value = value * 10 + (FText[FPos++] - '0');
    }
    return digits > 0;
}

bool TDateTimeScanner::ScanChar(char c) {
    if (FPos >= FText.size() || FText[FPos] != c) return false;
    ++FPos;
    return true;
}

bool TDateTimeScanner::ScanAmPm(bool& pm) {
    if (FPos >= FText.size()) return false;
    const char first = AsciiUpperChar(FText[FPos]);
    if (first != 'A' && first != 'P') return false;
    pm = first == 'P';
    ++FPos;
    if (FPos < FText.size() && AsciiUpperChar(FText[FPos]) == 'M') ++FPos;
    return true;
}

int CurrentYear() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_year + 1900;
}

int ExpandTwoDigitYear(int year) {
    const int base = CurrentYear() - kTwoDigitYearWindow;
    year += base / 100 * 100;
    return year < base ? year + 100 : year;
}

bool TDateTimeScanner::ScanDate(TDateTime& date) {
    SkipBlanks();
    int n[3], digits[3], count = 0;
    if (!ScanNumber(n[0], digits[0])) return false;
    count = 1;
    while (count < 3 && ScanChar(kDateSeparator)) {
        if (!ScanNumber(n[count], digits[count])) return false;
        ++count;
    }
    if (count == 1) return false;
    int year = CurrentYear(), month = n[0], day = n[1];
    if (count == 3) {
        year = digits[0] <= 2 ? ExpandTwoDigitYear(n[0]) : n[0];
        month = n[1];
        day = n[2];
    }
    return TryEncodeDate(year, month, day, date);
}

bool TDateTimeScanner::ScanTime(TDateTime& time) {
    SkipBlanks();
    int hour = 0, min = 0, sec = 0, msec = 0, digits = 0;
    if (!ScanNumber(hour, digits)) return false;
    const bool hasMinutes = ScanChar(kTimeSeparator);
    if (hasMinutes) {
        if (!ScanNumber(min, digits)) return false;
        if (ScanChar(kTimeSeparator)) {
            if (!ScanNumber(sec, digits)) return false;
            if (ScanChar('.') && !ScanNumber(msec, digits)) return false;
        }
    }
    SkipBlanks();
    bool pm = false;
    const bool hasAmPm = ScanAmPm(pm);
    if (!hasMinutes && !hasAmPm) return false;
    if (hasAmPm) {
        if (hour < 1 || hour > 12) return false;
        hour = hour % 12 + (pm ? 12 : 0);
    }
    return TryEncodeTime(hour, min, sec, msec, time);
}

std::string Quoted(std::string_view text, const char* rest) {
    std::string message = "'";
    message.append(text);
    return message + "' " + rest;
}

} // namespace

bool TryStrToDate(std::string_view text, TDateTime& value) {
    TDateTimeScanner scanner(text);
    TDateTime date = 0;
    if (!scanner.ScanDate(date)) return false;
    scanner.SkipBlanks();
    if (!scanner.AtEnd()) return false;
    value = date;
    return true;
}

bool TryStrToTime(std::string_view text, TDateTime& value) {
    TDateTimeScanner scanner(text);
    TDateTime time = 0;
    if (!scanner.ScanTime(time)) return false;
    scanner.SkipBlanks();
    if (!scanner.AtEnd()) return false;
    value = time;
    return true;
}

bool TryStrToDateTime(std::string_view text, TDateTime& value) {
    TDateTimeScanner scanner(text);
    TDateTime date = 0, time = 0;
    if (scanner.ScanDate(date)) {
        const bool blank = scanner.SkipBlanks() > 0;
        if (scanner.AtEnd()) {
            value = date;
            return true;
        }
        if (blank && scanner.ScanTime(time)) {
            scanner.SkipBlanks();
            if (scanner.AtEnd()) {
                value = ComposeDateTime(date, time);
                return true;
            }
        }
    }
    // A time alone is a time on 1899-12-30.
    return TryStrToTime(text, value);
}

TDateTime StrToDate(std::string_view text) {
    TDateTime value = 0;
    if (!TryStrToDate(text, value)) throw EConvertError(Quoted(text, "is not a valid date"));
    return value;
}

TDateTime StrToTime(std::string_view text) {
    TDateTime value = 0;
    if (!TryStrToTime(text, value)) throw EConvertError(Quoted(text, "is not a valid time"));
    return value;
}

TDateTime StrToDateTime(std::string_view text) {
    TDateTime value = 0;
    if (!TryStrToDateTime(text, value)) throw EConvertError(Quoted(text, "is not a valid date and time"));
    return value;
}

} // namespace vorn::platform

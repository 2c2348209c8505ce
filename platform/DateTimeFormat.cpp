// The date/time pattern language of FormatDateTime and the parsers of StrToDate,
// StrToTime and StrToDateTime, all with the fixed settings of DateTime.h.

#include <cmath>
#include <ctime>

#include "platform/CaseFolding.h"
#include "platform/DateTime.h"
#include "platform/Exceptions.h"

namespace vorn::platform {

namespace {

const char* const kShortDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kLongDayNames[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                      "Thursday", "Friday", "Saturday"};
const char* const kShortMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kLongMonthNames[12] = {"January", "February", "March",     "April",
                                         "May",     "June",     "July",      "August",
                                         "September", "October", "November", "December"};

// The parts of one date-time, decoded once per FormatDateTime call.
struct TDateParts {
    int Year, Month, Day, DayOfWeek, Hour, Min, Sec, MSec;
};

bool StartsWithText(std::string_view text, size_t at, std::string_view prefix) {
    return text.size() - at >= prefix.size() && AsciiSameText(text.substr(at, prefix.size()), prefix);
}

void AppendNumber(std::string& out, int value, int minDigits) {
    const std::string digits = std::to_string(value);
    if (static_cast<int>(digits.size()) < minDigits) out.append(minDigits - digits.size(), '0');
    out += digits;
}

// The number of times the letter at format[at] repeats (without regard to case).
size_t RunLength(std::string_view format, size_t at) {
    const char letter = AsciiUpperChar(format[at]);
    size_t end = at + 1;
    while (end < format.size() && AsciiUpperChar(format[end]) == letter) ++end;
    return end - at;
}

// True when the first 'a' after the hour at `from` (before any other 'h', outside quotes)
// starts an am/pm marker: the hour is then written on the 12-hour clock.
bool UsesTwelveHours(std::string_view format, size_t from) {
    char quote = 0;
    for (size_t i = from; i < format.size(); ++i) {
        const char c = format[i];
        if (quote) { if (c == quote) quote = 0; continue; }
        if (c == '\'' || c == '"') { quote = c; continue; }
        const char upper = AsciiUpperChar(c);
        if (upper == 'H') return false;
        if (upper == 'A') {
            return StartsWithText(format, i, "am/pm") || StartsWithText(format, i, "a/p") ||
                   StartsWithText(format, i, "ampm");
        }
    }
    return false;
}

class TDateTimeWriter {
public:
    explicit TDateTimeWriter(const TDateParts& parts) : FParts(parts) {}
    std::string Take() { return std::move(FOut); }
    void Append(std::string_view format, int depth);

private:
    // Writes the token at format[i] and returns the index after it.
    size_t AppendToken(std::string_view format, size_t i, int depth);
    size_t AppendAmPm(std::string_view format, size_t i);

    const TDateParts& FParts;
    std::string FOut;
    char FLastLetter = 0;
};

void TDateTimeWriter::Append(std::string_view format, int depth) {
    size_t i = 0;
    while (i < format.size()) i = AppendToken(format, i, depth);
}

size_t TDateTimeWriter::AppendAmPm(std::string_view format, size_t i) {
    const bool pm = FParts.Hour >= 12;
    if (StartsWithText(format, i, "am/pm")) {
        FOut.append(format.substr(i + (pm ? 3 : 0), 2)); // keeps the pattern's case
        return i + 5;
    }
    if (StartsWithText(format, i, "a/p")) {
        FOut += format[i + (pm ? 2 : 0)];
        return i + 3;
    }
    if (StartsWithText(format, i, "ampm")) {
        FOut += pm ? "PM" : "AM";
        return i + 4;
    }
    FOut += format[i];
    return i + 1;
}

size_t TDateTimeWriter::AppendToken(std::string_view format, size_t i, int depth) {
    const char c = format[i];
    char letter = AsciiUpperChar(c);
    if (letter >= 'A' && letter <= 'Z') {
        // "m" right after an hour means minutes, as in "hh:mm".
        if (letter == 'M' && FLastLetter == 'H') letter = 'N';
        FLastLetter = letter;
    }
    const size_t count = (letter >= 'A' && letter <= 'Z') ? RunLength(format, i) : 1;
    const TDateParts& p = FParts;
    switch (letter) {
    case 'Y':
        if (count <= 2) AppendNumber(FOut, p.Year % 100, 2);
        else AppendNumber(FOut, p.Year, 4);
        return i + count;
    case 'M':
        if (count == 1 || count == 2) AppendNumber(FOut, p.Month, int(count));
        else FOut += count == 3 ? kShortMonthNames[p.Month - 1] : kLongMonthNames[p.Month - 1];
        return i + count;
    case 'D':
        if (count <= 2) AppendNumber(FOut, p.Day, int(count));
        else if (count == 3) FOut += kShortDayNames[p.DayOfWeek - 1];
        else if (count == 4) FOut += kLongDayNames[p.DayOfWeek - 1];
        else if (depth == 0) Append(count == 5 ? kShortDateFormat : kLongDateFormat, depth + 1);
        return i + count;
    case 'H': {
        int hour = p.Hour;
        if (UsesTwelveHours(format, i + count)) hour = hour % 12 == 0 ? 12 : hour % 12;
        AppendNumber(FOut, hour, count >= 2 ? 2 : 1);
        return i + count;
    }
    case 'N': AppendNumber(FOut, p.Min, count >= 2 ? 2 : 1); return i + count;
    case 'S': AppendNumber(FOut, p.Sec, count >= 2 ? 2 : 1); return i + count;
    case 'Z': AppendNumber(FOut, p.MSec, count >= 2 ? 3 : 1); return i + count;
    case 'T':
        if (depth == 0) Append(count == 1 ? kShortTimeFormat : kLongTimeFormat, depth + 1);
        return i + count;
    case 'C':
        if (depth == 0) {
            Append(kShortDateFormat, depth + 1);
            if (p.Hour != 0 || p.Min != 0 || p.Sec != 0 || p.MSec != 0) {
                FOut += ' ';
                Append(kLongTimeFormat, depth + 1);
            }
        }
        return i + count;
    case 'A': return AppendAmPm(format, i);
    case '/': FOut += kDateSeparator; return i + 1;
    case ':': FOut += kTimeSeparator; return i + 1;
    case '\'':
    case '"': {
        const size_t close = format.find(c, i + 1);
        const size_t end = close == std::string_view::npos ? format.size() : close;
        FOut.append(format.substr(i + 1, end - i - 1));
        return end == format.size() ? end : end + 1;
    }
    default:
        // Any other letter or character stands for itself.
        FOut.append(format.substr(i, count));
        return i + count;
    }
}

} // namespace

std::string FormatDateTime(std::string_view format, TDateTime value) {
    TDateParts parts{};
    DecodeDate(value, parts.Year, parts.Month, parts.Day);
    DecodeTime(value, parts.Hour, parts.Min, parts.Sec, parts.MSec);
    parts.DayOfWeek = DayOfWeek(value);
    TDateTimeWriter writer(parts);
    // An empty pattern means "c", the date and (when not midnight) the time.
    writer.Append(format.empty() ? std::string_view("c") : format, 0);
    return writer.Take();
}

} // namespace vorn::platform

// Numbers to text and back with the fixed format settings ('.' decimals, never the
// process locale): the general 15-digit float form, hexadecimal, and the whole-text
// parsers behind StrToInt and StrToFloat with their error texts.

#include "platform/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <locale.h>

#include "platform/CaseFolding.h"
#include "platform/DecimalDigits.h"
#include "platform/Exceptions.h"

namespace vorn::platform {

namespace {

const char* NonFiniteText(double value) {
    if (std::isnan(value)) return "NAN";
    return value < 0 ? "-INF" : "INF";
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// True when the whole text is [sign] (digits [. digits] | . digits) [(e|E) [sign] digits].
bool IsFloatSyntax(std::string_view text) {
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t mantissaDigits = 0;
    while (i < text.size() && IsDigit(text[i])) { ++i; ++mantissaDigits; }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) { ++i; ++mantissaDigits; }
    }
    if (mantissaDigits == 0) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        size_t exponentDigits = 0;
        while (i < text.size() && IsDigit(text[i])) { ++i; ++exponentDigits; }
        if (exponentDigits == 0) return false;
    }
    return i == text.size();
}

// Tells an underflow (a tiny value, read as zero) from an overflow for a text that
// from_chars found out of range; strtod_l in the "C" locale ignores the process locale.
bool IsUnderflow(const std::string& text) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return std::abs(strtod_l(text.c_str(), nullptr, cLocale)) < 1.0;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads "[sign] ('$' hex | '0x' hex | decimal)". Hexadecimal may use all `bits` bits and
// wraps into the signed range (so "$FFFFFFFF" is -1 as a 32-bit integer); decimal must
// fit the signed range. `result` receives the two's-complement value.
bool ParseInteger(std::string_view text, int bits, int64_t& result) {
    text = TrimBlanks(text);
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    bool hex = false;
    if (!text.empty() && text[0] == '$') { hex = true; text.remove_prefix(1); }
    else if (text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        hex = true;
        text.remove_prefix(2);
    }
    if (text.empty()) return false;
    const uint64_t limit = hex ? (bits == 64 ? UINT64_MAX : (uint64_t(1) << bits) - 1)
                               : (uint64_t(1) << (bits - 1)) - (negative ? 0 : 1);
    const uint64_t base = hex ? 16 : 10;
    uint64_t value = 0;
    for (const char c : text) {
        const int digit = hex ? HexValue(c) : (IsDigit(c) ? c - '0' : -1);
        if (digit < 0) return false;
        if (value > (limit - uint64_t(digit)) / base) return false;
        value = value * base + uint64_t(digit);
    }
    if (negative) value = 0 - value;
    if (bits == 32) value = uint64_t(int64_t(int32_t(uint32_t(value))));
    result = static_cast<int64_t>(value);
    return true;
}

std::string Quoted(std::string_view text, const char* rest) {
    std::string message = "'";
    message.append(text);
    return message + "' " + rest;
}

} // namespace

std::string FloatToStr(double value) {
    return FloatToStrF(value, TFloatFormat::ffGeneral, 15, 0);
}

std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits) {
    if (!std::isfinite(value)) return NonFiniteText(value);
    return FormatDecimalDigits(DecimalFromDouble(value), format, precision, digits);
}

std::string CurrToStrF(int64_t scaledValue, TFloatFormat format, int precision, int digits) {
    return FormatDecimalDigits(DecimalFromCurrency(scaledValue), format, precision, digits);
}

std::string CurrToStr(int64_t scaledValue) {
    // 19 digits: a currency value is shown with all its digits, never in exponent form.
    return CurrToStrF(scaledValue, TFloatFormat::ffGeneral, 19, 0);
}

std::string IntToStr(int64_t value) { return std::to_string(value); }

std::string UIntToStr(uint64_t value) { return std::to_string(value); }

std::string IntToHex(uint64_t value, int digits) {
    char buffer[17];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, 16);
    std::string text(buffer, result.ptr);
    for (char& c : text) c = AsciiUpperChar(c);
    const size_t width = static_cast<size_t>(std::clamp(digits, 0, kMaxTextWidth));
    if (text.size() < width) text.insert(0, width - text.size(), '0');
    return text;
}

bool TryStrToFloat(std::string_view text, double& value) {
    text = TrimBlanks(text);
    if (!IsFloatSyntax(text)) return false;
    if (text[0] == '+') text.remove_prefix(1); // from_chars takes no '+'
    double parsed = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (result.ec == std::errc::result_out_of_range) {
        if (!IsUnderflow(std::string(text))) return false;
        parsed = text[0] == '-' ? -0.0 : 0.0;
    } else if (result.ec != std::errc() || result.ptr != text.data() + text.size()) {
        return false;
    }
    value = parsed;
    return true;
}

bool TryStrToInt(std::string_view text, int32_t& value) {
    int64_t parsed = 0;
    if (!ParseInteger(text, 32, parsed)) return false;
    value = static_cast<int32_t>(parsed);
    return true;
}

bool TryStrToInt64(std::string_view text, int64_t& value) {
    return ParseInteger(text, 64, value);
}

double StrToFloat(std::string_view text) {
    double value = 0;
    if (!TryStrToFloat(text, value)) throw EConvertError(Quoted(text, "is not a valid floating point value"));
    return value;
}

int32_t StrToInt(std::string_view text) {
    int32_t value = 0;
    if (!TryStrToInt(text, value)) throw EConvertError(Quoted(text, "is not a valid integer value"));
    return value;
}

int64_t StrToInt64(std::string_view text) {
    int64_t value = 0;
    if (!TryStrToInt64(text, value)) throw EConvertError(Quoted(text, "is not a valid integer value"));
    return value;
}

namespace {

// 2^63 exactly: every double below it (and at or above -2^63) converts without overflow.
constexpr double kTwoPow63 = 9223372036854775808.0;

int64_t CheckedToInt64(double integral) {
    if (!(integral >= -kTwoPow63 && integral < kTwoPow63)) throw EInvalidOp();
    return static_cast<int64_t>(integral);
}

} // namespace

int64_t RoundToInt64(double value) {
    double rounded = std::round(value); // halves away from zero
    if (std::abs(value - std::trunc(value)) == 0.5 && std::fmod(rounded, 2.0) != 0) {
        rounded -= std::copysign(1.0, value);
    }
    return CheckedToInt64(rounded);
}

int64_t TruncToInt64(double value) { return CheckedToInt64(std::trunc(value)); }

} // namespace vorn::platform

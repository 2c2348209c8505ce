#pragma once
// Numbers to text and back with the fixed format settings: '.' as decimal separator,
// no thousands separator, never the process locale.

#include <cstdint>
#include <string>
#include <string_view>

namespace vorn::platform {

// The widest padding or precision any number-to-text routine produces. Larger requests
// (a script's "%999999999d" or IntToHex(x, 2000000000)) would only exhaust memory.
constexpr int kMaxTextWidth = 65536;

// The general format with 15 significant digits: "0.1", "3.5", "1E20", "1.5E-6",
// "-INF"/"INF"/"NAN" for the non-finite values.
std::string FloatToStr(double value);
enum class TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };
// precision: significant digits (1 to 19; doubles carry 15); digits: decimals for the
// fixed forms (0 to 18), minimum exponent digits for the others (0 to 4). Fixed forms of
// values with more than `precision` integer digits fall back to the general format.
std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits);
// The same for a currency value (a 64-bit integer scaled by 10000), exact to its digits.
std::string CurrToStrF(int64_t scaledValue, TFloatFormat format, int precision, int digits);
// Currency values are 64-bit integers scaled by 10000; text in the general format.
std::string CurrToStr(int64_t scaledValue);
std::string IntToStr(int64_t value);
std::string UIntToStr(uint64_t value);
std::string IntToHex(uint64_t value, int digits);

// Whole-text conversions: surrounding blanks allowed, '.' only. Integers accept '$'
// or "0x" hexadecimal. Return false on anything else (including out of range).
bool TryStrToFloat(std::string_view text, double& value);
bool TryStrToInt(std::string_view text, int32_t& value);
bool TryStrToInt64(std::string_view text, int64_t& value);
// As above, raising EConvertError "'%s' is not a valid floating point value" /
// "'%s' is not a valid integer value".
double StrToFloat(std::string_view text);
int32_t StrToInt(std::string_view text);
int64_t StrToInt64(std::string_view text);

// Rounds halves to even; raises EInvalidOp "Invalid floating point operation" for
// NaN, infinities and values outside the 64-bit range instead of undefined behaviour.
int64_t RoundToInt64(double value);
// Truncates toward zero with the same range check.
int64_t TruncToInt64(double value);

} // namespace vorn::platform

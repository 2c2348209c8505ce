#pragma once
// A number as its decimal digits, the common ground of every number-to-text routine:
// floats give their 15 significant digits (as the classic runtime does), currency its
// exact digits, and every later rounding works on these digits, halves away from zero.

#include <cstdint>
#include <string>

#include "platform/NumberText.h"

namespace vorn::platform {

// value = (negative ? -1 : 1) * 0.D1D2D3... * 10^Exponent; zero has no digits.
struct TDecimalDigits {
    bool Negative = false;
    int Exponent = 0;
    std::string Digits; // no leading or trailing '0'
};

// The float's 15 significant digits, correctly rounded; the value must be finite.
TDecimalDigits DecimalFromDouble(double value);
// The exact digits of a currency value (a 64-bit integer scaled by 10000).
TDecimalDigits DecimalFromCurrency(int64_t scaledValue);
// Keeps the first `count` digits (count may be 0 or negative), rounding the rest half
// away from zero; a result of zero loses its sign.
void RoundDigits(TDecimalDigits& number, int count);
// Rounds to `decimals` digits after the decimal point.
inline void RoundDecimals(TDecimalDigits& number, int decimals) {
    RoundDigits(number, number.Exponent + decimals);
}

// The text of the digits in one of the float formats (see FloatToStrF); consumes `number`.
std::string FormatDecimalDigits(TDecimalDigits number, TFloatFormat format, int precision,
                                int digits);
// The integer part with a ',' between groups of three digits, as ffNumber writes it.
std::string GroupThousands(std::string_view integerDigits);

} // namespace vorn::platform

// Decimal digits of floats and currency values, and rounding on those digits.

#include "platform/DecimalDigits.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

namespace vorn::platform {

namespace {

void StripZeros(TDecimalDigits& number) {
    const size_t last = number.Digits.find_last_not_of('0');
    number.Digits.resize(last == std::string::npos ? 0 : last + 1);
    const size_t first = number.Digits.find_first_not_of('0');
    if (first != std::string::npos && first > 0) {
        number.Digits.erase(0, first);
        number.Exponent -= static_cast<int>(first);
    }
    if (number.Digits.empty()) {
        number.Negative = false;
        number.Exponent = 0;
    }
}

} // namespace

TDecimalDigits DecimalFromDouble(double value) {
    TDecimalDigits number;
    number.Negative = value < 0;
    if (value == 0) return number;
    // "d.dddddddddddddde+xx": to_chars never looks at the process locale.
    char buffer[40];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::abs(value),
                                      std::chars_format::scientific, 14);
    const std::string_view text(buffer, static_cast<size_t>(result.ptr - buffer));
    const size_t e = text.find('e');
    number.Digits.reserve(15);
    number.Digits += text[0];
    number.Digits.append(text.substr(2, e - 2));
    number.Exponent = std::atoi(std::string(text.substr(e + 1)).c_str()) + 1;
    StripZeros(number);
    return number;
}

TDecimalDigits DecimalFromCurrency(int64_t scaledValue) {
    TDecimalDigits number;
    number.Negative = scaledValue < 0;
    // The magnitude as unsigned, so that the most negative value has one too.
    uint64_t magnitude = number.Negative ? 0 - static_cast<uint64_t>(scaledValue)
                                         : static_cast<uint64_t>(scaledValue);
    number.Digits = std::to_string(magnitude);
    number.Exponent = static_cast<int>(number.Digits.size()) - 4;
    StripZeros(number);
    return number;
}

void RoundDigits(TDecimalDigits& number, int count) {
    if (count >= static_cast<int>(number.Digits.size())) return;
    if (count < 0) {
        number.Digits.clear();
        StripZeros(number);
        return;
    }
    const bool up = number.Digits[static_cast<size_t>(count)] >= '5';
    number.Digits.resize(static_cast<size_t>(count));
    if (up) {
        int i = count - 1;
        while (i >= 0 && number.Digits[static_cast<size_t>(i)] == '9') {
            number.Digits[static_cast<size_t>(i)] = '0';
            --i;
        }
        if (i >= 0) {
            ++number.Digits[static_cast<size_t>(i)];
        } else {
            number.Digits.insert(number.Digits.begin(), '1');
            ++number.Exponent;
        }
    }
    StripZeros(number);
}

} // namespace vorn::platform

namespace vorn::platform {

namespace {

// "E", the sign ('+' only when `plusSign`) and the exponent padded to minDigits digits.
std::string ExponentText(int exponent, int minDigits, bool plusSign) {
    std::string text = "E";
    if (exponent < 0) text += '-';
    else if (plusSign) text += '+';
    std::string value = std::to_string(std::abs(exponent));
    if (static_cast<int>(value.size()) < minDigits) text.append(minDigits - value.size(), '0');
    return text + value;
}

// Digit i of the number's integer-and-fraction expansion, counted from the first digit
// of its integer part as if the point sat after `Exponent` digits; '0' outside the digits.
char DigitAt(const TDecimalDigits& number, int index) {
    return index >= 0 && index < static_cast<int>(number.Digits.size())
               ? number.Digits[static_cast<size_t>(index)]
               : '0';
}

std::string FormatGeneral(TDecimalDigits number, int precision, int digits) {
    RoundDigits(number, precision);
    if (number.Digits.empty()) return "0";
    std::string text = number.Negative ? "-" : "";
    const int size = static_cast<int>(number.Digits.size());
    if (number.Exponent > precision || number.Exponent < -4) {
        text += number.Digits[0];
        if (size > 1) text += '.' + number.Digits.substr(1);
        return text + ExponentText(number.Exponent - 1, digits, false);
    }
    if (number.Exponent <= 0) {
        text += "0.";
        text.append(static_cast<size_t>(-number.Exponent), '0');
        return text + number.Digits;
    }
    for (int i = 0; i < number.Exponent; ++i) text += DigitAt(number, i);
    if (size > number.Exponent) text += '.' + number.Digits.substr(static_cast<size_t>(number.Exponent));
    return text;
}

std::string FormatExponent(TDecimalDigits number, int precision, int digits) {
    RoundDigits(number, precision);
    std::string text = number.Negative ? "-" : "";
    text += DigitAt(number, 0);
    if (precision > 1) {
        text += '.';
        for (int i = 1; i < precision; ++i) text += DigitAt(number, i);
    }
    const int exponent = number.Digits.empty() ? 0 : number.Exponent - 1;
    return text + ExponentText(exponent, digits, true);
}

std::string FormatFixed(TDecimalDigits number, TFloatFormat format, int decimals) {
    RoundDecimals(number, decimals);
    std::string integerPart;
    for (int i = 0; i < number.Exponent; ++i) integerPart += DigitAt(number, i);
    if (integerPart.empty()) integerPart.push_back('0');  // not `= "0"`: g++ 12 -O3 warns falsely on it
    if (format != TFloatFormat::ffFixed) integerPart = GroupThousands(integerPart);
    std::string text = number.Negative ? "-" : "";
    if (format == TFloatFormat::ffCurrency) text += '$';
    text += integerPart;
    if (decimals > 0) {
        text += '.';
        for (int j = 0; j < decimals; ++j) text += DigitAt(number, number.Exponent + j);
    }
    return text;
}

} // namespace

std::string GroupThousands(std::string_view integerDigits) {
    std::string text;
    const size_t size = integerDigits.size();
    for (size_t i = 0; i < size; ++i) {
        if (i > 0 && (size - i) % 3 == 0) text += ',';
        text += integerDigits[i];
    }
    return text;
}

std::string FormatDecimalDigits(TDecimalDigits number, TFloatFormat format, int precision,
                                int digits) {
    precision = std::clamp(precision, 1, 19);
    switch (format) {
    case TFloatFormat::ffGeneral:
        return FormatGeneral(std::move(number), precision, std::clamp(digits, 0, 4));
    case TFloatFormat::ffExponent:
        return FormatExponent(std::move(number), precision, std::clamp(digits, 0, 4));
    case TFloatFormat::ffFixed:
    case TFloatFormat::ffNumber:
    case TFloatFormat::ffCurrency:
        // Too many integer digits for the precision: the general form says it shorter.
        if (number.Exponent > precision) return FormatGeneral(std::move(number), precision, 0);
        return FormatFixed(std::move(number), format, std::clamp(digits, 0, 18));
    }
    return {};
}

} // namespace vorn::platform

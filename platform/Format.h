#pragma once
// The string formatter behind the scripts' Format and FormatFloat, with the fixed
// settings ('.' decimals; ',' thousands only in %n, %m and FormatFloat; '$' currency).

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/NumberText.h"
#include "platform/Unicode.h"

namespace vorn::platform {

enum class TFormatArgKind { Integer, Int64, Boolean, Float, Currency, WideText, Text, Pointer };

// One argument of Format, built by the caller from whatever value it holds (the General
// library from a script array element). Integers and currency use `Int` (currency scaled
// by 10000), floats `Float`, texts `WideText` (UTF-16) or `Text` (UTF-8).
struct TFormatArg {
    TFormatArgKind Kind = TFormatArgKind::Integer;
    int64_t Int = 0;
    double Float = 0;
    UString WideText;
    std::string Text;

    static TFormatArg Integer(int32_t value) { return {TFormatArgKind::Integer, value, 0, {}, {}}; }
    static TFormatArg Int64(int64_t value) { return {TFormatArgKind::Int64, value, 0, {}, {}}; }
    static TFormatArg Boolean(bool value) { return {TFormatArgKind::Boolean, value ? 1 : 0, 0, {}, {}}; }
    static TFormatArg FloatValue(double value) { return {TFormatArgKind::Float, 0, value, {}, {}}; }
    static TFormatArg Currency(int64_t scaledValue) { return {TFormatArgKind::Currency, scaledValue, 0, {}, {}}; }
    static TFormatArg Wide(UString value) { return {TFormatArgKind::WideText, 0, 0, std::move(value), {}}; }
    static TFormatArg Utf8(std::string value) { return {TFormatArgKind::Text, 0, 0, {}, std::move(value)}; }
    static TFormatArg Pointer(uint64_t address) {
        return {TFormatArgKind::Pointer, static_cast<int64_t>(address), 0, {}, {}};
    }
};

// Directives: "%" [index ":"] ["-"] [width] ["." precision] type, where index, width and
// precision are digits or '*' (taken from the next argument, an Integer or Int64),
// and "%%" is a percent sign. Types, in either case:
//   d  decimal Integer/Int64; precision = minimum digits
//   u  unsigned decimal Integer/Int64 (Integer read as 32 bits)
//   x  upper-case hexadecimal Integer (32 bits) or Int64 (64 bits); precision = minimum digits
//   e  Float/Currency as "-d.ddddE+ddd" with precision significant digits (default and most 15)
//   f  fixed, precision decimals (default 2, most 18)
//   g  general, the shortest of fixed and scientific, precision significant digits (default 15)
//   n  as f with ',' between thousands
//   m  currency: as n with a '$' before the digits ("$1,234.50", "-$1,234.50")
//   s  WideText/Text; precision = most characters (UTF-16 units)
//   p  Pointer as 16 upper-case hexadecimal digits
// Width pads with blanks on the left (on the right after '-'). Boolean arguments fit no
// type, as with the classic formatter. Width and precision above kMaxTextWidth are refused.
// Errors (EConvertError, the whole format text in the message): "Format '%s' invalid or
// incompatible with argument" and "No argument for format '%s'".
UString Format(UStringView format, std::span<const TFormatArg> args);
// The same for UTF-8 text.
std::string Format(std::string_view format, std::span<const TFormatArg> args);

// The number pattern language: 0 (digit), # (digit if significant), . (decimal point),
// , (thousands separators), E+ E- e+ e- (scientific, followed by the minimum exponent
// digits), 'literal' and "literal", and up to three sections "positive;negative;zero".
// An empty pattern, or a fixed-point value of 1E18 and more, gives FloatToStr's form.
std::string FormatFloat(std::string_view pattern, double value);
UString FormatFloat(UStringView pattern, double value);

} // namespace vorn::platform

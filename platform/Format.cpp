// The string formatter: directives are parsed in UTF-16 (the scripts' text), each
// argument is converted by its type letter, then padded to the directive's width.

#include "platform/Format.h"

#include <optional>

#include "platform/CaseFolding.h"
#include "platform/DecimalDigits.h"
#include "platform/Exceptions.h"

namespace vorn::platform {

namespace {

// The longest text Format builds. Each width is capped by kMaxTextWidth, but many wide
// directives in one long format could still ask for gigabytes.
constexpr size_t kMaxFormatResult = size_t(1) << 28;

// One parsed directive.
struct TDirective {
    bool LeftJustify = false;
    int Width = 0;
    std::optional<int> Precision;
    char16_t Type = 0; // upper case
};

class TFormatter {
public:
    TFormatter(UStringView format, std::span<const TFormatArg> args) : FFormat(format), FArgs(args) {}
    UString Run();

private:
    [[noreturn]] void Invalid() const;
    [[noreturn]] void NoArgument() const;
    const TFormatArg& NextArg();
    bool AtDigitOrStar() const;
    // Reads digits or '*' (an Integer or Int64 argument); raises past kMaxTextWidth.
    int ReadNumber();
    TDirective ReadDirective();
    UString Convert(const TDirective& directive, const TFormatArg& arg) const;
    UString ConvertFloat(const TDirective& directive, const TFormatArg& arg) const;

    UStringView FFormat;
    std::span<const TFormatArg> FArgs;
    size_t FPos = 0;
    size_t FArgIndex = 0;
};

void TFormatter::Invalid() const {
    throw EConvertError("Format '" + Utf16ToUtf8(FFormat) + "' invalid or incompatible with argument");
}

void TFormatter::NoArgument() const {
    throw EConvertError("No argument for format '" + Utf16ToUtf8(FFormat) + "'");
}

const TFormatArg& TFormatter::NextArg() {
    if (FArgIndex >= FArgs.size()) NoArgument();
    return FArgs[FArgIndex++];
}

bool TFormatter::AtDigitOrStar() const {
    return FPos < FFormat.size() &&
           (FFormat[FPos] == u'*' || (FFormat[FPos] >= u'0' && FFormat[FPos] <= u'9'));
}

int TFormatter::ReadNumber() {
    if (FFormat[FPos] == u'*') {
        ++FPos;
        const TFormatArg& arg = NextArg();
        // Script integers arrive as Int64: any integer whose value fits the limit serves.
        if (arg.Kind != TFormatArgKind::Integer && arg.Kind != TFormatArgKind::Int64) Invalid();
        if (arg.Int > kMaxTextWidth || arg.Int < -kMaxTextWidth) Invalid();
        return static_cast<int>(arg.Int);
    }
    int value = 0;
    while (FPos < FFormat.size() && FFormat[FPos] >= u'0' && FFormat[FPos] <= u'9') {
        value = value * 10 + (FFormat[FPos++] - u'0');
        if (value > kMaxTextWidth) Invalid();
    }
    return value;
}

TDirective TFormatter::ReadDirective() {
    TDirective directive;
    std::optional<int> first;
    if (AtDigitOrStar()) first = ReadNumber();
    if (first && FPos < FFormat.size() && FFormat[FPos] == u':') {
        ++FPos;
        if (*first < 0) Invalid();
        FArgIndex = static_cast<size_t>(*first);
        first.reset();
    }
    if (!first) {
        if (FPos < FFormat.size() && FFormat[FPos] == u'-') {
            directive.LeftJustify = true;
            ++FPos;
        }
        if (AtDigitOrStar()) first = ReadNumber();
    }
    // A negative width taken from the arguments justifies to the left.
    if (first) {
        directive.Width = *first < 0 ? -*first : *first;
        if (*first < 0) directive.LeftJustify = true;
    }
    if (FPos < FFormat.size() && FFormat[FPos] == u'.') {
        ++FPos;
        const int precision = AtDigitOrStar() ? ReadNumber() : 0;
        if (precision >= 0) directive.Precision = precision;
    }
    if (FPos >= FFormat.size()) Invalid();
    directive.Type = AsciiUpperChar(FFormat[FPos++]);
    if (UStringView(u"DUXEFGNMSP").find(directive.Type) == UStringView::npos) Invalid();
    return directive;
}

UString PadDigits(std::string digits, const std::optional<int>& minDigits) {
    const bool negative = !digits.empty() && digits[0] == '-';
    if (minDigits && static_cast<int>(digits.size()) - negative < *minDigits) {
        digits.insert(negative ? 1 : 0, static_cast<size_t>(*minDigits - (digits.size() - negative)), '0');
    }
    return AsciiToUtf16(digits);
}

bool IsInteger(const TFormatArg& arg) {
    return arg.Kind == TFormatArgKind::Integer || arg.Kind == TFormatArgKind::Int64;
}

UString TFormatter::ConvertFloat(const TDirective& directive, const TFormatArg& arg) const {
    TFloatFormat format = TFloatFormat::ffGeneral;
    int precision = 18, digits = 0;
    switch (directive.Type) {
    case u'E':
        format = TFloatFormat::ffExponent;
        precision = std::min(directive.Precision.value_or(15), 15);
        digits = 3;
        break;
    case u'G':
        precision = std::min(directive.Precision.value_or(15), 15);
        break;
    default:
        format = directive.Type == u'F' ? TFloatFormat::ffFixed
                 : directive.Type == u'N' ? TFloatFormat::ffNumber
                                          : TFloatFormat::ffCurrency;
        digits = directive.Precision.value_or(2);
        break;
    }
    const std::string text = arg.Kind == TFormatArgKind::Float
                                 ? FloatToStrF(arg.Float, format, precision, digits)
                                 : CurrToStrF(arg.Int, format, precision, digits);
    return AsciiToUtf16(text);
}

UString TFormatter::Convert(const TDirective& directive, const TFormatArg& arg) const {
    switch (directive.Type) {
    case u'D':
        if (!IsInteger(arg)) Invalid();
        return PadDigits(IntToStr(arg.Int), directive.Precision);
    case u'U':
        if (!IsInteger(arg)) Invalid();
        return PadDigits(arg.Kind == TFormatArgKind::Integer ? UIntToStr(uint32_t(arg.Int))
                                                             : UIntToStr(uint64_t(arg.Int)),
                         directive.Precision);
    case u'X':
        if (!IsInteger(arg)) Invalid();
        return PadDigits(arg.Kind == TFormatArgKind::Integer ? IntToHex(uint32_t(arg.Int), 0)
                                                             : IntToHex(uint64_t(arg.Int), 0),
                         directive.Precision);
    case u'E': case u'F': case u'G': case u'N': case u'M':
        if (arg.Kind != TFormatArgKind::Float && arg.Kind != TFormatArgKind::Currency) Invalid();
        return ConvertFloat(directive, arg);
    case u'S': {
        if (arg.Kind != TFormatArgKind::WideText && arg.Kind != TFormatArgKind::Text) Invalid();
        UString text = arg.Kind == TFormatArgKind::WideText ? arg.WideText : Utf8ToUtf16(arg.Text);
        if (directive.Precision && text.size() > size_t(*directive.Precision)) {
            text.resize(size_t(*directive.Precision));
        }
        return text;
    }
    case u'P':
        if (arg.Kind != TFormatArgKind::Pointer) Invalid();
        return AsciiToUtf16(IntToHex(uint64_t(arg.Int), 16));
    default:
        Invalid();
    }
}

UString TFormatter::Run() {
    UString out;
    while (FPos < FFormat.size()) {
        const char16_t c = FFormat[FPos++];
        if (c != u'%') {
            out += c;
            continue;
        }
        if (FPos < FFormat.size() && FFormat[FPos] == u'%') {
            out += u'%';
            ++FPos;
            continue;
        }
        const TDirective directive = ReadDirective();
        const UString text = Convert(directive, NextArg());
        const size_t width = static_cast<size_t>(directive.Width);
        const size_t pad = text.size() < width ? width - text.size() : 0;
        if (out.size() + text.size() + pad > kMaxFormatResult) throw EOutOfMemory();
        if (!directive.LeftJustify) out.append(pad, u' ');
        out += text;
        if (directive.LeftJustify) out.append(pad, u' ');
    }
    return out;
}

} // namespace

UString Format(UStringView format, std::span<const TFormatArg> args) {
    return TFormatter(format, args).Run();
}

std::string Format(std::string_view format, std::span<const TFormatArg> args) {
    return Utf16ToUtf8(Format(UStringView(Utf8ToUtf16(format)), args));
}

} // namespace vorn::platform

// The variant casts, the text of values and the tolerant conversions of host arguments.

#include <charconv>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

#include "engine/vm/EngineErrors.h"
#include "engine/vm/ScriptValue.h"
#include "engine/vm/VariantErrors.h"
#include "platform/CaseFolding.h"
#include "platform/DateTime.h"
#include "platform/Exceptions.h"
#include "platform/NumberText.h"

namespace vorn::engine {

namespace {

constexpr double CurrencyScale = 10000.0;

// The number a text holds as a whole: an integer (decimal or hexadecimal) or a real.
bool TryTextToDouble(platform::UStringView text, double& value) {
    std::string ascii = platform::Utf16ToUtf8(text);
    if (platform::TryStrToFloat(ascii, value)) return true;
    int64_t integer = 0;
    if (!platform::TryStrToInt64(ascii, integer)) return false;
    value = static_cast<double>(integer);
    return true;
}

// A double rounded halves to even into [min, max], or the overflow error.
int64_t RoundInRange(double value, int64_t min, int64_t max, TVarType from, TVarType to) {
    if (!(value >= -9223372036854775808.0 && value < 9223372036854775808.0)) RaiseVariantOverflowError(from, to);
    int64_t rounded = platform::RoundToInt64(value);
    if (rounded < min || rounded > max) RaiseVariantOverflowError(from, to);
    return rounded;
}

// The integer cast shared by the 32- and 64-bit forms, with the target range.
int64_t CastToInteger(const Variant& value, int64_t min, int64_t max, TVarType to) {
    const Variant& v = FollowReferences(value);
    TVarType kind = v.VType();
    int64_t result = 0;
    switch (kind) {
    case varEmpty: return 0;
    case varSmallint: result = v.RawSmallint(); break;
    case varInteger: case varError: result = v.RawInteger(); break;
    case varShortInt: result = v.RawShortInt(); break;
    case varByte: result = v.RawByte(); break;
    case varWord: result = v.RawWord(); break;
    case varLongWord: result = v.RawLongWord(); break;
    case varInt64: result = v.RawInt64(); break;
    case varUInt64:
        if (v.RawUInt64() > static_cast<uint64_t>(max)) RaiseVariantOverflowError(kind, to);
        return static_cast<int64_t>(v.RawUInt64());
    case varBoolean: return v.RawBoolean() ? -1 : 0;
    case varSingle: return RoundInRange(v.RawSingle(), min, max, kind, to);
    case varDouble: case varDate: return RoundInRange(v.RawDouble(), min, max, kind, to);
    case varCurrency: return RoundInRange(double(v.RawInt64()) / CurrencyScale, min, max, kind, to);
    case varOleStr: case varString: case varUString: {
        double number = 0;
        if (!TryTextToDouble(v.RawText(), number)) RaiseVariantCastError(kind, to);
        return RoundInRange(number, min, max, kind, to);
    }
    default: RaiseVariantCastError(kind, to);
    }
    if (result < min || result > max) RaiseVariantOverflowError(kind, to);
    return result;
}

bool TextToBoolean(const Variant& v) {
    platform::UStringView text = v.RawText();
    if (platform::AsciiSameText(text, u"True")) return true;
    if (platform::AsciiSameText(text, u"False")) return false;
    double number = 0;
    if (!TryTextToDouble(text, number)) RaiseVariantCastError(v.VType(), varBoolean);
    return number != 0;
}

std::string SingleText(float value) {
    // Singles print with the 7 digits they hold, not the 15 of their double widening.
    return platform::FloatToStrF(value, platform::TFloatFormat::ffGeneral, 7, 0);
}

} // namespace

// ---- The variant casts -------------------------------------------------------------

int32_t ScriptValueAsInteger(const Variant& v) {
    return static_cast<int32_t>(CastToInteger(v, INT32_MIN, INT32_MAX, varInteger));
}

int64_t ScriptValueAsInt64(const Variant& v) { return CastToInteger(v, INT64_MIN, INT64_MAX, varInt64); }

uint64_t ScriptValueAsUInt64(const Variant& value) {
    const Variant& v = FollowReferences(value);
    if (v.VType() == varUInt64) return v.RawUInt64();
    if (v.VType() == varDouble || v.VType() == varSingle) {
        double d = v.VType() == varDouble ? v.RawDouble() : v.RawSingle();
        if (!(d > -0.5 && d < 18446744073709551616.0)) RaiseVariantOverflowError(v.VType(), varUInt64);
        if (d >= 9223372036854775808.0) return static_cast<uint64_t>(std::nearbyint(d));
    }
    int64_t result = CastToInteger(v, INT64_MIN, INT64_MAX, varUInt64);
    if (result < 0) RaiseVariantOverflowError(v.VType(), varUInt64);
    return static_cast<uint64_t>(result);
}

double ScriptValueAsDouble(const Variant& value) {
    const Variant& v = FollowReferences(value);
    switch (v.VType()) {
    case varEmpty: return 0;
    case varSmallint: return v.RawSmallint();
    case varInteger: case varError: return v.RawInteger();
    case varShortInt: return v.RawShortInt();
    case varByte: return v.RawByte();
    case varWord: return v.RawWord();
    case varLongWord: return v.RawLongWord();
    case varInt64: return static_cast<double>(v.RawInt64());
    case varUInt64: return static_cast<double>(v.RawUInt64());
    case varBoolean: return v.RawBoolean() ? -1.0 : 0.0;
    case varSingle: return v.RawSingle();
    case varDouble: case varDate: return v.RawDouble();
    case varCurrency: return double(v.RawInt64()) / CurrencyScale;
    case varOleStr: case varString: case varUString: {
        double number = 0;
        if (!TryTextToDouble(v.RawText(), number)) RaiseVariantCastError(v.VType(), varDouble);
        return number;
    }
    default: RaiseVariantCastError(v.VType(), varDouble);
    }
}

bool ScriptValueAsBool(const Variant& value) {
    const Variant& v = FollowReferences(value);
    switch (v.VType()) {
    case varEmpty: return false;
    case varBoolean: return v.RawBoolean();
    case varOleStr: case varString: case varUString: return TextToBoolean(v);
    case varNull: RaiseVariantCastError(varNull, varBoolean);
    default: break;
    }
    if (VariantIsOrdinal(v) || v.VType() == varError) return ScriptValueAsInt64(v) != 0;
    if (v.VType() == varCurrency) return v.RawInt64() != 0;
    if (v.VType() == varSingle || v.VType() == varDouble || v.VType() == varDate) return ScriptValueAsDouble(v) != 0;
    RaiseVariantCastError(v.VType(), varBoolean);
}

ScriptText ScriptValueAsString(const Variant& v) { return VarToStr(v); }

// ---- Text ---------------------------------------------------------------------------

ScriptText VarToStr(const Variant& value) {
    const Variant& v = FollowReferences(value);
    switch (v.VType()) {
    case varEmpty: case varNull: return {};
    case varOleStr: case varString: case varUString: return v.RawScriptText();
    case varBoolean: return ScriptText(v.RawBoolean() ? u"True" : u"False");
    case varSingle: return ScriptText::FromUtf8(SingleText(v.RawSingle()));
    case varDouble: return ScriptText::FromUtf8(platform::FloatToStr(v.RawDouble()));
    case varCurrency: return ScriptText::FromUtf8(platform::CurrToStr(v.RawInt64()));
    case varDate: return ScriptText::FromUtf8(platform::DateTimeToStr(v.RawDouble()));
    case varUInt64: return ScriptText::FromUtf8(platform::UIntToStr(v.RawUInt64()));
    case varSmallint: case varInteger: case varError: case varShortInt: case varByte:
    case varWord: case varLongWord: case varInt64:
        return ScriptText::FromUtf8(platform::IntToStr(ScriptValueAsInt64(v)));
    default: RaiseVariantCastError(v.VType(), varUString);
    }
}

std::string VarToStrUtf8(const Variant& v) { return VarToStr(v).ToUtf8(); }

double StrVal(platform::UStringView source) {
    platform::UString text(source);
    // The first comma counts as the decimal point.
    if (size_t comma = text.find(u','); comma != platform::UString::npos) text[comma] = u'.';
    auto at = [&](size_t k) -> char16_t { return k < text.size() ? text[k] : u'\0'; };
    auto isDigit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
    size_t i = 0;
    while (at(i) == u' ' || at(i) == u'\t') ++i;
    bool negative = false;
    if (at(i) == u'+' || at(i) == u'-') negative = text[i++] == u'-';
    std::string number;
    while (isDigit(at(i))) number += char(at(i++));
    if (at(i) == u'.' && isDigit(at(i + 1))) {
        number += char(at(i++));
        while (isDigit(at(i))) number += char(at(i++));
    }
    if (number.empty()) return 0;
    if (at(i) == u'e' || at(i) == u'E') {
        std::string exponent = "e";
        size_t e = i + 1;
        if (at(e) == u'+' || at(e) == u'-') exponent += char(at(e++));
        if (isDigit(at(e))) {
            while (isDigit(at(e))) exponent += char(at(e++));
            number += exponent;
        }
    }
    double value = 0;
    auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large a number reads as the largest real, too small a one as 0.
        value = number.find("e-") != std::string::npos ? 0.0 : DBL_MAX;
    }
    return negative ? -value : value;
}

std::string VarContent(const Variant& v) {
    if (v.VType() == varEmpty) return "Empty";
    if (v.VType() == varNull) return "Null";
    const char* prefix = "";
    switch (v.VType()) {
#define VORN_VARIANT_KIND(Constant, Code, Name, Prefix) \
    case Code: prefix = Prefix; break;
#include "engine/vm/VariantKinds.def"
    default: break;
    }
    try {
        return prefix + VarToStrUtf8(v);
    } catch (...) {
        return "(unknown)";
    }
}

} // namespace vorn::engine

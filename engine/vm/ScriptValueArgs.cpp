// The tolerant conversions that host methods and libraries read their arguments with:
// texts give their leading number, Null, objects and interfaces give 0, and only kinds
// the variant type itself cannot cast raise. Also sets and the open list of constants.

#include <cfloat>
#include <cmath>
#include <cstring>

#include "engine/vm/EngineErrors.h"
#include "engine/vm/ScriptValue.h"
#include "engine/vm/VariantErrors.h"
#include "platform/CaseFolding.h"
#include "platform/Exceptions.h"
#include "platform/NumberText.h"

namespace vorn::engine {

namespace {

// The conversion rows of the table, by kind code.
enum class TRow { Standard, Int64Kind, UInt64Kind, Real, Text, Object, Boolean, Other };

TRow RowOf(TVarType kind) {
    switch (kind) {
    case varSmallint: case varInteger: case varError: case varByte: case varWord: case varLongWord:
        return TRow::Standard;
    case varInt64: return TRow::Int64Kind;
    case varUInt64: return TRow::UInt64Kind;
    case varSingle: case varDouble: case varCurrency: case varDate: return TRow::Real;
    case varOleStr: case varString: case varUString: return TRow::Text;
    case varDispatch: case varUnknown: return TRow::Object;
    case varBoolean: return TRow::Boolean;
    default: return TRow::Other;
    }
}

// A real rounded halves to even, raising a range error outside [min, max].
int64_t RealRounded(double value, int64_t min, int64_t max) {
    int64_t rounded = platform::RoundToInt64(value);
    if (rounded < min || rounded > max) throw platform::ERangeError();
    return rounded;
}

// A text's leading number rounded into [min, max]. Text conversions never fail, so a
// number beyond the range gives the nearest end of it.
int64_t TextRounded(const Variant& v, double min, double max) {
    double number = StrVal(v.RawText());
    if (number <= min) return static_cast<int64_t>(min);
    if (number >= max) return static_cast<int64_t>(max);
    return platform::RoundToInt64(number);
}

// The last row: Null gives 0, anything else the variant type's 32-bit integer cast.
int32_t OtherToInteger(const Variant& v) { return v.VType() == varNull ? 0 : ScriptValueAsInteger(v); }

int32_t TextToEnumOrdinal(platform::UStringView text, const TEnumTypeNames& type) {
    std::string name = platform::Utf16ToUtf8(text);
    for (size_t i = 0; i < type.Names.size(); ++i)
        if (platform::AsciiSameText(type.Names[i], name)) return static_cast<int32_t>(i);
    return -1;
}

Variant NarrowText(std::string_view bytes) { return Variant::FromText(platform::AnsiToUtf16(bytes), varString); }

} // namespace

int32_t VarToInteger(const Variant& v) {
    switch (RowOf(v.VType())) {
    case TRow::Standard: return ScriptValueAsInteger(v);
    case TRow::Int64Kind: case TRow::UInt64Kind: case TRow::Other: return OtherToInteger(v);
    case TRow::Real: return static_cast<int32_t>(RealRounded(ScriptValueAsDouble(v), INT32_MIN, INT32_MAX));
    case TRow::Text: return static_cast<int32_t>(TextRounded(v, INT32_MIN, INT32_MAX));
    case TRow::Object: return 0;
    case TRow::Boolean: return v.RawBoolean() ? 1 : 0;
    }
    return 0;
}

int64_t VarToInt64(const Variant& v) {
    switch (RowOf(v.VType())) {
    case TRow::Standard: case TRow::Int64Kind: return ScriptValueAsInt64(v);
    case TRow::UInt64Kind: case TRow::Other: return OtherToInteger(v);
    case TRow::Real: return RealRounded(ScriptValueAsDouble(v), INT64_MIN, INT64_MAX);
    // The largest double below 2^63 is 2^63 - 1024.
    case TRow::Text: return TextRounded(v, -9223372036854775808.0, 9223372036854774784.0);
    case TRow::Object: return 0;
    case TRow::Boolean: return v.RawBoolean() ? 1 : 0;
    }
    return 0;
}

uint64_t VarToUInt64(const Variant& v) {
    switch (RowOf(v.VType())) {
    case TRow::Standard: case TRow::UInt64Kind: return ScriptValueAsUInt64(v);
    case TRow::Int64Kind: case TRow::Other: return v.VType() == varNull ? 0 : ScriptValueAsUInt64(v);
    case TRow::Real: return static_cast<uint64_t>(RealRounded(ScriptValueAsDouble(v), 0, INT64_MAX));
    case TRow::Text: {
        double number = StrVal(v.RawText());
        if (number <= 0) return 0;
        // The largest double below 2^64 is 2^64 - 2048.
        if (number >= 18446744073709549568.0) return 18446744073709549568ull;
        return static_cast<uint64_t>(std::nearbyint(number));
    }
    case TRow::Object: return 0;
    case TRow::Boolean: return v.RawBoolean() ? 1 : 0;
    }
    return 0;
}

double VarToFloat(const Variant& v) {
    switch (RowOf(v.VType())) {
    case TRow::Standard: case TRow::Real: case TRow::Int64Kind: case TRow::UInt64Kind:
        return ScriptValueAsDouble(v);
    case TRow::Text: return StrVal(v.RawText());
    case TRow::Object: return 0;
    case TRow::Boolean: return v.RawBoolean() ? 1.0 : 0.0;
    case TRow::Other: return v.VType() == varNull ? 0.0 : ScriptValueAsDouble(v);
    }
    return 0;
}

char16_t VarToWideChar(const Variant& v) {
    switch (RowOf(v.VType())) {
    case TRow::Standard: return static_cast<char16_t>(ScriptValueAsInt64(v) & 0xFFFF);
    case TRow::Real: return static_cast<char16_t>(platform::RoundToInt64(ScriptValueAsDouble(v)) & 0xFFFF);
    case TRow::Text: return v.RawText().empty() ? u'\0' : v.RawText()[0];
    case TRow::Boolean: return v.RawBoolean() ? 1 : 0;
    default: return 0;
    }
}

char VarToChar(const Variant& v) {
    switch (RowOf(v.VType())) {
    case TRow::Standard: return static_cast<char>(ScriptValueAsInt64(v) & 0xFF);
    case TRow::Real: return static_cast<char>(platform::RoundToInt64(ScriptValueAsDouble(v)) & 0xFF);
    case TRow::Text: return v.RawText().empty() ? '\0' : static_cast<char>(platform::Utf16CharToAnsi(v.RawText()[0]));
    case TRow::Boolean: return v.RawBoolean() ? 1 : 0;
    default: return 0;
    }
}

int32_t VarToEnumOrdinal(const Variant& v, const TEnumTypeNames& type) {
    switch (RowOf(v.VType())) {
    case TRow::Text: return TextToEnumOrdinal(v.RawText(), type);
    case TRow::Standard: case TRow::Real: case TRow::Int64Kind: case TRow::UInt64Kind:
    case TRow::Object: case TRow::Boolean: case TRow::Other:
        return VarToInteger(v);
    }
    return 0;
}

bool VarToBoolean(const Variant& v) { return VarToInteger(v) != 0; }

uint32_t VariantToSet(const Variant& value, const TEnumTypeNames* elementType) {
    const Variant& v = FollowReferences(value);
    if (v.IsArray()) {
        uint32_t bits = 0;
        for (const Variant& element : v.ArrayItems()) {
            int32_t ordinal = elementType ? VarToEnumOrdinal(element, *elementType) : VarToInteger(element);
            // An unknown name (-1) or a negative number names no member; it is skipped
            // rather than shifting by a negative count.
            if (ordinal < 0) continue;
            bits |= uint32_t(1) << (ordinal % 32);
        }
        return bits;
    }
    // A lone text names one member of the set.
    if (elementType && VariantIsString(v)) {
        int32_t ordinal = TextToEnumOrdinal(v.RawText(), *elementType);
        return ordinal < 0 ? 0 : uint32_t(1) << (ordinal % 32);
    }
    return static_cast<uint32_t>(VarToInteger(v));
}

void IntToSet(void* buffer, uint32_t value, int size) noexcept {
    if (size == 1) {
        uint8_t b = static_cast<uint8_t>(value);
        std::memcpy(buffer, &b, 1);
    } else if (size == 2) {
        uint16_t w = static_cast<uint16_t>(value);
        std::memcpy(buffer, &w, 2);
    } else {
        std::memcpy(buffer, &value, 4);
    }
}

uint32_t IntFromSet(const void* buffer, int size) noexcept {
    if (size == 1) return *static_cast<const uint8_t*>(buffer);
    if (size == 2) {
        uint16_t w;
        std::memcpy(&w, buffer, 2);
        return w;
    }
    uint32_t value;
    std::memcpy(&value, buffer, 4);
    return value;
}

Variant VariantFromVarRec(const TVarRec& item) {
    switch (item.VType) {
    case vtInteger: return Variant::FromInteger(item.VInteger);
    case vtBoolean: return Variant::FromBoolean(item.VBoolean);
    case vtChar: return NarrowText(std::string_view(&item.VChar, 1));
    case vtExtended: return Variant::FromDouble(item.VExtended);
    case vtString: return Variant::FromText(ScriptText::FromUtf8(item.VString ? *item.VString : ""));
    case vtObject: return ObjectToVar(item.VObject);
    case vtWideChar: return Variant::FromText(platform::UStringView(&item.VWideChar, 1));
    case vtAnsiString: return NarrowText(item.VAnsiString ? *item.VAnsiString : "");
    case vtCurrency: return Variant::FromCurrency(item.VCurrency);
    case vtVariant: return item.VVariant ? *item.VVariant : Variant();
    case vtInt64: return Variant::FromInt64(item.VInt64);
    case vtUnicodeString: return Variant::FromText(item.VUnicodeString ? *item.VUnicodeString : platform::UStringView());
    default:
        FatalError("Unsupported parameter type in array of const: " + std::to_string(int(item.VType)));
    }
}

} // namespace vorn::engine

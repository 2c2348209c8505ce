#pragma once
// The script value: a 16-byte tagged variant (a 16-bit kind code and an 8-byte payload)
// held in every stack slot, variable, argument and array element. Numbers never
// allocate; texts and arrays share reference-counted buffers with value semantics
// (arrays copy on write); a reference (kind 0x400C) points at another value's slot.

#include <bit>
#include <cstdint>
#include <utility>
#include <vector>

#include "engine/vm/ScriptText.h"

#if defined(__GNUC__)
#define VORN_VARIANT_INLINE inline __attribute__((always_inline))
#else
#define VORN_VARIANT_INLINE inline
#endif

namespace vorn::engine {

using TVarType = uint16_t;

#define VORN_VARIANT_KIND(Constant, Code, Name, Prefix) inline constexpr TVarType Constant = Code;
#include "engine/vm/VariantKinds.def"
inline constexpr TVarType varTypeMask = 0x0FFF;

// A late-bound automation object (kinds 9 and 13). Values keep it alive by counting;
// the calls by member name are added with the automation bridge.
class IDispatchObject {
public:
    virtual void AddRef() noexcept = 0;
    virtual void Release() noexcept = 0;

protected:
    ~IDispatchObject() = default;
};

class Variant {
public:
    // The copy, move and destruction of plain kinds are a few instructions and sit in
    // every interpreter handler, so they are forced inline; counted kinds go out of line.
    constexpr Variant() noexcept : FType(varEmpty), FPayload{} {}
    VORN_VARIANT_INLINE Variant(const Variant& other) noexcept : FType(other.FType), FPayload(other.FPayload) {
        if (IsManaged(FType)) RetainPayload();
    }
    VORN_VARIANT_INLINE Variant(Variant&& other) noexcept : FType(other.FType), FPayload(other.FPayload) {
        other.FType = varEmpty;
    }
    VORN_VARIANT_INLINE Variant& operator=(const Variant& other) noexcept {
        if (!IsManaged(FType) && !IsManaged(other.FType)) {
            FType = other.FType;
            FPayload = other.FPayload;
            return *this;
        }
        Variant copy(other);
        Swap(copy);
        return *this;
    }
    VORN_VARIANT_INLINE Variant& operator=(Variant&& other) noexcept {
        // `other` is read before the old value is released: it may live inside it.
        Variant moved(std::move(other));
        if (IsManaged(FType)) {
            Swap(moved);
            return *this;
        }
        FType = moved.FType;
        FPayload = moved.FPayload;
        moved.FType = varEmpty;
        return *this;
    }
    VORN_VARIANT_INLINE ~Variant() {
        if (IsManaged(FType)) ReleasePayload();
    }
    void Swap(Variant& other) noexcept {
        std::swap(FType, other.FType);
        std::swap(FPayload, other.FPayload);
    }
    // Becomes a plain (uncounted) kind with these payload bits, as its From... would.
    VORN_VARIANT_INLINE void AssignPlain(TVarType type, uint64_t bits) noexcept {
        if (IsManaged(FType)) ReleasePayload();
        FType = type;
        FPayload.FUInt64 = bits;
    }
    // Drops what the value holds and leaves it empty.
    void Clear() noexcept { Variant().Swap(*this); }

    // Constructors by kind.
    static Variant Null() noexcept { return Make(varNull, Payload{}); }
    static Variant FromSmallint(int16_t v) noexcept { return Make(varSmallint, Bits(static_cast<uint16_t>(v))); }
    static Variant FromInteger(int32_t v) noexcept { return Make(varInteger, Bits(static_cast<uint32_t>(v))); }
    static Variant FromSingle(float v) noexcept { return Make(varSingle, Bits(std::bit_cast<uint32_t>(v))); }
    static Variant FromDouble(double v) noexcept { Payload p{}; p.FDouble = v; return Make(varDouble, p); }
    // A currency is a 64-bit integer scaled by 10000.
    static Variant FromCurrency(int64_t scaled) noexcept { Payload p{}; p.FInt64 = scaled; return Make(varCurrency, p); }
    static Variant FromDate(double v) noexcept { Payload p{}; p.FDouble = v; return Make(varDate, p); }
    static Variant FromError(int32_t v) noexcept { return Make(varError, Bits(static_cast<uint32_t>(v))); }
    static Variant FromBoolean(bool v) noexcept { return Make(varBoolean, Bits(v ? 1u : 0u)); }
    static Variant FromShortInt(int8_t v) noexcept { return Make(varShortInt, Bits(static_cast<uint8_t>(v))); }
    static Variant FromByte(uint8_t v) noexcept { return Make(varByte, Bits(v)); }
    static Variant FromWord(uint16_t v) noexcept { return Make(varWord, Bits(v)); }
    static Variant FromLongWord(uint32_t v) noexcept { return Make(varLongWord, Bits(v)); }
    static Variant FromInt64(int64_t v) noexcept { Payload p{}; p.FInt64 = v; return Make(varInt64, p); }
    static Variant FromUInt64(uint64_t v) noexcept { Payload p{}; p.FUInt64 = v; return Make(varUInt64, p); }
    // Text of kind varUString (default), varOleStr or varString. Narrow text (varString)
    // keeps only what the narrow code page can hold.
    static Variant FromText(ScriptText text, TVarType kind = varUString);
    static Variant FromText(platform::UStringView text, TVarType kind = varUString) {
        return FromText(ScriptText(text), kind);
    }
    // An automation object of kind varDispatch or varUnknown; takes a new count on it.
    static Variant FromDispatch(IDispatchObject* object, TVarType kind = varDispatch) noexcept;
    // A reference (kind 0x400C) to `target`, exactly as given (no chain following).
    static Variant RawReference(Variant* target) noexcept {
        Payload p{}; p.FRef = target; return Make(varByRef | varVariant, p);
    }
    // A one-dimensional array of variants with bounds low..high (empty when high < low).
    static Variant NewArray(int32_t low, int32_t high);

    TVarType VType() const noexcept { return FType; }
    bool IsArray() const noexcept { return (FType & varArray) != 0; }
    bool IsRef() const noexcept { return (FType & varByRef) != 0; }
    // Whether the payload is a counted buffer or object (texts, arrays, automation objects).
    bool HoldsCounted() const noexcept { return IsManaged(FType); }

    // Raw payload reads; each is only meaningful for the kinds that store it.
    int16_t RawSmallint() const noexcept { return FPayload.FInt16; }
    int32_t RawInteger() const noexcept { return FPayload.FInt32; }
    float RawSingle() const noexcept { return FPayload.FSingle; }
    double RawDouble() const noexcept { return FPayload.FDouble; }
    int64_t RawInt64() const noexcept { return FPayload.FInt64; }
    uint64_t RawUInt64() const noexcept { return FPayload.FUInt64; }
    bool RawBoolean() const noexcept { return FPayload.FBool; }
    int8_t RawShortInt() const noexcept { return FPayload.FInt8; }
    uint8_t RawByte() const noexcept { return FPayload.FUInt8; }
    uint16_t RawWord() const noexcept { return FPayload.FUInt16; }
    uint32_t RawLongWord() const noexcept { return FPayload.FUInt32; }
    platform::UStringView RawText() const noexcept { return ScriptText::ViewOf(FPayload.FText); }
    ScriptText RawScriptText() const noexcept {
        ScriptText::RetainRep(FPayload.FText);
        return ScriptText::Adopt(FPayload.FText);
    }
    Variant* RawTarget() const noexcept { return FPayload.FRef; }
    IDispatchObject* RawDispatch() const noexcept { return FPayload.FDispatch; }

    // Array access (array kinds only). Mutable access first unshares the elements.
    int32_t ArrayLow() const noexcept;
    const std::vector<Variant>& ArrayItems() const noexcept;
    std::vector<Variant>& MutableArrayItems();

private:
    struct ArrayRep;
    union Payload {
        int8_t FInt8;
        uint8_t FUInt8;
        int16_t FInt16;
        uint16_t FUInt16;
        int32_t FInt32;
        uint32_t FUInt32;
        int64_t FInt64;
        uint64_t FUInt64;
        float FSingle;
        double FDouble;
        bool FBool;
        ScriptText::Rep* FText;
        ArrayRep* FArray;
        IDispatchObject* FDispatch;
        Variant* FRef;
    };

    // A payload whose low bytes hold `low` and whose other bytes are zero, written as one
    // 8-byte value: a narrow write into a zeroed payload read back whole stalls the CPU's
    // store forwarding, which the arithmetic fast paths would pay on every result.
    static Payload Bits(uint64_t low) noexcept {
        Payload p;
        p.FUInt64 = low;
        return p;
    }
    static Variant Make(TVarType type, Payload payload) noexcept {
        Variant v;
        v.FType = type;
        v.FPayload = payload;
        return v;
    }
    // Kinds whose payload owns a counted buffer or object.
    // The small codes are tested with one bit mask; of the large ones only the two
    // narrow/wide text kinds and the array kinds are counted.
    static constexpr uint64_t ManagedSmallKinds =
        (uint64_t(1) << varOleStr) | (uint64_t(1) << varDispatch) | (uint64_t(1) << varUnknown);
    static constexpr bool IsManaged(TVarType t) noexcept {
        if (t < 64) return ((ManagedSmallKinds >> t) & 1) != 0;
        return t == varString || t == varUString || (t & varArray) != 0;
    }
    // Texts, the counted kind values hold most, are counted in place; arrays and
    // automation objects go out of line.
    static constexpr bool IsTextKind(TVarType t) noexcept { return t == varUString || t == varOleStr || t == varString; }
    VORN_VARIANT_INLINE void RetainPayload() const noexcept {
        if (IsTextKind(FType)) ScriptText::RetainRep(FPayload.FText);
        else RetainOther();
    }
    VORN_VARIANT_INLINE void ReleasePayload() noexcept {
        if (IsTextKind(FType)) ScriptText::ReleaseRep(FPayload.FText);
        else ReleaseOther();
    }
    void RetainOther() const noexcept;
    void ReleaseOther() noexcept;

    TVarType FType;
    Payload FPayload;
};

static_assert(sizeof(Variant) == 16, "script values are 16 bytes");
// The narrow payload kinds are stored in the low bytes of the 8-byte payload.
static_assert(std::endian::native == std::endian::little, "script values assume little-endian payloads");

} // namespace vorn::engine

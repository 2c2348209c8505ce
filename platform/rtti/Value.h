#pragma once
// The typed value of the reflection layer: what members are read, written and invoked
// with. A small tagged value (no allocation for scalars) that the script binding turns
// into its variant and back; the cast rules from one kind to another live here only.

#include <cstdint>
#include <string>
#include <string_view>

namespace vorn::platform::rtti {

class TTypeInfo;
class TClassInfo;

enum class TValueKind : uint8_t {
    vkEmpty,      // no value (a procedure's result, an unset argument)
    vkInteger,    // signed 64-bit
    vkUnsigned,   // unsigned 64-bit
    vkFloat,      // double
    vkBoolean,
    vkString,     // UTF-8 text
    vkWideString, // UTF-16 text, kept as given
    vkObject,     // object pointer (adjusted to its class) + its class; nil has a null pointer
    vkClass,      // class reference: the class descriptor
    vkEnum,       // ordinal + enumeration type
    vkSet,        // bit mask (bit i = ordinal i) + set type
    vkRecord,     // boxed copy of a record value + record type
    vkNullEmpty,  // an optional value without a value + the optional type
};

class TValue {
public:
    TValue() noexcept : FKind(TValueKind::vkEmpty), FType(nullptr), FInt(0) {}
    TValue(const TValue& other);
    // Moves of values that own nothing (numbers, objects, sets...) are inline copies;
    // text and records go through MoveFrom.
    TValue(TValue&& other) noexcept : FKind(TValueKind::vkEmpty), FType(nullptr), FInt(0) {
        if (other.FKind < TValueKind::vkString) TakePlain(other);
        else MoveFrom(std::move(other));
    }
    TValue& operator=(const TValue& other);
    TValue& operator=(TValue&& other) noexcept {
        if (this == &other) return *this;
        if (FKind >= TValueKind::vkString) Release();
        if (other.FKind < TValueKind::vkString) TakePlain(other);
        else MoveFrom(std::move(other));
        return *this;
    }
    ~TValue() { if (FKind >= TValueKind::vkString) Release(); }

    static TValue Int(int64_t value) { TValue v; v.FKind = TValueKind::vkInteger; v.FInt = value; return v; }
    static TValue UInt(uint64_t value) { TValue v; v.FKind = TValueKind::vkUnsigned; v.FUInt = value; return v; }
    static TValue Float(double value) { TValue v; v.FKind = TValueKind::vkFloat; v.FFloat = value; return v; }
    static TValue Bool(bool value) { TValue v; v.FKind = TValueKind::vkBoolean; v.FBool = value; return v; }
    static TValue Text(std::string value);
    static TValue WideText(std::u16string value);
    // An object and the class it is known as; `object` points at that class's part.
    static TValue Object(void* object, const TClassInfo* classInfo);
    static TValue Class(const TClassInfo* classInfo);
    static TValue Enum(int64_t ordinal, const TTypeInfo* enumType);
    static TValue Set(uint64_t bits, const TTypeInfo* setType);
    // A copy of the record at `data`, made with the record type's copy function.
    static TValue Record(const void* data, const TTypeInfo* recordType);
    static TValue NullEmpty(const TTypeInfo* optionalType);

    TValueKind Kind() const noexcept { return FKind; }
    bool IsEmpty() const noexcept { return FKind == TValueKind::vkEmpty || FKind == TValueKind::vkNullEmpty; }
    // The enumeration, set, record or optional type; for objects and classes the class.
    const TTypeInfo* TypeInfo() const noexcept { return FType; }

    // The cast rules. Numbers convert among themselves (floats round half to even into
    // integers), text parses with the fixed number format, Boolean is 1/0 as a number
    // and "True"/"False" as text, empty gives 0, False or "". Impossible casts raise
    // EInvalidCast, unparsable text EConvertError, integers out of range ERangeError.
    int64_t AsInt64() const { return FKind == TValueKind::vkInteger ? FInt : ConvertToInt64(); }
    uint64_t AsUInt64() const;
    double AsFloat() const { return FKind == TValueKind::vkFloat ? FFloat : ConvertToFloat(); }
    bool AsBoolean() const;
    std::string AsString() const;
    std::u16string AsWideString() const;
    // The object as a pointer to `target`'s part: objects of `target` or a descendant,
    // nil, and object numbers of the live-object registry qualify; anything else
    // (a forged or stale number included) raises EInvalidCast "Invalid class typecast".
    void* AsObject(const TClassInfo* target) const;
    const TClassInfo* AsClass() const;
    // The ordinal for an enumeration type (from an ordinal, a number or a name).
    int64_t AsOrdinal(const TTypeInfo* enumType) const;
    uint64_t AsSetBits(const TTypeInfo* setType) const;
    // The boxed record when the value holds a record of exactly `recordType`, else EInvalidCast.
    const void* AsRecord(const TTypeInfo* recordType) const;
    void* MutableRecord(const TTypeInfo* recordType);

    // The raw payload of the string kinds, without conversion (caller checked Kind()).
    const std::string& RawText() const noexcept { return FText; }
    void* RawPointer() const noexcept { return FPointer; }

private:
    int64_t ConvertToInt64() const;
    double ConvertToFloat() const;
    void Release() noexcept;
    void CopyFrom(const TValue& other);
    void MoveFrom(TValue&& other) noexcept;
    // MoveFrom for a value that owns nothing; this value must own nothing either.
    void TakePlain(TValue& other) noexcept {
        FKind = other.FKind;
        FType = other.FType;
        FUInt = other.FUInt;
        other.FKind = TValueKind::vkEmpty;
        other.FInt = 0;
    }

    TValueKind FKind;
    const TTypeInfo* FType;
    union {
        int64_t FInt;
        uint64_t FUInt;
        double FFloat;
        bool FBool;
        void* FPointer;  // object, or boxed record
        std::string FText;
        std::u16string FWide;
    };
};

static_assert(sizeof(TValue) <= 48, "TValue stays small: kind, type and a string-sized payload");

const char* ValueKindName(TValueKind kind);

} // namespace vorn::platform::rtti

#include "platform/rtti/Value.h"

#include "platform/CaseFolding.h"
#include "platform/Exceptions.h"
#include "platform/NumberText.h"
#include "platform/Unicode.h"
#include "platform/rtti/LiveObjects.h"
#include "platform/rtti/Object.h"
#include "platform/rtti/TypeInfo.h"

#include <limits>
#include <new>

namespace vorn::platform::rtti {

const char* ValueKindName(TValueKind kind) {
    static const char* const names[] = {"Empty",   "Integer", "Unsigned", "Float", "Boolean", "String", "WideString",
                                        "Object",  "Class",   "Enum",     "Set",   "Record",  "NullEmpty"};
    return names[static_cast<int>(kind)];
}

// ---- Construction, copy and release ------------------------------------------------

TValue TValue::Text(std::string value) {
    TValue v;
    v.FKind = TValueKind::vkString;
    new (&v.FText) std::string(std::move(value));
    return v;
}

TValue TValue::WideText(std::u16string value) {
    TValue v;
    v.FKind = TValueKind::vkWideString;
    new (&v.FWide) std::u16string(std::move(value));
    return v;
}

TValue TValue::Object(void* object, const TClassInfo* classInfo) {
    TValue v;
    v.FKind = TValueKind::vkObject;
    v.FType = classInfo;
    v.FPointer = object;
    return v;
}

TValue TValue::Class(const TClassInfo* classInfo) {
    TValue v;
    v.FKind = TValueKind::vkClass;
    v.FType = classInfo;
    return v;
}

TValue TValue::Enum(int64_t ordinal, const TTypeInfo* enumType) {
    TValue v;
    v.FKind = TValueKind::vkEnum;
    v.FType = enumType;
    v.FInt = ordinal;
    return v;
}

TValue TValue::Set(uint64_t bits, const TTypeInfo* setType) {
    TValue v;
    v.FKind = TValueKind::vkSet;
    v.FType = setType;
    v.FUInt = bits;
    return v;
}

TValue TValue::Record(const void* data, const TTypeInfo* recordType) {
    TValue v;
    v.FPointer = recordType->CloneValue(data);
    v.FKind = TValueKind::vkRecord;
    v.FType = recordType;
    return v;
}

TValue TValue::NullEmpty(const TTypeInfo* optionalType) {
    TValue v;
    v.FKind = TValueKind::vkNullEmpty;
    v.FType = optionalType;
    return v;
}

void TValue::Release() noexcept {
    switch (FKind) {
    case TValueKind::vkString: FText.~basic_string(); break;
    case TValueKind::vkWideString: FWide.~basic_string(); break;
    case TValueKind::vkRecord: FType->DeleteValue(FPointer); break;
    default: break;
    }
    FKind = TValueKind::vkEmpty;
    FInt = 0;
}

void TValue::CopyFrom(const TValue& other) {
    switch (other.FKind) {
    case TValueKind::vkString: new (&FText) std::string(other.FText); break;
    case TValueKind::vkWideString: new (&FWide) std::u16string(other.FWide); break;
    case TValueKind::vkRecord: FPointer = other.FType->CloneValue(other.FPointer); break;
    default: FUInt = other.FUInt; break;
    }
    FKind = other.FKind;
    FType = other.FType;
}

void TValue::MoveFrom(TValue&& other) noexcept {
    switch (other.FKind) {
    case TValueKind::vkString: new (&FText) std::string(std::move(other.FText)); break;
    case TValueKind::vkWideString: new (&FWide) std::u16string(std::move(other.FWide)); break;
    default: FUInt = other.FUInt; break;
    }
    FKind = other.FKind;
    FType = other.FType;
    if (other.FKind == TValueKind::vkRecord) other.FKind = TValueKind::vkEmpty; // the box moved
    else other.Release();
    other.FKind = TValueKind::vkEmpty;
}

TValue::TValue(const TValue& other) : FKind(TValueKind::vkEmpty), FType(nullptr), FInt(0) { CopyFrom(other); }

TValue& TValue::operator=(const TValue& other) {
    if (this == &other) return *this;
    TValue copy(other); // copy first: a failed copy leaves this value unchanged
    Release();
    MoveFrom(std::move(copy));
    return *this;
}

// ---- Casts ---------------------------------------------------------------------------

namespace {

[[noreturn]] void InvalidCast() { throw EInvalidCast("Invalid class typecast"); }

int64_t ParseInteger(const std::string& text) {
    int64_t i = 0;
    if (TryStrToInt64(text, i)) return i;
    double d = 0;
    if (TryStrToFloat(text, d)) return RoundToInt64(d);
    throw EConvertError("'" + text + "' is not a valid integer value");
}

// The number scripts hold for an object: TObjects carry theirs, other host objects
// must have been registered by their owner.
int64_t ObjectNumberOf(void* object, const TClassInfo* classInfo) {
    if (!object) return 0;
    if (void* root = classInfo->CastTo(object, &TObject::ClassInfo()))
        return static_cast<TObject*>(root)->ObjectNumber();
    int64_t number = TLiveObjects::Instance().NumberOf(object);
    if (number == 0) InvalidCast();
    return number;
}

} // namespace

int64_t TValue::ConvertToInt64() const {
    switch (FKind) {
    case TValueKind::vkEmpty:
    case TValueKind::vkNullEmpty: return 0;
    case TValueKind::vkInteger:
    case TValueKind::vkEnum: return FInt;
    case TValueKind::vkUnsigned:
        if (FUInt > uint64_t(std::numeric_limits<int64_t>::max())) throw ERangeError();
        return int64_t(FUInt);
    case TValueKind::vkSet: return int64_t(FUInt);
    case TValueKind::vkFloat: return RoundToInt64(FFloat);
    case TValueKind::vkBoolean: return FBool ? 1 : 0;
    case TValueKind::vkString: return ParseInteger(FText);
    case TValueKind::vkWideString: return ParseInteger(Utf16ToUtf8(FWide));
    case TValueKind::vkObject: return ObjectNumberOf(FPointer, FType->AsClass());
    default: InvalidCast();
    }
}

uint64_t TValue::AsUInt64() const {
    if (FKind == TValueKind::vkUnsigned || FKind == TValueKind::vkSet) return FUInt;
    int64_t i = AsInt64();
    if (i < 0) throw ERangeError();
    return uint64_t(i);
}

double TValue::ConvertToFloat() const {
    switch (FKind) {
    case TValueKind::vkEmpty:
    case TValueKind::vkNullEmpty: return 0;
    case TValueKind::vkInteger:
    case TValueKind::vkEnum: return double(FInt);
    case TValueKind::vkUnsigned: return double(FUInt);
    case TValueKind::vkFloat: return FFloat;
    case TValueKind::vkBoolean: return FBool ? 1 : 0;
    case TValueKind::vkString:
    case TValueKind::vkWideString: {
        std::string text = AsString();
        double d = 0;
        if (!TryStrToFloat(text, d)) throw EConvertError("'" + text + "' is not a valid floating point value");
        return d;
    }
    default: InvalidCast();
    }
}

bool TValue::AsBoolean() const {
    switch (FKind) {
    case TValueKind::vkEmpty:
    case TValueKind::vkNullEmpty: return false;
    case TValueKind::vkBoolean: return FBool;
    case TValueKind::vkInteger:
    case TValueKind::vkEnum: return FInt != 0;
    case TValueKind::vkUnsigned: return FUInt != 0;
    case TValueKind::vkFloat: return FFloat != 0;
    case TValueKind::vkString:
    case TValueKind::vkWideString: {
        std::string text = AsString();
        if (AsciiSameText(text, "True")) return true;
        if (AsciiSameText(text, "False")) return false;
        double d = 0;
        if (TryStrToFloat(text, d)) return d != 0;
        throw EConvertError("'" + text + "' is not a valid boolean value");
    }
    default: InvalidCast();
    }
}

std::string TValue::AsString() const {
    switch (FKind) {
    case TValueKind::vkEmpty:
    case TValueKind::vkNullEmpty: return {};
    case TValueKind::vkInteger: return IntToStr(FInt);
    case TValueKind::vkUnsigned: return UIntToStr(FUInt);
    case TValueKind::vkFloat: return FloatToStr(FFloat);
    case TValueKind::vkBoolean: return FBool ? "True" : "False";
    case TValueKind::vkString: return FText;
    case TValueKind::vkWideString: return Utf16ToUtf8(FWide);
    case TValueKind::vkEnum: {
        const TEnumInfo* e = FType ? FType->AsEnum() : nullptr;
        const std::string& name = e ? e->NameOf(FInt) : std::string();
        return name.empty() ? IntToStr(FInt) : name;
    }
    case TValueKind::vkSet: {
        const TTypeInfo* element = FType ? FType->ElementType() : nullptr;
        if (element && element->AsEnum()) return element->AsEnum()->SetToText(FUInt);
        return UIntToStr(FUInt);
    }
    default: InvalidCast();
    }
}

std::u16string TValue::AsWideString() const {
    if (FKind == TValueKind::vkWideString) return FWide;
    return Utf8ToUtf16(AsString());
}

void* TValue::AsObject(const TClassInfo* target) const {
    void* object = nullptr;
    const TClassInfo* classInfo = nullptr;
    switch (FKind) {
    case TValueKind::vkEmpty:
    case TValueKind::vkNullEmpty: return nullptr;
    case TValueKind::vkObject:
        object = FPointer;
        classInfo = FType->AsClass();
        break;
    case TValueKind::vkInteger:
    case TValueKind::vkUnsigned: {
        auto resolved = TLiveObjects::Instance().Resolve(FInt);
        object = resolved.first;
        classInfo = resolved.second;
        break;
    }
    default: InvalidCast();
    }
    if (!object) return nullptr;
    void* part = classInfo->CastTo(object, target);
    if (!part) InvalidCast();
    return part;
}

const TClassInfo* TValue::AsClass() const {
    switch (FKind) {
    case TValueKind::vkEmpty:
    case TValueKind::vkNullEmpty: return nullptr;
    case TValueKind::vkClass:
    case TValueKind::vkObject: return FType->AsClass();
    default: InvalidCast();
    }
}

int64_t TValue::AsOrdinal(const TTypeInfo* enumType) const {
    const TEnumInfo* e = enumType->AsEnum();
    int64_t ordinal = 0;
    switch (FKind) {
    case TValueKind::vkEnum:
        if (FType != enumType) InvalidCast();
        return FInt;
    case TValueKind::vkString:
    case TValueKind::vkWideString: {
        std::string name = AsString();
        if (e && e->TryOrdinalOf(name, ordinal)) return ordinal;
        throw EConvertError("Invalid enumeration name '" + name + "'");
    }
    case TValueKind::vkObject:
    case TValueKind::vkClass:
    case TValueKind::vkRecord:
    case TValueKind::vkSet: InvalidCast();
    default: ordinal = AsInt64(); break;
    }
    if (e && !e->HasOrdinal(ordinal)) throw ERangeError();
    return ordinal;
}

uint64_t TValue::AsSetBits(const TTypeInfo* setType) const {
    switch (FKind) {
    case TValueKind::vkSet:
        if (FType != setType && FType->ElementType() != setType->ElementType()) InvalidCast();
        return FUInt;
    case TValueKind::vkString:
    case TValueKind::vkWideString: {
        const TTypeInfo* element = setType->ElementType();
        if (!element || !element->AsEnum()) InvalidCast();
        return element->AsEnum()->SetFromText(AsString());
    }
    case TValueKind::vkEmpty:
    case TValueKind::vkNullEmpty:
    case TValueKind::vkInteger:
    case TValueKind::vkUnsigned: return AsUInt64();
    default: InvalidCast();
    }
}

const void* TValue::AsRecord(const TTypeInfo* recordType) const {
    if (FKind != TValueKind::vkRecord || FType != recordType) InvalidCast();
    return FPointer;
}

void* TValue::MutableRecord(const TTypeInfo* recordType) {
    if (FKind != TValueKind::vkRecord || FType != recordType) InvalidCast();
    return FPointer;
}

} // namespace vorn::platform::rtti

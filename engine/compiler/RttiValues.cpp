// Conversions between the reflection layer's typed values and script values, and the
// kind mapping of host types into the class registry.

#include "engine/compiler/RttiValues.h"

#include "engine/compiler/HostBinding.h"
#include "engine/vm/RecordWrapper.h"
#include "engine/vm/ScriptValue.h"
#include "platform/CaseFolding.h"
#include "platform/Exceptions.h"
#include "platform/Unicode.h"

namespace vorn::engine {

namespace rtti = platform::rtti;
using rtti::TValue;
using rtti::TValueKind;

TatTypeKind MapTatTypeKind(rtti::TTypeKind kind) {
    if (kind == rtti::tkUnknown || kind == rtti::tkRecord || kind > rtti::tkUString) return tkNone;
    return TatTypeKind(kind);
}

TatTypeKind ScrTypeKind(const rtti::TTypeInfo* type) {
    if (!type) return tkNone;
    if (type->Kind() == rtti::tkRecord) return tkClass;
    return MapTatTypeKind(type->Kind());
}

const rtti::TClassInfo* ScrClassType(const rtti::TTypeInfo* type) {
    if (!type) return nullptr;
    if (type->Kind() == rtti::tkRecord) return &TGenericRecordWrapper::ClassInfo();
    if (const rtti::TClassInfo* c = type->AsClass()) return c;
    return rtti::TTypeRegistry::Instance().FindClass(type->Name());
}

std::string ScrClassName(const rtti::TTypeInfo* type) {
    return type && type->Kind() == rtti::tkRecord ? type->Name() : std::string();
}

std::string TypeInfoName(const rtti::TTypeInfo* type) { return type ? type->Name() : std::string(); }

std::string PropInfoName(const rtti::TPropertyInfo* property) { return property ? property->Name() : std::string(); }

// ---- Enumerations and sets --------------------------------------------------------------

int64_t VarToEnumOrdinal(const Variant& value, const rtti::TEnumInfo* type) {
    const Variant& v = DerefPValue(value);
    if (!VariantIsString(v) || !type) return VarToInt64(v);
    int64_t ordinal = -1;
    return type->TryOrdinalOf(VarToStrUtf8(v), ordinal) ? ordinal : -1;
}

int SetTypeSize(const rtti::TTypeInfo* setType) {
    const rtti::TEnumInfo* element = setType && setType->ElementType() ? setType->ElementType()->AsEnum() : nullptr;
    int64_t high = 0;
    if (element)
        for (const auto& [ordinal, name] : element->Values()) high = std::max(high, ordinal);
    if (!element || high >= 16) return 4;
    return high >= 8 ? 2 : 1;
}

uint32_t VarToSet(const Variant& value, const rtti::TTypeInfo* setType) {
    const Variant& v = DerefPValue(value);
    const rtti::TEnumInfo* element = setType && setType->ElementType() ? setType->ElementType()->AsEnum() : nullptr;
    uint32_t bits = 0;
    if (v.IsArray()) {
        for (const Variant& item : v.ArrayItems()) {
            int64_t ordinal = VarToEnumOrdinal(item, element);
            if (ordinal >= 0 && ordinal < 32) bits |= uint32_t(1) << ordinal;
        }
    } else {
        bits = uint32_t(VarToInt64(v));
    }
    int size = SetTypeSize(setType);
    return size == 1 ? (bits & 0xFF) : size == 2 ? (bits & 0xFFFF) : bits;
}

// ---- Script value to typed value -----------------------------------------------------------

TValue VariantToTValue(const Variant& value) {
    const Variant& v = DerefPValue(value);
    switch (v.VType()) {
    case varEmpty:
    case varNull: return TValue();
    case varBoolean: return TValue::Bool(v.RawBoolean());
    case varSingle:
    case varDouble:
    case varCurrency:
    case varDate: return TValue::Float(VarToFloat(v));
    case varUInt64: return TValue::UInt(v.RawUInt64());
    case varOleStr: return TValue::WideText(platform::UString(v.RawText()));
    case varString:
    case varUString: return TValue::Text(platform::Utf16ToUtf8(v.RawText()));
    default:
        if (VariantIsOrdinal(v)) return TValue::Int(VarToInt64(v));
        throw platform::EInvalidCast();
    }
}

namespace {

bool IsTextKind(rtti::TTypeKind k) {
    return k == rtti::tkString || k == rtti::tkLString || k == rtti::tkWString || k == rtti::tkUString ||
           k == rtti::tkChar || k == rtti::tkWChar;
}
bool IsNumberKind(rtti::TTypeKind k) { return k == rtti::tkInteger || k == rtti::tkInt64 || k == rtti::tkFloat; }

// The cast rules of the last conversion step: text to text, numbers among themselves;
// no text to number, number to text or enumeration to text.
void CheckCast(const TValue& value, const rtti::TTypeInfo* type) {
    TValueKind from = value.Kind();
    if (from == TValueKind::vkEmpty) return;
    bool fromText = from == TValueKind::vkString || from == TValueKind::vkWideString;
    bool fromNumber = from == TValueKind::vkInteger || from == TValueKind::vkUnsigned || from == TValueKind::vkFloat;
    rtti::TTypeKind to = type->Kind();
    if (IsTextKind(to) && fromText) return;
    if (IsNumberKind(to) && fromNumber) return;
    if (to == rtti::tkChar || to == rtti::tkWChar) return; // a character code is a character
    throw platform::EInvalidCast();
}

// The object a script value refers to, checked against the live-object registry and
// the target class.
TValue PrepareObject(const rtti::TClassInfo* target, const Variant& v) {
    int64_t number = VarToObject(v);
    auto [object, classInfo] = rtti::TLiveObjects::Instance().Resolve(number);
    if (!object) return TValue::Object(nullptr, target);
    if (!classInfo) throw platform::EInvalidCast();
    void* part = classInfo->CastTo(object, target);
    if (!part) throw platform::EInvalidCast();
    return TValue::Object(part, target);
}

TGenericRecordWrapper* WrapperOf(const Variant& v) {
    void* object = nullptr;
    const rtti::TClassInfo* classInfo = nullptr;
    if (!VariantIsOrdinal(DerefPValue(v))) return nullptr;
    if (!rtti::TLiveObjects::Instance().TryResolve(VarToObject(v), object, classInfo) || !object || !classInfo)
        return nullptr;
    return static_cast<TGenericRecordWrapper*>(classInfo->CastTo(object, &TGenericRecordWrapper::ClassInfo()));
}

// A registry entry held by a script as a class reference (registered with no class).
const rtti::TClassInfo* ClassRefOf(const Variant& v) {
    void* object = nullptr;
    const rtti::TClassInfo* classInfo = nullptr;
    if (!VariantIsOrdinal(DerefPValue(v))) return nullptr;
    if (!rtti::TLiveObjects::Instance().TryResolve(VarToObject(v), object, classInfo) || !object || classInfo)
        return nullptr;
    return static_cast<const TatClass*>(object)->ClassRef();
}

} // namespace

TValue ScrPreparedValue(const rtti::TTypeInfo* type, const Variant& value) {
    const Variant& v = DerefPValue(value);
    if (!type) return VariantToTValue(v);
    if (IsNumberKind(type->Kind())) {
        if (v.VType() == varInteger) return TValue::Int(v.RawInteger());
        if (v.VType() == varInt64) return TValue::Int(v.RawInt64());
        if (v.VType() == varDouble) return TValue::Float(v.RawDouble());
    }
    if (const rtti::TClassInfo* c = type->AsClass()) return PrepareObject(c, v);
    if (type == rtti::TTypeOf<bool>::Get()) {
        bool truth = VariantIsString(v) ? !VarToStr(v).View().empty() : VarToInt64(v) != 0;
        return TValue::Bool(truth);
    }
    if (const rtti::TEnumInfo* e = type->AsEnum()) return TValue::Enum(VarToEnumOrdinal(v, e), e);
    if (type->Kind() == rtti::tkRecord) {
        if (TGenericRecordWrapper* w = WrapperOf(v); w && w->RecordType() == type) return w->RecordValue();
    }
    if (type->Kind() == rtti::tkClassRef) {
        if (const rtti::TClassInfo* c = ClassRefOf(v)) return TValue::Class(c);
    }
    if (type->Kind() == rtti::tkSet) return TValue::Set(VarToSet(v, type), type);
    if (type->Kind() == rtti::tkWString) return TValue::WideText(VarToStr(v).ToUString());
    if (type->Kind() == rtti::tkVariant) return VariantToTValue(v);
    TValue converted = VariantToTValue(v);
    CheckCast(converted, type);
    return converted;
}

// ---- Typed value to script value ------------------------------------------------------------

namespace {

Variant IntegerVariant(int64_t i) {
    if (i >= INT32_MIN && i <= INT32_MAX) return Variant::FromInteger(int32_t(i));
    return Variant::FromInt64(i);
}

int64_t ObjectNumber(void* object, const rtti::TClassInfo* classInfo) {
    if (!object) return 0;
    if (int64_t number = rtti::TLiveObjects::Instance().NumberOf(object)) return number;
    return rtti::TLiveObjects::Instance().Register(object, classInfo);
}

} // namespace

Variant TValueToVariant(const TValue& value, TatHostBinding* owner, const TatMachineHost* ownerScript) {
    switch (value.Kind()) {
    case TValueKind::vkEmpty: return Variant();
    case TValueKind::vkNullEmpty: return Variant::Null();
    case TValueKind::vkInteger:
    case TValueKind::vkEnum: return IntegerVariant(value.AsInt64());
    case TValueKind::vkUnsigned: return value.AsUInt64() <= INT64_MAX ? IntegerVariant(int64_t(value.AsUInt64()))
                                                                      : Variant::FromUInt64(value.AsUInt64());
    case TValueKind::vkFloat: return Variant::FromDouble(value.AsFloat());
    case TValueKind::vkBoolean: return Variant::FromBoolean(value.AsBoolean());
    case TValueKind::vkString: return Variant::FromText(ScriptText::FromUtf8(value.RawText()));
    case TValueKind::vkWideString: return Variant::FromText(ScriptText(value.AsWideString()), varOleStr);
    case TValueKind::vkSet: return IntegerVariant(int64_t(value.AsUInt64()));
    case TValueKind::vkObject:
        return ObjectToVar(ObjectNumber(value.RawPointer(), value.TypeInfo() ? value.TypeInfo()->AsClass() : nullptr));
    case TValueKind::vkClass: return Variant::Null();
    case TValueKind::vkRecord: {
        if (!owner) throw platform::EInvalidCast();
        return ObjectToVar(owner->Adopt(std::make_unique<TGenericRecordWrapper>(value), ownerScript));
    }
    }
    return Variant();
}

} // namespace vorn::engine

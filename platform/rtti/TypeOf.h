#pragma once
// From C++ types to descriptors and values: TTypeOf<T>::Get() gives the descriptor of a
// type, TValueConv<T> converts between T and TValue. Built-in types are listed in
// BuiltinTypes.def; described classes (static ClassInfo()), records (static RecordInfo())
// and enumerations (DescribeEnum(E) found by argument lookup) are recognised; other
// layers add their own types (lazy proxies, lists) by specialising TTypeOf.

#include "platform/Nullable.h"
#include "platform/rtti/Object.h"
#include "platform/rtti/Set.h"
#include "platform/rtti/TypeInfo.h"
#include "platform/rtti/TypeRegistry.h"

#include <concepts>
#include <limits>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <vector>

namespace vorn::platform::rtti {

template <class T>
concept DescribedClass = requires { { T::ClassInfo() } -> std::convertible_to<const TClassInfo&>; };
template <class T>
concept DescribedRecord = requires { { T::RecordInfo() } -> std::convertible_to<const TRecordInfo&>; };
template <class T>
concept DescribedEnum = std::is_enum_v<T> && requires(T e) { { DescribeEnum(e) } -> std::convertible_to<const TEnumInfo&>; };

// The descriptors of the built-in types, and "TDateTime" (a Double that mappers write as a date).
enum class TBuiltinType : uint8_t {
#define VORN_BUILTIN_TYPE(Id, CppType, Kind, Name) Id,
#include "platform/rtti/BuiltinTypes.def"
    btDateTime,
};
const TTypeInfo* BuiltinType(TBuiltinType id);
inline const TTypeInfo* DateTimeType() { return BuiltinType(TBuiltinType::btDateTime); }

template <class T>
struct TTypeOf; // no descriptor: the type must be described or specialised

#define VORN_BUILTIN_TYPE(Id, CppType, Kind, Name) \
    template <> struct TTypeOf<CppType> {                                                                  \
        static const TTypeInfo* Get() {                                                                   \
            static const TTypeInfo* const type = BuiltinType(TBuiltinType::Id);                           \
            return type;                                                                                  \
        }                                                                                                 \
    };
#include "platform/rtti/BuiltinTypes.def"

template <DescribedClass T>
struct TTypeOf<T*> { static const TTypeInfo* Get() { return &T::ClassInfo(); } };
template <DescribedRecord T>
struct TTypeOf<T> { static const TTypeInfo* Get() { return &T::RecordInfo(); } };
template <DescribedEnum E>
struct TTypeOf<E> { static const TTypeInfo* Get() { return &DescribeEnum(E{}); } };

// Generated types are made once, owned by the type registry.
const TTypeInfo* MakeSetType(const TTypeInfo* element);
const TTypeInfo* MakeArrayType(const TTypeInfo* element);
const TTypeInfo* MakeOptionalType(const TTypeInfo* element, void* (*clone)(const void*), void (*destroy)(void*));

template <class E>
struct TTypeOf<TSet<E>> {
    static const TTypeInfo* Get() { static const TTypeInfo* type = MakeSetType(TTypeOf<E>::Get()); return type; }
};
template <class T>
struct TTypeOf<std::vector<T>> {
    static const TTypeInfo* Get() { static const TTypeInfo* type = MakeArrayType(TTypeOf<T>::Get()); return type; }
};
// "Nullable<System.Double>" and the like: a record of the value and a has-value flag.
template <class T>
struct TTypeOf<Nullable<T>> {
    static const TTypeInfo* Get() {
        static const TTypeInfo* type = MakeOptionalType(
            TTypeOf<T>::Get(), [](const void* v) -> void* { return new Nullable<T>(*static_cast<const Nullable<T>*>(v)); },
            [](void* v) { delete static_cast<Nullable<T>*>(v); });
        return type;
    }
};

template <class T>
concept HasTypeInfo = requires { { TTypeOf<T>::Get() } -> std::convertible_to<const TTypeInfo*>; };

// ---- Values -------------------------------------------------------------------------

template <class T>
struct TValueConv; // no conversion: such members are reached by address only

template <>
struct TValueConv<TValue> {
    static TValue To(const TValue& v) { return v; }
    static TValue From(const TValue& v) { return v; }
};
template <>
struct TValueConv<bool> {
    static TValue To(bool v) { return TValue::Bool(v); }
    static bool From(const TValue& v) { return v.AsBoolean(); }
};

// Range check of a narrowing integer conversion: ERangeError "Range check error".
[[noreturn]] void RaiseRangeError();

template <class T>
    requires(std::is_integral_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, char> && !std::is_same_v<T, char16_t>)
struct TValueConv<T> {
    static TValue To(T v) {
        if constexpr (std::is_signed_v<T>) return TValue::Int(v);
        else if constexpr (sizeof(T) < 8) return TValue::Int(int64_t(v));
        else return TValue::UInt(v);
    }
    static T From(const TValue& v) {
        if constexpr (std::is_same_v<T, uint64_t>) return v.AsUInt64();
        else {
            int64_t i = v.AsInt64();
            if (i < int64_t(std::numeric_limits<T>::min()) || i > int64_t(std::numeric_limits<T>::max())) RaiseRangeError();
            return T(i);
        }
    }
};
template <std::floating_point T>
struct TValueConv<T> {
    static TValue To(T v) { return TValue::Float(double(v)); }
    static T From(const TValue& v) { return T(v.AsFloat()); }
};
template <>
struct TValueConv<std::string> {
    static TValue To(const std::string& v) { return TValue::Text(v); }
    static std::string From(const TValue& v) { return v.AsString(); }
};
template <>
struct TValueConv<std::u16string> {
    static TValue To(const std::u16string& v) { return TValue::WideText(v); }
    static std::u16string From(const TValue& v) { return v.AsWideString(); }
};
// Characters: a one-character text, or a character code.
char CharFromValue(const TValue& v);
char16_t WideCharFromValue(const TValue& v);
template <>
struct TValueConv<char> {
    static TValue To(char v) { return TValue::Text(std::string(1, v)); }
    static char From(const TValue& v) { return CharFromValue(v); }
};
template <>
struct TValueConv<char16_t> {
    static TValue To(char16_t v) { return TValue::WideText(std::u16string(1, v)); }
    static char16_t From(const TValue& v) { return WideCharFromValue(v); }
};
template <>
struct TValueConv<const TClassInfo*> {
    static TValue To(const TClassInfo* v) { return TValue::Class(v); }
    static const TClassInfo* From(const TValue& v) { return v.AsClass(); }
};
template <DescribedEnum E>
struct TValueConv<E> {
    static TValue To(E v) { return TValue::Enum(int64_t(v), TTypeOf<E>::Get()); }
    static E From(const TValue& v) { return static_cast<E>(v.AsOrdinal(TTypeOf<E>::Get())); }
};
template <class E>
struct TValueConv<TSet<E>> {
    static TValue To(TSet<E> v) { return TValue::Set(v.Bits(), TTypeOf<TSet<E>>::Get()); }
    static TSet<E> From(const TValue& v) { return TSet<E>::FromBits(v.AsSetBits(TTypeOf<TSet<E>>::Get())); }
};
template <DescribedRecord R>
struct TValueConv<R> {
    static TValue To(const R& v) { return TValue::Record(&v, TTypeOf<R>::Get()); }
    static R From(const TValue& v) { return *static_cast<const R*>(v.AsRecord(TTypeOf<R>::Get())); }
};

// An object value carries the object's most derived described class, so scripts reach
// the members of the class the object really is.
template <DescribedClass T>
TValue ObjectToValue(T* object) {
    if (!object) return TValue::Object(nullptr, &T::ClassInfo());
    if constexpr (std::is_polymorphic_v<T>) {
        if constexpr (std::is_base_of_v<TObject, T>) {
            auto part = static_cast<const TObject*>(object)->ClassPart();
            return TValue::Object(part.first, part.second);
        } else {
            const TClassInfo* found = TTypeRegistry::Instance().ClassOfTypeId(typeid(*object));
            if (found) return TValue::Object(dynamic_cast<void*>(object), found);
        }
    }
    return TValue::Object(object, &T::ClassInfo());
}

template <DescribedClass T>
struct TValueConv<T*> {
    static TValue To(T* v) { return ObjectToValue(v); }
    static T* From(const TValue& v) { return static_cast<T*>(v.AsObject(&T::ClassInfo())); }
};
template <class T>
struct TValueConv<Nullable<T>> {
    static TValue To(const Nullable<T>& v) {
        return v.HasValue() ? TValueConv<T>::To(v.Value()) : TValue::NullEmpty(TTypeOf<Nullable<T>>::Get());
    }
    static Nullable<T> From(const TValue& v) {
        if (v.IsEmpty()) return {};
        return Nullable<T>(TValueConv<T>::From(v));
    }
};

template <class T>
concept ValueConvertible = requires(const T& t, const TValue& v) {
    { TValueConv<T>::To(t) } -> std::same_as<TValue>;
    { TValueConv<T>::From(v) } -> std::convertible_to<T>;
};

template <class T>
TValue ToValue(const T& v) { return TValueConv<T>::To(v); }
template <class T>
T FromValue(const TValue& v) { return TValueConv<T>::From(v); }

} // namespace vorn::platform::rtti

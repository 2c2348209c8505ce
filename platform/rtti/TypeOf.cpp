#include "platform/rtti/TypeOf.h"

#include "platform/Exceptions.h"

#include <array>

namespace vorn::platform::rtti {

namespace {

constexpr size_t kBuiltinCount = size_t(TBuiltinType::btDateTime) + 1;

std::array<const TTypeInfo*, kBuiltinCount> MakeBuiltins() {
    std::array<const TTypeInfo*, kBuiltinCount> types{};
    TTypeRegistry& registry = TTypeRegistry::Instance();
#define VORN_BUILTIN_TYPE(Id, CppType, Kind, Name)                                   \
    if (Kind == tkEnumeration) {                                                     \
        auto info = std::make_unique<TEnumInfo>(Kind, Name);                         \
        info->FValues = {{0, "False"}, {1, "True"}};                                 \
        types[size_t(TBuiltinType::Id)] = registry.Add(std::move(info));             \
    } else {                                                                         \
        types[size_t(TBuiltinType::Id)] = registry.Add(std::make_unique<TTypeInfo>(Kind, Name)); \
    }
#include "platform/rtti/BuiltinTypes.def"
    types[size_t(TBuiltinType::btDateTime)] = registry.Add(std::make_unique<TTypeInfo>(tkFloat, "TDateTime"));
    return types;
}

} // namespace

const TTypeInfo* BuiltinType(TBuiltinType id) {
    static const std::array<const TTypeInfo*, kBuiltinCount> types = MakeBuiltins();
    return types[size_t(id)];
}

const TTypeInfo* MakeSetType(const TTypeInfo* element) {
    auto info = std::make_unique<TTypeInfo>(tkSet, "set of " + element->Name(), element->UnitName());
    info->FElementType = element;
    return TTypeRegistry::Instance().Add(std::move(info));
}

const TTypeInfo* MakeArrayType(const TTypeInfo* element) {
    auto info = std::make_unique<TTypeInfo>(tkDynArray, "TArray<" + element->QualifiedName() + ">", "System");
    info->FElementType = element;
    return TTypeRegistry::Instance().Add(std::move(info));
}

// Optional values are records of the value and a has-value flag, named after the
// qualified value type: "Nullable<System.Double>", "Nullable<System.string>".
const TTypeInfo* MakeOptionalType(const TTypeInfo* element, void* (*clone)(const void*), void (*destroy)(void*)) {
    auto info = std::make_unique<TTypeInfo>(tkRecord, "Nullable<" + element->QualifiedName() + ">", "Spring");
    info->FElementType = element;
    info->FIsOptional = true;
    info->FClone = clone;
    info->FDelete = destroy;
    return TTypeRegistry::Instance().Add(std::move(info));
}

void RaiseRangeError() { throw ERangeError(); }

char CharFromValue(const TValue& v) {
    if (v.Kind() == TValueKind::vkString || v.Kind() == TValueKind::vkWideString) {
        std::string text = v.AsString();
        if (text.size() != 1) throw EConvertError("'" + text + "' is not a valid character");
        return text[0];
    }
    int64_t code = v.AsInt64();
    if (code < 0 || code > 255) RaiseRangeError();
    return char(code);
}

char16_t WideCharFromValue(const TValue& v) {
    if (v.Kind() == TValueKind::vkString || v.Kind() == TValueKind::vkWideString) {
        std::u16string text = v.AsWideString();
        if (text.size() != 1) throw EConvertError("'" + v.AsString() + "' is not a valid character");
        return text[0];
    }
    int64_t code = v.AsInt64();
    if (code < 0 || code > 0xFFFF) RaiseRangeError();
    return char16_t(code);
}

} // namespace vorn::platform::rtti

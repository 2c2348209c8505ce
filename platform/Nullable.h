#pragma once
// An optional value: the value and a has-value flag, as entities keep optional numbers,
// texts and identifiers (an empty optional maps to NULL in the store and to no member
// value in documents).

#include "platform/Exceptions.h"

#include <utility>

namespace vorn::platform {

template <class T>
class Nullable {
public:
    using ValueType = T;

    Nullable() = default;
    Nullable(T value) : FValue(std::move(value)), FHasValue(true) {}

    bool HasValue() const noexcept { return FHasValue; }
    // The value; raises EInvalidCast when there is none.
    const T& Value() const {
        if (!FHasValue) throw EInvalidCast("Invalid operation, Nullable type has no value.");
        return FValue;
    }
    // The value, or T's default (empty text, 0, False) when there is none.
    T GetValueOrDefault() const { return FHasValue ? FValue : T(); }
    void SetValue(T value) { FValue = std::move(value); FHasValue = true; }
    void Clear() { FValue = T(); FHasValue = false; }

    // Two empty values are equal; an empty value differs from every present one.
    friend bool operator==(const Nullable& a, const Nullable& b) {
        if (a.FHasValue != b.FHasValue) return false;
        return !a.FHasValue || a.FValue == b.FValue;
    }

private:
    T FValue{};
    bool FHasValue = false;
};

} // namespace vorn::platform

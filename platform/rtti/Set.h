#pragma once
// A set of enumeration values as a bit mask (bit i = ordinal i), the form in which
// sets travel through the reflection layer and the script values.

#include <cstdint>
#include <initializer_list>

namespace vorn::platform::rtti {

// Sets hold ordinals 0 to 63: every set type that scripts and entities use is smaller.
template <class E>
class TSet {
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> items) { for (E e : items) Include(e); }
    static constexpr TSet FromBits(uint64_t bits) { TSet s; s.FBits = bits; return s; }

    constexpr void Include(E e) { FBits |= Bit(e); }
    constexpr void Exclude(E e) { FBits &= ~Bit(e); }
    constexpr bool Contains(E e) const { return (FBits & Bit(e)) != 0; }
    constexpr uint64_t Bits() const { return FBits; }
    constexpr bool IsEmpty() const { return FBits == 0; }
    friend constexpr bool operator==(TSet a, TSet b) { return a.FBits == b.FBits; }

private:
    static constexpr uint64_t Bit(E e) {
        auto ordinal = static_cast<uint64_t>(e);
        return ordinal < 64 ? uint64_t(1) << ordinal : 0;
    }
    uint64_t FBits = 0;
};

} // namespace vorn::platform::rtti

#pragma once
// The text that script values and instruction operands hold: UTF-16 code units in an
// immutable, reference-counted buffer, so copying a value or pushing a literal costs one
// counter increment. The empty text owns no buffer. The counts are plain integers: the
// engine and its values live on one thread (a value is never shared across threads).

#include <cstdint>
#include <string_view>

#include "platform/Unicode.h"

namespace vorn::engine {

class ScriptText {
public:
    // 2^28 code units (512 MiB): far beyond any audit script's text, and low enough that a
    // runaway doubling loop ends in "Out of memory" before it exhausts the machine.
    static constexpr size_t MaxLength = size_t(1) << 28;

    ScriptText() noexcept = default;
    explicit ScriptText(platform::UStringView text);
    // Widens UTF-8 text (the engine's internal text) to UTF-16.
    static ScriptText FromUtf8(std::string_view utf8);
    // The texts one after the other, in one new buffer.
    static ScriptText Concat(platform::UStringView a, platform::UStringView b);

    ScriptText(const ScriptText& other) noexcept : FRep(other.FRep) { Retain(); }
    ScriptText(ScriptText&& other) noexcept : FRep(other.FRep) { other.FRep = nullptr; }
    ScriptText& operator=(const ScriptText& other) noexcept;
    ScriptText& operator=(ScriptText&& other) noexcept;
    ~ScriptText() { Release(); }

    platform::UStringView View() const noexcept { return ViewOf(FRep); }
    size_t Length() const noexcept { return FRep ? FRep->FLength : 0; }
    bool IsEmpty() const noexcept { return FRep == nullptr; }
    platform::UString ToUString() const { return platform::UString(View()); }
    std::string ToUtf8() const { return platform::Utf16ToUtf8(View()); }

    // The raw buffer handle, for the value type that stores it in its 8-byte payload.
    struct Rep {
        uint32_t FRefs;
        uint32_t FLength;
    };
    Rep* Detach() noexcept { Rep* rep = FRep; FRep = nullptr; return rep; }
    static ScriptText Adopt(Rep* rep) noexcept { ScriptText t; t.FRep = rep; return t; }
    static void RetainRep(Rep* rep) noexcept {
        if (rep) ++rep->FRefs;
    }
    static void ReleaseRep(Rep* rep) noexcept {
        if (rep && --rep->FRefs == 0) FreeRep(rep);
    }
    static platform::UStringView ViewOf(const Rep* rep) noexcept {
        if (!rep) return {};
        return {reinterpret_cast<const char16_t*>(rep + 1), rep->FLength};
    }

private:
    static Rep* Allocate(size_t length);
    static void FreeRep(Rep* rep) noexcept;
    void Retain() noexcept { RetainRep(FRep); }
    void Release() noexcept { ReleaseRep(FRep); FRep = nullptr; }

    Rep* FRep = nullptr;
};

} // namespace vorn::engine

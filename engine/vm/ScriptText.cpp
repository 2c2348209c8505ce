#include "engine/vm/ScriptText.h"

#include <cstring>
#include <new>

#include "platform/Exceptions.h"

namespace vorn::engine {

namespace {

char16_t* DataOf(ScriptText::Rep* rep) { return reinterpret_cast<char16_t*>(rep + 1); }

} // namespace

ScriptText::Rep* ScriptText::Allocate(size_t length) {
    // A text holds at most 2^30 code units (2 GiB); a script that doubles a text in a
    // loop ends with "Out of memory" instead of exhausting the process.
    if (length > MaxLength) throw platform::EOutOfMemory();
    void* memory = ::operator new(sizeof(Rep) + length * sizeof(char16_t));
    Rep* rep = new (memory) Rep;
    rep->FRefs = 1;
    rep->FLength = static_cast<uint32_t>(length);
    return rep;
}

ScriptText::ScriptText(platform::UStringView text) {
    if (text.empty()) return;
    FRep = Allocate(text.size());
    std::memcpy(DataOf(FRep), text.data(), text.size() * sizeof(char16_t));
}

ScriptText ScriptText::FromUtf8(std::string_view utf8) {
    return ScriptText(platform::Utf8ToUtf16(utf8));
}

ScriptText ScriptText::Concat(platform::UStringView a, platform::UStringView b) {
    ScriptText result;
    if (a.empty() && b.empty()) return result;
    result.FRep = Allocate(a.size() + b.size());
    char16_t* data = DataOf(result.FRep);
    if (!a.empty()) std::memcpy(data, a.data(), a.size() * sizeof(char16_t));
    if (!b.empty()) std::memcpy(data + a.size(), b.data(), b.size() * sizeof(char16_t));
    return result;
}

ScriptText& ScriptText::operator=(const ScriptText& other) noexcept {
    RetainRep(other.FRep);
    ReleaseRep(FRep);
    FRep = other.FRep;
    return *this;
}

ScriptText& ScriptText::operator=(ScriptText&& other) noexcept {
    if (this != &other) {
        ReleaseRep(FRep);
        FRep = other.FRep;
        other.FRep = nullptr;
    }
    return *this;
}

void ScriptText::FreeRep(Rep* rep) noexcept {
    rep->~Rep();
    ::operator delete(rep);
}

} // namespace vorn::engine

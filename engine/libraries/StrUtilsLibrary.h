#pragma once
// The StrUtils library (`TatStrUtilsLibrary`): text searches and replacements, splicing,
// byte-counted cuts, the buffer search SearchBuf and the Soundex phonetic codes. One
// instance per scripter; no state.

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/compiler/ScriptLibrary.h"
#include "platform/Unicode.h"

namespace vorn::engine {

class TatStrUtilsLibrary : public TatScripterLibrary {
public:
    static constexpr const char* LibraryClassName = "TatStrUtilsLibrary";
    static std::string LibraryName() { return "StrUtils"; }

    explicit TatStrUtilsLibrary(TatCustomScripter* scripter) : TatScripterLibrary(scripter) {}
    void Init() override;
    static const platform::rtti::TClassInfo& ClassInfo();
};

// The text operations behind the adapters, usable without a machine.
namespace strutils {

// The longest text DupeString and Soundex build (UTF-16 units): larger requests fail with
// EOutOfMemory instead of exhausting memory.
constexpr int64_t kMaxResultLength = int64_t(1) << 26;

// The Soundex code of a text: the first character, then up to `length` - 1 digits,
// padded with "0" (never cut; every digit for a length of 1 or less). A length above
// kMaxResultLength raises EOutOfMemory.
platform::UString Soundex(platform::UStringView text, int32_t length);
int32_t SoundexInt(platform::UStringView text, int32_t length);
platform::UString DecodeSoundexInt(int32_t value);
uint16_t SoundexWord(platform::UStringView text);
platform::UString DecodeSoundexWord(uint16_t value);

// The option bits of SearchBuf.
enum : uint8_t { soDown = 1, soMatchCase = 2, soWholeWord = 4 };
// Searches the Windows-1252 bytes of `buffer`; the byte offset of the match or -1. The
// buffer length is never trusted past the buffer's end.
int64_t SearchBuf(std::string_view buffer, int64_t bufLen, int64_t selStart, int64_t selLength,
                  std::string_view searchString, uint8_t options);

// Every occurrence of `from` replaced by `to`; `ignoreCase` compares by simple Unicode
// case folding. An empty `from` replaces nothing.
platform::UString ReplaceAll(platform::UStringView text, platform::UStringView from, platform::UStringView to,
                             bool ignoreCase);

} // namespace strutils

} // namespace vorn::engine

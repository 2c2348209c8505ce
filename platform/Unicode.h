#pragma once
// Text conversions at the edges: script values hold UTF-16 (the mobile product counts
// UTF-16 code units), host layers hold UTF-8, narrow script text uses Windows-1252.

#include <string>
#include <string_view>

namespace vorn::platform {

using UString = std::u16string;
using UStringView = std::u16string_view;

// Malformed UTF-8 becomes U+FFFD per bad sequence; never throws.
UString Utf8ToUtf16(std::string_view text);
// Lone surrogates become U+FFFD; never throws.
std::string Utf16ToUtf8(UStringView text);

// The fixed single-byte code page of narrow text (Windows-1252). Characters that the
// code page cannot hold become '?'; the five undefined bytes map to the C1 controls.
std::string Utf16ToAnsi(UStringView text);
UString AnsiToUtf16(std::string_view bytes);
char16_t AnsiCharToUtf16(unsigned char c);
// The Windows-1252 byte of one UTF-16 unit, or '?' when it has none.
unsigned char Utf16CharToAnsi(char16_t c);

// ASCII-only widening for texts known to be ASCII (numbers, fixed messages).
UString AsciiToUtf16(std::string_view ascii);

} // namespace vorn::platform

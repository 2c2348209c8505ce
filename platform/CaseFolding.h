#pragma once
// The two ways names and texts compare without regard to case: folding of the
// letters A to Z only (registry and symbol lookups, grammar characters), and
// locale-independent Unicode folding through ICU (AnsiUpperCase, library and unit names).

#include "platform/Unicode.h"

namespace vorn::platform {

constexpr char AsciiUpperChar(char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : c; }
constexpr char AsciiLowerChar(char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; }
constexpr char16_t AsciiUpperChar(char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; }
constexpr char16_t AsciiLowerChar(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; }

std::string AsciiUpperCase(std::string_view text);
std::string AsciiLowerCase(std::string_view text);
UString AsciiUpperCase(UStringView text);
UString AsciiLowerCase(UStringView text);
// Ordinal comparison after folding A-Z: <0, 0, >0.
int AsciiCompareText(std::string_view a, std::string_view b);
int AsciiCompareText(UStringView a, UStringView b);
bool AsciiSameText(std::string_view a, std::string_view b);
bool AsciiSameText(UStringView a, UStringView b);

// Full Unicode case mapping (root locale), so results never depend on the process locale.
UString UnicodeUpperCase(UStringView text);
UString UnicodeLowerCase(UStringView text);
std::string UnicodeUpperCase(std::string_view utf8);
std::string UnicodeLowerCase(std::string_view utf8);
// Comparison of the case-folded texts by code point: <0, 0, >0.
int UnicodeCompareText(UStringView a, UStringView b);
int UnicodeCompareText(std::string_view a, std::string_view b);
bool UnicodeSameText(UStringView a, UStringView b);
bool UnicodeSameText(std::string_view a, std::string_view b);
// Case-sensitive comparison by code point (AnsiCompareStr): <0, 0, >0.
int UnicodeCompareStr(UStringView a, UStringView b);

} // namespace vorn::platform

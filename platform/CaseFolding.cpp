// ASCII folding, and Unicode case mapping through ICU with the root locale: the same
// text always maps the same way, whatever locale the process runs in (no Turkish
// dotted I, "ß" upper-cases to "SS").

#include "platform/CaseFolding.h"

#include <climits>
#include <unicode/uchar.h>
#include <unicode/ustring.h>
#include <unicode/utypes.h>

#include "platform/Exceptions.h"

namespace vorn::platform {

namespace {

template <class Text, class Out>
Out MapAscii(Text text, auto map) {
    Out out(text);
    for (auto& c : out) c = map(c);
    return out;
}

template <class View>
int CompareAscii(View a, View b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const int ca = static_cast<int>(AsciiUpperChar(a[i]));
        const int cb = static_cast<int>(AsciiUpperChar(b[i]));
        if (ca != cb) return ca - cb;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

int32_t IcuLength(size_t size) {
    // ICU counts in 32-bit integers; no script text comes near that.
    if (size > static_cast<size_t>(INT32_MAX) / 4) throw EOutOfMemory();
    return static_cast<int32_t>(size);
}

// One ICU string operation, sized by a first call and run again when the result grows
// (upper-casing "ß" gives two characters).
template <class Op>
UString RunIcu(UStringView text, Op op) {
    if (text.empty()) return {};
    const int32_t length = IcuLength(text.size());
    UString out(text.size() + 8, u'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        UErrorCode status = U_ZERO_ERROR;
        const int32_t needed = op(out.data(), IcuLength(out.size()), text.data(), length, &status);
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            out.assign(static_cast<size_t>(needed), u'\0');
            continue;
        }
        if (U_FAILURE(status)) throw EConvertError(u_errorName(status));
        out.resize(static_cast<size_t>(needed));
        return out;
    }
    throw EConvertError("Case mapping failed");
}

UString FoldCase(UStringView text) {
    return RunIcu(text, [](char16_t* d, int32_t dn, const char16_t* s, int32_t sn, UErrorCode* e) {
        return u_strFoldCase(d, dn, s, sn, U_FOLD_CASE_DEFAULT, e);
    });
}

int Sign(int32_t value) { return value < 0 ? -1 : (value > 0 ? 1 : 0); }

} // namespace

std::string AsciiUpperCase(std::string_view text) {
    return MapAscii<std::string_view, std::string>(text, [](char c) { return AsciiUpperChar(c); });
}
std::string AsciiLowerCase(std::string_view text) {
    return MapAscii<std::string_view, std::string>(text, [](char c) { return AsciiLowerChar(c); });
}
UString AsciiUpperCase(UStringView text) {
    return MapAscii<UStringView, UString>(text, [](char16_t c) { return AsciiUpperChar(c); });
}
UString AsciiLowerCase(UStringView text) {
    return MapAscii<UStringView, UString>(text, [](char16_t c) { return AsciiLowerChar(c); });
}

int AsciiCompareText(std::string_view a, std::string_view b) { return CompareAscii(a, b); }
int AsciiCompareText(UStringView a, UStringView b) { return CompareAscii(a, b); }
bool AsciiSameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CompareAscii(a, b) == 0;
}
bool AsciiSameText(UStringView a, UStringView b) {
    return a.size() == b.size() && CompareAscii(a, b) == 0;
}

UString UnicodeUpperCase(UStringView text) {
    return RunIcu(text, [](char16_t* d, int32_t dn, const char16_t* s, int32_t sn, UErrorCode* e) {
        return u_strToUpper(d, dn, s, sn, "", e);
    });
}
UString UnicodeLowerCase(UStringView text) {
    return RunIcu(text, [](char16_t* d, int32_t dn, const char16_t* s, int32_t sn, UErrorCode* e) {
        return u_strToLower(d, dn, s, sn, "", e);
    });
}
std::string UnicodeUpperCase(std::string_view utf8) {
    return Utf16ToUtf8(UnicodeUpperCase(Utf8ToUtf16(utf8)));
}
std::string UnicodeLowerCase(std::string_view utf8) {
    return Utf16ToUtf8(UnicodeLowerCase(Utf8ToUtf16(utf8)));
}

int UnicodeCompareText(UStringView a, UStringView b) {
    return UnicodeCompareStr(FoldCase(a), FoldCase(b));
}
int UnicodeCompareText(std::string_view a, std::string_view b) {
    return UnicodeCompareText(Utf8ToUtf16(a), Utf8ToUtf16(b));
}
bool UnicodeSameText(UStringView a, UStringView b) { return UnicodeCompareText(a, b) == 0; }
bool UnicodeSameText(std::string_view a, std::string_view b) { return UnicodeCompareText(a, b) == 0; }

int UnicodeCompareStr(UStringView a, UStringView b) {
    if (a.empty() || b.empty()) return a.empty() ? (b.empty() ? 0 : -1) : 1;
    return Sign(u_strCompare(a.data(), IcuLength(a.size()), b.data(), IcuLength(b.size()), true));
}

} // namespace vorn::platform

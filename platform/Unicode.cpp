// UTF-8, UTF-16 and Windows-1252 conversions. Decoding follows the "maximal subpart"
// practice: each malformed sequence becomes one U+FFFD and decoding resumes at the
// first byte that cannot continue it, so the output never depends on what follows.

#include "platform/Unicode.h"

#include <cstdint>

namespace vorn::platform {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// The Windows-1252 characters of the bytes 0x80 to 0x9F; the five undefined bytes
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) keep their C1 control code points.
constexpr char16_t kAnsiHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Decodes one code point at text[i]; advances i past the consumed bytes and returns
// the code point, or -1 for a malformed (sub)sequence.
int32_t DecodeUtf8(std::string_view text, size_t& i) {
    const unsigned char lead = static_cast<unsigned char>(text[i++]);
    if (lead < 0x80) return lead;
    int count;
    uint32_t cp;
    unsigned char lo = 0x80, hi = 0xBF; // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) { count = 1; cp = lead & 0x1F; }
    else if (lead >= 0xE0 && lead <= 0xEF) {
        count = 2; cp = lead & 0x0F;
        if (lead == 0xE0) lo = 0xA0;      // overlong
        if (lead == 0xED) hi = 0x9F;      // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        count = 3; cp = lead & 0x07;
        if (lead == 0xF0) lo = 0x90;      // overlong
        if (lead == 0xF4) hi = 0x8F;      // beyond U+10FFFF
    } else {
        return -1;
    }
    for (int k = 0; k < count; ++k) {
        if (i >= text.size()) return -1;
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (k == 0 ? (c < lo || c > hi) : !IsContinuation(c)) return -1;
        cp = (cp << 6) | (c & 0x3F);
        ++i;
    }
    return static_cast<int32_t>(cp);
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

} // namespace

UString Utf8ToUtf16(std::string_view text) {
    UString out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const int32_t cp = DecodeUtf8(text, i);
        if (cp < 0) {
            out += kReplacement;
        } else if (cp < 0x10000) {
            out += char16_t(cp);
        } else {
            out += char16_t(0xD800 + ((cp - 0x10000) >> 10));
            out += char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
        }
    }
    return out;
}

std::string Utf16ToUtf8(UStringView text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = kReplacement;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

char16_t AnsiCharToUtf16(unsigned char c) {
    return c >= 0x80 && c <= 0x9F ? kAnsiHigh[c - 0x80] : char16_t(c);
}

unsigned char Utf16CharToAnsi(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<unsigned char>(c);
    for (int k = 0; k < 32; ++k) {
        if (kAnsiHigh[k] == c) return static_cast<unsigned char>(0x80 + k);
    }
    return '?';
}

std::string Utf16ToAnsi(UStringView text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        // A surrogate pair is one character, so it becomes one '?'.
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            ++i;
        }
        out += char(Utf16CharToAnsi(c));
    }
    return out;
}

UString AnsiToUtf16(std::string_view bytes) {
    UString out;
    out.reserve(bytes.size());
    for (const char c : bytes) out += AnsiCharToUtf16(static_cast<unsigned char>(c));
    return out;
}

UString AsciiToUtf16(std::string_view ascii) {
    UString out(ascii.size(), u'\0');
    for (size_t i = 0; i < ascii.size(); ++i) out[i] = char16_t(static_cast<unsigned char>(ascii[i]));
    return out;
}

} // namespace vorn::platform

// The StrUtils text operations that work without a machine: Soundex codes, the buffer
// search and replace-all.

#include <unicode/uchar.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <array>
#include <string>

#include "engine/libraries/StrUtilsLibrary.h"
#include "platform/Exceptions.h"

namespace vorn::engine::strutils {

using platform::UString;
using platform::UStringView;

namespace {

// The score of a character code: digits for consonants, 0 for vowels (and the codes 91
// to 96), -1 for H and W, which neither give a digit nor separate equal digits.
int SoundexScore(char16_t c) {
    static constexpr signed char kScores[26] = {0, 1, 2, 3, 0, 1, 2, -1, 0, 2, 2, 4, 5,
                                                5, 0, 1, 2, 6, 2, 3, 0, 1, -1, 2, 0, 2};
    if (c >= u'A' && c <= u'Z') return kScores[c - u'A'];
    if (c >= u'a' && c <= u'z') return kScores[c - u'a'];
    return 0;
}

int Digit(char16_t c) { return c >= u'0' && c <= u'9' ? c - u'0' : 0; }

} // namespace

UString Soundex(UStringView text, int32_t length) {
    if (text.empty()) return {};
    if (length > kMaxResultLength) throw platform::EOutOfMemory();
    UString result(1, text[0] >= u'a' && text[0] <= u'z' ? char16_t(text[0] - 32) : text[0]);
    int previous = SoundexScore(text[0]);
    for (size_t i = 1; i < text.size(); ++i) {
        const int score = SoundexScore(text[i]);
        if (score > 0 && score != previous) {
            result += char16_t(u'0' + score);
            if (int32_t(result.size()) == length) break;
        }
        if (score != -1) previous = score;
    }
    if (int32_t(result.size()) < length) result.append(size_t(length) - result.size(), u'0');
    return result;
}

// 32-bit arithmetic that wraps as the classic routine's does.
int32_t SoundexInt(UStringView text, int32_t length) {
    if (text.empty()) return 0;
    const UString code = Soundex(text, length);
    uint32_t value = uint32_t(int32_t(code[0]) - 65);
    if (length > 1) {
        value = value * 26 + uint32_t(Digit(code[1]));
        for (int32_t i = 3; i <= length; ++i) value = value * 7 + uint32_t(Digit(code[size_t(i - 1)]));
    }
    return int32_t(value * 9 + uint32_t(length));
}

UString DecodeSoundexInt(int32_t value) {
    const int32_t length = value % 9;
    int32_t v = value / 9;
    UString digits;
    for (int32_t i = length; i >= 3; --i) {
        digits.insert(digits.begin(), char16_t(u'0' + v % 7));
        v /= 7;
    }
    if (length > 1) {
        const std::string twoDigits = std::to_string(v % 26);
        digits.insert(0, platform::AsciiToUtf16(twoDigits));
        v /= 26;
    }
    return UString(1, char16_t(65 + v)) + digits;
}

// An empty text has no code; it gives 0, as SoundexInt does.
uint16_t SoundexWord(UStringView text) {
    if (text.empty()) return 0;
    const UString code = Soundex(text, 4);
    uint16_t value = uint16_t(int32_t(code[0]) - 65);
    value = uint16_t(value * 26 + Digit(code[1]));
    value = uint16_t(value * 7 + Digit(code[2]));
    return uint16_t(value * 7 + Digit(code[3]));
}

UString DecodeSoundexWord(uint16_t value) {
    UString result(1, char16_t(65 + value / 1274));
    result += platform::AsciiToUtf16(std::to_string((value / 49) % 26));
    result += char16_t(u'0' + (value / 7) % 7);
    result += char16_t(u'0' + value % 7);
    return result;
}

// ---- SearchBuf ----------------------------------------------------------------------------------

namespace {

// Every byte but the ASCII letters and digits separates words.
bool IsDelimiter(unsigned char c) {
    return !((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'));
}

// The Windows-1252 upper-case table: a byte keeps its value when its upper case has no byte.
const std::array<unsigned char, 256>& AnsiUpperTable() {
    static const std::array<unsigned char, 256> table = [] {
        std::array<unsigned char, 256> t{};
        for (int c = 0; c < 256; ++c) {
            const UChar32 upper = u_toupper(platform::AnsiCharToUtf16(static_cast<unsigned char>(c)));
            const unsigned char mapped = upper <= 0xFFFF ? platform::Utf16CharToAnsi(char16_t(upper)) : '?';
            t[size_t(c)] = mapped == '?' && upper != '?' ? static_cast<unsigned char>(c) : mapped;
        }
        return t;
    }();
    return table;
}

// The state of one search: the buffer, the candidate position and how many remain.
struct TSearch {
    std::string_view FBuf;
    int64_t FPos = 0;
    int64_t FCount = 0;
    int FDirection = 1;

    unsigned char At(int64_t i) const { return static_cast<unsigned char>(FBuf[size_t(i)]); }
    void Step() { FPos += FDirection; --FCount; }
    // Moves to the start of the next word (forward: past the rest of this word and the
    // delimiters after it; backward: past delimiters and the word before them, then back
    // onto its first byte). False when the candidates run out.
    bool NextWordStart() {
        while (FCount > 0 && (FDirection == 1) != IsDelimiter(At(FPos))) Step();
        while (FCount > 0 && (FDirection == -1) != IsDelimiter(At(FPos))) Step();
        const bool found = FCount > 0;
        if (FDirection == -1) {
            FPos += 1;
            FCount += 1;
        }
        return found;
    }
};

bool MatchesAt(const TSearch& s, std::string_view search, bool matchCase) {
    const auto& upper = AnsiUpperTable();
    for (size_t i = 0; i < search.size(); ++i) {
        const unsigned char a = s.At(s.FPos + int64_t(i)), b = static_cast<unsigned char>(search[i]);
        if (matchCase ? a != b : upper[a] != upper[b]) return false;
    }
    return true;
}

bool IsWholeWordAt(const TSearch& s, int64_t length, int64_t bufLen) {
    const int64_t after = s.FPos + length;
    if (after < bufLen && !IsDelimiter(s.At(after))) return false;
    return s.FPos == 0 || IsDelimiter(s.At(s.FPos - 1));
}

} // namespace

int64_t SearchBuf(std::string_view buffer, int64_t bufLen, int64_t selStart, int64_t selLength,
                  std::string_view searchString, uint8_t options) {
    bufLen = std::min<int64_t>(bufLen, int64_t(buffer.size()));
    const int64_t length = int64_t(searchString.size());
    if (bufLen <= 0 || length == 0) return -1;
    TSearch s{buffer.substr(0, size_t(bufLen))};
    if (options & soDown) {
        s.FPos = selStart + selLength;
        s.FCount = bufLen - length - s.FPos + 1;
    } else {
        s.FDirection = -1;
        s.FPos = selStart - length + 1;
        // A candidate never reads past the buffer: a start too near its end moves back.
        if (s.FPos > bufLen - length && s.FPos <= bufLen) s.FPos = bufLen - length;
    }
    if (s.FDirection == -1) s.FCount = s.FPos + 1;
    if (s.FPos < 0 || s.FPos > bufLen || s.FCount <= 0) return -1;
    const bool wholeWord = options & soWholeWord;
    const int64_t first = s.FPos;
    while (s.FCount > 0) {
        if (wholeWord && (s.FPos != first || IsDelimiter(s.At(s.FPos))) && !s.NextWordStart()) return -1;
        if (MatchesAt(s, searchString, options & soMatchCase) && (!wholeWord || IsWholeWordAt(s, length, bufLen)))
            return s.FPos;
        s.Step();
    }
    return -1;
}

// ---- Replacing ----------------------------------------------------------------------------------

namespace {

// Simple (length-keeping) upper case of each UTF-16 unit, so positions in the folded
// text are positions in the original.
UString FoldUnits(UStringView text) {
    UString folded(text);
    for (char16_t& c : folded)
        if (!U16_IS_SURROGATE(c)) c = char16_t(u_toupper(c));
    return folded;
}

} // namespace

UString ReplaceAll(UStringView text, UStringView from, UStringView to, bool ignoreCase) {
    if (from.empty()) return UString(text);
    const UString foldedText = ignoreCase ? FoldUnits(text) : UString();
    const UString foldedFrom = ignoreCase ? FoldUnits(from) : UString();
    const UStringView haystack = ignoreCase ? UStringView(foldedText) : text;
    const UStringView needle = ignoreCase ? UStringView(foldedFrom) : from;
    UString result;
    size_t start = 0;
    for (size_t at = haystack.find(needle); at != UStringView::npos; at = haystack.find(needle, start)) {
        result.append(text.substr(start, at - start));
        result.append(to);
        start = at + needle.size();
    }
    result.append(text.substr(start));
    return result;
}

} // namespace vorn::engine::strutils

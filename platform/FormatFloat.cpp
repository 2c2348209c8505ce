// FormatFloat's number patterns. A section is read once into a layout (placeholder
// counts, grouping, scientific form), the value is rounded to that layout, and the
// section is then walked again to place digits and literals where the pattern has them.

#include <cmath>
#include <vector>

#include "platform/DecimalDigits.h"
#include "platform/Format.h"

namespace vorn::platform {

namespace {

struct TNumberLayout {
    int IntPlaces = 0;   // digit placeholders before the decimal point
    int MinInt = 0;      // from the first '0' before the point
    int DecPlaces = 0;   // digit placeholders after the point
    int MinDec = 0;      // up to the last '0' after the point
    bool Grouping = false;
    bool Scientific = false;
};

bool IsQuote(char c) { return c == '\'' || c == '"'; }

bool IsExponentAt(std::string_view section, size_t i) {
    return (section[i] == 'E' || section[i] == 'e') && i + 1 < section.size() &&
           (section[i + 1] == '+' || section[i + 1] == '-');
}

// The index after the quoted literal that starts at section[i].
size_t SkipQuoted(std::string_view section, size_t i) {
    const size_t close = section.find(section[i], i + 1);
    return close == std::string_view::npos ? section.size() : close + 1;
}

TNumberLayout ReadLayout(std::string_view section) {
    TNumberLayout layout;
    bool afterPoint = false;
    int firstZero = -1;
    for (size_t i = 0; i < section.size(); ++i) {
        const char c = section[i];
        if (IsQuote(c)) { i = SkipQuoted(section, i) - 1; continue; }
        if (IsExponentAt(section, i)) { layout.Scientific = true; break; }
        if (c == '.') afterPoint = true;
        else if (c == ',') layout.Grouping = true;
        else if (c == '0' || c == '#') {
            if (afterPoint) {
                ++layout.DecPlaces;
                if (c == '0') layout.MinDec = layout.DecPlaces;
            } else {
                if (c == '0' && firstZero < 0) firstZero = layout.IntPlaces;
                ++layout.IntPlaces;
            }
        }
    }
    layout.MinInt = firstZero < 0 ? 0 : layout.IntPlaces - firstZero;
    return layout;
}

// The rounded value laid out for the section: integer digits, fraction digits and the
// exponent of the scientific form.
struct TLaidOutNumber {
    std::string IntDigits, FracDigits;
    int Exponent = 0;
    bool Negative = false;
    bool Zero = true;
};

TLaidOutNumber LayOut(TDecimalDigits number, const TNumberLayout& layout) {
    TLaidOutNumber out;
    int intCount = number.Exponent;
    if (layout.Scientific) {
        RoundDigits(number, layout.IntPlaces + layout.DecPlaces);
        out.Exponent = number.Digits.empty() ? 0 : number.Exponent - layout.IntPlaces;
        intCount = layout.IntPlaces;
    } else {
        RoundDecimals(number, layout.DecPlaces);
        intCount = number.Exponent;
    }
    auto digitAt = [&](int k) {
        return k >= 0 && k < int(number.Digits.size()) ? number.Digits[size_t(k)] : '0';
    };
    for (int k = 0; k < intCount; ++k) out.IntDigits += digitAt(k);
    if (!layout.Scientific) {
        const size_t first = out.IntDigits.find_first_not_of('0');
        out.IntDigits.erase(0, first == std::string::npos ? out.IntDigits.size() : first);
    }
    if (int(out.IntDigits.size()) < layout.MinInt) {
        out.IntDigits.insert(0, size_t(layout.MinInt) - out.IntDigits.size(), '0');
    }
    for (int j = 0; j < layout.DecPlaces; ++j) out.FracDigits += digitAt(intCount + j);
    while (int(out.FracDigits.size()) > layout.MinDec && out.FracDigits.back() == '0') {
        out.FracDigits.pop_back();
    }
    out.Negative = number.Negative;
    out.Zero = number.Digits.empty();
    return out;
}

class TPatternWriter {
public:
    TPatternWriter(const TNumberLayout& layout, const TLaidOutNumber& number)
        : FLayout(layout), FNumber(number) {}
    std::string Write(std::string_view section);

private:
    void IntDigit(size_t index);
    size_t Exponent(std::string_view section, size_t i);

    const TNumberLayout& FLayout;
    const TLaidOutNumber& FNumber;
    std::string FOut;
};

void TPatternWriter::IntDigit(size_t index) {
    const std::string& digits = FNumber.IntDigits;
    FOut += digits[index];
    const size_t remaining = digits.size() - 1 - index;
    if (FLayout.Grouping && !FLayout.Scientific && remaining > 0 && remaining % 3 == 0) FOut += ',';
}

// Writes "E", the sign and the exponent digits for the marker at section[i]; returns the
// index after the marker and its '0' placeholders.
size_t TPatternWriter::Exponent(std::string_view section, size_t i) {
    FOut += section[i];
    if (FNumber.Exponent < 0) FOut += '-';
    else if (section[i + 1] == '+') FOut += '+';
    size_t end = i + 2;
    while (end < section.size() && section[end] == '0') ++end;
    const int minDigits = std::min(int(end - i - 2), 4);
    const std::string digits = std::to_string(std::abs(FNumber.Exponent));
    if (int(digits.size()) < minDigits) FOut.append(size_t(minDigits) - digits.size(), '0');
    FOut += digits;
    return end;
}

std::string TPatternWriter::Write(std::string_view section) {
    const int extra = int(FNumber.IntDigits.size()) - FLayout.IntPlaces;
    int intPlace = 0, fracPlace = 0;
    bool afterPoint = false, exponentDone = false;
    for (size_t i = 0; i < section.size();) {
        const char c = section[i];
        if (IsQuote(c)) {
            const size_t close = section.find(c, i + 1);
            const size_t end = close == std::string_view::npos ? section.size() : close;
            FOut.append(section.substr(i + 1, end - i - 1));
            i = end + 1;
        } else if (!exponentDone && FLayout.Scientific && IsExponentAt(section, i)) {
            i = Exponent(section, i);
            exponentDone = true;
        } else if ((c == '0' || c == '#') && !exponentDone) {
            if (!afterPoint) {
                if (intPlace == 0) {
                    for (int k = 0; k < extra; ++k) IntDigit(size_t(k));
                }
                const int index = intPlace + extra;
                if (index >= 0) IntDigit(size_t(index));
                ++intPlace;
            } else if (fracPlace < int(FNumber.FracDigits.size())) {
                FOut += FNumber.FracDigits[size_t(fracPlace++)];
            }
            ++i;
        } else if (c == '.' && !afterPoint && !exponentDone) {
            afterPoint = true;
            // With no placeholder before the point the integer digits go here.
            if (FLayout.IntPlaces == 0) {
                for (size_t k = 0; k < FNumber.IntDigits.size(); ++k) IntDigit(k);
            }
            if (!FNumber.FracDigits.empty()) FOut += '.';
            ++i;
        } else if (c == ',' && !exponentDone) {
            ++i; // grouping is placed with the digits
        } else {
            FOut += c;
            ++i;
        }
    }
    return FOut;
}

// The sections of a pattern, split at ';' outside quotes; only the first three count.
std::vector<std::string_view> SplitSections(std::string_view pattern) {
    std::vector<std::string_view> sections;
    size_t start = 0, i = 0;
    while (i < pattern.size() && sections.size() < 2) {
        if (IsQuote(pattern[i])) {
            i = SkipQuoted(pattern, i);
        } else if (pattern[i++] == ';') {
            sections.push_back(pattern.substr(start, i - 1 - start));
            start = i;
        }
    }
    size_t end = start;
    while (end < pattern.size() && pattern[end] != ';') {
        end = IsQuote(pattern[end]) ? SkipQuoted(pattern, end) : end + 1;
    }
    sections.push_back(pattern.substr(start, std::min(end, pattern.size()) - start));
    return sections;
}

} // namespace

std::string FormatFloat(std::string_view pattern, double value) {
    if (pattern.empty() || !std::isfinite(value)) return FloatToStr(value);
    const std::vector<std::string_view> sections = SplitSections(pattern);
    const TDecimalDigits digits = DecimalFromDouble(value);
    size_t chosen = digits.Negative && sections.size() > 1 && !sections[1].empty() ? 1 : 0;
    TNumberLayout layout = ReadLayout(sections[chosen]);
    // Values too large for the fixed form keep their general form.
    if (!layout.Scientific && digits.Exponent > 18) return FloatToStr(value);
    TLaidOutNumber number = LayOut(digits, layout);
    if (number.Zero && sections.size() > 2 && !sections[2].empty()) {
        chosen = 2;
        layout = ReadLayout(sections[chosen]);
        number = LayOut(digits, layout);
    }
    std::string text = TPatternWriter(layout, number).Write(sections[chosen]);
    // Only the first section takes a sign; the negative section writes its own.
    if (chosen == 0 && number.Negative && !number.Zero) text.insert(0, 1, '-');
    return text;
}

UString FormatFloat(UStringView pattern, double value) {
    return Utf8ToUtf16(FormatFloat(std::string_view(Utf16ToUtf8(pattern)), value));
}

} // namespace vorn::platform

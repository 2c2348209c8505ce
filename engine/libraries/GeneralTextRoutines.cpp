// The General library's text routines: case mapping and comparison, trimming, the
// 1-based position routines (counted in UTF-16 units), identifiers and characters.

#include <unicode/uchar.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <climits>

#include "engine/libraries/GeneralAdapters.h"
#include "engine/vm/ScriptValue.h"
#include "platform/CaseFolding.h"

namespace vorn::engine::general {

using platform::UString;
using platform::UStringView;

namespace {

// The ordinal difference of the first differing units, else of the lengths.
int32_t OrdinalCompare(UStringView a, UStringView b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i)
        if (a[i] != b[i]) return int32_t(a[i]) - int32_t(b[i]);
    return int32_t(int64_t(a.size()) - int64_t(b.size()));
}

UStringView TrimmedLeft(UStringView s) {
    size_t i = 0;
    while (i < s.size() && s[i] <= 32) ++i;
    return s.substr(i);
}

UStringView TrimmedRight(UStringView s) {
    size_t n = s.size();
    while (n > 0 && s[n - 1] <= 32) --n;
    return s.substr(0, n);
}

} // namespace

void UpperCaseProc(TatSystemLibrary&, TatVirtualMachine* m) {
    ReturnText(m, platform::AsciiUpperCase(ArgText(m, 0).View()));
}
void LowerCaseProc(TatSystemLibrary&, TatVirtualMachine* m) {
    ReturnText(m, platform::AsciiLowerCase(ArgText(m, 0).View()));
}
void CompareStrProc(TatSystemLibrary&, TatVirtualMachine* m) {
    ReturnInteger(m, OrdinalCompare(ArgText(m, 0).View(), ArgText(m, 1).View()));
}
void CompareTextProc(TatSystemLibrary&, TatVirtualMachine* m) {
    ReturnInteger(m, OrdinalCompare(platform::AsciiUpperCase(ArgText(m, 0).View()),
                                    platform::AsciiUpperCase(ArgText(m, 1).View())));
}
void AnsiUpperCaseProc(TatSystemLibrary&, TatVirtualMachine* m) {
    ReturnText(m, platform::UnicodeUpperCase(ArgText(m, 0).View()));
}
void AnsiLowerCaseProc(TatSystemLibrary&, TatVirtualMachine* m) {
    ReturnText(m, platform::UnicodeLowerCase(ArgText(m, 0).View()));
}
void AnsiCompareStrProc(TatSystemLibrary&, TatVirtualMachine* m) {
    ReturnInteger(m, platform::UnicodeCompareStr(ArgText(m, 0).View(), ArgText(m, 1).View()));
}
void AnsiCompareTextProc(TatSystemLibrary&, TatVirtualMachine* m) {
    ReturnInteger(m, platform::UnicodeCompareText(ArgText(m, 0).View(), ArgText(m, 1).View()));
}
void TrimProc(TatSystemLibrary&, TatVirtualMachine* m) {
    ReturnText(m, TrimmedRight(TrimmedLeft(ArgText(m, 0).View())));
}
void TrimLeftProc(TatSystemLibrary&, TatVirtualMachine* m) { ReturnText(m, TrimmedLeft(ArgText(m, 0).View())); }
void TrimRightProc(TatSystemLibrary&, TatVirtualMachine* m) { ReturnText(m, TrimmedRight(ArgText(m, 0).View())); }

// Letters and digits in the Unicode sense, by code point (surrogate pairs joined).
void IsValidIdentProc(TatSystemLibrary&, TatVirtualMachine* m) {
    ScriptText text = ArgText(m, 0);
    UStringView s = text.View();
    bool valid = !s.empty();
    for (int32_t i = 0, n = int32_t(s.size()); valid && i < n;) {
        const bool first = i == 0;
        UChar32 c;
        U16_NEXT(s.data(), i, n, c);
        valid = c == '_' || u_isalpha(c) || (!first && u_isdigit(c));
    }
    ReturnBoolean(m, valid);
}

void CopyProc(TatSystemLibrary&, TatVirtualMachine* m) {
    ScriptText s = ArgText(m, 0);
    int64_t count = m->InputArgCount() > 2 ? ArgInteger(m, 2) : INT32_MAX;
    ReturnText(m, CopyText(s.View(), ArgInteger(m, 1), count));
}

void DeleteProc(TatSystemLibrary&, TatVirtualMachine* m) {
    ScriptText text = ArgText(m, 0);
    UString s(text.View());
    int64_t index = ArgInteger(m, 1), count = ArgInteger(m, 2);
    if (index >= 1 && index <= int64_t(s.size()) && count >= 1)
        s.erase(size_t(index - 1), size_t(std::min<int64_t>(count, int64_t(s.size()) - index + 1)));
    m->SetInputArg(0, Variant::FromText(s));
}

void InsertProc(TatSystemLibrary&, TatVirtualMachine* m) {
    ScriptText dest = ArgText(m, 1), sub = ArgText(m, 0);
    int64_t index = ArgInteger(m, 2);
    if (sub.IsEmpty()) {
        m->SetInputArg(1, Variant::FromText(dest));
        return;
    }
    UString s(dest.View());
    s.insert(size_t(std::clamp<int64_t>(index - 1, 0, int64_t(s.size()))), sub.View());
    m->SetInputArg(1, Variant::FromText(s));
}

void PosProc(TatSystemLibrary&, TatVirtualMachine* m) {
    ScriptText sub = ArgText(m, 0), s = ArgText(m, 1);
    if (sub.IsEmpty() || s.IsEmpty()) return ReturnInteger(m, 0);
    size_t at = s.View().find(sub.View());
    ReturnInteger(m, at == UStringView::npos ? 0 : int32_t(at + 1));
}

void LengthProc(TatSystemLibrary&, TatVirtualMachine* m) {
    ReturnInteger(m, int32_t(ScriptValueLength(m->GetInputArg(0))));
}

void ChrProc(TatSystemLibrary&, TatVirtualMachine* m) {
    char16_t c = char16_t(uint32_t(ArgInteger(m, 0)) & 0xFFFF);
    ReturnText(m, UStringView(&c, 1));
}

// Ordinals give their value cut to 32 bits, texts their first unit, anything else 0.
void OrdProc(TatSystemLibrary&, TatVirtualMachine* m) {
    Variant v = m->GetInputArg(0);
    int64_t result = 0;
    if (ScriptValueIsOrdinal(v)) result = int32_t(uint32_t(uint64_t(ScriptValueAsInt64(v))));
    else if (ScriptValueIsString(v)) {
        ScriptText s = ScriptValueAsString(v);
        result = s.IsEmpty() ? 0 : s.View()[0];
    }
    m->ReturnOutputArg(Variant::FromInt64(result));
}

void VarToStrProc(TatSystemLibrary&, TatVirtualMachine* m) { ReturnText(m, ArgText(m, 0)); }

} // namespace vorn::engine::general

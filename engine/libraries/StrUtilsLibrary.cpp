#include "engine/libraries/StrUtilsLibrary.h"

#include <climits>

#include "engine/compiler/Scripter.h"
#include "engine/libraries/LibrarySupport.h"
#include "engine/vm/ScriptValue.h"
#include "platform/CaseFolding.h"
#include "platform/rtti/TypeBuilder.h"

namespace vorn::engine {

using platform::UString;
using platform::UStringView;

namespace strutils {

namespace {

UString Upper(UStringView s) { return platform::UnicodeUpperCase(s); }

void ReturnAnsi(TatVirtualMachine* m, const std::string& bytes) {
    m->ReturnOutputArg(Variant::FromText(platform::AnsiToUtf16(bytes), varString));
}

// Byte cuts of ANSI text, with Copy's rules.
std::string CopyBytes(const std::string& bytes, int64_t index, int64_t count) {
    UString wide(bytes.begin(), bytes.end());
    UStringView cut = CopyText(wide, index, count);
    return std::string(cut.begin(), cut.end());
}

std::string ArgAnsi(const TatVirtualMachine* m, int i) { return platform::Utf16ToAnsi(ArgStrictText(m, i).View()); }

int32_t ArgLength(const TatVirtualMachine* m, int i, int32_t fallback) {
    return m->InputArgCount() > i ? ArgInteger(m, i) : fallback;
}

bool SoundexSimilar(UStringView a, UStringView b, int32_t length) { return Soundex(a, length) == Soundex(b, length); }

} // namespace

void ResemblesTextProc(TatStrUtilsLibrary&, TatVirtualMachine* m) {
    ReturnBoolean(m, SoundexSimilar(ArgText(m, 0).View(), ArgText(m, 1).View(), 4));
}
void ContainsTextProc(TatStrUtilsLibrary&, TatVirtualMachine* m) {
    ScriptText text = ArgText(m, 0), sub = ArgText(m, 1);
    ReturnBoolean(m, !sub.IsEmpty() && Upper(text.View()).find(Upper(sub.View())) != UString::npos);
}
void StartsTextProc(TatStrUtilsLibrary&, TatVirtualMachine* m) {
    ScriptText sub = ArgText(m, 0), text = ArgText(m, 1);
    ReturnBoolean(m, sub.Length() <= text.Length() &&
                         platform::UnicodeSameText(text.View().substr(0, sub.Length()), sub.View()));
}
void EndsTextProc(TatStrUtilsLibrary&, TatVirtualMachine* m) {
    ScriptText sub = ArgText(m, 0), text = ArgText(m, 1);
    ReturnBoolean(m, sub.Length() <= text.Length() &&
                         platform::UnicodeSameText(text.View().substr(text.Length() - sub.Length()), sub.View()));
}
void ReplaceTextProc(TatStrUtilsLibrary&, TatVirtualMachine* m) {
    ReturnText(m, ReplaceAll(ArgText(m, 0).View(), ArgText(m, 1).View(), ArgText(m, 2).View(), true));
}
void ContainsStrProc(TatStrUtilsLibrary&, TatVirtualMachine* m) {
    ScriptText text = ArgText(m, 0), sub = ArgText(m, 1);
    ReturnBoolean(m, !sub.IsEmpty() && text.View().find(sub.View()) != UStringView::npos);
}
void StartsStrProc(TatStrUtilsLibrary&, TatVirtualMachine* m) {
    ScriptText sub = ArgText(m, 0), text = ArgText(m, 1);
    ReturnBoolean(m, text.View().substr(0, sub.Length()) == sub.View());
}
void EndsStrProc(TatStrUtilsLibrary&, TatVirtualMachine* m) {
    ScriptText sub = ArgText(m, 0), text = ArgText(m, 1);
    ReturnBoolean(m, sub.Length() <= text.Length() && text.View().substr(text.Length() - sub.Length()) == sub.View());
}
void ReplaceStrProc(TatStrUtilsLibrary&, TatVirtualMachine* m) {
    ReturnText(m, ReplaceAll(ArgText(m, 0).View(), ArgText(m, 1).View(), ArgText(m, 2).View(), false));
}
void DupeStringProc(TatStrUtilsLibrary&, TatVirtualMachine* m) {
    ScriptText text = ArgText(m, 0);
    const int64_t count = ArgInteger(m, 1);
    if (count <= 0 || text.IsEmpty()) return ReturnText(m, UStringView());
    if (count * int64_t(text.Length()) > kMaxResultLength) throw platform::EOutOfMemory();
    UString result;
    result.reserve(size_t(count) * text.Length());
    for (int64_t i = 0; i < count; ++i) result.append(text.View());
    ReturnText(m, result);
}
void ReverseStringProc(TatStrUtilsLibrary&, TatVirtualMachine* m) {
    ScriptText text = ArgText(m, 0);
    ReturnText(m, UString(text.View().rbegin(), text.View().rend()));
}
void StuffStringProc(TatStrUtilsLibrary&, TatVirtualMachine* m) {
    ScriptText text = ArgText(m, 0), sub = ArgText(m, 3);
    const int64_t start = ArgInteger(m, 1), length = ArgInteger(m, 2);
    UString result(CopyText(text.View(), 1, start - 1));
    result.append(sub.View());
    result.append(CopyText(text.View(), start + length, INT32_MAX));
    ReturnText(m, result);
}
void IfThenProc(TatStrUtilsLibrary&, TatVirtualMachine* m) {
    const bool value = ScriptValueAsBool(m->GetInputArg(0));
    ScriptText whenTrue = ArgText(m, 1);
    ScriptText whenFalse = m->InputArgCount() > 2 ? ArgText(m, 2) : ScriptText();
    ReturnText(m, value ? whenTrue : whenFalse);
}
void LeftStrProc(TatStrUtilsLibrary&, TatVirtualMachine* m) {
    ReturnText(m, CopyText(ArgStrictText(m, 0).View(), 1, ArgInteger(m, 1)));
}
void RightStrProc(TatStrUtilsLibrary&, TatVirtualMachine* m) {
    ScriptText text = ArgStrictText(m, 0);
    const int64_t count = ArgInteger(m, 1);
    ReturnText(m, CopyText(text.View(), int64_t(text.Length()) - count + 1, count));
}
void MidStrProc(TatStrUtilsLibrary&, TatVirtualMachine* m) {
    ReturnText(m, CopyText(ArgStrictText(m, 0).View(), ArgInteger(m, 1), ArgInteger(m, 2)));
}
void LeftBStrProc(TatStrUtilsLibrary&, TatVirtualMachine* m) { ReturnAnsi(m, CopyBytes(ArgAnsi(m, 0), 1, ArgInteger(m, 1))); }
void RightBStrProc(TatStrUtilsLibrary&, TatVirtualMachine* m) {
    const std::string bytes = ArgAnsi(m, 0);
    const int64_t count = ArgInteger(m, 1);
    ReturnAnsi(m, CopyBytes(bytes, int64_t(bytes.size()) - count + 1, count));
}
void MidBStrProc(TatStrUtilsLibrary&, TatVirtualMachine* m) {
    ReturnAnsi(m, CopyBytes(ArgAnsi(m, 0), ArgInteger(m, 1), ArgInteger(m, 2)));
}

void SearchBufProc(TatStrUtilsLibrary&, TatVirtualMachine* m) {
    const std::string buffer = platform::Utf16ToAnsi(ArgText(m, 0).View());
    const uint8_t options = m->InputArgCount() > 5 ? uint8_t(uint32_t(ArgInteger(m, 5))) : uint8_t(soDown);
    const int64_t at = SearchBuf(buffer, ArgInteger(m, 1), ArgInteger(m, 2), ArgInteger(m, 3), ArgAnsi(m, 4), options);
    ReturnText(m, at < 0 ? UString() : platform::AnsiToUtf16(std::string_view(buffer).substr(size_t(at))));
}

void PosExProc(TatStrUtilsLibrary&, TatVirtualMachine* m) {
    ScriptText sub = ArgText(m, 0), text = ArgText(m, 1);
    const int64_t offset = ArgLength(m, 2, 1);
    if (sub.IsEmpty() || text.IsEmpty() || offset < 1 || int64_t(text.Length()) - (offset - 1) < int64_t(sub.Length()))
        return ReturnInteger(m, 0);
    const size_t at = text.View().find(sub.View(), size_t(offset - 1));
    ReturnInteger(m, at == UStringView::npos ? 0 : int32_t(at + 1));
}

void SoundexProc(TatStrUtilsLibrary&, TatVirtualMachine* m) { ReturnText(m, Soundex(ArgText(m, 0).View(), ArgLength(m, 1, 4))); }
void SoundexIntProc(TatStrUtilsLibrary&, TatVirtualMachine* m) {
    ReturnInteger(m, SoundexInt(ArgText(m, 0).View(), int32_t(uint8_t(uint32_t(ArgLength(m, 1, 4))))));
}
void DecodeSoundexIntProc(TatStrUtilsLibrary&, TatVirtualMachine* m) { ReturnText(m, DecodeSoundexInt(ArgInteger(m, 0))); }
void SoundexWordProc(TatStrUtilsLibrary&, TatVirtualMachine* m) { ReturnInteger(m, SoundexWord(ArgText(m, 0).View())); }
void DecodeSoundexWordProc(TatStrUtilsLibrary&, TatVirtualMachine* m) {
    ReturnText(m, DecodeSoundexWord(uint16_t(uint32_t(ArgInteger(m, 0)))));
}
void SoundexSimilarProc(TatStrUtilsLibrary&, TatVirtualMachine* m) {
    ReturnBoolean(m, SoundexSimilar(ArgText(m, 0).View(), ArgText(m, 1).View(), ArgLength(m, 2, 4)));
}
void SoundexCompareProc(TatStrUtilsLibrary&, TatVirtualMachine* m) {
    const int32_t length = ArgLength(m, 2, 4);
    ReturnInteger(m, platform::UnicodeCompareStr(Soundex(ArgText(m, 0).View(), length),
                                                 Soundex(ArgText(m, 1).View(), length)));
}
void SoundexProcProc(TatStrUtilsLibrary&, TatVirtualMachine* m) {
    ReturnBoolean(m, SoundexSimilar(ArgText(m, 0).View(), ArgText(m, 1).View(), 4));
}

// Characters 0 to 31 are all delimiters, so the first 32 members always read -1.
void WordDelimitersGetter(TatStrUtilsLibrary&, TatVirtualMachine* m) { ReturnInteger(m, -1); }

} // namespace strutils

const platform::rtti::TClassInfo& TatStrUtilsLibrary::ClassInfo() {
    static const platform::rtti::TClassInfo& info =
        platform::rtti::TClassBuilder<TatStrUtilsLibrary, TatScripterLibrary>("TatStrUtilsLibrary", "StrUtils").Build();
    return info;
}

void TatStrUtilsLibrary::Init() {
    TatClass* atClass = FScripter->DefineClass(&ClassInfo());
    const TLibraryRoutine rows[] = {
#define VORN_STRUTILS_ROUTINE(Name, Args, Optional, ResultKind, Hint, Adapter) \
    {#Name, Args, Optional, ResultKind, "", Hint, BindAdapter<TatStrUtilsLibrary, &strutils::Adapter>(this)},
#include "engine/libraries/StrUtilsRoutines.def"
    };
    for (const TLibraryRoutine& row : rows) DefineLibraryRoutine(atClass, row);
    TatPropDef delimiters;
    delimiters.FName = "WordDelimiters";
    delimiters.FDataType = tkInteger;
    delimiters.FGetter = BindAdapter<TatStrUtilsLibrary, &strutils::WordDelimitersGetter>(this);
    atClass->DefineProp(delimiters);
    AddLibraryConstant(atClass, "soDown", Variant::FromByte(0));
    AddLibraryConstant(atClass, "soMatchCase", Variant::FromByte(1));
    AddLibraryConstant(atClass, "soWholeWord", Variant::FromByte(2));
}

} // namespace vorn::engine

// The General library's number routines: integer and float text conversions, dates and
// times, rounding, the arithmetic functions (floating-point faults become errors), Inc,
// Dec and Random.

#include <cmath>
#include <cstdint>

#include "engine/libraries/GeneralAdapters.h"
#include "engine/vm/ScriptValue.h"
#include "platform/DateTime.h"
#include "platform/FloatFaults.h"
#include "platform/Format.h"
#include "platform/NumberText.h"

namespace vorn::engine::general {

namespace {

std::string ArgUtf8(const TatVirtualMachine* m, int i) { return ArgText(m, i).ToUtf8(); }
void ReturnUtf8(TatVirtualMachine* m, const std::string& text) { ReturnText(m, ScriptText::FromUtf8(text)); }
double ArgFloat(const TatVirtualMachine* m, int i) { return m->GetInputArgAsFloat(i); }
// Date parts are read as 16-bit unsigned values, as the classic routines take Words.
int ArgWord(const TatVirtualMachine* m, int i) { return int(uint16_t(uint32_t(ArgInteger(m, i)))); }
double ArgDate(const TatVirtualMachine* m, int i) { return m->GetInputArgAsFloat(i); }

// Runs a one-argument function of the C library with the fault checks.
template <double (*F)(double)>
void CheckedFunction(TatVirtualMachine* m) {
    const double x = ArgFloat(m, 0);
    ReturnFloat(m, platform::CheckedFloatOp([x] { return F(x); }));
}

double Square(double x) { return x * x; }

} // namespace

void IntToStrProc(TatSystemLibrary&, TatVirtualMachine* m) {
    ReturnUtf8(m, platform::IntToStr(m->GetInputArgAsInt64(0)));
}
void IntToHexProc(TatSystemLibrary&, TatVirtualMachine* m) {
    ReturnUtf8(m, platform::IntToHex(uint32_t(ArgInteger(m, 0)), ArgInteger(m, 1)));
}
void StrToIntProc(TatSystemLibrary&, TatVirtualMachine* m) { ReturnInteger(m, platform::StrToInt(ArgUtf8(m, 0))); }
void StrToIntDefProc(TatSystemLibrary&, TatVirtualMachine* m) {
    int32_t value = 0;
    ReturnInteger(m, platform::TryStrToInt(ArgUtf8(m, 0), value) ? value : ArgInteger(m, 1));
}
void FloatToStrProc(TatSystemLibrary&, TatVirtualMachine* m) { ReturnUtf8(m, platform::FloatToStr(ArgFloat(m, 0))); }
void FormatFloatProc(TatSystemLibrary&, TatVirtualMachine* m) {
    ReturnText(m, platform::FormatFloat(ArgText(m, 0).View(), ArgFloat(m, 1)));
}
void StrToFloatProc(TatSystemLibrary&, TatVirtualMachine* m) { ReturnFloat(m, platform::StrToFloat(ArgUtf8(m, 0))); }

// ---- Dates ----------------------------------------------------------------------------------

void EncodeDateProc(TatSystemLibrary&, TatVirtualMachine* m) {
    m->ReturnOutputArg(Variant::FromDate(platform::EncodeDate(ArgWord(m, 0), ArgWord(m, 1), ArgWord(m, 2))));
}
void EncodeTimeProc(TatSystemLibrary&, TatVirtualMachine* m) {
    m->ReturnOutputArg(
        Variant::FromDate(platform::EncodeTime(ArgWord(m, 0), ArgWord(m, 1), ArgWord(m, 2), ArgWord(m, 3))));
}
void DecodeDateProc(TatSystemLibrary&, TatVirtualMachine* m) {
    int year = 0, month = 0, day = 0;
    platform::DecodeDate(ArgDate(m, 0), year, month, day);
    m->SetInputArg(1, Variant::FromWord(uint16_t(year)));
    m->SetInputArg(2, Variant::FromWord(uint16_t(month)));
    m->SetInputArg(3, Variant::FromWord(uint16_t(day)));
}
void DecodeTimeProc(TatSystemLibrary&, TatVirtualMachine* m) {
    int hour = 0, min = 0, sec = 0, msec = 0;
    platform::DecodeTime(ArgDate(m, 0), hour, min, sec, msec);
    m->SetInputArg(1, Variant::FromWord(uint16_t(hour)));
    m->SetInputArg(2, Variant::FromWord(uint16_t(min)));
    m->SetInputArg(3, Variant::FromWord(uint16_t(sec)));
    m->SetInputArg(4, Variant::FromWord(uint16_t(msec)));
}
void DayOfWeekProc(TatSystemLibrary&, TatVirtualMachine* m) {
    m->ReturnOutputArg(Variant::FromWord(uint16_t(platform::DayOfWeek(ArgDate(m, 0)))));
}
void DateProc(TatSystemLibrary&, TatVirtualMachine* m) { m->ReturnOutputArg(Variant::FromDate(platform::Date())); }
void TimeProc(TatSystemLibrary&, TatVirtualMachine* m) { m->ReturnOutputArg(Variant::FromDate(platform::Time())); }
void NowProc(TatSystemLibrary&, TatVirtualMachine* m) { m->ReturnOutputArg(Variant::FromDate(platform::Now())); }
void IncMonthProc(TatSystemLibrary&, TatVirtualMachine* m) {
    m->ReturnOutputArg(Variant::FromDate(platform::IncMonth(ArgDate(m, 0), ArgInteger(m, 1))));
}
void IsLeapYearProc(TatSystemLibrary&, TatVirtualMachine* m) { ReturnBoolean(m, platform::IsLeapYear(ArgWord(m, 0))); }
void DateToStrProc(TatSystemLibrary&, TatVirtualMachine* m) { ReturnUtf8(m, platform::DateToStr(ArgDate(m, 0))); }
void TimeToStrProc(TatSystemLibrary&, TatVirtualMachine* m) { ReturnUtf8(m, platform::TimeToStr(ArgDate(m, 0))); }
void DateTimeToStrProc(TatSystemLibrary&, TatVirtualMachine* m) {
    ReturnUtf8(m, platform::DateTimeToStr(ArgDate(m, 0)));
}
void StrToDateProc(TatSystemLibrary&, TatVirtualMachine* m) {
    m->ReturnOutputArg(Variant::FromDate(platform::StrToDate(ArgUtf8(m, 0))));
}
void StrToTimeProc(TatSystemLibrary&, TatVirtualMachine* m) {
    m->ReturnOutputArg(Variant::FromDate(platform::StrToTime(ArgUtf8(m, 0))));
}
void StrToDateTimeProc(TatSystemLibrary&, TatVirtualMachine* m) {
    m->ReturnOutputArg(Variant::FromDate(platform::StrToDateTime(ArgUtf8(m, 0))));
}
void FormatDateTimeProc(TatSystemLibrary&, TatVirtualMachine* m) {
    ReturnUtf8(m, platform::FormatDateTime(ArgUtf8(m, 0), ArgDate(m, 1)));
}

// ---- Arithmetic --------------------------------------------------------------------------------

// Values beyond the 64-bit range fail with "Invalid floating point operation".
void RoundProc(TatSystemLibrary&, TatVirtualMachine* m) {
    m->ReturnOutputArg(Variant::FromInt64(platform::RoundToInt64(ArgFloat(m, 0))));
}
void TruncProc(TatSystemLibrary&, TatVirtualMachine* m) {
    m->ReturnOutputArg(Variant::FromInt64(platform::TruncToInt64(ArgFloat(m, 0))));
}
void SinProc(TatSystemLibrary&, TatVirtualMachine* m) { CheckedFunction<std::sin>(m); }
void CosProc(TatSystemLibrary&, TatVirtualMachine* m) { CheckedFunction<std::cos>(m); }
void ArcTanProc(TatSystemLibrary&, TatVirtualMachine* m) { CheckedFunction<std::atan>(m); }
void ExpProc(TatSystemLibrary&, TatVirtualMachine* m) { CheckedFunction<std::exp>(m); }
void LnProc(TatSystemLibrary&, TatVirtualMachine* m) { CheckedFunction<std::log>(m); }
void SqrtProc(TatSystemLibrary&, TatVirtualMachine* m) { CheckedFunction<std::sqrt>(m); }
void SqrProc(TatSystemLibrary&, TatVirtualMachine* m) { CheckedFunction<Square>(m); }
void AbsProc(TatSystemLibrary&, TatVirtualMachine* m) { ReturnFloat(m, std::fabs(ArgFloat(m, 0))); }
void FracProc(TatSystemLibrary&, TatVirtualMachine* m) {
    const double x = ArgFloat(m, 0);
    ReturnFloat(m, platform::CheckedFloatOp([x] { return x - std::trunc(x); }));
}
void IntProc(TatSystemLibrary&, TatVirtualMachine* m) { ReturnFloat(m, std::trunc(ArgFloat(m, 0))); }
void OddProc(TatSystemLibrary&, TatVirtualMachine* m) { ReturnBoolean(m, (ArgInteger(m, 0) & 1) != 0); }

void IncProc(TatSystemLibrary&, TatVirtualMachine* m) {
    int32_t x = ArgInteger(m, 0), result = 0;
    if (__builtin_add_overflow(x, 1, &result)) throw platform::EIntOverflow();
    m->SetInputArg(0, Variant::FromInteger(result));
}
void DecProc(TatSystemLibrary&, TatVirtualMachine* m) {
    int32_t x = ArgInteger(m, 0), result = 0;
    if (__builtin_sub_overflow(x, 1, &result)) throw platform::EIntOverflow();
    m->SetInputArg(0, Variant::FromInteger(result));
}

void RandomProc(TatSystemLibrary&, TatVirtualMachine* m) {
    if (m->InputArgCount() == 0) return ReturnFloat(m, LibraryRandomFloat());
    ReturnInteger(m, int32_t(LibraryRandomInteger(ArgInteger(m, 0))));
}

} // namespace vorn::engine::general

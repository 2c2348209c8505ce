#include "engine/libraries/MathLibrary.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "engine/compiler/Scripter.h"
#include "engine/libraries/MathAdapters.h"
#include "engine/vm/ScriptValue.h"
#include "platform/FloatFaults.h"
#include "platform/rtti/TypeBuilder.h"

namespace vorn::engine {

const platform::rtti::TClassInfo& TatMathLibrary::ClassInfo() {
    static const platform::rtti::TClassInfo& info =
        platform::rtti::TClassBuilder<TatMathLibrary, TatScripterLibrary>("TatMathLibrary", "Math").Build();
    return info;
}

void TatMathLibrary::Init() {
    TatClass* atClass = FScripter->DefineClass(&ClassInfo());
    const TLibraryRoutine rows[] = {
#define VORN_MATH_ROUTINE(Name, Args, Optional, ResultKind, ByRef, Hint, Adapter) \
    {#Name, Args, Optional, ResultKind, ByRef, Hint, BindAdapter<TatMathLibrary, &math::Adapter>(this)},
#include "engine/libraries/MathRoutines.def"
    };
    for (const TLibraryRoutine& row : rows) DefineLibraryRoutine(atClass, row);
    struct TConstant { const char* FName; Variant FValue; };
    const TConstant constants[] = {
        {"ptEndOfPeriod", Variant::FromByte(0)},    {"ptStartOfPeriod", Variant::FromByte(1)},
        {"rmNearest", Variant::FromByte(0)},        {"rmDown", Variant::FromByte(1)},
        {"rmUp", Variant::FromByte(2)},             {"rmTruncate", Variant::FromByte(3)},
        {"exInvalidOp", Variant::FromByte(0)},      {"exDenormalized", Variant::FromByte(1)},
        {"exZeroDivide", Variant::FromByte(2)},     {"exOverflow", Variant::FromByte(3)},
        {"exUnderflow", Variant::FromByte(4)},      {"exPrecision", Variant::FromByte(5)},
        {"MinSingle", Variant::FromDouble(double(std::numeric_limits<float>::min()))},
        {"MaxSingle", Variant::FromDouble(double(std::numeric_limits<float>::max()))},
        {"MinDouble", Variant::FromDouble(std::numeric_limits<double>::min())},
        {"MaxDouble", Variant::FromDouble(std::numeric_limits<double>::max())},
        {"NaN", Variant::FromDouble(std::bit_cast<double>(uint64_t(0xFFF8000000000000)))},
        {"Infinity", Variant::FromDouble(std::bit_cast<double>(uint64_t(0x7FF0000000000000)))},
        {"NegInfinity", Variant::FromDouble(std::bit_cast<double>(uint64_t(0xFFF0000000000000)))},
        {"NegativeValue", Variant::FromShortInt(-1)}, {"ZeroValue", Variant::FromByte(0)},
        {"PositiveValue", Variant::FromShortInt(1)},
    };
    for (const TConstant& constant : constants) AddLibraryConstant(atClass, constant.FName, constant.FValue);
}

namespace math {

namespace {

constexpr double kTwoPi = 6.283185307179586;

// Reads X as a float, computes F with the fault checks and returns a float.
template <double (*F)(double)>
void OneFloat(TatVirtualMachine* m) {
    const double x = ArgStrictFloat(m, 0);
    ReturnFloat(m, platform::CheckedFloatOp([x] { return F(x); }));
}
template <double (*F)(double, double)>
void TwoFloats(TatVirtualMachine* m) {
    const double x = ArgStrictFloat(m, 0), y = ArgStrictFloat(m, 1);
    ReturnFloat(m, platform::CheckedFloatOp([x, y] { return F(x, y); }));
}

double Cotangent(double x) { return 1 / std::tan(x); }
double SecantOf(double x) { return 1 / std::cos(x); }
double CosecantOf(double x) { return 1 / std::sin(x); }
double CotH(double x) { return 1 / std::tanh(x); }
double SecH(double x) { return 1 / std::cosh(x); }
double CscH(double x) { return 1 / std::sinh(x); }
double ArcCotOf(double x) { return x == 0 ? kTwoPi / 4 : std::atan(1 / x); }
double ArcSecOf(double x) { return std::acos(1 / x); }
double ArcCscOf(double x) { return std::asin(1 / x); }
double ArcCotHOf(double x) { return std::atanh(1 / x); }
double ArcSecHOf(double x) { return std::acosh(1 / x); }
double ArcCscHOf(double x) { return std::asinh(1 / x); }
double RadToDegOf(double x) { return x * 57.29577951308232; }
double RadToGradOf(double x) { return x * 63.66197723675813; }
double RadToCycleOf(double x) { return x / kTwoPi; }
double DegToRadOf(double x) { return x * 0.017453292519943295; }
double DegToGradOf(double x) { return x * 1.1111111111111112; }
double DegToCycleOf(double x) { return x * 0.017453292519943295 / kTwoPi; }
double GradToRadOf(double x) { return x * 0.015707963267948967; }
double GradToDegOf(double x) { return x * 0.9; }
double GradToCycleOf(double x) { return x * 0.015707963267948967 / kTwoPi; }
double CycleToRadOf(double x) { return x * kTwoPi; }
double CycleToDegOf(double x) { return x * 360; }
double CycleToGradOf(double x) { return x * 400; }
double LogNOf(double base, double x) { return std::log(x) / std::log(base); }
double HypotOf(double x, double y) { return std::sqrt(x * x + y * y); }

double PowerOf(double base, double exponent) {
    if (exponent == 0) return 1;
    if (base == 0 && exponent > 0) return 0;
    if (std::trunc(exponent) == exponent && std::fabs(exponent) <= 2147483647.0)
        return IntPower(base, int64_t(exponent));
    if (base < 0) throw platform::EInvalidOp();
    return std::exp(exponent * std::log(base));
}

// The integer conversions of Ceil and Floor refuse what a 32-bit integer cannot hold.
int32_t ToInteger32(double value) {
    if (!(value >= -2147483648.0 && value <= 2147483647.0)) throw platform::EInvalidOp();
    return int32_t(value);
}

bool SameValueOf(double a, double b, double epsilon) {
    if (epsilon == 0) epsilon = std::max(std::min(std::fabs(a), std::fabs(b)) * 1e-12, 1e-12);
    return std::fabs(a - b) <= epsilon;
}

} // namespace

double IntPower(double base, int64_t exponent) {
    uint64_t n = exponent < 0 ? uint64_t(-exponent) : uint64_t(exponent);
    return platform::CheckedFloatOp([&] {
        double result = 1, square = base;
        for (; n; n >>= 1) {
            if (n & 1) result *= square;
            if (n > 1) square *= square;
        }
        return exponent < 0 ? 1 / result : result;
    });
}

void ArcCosProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<std::acos>(m); }
void ArcSinProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<std::asin>(m); }
void ArcTan2Proc(TatMathLibrary&, TatVirtualMachine* m) { TwoFloats<std::atan2>(m); }
void TanProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<std::tan>(m); }
void CotanProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<Cotangent>(m); }
void SecantProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<SecantOf>(m); }
void CosecantProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<CosecantOf>(m); }
void HypotProc(TatMathLibrary&, TatVirtualMachine* m) { TwoFloats<HypotOf>(m); }
void RadToDegProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<RadToDegOf>(m); }
void RadToGradProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<RadToGradOf>(m); }
void RadToCycleProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<RadToCycleOf>(m); }
void DegToRadProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<DegToRadOf>(m); }
void DegToGradProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<DegToGradOf>(m); }
void DegToCycleProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<DegToCycleOf>(m); }
void GradToRadProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<GradToRadOf>(m); }
void GradToDegProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<GradToDegOf>(m); }
void GradToCycleProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<GradToCycleOf>(m); }
void CycleToRadProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<CycleToRadOf>(m); }
void CycleToDegProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<CycleToDegOf>(m); }
void CycleToGradProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<CycleToGradOf>(m); }
void CotProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<Cotangent>(m); }
void SecProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<SecantOf>(m); }
void CscProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<CosecantOf>(m); }
void CoshProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<std::cosh>(m); }
void SinhProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<std::sinh>(m); }
void TanhProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<std::tanh>(m); }
void CotHProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<CotH>(m); }
void SecHProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<SecH>(m); }
void CscHProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<CscH>(m); }
void ArcCotProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<ArcCotOf>(m); }
void ArcSecProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<ArcSecOf>(m); }
void ArcCscProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<ArcCscOf>(m); }
void ArcCoshProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<std::acosh>(m); }
void ArcSinhProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<std::asinh>(m); }
void ArcTanhProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<std::atanh>(m); }
void ArcCotHProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<ArcCotHOf>(m); }
void ArcSecHProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<ArcSecHOf>(m); }
void ArcCscHProc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<ArcCscHOf>(m); }
void LnXP1Proc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<std::log1p>(m); }
void Log10Proc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<std::log10>(m); }
void Log2Proc(TatMathLibrary&, TatVirtualMachine* m) { OneFloat<std::log2>(m); }
void LogNProc(TatMathLibrary&, TatVirtualMachine* m) { TwoFloats<LogNOf>(m); }
void PowerProc(TatMathLibrary&, TatVirtualMachine* m) { TwoFloats<PowerOf>(m); }
void IntPowerProc(TatMathLibrary&, TatVirtualMachine* m) {
    ReturnFloat(m, IntPower(ArgStrictFloat(m, 0), ArgInteger(m, 1)));
}

void LdexpProc(TatMathLibrary&, TatVirtualMachine* m) {
    const double x = ArgStrictFloat(m, 0);
    const int32_t p = ArgInteger(m, 1);
    ReturnFloat(m, platform::CheckedFloatOp([x, p] { return std::ldexp(x, p); }));
}

// Single precision on purpose: Theta, the sine and the cosine are 32-bit floats.
void SinCosProc(TatMathLibrary&, TatVirtualMachine* m) {
    const float theta = float(ArgStrictFloat(m, 0));
    const float s = platform::CheckedFloatOp([theta] { return std::sin(theta); });
    const float c = platform::CheckedFloatOp([theta] { return std::cos(theta); });
    m->SetInputArg(1, Variant::FromDouble(double(s)));
    m->SetInputArg(2, Variant::FromDouble(double(c)));
}

void FrexpProc(TatMathLibrary&, TatVirtualMachine* m) {
    const double x = ArgStrictFloat(m, 0);
    if (!std::isfinite(x)) throw platform::EInvalidOp();
    int exponent = 0;
    const double mantissa = std::frexp(x, &exponent);
    m->SetInputArg(1, Variant::FromDouble(mantissa));
    m->SetInputArg(2, Variant::FromInteger(exponent));
}

void CeilProc(TatMathLibrary&, TatVirtualMachine* m) { ReturnInteger(m, ToInteger32(std::ceil(ArgStrictFloat(m, 0)))); }
void FloorProc(TatMathLibrary&, TatVirtualMachine* m) {
    ReturnInteger(m, ToInteger32(std::floor(ArgStrictFloat(m, 0))));
}
void MinProc(TatMathLibrary&, TatVirtualMachine* m) {
    int32_t a = ArgInteger(m, 0), b = ArgInteger(m, 1);
    ReturnInteger(m, a < b ? a : b);
}
void MaxProc(TatMathLibrary&, TatVirtualMachine* m) {
    int32_t a = ArgInteger(m, 0), b = ArgInteger(m, 1);
    ReturnInteger(m, b < a ? a : b);
}

// The polar method: draw points in the square until one falls inside the unit circle.
void RandGProc(TatMathLibrary&, TatVirtualMachine* m) {
    const double mean = ArgStrictFloat(m, 0), stdDev = ArgStrictFloat(m, 1);
    double u = 0, v = 0, s = 0;
    do {
        u = 2 * LibraryRandomFloat() - 1;
        v = 2 * LibraryRandomFloat() - 1;
        s = u * u + v * v;
    } while (s >= 1 || s == 0);
    ReturnFloat(m, u * std::sqrt(-2 * std::log(s) / s) * stdDev + mean);
}

void IsNanProc(TatMathLibrary&, TatVirtualMachine* m) { ReturnBoolean(m, std::isnan(ArgStrictFloat(m, 0))); }
void IsInfiniteProc(TatMathLibrary&, TatVirtualMachine* m) { ReturnBoolean(m, std::isinf(ArgStrictFloat(m, 0))); }
void SignProc(TatMathLibrary&, TatVirtualMachine* m) {
    int32_t x = ArgInteger(m, 0);
    ReturnInteger(m, x < 0 ? -1 : x > 0 ? 1 : 0);
}

void SameValueProc(TatMathLibrary&, TatVirtualMachine* m) {
    double epsilon = m->InputArgCount() > 2 ? ArgStrictFloat(m, 2) : 0;
    ReturnBoolean(m, SameValueOf(ArgStrictFloat(m, 0), ArgStrictFloat(m, 1), epsilon));
}
void CompareValueProc(TatMathLibrary&, TatVirtualMachine* m) {
    const double a = ArgStrictFloat(m, 0), b = ArgStrictFloat(m, 1);
    double epsilon = m->InputArgCount() > 2 ? ArgStrictFloat(m, 2) : 0;
    ReturnInteger(m, SameValueOf(a, b, epsilon) ? 0 : a < b ? -1 : 1);
}
void IsZeroProc(TatMathLibrary&, TatVirtualMachine* m) {
    double epsilon = m->InputArgCount() > 1 ? ArgStrictFloat(m, 1) : 0;
    if (epsilon == 0) epsilon = 1e-12;
    ReturnBoolean(m, std::fabs(ArgStrictFloat(m, 0)) <= epsilon);
}

// Both branches are converted before the choice, as the script evaluated both.
void IfThenProc(TatMathLibrary&, TatVirtualMachine* m) {
    const bool value = ScriptValueAsBool(m->GetInputArg(0));
    const int32_t whenTrue = ArgInteger(m, 1);
    const int32_t whenFalse = m->InputArgCount() > 2 ? ArgInteger(m, 2) : 0;
    ReturnInteger(m, value ? whenTrue : whenFalse);
}
void IfThen2Proc(TatMathLibrary&, TatVirtualMachine* m) {
    m->ReturnOutputArg(m->GetInputArg(VarToBoolean(m->GetInputArg(0)) ? 1 : 2));
}

void RandomRangeProc(TatMathLibrary&, TatVirtualMachine* m) {
    const int64_t from = ArgInteger(m, 0), to = ArgInteger(m, 1);
    ReturnInteger(m, int32_t(std::min(from, to) + LibraryRandomInteger(from < to ? to - from : from - to)));
}
void InRangeProc(TatMathLibrary&, TatVirtualMachine* m) {
    const int32_t value = ArgInteger(m, 0), low = ArgInteger(m, 1), high = ArgInteger(m, 2);
    ReturnBoolean(m, low <= value && value <= high);
}
void EnsureRangeProc(TatMathLibrary&, TatVirtualMachine* m) {
    const int32_t value = ArgInteger(m, 0), low = ArgInteger(m, 1), high = ArgInteger(m, 2);
    ReturnInteger(m, value < low ? low : value > high ? high : value);
}

// The division of the dividend's low 32 bits by the divisor's low 16 bits; a quotient
// that does not fit in 16 bits is an error, never a truncated value.
void DivModProc(TatMathLibrary&, TatVirtualMachine* m) {
    const uint32_t dividend = uint32_t(ArgInteger(m, 0));
    const uint16_t divisor = uint16_t(uint32_t(ArgInteger(m, 1)));
    if (divisor == 0) throw platform::EDivByZero();
    if (dividend / divisor > 0xFFFF) throw platform::EIntOverflow("Division overflow: the quotient does not fit in 16 bits");
    m->SetInputArg(2, Variant::FromInteger(int32_t(dividend / divisor)));
    m->SetInputArg(3, Variant::FromInteger(int32_t(dividend % divisor)));
}

// ---- Kinds of values ---------------------------------------------------------------------------

void VarIsEmptyProc(TatMathLibrary&, TatVirtualMachine* m) { ReturnBoolean(m, m->GetInputArg(0).VType() == varEmpty); }
void VarIsClearProc(TatMathLibrary&, TatVirtualMachine* m) {
    Variant v = m->GetInputArg(0);
    const bool nilObject = (v.VType() == varDispatch || v.VType() == varUnknown) && v.RawDispatch() == nullptr;
    ReturnBoolean(m, v.VType() == varEmpty || nilObject);
}
void VarIsOrdinalProc(TatMathLibrary&, TatVirtualMachine* m) { ReturnBoolean(m, VariantIsOrdinal(m->GetInputArg(0))); }
void VarIsFloatProc(TatMathLibrary&, TatVirtualMachine* m) {
    const TVarType t = m->GetInputArg(0).VType();
    ReturnBoolean(m, t == varSingle || t == varDouble || t == varCurrency);
}
void VarIsNumericProc(TatMathLibrary&, TatVirtualMachine* m) {
    Variant v = m->GetInputArg(0);
    const TVarType t = v.VType();
    ReturnBoolean(m, VariantIsOrdinal(v) || t == varSingle || t == varDouble || t == varCurrency);
}
void VarIsStrProc(TatMathLibrary&, TatVirtualMachine* m) { ReturnBoolean(m, VariantIsString(m->GetInputArg(0))); }
void VarIsArrayProc(TatMathLibrary&, TatVirtualMachine* m) { ReturnBoolean(m, m->GetInputArg(0).IsArray()); }

} // namespace math

} // namespace vorn::engine

// The Math library's rounding and financial routines. Cash paid out is negative, cash
// received positive; PaymentTime 1 means payments at the start of each period.

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstdint>

#include "engine/libraries/MathAdapters.h"
#include "platform/FloatFaults.h"

namespace vorn::engine::math {

namespace {

// Rates this close to 0 use the series forms, which stay accurate where (1 + r)^n - 1
// would cancel.
constexpr double kSmallRate = 6.1e-5;
// Beyond this compound factor the annuity forms lose every digit of the present value.
constexpr double kHugeFactor = 1e16;

[[noreturn]] void InvalidArgument(const char* routine) { throw platform::EArgumentException(routine); }

// The compound factor C = (1 + r)^n and the annuity factor A of a rate, a period count
// and the payment time; see the routines below.
struct TAnnuity {
    double C = 1;
    double A = 0;
};

double Compound(double rate, double periods) {
    if (rate == 0) return 1;
    if (std::fabs(rate) < kSmallRate) return std::exp(periods * std::log(1 + rate));
    return std::pow(1 + rate, periods);
}

TAnnuity Annuity(const char* routine, double rate, int32_t periods, int32_t paymentTime) {
    if (rate <= -1) InvalidArgument(routine);
    TAnnuity result;
    result.C = platform::CheckedFloatOp([&] { return Compound(rate, periods); });
    if (rate == 0) result.A = periods;
    else if (std::fabs(rate) < kSmallRate) result.A = periods * ((periods - 1) * rate / 2 + 1);
    else result.A = (result.C - 1) / rate;
    if (paymentTime == 1) result.A *= 1 + rate;
    return result;
}

double Arg(const TatVirtualMachine* m, int i) { return ArgStrictFloat(m, i); }

// The powers of ten RoundTo scales by, exact where a double allows.
constexpr double kPowersOfTen[41] = {
    1e-20, 1e-19, 1e-18, 1e-17, 1e-16, 1e-15, 1e-14, 1e-13, 1e-12, 1e-11, 1e-10, 1e-9, 1e-8, 1e-7,
    1e-6,  1e-5,  1e-4,  1e-3,  1e-2,  1e-1,  1e0,   1e1,   1e2,   1e3,   1e4,   1e5,  1e6,  1e7,
    1e8,   1e9,   1e10,  1e11,  1e12,  1e13,  1e14,  1e15,  1e16,  1e17,  1e18,  1e19, 1e20};

// Rounds to the nearest integer, halves to even, in the round-to-nearest mode whatever
// the thread's mode was; the mode is restored afterwards.
double RoundHalfEven(double value) {
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double result = std::nearbyint(value);
    std::fesetround(saved);
    return result;
}

} // namespace

void RoundToProc(TatMathLibrary&, TatVirtualMachine* m) {
    const double value = Arg(m, 0);
    const int32_t digit = int8_t(uint8_t(uint32_t(ArgInteger(m, 1))));
    if (digit < -20 || digit > 20) InvalidArgument("Invalid argument");
    double scaled = platform::CheckedFloatOp([&] { return value * kPowersOfTen[20 - digit]; });
    if (std::fabs(scaled) < 4503599627370496.0) scaled = RoundHalfEven(scaled);
    ReturnFloat(m, platform::CheckedFloatOp([&] { return scaled * kPowersOfTen[20 + digit]; }));
}

// Halves round away from zero.
void SimpleRoundToProc(TatMathLibrary&, TatVirtualMachine* m) {
    const double value = Arg(m, 0);
    const int32_t digit = m->InputArgCount() > 1 ? int8_t(uint8_t(uint32_t(ArgInteger(m, 1)))) : -2;
    const double factor = IntPower(10, digit);
    ReturnFloat(m, platform::CheckedFloatOp([&] {
        return std::trunc(value < 0 ? value / factor - 0.5 : value / factor + 0.5) * factor;
    }));
}

void FutureValueProc(TatMathLibrary&, TatVirtualMachine* m) {
    const double rate = Arg(m, 0), payment = Arg(m, 2), present = Arg(m, 3);
    const TAnnuity k = Annuity("FutureValue", rate, ArgInteger(m, 1), ArgInteger(m, 4));
    if (k.C > kHugeFactor) InvalidArgument("FutureValue");
    ReturnFloat(m, platform::CheckedFloatOp([&] { return -payment * k.A - present * k.C; }));
}

// For a huge compound factor the payment tends to the interest on the present value.
void PaymentProc(TatMathLibrary&, TatVirtualMachine* m) {
    const double rate = Arg(m, 0), present = Arg(m, 2), future = Arg(m, 3);
    const int32_t paymentTime = ArgInteger(m, 4);
    const TAnnuity k = Annuity("Payment", rate, ArgInteger(m, 1), paymentTime);
    ReturnFloat(m, platform::CheckedFloatOp([&] {
        if (k.C > kHugeFactor) return -present * rate / (paymentTime * rate + 1);
        return (-present * k.C - future) / k.A;
    }));
}

// For a huge compound factor the present value tends to that of a perpetuity.
void PresentValueProc(TatMathLibrary&, TatVirtualMachine* m) {
    const double rate = Arg(m, 0), payment = Arg(m, 2), future = Arg(m, 3);
    const int32_t paymentTime = ArgInteger(m, 4);
    const TAnnuity k = Annuity("PresentValue", rate, ArgInteger(m, 1), paymentTime);
    ReturnFloat(m, platform::CheckedFloatOp([&] {
        if (k.C > kHugeFactor) return -payment * (paymentTime * rate + 1) / rate;
        return (-payment * k.A - future) / k.C;
    }));
}

namespace {

// The shared part of InterestPayment and PeriodPayment: the factors and Cp = (1 + r)^(Period - 1).
TAnnuity PeriodFactors(const char* routine, TatVirtualMachine* m, double& periodFactor) {
    const double rate = Arg(m, 0);
    const int32_t period = ArgInteger(m, 1), periods = ArgInteger(m, 2);
    if (period <= 0 || periods < period) InvalidArgument(routine);
    const TAnnuity k = Annuity(routine, rate, periods, ArgInteger(m, 5));
    periodFactor = platform::CheckedFloatOp([&] { return Compound(rate, period - 1); });
    return k;
}

} // namespace

void InterestPaymentProc(TatMathLibrary&, TatVirtualMachine* m) {
    double cp = 1;
    const TAnnuity k = PeriodFactors("InterestPayment", m, cp);
    const double present = Arg(m, 3), future = Arg(m, 4);
    ReturnFloat(m, platform::CheckedFloatOp([&] { return (future * (cp - 1) - present * (k.C - cp)) / k.A; }));
}

void PeriodPaymentProc(TatMathLibrary&, TatVirtualMachine* m) {
    double cp = 1;
    const TAnnuity k = PeriodFactors("PeriodPayment", m, cp);
    const double present = Arg(m, 3), future = Arg(m, 4);
    ReturnFloat(m, platform::CheckedFloatOp([&] { return (-future - present) * cp / k.A; }));
}

void NumberOfPeriodsProc(TatMathLibrary&, TatVirtualMachine* m) {
    const double rate = Arg(m, 0), payment = Arg(m, 1), present = Arg(m, 2), future = Arg(m, 3);
    const int32_t paymentTime = ArgInteger(m, 4);
    if (rate <= -1) InvalidArgument("NumberOfPeriods");
    const double q = present * rate + payment * (paymentTime == 1 ? 1 + rate : 1);
    if (q == 0) InvalidArgument("NumberOfPeriods");
    if (std::fabs(rate) < kSmallRate) return ReturnFloat(m, -(present + future) / q);
    const double t = -(present + future) * rate / q;
    if (t <= -1) InvalidArgument("NumberOfPeriods");
    ReturnFloat(m, platform::CheckedFloatOp([&] { return std::log1p(t) / std::log1p(rate); }));
}

namespace {

// The value of the cash flows at rate r; InterestRate looks for its zero.
double Balance(double r, int32_t periods, double payment, double present, double future, int32_t paymentTime) {
    const TAnnuity k = Annuity("InterestRate", r, periods, paymentTime);
    return present * k.C + payment * k.A + future;
}

} // namespace

// Newton's method on the balance, with the slope taken numerically, for at most 15 steps.
void InterestRateProc(TatMathLibrary&, TatVirtualMachine* m) {
    const int32_t periods = ArgInteger(m, 0);
    const double payment = Arg(m, 1), present = Arg(m, 2), future = Arg(m, 3);
    const int32_t paymentTime = ArgInteger(m, 4);
    if (periods <= 0) InvalidArgument("InterestRate");
    const bool allNonNegative = payment >= 0 && present >= 0 && future >= 0;
    const bool allNonPositive = payment <= 0 && present <= 0 && future <= 0;
    if (allNonNegative || allNonPositive) InvalidArgument("InterestRate");
    double r = 0.1;
    for (int step = 0; step < 15; ++step) {
        const double f = Balance(r, periods, payment, present, future, paymentTime);
        const double h = 1e-7 * std::max(1.0, std::fabs(r));
        const double slope = (Balance(r + h, periods, payment, present, future, paymentTime) -
                              Balance(r - h, periods, payment, present, future, paymentTime)) / (2 * h);
        if (slope == 0 || !std::isfinite(slope)) break;
        double next = r - f / slope;
        if (next <= -1) next = (r - 1) / 2;
        if (std::fabs(next - r) <= 1e-13 * std::max(1.0, std::fabs(r))) return ReturnFloat(m, next);
        r = next;
    }
    if (std::fabs(Balance(r, periods, payment, present, future, paymentTime)) <=
        1e-9 * std::max({std::fabs(payment), std::fabs(present), std::fabs(future)}))
        return ReturnFloat(m, r);
    InvalidArgument("InterestRate");
}

void SLNDepreciationProc(TatMathLibrary&, TatVirtualMachine* m) {
    const double cost = Arg(m, 0), salvage = Arg(m, 1);
    const int32_t life = ArgInteger(m, 2);
    if (life <= 0) InvalidArgument("SLNDepreciation");
    ReturnFloat(m, (cost - salvage) / life);
}

void SYDDepreciationProc(TatMathLibrary&, TatVirtualMachine* m) {
    const double cost = Arg(m, 0), salvage = Arg(m, 1);
    const double life = ArgInteger(m, 2), period = ArgInteger(m, 3);
    if (period <= 0 || life < period || cost <= salvage) return ReturnFloat(m, 0);
    ReturnFloat(m, (cost - salvage) * (2 * life - 2 * period + 2) / (life * (life + 1)));
}

void DoubleDecliningBalanceProc(TatMathLibrary&, TatVirtualMachine* m) {
    const double cost = Arg(m, 0), salvage = Arg(m, 1);
    const int32_t life = ArgInteger(m, 2), period = ArgInteger(m, 3);
    if (period <= 0 || life < period || life <= 0 || cost <= salvage) return ReturnFloat(m, 0);
    if (life <= 2) return ReturnFloat(m, period == 1 ? cost - salvage : 0);
    const double book = cost * IntPower(1 - 2.0 / life, period - 1);
    const double result = std::min(2.0 / life * book, book - salvage);
    ReturnFloat(m, result < 0 ? 0 : result);
}

} // namespace vorn::engine::math

// The operators and comparisons of script values, as the operator opcodes apply them.
//
// Arithmetic (+ - * /) follows the classic variant rules: Null in either operand gives
// Null; Unassigned counts as 0 (or as the empty text beside a text in +; two Unassigned
// give Unassigned); two texts
// concatenate under +, otherwise a text is read as a real; a Boolean takes part as the
// integer -1 or 0. Integers compute exactly and widen instead of wrapping: a 32-bit
// result that overflows becomes a 64-bit integer, a 64-bit one an unsigned 64-bit integer
// or finally a double. Reals give doubles, currency stays currency beside integers and
// reals, and a date stays a date under + and - (date minus date is a double).
// Floating faults of the result become "Invalid floating point operation", "Floating
// point division by zero" and "Floating point overflow".

#include <cmath>
#include <limits>

#include "engine/vm/ScriptValue.h"
#include "engine/vm/VariantErrors.h"
#include "platform/Exceptions.h"
#include "platform/FloatFaults.h"
#include "platform/NumberText.h"

namespace vorn::engine {

namespace {

using int128 = __int128;

// Operand classes in widening order from Int32 to Date; the others are handled first.
enum class TNum { Int32, Int64, UInt64, Double, Currency, Date, Empty, Null, Text, Bad };
enum class TOp { Add, Sub, Mul };

constexpr int128 CurrencyScale = 10000;

TNum ClassOf(TVarType kind) {
    switch (kind) {
    case varEmpty: return TNum::Empty;
    case varNull: return TNum::Null;
    case varSmallint: case varInteger: case varShortInt: case varByte: case varWord:
    case varLongWord: case varBoolean:
        return TNum::Int32;
    case varInt64: return TNum::Int64;
    case varUInt64: return TNum::UInt64;
    case varSingle: case varDouble: return TNum::Double;
    case varCurrency: return TNum::Currency;
    case varDate: return TNum::Date;
    case varOleStr: case varString: case varUString: return TNum::Text;
    default: return TNum::Bad;
    }
}

bool IsIntegerClass(TNum c) { return c == TNum::Int32 || c == TNum::Int64 || c == TNum::UInt64; }

// The exact value of an operand of an integer class (a Boolean is -1 or 0).
int128 IntOf(const Variant& v) {
    switch (v.VType()) {
    case varSmallint: return v.RawSmallint();
    case varInteger: return v.RawInteger();
    case varShortInt: return v.RawShortInt();
    case varByte: return v.RawByte();
    case varWord: return v.RawWord();
    case varLongWord: return v.RawLongWord();
    case varBoolean: return v.RawBoolean() ? -1 : 0;
    case varInt64: return v.RawInt64();
    case varUInt64: return v.RawUInt64();
    default: return 0;
    }
}

// The real value of a numeric operand.
double RealOf(const Variant& v, TNum c) {
    switch (c) {
    case TNum::Double: return v.VType() == varSingle ? double(v.RawSingle()) : v.RawDouble();
    case TNum::Currency: return double(v.RawInt64()) / 10000.0;
    case TNum::Date: return v.RawDouble();
    default:
        // Through 64 bits: a conversion from 128 bits is a slow library call.
        if (v.VType() == varUInt64) return static_cast<double>(v.RawUInt64());
        return static_cast<double>(static_cast<int64_t>(IntOf(v)));
    }
}

// The currency operand scaled by 10000 (integers are scaled up).
int128 ScaledOf(const Variant& v, TNum c) { return c == TNum::Currency ? int128(v.RawInt64()) : IntOf(v) * CurrencyScale; }

bool FitsInt32(int128 x) { return x >= INT32_MIN && x <= INT32_MAX; }
bool FitsInt64(int128 x) { return x >= INT64_MIN && x <= INT64_MAX; }
bool FitsUInt64(int128 x) { return x >= 0 && x <= int128(UINT64_MAX); }

// An exact integer result in the narrowest kind that holds it, never wrapping.
Variant IntegerResult(int128 x, bool bothNarrow, bool anyUnsigned) {
    if (bothNarrow && FitsInt32(x)) return Variant::FromInteger(static_cast<int32_t>(x));
    if (anyUnsigned && FitsUInt64(x)) return Variant::FromUInt64(static_cast<uint64_t>(x));
    if (FitsInt64(x)) return Variant::FromInt64(static_cast<int64_t>(x));
    if (FitsUInt64(x)) return Variant::FromUInt64(static_cast<uint64_t>(x));
    return Variant::FromDouble(static_cast<double>(x));
}

double Compute(TOp op, double a, double b) {
    switch (op) {
    case TOp::Add: return a + b;
    case TOp::Sub: return a - b;
    case TOp::Mul: return a * b;
    }
    return 0;
}

// A real result; a non-finite one is computed again between a clear and a check of the
// status flags, which raise the fault it came from. Finite results cannot carry one.
// The operands pass through volatile slots so that the operation runs after the flags
// are cleared and before they are tested, not wherever the optimiser would move it.
double FloatOp(TOp op, double a, double b) {
    double result = Compute(op, a, b);
    if (std::isfinite(result)) return result;
    return platform::CheckedFloatOp([&] {
        volatile double x = a, y = b;
        volatile double checked = Compute(op, x, y);
        return double(checked);
    });
}

double FloatDivide(double a, double b) {
    double result = a / b;
    if (std::isfinite(result)) return result;
    return platform::CheckedFloatOp([&] {
        volatile double x = a, y = b;
        volatile double checked = x / y;
        return double(checked);
    });
}

Variant CurrencyFromInt128(int128 scaled) {
    if (!FitsInt64(scaled)) throw platform::EOverflow();
    return Variant::FromCurrency(static_cast<int64_t>(scaled));
}

Variant CurrencyFromDouble(double value) {
    double scaled = value * 10000.0;
    if (!(scaled > -9223372036854775808.0 && scaled < 9223372036854775808.0)) throw platform::EOverflow();
    return Variant::FromCurrency(platform::RoundToInt64(scaled));
}

// Divides halves to even, for the product of two currencies.
int128 DivideRounded(int128 x, int128 d) {
    int128 q = x / d, rest = x % d;
    int128 twice = (rest < 0 ? -rest : rest) * 2;
    if (twice > d || (twice == d && (q & 1) != 0)) q += x < 0 ? -1 : 1;
    return q;
}

// A currency times an integer, or two currencies (whose product carries the scale twice).
Variant CurrencyMultiply(const Variant& l, TNum cl, const Variant& r, TNum cr) {
    int128 a = ScaledOf(l, cl), b = ScaledOf(r, cr);
    if (cl == TNum::Currency && cr == TNum::Currency) return CurrencyFromInt128(DivideRounded(a * b, CurrencyScale));
    int128 product = 0;
    bool overflow = cl == TNum::Currency ? __builtin_mul_overflow(a, IntOf(r), &product)
                                         : __builtin_mul_overflow(IntOf(l), b, &product);
    if (overflow) throw platform::EOverflow();
    return CurrencyFromInt128(product);
}

Variant CurrencyOp(TOp op, const Variant& l, TNum cl, const Variant& r, TNum cr) {
    if (cl == TNum::Double || cr == TNum::Double) return CurrencyFromDouble(FloatOp(op, RealOf(l, cl), RealOf(r, cr)));
    switch (op) {
    case TOp::Add: return CurrencyFromInt128(ScaledOf(l, cl) + ScaledOf(r, cr));
    case TOp::Sub: return CurrencyFromInt128(ScaledOf(l, cl) - ScaledOf(r, cr));
    case TOp::Mul: return CurrencyMultiply(l, cl, r, cr);
    }
    return {};
}

Variant DateOp(TOp op, const Variant& l, TNum cl, const Variant& r, TNum cr) {
    double result = FloatOp(op, RealOf(l, cl), RealOf(r, cr));
    if (op == TOp::Mul || (op == TOp::Sub && cl == TNum::Date && cr == TNum::Date)) return Variant::FromDouble(result);
    return Variant::FromDate(result);
}

Variant NumericOp(TOp op, const Variant& l, TNum cl, const Variant& r, TNum cr) {
    TNum wide = std::max(cl, cr);
    switch (wide) {
    case TNum::Int32: case TNum::Int64: case TNum::UInt64: {
        int128 a = IntOf(l), b = IntOf(r), x = 0;
        if (op == TOp::Mul && __builtin_mul_overflow(a, b, &x)) {
            // Two 64-bit factors can exceed even 128 bits; the product is then a real.
            return Variant::FromDouble(FloatOp(op, RealOf(l, cl), RealOf(r, cr)));
        }
        if (op != TOp::Mul) x = op == TOp::Add ? a + b : a - b;
        return IntegerResult(x, wide == TNum::Int32, cl == TNum::UInt64 || cr == TNum::UInt64);
    }
    case TNum::Double: return Variant::FromDouble(FloatOp(op, RealOf(l, cl), RealOf(r, cr)));
    case TNum::Currency: return CurrencyOp(op, l, cl, r, cr);
    case TNum::Date: return DateOp(op, l, cl, r, cr);
    default: RaiseInvalidVariantOperation();
    }
}

// Two texts (or a text and Unassigned) joined; narrow only when both are narrow.
Variant JoinTexts(const Variant& l, const Variant& r) {
    TVarType kind = l.VType() == r.VType() ? l.VType() : varUString;
    if (l.VType() == varEmpty) return r;
    if (r.VType() == varEmpty) return l;
    if (l.RawText().empty()) return Variant::FromText(r.RawScriptText(), kind);
    if (r.RawText().empty()) return Variant::FromText(l.RawScriptText(), kind);
    return Variant::FromText(ScriptText::Concat(l.RawText(), r.RawText()), kind);
}

// Brings an operand to a numeric class: Unassigned is 0, a text is read as a real.
const Variant& Numeric(const Variant& v, TNum& c, Variant& holder) {
    if (c == TNum::Empty) {
        holder = Variant::FromInteger(0);
        c = TNum::Int32;
        return holder;
    }
    if (c == TNum::Text) {
        holder = Variant::FromDouble(ScriptValueAsDouble(v));
        c = TNum::Double;
        return holder;
    }
    return v;
}

Variant Arithmetic(TOp op, const Variant& a, const Variant& b) {
    const Variant& l = FollowReferences(a);
    const Variant& r = FollowReferences(b);
    TNum cl = ClassOf(l.VType()), cr = ClassOf(r.VType());
    if (cl == TNum::Bad || cr == TNum::Bad) RaiseInvalidVariantOperation();
    if (cl == TNum::Null || cr == TNum::Null) return Variant::Null();
    if (cl == TNum::Empty && cr == TNum::Empty) return {};
    bool textOrEmptyL = cl == TNum::Text || cl == TNum::Empty;
    bool textOrEmptyR = cr == TNum::Text || cr == TNum::Empty;
    if (op == TOp::Add && (cl == TNum::Text || cr == TNum::Text) && textOrEmptyL && textOrEmptyR) return JoinTexts(l, r);
    Variant holdL, holdR;
    const Variant& nl = Numeric(l, cl, holdL);
    const Variant& nr = Numeric(r, cr, holdR);
    return NumericOp(op, nl, cl, nr, cr);
}

// The operand of the integer operators: integers as they are, anything else through its
// real value rounded halves to even. Unsigned values above 2^63 keep their bits only
// where bits are what counts (`asBits`), else they are out of range like the reals.
int64_t RoundedOperand(const Variant& value, bool asBits) {
    const Variant& v = FollowReferences(value);
    TNum c = ClassOf(v.VType());
    if (c == TNum::Int32 || c == TNum::Int64) return static_cast<int64_t>(IntOf(v));
    if (c == TNum::UInt64 && (asBits || v.RawUInt64() <= uint64_t(INT64_MAX))) return static_cast<int64_t>(v.RawUInt64());
    return platform::RoundToInt64(ScriptValueAsDouble(v));
}

// The low 32 bits of a 64-bit result, as the 32-bit integer the operators give.
Variant Low32(uint64_t bits) { return Variant::FromInteger(static_cast<int32_t>(static_cast<uint32_t>(bits))); }

enum class TOrder { Less, Equal, Greater, Unordered };

template <class T>
TOrder OrderOf(const T& a, const T& b) {
    if (a < b) return TOrder::Less;
    if (b < a) return TOrder::Greater;
    if (a == b) return TOrder::Equal;
    return TOrder::Unordered;
}

TOrder CompareNumbers(const Variant& l, TNum cl, const Variant& r, TNum cr) {
    if (IsIntegerClass(cl) && IsIntegerClass(cr)) return OrderOf(IntOf(l), IntOf(r));
    bool exactL = IsIntegerClass(cl) || cl == TNum::Currency;
    bool exactR = IsIntegerClass(cr) || cr == TNum::Currency;
    if (exactL && exactR) return OrderOf(ScaledOf(l, cl), ScaledOf(r, cr));
    return OrderOf(RealOf(l, cl), RealOf(r, cr));
}

// Empty sorts first, then Null, then every other value.
int MissingRank(TNum c) { return c == TNum::Empty ? 0 : c == TNum::Null ? 1 : 2; }

TOrder Compare(const Variant& a, const Variant& b) {
    const Variant& l = FollowReferences(a);
    const Variant& r = FollowReferences(b);
    TNum cl = ClassOf(l.VType()), cr = ClassOf(r.VType());
    if (cl == TNum::Bad || cr == TNum::Bad) RaiseInvalidVariantOperation();
    if (MissingRank(cl) < 2 || MissingRank(cr) < 2) return OrderOf(MissingRank(cl), MissingRank(cr));
    if (cl == TNum::Text && cr == TNum::Text) return OrderOf(l.RawText().compare(r.RawText()), 0);
    // Two Booleans order False before True; beside a number a Boolean is -1 or 0.
    if (l.VType() == varBoolean && r.VType() == varBoolean) return OrderOf(l.RawBoolean(), r.RawBoolean());
    if (cl == TNum::Text && r.VType() == varBoolean) return OrderOf(ScriptValueAsBool(l) ? -1 : 0, r.RawBoolean() ? -1 : 0);
    if (cr == TNum::Text && l.VType() == varBoolean) return OrderOf(l.RawBoolean() ? -1 : 0, ScriptValueAsBool(r) ? -1 : 0);
    if (cl == TNum::Text) return OrderOf(ScriptValueAsDouble(l), RealOf(r, cr));
    if (cr == TNum::Text) return OrderOf(RealOf(l, cl), ScriptValueAsDouble(r));
    return CompareNumbers(l, cl, r, cr);
}

// The common mixed case of the arithmetic: 32-bit integers and doubles only.
bool IntegerOrDouble(const Variant& a, const Variant& b) {
    TVarType ka = a.VType(), kb = b.VType();
    return (ka == varInteger || ka == varDouble) && (kb == varInteger || kb == varDouble);
}

double IntegerOrDoubleValue(const Variant& v) { return v.VType() == varInteger ? v.RawInteger() : v.RawDouble(); }

} // namespace

// ---- Comparisons ----------------------------------------------------------------------

bool ScriptValueEqual(const Variant& a, const Variant& b) {
    if (a.VType() == varInteger && b.VType() == varInteger) return a.RawInteger() == b.RawInteger();
    if (IntegerOrDouble(a, b)) return IntegerOrDoubleValue(a) == IntegerOrDoubleValue(b);
    return Compare(a, b) == TOrder::Equal;
}

bool ScriptValueGreater(const Variant& a, const Variant& b) { return Compare(a, b) == TOrder::Greater; }

bool ScriptValueGreaterOrEqual(const Variant& a, const Variant& b) {
    TOrder order = Compare(a, b);
    return order == TOrder::Greater || order == TOrder::Equal;
}

bool ScriptValueLess(const Variant& a, const Variant& b) {
    if (a.VType() == varInteger && b.VType() == varInteger) return a.RawInteger() < b.RawInteger();
    if (IntegerOrDouble(a, b)) return IntegerOrDoubleValue(a) < IntegerOrDoubleValue(b);
    return Compare(a, b) == TOrder::Less;
}

bool ScriptValueLessOrEqual(const Variant& a, const Variant& b) {
    TOrder order = Compare(a, b);
    return order == TOrder::Less || order == TOrder::Equal;
}

// ---- Arithmetic -------------------------------------------------------------------------

Variant ScriptValueAdd(const Variant& a, const Variant& b) {
    if (a.VType() == varInteger && b.VType() == varInteger) {
        int64_t sum = int64_t(a.RawInteger()) + b.RawInteger();
        return FitsInt32(sum) ? Variant::FromInteger(int32_t(sum)) : Variant::FromInt64(sum);
    }
    if (IntegerOrDouble(a, b)) return Variant::FromDouble(FloatOp(TOp::Add, IntegerOrDoubleValue(a), IntegerOrDoubleValue(b)));
    return Arithmetic(TOp::Add, a, b);
}

Variant ScriptValueSubtract(const Variant& a, const Variant& b) {
    if (a.VType() == varInteger && b.VType() == varInteger) {
        int64_t difference = int64_t(a.RawInteger()) - b.RawInteger();
        return FitsInt32(difference) ? Variant::FromInteger(int32_t(difference)) : Variant::FromInt64(difference);
    }
    if (IntegerOrDouble(a, b)) return Variant::FromDouble(FloatOp(TOp::Sub, IntegerOrDoubleValue(a), IntegerOrDoubleValue(b)));
    return Arithmetic(TOp::Sub, a, b);
}

Variant ScriptValueMultiply(const Variant& a, const Variant& b) {
    if (a.VType() == varInteger && b.VType() == varInteger) {
        int64_t product = int64_t(a.RawInteger()) * b.RawInteger();
        return FitsInt32(product) ? Variant::FromInteger(int32_t(product)) : Variant::FromInt64(product);
    }
    if (IntegerOrDouble(a, b)) return Variant::FromDouble(FloatOp(TOp::Mul, IntegerOrDoubleValue(a), IntegerOrDoubleValue(b)));
    return Arithmetic(TOp::Mul, a, b);
}

Variant ScriptValueDivide(const Variant& a, const Variant& b) {
    const Variant& l = FollowReferences(a);
    const Variant& r = FollowReferences(b);
    TNum cl = ClassOf(l.VType()), cr = ClassOf(r.VType());
    if (cl == TNum::Bad || cr == TNum::Bad) RaiseInvalidVariantOperation();
    if (cl == TNum::Null || cr == TNum::Null) return Variant::Null();
    Variant holdL, holdR;
    const Variant& nl = Numeric(l, cl, holdL);
    const Variant& nr = Numeric(r, cr, holdR);
    double quotient = FloatDivide(RealOf(nl, cl), RealOf(nr, cr));
    // A currency divided by an exact number stays currency.
    if (cl == TNum::Currency && (IsIntegerClass(cr) || cr == TNum::Currency)) return CurrencyFromDouble(quotient);
    return Variant::FromDouble(quotient);
}

Variant ScriptValueConcat(const Variant& a, const Variant& b) {
    ScriptText left = VarToStr(a);
    ScriptText right = VarToStr(b);
    if (right.IsEmpty()) return Variant::FromText(std::move(left));
    if (left.IsEmpty()) return Variant::FromText(std::move(right));
    return Variant::FromText(ScriptText::Concat(left.View(), right.View()));
}

Variant ScriptValueNeg(const Variant& a) {
    const Variant& v = FollowReferences(a);
    switch (ClassOf(v.VType())) {
    case TNum::Empty: return Variant::FromInteger(0);
    case TNum::Null: return Variant::Null();
    case TNum::Int32: case TNum::Int64: case TNum::UInt64:
        return IntegerResult(-IntOf(v), ClassOf(v.VType()) == TNum::Int32, false);
    case TNum::Double:
        return v.VType() == varSingle ? Variant::FromSingle(-v.RawSingle()) : Variant::FromDouble(-v.RawDouble());
    case TNum::Currency: return CurrencyFromInt128(-int128(v.RawInt64()));
    case TNum::Date: return Variant::FromDate(-v.RawDouble());
    case TNum::Text: return Variant::FromDouble(-ScriptValueAsDouble(v));
    case TNum::Bad: break;
    }
    RaiseInvalidVariantOperation();
}

Variant ScriptValueExp(const Variant& a, const Variant& b) {
    double base = ScriptValueAsDouble(a);
    double exponent = ScriptValueAsDouble(b);
    return Variant::FromDouble(platform::CheckedFloatOp([&] { return std::pow(base, exponent); }));
}

// ---- Integer operators --------------------------------------------------------------------

Variant ScriptValueOr(const Variant& a, const Variant& b) {
    return Low32(uint64_t(RoundedOperand(a, true)) | uint64_t(RoundedOperand(b, true)));
}

Variant ScriptValueXor(const Variant& a, const Variant& b) {
    return Low32(uint64_t(RoundedOperand(a, true)) ^ uint64_t(RoundedOperand(b, true)));
}

Variant ScriptValueAnd(const Variant& a, const Variant& b) {
    return Low32(uint64_t(RoundedOperand(a, true)) & uint64_t(RoundedOperand(b, true)));
}

// The count is taken modulo 64 (its low six bits, so -1 shifts by 63).
Variant ScriptValueShl(const Variant& a, const Variant& b) {
    return Low32(uint64_t(RoundedOperand(a, true)) << (uint64_t(RoundedOperand(b, true)) & 63));
}

Variant ScriptValueShr(const Variant& a, const Variant& b) {
    return Low32(uint64_t(RoundedOperand(a, true)) >> (uint64_t(RoundedOperand(b, true)) & 63));
}

Variant ScriptValueDiv(const Variant& a, const Variant& b) {
    int64_t dividend = RoundedOperand(a, false);
    int64_t divisor = RoundedOperand(b, false);
    if (divisor == 0) throw platform::EDivByZero();
    if (dividend == INT64_MIN && divisor == -1) throw platform::EIntOverflow();
    return Low32(uint64_t(dividend / divisor));
}

Variant ScriptValueMod(const Variant& a, const Variant& b) {
    int64_t dividend = RoundedOperand(a, false);
    int64_t divisor = RoundedOperand(b, false);
    if (divisor == 0) throw platform::EDivByZero();
    if (dividend == INT64_MIN && divisor == -1) throw platform::EIntOverflow();
    return Low32(uint64_t(dividend % divisor));
}

Variant ScriptValueNot(const Variant& a) { return Variant::FromBoolean(RoundedOperand(a, true) == 0); }

} // namespace vorn::engine

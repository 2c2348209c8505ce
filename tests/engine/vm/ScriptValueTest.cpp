#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "engine/vm/EngineErrors.h"
#include "engine/vm/ScriptValue.h"
#include "platform/Exceptions.h"

namespace vorn::engine {
namespace {

Variant Text(const char16_t* text) { return StringToScriptValue(platform::UStringView(text)); }

// "kind:text" of a value, the form the tables below expect.
std::string Show(const Variant& v) { return std::to_string(v.VType()) + ":" + VarToStrUtf8(v); }

// "!Class:Message" of what a call raises, or "" when it does not raise.
std::string Raised(const std::function<void()>& call) {
    try {
        call();
    } catch (const platform::Exception& e) {
        return std::string("!") + e.ClassName() + ":" + e.Message();
    }
    return "";
}

TEST(ScriptValue, IsSixteenBytes) { EXPECT_EQ(sizeof(Variant), 16u); }

TEST(ScriptValue, TextIsSharedNotCopied) {
    Variant a = Text(u"hello");
    Variant b = a;
    EXPECT_EQ(a.RawText().data(), b.RawText().data());
    Variant c = std::move(b);
    EXPECT_EQ(b.VType(), varEmpty);
    EXPECT_EQ(c.RawText(), u"hello");
    b = c;
    a.Clear();
    EXPECT_EQ(b.RawText(), u"hello");
}

TEST(ScriptValue, NarrowTextKeepsWhatTheCodePageHolds) {
    Variant v = Variant::FromText(platform::UStringView(u"a\u20ACb\u4E00"), varString);
    EXPECT_EQ(v.VType(), varString);
    EXPECT_EQ(v.RawText(), u"a\u20ACb?");
}

TEST(ScriptArray, CopiesOnWrite) {
    Variant a = ScriptInitArray(IntToScriptValue(3));
    EXPECT_EQ(a.VType(), varArray | varVariant);
    EXPECT_EQ(ScriptArrayLow(a), 0);
    EXPECT_EQ(ScriptArrayHigh(a), 3);
    EXPECT_EQ(ScriptValueLength(a), 4);
    a.MutableArrayItems()[1] = Text(u"x");
    Variant b = a;
    EXPECT_EQ(&a.ArrayItems(), &b.ArrayItems());
    b.MutableArrayItems()[1] = IntToScriptValue(7);
    EXPECT_EQ(a.ArrayItems()[1].RawText(), u"x");
    EXPECT_EQ(b.ArrayItems()[1].RawInteger(), 7);
    EXPECT_NE(&a.ArrayItems(), &b.ArrayItems());
}

TEST(ScriptArray, SizeIsRoundedAndBounded) {
    EXPECT_EQ(ScriptArrayHigh(ScriptInitArray(DoubleToScriptValue(2.5))), 2);
    EXPECT_EQ(ScriptArrayHigh(ScriptInitArray(DoubleToScriptValue(3.5))), 4);
    EXPECT_EQ(ScriptValueLength(ScriptInitArray(IntToScriptValue(-1))), 0);
    EXPECT_EQ(Raised([] { ScriptInitArray(Int64ToScriptValue(int64_t(1) << 40)); }), "!EOutOfMemory:Out of memory");
    EXPECT_EQ(ScriptValueLength(Text(u"abc")), 3);
    EXPECT_EQ(ScriptValueLength(IntToScriptValue(-12)), 3);
    EXPECT_EQ(Raised([] { ScriptArrayHigh(IntToScriptValue(1)); }), "!EVariantError:Invalid argument");
}

TEST(ScriptValueReference, ChainsAreFollowedWhenMade) {
    Variant slot = IntToScriptValue(5);
    Variant first;
    CreateReferenceValue(first, slot);
    Variant second;
    CreateReferenceValue(second, first);
    EXPECT_TRUE(IsReference(second));
    EXPECT_EQ(second.VType(), 0x400C);
    EXPECT_EQ(second.RawTarget(), &slot);
    EXPECT_EQ(DerefValue(second).RawInteger(), 5);
    SetRefValue(second, Text(u"new"));
    EXPECT_EQ(slot.RawText(), u"new");
    EXPECT_EQ(VarToStrUtf8(first), "new");
    EXPECT_EQ(VarContent(first), "new");
    EXPECT_EQ(Show(ScriptValueAdd(first, Text(u"!"))), "258:new!");
    Variant plain = IntToScriptValue(1);
    EXPECT_EQ(&DerefPValue(plain), &plain);
    SetRefValue(plain, IntToScriptValue(2));
    EXPECT_EQ(plain.RawInteger(), 2);
}

TEST(ScriptValueReference, CircularChainIsAnErrorNotAHang) {
    Variant self;
    CreateReferenceValue(self, self);
    EXPECT_EQ(Raised([&] { VarToStr(self); }), "!EVariantError:Invalid variant operation");
    Variant a, b = Variant::RawReference(&a);
    a = Variant::RawReference(&b);
    EXPECT_EQ(Raised([&] { ScriptValueAsDouble(a); }), "!EVariantError:Invalid variant operation");
    EXPECT_EQ(VarContent(a), "(unknown)");
}

TEST(ScriptValueConstructors, KindsOfTheConstructors) {
    EXPECT_EQ(Show(IntToScriptValue(-3)), "3:-3");
    EXPECT_EQ(Show(Int64ToScriptValue(INT64_MIN)), "20:-9223372036854775808");
    EXPECT_EQ(Show(UInt64ToScriptValue(UINT64_MAX)), "21:18446744073709551615");
    EXPECT_EQ(Show(BigIntToScriptValue(UINT64_MAX, true)), "21:18446744073709551615");
    EXPECT_EQ(Show(BigIntToScriptValue(UINT64_MAX, false)), "20:-1");
    EXPECT_EQ(Show(DoubleToScriptValue(0.1)), "5:0.1");
    EXPECT_EQ(Show(BoolToScriptValue(true)), "11:True");
    EXPECT_EQ(Show(ObjectToVar(0)), "20:0");
    EXPECT_EQ(VarToObject(Text(u"42")), 42);
    int local = 0;
    EXPECT_EQ(VarToPointer(PointerToVar(&local)), &local);
}

TEST(ScriptValueTests, StringOrdinalNull) {
    Variant text = Text(u"a"), boolean = BoolToScriptValue(false), null = Variant::Null();
    Variant ref;
    CreateReferenceValue(ref, text);
    EXPECT_TRUE(ScriptValueIsString(text));
    EXPECT_TRUE(VariantIsString(ref));
    EXPECT_FALSE(ScriptValueIsString(IntToScriptValue(1)));
    EXPECT_TRUE(ScriptValueIsOrdinal(boolean));
    EXPECT_TRUE(VariantIsOrdinal(UInt64ToScriptValue(1)));
    EXPECT_FALSE(VariantIsOrdinal(DoubleToScriptValue(1)));
    EXPECT_TRUE(ScriptValueIsNull(null));
    EXPECT_FALSE(ScriptValueIsNull(Variant()));
}

// Operands of the operator tables, by short name.
Variant Operand(const std::string& name) {
    if (name == "E") return Variant();
    if (name == "N") return Variant::Null();
    if (name == "T") return BoolToScriptValue(true);
    if (name == "F") return BoolToScriptValue(false);
    if (name == "I7") return IntToScriptValue(7);
    if (name == "I2") return IntToScriptValue(2);
    if (name == "I0") return IntToScriptValue(0);
    if (name == "Im7") return IntToScriptValue(-7);
    if (name == "IMax") return IntToScriptValue(INT32_MAX);
    if (name == "IMin") return IntToScriptValue(INT32_MIN);
    if (name == "LMax") return Int64ToScriptValue(INT64_MAX);
    if (name == "LMin") return Int64ToScriptValue(INT64_MIN);
    if (name == "Lm1") return Int64ToScriptValue(-1);
    if (name == "L2p53") return Int64ToScriptValue(int64_t(1) << 53 | 1);
    if (name == "UMax") return UInt64ToScriptValue(UINT64_MAX);
    if (name == "D2.5") return DoubleToScriptValue(2.5);
    if (name == "D0.4") return DoubleToScriptValue(0.4);
    if (name == "D0") return DoubleToScriptValue(0);
    if (name == "DBig") return DoubleToScriptValue(1e308);
    if (name == "C1.25") return Variant::FromCurrency(12500);
    if (name == "U3") return Text(u"3");
    if (name == "Uabc") return Text(u"abc");
    if (name == "A") return ScriptInitArray(IntToScriptValue(1));
    ADD_FAILURE() << "unknown operand " << name;
    return {};
}

struct OpCase {
    const char* left;
    const char* op;
    const char* right;
    const char* expected;  // "kind:text" or "!Class:Message"
};

std::string Apply(const std::string& op, const Variant& l, const Variant& r) {
    try {
        if (op == "+") return Show(ScriptValueAdd(l, r));
        if (op == "-") return Show(ScriptValueSubtract(l, r));
        if (op == "*") return Show(ScriptValueMultiply(l, r));
        if (op == "/") return Show(ScriptValueDivide(l, r));
        if (op == "div") return Show(ScriptValueDiv(l, r));
        if (op == "mod") return Show(ScriptValueMod(l, r));
        if (op == "and") return Show(ScriptValueAnd(l, r));
        if (op == "or") return Show(ScriptValueOr(l, r));
        if (op == "xor") return Show(ScriptValueXor(l, r));
        if (op == "shl") return Show(ScriptValueShl(l, r));
        if (op == "shr") return Show(ScriptValueShr(l, r));
        if (op == "**") return Show(ScriptValueExp(l, r));
        if (op == "&") return Show(ScriptValueConcat(l, r));
        if (op == "=") return Show(BoolToScriptValue(ScriptValueEqual(l, r)));
        if (op == "<") return Show(BoolToScriptValue(ScriptValueLess(l, r)));
        if (op == ">") return Show(BoolToScriptValue(ScriptValueGreater(l, r)));
        if (op == "<=") return Show(BoolToScriptValue(ScriptValueLessOrEqual(l, r)));
        if (op == ">=") return Show(BoolToScriptValue(ScriptValueGreaterOrEqual(l, r)));
    } catch (const platform::Exception& e) {
        return std::string("!") + e.ClassName() + ":" + e.Message();
    }
    ADD_FAILURE() << "unknown operator " << op;
    return "";
}

TEST(ScriptValueOperators, IntegerOperatorsOnTheirEdgeCases) {
    const OpCase cases[] = {
        {"I7", "div", "I2", "3:3"},
        {"Im7", "mod", "I2", "3:-1"},
        {"I7", "/", "I2", "5:3.5"},
        {"I2", "**", "I0", "5:1"},
        {"T", "or", "F", "3:-1"},
        {"T", "and", "T", "3:-1"},
        {"F", "and", "I7", "3:0"},
        {"T", "xor", "T", "3:0"},
        {"I7", "div", "I0", "!EDivByZero:Division by zero"},
        {"I7", "mod", "I0", "!EDivByZero:Division by zero"},
        {"LMin", "div", "Lm1", "!EIntOverflow:Integer overflow"},
        {"LMin", "mod", "Lm1", "!EIntOverflow:Integer overflow"},
        {"D2.5", "div", "I2", "3:1"},        // 2.5 rounds to 2 (halves to even)
        {"U3", "mod", "I2", "3:1"},
        {"N", "and", "I7", "!EVariantError:Could not convert variant of type (Null) into type (Double)"},
        {"Uabc", "or", "I7", "!EVariantError:Could not convert variant of type (UnicodeString) into type (Double)"},
        {"DBig", "or", "I0", "!EInvalidOp:Invalid floating point operation"},
        // Integers above 2^53 keep every bit under the bitwise operators.
        {"L2p53", "and", "LMax", "3:1"},
        {"UMax", "shr", "I7", "3:-1"},
        {"UMax", "div", "I2", "!EInvalidOp:Invalid floating point operation"},
        {"I7", "shl", "Lm1", "3:0"},          // a count of -1 shifts by 63
        {"I2", "shr", "I0", "3:2"},
        {"IMin", "shr", "I0", "3:-2147483648"},
        {"Im7", "shr", "I2", "3:-2"},         // on 64 bits, low 32 kept
        {"I2", "&", "I7", "258:27"},
        {"N", "&", "I7", "258:7"},
        {"T", "&", "D2.5", "258:True2.5"},
        {"A", "&", "I7", "!EVariantError:Could not convert variant of type (Array Variant) into type (UnicodeString)"},
    };
    for (const OpCase& c : cases)
        EXPECT_EQ(Apply(c.op, Operand(c.left), Operand(c.right)), c.expected) << c.left << " " << c.op << " " << c.right;
}

TEST(ScriptValueOperators, ShiftAndOrOnTheEdges) {
    EXPECT_EQ(Show(ScriptValueShl(IntToScriptValue(1), IntToScriptValue(65))), "3:2");
    EXPECT_EQ(Show(ScriptValueOr(Int64ToScriptValue(int64_t(1) << 32), IntToScriptValue(1))), "3:1");
    EXPECT_EQ(Show(ScriptValueShl(IntToScriptValue(1), IntToScriptValue(31))), "3:-2147483648");
    EXPECT_EQ(Show(ScriptValueShl(IntToScriptValue(1), IntToScriptValue(32))), "3:0");
    EXPECT_EQ(Show(ScriptValueOr(DoubleToScriptValue(2.5), DoubleToScriptValue(3.5))), "3:6");
}

TEST(ScriptValueOperators, NotIsLogicalForEveryOperand) {
    struct Case { Variant operand; bool expected; };
    const Case cases[] = {
        {IntToScriptValue(5), false}, {IntToScriptValue(0), true}, {DoubleToScriptValue(0.4), true},
        {DoubleToScriptValue(0.5), true}, {DoubleToScriptValue(1.5), false}, {IntToScriptValue(-1), false},
        {BoolToScriptValue(true), false}, {BoolToScriptValue(false), true}, {Text(u"0"), true},
        {Variant(), true},
    };
    for (const Case& c : cases) {
        Variant result = ScriptValueNot(c.operand);
        EXPECT_EQ(result.VType(), varBoolean);
        EXPECT_EQ(result.RawBoolean(), c.expected) << VarContent(c.operand);
    }
    EXPECT_EQ(Raised([] { ScriptValueNot(Variant::Null()); }),
              "!EVariantError:Could not convert variant of type (Null) into type (Double)");
}

TEST(ScriptValueOperators, FloatingFaultsHaveTheirTexts) {
    const OpCase cases[] = {
        {"I7", "/", "I0", "!EZeroDivide:Floating point division by zero"},
        {"D2.5", "/", "D0", "!EZeroDivide:Floating point division by zero"},
        {"D0", "/", "D0", "!EInvalidOp:Invalid floating point operation"},
        {"DBig", "*", "DBig", "!EOverflow:Floating point overflow"},
        {"DBig", "+", "DBig", "!EOverflow:Floating point overflow"},
        {"DBig", "**", "I2", "!EOverflow:Floating point overflow"},
        {"I0", "**", "Lm1", "!EZeroDivide:Floating point division by zero"},
        {"C1.25", "/", "I0", "!EZeroDivide:Floating point division by zero"},
    };
    for (const OpCase& c : cases)
        EXPECT_EQ(Apply(c.op, Operand(c.left), Operand(c.right)), c.expected) << c.left << " " << c.op << " " << c.right;
    EXPECT_EQ(Raised([] { ScriptValueExp(IntToScriptValue(-8), DoubleToScriptValue(0.5)); }),
              "!EInvalidOp:Invalid floating point operation");
}

TEST(ScriptValueOperators, Negation) {
    struct Case { Variant operand; const char* expected; };
    const Case cases[] = {
        {IntToScriptValue(7), "3:-7"},
        {IntToScriptValue(INT32_MIN), "20:2147483648"},
        {Int64ToScriptValue(INT64_MIN), "21:9223372036854775808"},
        {UInt64ToScriptValue(UINT64_MAX), "5:-1.84467440737096E19"},
        {BoolToScriptValue(true), "3:1"},
        {Variant::Null(), "1:"},
        {Variant(), "3:0"},
        {DoubleToScriptValue(2.5), "5:-2.5"},
        {Variant::FromSingle(1.5f), "4:-1.5"},
        {Variant::FromCurrency(12500), "6:-1.25"},
        {Text(u"2.5"), "5:-2.5"},
        {Variant::FromSmallint(5), "3:-5"},
    };
    for (const Case& c : cases) EXPECT_EQ(Show(ScriptValueNeg(c.operand)), c.expected);
    EXPECT_EQ(Raised([] { ScriptValueNeg(Text(u"abc")); }),
              "!EVariantError:Could not convert variant of type (UnicodeString) into type (Double)");
    EXPECT_EQ(Raised([] { ScriptValueNeg(ScriptInitArray(IntToScriptValue(0))); }),
              "!EVariantError:Invalid variant operation");
}

TEST(ScriptValueCasts, ConditionsAndStrictNull) {
    EXPECT_TRUE(ScriptValueAsBool(IntToScriptValue(-1)));
    EXPECT_FALSE(ScriptValueAsBool(DoubleToScriptValue(0)));
    EXPECT_TRUE(ScriptValueAsBool(Text(u"true")));
    EXPECT_TRUE(ScriptValueAsBool(Text(u"2")));
    EXPECT_FALSE(ScriptValueAsBool(Variant()));
    EXPECT_EQ(Raised([] { ScriptValueAsBool(Variant::Null()); }),
              "!EVariantError:Could not convert variant of type (Null) into type (Boolean)");
    EXPECT_EQ(Raised([] { ScriptValueAsBool(Text(u"yes")); }),
              "!EVariantError:Could not convert variant of type (UnicodeString) into type (Boolean)");
    EXPECT_EQ(ScriptValueAsInteger(BoolToScriptValue(true)), -1);
    EXPECT_EQ(ScriptValueAsInteger(DoubleToScriptValue(2.5)), 2);
    EXPECT_EQ(ScriptValueAsInteger(Text(u" 12 ")), 12);
    EXPECT_EQ(ScriptValueAsInt64(Text(u"$FF")), 255);
    EXPECT_EQ(Raised([] { ScriptValueAsInteger(Int64ToScriptValue(int64_t(1) << 40)); }),
              "!EVariantError:Overflow while converting variant of type (Int64) into type (Integer)");
    EXPECT_EQ(Raised([] { ScriptValueAsInt64(DoubleToScriptValue(1e300)); }),
              "!EVariantError:Overflow while converting variant of type (Double) into type (Int64)");
    EXPECT_EQ(Raised([] { ScriptValueAsInt64(DoubleToScriptValue(NAN)); }),
              "!EVariantError:Overflow while converting variant of type (Double) into type (Int64)");
    EXPECT_EQ(ScriptValueAsUInt64(DoubleToScriptValue(1.8e19)), 18000000000000000000ull);
    EXPECT_EQ(Raised([] { ScriptValueAsUInt64(IntToScriptValue(-1)); }),
              "!EVariantError:Overflow while converting variant of type (Integer) into type (UInt64)");
}

TEST(ScriptValueText, VarToStrForms) {
    struct Case { Variant value; const char* expected; };
    const Case cases[] = {
        {Variant(), ""},
        {Variant::Null(), ""},
        {BoolToScriptValue(true), "True"},
        {BoolToScriptValue(false), "False"},
        {DoubleToScriptValue(1e20), "1E20"},
        {DoubleToScriptValue(-0.5), "-0.5"},
        {Variant::FromSingle(0.1f), "0.1"},
        {Variant::FromCurrency(-12345), "-1.2345"},
        {Variant::FromShortInt(-8), "-8"},
        {Variant::FromLongWord(4000000000u), "4000000000"},
        {Variant::FromError(-2147352577), "-2147352577"},
    };
    for (const Case& c : cases) EXPECT_EQ(VarToStrUtf8(c.value), c.expected);
}

TEST(ScriptValueText, StrValReadsTheLeadingNumber) {
    struct Case { const char16_t* text; double expected; };
    const Case cases[] = {
        {u"3,5", 3.5},   {u"12abc", 12},  {u"abc", 0},     {u"  -4.25e2x", -425},
        {u"1e", 1},      {u"1e+", 1},     {u"+7", 7},      {u"", 0},
        {u"1,5,5", 1.5}, {u"2.", 2},      {u"-", 0},       {u"1E-2", 0.01},
        {u"1e999", 1.7976931348623157e308}, {u"1e-999", 0},
    };
    for (const Case& c : cases) EXPECT_DOUBLE_EQ(StrVal(c.text), c.expected) << platform::Utf16ToUtf8(c.text);
}

TEST(ScriptValueText, VarContentPrefixes) {
    struct Case { Variant value; const char* expected; };
    const Case cases[] = {
        {Variant(), "Empty"},
        {Variant::Null(), "Null"},
        {Variant::FromSmallint(2), "Smallint:2"},
        {IntToScriptValue(5), "Integer:5"},
        {Variant::FromSingle(1.5f), "Single:1.5"},
        {DoubleToScriptValue(2.5), "Double:2.5"},
        {Variant::FromCurrency(12500), "Currency:1.25"},
        {Variant::FromText(platform::UStringView(u"o"), varOleStr), "OleStr:o"},
        {Variant::FromError(3), "Error:3"},
        {BoolToScriptValue(true), "Boolean:True"},
        {Variant::FromByte(200), "Byte:200"},
        {Variant::FromWord(60000), "Word:60000"},
        {Variant::FromLongWord(7), "Longword:7"},
        {Variant::FromText(platform::UStringView(u"n"), varString), "String:n"},
        {Text(u"w"), "UnicodeString:w"},
        {Variant::FromShortInt(-1), "-1"},
        {ObjectToVar(123456), "123456"},
        {UInt64ToScriptValue(9), "9"},
        {ScriptInitArray(IntToScriptValue(2)), "(unknown)"},
    };
    for (const Case& c : cases) EXPECT_EQ(VarContent(c.value), c.expected);
    EXPECT_EQ(ScriptValueContent(IntToScriptValue(5)), "Integer:5");
}

class CountedObject : public IDispatchObject {
public:
    void AddRef() noexcept override { ++FRefs; }
    void Release() noexcept override { --FRefs; }
    int FRefs = 0;
};

TEST(ScriptValueDispatch, ValuesCountTheirObject) {
    CountedObject object;
    {
        Variant a = Variant::FromDispatch(&object);
        Variant b = a;
        EXPECT_EQ(object.FRefs, 2);
        EXPECT_EQ(VarContent(b), "(unknown)");
        EXPECT_EQ(VarToInteger(b), 0);
        EXPECT_EQ(Raised([&] { ScriptValueAdd(a, IntToScriptValue(1)); }), "!EVariantError:Invalid variant operation");
        EXPECT_EQ(Raised([&] { ScriptValueEqual(a, b); }), "!EVariantError:Invalid variant operation");
    }
    EXPECT_EQ(object.FRefs, 0);
}

TEST(EngineErrors, RaisersAndTheirTexts) {
    EXPECT_EQ(Raised([] { FatalError("busy"); }), "!EatScripterFatal:busy");
    EXPECT_EQ(Raised([] { RaiseRuntimeError("bad"); }), "!EatRuntimeError:bad");
    EXPECT_EQ(Raised([] { ScriptInfoError("x"); }), "!EatScriptInfoError:ScriptInfo ERROR\r\nx");
    EXPECT_EQ(Raised([] { DefinitionError("x"); }), "!EatDefinitionError:Definition ERROR\r\nx");
    EXPECT_EQ(Raised([] { InternalError("x"); }), "!EatInternalError:INTERNAL ERROR\r\nx");
    EXPECT_EQ(Raised([] { NoMachineError(); }),
              "!EatInternalError:INTERNAL ERROR\r\nVirtual Machine class not specified. Please add unit "
              "\"ScripterInit\" to the uses clause of your application");
    EXPECT_EQ(Raised([] { NoScriptFormClassError(); }),
              "!EatInternalError:INTERNAL ERROR\r\nDefaultScriptFormClass class not specified. Please add unit "
              "\"ScripterInit\" to the uses clause of your application");
}

} // namespace
} // namespace vorn::engine

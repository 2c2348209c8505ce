#include "RttiTestTypes.h"

#include <gtest/gtest.h>

using namespace vorn::platform;
using namespace vorn::platform::rtti;
using namespace vorn::platform::rtti::test;

namespace {

const TMethodInfo& MethodOf(const char* name) { return *TPerson::ClassInfo().MethodByName(name); }

TEST(Invoke, ArgumentsAreConvertedToParameterTypes) {
    TPerson p("Ann");
    const struct { TValue a, b; int64_t expected; } cases[] = {
        {TValue::Int(2), TValue::Int(3), 5},
        {TValue::Text("40"), TValue::Float(1.5), 42},   // text parses, 1.5 rounds to 2
        {TValue::Bool(true), TValue::UInt(9), 10},      // True is 1
        {TValue(), TValue::Text("$10"), 16},            // empty is 0, hexadecimal text
    };
    for (const auto& k : cases) {
        TValue args[] = {k.a, k.b};
        EXPECT_EQ(MethodOf("Add").Invoke(&p, args).AsInt64(), k.expected);
    }
    TValue greetArgs[] = {TValue::Int(7), TValue::Text("2")};
    EXPECT_EQ(MethodOf("Greet").Invoke(&p, greetArgs).AsString(), "Hello 7 from Ann;Hello 7 from Ann;");
    TValue scaleArgs[] = {TValue::Text("2.25")};
    EXPECT_DOUBLE_EQ(MethodOf("Scale").Invoke(&p, scaleArgs).AsFloat(), 4.5);
}

TEST(Invoke, ImpossibleCastsRaiseCleanErrors) {
    TPerson p;
    TPerson other;
    const struct { TValue a; const char* what; } cases[] = {
        {TValue::Text("abc"), "EConvertError"},
        {TValue::Text("1.5.5"), "EConvertError"},
        {TValue::Class(&TPerson::ClassInfo()), "EInvalidCast"},
        {TValue::Record(&other.FHome, &TPoint::RecordInfo()), "EInvalidCast"},
    };
    for (const auto& k : cases) {
        TValue args[] = {k.a, TValue::Int(1)};
        try {
            MethodOf("Add").Invoke(&p, args);
            ADD_FAILURE() << "no error for " << k.what;
        } catch (const Exception& e) {
            EXPECT_STREQ(e.ClassName(), k.what);
        }
    }
    // An object converts to a number only as its live-object number.
    TValue objectArgs[] = {ToValue(&other), TValue::Int(0)};
    EXPECT_EQ(MethodOf("Add").Invoke(&p, objectArgs).AsInt64(), other.ObjectNumber());
    TValue one[] = {TValue::Int(1)};
    EXPECT_THROW(MethodOf("Add").Invoke(&p, one), EArgumentException);
    TValue bad[] = {TValue::Text("x")};
    EXPECT_THROW(TPerson::ClassInfo().MethodByName("Twice")->Invoke(nullptr, bad), EConvertError);
}

TEST(Invoke, ByReferenceParametersWriteBack) {
    TPerson p("Ann");
    TValue swapArgs[] = {TValue::Int(1), TValue::Text("2")};
    MethodOf("Swap").Invoke(&p, swapArgs);
    EXPECT_EQ(swapArgs[0].Kind(), TValueKind::vkInteger);
    EXPECT_EQ(swapArgs[0].AsInt64(), 2);
    EXPECT_EQ(swapArgs[1].AsInt64(), 1);

    TValue fillArgs[] = {TValue(), TValue()};
    EXPECT_EQ(MethodOf("Fill").Invoke(&p, fillArgs).Kind(), TValueKind::vkEmpty);
    EXPECT_EQ(fillArgs[0].AsString(), "Ann");
    EXPECT_DOUBLE_EQ(fillArgs[1].AsFloat(), 2.5);
}

TEST(Invoke, ClassMethodsConstructorsAndFactories) {
    TValue twiceArgs[] = {TValue::Float(10)};
    EXPECT_EQ(MethodOf("Twice").Invoke(TValue(), twiceArgs).AsInt64(), 20);

    TValue createArgs[] = {TValue::Text("Dee")};
    TValue created = MethodOf("Create").Invoke(nullptr, createArgs);
    ASSERT_EQ(created.Kind(), TValueKind::vkObject);
    EXPECT_EQ(created.TypeInfo(), &TPerson::ClassInfo());
    auto* person = static_cast<TPerson*>(created.AsObject(&TPerson::ClassInfo()));
    EXPECT_EQ(person->FName, "Dee");
    TPerson::ClassInfo().FreeInstance(person);

    TEmployee::ClassInfo(); // a class is listed once it has been described
    TValue employee = TTypeRegistry::Instance().FindClass("TEmployee")->NewInstance();
    EXPECT_EQ(employee.TypeInfo(), &TEmployee::ClassInfo());
    // Instance methods invoked through the value cast to the declaring class first.
    TValue greetArgs[] = {TValue::Text("x"), TValue::Int(1)};
    EXPECT_EQ(MethodOf("Greet").Invoke(employee, greetArgs).AsString(), "Hello x from ;");
    EXPECT_THROW(MethodOf("Greet").Invoke(TValue(), greetArgs), EInvalidCast);
    TEmployee::ClassInfo().FreeInstance(employee.AsObject(&TEmployee::ClassInfo()));
}

TEST(Values, RecordRoundTripIsACopy) {
    TPerson p;
    p.FHome = {3, 4};
    const TFieldInfo* home = TPerson::ClassInfo().FieldByName("FHome");
    TValue v = home->GetValue(&p);
    ASSERT_EQ(v.Kind(), TValueKind::vkRecord);
    auto* copy = static_cast<TPoint*>(v.MutableRecord(&TPoint::RecordInfo()));
    copy->X = 10;
    EXPECT_EQ(p.FHome.X, 3) << "the value holds a copy";
    TValue again = v; // copying the value copies the record
    static_cast<TPoint*>(again.MutableRecord(&TPoint::RecordInfo()))->Y = 20;
    home->SetValue(&p, again);
    EXPECT_EQ(p.FHome.X, 10);
    EXPECT_EQ(p.FHome.Y, 20);
    EXPECT_EQ(static_cast<const TPoint*>(v.AsRecord(&TPoint::RecordInfo()))->Y, 4);

    const TRecordInfo& r = TPoint::RecordInfo();
    EXPECT_EQ(r.Kind(), tkRecord);
    EXPECT_EQ(r.FieldByName("y")->GetValue(&p.FHome).AsInt64(), 20);
    EXPECT_EQ(r.MethodByName("Sum")->Invoke(static_cast<void*>(&p.FHome), {}).AsInt64(), 30);
    EXPECT_THROW(home->SetValue(&p, TValue::Int(1)), EInvalidCast);
}

TEST(Values, EnumerationsByOrdinalAndName) {
    const TEnumInfo& e = DescribeEnum(TColor{});
    EXPECT_EQ(e.NameOf(2), "clBlue");
    EXPECT_EQ(e.NameOf(9), "");
    int64_t ordinal = -1;
    EXPECT_TRUE(e.TryOrdinalOf("CLGREEN", ordinal));
    EXPECT_EQ(ordinal, 1);
    EXPECT_FALSE(e.TryOrdinalOf("clPink", ordinal));

    TPerson p;
    const TFieldInfo* color = TPerson::ClassInfo().FieldByName("FColor");
    const struct { TValue in; TColor expected; } cases[] = {
        {TValue::Text("clBlue"), TColor::clBlue},
        {TValue::Int(1), TColor::clGreen},
        {TValue::Enum(0, &e), TColor::clRed},
    };
    for (const auto& k : cases) {
        color->SetValue(&p, k.in);
        EXPECT_EQ(p.FColor, k.expected);
    }
    TValue v = color->GetValue(&p);
    EXPECT_EQ(v.Kind(), TValueKind::vkEnum);
    EXPECT_EQ(v.AsString(), "clRed");
    EXPECT_THROW(color->SetValue(&p, TValue::Int(7)), ERangeError);
    EXPECT_THROW(color->SetValue(&p, TValue::Text("clPink")), EConvertError);
    EXPECT_THROW(color->SetValue(&p, TValue::Enum(1, TTypeOf<bool>::Get())), EInvalidCast);
}

TEST(Values, SetsAsBitMasks) {
    TPerson p;
    p.FColors = {TColor::clRed, TColor::clBlue};
    const TFieldInfo* colors = TPerson::ClassInfo().FieldByName("FColors");
    TValue v = colors->GetValue(&p);
    EXPECT_EQ(v.Kind(), TValueKind::vkSet);
    EXPECT_EQ(v.AsUInt64(), 5u);
    EXPECT_EQ(v.AsString(), "[clRed,clBlue]");
    colors->SetValue(&p, TValue::Text("[clGreen, clBlue]"));
    EXPECT_EQ(p.FColors.Bits(), 6u);
    colors->SetValue(&p, TValue::Int(1));
    EXPECT_TRUE(p.FColors.Contains(TColor::clRed));
    EXPECT_FALSE(p.FColors.Contains(TColor::clBlue));
    EXPECT_THROW(colors->SetValue(&p, TValue::Text("[clPink]")), EConvertError);
}

TEST(Values, CastRulesTable) {
    const struct { TValue in; const char* text; double number; bool flag; } cases[] = {
        {TValue(), "", 0, false},
        {TValue::Int(-3), "-3", -3, true},
        {TValue::Float(0.5), "0.5", 0.5, true},
        {TValue::Bool(true), "True", 1, true},
        {TValue::Text("2.5"), "2.5", 2.5, true},
        {TValue::Text("false"), "false", -1, false},
        {TValue::WideText(u"7"), "7", 7, true},
    };
    for (const auto& k : cases) {
        EXPECT_EQ(k.in.AsString(), k.text);
        if (k.number >= 0 || k.in.Kind() != TValueKind::vkString) {
            EXPECT_DOUBLE_EQ(k.in.AsFloat(), k.number) << k.text;
        }
        EXPECT_EQ(k.in.AsBoolean(), k.flag) << k.text;
    }
    EXPECT_THROW(TValue::Text("maybe").AsBoolean(), EConvertError);
    EXPECT_THROW(TValue::Text("x").AsFloat(), EConvertError);
    EXPECT_THROW(TValue::UInt(~uint64_t(0)).AsInt64(), ERangeError);
    EXPECT_THROW(TValue::Int(-1).AsUInt64(), ERangeError);
    EXPECT_EQ(TValue::Text("abc").AsWideString(), u"abc");
}

} // namespace

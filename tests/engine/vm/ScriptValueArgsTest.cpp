#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "engine/vm/EngineErrors.h"
#include "engine/vm/ScriptValue.h"
#include "platform/Exceptions.h"

namespace vorn::engine {
namespace {

Variant Text(const char16_t* text) { return StringToScriptValue(platform::UStringView(text)); }

std::string Raised(const std::function<void()>& call) {
    try {
        call();
    } catch (const platform::Exception& e) {
        return std::string("!") + e.ClassName() + ":" + e.Message();
    }
    return "";
}

TEST(TolerantConversions, IntegerColumns) {
    struct Case { Variant value; int32_t integer; int64_t int64; double real; };
    const Case cases[] = {
        {IntToScriptValue(-5), -5, -5, -5},
        {Variant::FromByte(200), 200, 200, 200},
        {Variant::FromLongWord(7), 7, 7, 7},
        {Variant::FromError(3), 3, 3, 3},
        {DoubleToScriptValue(2.5), 2, 2, 2.5},
        {DoubleToScriptValue(3.5), 4, 4, 3.5},
        {Variant::FromCurrency(15000), 2, 2, 1.5},
        {Variant::FromDate(45000.75), 45001, 45001, 45000.75},
        {Text(u"2,5"), 2, 2, 2.5},
        {Text(u"3,5"), 4, 4, 3.5},
        {Text(u"12abc"), 12, 12, 12},
        {Text(u"abc"), 0, 0, 0},
        {Text(u""), 0, 0, 0},
        {BoolToScriptValue(true), 1, 1, 1},
        {BoolToScriptValue(false), 0, 0, 0},
        {Variant::Null(), 0, 0, 0},
        {Variant(), 0, 0, 0},
        {Int64ToScriptValue(9), 9, 9, 9},
        {UInt64ToScriptValue(9), 9, 9, 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(VarContent(c.value));
        EXPECT_EQ(VarToInteger(c.value), c.integer);
        EXPECT_EQ(VarToInt64(c.value), c.int64);
        if (c.int64 >= 0) {
            EXPECT_EQ(VarToUInt64(c.value), uint64_t(c.int64));
        }
        EXPECT_DOUBLE_EQ(VarToFloat(c.value), c.real);
        EXPECT_EQ(VarToBoolean(c.value), c.integer != 0);
    }
}

TEST(TolerantConversions, RowsThatGoThroughTheCasts) {
    // 64-bit kinds take the last row where the table says so: a cast to 32 bits.
    EXPECT_EQ(Raised([] { VarToInteger(Int64ToScriptValue(int64_t(1) << 40)); }),
              "!EVariantError:Overflow while converting variant of type (Int64) into type (Integer)");
    EXPECT_EQ(Raised([] { VarToInt64(UInt64ToScriptValue(uint64_t(1) << 40)); }),
              "!EVariantError:Overflow while converting variant of type (UInt64) into type (Integer)");
    EXPECT_EQ(VarToInt64(Int64ToScriptValue(int64_t(1) << 40)), int64_t(1) << 40);
    EXPECT_EQ(VarToUInt64(UInt64ToScriptValue(UINT64_MAX)), UINT64_MAX);
    EXPECT_EQ(Raised([] { VarToUInt64(Int64ToScriptValue(-1)); }),
              "!EVariantError:Overflow while converting variant of type (Int64) into type (UInt64)");
    EXPECT_EQ(Raised([] { VarToInteger(ScriptInitArray(IntToScriptValue(1))); }),
              "!EVariantError:Could not convert variant of type (Array Variant) into type (Integer)");
    // Reals outside the range raise instead of wrapping; texts never raise.
    EXPECT_EQ(Raised([] { VarToInteger(DoubleToScriptValue(3e9)); }), "!ERangeError:Range check error");
    EXPECT_EQ(Raised([] { VarToInt64(DoubleToScriptValue(1e300)); }), "!EInvalidOp:Invalid floating point operation");
    EXPECT_EQ(VarToInteger(Text(u"3e9")), INT32_MAX);
    EXPECT_EQ(VarToInteger(Text(u"-1e99")), INT32_MIN);
    EXPECT_EQ(VarToInt64(Text(u"1e999")), 9223372036854774784);
    EXPECT_EQ(VarToUInt64(Text(u"-4")), 0u);
    // A reference falls in the last row and is followed by the cast.
    Variant target = Text(u"41");
    Variant ref;
    CreateReferenceValue(ref, target);
    EXPECT_EQ(VarToInteger(ref), 41);
    EXPECT_DOUBLE_EQ(VarToFloat(ref), 41);
}

TEST(TolerantConversions, Characters) {
    struct Case { Variant value; char narrow; char16_t wide; };
    const Case cases[] = {
        {IntToScriptValue(0x141), 0x41, 0x141},
        {DoubleToScriptValue(65.5), 'B', u'B'},
        {Text(u"xyz"), 'x', u'x'},
        {Text(u"\u20AC"), char(0x80), u'\u20AC'},
        {Text(u""), 0, 0},
        {BoolToScriptValue(true), 1, 1},
        {Int64ToScriptValue(65), 0, 0},
        {UInt64ToScriptValue(65), 0, 0},
        {Variant::Null(), 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(VarToChar(c.value), c.narrow) << VarContent(c.value);
        EXPECT_EQ(VarToWideChar(c.value), c.wide) << VarContent(c.value);
    }
}

constexpr std::string_view ColourNames[] = {"clRed", "clGreen", "clBlue"};
const TEnumTypeNames Colours{ColourNames};

TEST(TolerantConversions, EnumerationOrdinals) {
    EXPECT_EQ(VarToEnumOrdinal(Text(u"clBlue"), Colours), 2);
    EXPECT_EQ(VarToEnumOrdinal(Text(u"CLGREEN"), Colours), 1);
    EXPECT_EQ(VarToEnumOrdinal(Text(u"clPink"), Colours), -1);
    EXPECT_EQ(VarToEnumOrdinal(IntToScriptValue(1), Colours), 1);
    EXPECT_EQ(VarToEnumOrdinal(DoubleToScriptValue(1.6), Colours), 2);
    EXPECT_EQ(VarToEnumOrdinal(BoolToScriptValue(true), Colours), 1);
    EXPECT_EQ(VarToEnumOrdinal(Variant::Null(), Colours), 0);
}

TEST(TolerantConversions, Sets) {
    Variant members = ScriptInitArray(IntToScriptValue(2));
    members.MutableArrayItems()[0] = Text(u"clRed");
    members.MutableArrayItems()[1] = Text(u"clBlue");
    members.MutableArrayItems()[2] = Text(u"nothing");
    EXPECT_EQ(VarToSet(members, &Colours), 0b101u);
    Variant numbers = ScriptInitArray(IntToScriptValue(2));
    numbers.MutableArrayItems()[0] = IntToScriptValue(0);
    numbers.MutableArrayItems()[1] = IntToScriptValue(33);   // bit 33 mod 32
    numbers.MutableArrayItems()[2] = IntToScriptValue(-3);   // no member
    EXPECT_EQ(VariantToSet(numbers, nullptr), 0b11u);
    EXPECT_EQ(VariantToSet(IntToScriptValue(6), &Colours), 6u);
    EXPECT_EQ(VariantToSet(Variant::Null(), nullptr), 0u);
    EXPECT_EQ(VariantToSet(Text(u"clGreen"), &Colours), 0b10u);
    EXPECT_EQ(VariantToSet(Text(u"5"), nullptr), 5u);

    uint8_t buffer[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    IntToSet(buffer, 0x1FF, 1);
    EXPECT_EQ(buffer[0], 0xFF);
    EXPECT_EQ(buffer[1], 0xAA);
    EXPECT_EQ(IntFromSet(buffer, 1), 0xFFu);
    IntToSet(buffer, 0x18001, 2);
    EXPECT_EQ(IntFromSet(buffer, 2), 0x8001u);
    IntToSet(buffer, 0x80000001u, 4);
    EXPECT_EQ(IntFromSet(buffer, 4), 0x80000001u);
}

TEST(ScriptValueVarRec, KindsInOrder) {
    std::string_view utf8 = "h\xC3\xA9";
    std::string_view ansi = "\x80";
    platform::UStringView wide = u"w";
    Variant inner = DoubleToScriptValue(1.5);
    TVarRec item;
    struct Case { TVarRecKind kind; std::function<void(TVarRec&)> fill; const char* content; };
    const Case cases[] = {
        {vtInteger, [](TVarRec& r) { r.VInteger = -4; }, "Integer:-4"},
        {vtBoolean, [](TVarRec& r) { r.VBoolean = true; }, "Boolean:True"},
        {vtChar, [](TVarRec& r) { r.VChar = 'c'; }, "String:c"},
        {vtExtended, [](TVarRec& r) { r.VExtended = 0.25; }, "Double:0.25"},
        {vtString, [&](TVarRec& r) { r.VString = &utf8; }, "UnicodeString:h\xC3\xA9"},
        {vtObject, [](TVarRec& r) { r.VObject = 77; }, "77"},
        {vtWideChar, [](TVarRec& r) { r.VWideChar = u'\u00FC'; }, "UnicodeString:\xC3\xBC"},
        {vtAnsiString, [&](TVarRec& r) { r.VAnsiString = &ansi; }, "String:\xE2\x82\xAC"},
        {vtCurrency, [](TVarRec& r) { r.VCurrency = 25000; }, "Currency:2.5"},
        {vtVariant, [&](TVarRec& r) { r.VVariant = &inner; }, "Double:1.5"},
        {vtInt64, [](TVarRec& r) { r.VInt64 = -1; }, "-1"},
        {vtUnicodeString, [&](TVarRec& r) { r.VUnicodeString = &wide; }, "UnicodeString:w"},
    };
    for (const Case& c : cases) {
        item.VType = c.kind;
        c.fill(item);
        EXPECT_EQ(VarContent(VariantFromVarRec(item)), c.content) << int(c.kind);
    }
    const TVarRecKind refused[] = {vtPointer, vtPChar, vtClass, vtPWideChar, vtInterface, vtWideString};
    for (TVarRecKind kind : refused) {
        item.VType = kind;
        EXPECT_EQ(Raised([&] { VariantFromVarRec(item); }),
                  "!EatScripterFatal:Unsupported parameter type in array of const: " + std::to_string(int(kind)));
    }
    item.VType = vtPointer;
    EXPECT_EQ(Raised([&] { VariantFromVarRec(item); }),
              "!EatScripterFatal:Unsupported parameter type in array of const: 5");
}

} // namespace
} // namespace vorn::engine

// The General library through scripts: a table of expressions with their results, the
// errors with their texts, by-reference write-backs, objects and the dialog hooks.

#include "tests/engine/libraries/LibraryFixture.h"

#include "platform/rtti/LiveObjects.h"

namespace vorn::engine::librarytest {
namespace {

using GeneralLibraryTest = LibraryFixture;

struct TCase {
    const char* FExpression;
    const char* FExpected;
};

TEST_F(GeneralLibraryTest, ExpressionsGiveTheirResults) {
    const TCase cases[] = {
        {"UpperCase('abcé')", "ABCé"}, {"LowerCase('ABC')", "abc"}, {"AnsiUpperCase('abcé')", "ABCÉ"},
        {"CompareStr('a', 'b')", "-1"}, {"CompareStr('ab', 'a')", "1"}, {"CompareText('ABC', 'abc')", "0"},
        {"AnsiCompareText('É', 'é')", "0"}, {"Trim('  x  ')", "x"}, {"TrimLeft(' x ')", "x "},
        {"TrimRight(' x ')", " x"}, {"IsValidIdent('_a1')", "True"}, {"IsValidIdent('1a')", "False"},
        {"IsValidIdent('ñame')", "True"}, {"IsValidIdent('')", "False"}, {"IntToStr(-12)", "-12"},
        {"IntToHex(-1, 2)", "FFFFFFFF"}, {"IntToHex(255, 4)", "00FF"}, {"StrToInt(' 42')", "42"},
        {"StrToIntDef('12x', 7)", "7"}, {"FloatToStr(0.1)", "0.1"}, {"FloatToStr(1e20)", "1E20"},
        {"StrToFloat('2.5')", "2.5"}, {"Round(2.5)", "2"}, {"Round(3.5)", "4"}, {"Trunc(-2.7)", "-2"},
        {"Int(-2.7)", "-2"}, {"Frac(2.5)", "0.5"}, {"Abs(-3)", "3"}, {"Sqr(3)", "9"}, {"Sqrt(16)", "4"},
        {"Odd(2.6)", "True"}, {"Chr(65)", "A"}, {"Chr(65601)", "A"}, {"Ord('')", "0"}, {"Ord('A')", "65"},
        {"Ord(2.7)", "0"}, {"Copy('abcdef', 3)", "cdef"}, {"Copy('abc', 0, 2)", "ab"}, {"Copy('abc', 5, 1)", ""},
        {"Copy('abc', 2, -1)", ""}, {"Pos('', 'abc')", "0"}, {"Pos('d', 'abc')", "0"}, {"Pos('b', 'abcb')", "2"},
        {"Length(123)", "3"}, {"Length('a😀')", "3"}, {"Format('%d-%s', [3, 'x'])", "3-x"},
        {"Format('%5.2f|%-3d|%x', [3.14159, 7, 255])", " 3.14|7  |FF"}, {"SetOf([0, 3])", "9"},
        {"Format('%*d|%-*d|%.*f', [5, 42, 3, 7, 1, 2.25])", "   42|7  |2.3"},
        {"SetOf([33])", "2"}, {"VarIsNull(Null)", "True"}, {"VarIsNull(0)", "False"}, {"VarToStr(Null)", ""},
        {"DayOfWeek(EncodeDate(2024, 3, 15))", "6"}, {"IsLeapYear(2000)", "True"}, {"IsLeapYear(1900)", "False"},
        {"DateToStr(EncodeDate(2024, 2, 29))", "2024-02-29"}, {"TimeToStr(EncodeTime(13, 5, 7, 0))", "13:05:07"},
        {"DateToStr(IncMonth(EncodeDate(2024, 1, 31), 1))", "2024-02-29"},
        {"FormatDateTime('dd/mm/yyyy hh:nn', EncodeDate(2023, 12, 1) + EncodeTime(8, 30, 0, 0))", "01-12-2023 08:30"},
        {"FormatFloat('#,##0.00', 1234.5)", "1,234.50"}, {"LastExceptionMessage", ""},
        {"Random(1)", "0"}, {"Assigned(nil)", "False"},
    };
    for (const TCase& c : cases) EXPECT_EQ(Eval(c.FExpression), c.FExpected) << c.FExpression;
}

TEST_F(GeneralLibraryTest, ResultKinds) {
    const TCase cases[] = {
        {"Round(2.5)", "2"},                      // 64-bit integer, no kind prefix
        {"Int(2.5)", "Double:2"},                 // a float although registered as integer
        {"EncodeDate(2000, 1, 1)", "Date:2000-01-01"},
        {"Pos('b', 'abc')", "Integer:2"},
        {"Odd(3)", "Boolean:True"},
        {"Ord('A')", "65"},
    };
    for (const TCase& c : cases) EXPECT_EQ(Content(c.FExpression), c.FExpected) << c.FExpression;
}

TEST_F(GeneralLibraryTest, ErrorsCarryTheirTexts) {
    const TCase cases[] = {
        {"Result := StrToInt('12x');", "'12x' is not a valid integer value"},
        {"Result := StrToFloat('x');", "'x' is not a valid floating point value"},
        {"Result := StrToDate('2024-13-01');", "'2024-13-01' is not a valid date"},
        {"Result := EncodeDate(2024, 2, 30);", "Invalid argument to date encode"},
        {"Result := EncodeTime(25, 0, 0, 0);", "Invalid argument to time encode"},
        {"Result := Format('%d', 3);", "Format function expects second argument as a variant vector"},
        {"Result := Format('%d', [Null]);", "Illegal argument to Format function"},
        {"Result := Format('%d', ['x']);", "Format '%d' invalid or incompatible with argument"},
        {"Result := Format('%d %d', [1]);", "No argument for format '%d %d'"},
        {"Result := Format('%999999999d', [1]);", "invalid or incompatible with argument"},
        {"Result := Format('%*d', [10000000000, 1]);", "invalid or incompatible with argument"},
        {"Result := Format('%*d', ['5', 1]);", "invalid or incompatible with argument"},
        {"Result := Sqrt(-1);", "Invalid floating point operation"},
        {"Result := Round(1e300);", "Invalid floating point operation"},
        {"Result := Trunc(-1e19);", "Invalid floating point operation"},
        {"Result := Exp(1000);", "Floating point overflow"},
        {"Result := VarArrayCreate([0, 100000, 0, 100000], 12);", "Error creating variant or safe array"},
        {"Result := VarArrayCreate([0, 1, 2], 12);", "Error creating variant or safe array"},
        {"Result := VarArrayCreate([0, 1], 9999);", "Error creating variant or safe array"},
        {"Result := VarArrayCreate(5, 12);", "Invalid array dimension"},
        {"Raise('custom text');", "custom text"},
        {"Result := SetOf('a');", "SetOf expects an array"},
        {"Interpret('x := 1');", "Interpret is not available"},
        {"Result := CreateOleObject('Excel.Application');", "Automation objects are not supported"},
        {"Chdir('/no/such/folder/at/all');", "File not found"},
    };
    for (const TCase& c : cases) EXPECT_TRUE(Contains(ErrorOf(c.FExpression), c.FExpected)) << c.FExpression;
}

TEST_F(GeneralLibraryTest, ByReferenceRoutinesWriteBack) {
    const TCase cases[] = {
        {"s := 'abcdef'; Delete(s, 0, 2); Result := s;", "abcdef"},
        {"s := 'abc'; Delete(s, 4, 1); Result := s;", "abc"},
        {"s := 'abc'; Delete(s, 2, 100); Result := s;", "a"},
        {"s := 'abc'; Delete(s, 2, 1); Result := s;", "ac"},
        {"s := 'abc'; Insert('x', s, 0); Result := s;", "xabc"},
        {"s := 'abc'; Insert('x', s, 99); Result := s;", "abcx"},
        {"s := 'abc'; Insert('', s, 2); Result := s;", "abc"},
        {"s := 'abc'; Insert('xy', s, 2); Result := s;", "axybc"},
        {"i := 1.6; Inc(i); Result := i;", "3"},
        {"i := 5; Dec(i); Result := i;", "4"},
        {"DecodeDate(EncodeDate(2024, 3, 15), y, m, d); Result := Format('%d-%d-%d', [y, m, d]);", "2024-3-15"},
        {"DecodeTime(EncodeTime(13, 5, 7, 250), y, m, d, s); Result := Format('%d:%d:%d.%d', [y, m, d, s]);",
         "13:5:7.250"},
    };
    for (const TCase& c : cases) EXPECT_EQ(VarToStrUtf8(RunBody(c.FExpression, "s, i, y, m, d")), c.FExpected) << c.FExpression;
    EXPECT_TRUE(Contains(ErrorOf("i := 2147483647; Inc(i);", "i"), "Integer overflow"));
    EXPECT_TRUE(Contains(ErrorOf("i := -2147483648; Dec(i);", "i"), "Integer overflow"));
}

TEST_F(GeneralLibraryTest, ArraysAndTheirBounds) {
    const TCase cases[] = {
        {"a := VarArrayCreate([2, 5], 12); Result := Format('%d %d %d', [Length(a), Low(a), High(a)]);", "4 2 5"},
        {"a := VarArrayCreate([0, 2, 1, 3], 3); a[1, 2] := 7; Result := Format('%d %d %d', "
         "[a[1, 2], VarArrayLowBound(a, 2), VarArrayHighBound(a, 2)]);",
         "7 1 3"},
        {"a := VarArrayCreate([0, 1], 5); Result := a[1];", "0"},
    };
    for (const TCase& c : cases) EXPECT_EQ(VarToStrUtf8(RunBody(c.FExpression, "a")), c.FExpected) << c.FExpression;
    // A single-precision element reaches Format as its value.
    EXPECT_EQ(VarToStrUtf8(RunBody("a := VarArrayCreate([0, 0], 4); a[0] := 1.5; Result := Format('%g|%.2f', [a[0], a[0]]);",
                                   "a")),
              "1.5|1.50");
    // A by-reference position that holds no variable is refused before the call runs.
    EXPECT_TRUE(Contains(ErrorOf("DecodeDate(0, 1, a, a);", "a"), "expects variable reference"));
}

TEST_F(GeneralLibraryTest, RandomStaysInItsRange) {
    for (int i = 0; i < 50; ++i) {
        int64_t n = std::stoll(Eval("Random(10)"));
        EXPECT_TRUE(n >= 0 && n < 10);
        double f = std::stod(Eval("Random"));
        EXPECT_TRUE(f >= 0 && f < 1);
    }
}

TEST_F(GeneralLibraryTest, RaisedErrorsReachTheScriptHandler) {
    std::string body =
        "try\n  Raise('boom');\nexcept\n  Result := LastExceptionClassName + ':' + LastExceptionMessage + ':' +\n"
        "    IntToStr(LastExceptionHelpContext);\nend;";
    EXPECT_EQ(VarToStrUtf8(RunBody(body)), "EatRuntimeError:boom:0");
}

TEST_F(GeneralLibraryTest, DialogsGoThroughTheHooks) {
    std::string shown;
    General().FOnShowMessage = [&](TatVirtualMachine*, const std::string& text) { shown = text; };
    RunBody("ShowMessage('hello');");
    EXPECT_EQ(shown, "hello");
    EXPECT_EQ(VarToStrUtf8(RunBody("s := 'old'; if InputQuery('c', 'p', s) then s := 'yes'; Result := s;", "s")), "old");
    General().FOnInputQuery = [](TatVirtualMachine*, const std::string& caption, const std::string&, std::string& value) {
        value = caption + "!";
        return true;
    };
    EXPECT_EQ(VarToStrUtf8(RunBody("s := 'old'; b := InputQuery('c', 'p', s); Result := s + VarToStr(b);", "s, b")),
              "c!True");
}

TEST_F(GeneralLibraryTest, CreateUsesTheFactoryAndFreeRefusesWhatTheHostOwns) {
    EXPECT_EQ(VarToStrUtf8(RunBody("o := TObject.Create; Result := Assigned(o); o.Free;", "o")), "True");
    // A second Free of the same reference is an error, never a second release.
    EXPECT_TRUE(Contains(ErrorOf("o := TObject.Create; o.Free; o.Free;", "o"), "Free"));
    platform::rtti::TObject hostObject;
    TMachineProc giveHostObject{[](void* o, TatVirtualMachine* m) {
                                    m->ReturnOutputArg(ObjectToVar(static_cast<platform::rtti::TObject*>(o)->ObjectNumber()));
                                },
                                &hostObject};
    FScripter->DefineMethod("HostObj", 0, tkClass, &platform::rtti::TObject::ClassInfo(), giveHostObject);
    EXPECT_TRUE(Contains(ErrorOf("o := HostObj; o.Free;", "o"), "belongs to the host"));
    EXPECT_NE(platform::rtti::TLiveObjects::Instance().NumberOf(&hostObject), 0);
    FScripter->DefineClass(&TFileClass::ClassInfo());
    EXPECT_TRUE(Contains(ErrorOf("Result := TFileClass.Create;"), "cannot be created"));
}

TEST_F(GeneralLibraryTest, RegistrationRowsCarryTheirColumns) {
    TatClass* general = FScripter->SystemLibrary();
    ASSERT_NE(general, nullptr);
    TatMethod* copy = general->MethodByName("Copy");
    EXPECT_EQ(copy->ArgCount(), 3);
    EXPECT_EQ(copy->DefArgCount(), 1);
    TatMethod* decode = general->MethodByName("DecodeTime");
    EXPECT_EQ(decode->ByRefArgMask(), 0b11110u);
    EXPECT_EQ(general->MethodByName("AssignFile")->FResultClass, &TFileClass::ClassInfo());
    EXPECT_EQ(general->MethodByName("Random")->DefArgCount(), 1);
    EXPECT_NE(general->PropertyByName("LastExceptionCol"), nullptr);
    EXPECT_EQ(general->Methods().GetItem(0)->Name(), "UpperCase");
    EXPECT_TRUE(Contains(ErrorOf("Result := Random(1, 2);"), "parameters"));
}

} // namespace
} // namespace vorn::engine::librarytest

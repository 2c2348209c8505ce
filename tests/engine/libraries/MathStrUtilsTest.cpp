// The Math and StrUtils libraries through scripts: tables of results and errors, the
// reference values of Free Pascal and hand computation (tests/data/libraries), and the
// IfThen name clash between the two libraries.

#include <cmath>
#include <fstream>

#include "engine/libraries/StrUtilsLibrary.h"
#include "platform/NumberText.h"
#include "tests/engine/libraries/LibraryFixture.h"

namespace vorn::engine::librarytest {
namespace {

using MathStrUtilsTest = LibraryFixture;

struct TCase {
    const char* FExpression;
    const char* FExpected;
};

TEST_F(MathStrUtilsTest, ReferenceValuesHold) {
    std::ifstream data(std::string(VORN_TEST_DATA) + "/libraries/reference.tsv");
    ASSERT_TRUE(data.good());
    std::string line;
    int checked = 0;
    while (std::getline(data, line)) {
        if (line.empty() || line[0] == '#') continue;
        const size_t tab = line.find('\t');
        ASSERT_NE(tab, std::string::npos) << line;
        // A line holding an assignment is a routine body (for the by-reference routines).
        const std::string source = line.substr(0, tab), expected = line.substr(tab + 1);
        const std::string actual = source.find(":=") == std::string::npos
                                       ? Eval(source)
                                       : VarToStrUtf8(RunBody(source, "y, m, d, h, n, s, z"));
        double a = 0, e = 0;
        if (platform::TryStrToFloat(actual, a) && platform::TryStrToFloat(expected, e) && e != 0)
            EXPECT_NEAR(a, e, std::fabs(e) * 1e-13) << line;
        else
            EXPECT_EQ(actual, expected) << line;
        ++checked;
    }
    EXPECT_GT(checked, 180);
}

TEST_F(MathStrUtilsTest, MathExpressions) {
    const TCase cases[] = {
        {"Min(1.5, 2.7)", "2"}, {"Max(2.5, 2)", "2"}, {"Sign(0.4)", "0"}, {"Sign(-0.6)", "-1"},
        {"Ceil(2.1)", "3"}, {"Ceil(-2.1)", "-2"}, {"Floor(-2.1)", "-3"}, {"Floor(2.0)", "2"},
        {"RoundTo(2.5, 0)", "2"}, {"RoundTo(1234.5678, 258)", "1200"}, {"SimpleRoundTo(1234.5678)", "1234.57"},
        {"SameValue(1, 1 + 1e-13)", "True"}, {"IsZero(1e-13)", "True"}, {"IsZero(1e-11)", "False"},
        {"CompareValue(1, 2)", "-1"}, {"CompareValue(2, 2, 0.5)", "0"}, {"IfThen2(False, 'a', 7)", "7"},
        {"InRange(5, 1, 5)", "True"}, {"EnsureRange(7, 1, 5)", "5"}, {"EnsureRange(0, 3, 1)", "3"},
        {"Power(0, 0)", "1"}, {"Power(0, 2)", "0"}, {"Power(-8, 3)", "-512"}, {"Power(2, 0.5)", "1.41421356237309"},
        {"IntPower(2, -2)", "0.25"}, {"Ldexp(3, 4)", "48"}, {"Log2(8)", "3"}, {"LogN(10, 1000)", "3"},
        {"Hypot(3, 4)", "5"}, {"ArcTan2(1, 1) * 4", "3.14159265358979"}, {"DegToRad(True)", "-0.0174532925199433"},
        {"RadToDeg(4 * ArcTan(1))", "180"}, {"CycleToDeg(0.5)", "180"}, {"GradToDeg(100)", "90"}, {"LnXP1(0)", "0"},
        {"VarIsFloat(EncodeDate(2000, 1, 1))", "False"}, {"VarIsOrdinal(True)", "True"}, {"VarIsStr(5)", "False"},
        {"VarIsStr('5')", "True"}, {"VarIsNumeric(2.5)", "True"}, {"VarIsArray([1])", "True"},
        {"VarIsEmpty(Unassigned)", "True"}, {"IsNan(NaN)", "True"}, {"IsInfinite(NegInfinity)", "True"},
        {"SYDDepreciation(1000, 100, 5, 6)", "0"}, {"MaxDouble > 1e308", "True"}, {"ptStartOfPeriod", "1"},
        {"NegativeValue", "-1"}, {"soWholeWord", "2"},
    };
    for (const TCase& c : cases) EXPECT_EQ(Eval(c.FExpression), c.FExpected) << c.FExpression;
}

TEST_F(MathStrUtilsTest, MathErrors) {
    const TCase cases[] = {
        {"Result := ArcCos(2);", "Invalid floating point operation"},
        {"Result := Power(-8, 1/3);", "Invalid floating point operation"},
        {"Result := Log10(-1);", "Invalid floating point operation"},
        {"Result := Cotan(0);", "Floating point division by zero"},
        {"Result := LogN(1, 5);", "Floating point division by zero"},
        {"Result := Power(10, 400);", "Floating point overflow"},
        {"Result := RoundTo(1, 21);", "Invalid argument"},
        {"Result := SLNDepreciation(1000, 100, 0);", "SLNDepreciation"},
        {"Result := FutureValue(-1, 10, 1, 1, 0);", "FutureValue"},
        {"Result := InterestPayment(0.1, 0, 10, 1, 1, 0);", "InterestPayment"},
        {"Result := InterestRate(0, 1, 1, 1, 0);", "InterestRate"},
        {"Result := Ceil(1e10);", "Invalid floating point operation"},
        {"Result := Tan(Null);", "Could not convert variant of type (Null) into type (Double)"},
        {"DivMod(7, 0, q, r);", "Division by zero"},
        {"DivMod(200000, 2, q, r);", "does not fit in 16 bits"},
        {"Frexp(Infinity, q, r);", "Invalid floating point operation"},
    };
    for (const TCase& c : cases) EXPECT_TRUE(Contains(ErrorOf(c.FExpression, "q, r"), c.FExpected)) << c.FExpression;
}

TEST_F(MathStrUtilsTest, MathByReferenceOutputs) {
    const TCase cases[] = {
        {"DivMod(7, 2, q, r); Result := Format('%d %d', [q, r]);", "3 1"},
        {"DivMod(7, 65538, q, r); Result := Format('%d %d', [q, r]);", "3 1"},
        {"Frexp(8, q, r); Result := Format('%g %d', [q, r]);", "0.5 4"},
        {"Frexp(0, q, r); Result := Format('%g %d', [q, r]);", "0 0"},
        {"SinCos(1, q, r); Result := (Abs(q - Sin(1)) < 1e-6) and (q <> Sin(1)) and (Abs(r - Cos(1)) < 1e-6);",
         "-1"},
    };
    for (const TCase& c : cases) EXPECT_EQ(VarToStrUtf8(RunBody(c.FExpression, "q, r")), c.FExpected) << c.FExpression;
    for (int i = 0; i < 50; ++i) {
        int n = std::stoi(Eval("RandomRange(5, 1)"));
        EXPECT_TRUE(n >= 1 && n <= 4) << n;
    }
}

TEST_F(MathStrUtilsTest, StrUtilsExpressions) {
    const TCase cases[] = {
        {"SoundexSimilar('Robert', 'Rupert')", "True"}, {"SoundexCompare('Robert', 'Rupert')", "0"},
        {"Soundex('Robert', 1)", "R163"}, {"Soundex('')", ""},
        {"SoundexInt('Robert')", "195772"}, {"DecodeSoundexInt(SoundexInt('Robert'))", "R163"},
        {"DecodeSoundexInt(SoundexInt('Robert', 2))", "R1"}, {"DecodeSoundexInt(SoundexInt('Robert', 1))", "R"},
        {"DecodeSoundexInt(SoundexInt('Washington', 8))", "W2523500"},
        {"DecodeSoundexWord(SoundexWord('Robert'))", "R163"}, {"SoundexWord('')", "0"},
        {"ResemblesText('Robert', 'Rupert')", "True"}, {"SoundexProc('Robert', 'Lee')", "False"},
        {"ContainsText('Hello World', 'WORLD')", "True"}, {"ContainsStr('Hello World', 'WORLD')", "False"},
        {"StartsStr('', 'abc')", "True"}, {"ContainsStr('abc', '')", "False"}, {"StartsText('HE', 'hello')", "True"},
        {"StartsText('hellos', 'hello')", "False"}, {"EndsText('LO', 'hello')", "True"}, {"EndsStr('lo', 'hello')", "True"},
        {"EndsStr('xhello', 'hello')", "False"}, {"ReplaceText('aXbxc', 'x', '-')", "a-b-c"},
        {"ReplaceStr('aXbxc', 'x', '-')", "aXb-c"}, {"ReplaceStr('abc', '', '-')", "abc"},
        {"ReplaceText('abc', '', '-')", "abc"}, {"ReplaceText('', '', '-')", ""},
        {"ReplaceText('aa', 'a', 'aa')", "aaaa"}, {"DupeString('ab', 3)", "ababab"}, {"DupeString('ab', -1)", ""},
        {"ReverseString('abc')", "cba"}, {"StuffString('abcdef', 2, 3, 'XY')", "aXYef"}, {"IfThen(False, 'a')", ""},
        {"LeftStr('abcdef', 2)", "ab"}, {"RightStr('abcdef', 2)", "ef"}, {"RightStr('abc', 5)", "abc"},
        {"MidStr('abcdef', 2, 3)", "bcd"}, {"LeftBStr('äbc', 2)", "äb"}, {"MidBStr('abcdef', 3, 2)", "cd"},
        {"RightBStr('abcdef', 2)", "ef"}, {"PosEx('b', 'abcb')", "2"}, {"PosEx('b', 'abcb', 3)", "4"},
        {"PosEx('b', 'abcb', 0)", "0"}, {"PosEx('cb', 'abcb', 4)", "0"},
        {"SearchBuf('Hello World', 11, 0, 0, 'WORLD')", "World"},
        {"SearchBuf('Hello World', 11, 0, 0, 'World', 7)", "World"},
        {"SearchBuf('Hello World', 11, 0, 0, 'Wor', 7)", ""},
        {"SearchBuf('Hello World', 11, 0, 0, 'World', 6)", ""},
        {"SearchBuf('Hello World', 11, 10, 0, 'o', 0)", "orld"},
        {"SearchBuf('Hello World', 11, 11, 0, 'hello', 0)", "Hello World"},
        {"SearchBuf('Hello World', 5, 0, 0, 'World')", ""},
        {"SearchBuf('Hello', 1000, 0, 0, 'lo')", "lo"},
        {"SearchBuf('one two one', 11, 1, 0, 'one', 5)", "one"},
        {"WordDelimiters", "-1"},
    };
    for (const TCase& c : cases) EXPECT_EQ(Eval(c.FExpression), c.FExpected) << c.FExpression;
    EXPECT_EQ(Content("LeftBStr('abc', 1)"), "String:a");
    EXPECT_TRUE(Contains(ErrorOf("Result := LeftStr(Null, 1);"), "Could not convert variant of type (Null)"));
    EXPECT_TRUE(Contains(ErrorOf("Result := DupeString('abc', 2000000000);"), "Out of memory"));
    EXPECT_TRUE(Contains(ErrorOf("Result := Soundex('abc', 2000000000);"), "Out of memory"));
    EXPECT_TRUE(Contains(ErrorOf("Result := SoundexSimilar('a', 'b', 2000000000);"), "Out of memory"));
    EXPECT_EQ(Eval("Length(Soundex('abc', 1000))"), "1000");
}

TEST_F(MathStrUtilsTest, SearchBufOperatesOnTheBufferItsLengthAllows) {
    // The declared length is cut to the text's end, so no byte past it is read.
    EXPECT_EQ(strutils::SearchBuf("abc", 1000000, 0, 0, "c", strutils::soDown), 2);
    EXPECT_EQ(strutils::SearchBuf("abc", 2, 0, 0, "c", strutils::soDown), -1);
    EXPECT_EQ(strutils::SearchBuf("abcabc", 6, 5, 0, "abc", 0), 3);
    EXPECT_EQ(strutils::SearchBuf("ab", 2, -5, 0, "a", strutils::soDown), -1);
}

// RandG draws from the normal distribution: the mean and spread of many draws come close
// to the arguments (bounds many standard errors wide, so the test never flickers).
TEST_F(MathStrUtilsTest, RandGFollowsItsDistribution) {
    const std::string body =
        "n := 20000; sum := 0; squares := 0;\n"
        "for i := 1 to n do begin x := RandG(10, 2); sum := sum + x; squares := squares + x * x; end;\n"
        "mean := sum / n;\n"
        "Result := Format('%.3f %.3f', [mean, Sqrt(squares / n - mean * mean)]);";
    const std::string result = VarToStrUtf8(RunBody(body, "n, i, x, sum, squares, mean"));
    const double mean = std::stod(result.substr(0, result.find(' '))), spread = std::stod(result.substr(result.find(' ') + 1));
    EXPECT_NEAR(mean, 10, 0.15) << result;
    EXPECT_NEAR(spread, 2, 0.15) << result;
}

// Math registers before StrUtils, so the bare name IfThen is StrUtils' (texts); Math's
// stays reachable through the library's name.
TEST_F(MathStrUtilsTest, IfThenOfTheLaterLibraryWins) {
    EXPECT_EQ(Content("IfThen(True, 5)"), "UnicodeString:5");
    EXPECT_EQ(Content("IfThen(False, 'a', 'b')"), "UnicodeString:b");
    EXPECT_NE(FScripter->ClassByName("TatMathLibrary")->MethodByName("IfThen"), nullptr);
    EXPECT_EQ(FScripter->ClassByName("TatMathLibrary")->MethodByName("IfThen")->FResultDataType, tkInteger);
}

} // namespace
} // namespace vorn::engine::librarytest

// The sequences the machine runs as one step give exactly what the plain instructions
// give: every program prints the same with fusion on and with it off (an exec hook set
// runs the list unfused), for plain numbers, overflow into Int64, texts, variants, and
// the faults floating point and integer division raise.

#include "tests/engine/e2e/PascalRunFixture.h"

namespace vorn::engine::e2e {
namespace {

struct FusedCase {
    const char* Name;
    const char* Source;
    const char* Expected;  // printed output, or (after '!') a part of the runtime error raised
};

const FusedCase Cases[] = {
    {"IntegerLoop", "var i, s: integer; begin s := 0; for i := 1 to 10 do s := s + i mod 3; Print(s); end.", "10\n"},
    {"FloatBody",
     "var k: integer; sum, sign, d: double; begin sum := 0.0; sign := 1.0; d := 1.0;"
     " for k := 1 to 4 do begin sum := sum + sign / d; d := d + 2.0; sign := -sign; end;"
     " Print(Round(sum * 1000)); end.",
     "724\n"},
    {"ThreeOperandsWithVariable", "var a, b, c, x: integer; begin a := 2; b := 3; c := 4; x := a + b * c; Print(x); end.",
     "14\n"},
    {"ConstantCompareJump", "var n: integer; begin n := 1; if n < 2 then Print('small') else Print('big'); end.",
     "small\n"},
    {"VarConstOpPushes", "var n: integer; begin n := 5; Print(n - 1); Print(n * 3); end.", "4\n15\n"},
    {"ResultStoredAndReturned",
     "function Twice(t: string): string; begin Result := t + t; end;"
     " function Add(a, b: integer): integer; begin Result := a + b; end;"
     " begin Print(Twice('ab')); Print(Add(2, 3)); end.",
     "abab\n5\n"},
    {"OverflowBecomesInt64", "var a, b, x: integer; begin a := 2147483647; b := 1; x := a + b; Print(x); end.",
     "2147483648\n"},
    {"TextOperands", "var a, b, x: string; begin a := 'ab'; b := 'cd'; x := a + b + 'e'; Print(x); end.", "abcde\n"},
    {"VariantOperands", "var a, b, c, x: variant; begin a := 1; b := '2'; c := 3; x := a + b * c; Print(x); end.", "7\n"},
    {"NegatedMinimum", "var a, x: integer; begin a := -2147483647 - 1; x := -a; Print(x); end.", "2147483648\n"},
    {"FloatDivisionByZero", "var a, b, x: double; begin a := 1.0; b := 0.0; x := a + a / b; Print(x); end.",
     "!Floating point division by zero"},
    {"IntegerModByZero", "var a, b, x: integer; begin a := 1; b := 0; x := a + a mod b; Print(x); end.",
     "!Division by zero"},
    {"EveryComparison",
     "var a, b, n: integer; begin a := 1; b := 2; n := 0;"
     " if a < b then n := n + 1; if a <= b then n := n + 2; if a > b then n := n + 4; if a >= b then n := n + 8;"
     " if a = b then n := n + 16; if a <> b then n := n + 32; if a < 1 then n := n + 64; if a <= 1 then n := n + 128;"
     " if a > 0 then n := n + 256; if a >= 2 then n := n + 512; if a = 1 then n := n + 1024;"
     " if a <> 1 then n := n + 2048; Print(n); end.",
     "1443\n"},
    {"DownToLoop", "var i, s: integer; begin s := 0; for i := 3 downto 1 do s := s * 10 + i; Print(s); end.", "321\n"},
    {"SlashOfWideIntegers", "var a, b: integer; x: double; begin a := 7; b := 2; x := a / b; Print(x); Print(a * b - 20); end.",
     "3.5\n-6\n"},
    {"CountedDestination", "var a, x: variant; begin x := 'text'; a := 2; x := a * 3; Print(x); end.", "6\n"},
    {"MixedKinds", "var i: integer; d: double; begin d := 0.5; for i := 1 to 3 do d := d + i / 2; Print(d); end.",
     "3.5\n"},
    {"ArgumentsInRoutine",
     "function Sum(n, m: integer): integer; var i: integer; begin Result := 0;"
     " for i := n to m do Result := Result + i * n; end; begin Print(Sum(2, 4)); end.",
     "18\n"},
    {"FloatOverflow", "var a, x: double; begin a := 1e308; x := a * 10.0; Print(x); end.", "!Floating point overflow"},
};

class FusedSequenceTest : public PascalRunFixture, public ::testing::WithParamInterface<FusedCase> {
protected:
    // The output of the main block, or '!' and the text of the error it raised.
    std::string Outcome(const std::string& source, bool unfused) {
        FOutput.clear();
        CompileText(source);
        TatVirtualMachine* machine = Script().VirtualMachine();
        machine->FOnExecHook = [](TatVirtualMachine*) {};
        machine->SetCallExecHookEvent(unfused);
        try {
            FScripter->Execute();
        } catch (const std::exception& e) {
            return "!" + std::string(e.what());
        }
        return FOutput;
    }
};

TEST_P(FusedSequenceTest, GivesWhatThePlainInstructionsGive) {
    const FusedCase& c = GetParam();
    const std::string fused = Outcome(c.Source, false);
    const std::string plain = Outcome(c.Source, true);
    EXPECT_EQ(fused, plain);
    if (c.Expected[0] == '!') {
        EXPECT_EQ(fused[0], '!') << fused;
        EXPECT_NE(fused.find(c.Expected + 1), std::string::npos) << fused;
    } else {
        EXPECT_EQ(fused, c.Expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, FusedSequenceTest, ::testing::ValuesIn(Cases),
                         [](const ::testing::TestParamInfo<FusedCase>& info) { return std::string(info.param.Name); });

} // namespace
} // namespace vorn::engine::e2e

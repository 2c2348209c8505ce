// Runtime errors of running scripts: the exact message (the fault, the instruction with
// its operands, the top of the stack, the source position), the row and column the
// exception carries, a fault deep in a call chain wrapped exactly once, runaway
// recursion, and a script's own handler seeing the real error even where the host turns
// runtime errors into a silent abort.

#include "tests/engine/e2e/PascalRunFixture.h"

namespace vorn::engine::e2e {
namespace {

struct TErrorCase {
    const char* Name;
    const char* Source;  // runs routine F
    const char* Message;  // the original message, before "RUNTIME ERROR" framing
    int Row, Col;
};

const TErrorCase ErrorCases[] = {
    {"IntegerDivisionByZero", "function F: integer;\nvar a, b: integer;\nbegin\n  a := 1; b := 0;\n  Result := a div b;\nend;\nbegin\nend.",
     "Division by zero when evaluating instruction OperDiv ($0,$0,$0,$0,'').\r\nStack content is: [0,1,0,1...]."
     "\r\nSource position: 5,19", 5, 19},
    {"NullCondition", "function F: integer;\nvar a;\nbegin\n  if a then Result := 1;\nend;\nbegin\nend.",
     "Could not convert variant of type (Null) into type (Boolean) when evaluating instruction JumpIfFalse "
     "($5,$0,$0,$0,'').\r\nStack content is: [Null,Null,Null].\r\nSource position: 4,8", 4, 8},
    {"ArrayIndexOutOfBounds", "function F: integer;\nvar a: array[0..3] of integer;\nbegin\n  Result := a[7];\nend;\nbegin\nend.",
     // raised by the handler itself: positioned, not wrapped
     "Variant or safe array index out of bounds", 4, 17},
};

class RuntimeErrorTable : public PascalRunFixture, public ::testing::WithParamInterface<TErrorCase> {};

TEST_P(RuntimeErrorTable, GivesMessageInstructionStackAndPosition) {
    const TErrorCase& c = GetParam();
    std::unique_ptr<EatScripterRuntime> e = RuntimeErrorOf(c.Source, "F");
    ASSERT_TRUE(e) << c.Name;
    EXPECT_EQ(e->OriginalMessage(), c.Message) << c.Name;
    EXPECT_EQ(e->Row(), c.Row) << c.Name;
    EXPECT_EQ(e->Col(), c.Col) << c.Name;
    EXPECT_EQ(std::string(e->what()), "RUNTIME ERROR\r\n" + e->OriginalMessage() + "\r\nPosition: " +
                                          std::to_string(c.Row) + ", " + std::to_string(c.Col));
    EXPECT_FALSE(FScripter->Running());
}

INSTANTIATE_TEST_SUITE_P(Scripts, RuntimeErrorTable, ::testing::ValuesIn(ErrorCases),
                         [](const ::testing::TestParamInfo<TErrorCase>& info) { return std::string(info.param.Name); });

using RuntimeErrorTest = PascalRunFixture;

TEST_F(RuntimeErrorTest, AFaultThreeCallsDeepIsWrappedOnceAtTheFault) {
    std::unique_ptr<EatScripterRuntime> e = RuntimeErrorOf(
        "function C(x: integer): integer;\nbegin\n  Result := 10 div x;\nend;\n"
        "function B(x: integer): integer;\nbegin\n  Result := C(x) + 1;\nend;\n"
        "function F: integer;\nbegin\n  Result := B(0) + 1;\nend;\nbegin\nend.",
        "F");
    ASSERT_TRUE(e);
    const std::string message = e->OriginalMessage();
    EXPECT_EQ(message.find("when evaluating"), message.rfind("when evaluating")) << message;
    EXPECT_EQ(message.rfind("Division by zero when evaluating instruction OperDiv", 0), 0u) << message;
    EXPECT_EQ(e->Row(), 3);
    EXPECT_EQ(FScripter->LastExceptionLine(), 3);
    EXPECT_EQ(VarToStrUtf8(FScripter->ExecuteSubroutine("B", Variant::FromInteger(5))), "3");
}

TEST_F(RuntimeErrorTest, RunawayRecursionEndsInARuntimeErrorAndTheNextRunSucceeds) {
    const char* text = "function R(n: integer): integer;\nvar a, b: integer;\nbegin\n  Result := R(n + 1);\nend;\n"
                       "function F: integer;\nbegin\n  Result := 1;\nend;\nbegin\nend.";
    std::unique_ptr<EatScripterRuntime> e = RuntimeErrorOf(text, "R");
    ASSERT_TRUE(e);
    EXPECT_NE(e->OriginalMessage().find("Stack overflow"), std::string::npos) << e->OriginalMessage();
    EXPECT_EQ(VarToStrUtf8(FScripter->ExecuteSubroutine("F")), "1");
}

TEST_F(RuntimeErrorTest, ScriptHandlerSeesTheRealErrorWhenTheHostSilencesRuntimeErrors) {
    FScripter->FOnRuntimeError = [](TatCustomScripter*, std::string&, int, int, bool& show) { show = false; };
    CompileText("function F: integer;\nvar z: integer;\nbegin\n  z := 0;\n  try\n    Result := 1 div z;\n"
                "  except\n    Result := 7;\n  end;\nend;\nbegin\nend.");
    EXPECT_EQ(VarToStrUtf8(FScripter->ExecuteSubroutine("F")), "7");
    EXPECT_EQ(FScripter->LastExceptionMessage(), "Division by zero");
    CompileText("function F: integer;\nvar z: integer;\nbegin\n  z := 0;\n  Result := 1 div z;\nend;\nbegin\nend.");
    EXPECT_THROW(FScripter->ExecuteSubroutine("F"), platform::EAbort);
}

} // namespace
} // namespace vorn::engine::e2e

// Scripts the fuzzers found (minimised) and a few of the bounds they rely on: each must
// compile silently, then compile and run to a clean end, a compile error or a runtime
// error, under a step limit; never crash or leak.

#include <ostream>
#include <string>
#include <string_view>

#include "engine/compiler/ScripterErrors.h"
#include "tests/engine/e2e/PascalRunFixture.h"

namespace vorn::engine::e2e {
namespace {

enum class Outcome { Runs, CompileError, RuntimeError };

struct FuzzCase {
    const char* Name;
    const char* Source;
    Outcome Expected;
    const char* Message;  // part of the error's text; "" for Runs
};

const FuzzCase Cases[] = {
    {"EndlessLoopHaltsAtStepLimit", "var i: integer; begin while true do i := i + 1; end.", Outcome::Runs, ""},
    {"EndlessRecursionOverflows", "procedure P; begin P; end; begin P; end.", Outcome::RuntimeError, "Stack overflow"},
    {"HugeArrayIsRefused", "var a; begin a := VarArrayCreate([0, 100000000], 12); end.", Outcome::RuntimeError,
     "Error creating variant or safe array"},
    {"MissingExpression", "begin x := ; end.", Outcome::CompileError, "Syntax error"},
};

void PrintTo(const FuzzCase& c, std::ostream* os) { *os << c.Name; }

class FuzzRegressionTest : public PascalRunFixture, public ::testing::WithParamInterface<FuzzCase> {
protected:
    // Runs the main block with the fuzzers' step limit armed.
    void RunBounded() {
        TatVirtualMachine* machine = Script().VirtualMachine();
        machine->FOnExecHook = [this](TatVirtualMachine* m) {
            if (++FSteps > 200000) m->Halt();
        };
        machine->SetCallExecHookEvent(true);
        FScripter->Execute();
    }

    int FSteps = 0;
};

TEST_P(FuzzRegressionTest, EndsCleanly) {
    const FuzzCase& c = GetParam();
    Script().SetSourceText(c.Source);
    try {
        Script().SilentCompile();
    } catch (const platform::Exception&) {
    }
    std::string failure;
    Outcome outcome = Outcome::Runs;
    try {
        Script().Compile();
    } catch (const EatCompileError& e) {
        outcome = Outcome::CompileError;
        failure = e.what();
    }
    if (outcome == Outcome::Runs) {
        try {
            RunBounded();
        } catch (const platform::Exception& e) {
            outcome = Outcome::RuntimeError;
            failure = e.what();
        }
    }
    EXPECT_EQ(outcome, c.Expected) << failure;
    EXPECT_NE(failure.find(c.Message), std::string::npos) << failure;
}

INSTANTIATE_TEST_SUITE_P(Scripts, FuzzRegressionTest, ::testing::ValuesIn(Cases),
                         [](const ::testing::TestParamInfo<FuzzCase>& info) { return std::string(info.param.Name); });

} // namespace
} // namespace vorn::engine::e2e

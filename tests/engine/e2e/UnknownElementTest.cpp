// The host's unknown-element handler: it sees the context of a name nothing resolves and
// can register what the name stands for, after which the compiler looks it up once more.

#include <vector>

#include "engine/compiler/ScripterErrors.h"
#include "engine/vm/ScriptValue.h"
#include "tests/engine/e2e/PascalRunFixture.h"

namespace vorn::engine::e2e {
namespace {

using UnknownElementTest = PascalRunFixture;

TEST_F(UnknownElementTest, AHandlerThatRegistersTheNameLetsTheScriptUseIt) {
    std::vector<std::string> seen;
    FScripter->FOnUnknownElement = [&](TatCustomScripter* sender, TElementContext& context) {
        seen.push_back(context.ElementName);
        EXPECT_EQ(sender, FScripter.get());
        EXPECT_EQ(context.Operation, doRead);
        EXPECT_FALSE(context.HasArgList);
        if (context.ElementName == "Answer") {
            sender->AddConstant("Answer", IntToScriptValue(42));
            context.RepeatChecking = true;
        }
    };
    EXPECT_EQ(Run("begin Print(Answer + 1); end."), "43\n");
    EXPECT_EQ(seen, std::vector<std::string>{"Answer"});
}

TEST_F(UnknownElementTest, AHandlerThatRegistersNothingLeavesTheCompileError) {
    int calls = 0;
    FScripter->FOnUnknownElement = [&](TatCustomScripter*, TElementContext& context) {
        ++calls;
        context.RepeatChecking = true;  // asks again without registering: looked up once more only
    };
    EXPECT_THROW(CompileText("begin Print(Nowhere); end."), EatCompileError);
    EXPECT_EQ(calls, 1);
}

} // namespace
} // namespace vorn::engine::e2e

#pragma once
// The fixture of the compiler tests: a started engine with the test language, one
// scripter, and helpers that compile a text and read the instruction list back.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/compiler/EngineStartup.h"
#include "engine/compiler/Scripter.h"
#include "tests/engine/compiler/TestLanguage.h"

namespace vorn::engine::testlang {

// The libraries every started engine registers before any test library: General, Math, StrUtils.
inline constexpr int kStandardLibraryCount = 3;

class CompilerFixture : public ::testing::Test {
protected:
    void SetUp() override {
        StartTestEngine(VORN_TEST_DATA);
        FScripter = std::make_unique<TatScripter>();
    }
    void TearDown() override {
        FScripter.reset();
        StopEngine();
    }

    TatScript& Script() { return *FScripter->CurrentScript(); }
    void CompileText(const std::string& text) {
        Script().SetSourceText(text);
        Script().Compile();
    }
    // The message of the compile error the text gives, "" when it compiles.
    std::string CompileErrorOf(const std::string& text) {
        try {
            CompileText(text);
        } catch (const EatCompileError& e) {
            return e.Message();
        }
        return {};
    }
    static std::vector<TSimplifiedCode*> Code(const TatScript& script) {
        std::vector<TSimplifiedCode*> code;
        for (TSimplifiedCode* i = script.FirstInstruction(); i; i = i->Next) code.push_back(i);
        return code;
    }
    static std::string Opcodes(const TatScript& script) {
        std::string text;
        for (TSimplifiedCode* i : Code(script)) text += std::string(text.empty() ? "" : " ") + InstructionName(i->OpCode);
        return text;
    }

    std::unique_ptr<TatScripter> FScripter;
};

} // namespace vorn::engine::testlang

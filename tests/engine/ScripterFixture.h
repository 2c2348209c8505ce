#pragma once
// What every scripter test fixture shares: one scripter over a started engine, freed
// before the engine stops, and helpers that compile a text into its current script.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/compiler/EngineStartup.h"
#include "engine/compiler/Scripter.h"
#include "engine/compiler/ScripterErrors.h"

namespace vorn::engine {

class ScripterFixture : public ::testing::Test {
protected:
    // Derived fixtures start the engine (and register their language) before calling this.
    void SetUp() override { FScripter = std::make_unique<TatScripter>(); }
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

    std::unique_ptr<TatScripter> FScripter;
};

} // namespace vorn::engine

#pragma once
// The fixture of the compiler tests: a started engine with the test language, one
// scripter, and helpers that compile a text and read the instruction list back.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/compiler/EngineStartup.h"
#include "engine/compiler/Scripter.h"
#include "tests/engine/ScripterFixture.h"
#include "tests/engine/compiler/TestLanguage.h"

namespace vorn::engine::testlang {

// The libraries every started engine registers before any test library: General, Math, StrUtils.
inline constexpr int kStandardLibraryCount = 3;

class CompilerFixture : public ScripterFixture {
protected:
    void SetUp() override {
        StartTestEngine(VORN_TEST_DATA);
        ScripterFixture::SetUp();
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

};

} // namespace vorn::engine::testlang

#pragma once
// The fixture of the end-to-end tests: a started engine with the Pascal language and one
// scripter whose host adds Print (one argument, appended to the captured output as
// text and a line feed), so scripts report what they computed the way a console
// program would.

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "engine/compiler/EngineStartup.h"
#include "engine/compiler/Scripter.h"
#include "engine/languages/PascalScript.h"
#include "engine/vm/ScriptValue.h"
#include "engine/vm/VirtualMachine.h"
#include "tests/engine/ScripterFixture.h"

namespace vorn::engine::e2e {

class PascalRunFixture : public ScripterFixture {
protected:
    void SetUp() override {
        StartEngine();
        RegisterPascalLanguage();
        ScripterFixture::SetUp();
        FScripter->DefineMethod("Print", 1, tkNone, nullptr, TMachineProc::Of<&PascalRunFixture::Print>(this));
    }
    void Print(TatVirtualMachine* machine) { FOutput += machine->GetInputArgAsString(0) + "\n"; }

    // Compiles `text` and runs its main block; returns what it wrote.
    std::string Run(const std::string& text) {
        FOutput.clear();
        CompileText(text);
        FScripter->Execute();
        return FOutput;
    }
    // The runtime error a call of `routine` raises, or null when it raises none.
    std::unique_ptr<EatScripterRuntime> RuntimeErrorOf(const std::string& text, const std::string& routine) {
        CompileText(text);
        try {
            FScripter->ExecuteSubroutine(routine);
        } catch (const EatScripterRuntime& e) {
            return std::make_unique<EatScripterRuntime>(e);
        }
        return nullptr;
    }

    static std::string ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    static std::string DataFile(const std::string& name) { return ReadFile(std::string(VORN_TEST_DATA) + "/scripts/" + name); }

    std::string FOutput;
};

} // namespace vorn::engine::e2e

#pragma once
// The fixture of the library tests: a started engine with the Pascal language and one
// scripter holding the General, Math and StrUtils libraries, with helpers that run an
// expression or a routine body and give the result's text or the error's message.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/compiler/EngineStartup.h"
#include "engine/compiler/Scripter.h"
#include "engine/languages/PascalScript.h"
#include "engine/libraries/SystemLibrary.h"
#include "engine/vm/ScriptValue.h"

namespace vorn::engine::librarytest {

class LibraryFixture : public ::testing::Test {
protected:
    void SetUp() override {
        StartEngine();
        RegisterPascalLanguage();
        FScripter = std::make_unique<TatScripter>();
    }
    void TearDown() override {
        FScripter.reset();
        StopEngine();
    }

    TatSystemLibrary& General() {
        return *static_cast<TatSystemLibrary*>(FScripter->FindLibraryByClass(LibraryClassOf<TatSystemLibrary>()));
    }
    // Runs `body` as the statements of a function (locals in `vars`) and returns its result.
    Variant RunBody(const std::string& body, const std::string& vars = "") {
        std::string text = "function Main: variant;\n" + (vars.empty() ? "" : "var " + vars + ";\n") + "begin\n" + body +
                           "\nend;\nbegin\nend.";
        FScripter->CurrentScript()->SetSourceText(text);
        FScripter->CurrentScript()->Compile();
        return FScripter->ExecuteSubroutine("Main", {});
    }
    // The text of an expression's value.
    std::string Eval(const std::string& expression) { return VarToStrUtf8(RunBody("Result := " + expression + ";")); }
    // The diagnostic text of an expression's value ("Integer:5", "Boolean:True").
    std::string Content(const std::string& expression) { return VarContent(RunBody("Result := " + expression + ";")); }
    // The message of the error running `body` raises (compile or run), or "(no error)".
    std::string ErrorOf(const std::string& body, const std::string& vars = "") {
        try {
            RunBody(body, vars);
        } catch (const std::exception& e) {
            return e.what();
        }
        return "(no error)";
    }

    std::unique_ptr<TatScripter> FScripter;
};

// True when `message` contains `part`, for errors that carry their source position.
inline ::testing::AssertionResult Contains(const std::string& message, const std::string& part) {
    if (message.find(part) != std::string::npos) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "'" << message << "' does not contain '" << part << "'";
}

} // namespace vorn::engine::librarytest

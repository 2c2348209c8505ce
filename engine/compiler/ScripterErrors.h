#pragma once
// The scripter's own exceptions: a compile error (its row and column are part of the
// text) and a script runtime error (script, row, column and original message as fields).

#include <string>

#include "platform/Exceptions.h"

namespace vorn::engine {

class TatScript;

class EatCompileError : public platform::Exception {
public:
    explicit EatCompileError(std::string message) : Exception(std::move(message)) {}
    const char* ClassName() const noexcept override { return "EatCompileError"; }
};

class EatScripterRuntime : public platform::Exception {
public:
    // The message reads "RUNTIME ERROR\r\n" + message + "\r\nPosition: " + row + ", " + col.
    EatScripterRuntime(TatScript* script, int row, int col, std::string message);
    const char* ClassName() const noexcept override { return "EatScripterRuntime"; }
    TatScript* Script() const { return FScript; }
    int Row() const { return FRow; }
    int Col() const { return FCol; }
    const std::string& OriginalMessage() const { return FOriginalMessage; }

    TatScript* FScript;
    int FCol;
    int FRow;
    std::string FOriginalMessage;
};

} // namespace vorn::engine

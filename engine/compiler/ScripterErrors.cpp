#include "engine/compiler/ScripterErrors.h"

namespace vorn::engine {

EatScripterRuntime::EatScripterRuntime(TatScript* script, int row, int col, std::string message)
    : Exception("RUNTIME ERROR\r\n" + message + "\r\nPosition: " + std::to_string(row) + ", " + std::to_string(col)),
      FScript(script), FCol(col), FRow(row), FOriginalMessage(std::move(message)) {}

} // namespace vorn::engine

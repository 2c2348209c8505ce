#pragma once
// The engine's own exceptions and the functions that raise them with their fixed texts:
// refused operations, library faults, registration and symbol-table errors, and broken
// machinery. The machine's runtime error with its source position is made by the scripter.

#include <string>

#include "platform/Exceptions.h"

namespace vorn::engine {

#define VORN_ENGINE_EXCEPTION(Class)                                             \
    class Class : public platform::Exception {                                   \
    public:                                                                      \
        explicit Class(std::string message) : Exception(std::move(message)) {}   \
        const char* ClassName() const noexcept override { return #Class; }       \
    };
VORN_ENGINE_EXCEPTION(EatScripterFatal)
VORN_ENGINE_EXCEPTION(EatRuntimeError)
VORN_ENGINE_EXCEPTION(EatDefinitionError)
VORN_ENGINE_EXCEPTION(EatScriptInfoError)
VORN_ENGINE_EXCEPTION(EatInternalError)
#undef VORN_ENGINE_EXCEPTION

// Each raises its exception and never returns.
[[noreturn]] void FatalError(const std::string& msg);
[[noreturn]] void ScriptInfoError(const std::string& msg);
[[noreturn]] void RaiseRuntimeError(const std::string& msg);
[[noreturn]] void DefinitionError(const std::string& msg);
[[noreturn]] void InternalError(const std::string& msg);
// The host did not set a machine class / a script form class.
[[noreturn]] void NoMachineError();
[[noreturn]] void NoScriptFormClassError();

} // namespace vorn::engine

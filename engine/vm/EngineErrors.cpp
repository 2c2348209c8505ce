#include "engine/vm/EngineErrors.h"

namespace vorn::engine {

void FatalError(const std::string& msg) { throw EatScripterFatal(msg); }

void ScriptInfoError(const std::string& msg) { throw EatScriptInfoError("ScriptInfo ERROR\r\n" + msg); }

void RaiseRuntimeError(const std::string& msg) { throw EatRuntimeError(msg); }

void DefinitionError(const std::string& msg) { throw EatDefinitionError("Definition ERROR\r\n" + msg); }

void InternalError(const std::string& msg) { throw EatInternalError("INTERNAL ERROR\r\n" + msg); }

void NoMachineError() {
    InternalError("Virtual Machine class not specified. Please add unit \"ScripterInit\" "
                  "to the uses clause of your application");
}

void NoScriptFormClassError() {
    InternalError("DefaultScriptFormClass class not specified. Please add unit \"ScripterInit\" "
                  "to the uses clause of your application");
}

} // namespace vorn::engine

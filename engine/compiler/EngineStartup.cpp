#include "engine/compiler/EngineStartup.h"

#include "engine/compiler/ScriptLibrary.h"
#include "engine/compiler/Scripter.h"
#include "engine/libraries/SystemLibrary.h"
#include "engine/vm/SimplifiedCode.h"

namespace vorn::engine {

namespace {

bool GEngineStarted = false;

} // namespace

// The General library (loaded by every scripter) and the DLL library (explicit load) are
// registered here, first in the list, once their units exist; the Math and StrUtils
// units register theirs after this call.
void StartEngine() {
    StopEngine();
    StartEngineValues();
    CreateLibraryList();
    RegisterGeneralLibrary();
    RegisterMathLibrary();
    RegisterStrUtilsLibrary();
    ScripterGlobals() = TScripterGlobals{};
    ScripterGlobals().DefaultMachineClass = TatVirtualMachine::Class();
    GEngineStarted = true;
}

void StopEngine() noexcept {
    FreeLibraryList();
    ScripterGlobals() = TScripterGlobals{};
    StopEngineValues();
    GEngineStarted = false;
}

bool EngineStarted() noexcept { return GEngineStarted; }

} // namespace vorn::engine

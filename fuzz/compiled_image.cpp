// Loads random and mutated compiled images into a script and links what loaded. A clean
// internal error (or another engine exception) is a normal outcome; a crash, a sanitizer
// report or any other exception is a bug. An image that loads must save again, and that
// copy must load and save to the same bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/compiler/EngineStartup.h"
#include "engine/compiler/Scripter.h"
#include "engine/languages/PascalScript.h"
#include "engine/vm/EngineErrors.h"

namespace {

using namespace vorn::engine;

void NoOp(TatVirtualMachine*) {}

// One scripter for the whole run, with the global routine the seed images call.
TatScripter& FuzzScripter() {
    static TatScripter* scripter = [] {
        StartEngine();
        RegisterPascalLanguage();
        auto* s = new TatScripter();
        s->DefineMethod("Print", 1, tkNone, nullptr, TMachineProc::Of<&NoOp>());
        return s;
    }();
    return *scripter;
}

// Loads `image`; false when the load failed cleanly.
bool Load(TatScript& script, const std::string& image) {
    try {
        script.LoadCodeFromStream(image);
        return true;
    } catch (const vorn::platform::Exception&) {
        if (script.Compiled()) std::abort();  // a failed load must leave the script not compiled
        return false;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TatScripter& scripter = FuzzScripter();
    TatScript& script = *scripter.CurrentScript();
    const std::string image(reinterpret_cast<const char*>(data), size);
    if (!Load(script, image)) return 0;
    std::string saved;
    script.SaveCodeToStream(saved);
    try {
        script.VirtualMachine()->SolveAbsoluteAddressing();
    } catch (const vorn::platform::Exception&) {
    }
    if (!Load(script, saved)) std::abort();
    std::string again;
    script.SaveCodeToStream(again);
    if (again != saved) std::abort();
    return 0;
}

// Compiles random and mutated Pascal scripts silently (as code insight does), then
// normally, and runs the main block and a routine named Main. Every run is bounded through
// the machine's exec hook by a step limit, a time limit and a heap budget, so no input can
// hang or exhaust the process. Compile errors, runtime errors and the engine's own "Out of memory"
// are normal outcomes; any other exception, a crash or a sanitizer report is a bug.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <sanitizer/allocator_interface.h>

#include "engine/compiler/EngineStartup.h"
#include "engine/compiler/Scripter.h"
#include "engine/languages/PascalScript.h"
#include "engine/vm/VirtualMachine.h"
#include "platform/Exceptions.h"

namespace {

using namespace vorn::engine;

// Instructions one run may execute: enough for the seed scripts' loops at a reduced size,
// small enough that a sanitizer build finishes any input in well under a second.
constexpr int MaxSteps = 50000;
// One step can be costly (a library routine building a 64M-character text), so steps
// alone do not bound a run's time; past this a run halts as well.
constexpr std::chrono::milliseconds MaxRunTime{2000};
// Longer inputs add little coverage and slow the run down.
constexpr std::size_t MaxInputSize = 4096;
// Heap in use past which a run halts. The engine's own caps (a text of 2^30 code units)
// lie above what a fuzzing process may use, and one instruction can double a text, so
// the budget is a quarter of the 2 GB the fuzzer is run with.
constexpr std::size_t MaxHeapBytes = std::size_t(512) << 20;

// Print converts its argument to text (the conversion is what is exercised) and drops it.
void Print(TatVirtualMachine* machine) { (void)machine->GetInputArgAsString(0); }

// One scripter for the whole run (making one per input costs more than most runs);
// every input recompiles its current script from scratch.
TatScripter& FuzzScripter() {
    static TatScripter* scripter = [] {
        StartEngine();
        RegisterPascalLanguage();
        auto* s = new TatScripter();
        s->DefineMethod("Print", 1, tkNone, nullptr, TMachineProc::Of<&Print>());
        return s;
    }();
    return *scripter;
}

// Runs `label` ("" the main block) with fresh budgets: past MaxSteps instructions or
// MaxRunTime, or with more than MaxHeapBytes in use, the run halts. Failures of the script are
// expected outcomes. The hook is disarmed afterwards, as it refers to this call's counter.
void RunBounded(TatScripter& scripter, std::string_view label) {
    TatVirtualMachine* machine = scripter.CurrentScript()->VirtualMachine();
    if (!machine) return;
    int steps = 0;
    const auto deadline = std::chrono::steady_clock::now() + MaxRunTime;
    machine->FOnExecHook = [&steps, deadline](TatVirtualMachine* m) {
        if (++steps > MaxSteps || __sanitizer_get_current_allocated_bytes() > MaxHeapBytes ||
            std::chrono::steady_clock::now() > deadline)
            m->Halt();
    };
    machine->SetCallExecHookEvent(true);
    try {
        scripter.ExecuteSubroutine(label);
    } catch (const vorn::platform::Exception&) {
    }
    machine->SetCallExecHookEvent(false);
    machine->FOnExecHook = nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > MaxInputSize) return 0;
    TatScripter& scripter = FuzzScripter();
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    TatScript& script = *scripter.CurrentScript();
    script.Parser().SetMaxEffort(200000);
    script.SetSourceText(text);
    try {
        script.SilentCompile();
    } catch (const vorn::platform::Exception&) {
    }
    try {
        script.Compile();
    } catch (const vorn::platform::Exception&) {
        return 0;
    }
    RunBounded(scripter, "");
    RunBounded(scripter, "Main");
    return 0;
}

// A Pascal loop calling a host method and reading a host property through the generic
// procs, against the same loop calling a script function. Counters give calls per second;
// the target is a host call costing no more than twice a script function call.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "engine/compiler/EngineStartup.h"
#include "engine/compiler/Scripter.h"
#include "engine/languages/PascalScript.h"
#include "platform/rtti/Rtti.h"

using namespace vorn::engine;
namespace rtti = vorn::platform::rtti;

namespace {

class TCounterHost : public rtti::TObject {
public:
    int32_t FValue = 3;
    int32_t Add(int32_t a, int32_t b) const { return a + b; }
    int32_t Value() const { return FValue; }
    static const rtti::TClassInfo& ClassInfo() {
        static const rtti::TClassInfo& info = rtti::TClassBuilder<TCounterHost, rtti::TObject>("TCounterHost")
            .Property("Value", &TCounterHost::Value, nullptr, rtti::mvPublic)
            .Method("Add", &TCounterHost::Add, {"a", "b"})
            .Build();
        return info;
    }
};

constexpr int kCalls = 10000;

// Each loop runs in a routine of its own, so that all three use the same local variables.
const char* const kScripts[] = {
    "procedure Run;\nvar i, x: integer;\nbegin\n  for i := 1 to 10000 do x := Host.Add(i, 1);\nend;\nbegin\n  Run;\nend.",
    "procedure Run;\nvar i, x: integer;\nbegin\n  for i := 1 to 10000 do x := Host.Value;\nend;\nbegin\n  Run;\nend.",
    "function Add(a, b: integer): integer;\nbegin\n  Result := a + b;\nend;\n"
    "procedure Run;\nvar i, x: integer;\nbegin\n  for i := 1 to 10000 do x := Add(i, 1);\nend;\nbegin\n  Run;\nend.",
};

void RunLoop(benchmark::State& state, int which) {
    StartEngine();
    RegisterPascalLanguage();
    {
        auto scripter = std::make_unique<TatScripter>();
        TCounterHost host;
        scripter->DefineClassByRTTI(&TCounterHost::ClassInfo());
        scripter->AddObject("Host", &host);
        scripter->CurrentScript()->SetSourceText(kScripts[which]);
        scripter->CurrentScript()->Compile();
        for (auto _ : state) scripter->Execute();
        state.counters["calls/s"] = benchmark::Counter(double(kCalls) * double(state.iterations()), benchmark::Counter::kIsRate);
    }
    StopEngine();
}

void BM_HostMethodCall(benchmark::State& state) { RunLoop(state, 0); }
void BM_HostPropertyRead(benchmark::State& state) { RunLoop(state, 1); }
void BM_ScriptFunctionCall(benchmark::State& state) { RunLoop(state, 2); }

} // namespace

BENCHMARK(BM_HostMethodCall);
BENCHMARK(BM_HostPropertyRead);
BENCHMARK(BM_ScriptFunctionCall);

// Compile time of the whole pipeline (parse, generators, label resolution, position
// packing) for generated scripts of the test language: 1k and 10k lines of routines,
// assignments, calls of routines and of a library, and branches with labels.
// The "lines/s" counter is the figure to report.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "tests/engine/compiler/TestLanguage.h"

namespace {

using namespace vorn::engine;

// About `lines` lines: each routine holds 8 lines of body; the main block calls them.
std::string GeneratedScript(int lines) {
    std::string text = "uses TestLib;\nvar total, flag;\nconst Limit = 100;\n";
    int routines = lines / 12;
    for (int r = 0; r < routines; ++r) {
        std::string n = std::to_string(r);
        text += "proc Step" + n + "(a; var b)\nvar x, s;\nbegin\n";
        text += "  x := a + " + n + ";\n  s := 'step" + n + "';\n";
        text += "  if x = Limit then goto done" + n + ";\n  b := x - 1;\n  call Twice(b);\n";
        text += "  label done" + n + ";\n  total := total + x;\nend\n";
    }
    text += "begin\n";
    for (int r = 0; r < routines; ++r) text += "  call Step" + std::to_string(r) + "(1, flag);\n";
    return text + "end\n";
}

void BM_Compile(benchmark::State& state) {
    testlang::StartTestEngine(std::filesystem::path(__FILE__).parent_path().parent_path() / "tests" / "data");
    {
        TatScripter scripter;
        std::string text = GeneratedScript(static_cast<int>(state.range(0)));
        scripter.CurrentScript()->SetSourceText(text);
        int lines = static_cast<int>(scripter.SourceCode().size());
        for (auto _ : state) {
            scripter.CurrentScript()->Clear();
            scripter.CurrentScript()->Compile();
            benchmark::DoNotOptimize(scripter.FirstInstruction());
        }
        state.counters["lines/s"] =
            benchmark::Counter(static_cast<double>(lines) * static_cast<double>(state.iterations()),
                               benchmark::Counter::kIsRate);
        state.counters["instructions"] = scripter.ScriptInfo().CodeSize();
    }
    StopEngine();
}
BENCHMARK(BM_Compile)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

// Compile time of the Pascal language for a generated 5,000-line script (routines with
// loops, branches, case statements, try statements and calls), parse and code generation
// together.

#include <benchmark/benchmark.h>

#include <string>

#include "engine/compiler/EngineStartup.h"
#include "engine/compiler/Scripter.h"
#include "engine/languages/PascalScript.h"

namespace {

using namespace vorn::engine;

// About 25 lines per routine; `routines` routines and a main block calling each.
std::string GeneratedScript(int routines) {
    std::string text = "var Total;\n";
    for (int r = 0; r < routines; ++r) {
        const std::string n = std::to_string(r);
        text += "function F" + n + "(a, b): Integer;\nvar i, s, t;\nbegin\n  s := 0;\n"
                "  for i := a to b do\n  begin\n    if i mod 2 = 0 then s := s + i * 2 else s := s - 1;\n"
                "    if s > 1000 then break;\n  end;\n  while s > 10 do s := s div 2;\n"
                "  repeat s := s + 1 until s >= 20;\n  case s of\n    1, 2: t := 'one or two';\n"
                "    3: t := 'three'\n  else\n    t := 'x' + #13#10 + 'y';\n  end;\n"
                "  try\n    s := s + $FF - (a * b) / 3.5;\n  except\n    s := 0;\n  end;\n"
                "  Result := s;\nend;\n\n";
    }
    text += "begin\n  Total := 0;\n";
    for (int r = 0; r < routines; ++r) text += "  Total := Total + F" + std::to_string(r) + "(1, 10);\n";
    text += "end.\n";
    return text;
}

void BM_PascalCompile5000Lines(benchmark::State& state) {
    StartEngine();
    RegisterPascalLanguage();
    {
        TatScripter scripter;
        const std::string text = GeneratedScript(190);
        int lines = 0;
        for (char c : text) lines += c == '\n';
        scripter.CurrentScript()->SetSourceText(text);
        for (auto _ : state) {
            scripter.CurrentScript()->Compile();
            benchmark::DoNotOptimize(scripter.CurrentScript()->FirstInstruction());
        }
        state.counters["lines"] = lines;
        state.counters["instructions"] = scripter.CurrentScript()->CodeLine() + 1;
    }
    StopEngine();
}
BENCHMARK(BM_PascalCompile5000Lines)->Unit(benchmark::kMillisecond);

} // namespace

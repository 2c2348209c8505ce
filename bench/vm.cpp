// The interpreter loop on hand-built instruction lists: an integer for-loop with mod and
// add (as a Pascal `for` compiles) and recursive fib. Counters give instructions per
// second; compare with lua5.4 on the same loops (intloop.lua, fib.lua).

#include <benchmark/benchmark.h>

#include <sstream>
#include <string>

#include "engine/vm/SimplifiedCode.h"
#include "engine/vm/VirtualMachine.h"

using namespace vorn::engine;

namespace {

// Appends one instruction: opcode, vInteger, valueInt64, vByte.
TSimplifiedCode* Emit(TSimplifiedCodeList& list, TInstruction op, int32_t vInteger = 0, int64_t value = 0,
                      uint8_t vByte = 0) {
    TSimplifiedCode* i = list.Append(op);
    i->vInteger = vInteger;
    i->valueInt64 = value;
    i->vByte = vByte;
    return i;
}

// s := 0; for i := 1 to n do s := s + i mod 7; result s. 15 instructions per iteration.
void BuildIntLoop(TSimplifiedCodeList& list, int64_t n) {
    Emit(list, inPrepare, 2);
    Emit(list, inStoreVarInteger, 0, 0);
    Emit(list, inStoreVarInteger, 1, 1);
    Emit(list, inPushVar, 1);          // 3
    Emit(list, inPushInteger, 0, n);
    Emit(list, inOperLE);
    Emit(list, inJumpIfFalse, 18);
    Emit(list, inPushVar, 0);
    Emit(list, inPushVar, 1);
    Emit(list, inPushInteger, 0, 7);
    Emit(list, inOperMod);
    Emit(list, inOperAdd);
    Emit(list, inStoreVar, 0);
    Emit(list, inPushVar, 1);
    Emit(list, inPushInteger, 0, 1);
    Emit(list, inOperAdd);
    Emit(list, inStoreVar, 1);
    Emit(list, inJump, 3);
    Emit(list, inPushVar, 0);          // 18
    Emit(list, inRet);
}

// fib(n) = n < 2 ? n : fib(n - 1) + fib(n - 2); main calls fib(n).
void BuildFib(TSimplifiedCodeList& list, int64_t n) {
    Emit(list, inJump, 23);
    Emit(list, inPrepare, 1);          // 1: fib
    Emit(list, inPushVar, -1);
    Emit(list, inPushInteger, 0, 2);
    Emit(list, inOperLess);
    Emit(list, inJumpIfFalse, 9);
    Emit(list, inPushVar, -1);
    Emit(list, inStoreVar, 0);
    Emit(list, inJump, 21);
    Emit(list, inPushVar, -1);         // 9
    Emit(list, inPushInteger, 0, 1);
    Emit(list, inOperSub);
    Emit(list, inCall, 1, 0, 1);
    Emit(list, inPushOutput, 0);
    Emit(list, inPushVar, -1);
    Emit(list, inPushInteger, 0, 2);
    Emit(list, inOperSub);
    Emit(list, inCall, 1, 0, 1);
    Emit(list, inPushOutput, 0);
    Emit(list, inOperAdd);
    Emit(list, inStoreVar, 0);         // 20
    Emit(list, inPushVar, 0);          // 21
    Emit(list, inRet);
    Emit(list, inPrepare, 0);          // 23: main
    Emit(list, inPushInteger, 0, n);
    Emit(list, inCall, 1, 0, 1);
    Emit(list, inPushOutput, 0);
    Emit(list, inRet);
}

int64_t FibValue(int64_t n) { return n < 2 ? n : FibValue(n - 1) + FibValue(n - 2); }

} // namespace

static void BM_VmIntLoop(benchmark::State& state) {
    StartEngineValues();
    const int64_t n = state.range(0);
    TSimplifiedCodeList list;
    BuildIntLoop(list, n);
    TatVirtualMachine machine;
    machine.SetCode(list.First());
    for (auto _ : state) benchmark::DoNotOptimize(machine.Execute());
    state.counters["instr/s"] = benchmark::Counter(double(n) * 15 * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["iter/s"] = benchmark::Counter(double(n) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_VmIntLoop)->Arg(1000000)->Unit(benchmark::kMillisecond);

static void BM_VmFib(benchmark::State& state) {
    StartEngineValues();
    const int64_t n = state.range(0);
    TSimplifiedCodeList list;
    BuildFib(list, n);
    TatVirtualMachine machine;
    machine.SetCode(list.First());
    // Calls: fib(n) makes 2 fib(n + 1) - 1 calls; leaves cost 10 instructions, inner calls 19.
    const double calls = double(2 * FibValue(n + 1) - 1);
    const double leaves = double(FibValue(n + 1));
    const double instructions = leaves * 10 + (calls - leaves) * 19;
    for (auto _ : state) benchmark::DoNotOptimize(machine.Execute());
    state.counters["instr/s"] = benchmark::Counter(instructions * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["calls/s"] = benchmark::Counter(calls * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_VmFib)->Arg(27)->Unit(benchmark::kMillisecond);

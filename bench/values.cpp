// The cost of the value operations the operator opcodes call, each beside the same
// operation on plain C++ types as the floor it is measured against.

#include <benchmark/benchmark.h>

#include <string>

#include "engine/vm/ScriptValue.h"

using namespace vorn::engine;

static void BM_IntAddValue(benchmark::State& state) {
    Variant sum = IntToScriptValue(0);
    Variant one = IntToScriptValue(1);
    for (auto _ : state) {
        sum = ScriptValueAdd(sum, one);
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_IntAddValue);

static void BM_IntAddPlain(benchmark::State& state) {
    int64_t sum = 0, one = 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(one);
        sum = (sum + one) & 0x7FFFFFFF;
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_IntAddPlain);

static void BM_IntMultiplyValue(benchmark::State& state) {
    Variant a = IntToScriptValue(12345), b = IntToScriptValue(-3);
    for (auto _ : state) {
        Variant product = ScriptValueMultiply(a, b);
        benchmark::DoNotOptimize(product);
    }
}
BENCHMARK(BM_IntMultiplyValue);

static void BM_IntMultiplyPlain(benchmark::State& state) {
    int32_t a = 12345, b = -3;
    for (auto _ : state) {
        benchmark::DoNotOptimize(a);
        int64_t product = int64_t(a) * b;
        benchmark::DoNotOptimize(product);
    }
}
BENCHMARK(BM_IntMultiplyPlain);

static void BM_FloatAddValue(benchmark::State& state) {
    Variant sum = DoubleToScriptValue(0), step = DoubleToScriptValue(0.5);
    for (auto _ : state) {
        sum = ScriptValueAdd(sum, step);
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_FloatAddValue);

static void BM_FloatAddPlain(benchmark::State& state) {
    double sum = 0, step = 0.5;
    for (auto _ : state) {
        sum = sum + step;
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_FloatAddPlain);

static void BM_FloatMultiplyValue(benchmark::State& state) {
    Variant a = DoubleToScriptValue(1.0000001), b = DoubleToScriptValue(0.9999999);
    for (auto _ : state) {
        Variant product = ScriptValueMultiply(a, b);
        benchmark::DoNotOptimize(product);
    }
}
BENCHMARK(BM_FloatMultiplyValue);

static void BM_FloatMultiplyPlain(benchmark::State& state) {
    double a = 1.0000001, b = 0.9999999;
    for (auto _ : state) {
        double product = a * b;
        benchmark::DoNotOptimize(product);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FloatMultiplyPlain);

static void BM_MixedAddValue(benchmark::State& state) {
    Variant a = IntToScriptValue(3), b = DoubleToScriptValue(0.5);
    for (auto _ : state) {
        Variant sum = ScriptValueAdd(a, b);
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_MixedAddValue);

static void BM_CompareValue(benchmark::State& state) {
    Variant a = IntToScriptValue(3), b = IntToScriptValue(4);
    for (auto _ : state) {
        bool less = ScriptValueLess(a, b);
        benchmark::DoNotOptimize(less);
    }
}
BENCHMARK(BM_CompareValue);

static void BM_CompareMixedValue(benchmark::State& state) {
    Variant a = IntToScriptValue(3), b = DoubleToScriptValue(3.5);
    for (auto _ : state) {
        bool less = ScriptValueLess(a, b);
        benchmark::DoNotOptimize(less);
    }
}
BENCHMARK(BM_CompareMixedValue);

static void BM_ComparePlain(benchmark::State& state) {
    int32_t a = 3, b = 4;
    for (auto _ : state) {
        benchmark::DoNotOptimize(a);
        bool less = a < b;
        benchmark::DoNotOptimize(less);
    }
}
BENCHMARK(BM_ComparePlain);

static void BM_ConcatValue(benchmark::State& state) {
    Variant a = StringToScriptValue(u"Hello, "), b = StringToScriptValue(u"world");
    for (auto _ : state) {
        Variant text = ScriptValueAdd(a, b);
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_ConcatValue);

static void BM_ConcatPlain(benchmark::State& state) {
    std::u16string a = u"Hello, ", b = u"world";
    for (auto _ : state) {
        std::u16string text = a + b;
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_ConcatPlain);

static void BM_CopyTextValue(benchmark::State& state) {
    Variant a = StringToScriptValue(u"a text longer than the small-string buffer");
    for (auto _ : state) {
        Variant copy = a;
        benchmark::DoNotOptimize(copy);
    }
}
BENCHMARK(BM_CopyTextValue);

static void BM_CopyTextPlain(benchmark::State& state) {
    std::u16string a = u"a text longer than the small-string buffer";
    for (auto _ : state) {
        std::u16string copy = a;
        benchmark::DoNotOptimize(copy);
    }
}
BENCHMARK(BM_CopyTextPlain);

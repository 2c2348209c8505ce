// A generic method invoke through the reflection layer against a direct C++ call of the
// same method. The descriptor is resolved once, as the script binding keeps it.

#include "platform/rtti/Rtti.h"

#include <benchmark/benchmark.h>

using namespace vorn::platform::rtti;

namespace {

class TCounter : public TObject {
public:
    [[gnu::noinline]] int64_t Add(int64_t a, int64_t b) { return FTotal += a + b; }
    [[gnu::noinline]] double Mix(int32_t a, double b, bool c) { return c ? a * b : b; }
    [[gnu::noinline]] void Store(const std::string& text) { FLength += int64_t(text.size()); }
    int64_t FTotal = 0;
    int64_t FLength = 0;

    static const TClassInfo& ClassInfo() {
        static const TClassInfo& info = TClassBuilder<TCounter, TObject>("TCounter")
            .Method("Add", &TCounter::Add, {"a", "b"})
            .Method("Mix", &TCounter::Mix, {"a", "b", "c"})
            .Method("Store", &TCounter::Store, {Const("text")})
            .Build();
        return info;
    }
};

void DirectCall(benchmark::State& state) {
    TCounter counter;
    int64_t (TCounter::*add)(int64_t, int64_t) = &TCounter::Add;
    benchmark::DoNotOptimize(add);
    for (auto _ : state) benchmark::DoNotOptimize((counter.*add)(1, 2));
}
BENCHMARK(DirectCall);

void GenericInvoke(benchmark::State& state) {
    TCounter counter;
    const TMethodInfo& add = *TCounter::ClassInfo().MethodByName("Add");
    TValue args[] = {TValue::Int(1), TValue::Int(2)};
    for (auto _ : state) benchmark::DoNotOptimize(add.Invoke(&counter, args));
}
BENCHMARK(GenericInvoke);

// Arguments built per call, as the binding does from script values.
void GenericInvokeFreshArguments(benchmark::State& state) {
    TCounter counter;
    const TMethodInfo& mix = *TCounter::ClassInfo().MethodByName("Mix");
    for (auto _ : state) {
        TValue args[] = {TValue::Int(3), TValue::Float(1.5), TValue::Bool(true)};
        benchmark::DoNotOptimize(mix.Invoke(&counter, args));
    }
}
BENCHMARK(GenericInvokeFreshArguments);

void DirectCallText(benchmark::State& state) {
    TCounter counter;
    std::string text = "a text longer than the small-string buffer";
    for (auto _ : state) {
        counter.Store(text);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(DirectCallText);

void GenericInvokeText(benchmark::State& state) {
    TCounter counter;
    const TMethodInfo& store = *TCounter::ClassInfo().MethodByName("Store");
    TValue args[] = {TValue::Text("a text longer than the small-string buffer")};
    for (auto _ : state) benchmark::DoNotOptimize(store.Invoke(&counter, args));
}
BENCHMARK(GenericInvokeText);

} // namespace

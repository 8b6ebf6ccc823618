// Throughput of the formula function library through its dispatch: Transform with its plan
// cache, a few text functions and the date readers.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "formula/TFuncFormulas.h"
#include "Value.h"

namespace {

using nv::TFuncFormulas;
using nv::Value;

void RunCall(benchmark::State& state, const char* name, std::vector<Value> args) {
  auto lib = TFuncFormulas::New()->Create();
  Value name_value(name);
  Value list = Value::FromArray(std::move(args));
  for (auto _ : state) {
    Value result = lib->Ejecutar(name_value, list);
    benchmark::DoNotOptimize(result);
  }
  state.SetItemsProcessed(state.iterations());
  lib->End();
}

void BM_TransformEuropeanThousands(benchmark::State& state) {
  RunCall(state, "TRANSFORM", {Value(1234567.891), Value("@E 9,999,999.99")});
}
void BM_TransformIntegerMask(benchmark::State& state) { RunCall(state, "TRANSFORM", {Value(42), Value("9999")}); }
void BM_TransformDateMask(benchmark::State& state) {
  RunCall(state, "TRANSFORM", {Value("20230115"), Value("99/99/9999")});
}
// Many distinct masks in turn: every call still hits a cached plan.
void BM_TransformRotatingMasks(benchmark::State& state) {
  auto lib = TFuncFormulas::New()->Create();
  std::vector<Value> masks;
  for (int i = 1; i <= 16; ++i) masks.push_back(Value("@E " + std::string(static_cast<size_t>(i), '9') + ".99"));
  Value name("TRANSFORM");
  size_t i = 0;
  for (auto _ : state) {
    Value args = Value::FromArray({Value(1234.5), masks[i++ % masks.size()]});
    benchmark::DoNotOptimize(lib->Ejecutar(name, args));
  }
  state.SetItemsProcessed(state.iterations());
}
void BM_LeftUtf8(benchmark::State& state) { RunCall(state, "LEFT", {Value("ñandú del campo"), Value(7)}); }
void BM_SubStr(benchmark::State& state) { RunCall(state, "SUBSTR", {Value("Dulces Orbanel S.L."), Value(3), Value(8)}); }
void BM_StrTran(benchmark::State& state) {
  RunCall(state, "STRTRAN", {Value("a-b-c-d-e-f-g-h"), Value("-"), Value(" / ")});
}
void BM_Upper(benchmark::State& state) { RunCall(state, "UPPER", {Value("Dulces Orbanel")}); }
void BM_StrPos(benchmark::State& state) { RunCall(state, "STRPOS", {Value("a-b-c-d-e"), Value("-"), Value(3)}); }
void BM_Str(benchmark::State& state) { RunCall(state, "STR", {Value(3.14159), Value(8), Value(2)}); }
void BM_CToD(benchmark::State& state) { RunCall(state, "CTOD", {Value("15/01/2023")}); }
void BM_DateDifference(benchmark::State& state) {
  Value a("15/01/2023"), b("20230110");
  for (auto _ : state) benchmark::DoNotOptimize(TFuncFormulas::DateDifference(a, b));
  state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(BM_TransformEuropeanThousands);
BENCHMARK(BM_TransformIntegerMask);
BENCHMARK(BM_TransformDateMask);
BENCHMARK(BM_TransformRotatingMasks);
BENCHMARK(BM_LeftUtf8);
BENCHMARK(BM_SubStr);
BENCHMARK(BM_StrTran);
BENCHMARK(BM_Upper);
BENCHMARK(BM_StrPos);
BENCHMARK(BM_Str);
BENCHMARK(BM_CToD);
BENCHMARK(BM_DateDifference);

BENCHMARK_MAIN();

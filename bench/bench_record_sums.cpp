// Sum() over the runtime detail records at a record position: the kept running totals of a field
// against the walk over every record up to the position, which an argument that names no plain
// field still takes ("(DETALLE.X)" is the same sum, evaluated by walking). The argument is the
// record position; each iteration moves to the next record, as a report printing a running total
// on every record does, so the kept totals are measured with their filling spread over the run.

#include <benchmark/benchmark.h>

#include <string>

#include "Value.h"
#include "formula/TEvaluadorFormulas.h"

using namespace nv;

namespace {

Value Records(int64_t count) {
  Value records = Value::NewArray();
  for (int64_t i = 0; i < count; ++i) {
    Value record = Value::NewHash();
    record.Set("DETALLE.ARTICULO", "Articulo " + std::to_string(i));
    record.Set("DETALLE.X", Value(static_cast<double>(i % 100) + 0.25));
    records.Append(record);
  }
  return records;
}

void RunSum(benchmark::State& state, const char* formula) {
  const int64_t count = state.range(0);
  auto ev = TEvaluadorFormulas::New();
  ev->Create();
  Value options = Value::NewHash();
  options.Set("aRegistrosDetalleRuntime", Records(count));
  ev->SetOpciones(options);
  const Value vars = Value::NewHash();
  const Value text(formula);
  int64_t position = count / 2;
  for (auto _ : state) {
    Value estado = Value::NewHash();
    estado.Set("nIndiceRegistro", Value::Int(position));
    ev->SetEstadoEjecucion(estado);
    benchmark::DoNotOptimize(ev->Evaluar(text, vars));
    if (++position == count) position = count / 2;
  }
  state.SetItemsProcessed(state.iterations());
  ev->End();
}

void BM_SumKeptTotals(benchmark::State& state) { RunSum(state, "Sum(DETALLE.X)"); }
void BM_SumWalkingRecords(benchmark::State& state) { RunSum(state, "Sum((DETALLE.X))"); }

}  // namespace

BENCHMARK(BM_SumKeptTotals)->Arg(1000)->Arg(100000);
BENCHMARK(BM_SumWalkingRecords)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

// Time of one chart over the detail records of a run: a bar chart of L.NOMBRE by L.CODIGO * 2,
// composed once per iteration outside any label run, so every iteration builds the data afresh.
//   BM_ChartPuntos/N: N detail records; compare N = 25,000 and N = 100,000 to read the growth.
// Counter: records_per_s (records charted per second of processor time).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "Accessors.h"
#include "Value.h"
#include "data/TConectorDatosReg.h"
#include "formula/TEvaluadorFormulas.h"
#include "objects/TChart.h"
#include "run/TContextoEjecucion.h"

using namespace nv;

namespace {

Value Line(const char* name, const char* type) {
  Value definition = Value::NewHash();
  definition.Set("grupo", "L");
  definition.Set("nombre", name);
  definition.Set("tipo", type);
  return definition;
}

void BM_ChartPuntos(benchmark::State& state) {
  const int64_t count = state.range(0);
  Value rows = Value::NewArray();
  rows.AsArray().reserve(static_cast<size_t>(count));
  for (int64_t i = 0; i < count; ++i) {
    rows.Append(Value::FromArray({Value("Cliente " + std::to_string(i % 1000)), Value::Int(i)}));
  }
  auto connector = TConectorDatosReg::New();
  connector->Create();
  connector->SendDataLine(Value::FromArray({Line("NOMBRE", "texto"), Line("CODIGO", "numero")}), rows);
  auto evaluator = TEvaluadorFormulas::New();
  evaluator->Create();
  auto context = TContextoEjecucion::New(Value(connector), Value(evaluator), Value::NewHash());
  context->Create();
  auto chart = TChart::New();
  Value definition = Value::NewHash();
  definition.Set("cCategoryFormula", "L.NOMBRE");
  definition.Set("cValueFormula", "L.CODIGO * 2");
  chart->cChartKind = "bar";
  chart->hChartSpec = definition;

  for (auto _ : state) {
    Value render = chart->GenerarRenderizable(Value(context));
    if (render["puntos"].Len() != static_cast<size_t>(count)) state.SkipWithError("wrong point count");
    benchmark::DoNotOptimize(render);
  }
  state.counters["records_per_s"] =
      benchmark::Counter(static_cast<double>(count), benchmark::Counter::kIsIterationInvariantRate);
  chart->End();
  context->End();
  evaluator->End();
  connector->End();
}

}  // namespace

BENCHMARK(BM_ChartPuntos)->Arg(25000)->Arg(100000)->Unit(benchmark::kMillisecond)->MinTime(1.0);

BENCHMARK_MAIN();

// Time of one chart over the detail records of a run: a bar chart of L.NOMBRE by L.CODIGO * 2,
// composed once per iteration outside any label run, so every iteration builds the data afresh.
//   BM_ChartPuntos/N: N detail records; compare N = 25,000 and N = 100,000 to read the growth.
//   BM_ChartOnEveryLabel/N: a label run of N records on sheets of 3 x 8 labels, each label holding
//   a chart over the same N records; the chart data is built once per run and copied to each label.
// Counter: records_per_s (records charted per second of processor time), labels_per_s.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "Accessors.h"
#include "Value.h"
#include "data/TConectorDatosReg.h"
#include "formula/TEvaluadorFormulas.h"
#include "document/TPlantilla.h"
#include "objects/TChart.h"
#include "output/TDocumentoRenderizable.h"
#include "run/TMotorComposicion.h"
#include "run/TMotorEjecucion.h"
#include "run/TMotorPaginacion.h"
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

Value Hash2(std::initializer_list<std::pair<const char*, Value>> entries) {
  Value h = Value::NewHash();
  for (const auto& [key, value] : entries) h.Set(key, value);
  return h;
}

std::shared_ptr<TPlantilla> LabelTemplateWithChart() {
  Value chart = Hash2({{"cType", Value("TChart")}, {"cId", Value("chart")}, {"nWidth", Value::Int(30)},
                       {"nHeight", Value::Int(20)}, {"cChartKind", Value("bar")}});
  chart.Set("hChartSpec", Hash2({{"cCategoryFormula", Value("L.NOMBRE")}, {"cValueFormula", Value("L.CODIGO * 2")}}));
  Value tmpl = Hash2({{"cType", Value("TDocument")}, {"cDocumentKind", Value("label")},
                      {"nPaperWidth", Value::Int(210)}, {"nPaperHeight", Value::Int(297)}});
  tmpl.Set("hLabelLayout", Hash2({{"nLabelWidth", Value::Int(70)}, {"nLabelHeight", Value::Int(37)},
                                  {"nColumns", Value::Int(3)}, {"nRows", Value::Int(8)}}));
  tmpl.Set("aObjects", Value::FromArray({chart}));
  auto plantilla = TPlantilla::New();
  plantilla->SetData(tmpl);
  plantilla->Create();
  return plantilla;
}

void BM_ChartOnEveryLabel(benchmark::State& state) {
  const int64_t count = state.range(0);
  Value rows = Value::NewArray();
  for (int64_t i = 0; i < count; ++i) rows.Append(Value::FromArray({Value("N" + std::to_string(i)), Value::Int(i)}));
  auto connector = TConectorDatosReg::New();
  connector->Create();
  connector->SendDataLine(Value::FromArray({Line("NOMBRE", "texto"), Line("CODIGO", "numero")}), rows);
  auto evaluator = TEvaluadorFormulas::New();
  evaluator->Create();
  auto plantilla = LabelTemplateWithChart();

  for (auto _ : state) {
    auto composicion = TMotorComposicion::New();
    auto paginacion = TMotorPaginacion::New();
    composicion->Create();
    paginacion->Create();
    auto context = TContextoEjecucion::New(Value(connector), Value(evaluator), Value::NewHash());
    context->Create();
    auto engine = TMotorEjecucion::New(Value(plantilla), Value(connector), Value(composicion), Value(paginacion),
                                       Value(context));
    engine->Create();
    Value document = engine->Ejecutar();
    if (!document.As<TDocumentoRenderizable>()) state.SkipWithError("no document");
    benchmark::DoNotOptimize(document);
    engine->End();
    context->End();
    paginacion->End();
    composicion->End();
  }
  state.counters["labels_per_s"] =
      benchmark::Counter(static_cast<double>(count), benchmark::Counter::kIsIterationInvariantRate);
  plantilla->End();
  evaluator->End();
  connector->End();
}

}  // namespace

BENCHMARK(BM_ChartOnEveryLabel)->Arg(480)->Arg(1920)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChartPuntos)->Arg(25000)->Arg(100000)->Unit(benchmark::kMillisecond)->MinTime(1.0);

BENCHMARK_MAIN();

// Throughput of table line rendering as the record loop drives it: one detail line of 4 text
// cells per record, each line ruled on top and zebra-striped, appended to one page's result list.
// The adjacent-border test must stay linear: 4x the lines may cost at most 5x the time.
#include <benchmark/benchmark.h>

#include "Accessors.h"
#include "Json.h"
#include "data/TConectorDatosReg.h"
#include "formula/TEvaluadorFormulas.h"
#include "objects/table/TTable.h"
#include "run/TContextoEjecucion.h"

#include "RenderFixture.h"

using namespace nv;

namespace {

using Fixture = nv::bench::RenderFixture;

constexpr const char* kTable = R"({"cId": "tb", "nLeft": 10, "nTop": 20, "nWidth": 180, "hSections": {
    "detail": {"aLines": [{"nHeight": 6,
      "hBorder": {"lTop": true, "lBottom": true, "nWidth": 0.2},
      "hZebraPattern": {"lEnabled": true, "cColor1": "#ffffff", "cColor2": "#eeeeee"},
      "aCells": [
        {"nWidth": 45, "hContent": {"cType": "TText", "hObject": {"cText": "DATOS.CLIENTE"}}},
        {"nWidth": 45, "hContent": {"cType": "TText", "hObject": {"cText": "DATOS.CLIENTE"}}},
        {"nWidth": 45, "hContent": {"cType": "TText", "hObject": {"cText": "DATOS.CLIENTE"}}},
        {"nWidth": 45, "hContent": {"cType": "TText", "hObject": {"cText": "DATOS.CLIENTE"}}}]}]}}})";

void BM_TableRenderRuledZebraLines(benchmark::State& state) {
  Fixture fixture;
  auto table = TTable::New();
  table->Load(DecodeJsonObject(kTable));
  table->Create();
  const Value ctx(fixture.context);
  Value entry = Value::NewHash();
  entry.Set("index", Value::Int(0));
  entry.Set("line", HGet(HGet(table->hSections, "detail"), "aLines").Item(1));
  const Value entries = Value::FromArray({entry});
  const int64_t lines = state.range(0);
  for (auto _ : state) {
    Value result = Value::NewArray();
    Value y = Value::Int(20);
    for (int64_t record = 0; record < lines; ++record) {
      y = table->RenderSectionLines(result, "detail", entries, y, Value(1.01), Value(), ctx, Value::Int(record));
    }
    benchmark::DoNotOptimize(result);
  }
  state.SetItemsProcessed(state.iterations() * lines);
  state.SetLabel("lines");
  table->End();
}
BENCHMARK(BM_TableRenderRuledZebraLines)->Arg(12500)->Arg(50000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

// Throughput of loading templates and of the per-object layer queries an execution makes.
#include <benchmark/benchmark.h>

#include <string>

#include "document/TDocument.h"
#include "document/TPlantilla.h"
#include "Value.h"

using namespace nv;

namespace {

Value TemplateWith(int objects, int layers) {
  Value tmpl = Value::NewHash();
  tmpl.Set("cType", "TDocument");
  tmpl.Set("nPaperWidth", 210);
  tmpl.Set("nPaperHeight", 297);
  Value layerList = Value::NewArray();
  for (int i = 0; i < layers; ++i) {
    Value layer = Value::NewHash();
    layer.Set("nId", i);
    layer.Set("cCondition", " not empty(DATOS.X" + std::to_string(i) + ") ");
    layerList.Append(layer);
  }
  tmpl.Set("hLayers", layerList);
  Value list = Value::NewArray();
  for (int i = 0; i < objects; ++i) {
    Value object = Value::NewHash();
    object.Set("cType", i % 2 ? "TText" : "TRectangle");
    object.Set("cId", "obj" + std::to_string(i));
    object.Set("nLeft", i % 50);
    object.Set("nTop", i / 50);
    object.Set("nWidth", 10);
    object.Set("nHeight", 5);
    object.Set("nLayerId", i % (layers ? layers : 1));
    object.Set("cText", "DATOS.CLIENTE");
    list.Append(object);
  }
  tmpl.Set("aObjects", list);
  return tmpl;
}

void BM_TemplateLoad(benchmark::State& state) {
  const Value tmpl = TemplateWith(static_cast<int>(state.range(0)), 4);
  for (auto _ : state) {
    auto plantilla = TPlantilla::New();
    plantilla->SetData(tmpl)->Create();
    benchmark::DoNotOptimize(plantilla->GetObjetos());
    plantilla->End();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_TemplateLoad)->Arg(10)->Arg(1000);

void BM_LayerConditionQuery(benchmark::State& state) {
  auto doc = TDocument::New();
  doc->Load(TemplateWith(0, static_cast<int>(state.range(0))));
  int64_t id = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(doc->GetLayerCondition(Value::Int(id)));
    id = (id + 1) % state.range(0);
  }
  doc->End();
}
BENCHMARK(BM_LayerConditionQuery)->Arg(2)->Arg(16);

// The same query when a host left the layers in a form that is not normalised, so each query
// rebuilds them.
void BM_LayerConditionQueryRebuilt(benchmark::State& state) {
  auto doc = TDocument::New();
  doc->hLayers = TemplateWith(0, static_cast<int>(state.range(0)))["hLayers"];
  int64_t id = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(doc->GetLayerCondition(Value::Int(id)));
    id = (id + 1) % state.range(0);
  }
  doc->End();
}
BENCHMARK(BM_LayerConditionQueryRebuilt)->Arg(2)->Arg(16);

}  // namespace

BENCHMARK_MAIN();

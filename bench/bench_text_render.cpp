// Throughput of text rendering: a free-standing text (every style key evaluated per render)
// against a table cell's content text (one copy of the style prototype per render), and the
// shapes. Rendered against a real execution context with one data variable.
#include <benchmark/benchmark.h>

#include "Accessors.h"
#include "data/TConectorDatosReg.h"
#include "run/TContextoEjecucion.h"
#include "formula/TEvaluadorFormulas.h"
#include "objects/TLine.h"
#include "objects/TRectangle.h"
#include "objects/TText.h"

#include "RenderFixture.h"

using namespace nv;

namespace {

using Fixture = nv::bench::RenderFixture;

Value TextData() {
  Value data = Value::NewHash();
  data.Set("cId", "txt");
  data.Set("cText", "DATOS.CLIENTE");
  data.Set("nLeft", 2);
  data.Set("nTop", 3);
  data.Set("nWidth", 40);
  data.Set("nHeight", 8);
  return data;
}

void BM_TextRenderFull(benchmark::State& state) {
  Fixture fixture;
  auto text = TText::New();
  text->Load(TextData());
  Value ctx(fixture.context);
  for (auto _ : state) benchmark::DoNotOptimize(text->GenerarRenderizable(ctx));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TextRenderFull);

void BM_TextRenderTableCellPrototype(benchmark::State& state) {
  Fixture fixture;
  auto table = TRectangle::New();
  table->cType = Value("TTable");
  auto cell = TText::New(Value(table));
  cell->Load(TextData());
  Value ctx(fixture.context);
  int64_t row = 0;
  for (auto _ : state) {
    cell->nTop = Value::Int(row++ % 50);
    benchmark::DoNotOptimize(cell->GenerarRenderizable(ctx));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TextRenderTableCellPrototype);

void BM_RectangleRender(benchmark::State& state) {
  Fixture fixture;
  auto rectangle = TRectangle::New();
  Value ctx(fixture.context);
  for (auto _ : state) benchmark::DoNotOptimize(rectangle->GenerarRenderizable(ctx));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RectangleRender);

void BM_TextLoadSave(benchmark::State& state) {
  Value data = TextData();
  for (auto _ : state) {
    auto text = TText::New();
    text->Load(data);
    benchmark::DoNotOptimize(text->Save());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TextLoadSave);

}  // namespace

BENCHMARK_MAIN();

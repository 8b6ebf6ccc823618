// Throughput and memory of pagination and page spooling.
//   BM_AddPaginasSpooling/N: N pages of 50 render objects added to a document that spools
//     automatically; reports the resident memory the pages leave behind, which stays flat as N grows.
//   BM_AddPaginasInMemory/N: the same without spooling, for contrast.
//   BM_Paginar: pagination of 100,000 text render objects (1 in 100 overflows its box and splits);
//     run last because its input raises the peak resident size.
// The memory counters: peak_rss_MB (getrusage ru_maxrss), rss_growth_MB (resident size after the
// pages were added minus before), heap_growth_MB (live heap allocations after minus before).
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "Accessors.h"
#include "output/TDocumentoRenderizable.h"
#include "run/TMotorPaginacion.h"
#include "Value.h"

using namespace nv;

namespace {

double PeakRssMb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB on Linux
}

double CurrentRssMb() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Bytes of heap in live allocations: unlike the resident size it falls when memory is freed,
// so it shows what the document itself holds.
double LiveHeapMb() {
  struct mallinfo2 info = mallinfo2();
  return static_cast<double>(info.uordblks + info.hblkhd) / (1024.0 * 1024.0);
}

Value TextObject(int n, bool overflow) {
  Value o = Value::NewHash();
  o.Set("id", "txt" + std::to_string(n));
  o.Set("tipo", "texto");
  o.Set("x", Value(10.0));
  o.Set("y", Value(5.0 + (n % 50) * 5.0));
  o.Set("ancho", Value(60.0));
  o.Set("alto", Value(5.0));
  o.Set("rotacion", Value::Int(0));
  o.Set("opacidad", Value::Int(1));
  o.Set("zIndex", Value::Int(n));
  o.Set("texto", overflow ? "Primera linea\nSegunda linea\nTercera linea" : "Detalle " + std::to_string(n) + " de la factura");
  o.Set("tamano", Value::Int(10));
  o.Set("fuente", "Helvetica");
  o.Set("color", "#000000");
  o.Set("alineacion", "left");
  o.Set("permiteSaltoPagina", true);
  return o;
}

Value Page(int first) {
  Value objects = Value::NewArray();
  objects.AsArray().reserve(50);
  for (int i = 0; i < 50; ++i) objects.Append(TextObject(first + i, false));
  return objects;
}


void BM_AddPaginasSpooling(benchmark::State& state) {
  const int pages = static_cast<int>(state.range(0));
  for (auto _ : state) {
    double before = CurrentRssMb();
    double heapBefore = LiveHeapMb();
    auto doc = TDocumentoRenderizable::New(Value(210.0), Value(297.0));
    doc->Create()->SetAutoPageSpooling(Value::Int(5000));
    for (int p = 0; p < pages; ++p) doc->AddPagina(Page(p * 50));
    state.PauseTiming();
    state.counters["rss_growth_MB"] = CurrentRssMb() - before;
    state.counters["heap_growth_MB"] = LiveHeapMb() - heapBefore;
    state.counters["peak_rss_MB"] = PeakRssMb();
    state.counters["spool_errors"] = doc->cSpoolError.empty() ? 0 : 1;
    state.counters["objects"] = static_cast<double>(doc->nTotalObjects);
    doc->End();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * pages);
}
BENCHMARK(BM_AddPaginasSpooling)->Arg(2500)->Arg(5000)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_AddPaginasInMemory(benchmark::State& state) {
  const int pages = static_cast<int>(state.range(0));
  for (auto _ : state) {
    double before = CurrentRssMb();
    double heapBefore = LiveHeapMb();
    auto doc = TDocumentoRenderizable::New(Value(210.0), Value(297.0));
    doc->Create();
    for (int p = 0; p < pages; ++p) doc->AddPagina(Page(p * 50));
    state.PauseTiming();
    state.counters["rss_growth_MB"] = CurrentRssMb() - before;
    state.counters["heap_growth_MB"] = LiveHeapMb() - heapBefore;
    state.counters["peak_rss_MB"] = PeakRssMb();
    doc->End();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * pages);
}
BENCHMARK(BM_AddPaginasInMemory)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_Paginar(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  Value objects = Value::NewArray();
  for (int i = 0; i < count; ++i) objects.Append(TextObject(i, i % 100 == 0));
  Value page = Value::NewHash();
  page.Set("ancho", Value(210.0));
  page.Set("alto", Value(297.0));
  page.Set("modoAlto", "fixed");
  auto engine = TMotorPaginacion::New(Value::NewHash());
  engine->Create();
  for (auto _ : state) {
    auto doc = engine->PaginarDocumento(page, objects);
    benchmark::DoNotOptimize(doc->nTotalObjects);
    state.counters["pages"] = static_cast<double>(doc->aPaginas.Len());
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_Paginar)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

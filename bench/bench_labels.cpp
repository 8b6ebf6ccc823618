// Throughput and memory of label sheets: one label per detail record on a 3 x 8 sheet of 70 x 37 mm
// labels, three text objects per label, each showing a field of the record.
//   BM_EtiquetasEnMemoria/N: one label run over N records; every sheet stays in memory.
//   BM_EtiquetasSpooling/N: the same labels printed in runs of 2,400 records (100 full sheets)
//     whose sheets are handed to one document that spools automatically once it holds 3,000
//     render objects. The label run creates its own document and offers no switch for spooling, so
//     a host that wants flat memory must print in runs like this; the record data of one run is
//     registered only when that run starts, as a host streaming its records would.
// Counters: labels_per_s (labels over the processor time of the timed part: the label runs and
// handing their sheets to the spooling document; registering the records is not timed), with the
// spooling case split into label_runs_cpu_s and spooling_cpu_s; readback_cpu_s (every spooled page
// read back once afterwards, as a printer would; not part of the rate); spooled_MB (bytes of the
// serialized pages); peak_rss_MB (getrusage
// ru_maxrss, the process peak: run one case per process, e.g. --benchmark_filter=Spooling/100000,
// for a clean figure); peak_heap_MB (highest live heap seen after a run, above the heap before the
// case); heap_growth_MB (live heap the finished document holds, above the heap before the case).
// spooling_cpu_s is mostly serializing the pages: they are appended to a few large spool files in
// TMPDIR (else /tmp), so the file system's cost of creating files hardly shows.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "Accessors.h"
#include "data/TConectorDatosReg.h"
#include "run/TContextoEjecucion.h"
#include "output/TDocumentoRenderizable.h"
#include "formula/TEvaluadorFormulas.h"
#include "run/TMotorComposicion.h"
#include "run/TMotorEjecucion.h"
#include "run/TMotorPaginacion.h"
#include "document/TPlantilla.h"
#include "Value.h"

using namespace nv;

namespace {

constexpr int64_t kLabelsPerSheet = 24;
// Records per label run in the spooling case: whole sheets, so every run starts on a fresh sheet.
constexpr int64_t kRecordsPerRun = 100 * kLabelsPerSheet;
// Render objects the spooling document holds in memory before it spools (about 40 sheets).
constexpr int64_t kAutoSpoolObjects = 3000;

// Processor time of this process in seconds: the machine is shared, so wall time says little.
double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double PeakRssMb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB on Linux
}

// Bytes of heap in live allocations: unlike the resident size it falls when memory is freed, so it
// shows what the run holds at a given moment.
double LiveHeapMb() {
  struct mallinfo2 info = mallinfo2();
  return static_cast<double>(info.uordblks + info.hblkhd) / (1024.0 * 1024.0);
}

Value Field(const char* name, const char* type) {
  Value definition = Value::NewHash();
  definition.Set("grupo", "LINEAS");
  definition.Set("nombre", name);
  definition.Set("tipo", type);
  return definition;
}

// A connector holding the detail records first .. first + count - 1.
std::shared_ptr<TConectorDatosReg> Records(int64_t first, int64_t count) {
  Value rows = Value::NewArray();
  rows.AsArray().reserve(static_cast<size_t>(count));
  for (int64_t i = first; i < first + count; ++i) {
    rows.Append(Value::FromArray({Value("Cliente " + std::to_string(i)),
                                  Value("Calle Mayor " + std::to_string(i % 500) + ", Orbanel"),
                                  Value::Int(100000 + i)}));
  }
  auto connector = TConectorDatosReg::New();
  connector->Create();
  connector->SendDataLine(
      Value::FromArray({Field("NOMBRE", "texto"), Field("DIRECCION", "texto"), Field("CODIGO", "numero")}), rows);
  return connector;
}

Value LabelText(const char* id, double top, const char* formula) {
  Value text = Value::NewHash();
  text.Set("cType", "TText");
  text.Set("cId", id);
  text.Set("cName", id);
  text.Set("nLeft", 3);
  text.Set("nTop", Value(top));
  text.Set("nWidth", 64);
  text.Set("nHeight", 8);
  text.Set("cText", formula);
  return text;
}

std::shared_ptr<TPlantilla> LabelTemplate() {
  Value layout = Value::NewHash();
  layout.Set("nLabelWidth", 70);
  layout.Set("nLabelHeight", 37);
  layout.Set("nColumns", 3);
  layout.Set("nRows", 8);
  layout.Set("nMarginLeft", 0);
  layout.Set("nMarginTop", 0.5);
  layout.Set("cFlow", "row");
  Value tmpl = Value::NewHash();
  tmpl.Set("cType", "TDocument");
  tmpl.Set("cTemplateName", "Etiquetas de envio");
  tmpl.Set("cDocumentKind", "label");
  tmpl.Set("nPaperWidth", 210);
  tmpl.Set("nPaperHeight", 297);
  tmpl.Set("hLabelLayout", layout);
  tmpl.Set("aObjects", Value::FromArray({LabelText("txt_nombre", 3, "LINEAS.NOMBRE"),
                                         LabelText("txt_direccion", 13, "LINEAS.DIRECCION"),
                                         LabelText("txt_codigo", 23, "\"CP \" + LTrim(Str(LINEAS.CODIGO))")}));
  auto plantilla = TPlantilla::New();
  plantilla->SetData(tmpl);
  plantilla->Create();
  return plantilla;
}

// The collaborators one label run needs besides its records.
struct LabelRig {
  std::shared_ptr<TPlantilla> plantilla = LabelTemplate();
  std::shared_ptr<TEvaluadorFormulas> evaluator = TEvaluadorFormulas::New();
  std::shared_ptr<TMotorComposicion> composicion = TMotorComposicion::New();
  std::shared_ptr<TMotorPaginacion> paginacion = TMotorPaginacion::New();

  LabelRig() {
    evaluator->Create();
    composicion->Create();
    paginacion->Create();
  }
  ~LabelRig() {
    paginacion->End();
    composicion->End();
    evaluator->End();
    plantilla->End();
  }

  // Prints one label per record of the connector; returns the rendered document or null.
  std::shared_ptr<TDocumentoRenderizable> Run(const std::shared_ptr<TConectorDatosReg>& connector) {
    Value options = Value::NewHash();
    options.Set("hUserVars", plantilla->GetUserVars());
    options.Set("hAcumVars", plantilla->GetAcumVars());
    auto context = TContextoEjecucion::New(Value(connector), Value(evaluator), options);
    context->Create();
    auto engine = TMotorEjecucion::New(Value(plantilla), Value(connector), Value(composicion), Value(paginacion),
                                       Value(context));
    engine->Create();
    Value document = engine->Ejecutar();
    engine->End();
    context->End();
    return document.AsShared<TDocumentoRenderizable>();
  }
};

void BM_EtiquetasEnMemoria(benchmark::State& state) {
  const int64_t labels = state.range(0);
  for (auto _ : state) {
    state.PauseTiming();
    const double heapBefore = LiveHeapMb();
    LabelRig rig;
    auto connector = Records(0, labels);
    state.ResumeTiming();

    auto document = rig.Run(connector);

    state.PauseTiming();
    const double heap = LiveHeapMb() - heapBefore;
    state.counters["heap_growth_MB"] = heap;
    state.counters["peak_heap_MB"] = heap;
    state.counters["peak_rss_MB"] = PeakRssMb();
    state.counters["pages"] = document ? static_cast<double>(document->aPaginas.Len()) : 0.0;
    state.counters["objects"] = document ? static_cast<double>(document->nTotalObjects) : 0.0;
    if (document) document->End();
    document.reset();
    connector->End();
    state.ResumeTiming();
  }
  state.counters["labels_per_s"] = benchmark::Counter(static_cast<double>(labels * state.iterations()),
                                                      benchmark::Counter::kIsRate);
  state.SetItemsProcessed(labels * state.iterations());
}

void BM_EtiquetasSpooling(benchmark::State& state) {
  const int64_t labels = state.range(0);
  for (auto _ : state) {
    state.PauseTiming();
    const double heapBefore = LiveHeapMb();
    double peakHeap = 0.0;
    double labelSeconds = 0.0;
    double spoolSeconds = 0.0;
    LabelRig rig;
    auto spooled = TDocumentoRenderizable::New(Value(210), Value(297));
    spooled->Create()->SetAutoPageSpooling(Value::Int(kAutoSpoolObjects));
    state.ResumeTiming();

    for (int64_t first = 0; first < labels; first += kRecordsPerRun) {
      state.PauseTiming();
      auto connector = Records(first, std::min(kRecordsPerRun, labels - first));
      state.ResumeTiming();

      const double start = CpuSeconds();
      auto document = rig.Run(connector);
      const double labelled = CpuSeconds();
      if (document) {
        const int64_t pages = ValueInt(document->TotalPaginas());
        for (int64_t p = 1; p <= pages; ++p) {
          spooled->AddPagina(HGet(document->GetPagina(Value::Int(p)), "objetos", Value::NewArray()));
        }
      }
      labelSeconds += labelled - start;
      spoolSeconds += CpuSeconds() - labelled;

      state.PauseTiming();
      peakHeap = std::max(peakHeap, LiveHeapMb() - heapBefore);
      if (document) document->End();
      connector->End();
      state.ResumeTiming();
    }

    state.PauseTiming();
    state.counters["heap_growth_MB"] = LiveHeapMb() - heapBefore;
    state.counters["peak_heap_MB"] = peakHeap;
    // What a printer pays afterwards: every spooled page read back once (not part of the rate).
    const double readStart = CpuSeconds();
    size_t readObjects = 0;
    const int64_t spooledPages = ValueInt(spooled->TotalPaginas());
    for (int64_t p = 1; p <= spooledPages; ++p) readObjects += HGet(spooled->GetPagina(Value::Int(p)), "objetos").Len();
    state.counters["readback_cpu_s"] = CpuSeconds() - readStart;
    state.counters["readback_objects"] = static_cast<double>(readObjects);
    double spooledBytes = 0.0;
    for (const Value& stub : spooled->aPaginas.AsArray()) spooledBytes += ValueDouble(HGet(stub, "__vbPageBytes"));
    state.counters["spooled_MB"] = spooledBytes / (1024.0 * 1024.0);
    state.counters["peak_rss_MB"] = PeakRssMb();
    state.counters["pages"] = static_cast<double>(spooled->aPaginas.Len());
    state.counters["objects"] = static_cast<double>(spooled->nTotalObjects);
    state.counters["spooling"] = spooled->lPageSpooling ? 1 : 0;
    state.counters["label_runs_cpu_s"] = labelSeconds;
    state.counters["spooling_cpu_s"] = spoolSeconds;
    state.counters["spool_errors"] = spooled->cSpoolError.empty() ? 0 : 1;
    spooled->End();
    state.ResumeTiming();
  }
  state.counters["labels_per_s"] = benchmark::Counter(static_cast<double>(labels * state.iterations()),
                                                      benchmark::Counter::kIsRate);
  state.SetItemsProcessed(labels * state.iterations());
}

// Spooling first, smallest first, so that the process peak of each case is not one an earlier,
// larger case left behind; the in-memory cases follow for contrast.
BENCHMARK(BM_EtiquetasSpooling)->Arg(25000)->Arg(50000)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EtiquetasEnMemoria)->Arg(25000)->Arg(50000)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

// Loading a runtime data file of 100,000 detail records of 10 fields and listing its records.
// Reports the time per load-and-list and the peak resident memory of the process.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <string>

#include "Runtime.h"
#include "data/TConectorDatos.h"
#include "data/TConectorDatosReg.h"

using namespace nv;

namespace {

constexpr int kRecords = 100000;
constexpr int kFields = 10;

std::string BuildDataFile() {
  std::string json = R"({"DataVar": {"DATOS": {"CLIENTE": "Dulces Orbanel", "FECHA": "2024-01-01"}},)";
  json += R"("DetalleVar": {"LINEAS": [)";
  for (int r = 0; r < kRecords; ++r) {
    if (r > 0) json += ',';
    json += '{';
    for (int f = 0; f < kFields; ++f) {
      if (f > 0) json += ',';
      json += "\"F";
      json += std::to_string(f);
      json += "\":";
      if (f % 3 == 0) {
        json += "{\"tipo\":\"numerico\",\"valor\":";
        json += std::to_string(r);
        json += ".25}";
      } else if (f % 3 == 1) {
        json += "\"texto ";
        json += std::to_string(r);
        json += '"';
      } else {
        json += std::to_string(r * 10 + f);
      }
    }
    json += '}';
  }
  json += "]}}";
  std::string path = CreateTempFile("vbk_bench_", ".json");
  WriteFile(path, json);
  return path;
}

double PeakResidentMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in kilobytes on Linux
}

void BM_LoadAndListDetailRecords(benchmark::State& state) {
  static const std::string path = BuildDataFile();
  size_t records = 0;
  for (auto _ : state) {
    auto connector = TConectorDatos::New(Value(path));
    connector->Create();
    Value list = connector->GetRegistrosDetalle();
    records = list.Len();
    benchmark::DoNotOptimize(list);
    connector->End();
  }
  state.counters["records"] = static_cast<double>(records);
  state.counters["records_per_s"] =
      benchmark::Counter(static_cast<double>(records) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["peak_rss_MB"] = PeakResidentMegabytes();
  if (state.thread_index() == 0 && records != static_cast<size_t>(kRecords)) state.SkipWithError("wrong record count");
}
BENCHMARK(BM_LoadAndListDetailRecords)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The registered connector filled by calls with the same volume, then its records listed twice
// (the second time from the cache).
void BM_RegisteredSendAndList(benchmark::State& state) {
  Value defs = Value::NewArray();
  for (int f = 0; f < kFields; ++f) {
    Value def = Value::NewHash();
    def.Set("grupo", Value("LINEAS"));
    std::string name = "F";
    name += std::to_string(f);
    def.Set("nombre", Value(name));
    def.Set("tipo", Value(f % 2 == 0 ? "N" : "C"));
    defs.Append(def);
  }
  Value rows = Value::NewArray();
  rows.AsArray().reserve(kRecords);
  for (int r = 0; r < kRecords; ++r) {
    Value row = Value::NewArray();
    for (int f = 0; f < kFields; ++f) row.Append(Value::Int(r * 10 + f));
    rows.Append(row);
  }
  for (auto _ : state) {
    auto connector = TConectorDatosReg::New();
    connector->SendDataLine(defs, rows);
    benchmark::DoNotOptimize(connector->GetRegistrosDetalle());
    benchmark::DoNotOptimize(connector->GetRegistrosDetalle());
    connector->End();
  }
  state.counters["peak_rss_MB"] = PeakResidentMegabytes();
}
BENCHMARK(BM_RegisteredSendAndList)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

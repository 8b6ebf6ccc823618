// A long report through the paginating host: 25,000 and 100,000 detail records in two group
// levels (region, then city), 4 cells per line, a subtotal per city and per region and a running
// total, page X of Y, pages spooled as they are made. Reports records per second and the peak
// resident memory of each size (the data included); the run is checked against totals summed
// here independently.
//
// Floors: at least 20,000 records per second; 100,000 records at most 5x the time of 25,000;
// peak memory at 100,000 at most 1.25x that at 25,000 and under 150 MB. The floors hold for the
// records read from a data file one at a time as the tables place them (`norvane render --data`);
// the same report from records a caller decoded and passes in memory is measured beside it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "Accessors.h"
#include "Json.h"
#include "Runtime.h"
#include "output/TDocumentoRenderizable.h"
#include "run/TPaginadorInforme.h"

using namespace nv;

namespace {

std::string Cell(int width, const std::string& formula) {
  return R"({"nWidth": )" + std::to_string(width) + R"(, "hContent": {"cType": "TText", "hObject": {"cText": ")" +
         formula + R"(", "nFontSize": 8}}})";
}

const std::string kMoney = "AllTrim(Transform(%s, '999999999.99'))";

std::string Money(const std::string& what) {
  std::string f = kMoney;
  return f.replace(f.find("%s"), 2, what);
}

Value Template() {
  const std::string table = R"({"cType": "TTable", "cId": "t", "nLeft": 10, "nTop": 20, "nWidth": 190, "nHeight": 250,
      "hGroup": {"aBreakExpressions": ["L.REGION", "L.CIUDAD"]},
      "hSections": {
        "header": {"aLines": [{"nHeight": 6, "aCells": [)" + Cell(40, "'Codigo'") + "," + Cell(90, "'Articulo'") + "," +
                              Cell(30, "'Cantidad'") + "," + Cell(30, "'Importe'") + R"(]}]},
        "groupHeader": {"aLines": [
          {"nHeight": 6, "cGroupExpression": "L.REGION", "aCells": [)" + Cell(190, "'Region ' + L.REGION") + R"(]},
          {"nHeight": 6, "cGroupExpression": "L.CIUDAD", "aCells": [)" + Cell(190, "'Ciudad ' + L.CIUDAD") + R"(]}]},
        "detail": {"aLines": [{"nHeight": 5, "aCells": [)" + Cell(40, "L.CODIGO") + "," + Cell(90, "L.ARTICULO") + "," +
                              Cell(30, "L.CANTIDAD") + "," + Cell(30, Money("L.IMPORTE")) + R"(]}]},
        "groupFooter": {"aLines": [
          {"nHeight": 6, "cGroupExpression": "L.CIUDAD", "aResetAcumuladores": ["Ciudad"],
           "aCells": [)" + Cell(160, "'Total ciudad'") + "," + Cell(30, Money("SUM.Ciudad")) + R"(]},
          {"nHeight": 6, "cGroupExpression": "L.REGION", "aResetAcumuladores": ["Region"],
           "aCells": [)" + Cell(160, "'Total region'") + "," + Cell(30, Money("SUM.Region")) + R"(]}]},
        "footer": {"aLines": [{"nHeight": 6, "aCells": [)" + Cell(160, "'Total'") + "," + Cell(30, Money("SUM.Total")) + R"(]}]}}})";
  const std::string page = R"J({"cType": "TText", "cId": "pagina", "nLeft": 130, "nTop": 280, "nWidth": 70, "nHeight": 6,
      "cText": "'Pagina ' + AllTrim(Str(Page())) + ' de ' + AllTrim(Str(TotalPages()))"})J";
  return DecodeJsonObject(R"({"nPaperWidth": 210, "nPaperHeight": 297,
      "hAcumVars": {"Ciudad": {"formula": "L.IMPORTE"}, "Region": {"formula": "L.IMPORTE"}, "Total": {"formula": "L.IMPORTE"}},
      "aObjects": [)" + table + "," + page + "]}");
}

/// The amount of record i in cents, kept exact for the check.
int64_t CentsOf(int64_t i) { return 100 + (i * 7919) % 50000; }

int64_t TotalCents(int64_t n) {
  int64_t total = 0;
  for (int64_t i = 0; i < n; ++i) total += CentsOf(i);
  return total;
}

/// n records in 4 regions of 25 cities each, written to a data file record by record as a caller's
/// export would, so that the bench holds none of them.
std::string WriteData(int64_t n) {
  const std::string path = CreateTempFile("norvane_bench_tables_", ".json");
  std::ofstream out(path, std::ios::binary);
  out << R"({"DetalleVar": {"L": [)";
  char line[256];
  for (int64_t i = 0; i < n; ++i) {
    const int64_t cents = CentsOf(i);
    std::snprintf(line, sizeof line,
                  R"(%s{"REGION": "R%lld", "CIUDAD": "C%lld", "CODIGO": "A%lld", "ARTICULO": "Articulo numero %lld", )"
                  R"("CANTIDAD": %lld, "IMPORTE": %lld.%02lld})",
                  i > 0 ? ",\n" : "\n", static_cast<long long>(i * 4 / n), static_cast<long long>(i * 100 / n),
                  static_cast<long long>(i + 1), static_cast<long long>(i + 1), static_cast<long long>(1 + i % 9),
                  static_cast<long long>(cents / 100), static_cast<long long>(cents % 100));
    out << line;
  }
  out << "\n]}}\n";
  return path;
}

/// The same records decoded, as a caller holding them in memory passes them.
Value Data(int64_t n) {
  Value lines = Value::NewArray();
  lines.AsArray().reserve(static_cast<size_t>(n));
  for (int64_t i = 0; i < n; ++i) {
    const int64_t cents = CentsOf(i);
    Value r = Value::NewHash();
    r.Set("REGION", Value("R" + std::to_string(i * 4 / n)));
    r.Set("CIUDAD", Value("C" + std::to_string(i * 100 / n)));
    r.Set("CODIGO", Value("A" + std::to_string(i + 1)));
    r.Set("ARTICULO", Value("Articulo numero " + std::to_string(i + 1)));
    r.Set("CANTIDAD", Value::Int(1 + i % 9));
    r.Set("IMPORTE", Value::Dbl(static_cast<double>(cents) / 100.0, 2));
    lines.Append(r);
  }
  Value groups = Value::NewHash();
  groups.Set("L", lines);
  Value data = Value::NewHash();
  data.Set("DetalleVar", groups);
  return data;
}

/// The peak resident set of the process in megabytes since the last ResetPeak.
double PeakMb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  }
  return 0;
}

void ResetPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
}

std::string Cents(int64_t cents) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld.%02lld", static_cast<long long>(cents / 100),
                static_cast<long long>(cents % 100));
  return text;
}

/// The grand total the run printed on its last page, and its page count; the document is ended.
std::string GrandTotal(TPaginadorInforme::Resultado& run, int64_t& pages) {
  pages = ValueInt(run.documento->TotalPaginas());
  // The running total on the last page is the grand total.
  std::string total;
  const Value last = HGet(run.documento->GetPagina(Value::Int(pages)), "objetos");
  for (const Value& o : last.AsArray()) {
    if (ValueString(HGet(o, "id")) == "t_footer_0_1_text") total = ValueString(HGet(o, "texto"));
  }
  run.documento->End();
  return total;
}

/// Runs the report as `run` gives it and checks its grand total; false (with the error set) when
/// it differs or there is no document.
template <typename Run>
bool Measure(benchmark::State& state, const Run& run, int64_t totalCents, int64_t& pages) {
  for (auto _ : state) {
    TPaginadorInforme::Resultado result = run();
    if (!result.documento) {
      state.SkipWithError("no document");
      return false;
    }
    const std::string total = GrandTotal(result, pages);
    if (total != Cents(totalCents)) {
      state.SkipWithError(("total " + total + " differs from " + Cents(totalCents)).c_str());
      return false;
    }
  }
  state.counters["records_per_s"] = benchmark::Counter(static_cast<double>(state.range(0) * state.iterations()),
                                                       benchmark::Counter::kIsRate);
  state.counters["pages"] = static_cast<double>(pages);
  return true;
}

/// The records read from a data file, as `norvane render --data` reads them.
void BM_TablesThroughHost(benchmark::State& state) {
  const int64_t n = state.range(0);
  ResetPeak();
  const Value tmpl = Template();
  const int64_t totalCents = TotalCents(n);
  const std::string data = WriteData(n);
  const double startMb = PeakMb();
  int64_t pages = 0;
  const bool measured =
      Measure(state, [&] { return TPaginadorInforme::RenderizarArchivo(tmpl, data, Value::NewHash()); }, totalCents, pages);
  DeleteFile(data);
  if (!measured) return;
  // The peak of the process, and what the run added to the memory it started from.
  state.counters["peak_rss_mb"] = PeakMb();
  state.counters["run_mb"] = PeakMb() - startMb;
}

/// The records decoded by the caller and passed in memory: they are the caller's and grow with the
/// records (data_rss_mb); run_mb is the peak the run added on top.
void BM_TablesThroughHostFromMemory(benchmark::State& state) {
  const int64_t n = state.range(0);
  ResetPeak();
  const Value tmpl = Template();
  const int64_t totalCents = TotalCents(n);
  const Value data = Data(n);
  const double dataMb = PeakMb();
  int64_t pages = 0;
  if (!Measure(state, [&] { return TPaginadorInforme::Renderizar(tmpl, data, Value::NewHash()); }, totalCents, pages)) {
    return;
  }
  state.counters["peak_rss_mb"] = PeakMb();
  state.counters["data_rss_mb"] = dataMb;
  state.counters["run_mb"] = PeakMb() - dataMb;
}
BENCHMARK(BM_TablesThroughHost)->Arg(25000)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TablesThroughHostFromMemory)->Arg(25000)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

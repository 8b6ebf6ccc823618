// Speed and memory of drawing rendered documents.
//   BM_ExportOneLabelPagesToPdf/N: N one-label pages (70 x 37 mm; four texts and an EAN-13) drawn
//     to PDF by the exporter, the bytes counted and dropped. Counter pages_per_s (processor time),
//     pdf_MB, peak_rss_MB (getrusage of this process: run one case per process for a clean figure).
//   BM_LabelSheetsEndToEndToPdf/N: `norvane render` of the labels example's template over N
//     generated records to a PDF file, run as a child process exactly as a user runs it (data file
//     in, PDF out; its pages spool while the run goes). Counters labels_per_s (wall time of the
//     child, on a machine that may be shared), labels_per_cpu_s (the child's user and system
//     time), child_peak_rss_MB (the child's ru_maxrss from wait4), pdf_MB. The run reads its
//     records from the data file one at a time, so the peak stays flat from 10,000 to 1,000,000.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <streambuf>
#include <string>
#include <vector>

#include "Accessors.h"
#include "Exporter.h"
#include "Json.h"
#include "Runtime.h"
#include "barcode/TBarcodeUtil.h"

using namespace nv;

namespace {

double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double PeakRssMb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// A stream that counts the bytes written to it and keeps none.
class CountingBuffer : public std::streambuf {
 public:
  int64_t bytes = 0;

 protected:
  std::streamsize xsputn(const char*, std::streamsize n) override {
    bytes += n;
    return n;
  }
  int overflow(int c) override {
    ++bytes;
    return c;
  }
};

class CountingTarget : public out::OutputTarget {
 public:
  std::ostream* Open(int64_t, std::string&) override { return &stream_; }
  bool Close(int64_t, std::string&) override { return true; }
  int64_t Bytes() const { return buffer_.bytes; }

 private:
  CountingBuffer buffer_;
  std::ostream stream_{&buffer_};
};

Value Text(const std::string& id, double y, const std::string& text, bool bold) {
  Value o = DecodeJsonObject(R"({"tipo":"texto","x":3,"ancho":64,"alto":4.5,"fuente":"Arial","tamano":9,
      "color":"#000000","colorFondo":"transparent","alineacion":"left","modoAjusteTexto":"wrap","zIndex":1})");
  o.Set("id", Value(id));
  o.Set("y", Value(y));
  o.Set("texto", Value(text));
  o.Set("negrita", Value(bold));
  return o;
}

Value LabelPage(int64_t n) {
  Value barcode = TBarcodeUtil::Create(Value("84000" + std::to_string(1000000 + n % 1000000)), Value("EAN13"));
  for (auto [key, value] : {std::pair<const char*, Value>{"id", Value("ean")}, {"x", Value(3)}, {"y", Value(22)},
                            {"ancho", Value(38)}, {"alto", Value(13)}, {"color", Value("#000000")},
                            {"colorFondo", Value("#ffffff")}, {"fuente", Value("Arial")}, {"tamano", Value(7)},
                            {"zIndex", Value(5)}}) {
    barcode.Set(key, value);
  }
  Value objects = Value::FromArray({Text("nombre", 2.5, "Ferreteria Lumen " + std::to_string(n), true),
                                    Text("direccion", 7, "Avenida del Puerto " + std::to_string(n % 97), false),
                                    Text("local", 11.5, "Local 2", false), Text("ciudad", 16, "08002 BARCELONA", false),
                                    barcode});
  Value page = Value::NewHash();
  page.Set("objetos", objects);
  return page;
}

void BM_ExportOneLabelPagesToPdf(benchmark::State& state) {
  const int64_t pages = state.range(0);
  double cpu = 0;
  int64_t bytes = 0;
  for (auto _ : state) {
    double start = CpuSeconds();
    CountingTarget target;
    out::ExportOptions options;
    options.creationTime = 0;
    out::Exporter exporter(options, target);
    exporter.Begin(70, 37, "fixed");
    for (int64_t i = 1; i <= pages; ++i) exporter.AddPage(LabelPage(i));
    out::ExportResult result = exporter.Finish();
    benchmark::DoNotOptimize(result);
    cpu += CpuSeconds() - start;
    bytes = target.Bytes();
  }
  state.counters["pages_per_s"] = static_cast<double>(pages) * static_cast<double>(state.iterations()) / cpu;
  state.counters["pdf_MB"] = static_cast<double>(bytes) / 1e6;
  state.counters["peak_rss_MB"] = PeakRssMb();
}
BENCHMARK(BM_ExportOneLabelPagesToPdf)->Arg(10000)->Unit(benchmark::kSecond)->Iterations(1);

// The labels example's data with its records repeated up to n, written record by record so that
// a million records never sit in this process's memory.
std::string WriteLabelData(int64_t n) {
  Value data = ReadJsonFile(std::string(NORVANE_EXAMPLES) + "/labels/data.json");
  Value records = HGet(HGet(data, "DetalleVar"), "DETALLE");
  std::vector<std::string> texts;
  for (const Value& record : records.AsArray()) texts.push_back(EncodeJson(record));
  HGet(data, "DetalleVar").Set("DETALLE", Value::NewArray());
  const std::string shell = EncodeJson(data);
  const size_t close = shell.find("\"DETALLE\":[]") + std::string("\"DETALLE\":[").size();
  std::string path = CreateTempFile("norvane_bench_data_", ".json");
  std::ofstream out(path, std::ios::binary);
  out << shell.substr(0, close);
  for (int64_t i = 0; i < n; ++i) out << (i > 0 ? "," : "") << texts[static_cast<size_t>(i) % texts.size()];
  out << shell.substr(close);
  return path;
}

void BM_LabelSheetsEndToEndToPdf(benchmark::State& state) {
  const int64_t labels = state.range(0);
  const std::string data = WriteLabelData(labels);
  const std::string pdf = CreateTempFile("norvane_bench_out_", ".pdf");
  const std::string templatePath = std::string(NORVANE_EXAMPLES) + "/labels/template.json";
  double wall = 0, peak = 0, cpu = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    pid_t child = fork();
    if (child == 0) {
      int null = open("/dev/null", O_WRONLY);
      dup2(null, STDERR_FILENO);
      execl(NORVANE_BINARY, "norvane", "render", templatePath.c_str(), "--data", data.c_str(), "--output",
            pdf.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    peak = std::max(peak, static_cast<double>(usage.ru_maxrss) / 1024.0);
    cpu += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("norvane render failed");
  }
  state.counters["labels_per_s"] = static_cast<double>(labels) * static_cast<double>(state.iterations()) / wall;
  state.counters["labels_per_cpu_s"] = static_cast<double>(labels) * static_cast<double>(state.iterations()) / cpu;
  state.counters["child_peak_rss_MB"] = peak;
  std::ifstream size(pdf, std::ios::binary | std::ios::ate);
  state.counters["pdf_MB"] = static_cast<double>(size.tellg()) / 1e6;
  DeleteFile(data);
  DeleteFile(pdf);
}
BENCHMARK(BM_LabelSheetsEndToEndToPdf)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();

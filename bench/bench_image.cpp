// Image objects rendered over and over from one file, as a logo on every label: renders per
// second, and the number of file reads, which the run's image cache keeps at one.
#include <benchmark/benchmark.h>

#include <string>

#include "Runtime.h"
#include "Value.h"
#include "data/TConectorDatosReg.h"
#include "formula/TEvaluadorFormulas.h"
#include "objects/TImage.h"
#include "objects/TImageUtil.h"
#include "run/TContextoEjecucion.h"

using namespace nv;

namespace {

int64_t gFileReads = 0;

FileReadStatus CountingReader(const std::string& path, size_t maxBytes, std::string& bytes) {
  ++gFileReads;
  return ReadBinaryFileLimited(path, maxBytes, bytes);
}

// A 32 KiB file with the PNG signature, removed when the benchmark ends.
struct LogoFile {
  std::string path = CreateTempFile("nv_bench_logo_", ".png");
  LogoFile() { WriteFile(path, std::string("\x89PNG\r\n\x1a\n", 8) + std::string(32 * 1024 - 8, 'p')); }
  ~LogoFile() { DeleteFile(path); }
};

// One run: 100,000 renders of one image object through one execution context.
void BM_ImageRenderOneFile(benchmark::State& state) {
  LogoFile logo;
  auto connector = TConectorDatosReg::New();
  connector->Create();
  auto evaluator = TEvaluadorFormulas::New();
  evaluator->Create();
  auto context = TContextoEjecucion::New(Value(connector), Value(evaluator), Value::NewHash());
  context->Create();
  const Value ctx(context);
  auto image = TVBImage::New();
  image->cSource = Value("\"" + logo.path + "\"");

  TImageUtil::FileReader previous = TImageUtil::SetFileReader(&CountingReader);
  gFileReads = 0;
  for (auto _ : state) benchmark::DoNotOptimize(image->GenerarRenderizable(ctx));
  state.counters["renders_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                       benchmark::Counter::kIsRate);
  state.counters["file_reads"] = static_cast<double>(gFileReads);
  TImageUtil::SetFileReader(previous);

  context->End();
  evaluator->End();
  connector->End();
}
BENCHMARK(BM_ImageRenderOneFile)->Iterations(100000)->Unit(benchmark::kMicrosecond);

// The same file resolved without a run cache: what every render would cost without it.
void BM_ImageResolveUncached(benchmark::State& state) {
  LogoFile logo;
  const Value path(logo.path), type("auto");
  for (auto _ : state) benchmark::DoNotOptimize(TImageUtil::New()->Resolver(path, type));
  state.counters["resolves_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                        benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ImageResolveUncached)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

// Encodes per second of each symbology: the pure encoders and the barcode result built around them.
#include <benchmark/benchmark.h>

#include <string>

#include "barcode/DataMatrix.h"
#include "barcode/QrCode.h"
#include "barcode/TBarcodeUtil.h"
#include "Value.h"

using namespace nv;

namespace {

const std::string kQrV1(17, 'Q');     // the most version 1 holds
const std::string kQrV10(271, 'q');   // the most version 10 holds
const std::string kDm10("123456");    // 3 codewords, 10 x 10
const std::string kDm18(18, 'D');     // 18 codewords, 18 x 18
const std::string kDm44(144, 'D');    // 144 codewords, 44 x 44
const std::string kCode128("NORVANE-2026-12-0942");  // 20 characters, one switch to code set C

void BM_QrVersion1(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(QrCode::Encode(kQrV1));
}
void BM_QrVersion10(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(QrCode::Encode(kQrV10));
}
void BM_DataMatrix10(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(DataMatrix::Encode(kDm10));
}
void BM_DataMatrix18(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(DataMatrix::Encode(kDm18));
}
void BM_DataMatrix44(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(DataMatrix::Encode(kDm44));
}
void BM_Ean13Modules(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(TBarcodeUtil::Ean13Modules("1234567890128"));
}
void BM_Code128Modules(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(TBarcodeUtil::Code128Modules(TBarcodeUtil::Code128Values(kCode128, false)));
}

// The full barcode result as a layout object or a formula receives it (hash and row texts).
void BM_CrearQrVersion1(benchmark::State& state) {
  const Value content(kQrV1), type("QR");
  for (auto _ : state) benchmark::DoNotOptimize(TBarcodeUtil::Create(content, type));
}
void BM_CrearQrVersion10(benchmark::State& state) {
  const Value content(kQrV10), type("QR");
  for (auto _ : state) benchmark::DoNotOptimize(TBarcodeUtil::Create(content, type));
}
void BM_CrearDataMatrix10(benchmark::State& state) {
  const Value content(kDm10), type("DATAMATRIX");
  for (auto _ : state) benchmark::DoNotOptimize(TBarcodeUtil::Create(content, type));
}
void BM_CrearDataMatrix44(benchmark::State& state) {
  const Value content(kDm44), type("DATAMATRIX");
  for (auto _ : state) benchmark::DoNotOptimize(TBarcodeUtil::Create(content, type));
}
void BM_CrearEan13(benchmark::State& state) {
  const Value content("123456789012"), type("EAN13");
  for (auto _ : state) benchmark::DoNotOptimize(TBarcodeUtil::Create(content, type));
}
void BM_CrearCode128(benchmark::State& state) {
  const Value content(kCode128), type("CODE128");
  for (auto _ : state) benchmark::DoNotOptimize(TBarcodeUtil::Create(content, type));
}

}  // namespace

BENCHMARK(BM_QrVersion1);
BENCHMARK(BM_QrVersion10);
BENCHMARK(BM_DataMatrix10);
BENCHMARK(BM_DataMatrix18);
BENCHMARK(BM_DataMatrix44);
BENCHMARK(BM_Ean13Modules);
BENCHMARK(BM_Code128Modules);
BENCHMARK(BM_CrearQrVersion1);
BENCHMARK(BM_CrearQrVersion10);
BENCHMARK(BM_CrearDataMatrix10);
BENCHMARK(BM_CrearDataMatrix44);
BENCHMARK(BM_CrearEan13);
BENCHMARK(BM_CrearCode128);

BENCHMARK_MAIN();

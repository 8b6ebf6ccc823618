// Decoding throughput of a runtime data file: {"DataVar": {...}, "DetalleVar": {"LINEAS": [...]}}
// with 10,000 detail records of 20 fields (about 20 MB), decoded into Value.
#include <benchmark/benchmark.h>

#include <string>

#include "Hash.h"
#include "Json.h"
#include "Runtime.h"
#include "Value.h"

using namespace nv;

namespace {

// A record of 20 fields of the kinds real data carries: codes, descriptions, quantities and
// amounts with written decimals, dates as text, flags and typed values.
Value MakeRecord(int n) {
  Value record = Value::NewHash();
  std::string id = std::to_string(n);
  for (int f = 0; f < 20; ++f) {
    std::string key = "CAMPO_" + std::to_string(f);
    switch (f % 5) {
      case 0:
        record.Set(key, "Descripcion del articulo numero " + id + " con texto de relleno para la linea " +
                            "de detalle, acentos \xC3\xA1\xC3\xA9\xC3\xAD y comillas \"dobles\"");
        break;
      case 1: record.Set(key, Value::Int(n * 37 + f)); break;
      case 2: record.Set(key, Value::Dbl(n * 1.25 + f, 2)); break;
      case 3: {
        Value typed = Value::NewHash();
        typed.Set("valor", "2023-01-" + std::to_string(10 + f % 20) + " referencia " + id +
                               " observaciones del cliente sobre la entrega prevista");
        typed.Set("tipo", "C");
        record.Set(key, typed);
        break;
      }
      default:
        record.Set(key, "Codigo-" + id + "-" + std::to_string(f) +
                            " direccion de entrega, calle larga 123, 4o B, 28001 Madrid, Espana ");
        break;
    }
  }
  return record;
}

const std::string& DataFileText() {
  static const std::string text = [] {
    Value data = Value::NewHash();
    Value block = Value::NewHash();
    block.Set("CLIENTE", "Dulces Orbanel");
    block.Set("FECHA", "2023-01-15");
    block.Set("TOTAL", Value::Dbl(12345.50, 2));
    Value dataVar = Value::NewHash();
    dataVar.Set("DATOS", block);
    data.Set("DataVar", dataVar);
    Value lines = Value::NewArray();
    for (int n = 0; n < 10000; ++n) lines.Append(MakeRecord(n));
    Value detail = Value::NewHash();
    detail.Set("LINEAS", lines);
    data.Set("DetalleVar", detail);
    return EncodeJson(data, true);
  }();
  return text;
}

void BM_DecodeRuntimeData(benchmark::State& state) {
  const std::string& text = DataFileText();
  for (auto _ : state) {
    Value data = DecodeJsonObject(text);
    if (data["DetalleVar"]["LINEAS"].Len() != 10000) state.SkipWithError("decoded the wrong record count");
    benchmark::DoNotOptimize(data);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
  state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
}
BENCHMARK(BM_DecodeRuntimeData)->Unit(benchmark::kMillisecond);

void BM_EncodeRuntimeData(benchmark::State& state) {
  Value data = DecodeJsonObject(DataFileText());
  size_t bytes = 0;
  for (auto _ : state) {
    std::string text = EncodeJson(data);
    bytes = text.size();
    benchmark::DoNotOptimize(text);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}
BENCHMARK(BM_EncodeRuntimeData)->Unit(benchmark::kMillisecond);

void BM_SerializeRoundTrip(benchmark::State& state) {
  Value data = DecodeJsonObject(DataFileText());
  size_t bytes = 0;
  for (auto _ : state) {
    std::string serialized = Serialize(data);
    bytes = serialized.size();
    std::optional<Value> back = Deserialize(serialized);
    benchmark::DoNotOptimize(back);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}
BENCHMARK(BM_SerializeRoundTrip)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

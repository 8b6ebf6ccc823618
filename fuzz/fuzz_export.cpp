// libFuzzer entry of the exporter: the bytes are read as one rendered page's JSON
// ({"objetos": [...]}, or a bare list of render objects) and drawn to PDF and to PNG in memory.
// Bad input must end in warnings, never in a crash, a sanitizer report or unbounded work.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Exporter.h"
#include "Json.h"
#include "MemoryOutputTarget.h"

namespace {

void Draw(const nv::Value& page, nv::out::Format format) {
  nv::out::MemoryOutputTarget target;
  nv::out::ExportOptions options;
  options.format = format;
  // A coarse grid keeps PNG pages small: the fuzzer looks for faults, not for pixels.
  options.dpi = format == nv::out::Format::Png ? 20 : 0;
  options.creationTime = 0;
  nv::out::Exporter exporter(options, target);
  exporter.Begin(100, 100, "fixed");
  exporter.AddPage(page);
  exporter.Finish();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  bool ok = false;
  nv::Value decoded = nv::DecodeJson(std::string_view(reinterpret_cast<const char*>(data), size), ok);
  if (!ok) return 0;
  nv::Value page = decoded;
  if (decoded.IsArray()) {
    page = nv::Value::NewHash();
    page.Set("objetos", decoded);
  }
  Draw(page, nv::out::Format::Pdf);
  Draw(page, nv::out::Format::Png);
  return 0;
}

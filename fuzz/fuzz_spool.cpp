// Spooled pages read from arbitrary bytes: Deserialize takes any bytes without failing, and a
// value it gives, stored as a page of a spooling document and read back, is the same page.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Runtime.h"
#include "FuzzSession.h"
#include "output/TDocumentoRenderizable.h"

using namespace nv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::optional<Value> value = Deserialize(bytes);
  if (!value) return 0;
  const std::string serialized = Serialize(*value);
  const std::optional<Value> again = Deserialize(serialized);
  fuzz::Require(again.has_value(), "serialized bytes read back");
  fuzz::Require(Serialize(*again) == serialized, "a value serialized twice gives the same bytes");

  // A page is {"objetos": [...]}; the value becomes the page's only object.
  auto documento = TDocumentoRenderizable::New(Value(210.0), Value(297.0));
  documento->Create();
  Value objects = Value::NewArray();
  objects.Append(*value);
  documento->AddPagina(objects);
  const std::string inMemory = Serialize(documento->GetPagina(Value::Int(1)));
  documento->EnablePageSpooling();
  if (!documento->HasPageSpoolError().IsTrue()) {
    fuzz::Require(Serialize(documento->GetPagina(Value::Int(1))) == inMemory, "a spooled page reads back whole");
  }
  documento->End();
  return 0;
}

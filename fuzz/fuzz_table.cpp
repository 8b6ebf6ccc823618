// libFuzzer target: the bytes are a template in JSON holding one or more tables; the template runs
// through the paginating host against a small fixed set of detail records, with few pages and a
// small in-memory page budget. Whatever the bytes, the run must end without a crash, a sanitizer
// report or an escaped runtime error.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Accessors.h"
#include "Json.h"
#include "Value.h"
#include "output/TDocumentoRenderizable.h"
#include "run/TPaginadorInforme.h"

namespace {

nv::Value Records() {
  nv::Value lines = nv::Value::NewArray();
  for (int i = 1; i <= 12; ++i) {
    nv::Value r = nv::Value::NewHash();
    r.Set("N", nv::Value::Int(i));
    r.Set("G", nv::Value(i <= 5 ? "a" : "b"));
    r.Set("V", nv::Value::Dbl(i * 1.5, 1));
    lines.Append(r);
  }
  nv::Value groups = nv::Value::NewHash();
  groups.Set("L", lines);
  nv::Value data = nv::Value::NewHash();
  data.Set("DetalleVar", groups);
  return data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  bool ok = false;
  const nv::Value tmpl = nv::DecodeJson(std::string_view(reinterpret_cast<const char*>(data), size), ok);
  if (!ok || !tmpl.IsHash()) return 0;
  static const nv::Value records = Records();
  nv::LimitesPaginador limits;
  limits.nObjetosEnMemoria = 200;
  limits.nMaxPaginas = 40;
  auto run = nv::TPaginadorInforme::Renderizar(tmpl, records, nv::Value::NewHash(), limits);
  if (run.documento) {
    for (int64_t p = 1; p <= nv::ValueInt(run.documento->TotalPaginas()); ++p) run.documento->GetPagina(nv::Value::Int(p));
    run.documento->End();
  }
  return 0;
}

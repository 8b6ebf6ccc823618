// A template, its runtime data and the run's options through a complete run, report or label
// document as the template says. The input is one JSON object {"template": ..., "data": ...,
// "options": ...}; what is missing is empty. The rendered pages are then spooled with a small
// limit and read back, and must come back as they were.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Accessors.h"
#include "Json.h"
#include "Runtime.h"
#include "FuzzSession.h"
#include "output/TDocumentoRenderizable.h"
#include "run/TMotorComposicion.h"
#include "run/TMotorEjecucion.h"
#include "run/TMotorPaginacion.h"

using namespace nv;

namespace {

constexpr size_t kMaxInputBytes = 64 * 1024;
// Few objects: any run past a couple of pages spools, so spooling is exercised on every input
// that renders something.
constexpr int64_t kSpoolObjectLimit = 8;
// The formula step budget of the run, at most this: a runaway formula must end with its error
// value well inside the fuzzer's time limit, and the default budget is sized for real runs.
constexpr int64_t kFormulaSteps = 100'000;

// The pages as bytes, so that in-memory and spooled pages compare whole.
std::string PagesBytes(TDocumentoRenderizable& documento) {
  std::string bytes;
  const int64_t total = ValueInt(documento.TotalPaginas());
  for (int64_t n = 1; n <= total; ++n) bytes += Serialize(documento.GetPagina(Value::Int(n)));
  return bytes;
}

void Run(const Value& input) {
  Value options = HGet(input, "options");
  if (!options.IsHash()) options = Value::NewHash();
  // A host never hands a run progress blocks it did not make; the fuzzer cannot make any.
  options.AsHash().Erase("bProgressRecord");
  options.AsHash().Erase("bProgressPage");
  const Value steps = HGet(options, "nLimitePasosFormula");
  if (!steps.IsNumber() || ValueInt(steps) <= 0 || ValueInt(steps) > kFormulaSteps) {
    options.Set("nLimitePasosFormula", Value::Int(kFormulaSteps));
  }
  fuzz::FuzzSession session(HGet(input, "template"), HGet(input, "data"), options);
  auto composicion = TMotorComposicion::New(Value::NewHash());
  composicion->Create();
  auto paginacion = TMotorPaginacion::New();
  paginacion->Create();
  auto motor = TMotorEjecucion::New(Value(session.plantilla), Value(session.conector), Value(composicion),
                                    Value(paginacion), Value(session.contexto));
  motor->Create();
  const Value result = motor->Ejecutar();
  if (auto documento = result.AsShared<TDocumentoRenderizable>()) {
    const std::string inMemory = PagesBytes(*documento);
    documento->SetAutoPageSpooling(Value::Int(kSpoolObjectLimit));
    if (ValueInt(documento->TotalObjetos()) >= kSpoolObjectLimit) documento->EnablePageSpooling();
    if (!documento->HasPageSpoolError().IsTrue()) {
      fuzz::Require(PagesBytes(*documento) == inMemory, "spooled pages read back as they were rendered");
    }
    EncodeJson(documento->GetPaginas());
    documento->End();
  }
  EncodeJson(session.contexto->GetAvisos());
  motor->End();
  paginacion->End();
  composicion->End();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxInputBytes) return -1;
  bool ok = false;
  const Value input = DecodeJson(std::string_view(reinterpret_cast<const char*>(data), size), ok);
  if (!ok || !input.IsHash()) return -1;
  Run(input);
  return 0;
}

#pragma once
// What the fuzz targets share: the pieces of one execution built as the command-line program
// builds them (template, connector, evaluator, context) and ended in reverse, and the check that
// stops a target when a property it tests does not hold.

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "Value.h"
#include "data/TConectorDatos.h"
#include "document/TPlantilla.h"
#include "formula/TEvaluadorFormulas.h"
#include "run/TContextoEjecucion.h"

namespace nv::fuzz {

/// Aborts with the property's description when it does not hold: libFuzzer then saves the input
/// as a finding, and the replay test fails on it.
inline void Require(bool holds, std::string_view property) {
  if (holds) return;
  std::fprintf(stderr, "property broken: %.*s\n", static_cast<int>(property.size()), property.data());
  std::abort();
}

/// The template, connector, evaluator and context of one run over a template hash, runtime data
/// and options (the options take the template's variable definitions unless they set their own).
class FuzzSession {
 public:
  FuzzSession(const Value& templateHash, const Value& data, const Value& options) {
    plantilla = TPlantilla::New(Value(""));
    plantilla->SetData(templateHash);
    plantilla->Create();
    conector = TConectorDatos::New(Value(""));
    conector->Create();
    conector->hDatos = conector->NormalizarDatosRuntime(data);
    if (!options.Has("hUserVars")) options.Set("hUserVars", plantilla->GetUserVars());
    if (!options.Has("hAcumVars")) options.Set("hAcumVars", plantilla->GetAcumVars());
    evaluador = TEvaluadorFormulas::New();
    evaluador->Create();
    contexto = TContextoEjecucion::New(Value(conector), Value(evaluador), options);
    contexto->Create();
  }
  ~FuzzSession() {
    contexto->End();
    evaluador->End();
    plantilla->End();
    conector->End();
  }
  FuzzSession(const FuzzSession&) = delete;
  FuzzSession& operator=(const FuzzSession&) = delete;

  std::shared_ptr<TPlantilla> plantilla;
  std::shared_ptr<TConectorDatos> conector;
  std::shared_ptr<TEvaluadorFormulas> evaluador;
  std::shared_ptr<TContextoEjecucion> contexto;
};

}  // namespace nv::fuzz

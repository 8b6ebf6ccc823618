#pragma once
// A real execution context for the layout-object tests, with a few data variables their formulas
// can read.

#include <memory>
#include <string>
#include <vector>

#include "Accessors.h"
#include "data/TConectorDatosReg.h"
#include "formula/TEvaluadorFormulas.h"
#include "layout_test_support.h"
#include "run/TContextoEjecucion.h"

namespace nv::testing_support {

inline Value Definition(const char* group, const char* name) {
  return HashOf({{"grupo", group}, {"nombre", name}, {"tipo", "texto"}});
}

// One execution's collaborators: a connector with the variables DATOS.VACIO (""), DATOS.NOMBRE
// ("Ana"), DATOS.COLOR ("#ABCDEF") and DATOS.TRANSP ("Transparent"), an evaluator and a context
// with the given options.
struct Execution {
  std::shared_ptr<TConectorDatosReg> connector = TConectorDatosReg::New();
  std::shared_ptr<TEvaluadorFormulas> evaluator = TEvaluadorFormulas::New();
  std::shared_ptr<TContextoEjecucion> context;
  Value ctx;

  explicit Execution(const Value& options = Value::NewHash()) {
    connector->Create();
    connector->SendDataVar(Value::FromArray({Definition("DATOS", "VACIO"), Definition("DATOS", "NOMBRE"),
                                             Definition("DATOS", "COLOR"), Definition("DATOS", "TRANSP")}),
                           Value::FromArray({Value::FromArray({"", "Ana", "#ABCDEF", "Transparent"})}));
    evaluator->Create();
    context = TContextoEjecucion::New(Value(connector), Value(evaluator), options);
    context->Create();
    ctx = Value(context);
  }
  ~Execution() {
    context->End();
    evaluator->End();
    connector->End();
  }

  std::vector<std::string> Reasons() const {
    std::vector<std::string> reasons;
    Value discards = context->GetDescartados();
    for (size_t i = 1; i <= discards.Len(); ++i) reasons.push_back(ValueString(HGet(discards.Item(i), "motivo")));
    return reasons;
  }
  std::vector<std::string> Warnings() const {
    std::vector<std::string> warnings;
    Value avisos = context->GetAvisos();
    for (size_t i = 1; i <= avisos.Len(); ++i) warnings.push_back(ValueString(avisos.Item(i)));
    return warnings;
  }
};

}  // namespace nv::testing_support

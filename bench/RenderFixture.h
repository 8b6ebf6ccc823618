#pragma once
// The execution context the render benchmarks draw objects in: a registered connector holding
// one data variable (DATOS.CLIENTE) and a created evaluator.

#include <memory>

#include "Value.h"
#include "data/TConectorDatosReg.h"
#include "formula/TEvaluadorFormulas.h"
#include "run/TContextoEjecucion.h"

namespace nv::bench {

struct RenderFixture {
  std::shared_ptr<TConectorDatosReg> connector = TConectorDatosReg::New();
  std::shared_ptr<TEvaluadorFormulas> evaluator = TEvaluadorFormulas::New();
  std::shared_ptr<TContextoEjecucion> context;

  RenderFixture() {
    connector->Create();
    Value definition = Value::NewHash();
    definition.Set("grupo", "DATOS");
    definition.Set("nombre", "CLIENTE");
    definition.Set("tipo", "texto");
    connector->SendDataVar(Value::FromArray({definition}), Value::FromArray({Value::FromArray({"Dulces Orbanel"})}));
    evaluator->Create();
    context = TContextoEjecucion::New(Value(connector), Value(evaluator), Value::NewHash());
    context->Create();
  }
  ~RenderFixture() {
    context->End();
    evaluator->End();
    connector->End();
  }
};

}  // namespace nv::bench

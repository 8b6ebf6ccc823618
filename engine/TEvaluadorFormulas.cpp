#include "TEvaluadorFormulas.h"

#include "Accessors.h"
#include "Runtime.h"

namespace nv {

Value VBColorConstants() { return Value::NewHash(); }
Value VBXUNESCAPEFORMULALITERAL(const Value& text, const Value&) { return Value(ValorAString(text)); }
std::string UnescapeFormulaLiteral(std::string_view inside, char) { return std::string(inside); }

bool TEvaluadorFormulas::RespondsTo(std::string_view name) const {
  return NameIn(name, {"New", "Init", "Create", "End", "SetOpciones", "SetFuncFormulas", "SetEstadoEjecucion",
                       "ClearResolvedVariableCache", "Evaluar", "EvaluarTexto", "ResolverTexto", "EvaluarFormula",
                       "EsResultadoError", "GetLastError", "ResetLastError", "CompileFormulaPlan",
                       "EvaluateFormulaPlan", "CompileSimpleAccumulatorPlan", "SimpleAccumulatorFalseIsZero",
                       "EvaluateSimpleAccumulatorCondition", "EvaluateSimpleAccumulatorValue", "CumpleCondicion",
                       "EvaluarCondicion", "hOpciones", "hConstantes", "hVariablesResolviendo", "hEstadoEjecucion",
                       "hFormulaPlanCache", "hExecutablePlanCache", "hResolvedVariableCache", "oFuncFormulas",
                       "cLastError", "lCreated"}) ||
         Object::RespondsTo(name);
}

std::shared_ptr<TEvaluadorFormulas> TEvaluadorFormulas::New(const Value& opciones, const Value& funcs) {
  auto self = std::make_shared<TEvaluadorFormulas>();
  self->Init(opciones, funcs);
  return self;
}

std::shared_ptr<TEvaluadorFormulas> TEvaluadorFormulas::Init(const Value& opciones, const Value& funcs) {
  hOpciones = opciones.IsHash() ? opciones : Value::NewHash();
  hConstantes = Value::NewHash();
  hVariablesResolviendo = Value::NewHash();
  hEstadoEjecucion = Value::NewHash();
  hFormulaPlanCache.clear();
  hExecutablePlanCache = Value::NewHash();
  hResolvedVariableCache = Value::NewHash();
  cLastError.clear();
  oFuncFormulas = funcs;
  lCreated = false;
  return std::static_pointer_cast<TEvaluadorFormulas>(shared_from_this());
}

std::shared_ptr<TEvaluadorFormulas> TEvaluadorFormulas::Create() {
  lCreated = true;
  return std::static_pointer_cast<TEvaluadorFormulas>(shared_from_this());
}

Value TEvaluadorFormulas::End() {
  lCreated = false;
  return Value();
}

std::shared_ptr<TEvaluadorFormulas> TEvaluadorFormulas::SetOpciones(const Value& opciones) {
  hOpciones = opciones.IsHash() ? opciones : Value::NewHash();
  return std::static_pointer_cast<TEvaluadorFormulas>(shared_from_this());
}
std::shared_ptr<TEvaluadorFormulas> TEvaluadorFormulas::SetFuncFormulas(const Value& funcs) {
  oFuncFormulas = funcs;
  return std::static_pointer_cast<TEvaluadorFormulas>(shared_from_this());
}
std::shared_ptr<TEvaluadorFormulas> TEvaluadorFormulas::SetEstadoEjecucion(const Value& estado) {
  hEstadoEjecucion = estado.IsHash() ? estado : Value::NewHash();
  return std::static_pointer_cast<TEvaluadorFormulas>(shared_from_this());
}
std::shared_ptr<TEvaluadorFormulas> TEvaluadorFormulas::ClearResolvedVariableCache() {
  hResolvedVariableCache = Value::NewHash();
  return std::static_pointer_cast<TEvaluadorFormulas>(shared_from_this());
}

Value TEvaluadorFormulas::Evaluar(const Value& f, const Value& v) {
  cLastError.clear();
  return EvaluarFormula(f, v);
}
Value TEvaluadorFormulas::EvaluarTexto(const Value& f, const Value& v) { return ResolverTexto(f, v); }
Value TEvaluadorFormulas::ResolverTexto(const Value& f, const Value& v) { return Value(ValorAString(EvaluarFormula(f, v))); }
Value TEvaluadorFormulas::EvaluarFormula(const Value& f, const Value&) { return f; }
Value TEvaluadorFormulas::EsResultadoError(const Value&, const Value&) { return Value(!cLastError.empty()); }
Value TEvaluadorFormulas::GetLastError() { return Value(cLastError); }
Value TEvaluadorFormulas::ResetLastError() {
  cLastError.clear();
  return Value();
}
Value TEvaluadorFormulas::CompileFormulaPlan(const Value&) { return Value(); }
Value TEvaluadorFormulas::EvaluateFormulaPlan(const Value&, const Value&) { return Value(); }
Value TEvaluadorFormulas::CompileSimpleAccumulatorPlan(const Value&) { return Value(); }
Value TEvaluadorFormulas::SimpleAccumulatorFalseIsZero(const Value&) { return Value(false); }
Value TEvaluadorFormulas::EvaluateSimpleAccumulatorCondition(const Value&, const Value&) { return Value(false); }
Value TEvaluadorFormulas::EvaluateSimpleAccumulatorValue(const Value&, const Value&, const Value&) { return Value(); }
Value TEvaluadorFormulas::CumpleCondicion(const Value&, const Value&) { return Value(true); }
Value TEvaluadorFormulas::EvaluarCondicion(const Value&, const Value&) {
  Value r = Value::NewHash();
  r.Set("lVisible", true);
  r.Set("cMotivo", "");
  return r;
}

}  // namespace nv

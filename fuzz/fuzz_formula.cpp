// A formula of the expression language, evaluated through the context as a template text is:
// compiled to its executable plan and evaluated through it, and again by a context whose
// evaluator only interprets. Where the formula has a plan, both must give the same value and the
// same error state. The context stands on the second of three detail records, which are also the
// runtime detail records, so that the record and sum functions have something to walk.

#include <cstddef>
#include <cstdio>
#include <memory>
#include <cstdint>
#include <string>
#include <string_view>

#include "Accessors.h"
#include "Json.h"
#include "Runtime.h"
#include "FuzzSession.h"

using namespace nv;

namespace {

constexpr size_t kMaxFormulaBytes = 4096;
constexpr size_t kInputsPerSession = 5000;

constexpr std::string_view kData = R"({
  "DataVar": {"DATOS": {"NOMBRE": "Ana", "TOTAL": 1234.50, "CANTIDAD": 3, "FECHA": "15/01/2026", "ACTIVO": true}},
  "DetalleVar": {"DETALLE": [
    {"ARTICULO": "Tuerca", "PRECIO": 0.25, "UNIDADES": 100, "GRUPO": "A"},
    {"ARTICULO": "Tornillo", "PRECIO": 0.40, "UNIDADES": 50, "GRUPO": "A"},
    {"ARTICULO": "Arandela", "PRECIO": 0.05, "UNIDADES": 400, "GRUPO": "B"}]}
})";

// Two sessions over the same data, one through plans and one interpretive, both standing on
// record 2 of 3.
struct FormulaSessions {
  FormulaSessions() : planned(Template(), Data(), Options()), interpreted(Template(), Data(), Options()) {
    interpreted.evaluador->SetUsarPlanes(false);
    for (fuzz::FuzzSession* session : {&planned, &interpreted}) {
      const Value records = HGet(session->contexto->GetOpciones(), "aRegistrosDetalleRuntime");
      session->contexto->PushRegistroDetalle(records.AsArray()[1], Value::Int(1), Value::Int(3),
                                             records.AsArray()[0], records.AsArray()[2]);
    }
  }
  static Value Template() { return Value::NewHash(); }
  static Value Data() { return DecodeJsonObject(kData); }
  static Value Options() {
    Value options = Value::NewHash();
    Value records = Value::NewArray();
    const Value detail = HGet(HGet(Data(), "DetalleVar"), "DETALLE");
    for (const Value& record : detail.AsArray()) {
      Value prefixed = Value::NewHash();
      for (const auto& [key, value] : record.AsHash()) prefixed.Set("DETALLE." + std::string(key), value);
      records.Append(prefixed);
    }
    options.Set("aRegistrosDetalleRuntime", records);
    // A runaway formula ends with its error value well inside the fuzzer's time limit.
    options.Set("nLimitePasosFormula", Value::Int(100'000));
    return options;
  }

  fuzz::FuzzSession planned;
  fuzz::FuzzSession interpreted;
};

// Where the two evaluations are meant to agree. Functions that read the clock may differ between
// two evaluations. Plans judge conditions differently by design: an error value counts as true
// in a logical operator or an "if" condition (the formula fails either way), and an empty part
// of a logical operator is false; so formulas with logical operators are compared only when
// they fail on neither side and hold no empty part, which the text alone cannot tell: they are
// left out. A failure is compared by its flag alone: the error value of a failed "if" condition
// is the chosen branch through a plan and the invalid-formula text without.
bool Comparable(const std::string& formula) {
  const std::string upper = Upper(formula);
  for (std::string_view word : {"NOW", "DATE", "HOUR", ".AND.", ".OR.", "!", "NOT"}) {
    if (upper.find(word) != std::string::npos) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxFormulaBytes) return -1;
  // The evaluators keep the analysis and plan of every formula text they meet for their life, as
  // a template's formulas are few; hundreds of thousands of fuzzed texts are not, so the sessions
  // are made afresh now and then to keep memory flat.
  static std::unique_ptr<FormulaSessions> held;
  static size_t evaluated = 0;
  if (!held || ++evaluated % kInputsPerSession == 0) held = std::make_unique<FormulaSessions>();
  FormulaSessions& sessions = *held;
  const std::string formula(reinterpret_cast<const char*>(data), size);

  const Value plan = sessions.planned.contexto->CompilarPlanFormula(Value(formula));
  const TContextoEjecucion::EstadoFormula byPlan =
      sessions.planned.contexto->EvaluarPlanFormulaConEstadoTipado(plan, Value(formula));
  const TContextoEjecucion::EstadoFormula interpreted =
      sessions.interpreted.contexto->EvaluarPlanFormulaConEstadoTipado(Value(), Value(formula));
  // The warnings of each evaluation are not what is checked: drop them so memory stays flat.
  sessions.planned.contexto->GetAvisos().AsArray().clear();
  sessions.interpreted.contexto->GetAvisos().AsArray().clear();

  if (plan.IsHash() && Comparable(formula)) {
    if (LiteralText(byPlan.valor) != LiteralText(interpreted.valor) || byPlan.lError != interpreted.lError) {
      std::fprintf(stderr, "formula %s\nplan: %s %s\ninterpreter: %s %s\n", LiteralText(Value(formula)).c_str(),
                   LiteralText(byPlan.valor).c_str(), byPlan.cError.c_str(), LiteralText(interpreted.valor).c_str(),
                   interpreted.cError.c_str());
    }
    fuzz::Require(byPlan.lError == interpreted.lError, "plan and interpreter agree on failure");
    if (!byPlan.lError) {
      fuzz::Require(LiteralText(byPlan.valor) == LiteralText(interpreted.valor), "plan and interpreter give one value");
    }
  }
  return 0;
}

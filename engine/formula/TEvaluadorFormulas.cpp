#include "formula/TEvaluadorFormulas.h"

#include <array>
#include <unordered_set>
#include <vector>

#include "Accessors.h"
#include "Runtime.h"
#include "formula/FormulaOperators.h"
#include "formula/FormulaSplitter.h"
#include "formula/FormulaText.h"
#include "formula/FormulaValues.h"
#include "formula/TFuncFormulas.h"

namespace nv {

// ---- Module functions ------------------------------------------------------------------------

Value VBColorConstants() {
  return MakeHash({{"VB.COLOR.ALICEBLUE", "#f0f8ff"},
                   {"VB.COLOR.BEIGE", "#f5f5dc"},
                   {"VB.COLOR.BLACK", "#000000"},
                   {"VB.COLOR.BLUE", "#0000ff"},
                   {"VB.COLOR.CHOCOLATE", "#d2691e"},
                   {"VB.COLOR.DARKGRAY", "#a9a9a9"},
                   {"VB.COLOR.DARKGREY", "#a9a9a9"},
                   {"VB.COLOR.GAINSBORO", "#dcdcdc"},
                   {"VB.COLOR.GRAY", "#808080"},
                   {"VB.COLOR.GREEN", "#008000"},
                   {"VB.COLOR.KHAKI", "#f0e68c"},
                   {"VB.COLOR.LIGHTYELLOW", "#ffffe0"},
                   {"VB.COLOR.RED", "#ff0000"},
                   {"VB.COLOR.WHITE", "#ffffff"},
                   {"VB.COLOR.WHITESMOKE", "#f5f5f5"},
                   {"VB.COLOR.YELLOW", "#ffff00"}});
}

std::string UnescapeFormulaLiteral(std::string_view inside, char quote) {
  std::string undoubled;
  undoubled.reserve(inside.size());
  for (size_t i = 0; i < inside.size(); ++i) {
    undoubled += inside[i];
    if (inside[i] == quote && i + 1 < inside.size() && inside[i + 1] == quote) ++i;
  }
  if (undoubled.find('\\') == std::string::npos) return undoubled;
  std::string out;
  out.reserve(undoubled.size());
  for (size_t i = 0; i < undoubled.size(); ++i) {
    char c = undoubled[i];
    if (c != '\\' || i + 1 == undoubled.size()) {
      out += c;
      continue;
    }
    char next = undoubled[++i];
    switch (next) {
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      default: out += next; break;
    }
  }
  return out;
}

Value VBXUNESCAPEFORMULALITERAL(const Value& text, const Value& quote) {
  std::string q = ValorAString(quote);
  return Value(UnescapeFormulaLiteral(ValorAString(text), q.empty() ? '\'' : q[0]));
}

// ---- Object protocol and lifecycle -------------------------------------------------------------

bool TEvaluadorFormulas::RespondsTo(std::string_view name) const {
  return NameIn(name, {"New",
                       "Init",
                       "Create",
                       "End",
                       "SetOpciones",
                       "SetFuncFormulas",
                       "SetEstadoEjecucion",
                       "ClearResolvedVariableCache",
                       "Evaluar",
                       "EvaluarTexto",
                       "ResolverTexto",
                       "EvaluarFormula",
                       "EsResultadoError",
                       "GetLastError",
                       "ResetLastError",
                       "CompileFormulaPlan",
                       "EvaluateFormulaPlan",
                       "CompileSimpleAccumulatorPlan",
                       "SimpleAccumulatorFalseIsZero",
                       "EvaluateSimpleAccumulatorCondition",
                       "EvaluateSimpleAccumulatorValue",
                       "CumpleCondicion",
                       "EvaluarCondicion",
                       "PlanFormula",
                       "ResolverArgumentoFuncion",
                       "ValorVariable",
                       "ResolveVariableValue",
                       "CompararValores",
                       "ValorBooleanoCondicion",
                       "EsFuncionInternaMotor",
                       "ResolverFuncionInternaMotor",
                       "EstadoEjecucionPorDefecto",
                       "ValorATexto",
                       "EsConstante",
                       "ValorConstante",
                       "VariableNoEncontrada",
                       "ErrorValue",
                       "HashMergeVariables",
                       "hOpciones",
                       "hConstantes",
                       "hVariablesResolviendo",
                       "hEstadoEjecucion",
                       "hFormulaPlanCache",
                       "hExecutablePlanCache",
                       "hResolvedVariableCache",
                       "oFuncFormulas",
                       "cLastError",
                       "lCreated"}) ||
         Object::RespondsTo(name);
}

std::shared_ptr<TEvaluadorFormulas> TEvaluadorFormulas::New(const Value& opciones, const Value& funcs) {
  auto self = std::make_shared<TEvaluadorFormulas>();
  self->Init(opciones, funcs);
  return self;
}

std::shared_ptr<TEvaluadorFormulas> TEvaluadorFormulas::Init(const Value& opciones, const Value& funcs) {
  hOpciones = opciones.IsHash() ? opciones : Value::NewHash();
  hConstantes = VBColorConstants();
  Hash& constants = hConstantes.AsHash();
  constants.Put("CRLF", Value("\r\n"));
  constants.Put("NULL", Value());
  constants.Put("TRUE", Value(true));
  constants.Put("FALSE", Value(false));
  hVariablesResolviendo = Value::NewHash();
  hEstadoEjecucion = EstadoEjecucionPorDefecto();
  ClearCaches();
  cLastError.clear();
  oFuncFormulas = funcs;
  lCreated = false;
  return std::static_pointer_cast<TEvaluadorFormulas>(shared_from_this());
}

std::shared_ptr<TEvaluadorFormulas> TEvaluadorFormulas::Create() {
  if (oFuncFormulas.IsNil()) oFuncFormulas = Value(TFuncFormulas::New()->Create());
  lCreated = true;
  return std::static_pointer_cast<TEvaluadorFormulas>(shared_from_this());
}

Value TEvaluadorFormulas::End() {
  hOpciones = Value::NewHash();
  hConstantes = Value::NewHash();
  hVariablesResolviendo = Value::NewHash();
  hEstadoEjecucion = Value::NewHash();
  ClearCaches();
  if (Object* lib = oFuncFormulas.ObjectRaw()) lib->End();
  oFuncFormulas = Value();
  lCreated = false;
  return Value();
}

void TEvaluadorFormulas::ClearCaches() {
  engineFunctions_.ClearCaches();
  hFormulaPlanCache.clear();
  hExecutablePlanCache = Value::NewHash();
  hResolvedVariableCache = Value::NewHash();
  planCompiler_.Clear();
}

std::shared_ptr<TEvaluadorFormulas> TEvaluadorFormulas::SetOpciones(const Value& opciones) {
  hOpciones = opciones.IsHash() ? opciones : Value::NewHash();
  hResolvedVariableCache = Value::NewHash();
  engineFunctions_.ClearCaches();
  return std::static_pointer_cast<TEvaluadorFormulas>(shared_from_this());
}

std::shared_ptr<TEvaluadorFormulas> TEvaluadorFormulas::SetFuncFormulas(const Value& funcs) {
  oFuncFormulas = funcs;
  return std::static_pointer_cast<TEvaluadorFormulas>(shared_from_this());
}

namespace {

// The keys of the default execution state, in its order.
constexpr std::array<std::string_view, 9> kEstadoKeys = {
    "nPaginaActual",   "nTotalPaginas",     "lTotalPaginasConocido", "lLastPageDisponible", "nIndiceRegistro",
    "nTotalRegistros", "hRegistroAnterior", "hRegistroSiguiente",    "hPaginacionPorClave"};

Value DefaultEstadoValue(size_t index) {
  switch (index) {
    case 0:
    case 1: return Value::Int(1);
    case 2:
    case 3: return Value(true);
    case 4: return Value::Int(-1);
    case 5: return Value::Int(0);
    default: return Value::NewHash();
  }
}

// The default state overlaid by the given keys: the default keys first, in their order, each
// with the overlay's value when it has one, then the overlay's other keys in its order. Each key
// is written once, by position, and no default hash is built for a key the overlay replaces. The
// table of `current` is refilled when nobody else holds it, which is the case for the states a
// context sends on every record.
Value MergeEstado(const Value& current, const Hash& overlay) {
  static const Hash shape = Hash::Shape(kEstadoKeys, kEstadoKeys.size());
  HashPtr merged = Hash::RefillableOrCopyOfShape(current, shape);
  ShapeFiller put(*merged);
  size_t replaced = 0;
  // A context sends the default keys in their order, so the overlay's next entry is usually the
  // key wanted and no key is hashed; keys are unique, so that entry is the one a lookup finds.
  size_t next = 0;
  for (size_t i = 0; i < kEstadoKeys.size(); ++i) {
    const Value* given = nullptr;
    if (next < overlay.size() && overlay.nth(next)->first == kEstadoKeys[i]) {
      given = &overlay.nth(next)->second;
      ++next;
    } else {
      given = overlay.Find(kEstadoKeys[i]);
    }
    if (given != nullptr) ++replaced;
    put(kEstadoKeys[i], given != nullptr ? *given : DefaultEstadoValue(i));
  }
  if (replaced < overlay.size()) {
    for (const auto& entry : overlay) merged->Put(entry.first, entry.second);
  }
  return Value(std::move(merged));
}

}  // namespace

std::shared_ptr<TEvaluadorFormulas> TEvaluadorFormulas::SetEstadoEjecucion(const Value& estado) {
  const HashPtr* overlay = estado.HashRef();
  hEstadoEjecucion = overlay != nullptr ? MergeEstado(hEstadoEjecucion, **overlay) : EstadoEjecucionPorDefecto();
  ClearResolvedVariableCache();
  return std::static_pointer_cast<TEvaluadorFormulas>(shared_from_this());
}

std::shared_ptr<TEvaluadorFormulas> TEvaluadorFormulas::ClearResolvedVariableCache() {
  // The state changed: what was remembered under the old state no longer holds.
  engineFunctions_.ClearMemo();
  if (const HashPtr* h = hResolvedVariableCache.HashRef(); h && (*h)->empty()) {
    return std::static_pointer_cast<TEvaluadorFormulas>(shared_from_this());
  }
  hResolvedVariableCache = Value::NewHash();
  return std::static_pointer_cast<TEvaluadorFormulas>(shared_from_this());
}

Value TEvaluadorFormulas::EstadoEjecucionPorDefecto() { return MergeEstado(Value(), Hash()); }

// ---- Public evaluation ---------------------------------------------------------------------------

Value TEvaluadorFormulas::Evaluar(const Value& formula, const Value& hVariables) {
  cLastError.clear();
  return EvaluarFormula(formula, hVariables);
}

Value TEvaluadorFormulas::EvaluarTexto(const Value& formula, const Value& hVariables) {
  return ResolverTexto(formula, hVariables);
}

Value TEvaluadorFormulas::ResolverTexto(const Value& formula, const Value& hVariables) {
  return ValorATexto(EvaluarFormula(formula, hVariables));
}

Value TEvaluadorFormulas::EvaluarFormula(const Value& formula, const Value& hVariables) {
  const Value& vars = hVariables.IsHash() ? hVariables : EmptyHash();
  if (formula.IsString()) return EvalText(formula.AsString(), vars);
  return EvalText(ValorAString(formula), vars);
}

Value TEvaluadorFormulas::EsResultadoError(const Value&, const Value&) { return Value(!cLastError.empty()); }

Value TEvaluadorFormulas::GetLastError() { return Value(cLastError); }

Value TEvaluadorFormulas::ResetLastError() {
  cLastError.clear();
  return Value();
}

Value TEvaluadorFormulas::EvalText(std::string_view raw, const Value& vars) {
  if (nProfundidad_ > 0) return EvalStep(raw, vars);
  BeginEvaluation();
  return EndEvaluation(EvalStep(raw, vars));
}

void TEvaluadorFormulas::BeginEvaluation() {
  nPasos_ = 0;
  const Value limit = HGet(hOpciones, "nLimitePasosFormula");
  nLimitePasos_ = limit.IsNumber() && ValueInt(limit) > 0 ? ValueInt(limit) : kLimitePasosPorDefecto;
  engineFunctions_.ClearMemo();
}

Value TEvaluadorFormulas::EndEvaluation(Value result) {
  engineFunctions_.ClearMemo();
  if (nPasos_ <= nLimitePasos_) return result;
  return ErrorText(LimitePasosTexto());
}

std::string TEvaluadorFormulas::LimitePasosTexto() const {
  return "[Limite de pasos de evaluacion superado: " + std::to_string(nLimitePasos_) + "]";
}

Value TEvaluadorFormulas::EvalStep(std::string_view raw, const Value& vars) {
  // Once the budget is spent every step fails at once, so the evaluation unwinds quickly.
  if (++nPasos_ > nLimitePasos_) return ErrorText(LimitePasosTexto());
  // Most texts reach here already trimmed and without outer parentheses; only the others are
  // copied.
  std::string stripped;
  std::string_view text = raw;
  if (raw.empty() || IsLeadBlank(raw.front()) || raw.back() == ' ' || raw.front() == '(') {
    stripped = FormulaSplitter::QuitarParentesisExternos(raw);
    text = stripped;
  }
  if (text.empty()) return Value("");
  DepthGuard guard(nProfundidad_);
  if (nProfundidad_ > kMaxDepth) return ErrorText("[Expresion no valida: " + std::string(text) + "]");
  if (lUsarPlanes_) {
    const FormulaPlanCompiler::PlanEntry* entry = planCompiler_.FindPlanByText(text);
    if (entry == nullptr) {
      planCompiler_.Compile(text);
      entry = planCompiler_.FindPlanByText(text);
    }
    if (entry != nullptr && entry->second) return planEvaluator_.EvalNode(*entry->second, vars);
  }
  const FormulaAnalysis& a = Analizar(text);
  return interpreter_.EvalAnalysis(text, a, vars);
}

// ---- Analysis ------------------------------------------------------------------------------------

const FormulaAnalysis& TEvaluadorFormulas::Analizar(std::string_view text) { return hFormulaPlanCache.Get(text); }

Value TEvaluadorFormulas::PlanFormula(const Value& textValue) { return Analizar(ValorAString(textValue)).AsHash(); }

// ---- Operands and variables ----------------------------------------------------------------------

const Value* TEvaluadorFormulas::FindConstant(std::string_view text) const {
  const HashPtr* h = hConstantes.HashRef();
  if (!h || (*h)->empty()) return nullptr;
  std::string key = UpperTrim(text);
  return (*h)->Find(key);
}

Value TEvaluadorFormulas::EsConstante(const Value& text) { return Value(FindConstant(ValorAString(text)) != nullptr); }

Value TEvaluadorFormulas::ValorConstante(const Value& text) {
  const Value* v = FindConstant(ValorAString(text));
  return v ? *v : Value();
}

Value TEvaluadorFormulas::ValorBooleanoCondicion(const Value& text) {
  int w = FormulaSplitter::BooleanWord(ValorAString(text));
  return w < 0 ? Value() : Value(w == 1);
}

Value TEvaluadorFormulas::ResolverArgumentoFuncion(const Value& text, const Value& hVariables) {
  return interpreter_.ResolveOperand(ValorAString(text), hVariables.IsHash() ? hVariables : EmptyHash());
}

Value TEvaluadorFormulas::ValorVariable(const Value& name, const Value& hVariables) {
  return interpreter_.ValorVariableText(ValorAString(name), hVariables.IsHash() ? hVariables : EmptyHash());
}

Value TEvaluadorFormulas::ResolveVariableValue(const Value& name, const Value& value, const Value& hVariables) {
  return interpreter_.ResolveVariableText(ValorAString(name), value, hVariables.IsHash() ? hVariables : EmptyHash());
}

Value TEvaluadorFormulas::HashMergeVariables(const Value& base, const Value& overlay) {
  Value out = Value::NewHash();
  Hash& target = out.AsHash();
  std::unordered_set<std::string> overlayNames;
  if (const HashPtr* o = overlay.HashRef()) {
    for (const auto& entry : **o) overlayNames.insert(UpperTrim(entry.first));
  }
  if (const HashPtr* b = base.HashRef()) {
    target.reserve((*b)->size() + overlayNames.size());
    for (const auto& entry : **b) {
      if (overlayNames.empty() || !overlayNames.contains(UpperTrim(entry.first))) target.Put(entry.first, entry.second);
    }
  }
  if (const HashPtr* o = overlay.HashRef()) {
    for (const auto& entry : **o) target.Put(entry.first, entry.second);
  }
  return out;
}

// ---- Errors and text forms -------------------------------------------------------------------------

Value TEvaluadorFormulas::ErrorValue(const Value& message) { return ErrorText(ValorAString(message)); }

Value TEvaluadorFormulas::ErrorText(std::string message) {
  cLastError = message;
  return Value(std::move(message));
}

Value TEvaluadorFormulas::VariableNoEncontrada(const Value& nameValue) {
  std::string name = ValorAString(nameValue);
  if (StartsWith(UpperTrim(name), "VB.COLOR.")) return ErrorText("[Constante VB.Color no soportada: " + name + "]");
  return ErrorText("[Variable no encontrada: " + name + "]");
}

Value TEvaluadorFormulas::ValorATexto(const Value& v) {
  if (v.IsNil()) return Value("");
  if (v.IsLogical()) return Value(v.AsBool() ? "true" : "false");
  if (v.IsString()) return v;
  return Value(ValorAString(v));
}

Value TEvaluadorFormulas::CompararValores(const Value& a, const Value& op, const Value& b) {
  return Value(FormulaOperators::Compare(a, FormulaOperators::ComparisonOf(ValorAString(op)), b));
}

// ---- Conditions -----------------------------------------------------------------------------------

Value TEvaluadorFormulas::EvaluarCondicion(const Value& formula, const Value& hVariables) {
  bool invalid = false;
  std::string text = ValorAString(formula);
  bool holds = interpreter_.CondicionText(text, hVariables.IsHash() ? hVariables : EmptyHash(), invalid);
  Value r = Value::NewHash();
  r.Set("lVisible", Value(holds));
  r.Set("cMotivo", Value(invalid ? "condicion no valida" : (holds ? "" : "condicion falsa")));
  return r;
}

Value TEvaluadorFormulas::CumpleCondicion(const Value& formula, const Value& hVariables) {
  bool invalid = false;
  return Value(
      interpreter_.CondicionText(ValorAString(formula), hVariables.IsHash() ? hVariables : EmptyHash(), invalid));
}

// ---- Engine functions ------------------------------------------------------------------------------

Value TEvaluadorFormulas::EsFuncionInternaMotor(const Value& nameValue) {
  return Value(EngineFunctions::IsEngineFunction(
      UpperTrim(nameValue.IsString() ? nameValue.AsString() : ValorAString(nameValue))));
}

Value TEvaluadorFormulas::ResolverFuncionInternaMotor(const Value& name, const Value& arguments,
                                                      const Value& hVariables) {
  std::vector<std::string> args;
  if (const ArrayPtr* a = arguments.ArrayRef()) {
    for (const Value& v : **a) args.push_back(ValorAString(v));
  }
  return engineFunctions_.Call(UpperTrim(ValorAString(name)), args, hVariables.IsHash() ? hVariables : EmptyHash());
}

// ---- Executable plans and simple accumulator plans ----------------------------------------------------

Value TEvaluadorFormulas::CompileFormulaPlan(const Value& formula) {
  std::string text =
      FormulaSplitter::QuitarParentesisExternos(formula.IsString() ? formula.AsString() : ValorAString(formula));
  // An empty formula evaluates to "" before any plan is consulted; a plan for it would give false.
  return planCompiler_.Compile(text);
}

Value TEvaluadorFormulas::EvaluateFormulaPlan(const Value& plan, const Value& hVariables) {
  if (!plan.IsHash()) return Value();
  const Value& vars = hVariables.IsHash() ? hVariables : EmptyHash();
  if (nProfundidad_ > 0) return planEvaluator_.EvaluateFormulaPlanInternal(plan, vars);
  // A plan evaluated from outside is a top-level evaluation, with its own budget and memo.
  BeginEvaluation();
  DepthGuard guard(nProfundidad_);
  return EndEvaluation(planEvaluator_.EvaluateFormulaPlanInternal(plan, vars));
}

Value TEvaluadorFormulas::CompileSimpleAccumulatorPlan(const Value& plan) {
  return SimpleAccumulatorPlans::Compile(plan);
}

Value TEvaluadorFormulas::SimpleAccumulatorFalseIsZero(const Value& simplePlan) {
  return Value(SimpleAccumulatorPlans::FalseIsZero(simplePlan));
}

Value TEvaluadorFormulas::EvaluateSimpleAccumulatorCondition(const Value& simplePlan, const Value& hVariables) {
  return Value(accumulatorPlans_.Condition(simplePlan, hVariables.IsHash() ? hVariables : EmptyHash()));
}

Value TEvaluadorFormulas::EvaluateSimpleAccumulatorValue(const Value& simplePlan, const Value& lCondition,
                                                         const Value& hVariables) {
  const bool holds = lCondition.IsTrue();
  return accumulatorPlans_.Choose(simplePlan, holds, hVariables.IsHash() ? hVariables : EmptyHash());
}

// ---- The function library ---------------------------------------------------------------------------

TFuncFormulas* TEvaluadorFormulas::Biblioteca() {
  Object* raw = oFuncFormulas.ObjectRaw();
  if (raw != libRaw_) {
    libRaw_ = raw;
    lib_ = dynamic_cast<TFuncFormulas*>(raw);
  }
  return lib_;
}

namespace {

// A library error text ("[Funcion ... ]") becomes the evaluator's last error as well.
bool IsLibraryError(const Value& result) {
  if (!result.IsString()) return false;
  const std::string& s = result.AsString();
  return s.size() >= 10 && s.back() == ']' && StartsWithIgnoreCase(s, 0, "[funcion ");
}

// The library's answer for either form of arguments. A name without a slot is no library
// function: the library answers it by name, and the arguments do not matter to that answer.
template <typename Values>
Value RunLibrary(TFuncFormulas& lib, const std::string& name, Values values, int slot) {
  return slot >= 0 ? lib.EjecutarSlot(slot, values) : lib.Ejecutar(std::string_view(name), std::span<const Value>());
}

}  // namespace

template <typename Values>
Value TEvaluadorFormulas::CallLibrary(const std::string& name, Values values, int slot) {
  TFuncFormulas* lib = Biblioteca();
  if (!lib) return ErrorText("[Funcion no implementada: " + name + "]");
  try {
    Value result = RunLibrary(*lib, name, values, slot);
    if (IsLibraryError(result)) return ErrorText(result.AsString());
    return result;
  } catch (const RuntimeError&) {
    return ErrorText("[Funcion " + name + " no valida]");
  }
}

template Value TEvaluadorFormulas::CallLibrary(const std::string&, std::span<const Value>, int);
template Value TEvaluadorFormulas::CallLibrary(const std::string&, std::span<const Value* const>, int);
}  // namespace nv

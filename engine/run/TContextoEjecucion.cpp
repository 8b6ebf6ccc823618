#include "run/TContextoEjecucion.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "Accessors.h"
#include "Hash.h"
#include "Runtime.h"
#include "run/FuenteVariables.h"
#include "formula/TEvaluadorFormulas.h"

namespace nv {

namespace {

// ---- Small helpers -------------------------------------------------------------------------------


// The integer part of a caller's number argument (nil and texts without a number give 0).
int64_t IntegerPart(const Value& v) { return ValorAEntero(v); }

// The integer part of an option that must be a number; another kind counts as absent.
int64_t NumberOption(const Value& options, std::string_view key, int64_t def) {
  Value v = HGet(options, key);
  if (!v.IsNumber()) return def;
  return ValorAEntero(v);
}

// The name without its leading blanks (space, tab, CR, LF) and trailing spaces.
std::string_view TrimmedName(std::string_view key) {
  size_t start = 0;
  while (start < key.size() &&
         (key[start] == ' ' || key[start] == '\t' || key[start] == '\r' || key[start] == '\n')) {
    ++start;
  }
  size_t end = key.size();
  while (end > start && key[end - 1] == ' ') --end;
  return key.substr(start, end - start);
}

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

// True when text, upper-cased, equals upper (already upper-cased); the sizes are equal.
bool EqualsUpperCased(std::string_view text, std::string_view upper) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (UpperAscii(text[i]) != upper[i]) return false;
  }
  return true;
}

// The trimmed, upper-cased form under which variable names are compared when frames overlay them.
void NormalizeNameInto(std::string_view key, std::string& out) {
  out.assign(TrimmedName(key));
  for (char& c : out) c = UpperAscii(c);
}

Value NewCopy(const Value& source) {
  // Copying the table keeps the order and every stored hash, so no key is hashed again.
  if (const HashPtr* h = source.HashRef()) return Value(std::make_shared<Hash>(**h));
  return Value::NewHash();
}

// A list word matches when it equals the judged text or begins with it.
bool MatchesWord(const std::string& text, std::initializer_list<std::string_view> words) {
  for (std::string_view word : words) {
    if (word.substr(0, text.size()) == text) return true;
  }
  return false;
}

// Truth of an accumulator condition evaluated through a general plan.
bool ConditionOutcome(const Value& result) {
  if (result.IsLogical()) return result.AsBool();
  std::string text = Upper(AllTrim(ValorAString(result)));
  if (!text.empty()) {
    if (MatchesWord(text, {".T.", "TRUE", "VERDADERO", "SI", "YES", "1"})) return true;
    if (MatchesWord(text, {".F.", "FALSE", "FALSO", "NO", "0"})) return false;
  }
  return !IsEmpty(result);
}

// Runs the restoring step when the evaluation block is left, also by a runtime error.
template <typename F>
class FinalStep {
 public:
  explicit FinalStep(F f) : f_(std::move(f)) {}
  ~FinalStep() { f_(); }
  FinalStep(const FinalStep&) = delete;
  FinalStep& operator=(const FinalStep&) = delete;

 private:
  F f_;
};

}  // namespace

// ---- Construction ---------------------------------------------------------------------------------

bool TContextoEjecucion::RespondsTo(std::string_view name) const {
  return NameIn(name, {"oConectorDatos",
                       "oEvaluador",
                       "aAvisos",
                       "aDescartados",
                       "hOpciones",
                       "aVariablesLocales",
                       "hAcumuladores",
                       "hAccumulatorFormulaPlans",
                       "aAccumulatorRuntimePlans",
                       "hVariablesCache",
                       "hDataVarRuntimeCache",
                       "nDataVarChangeCursor",
                       "nDataVarActiveIndex",
                       "nDataVarChangesCount",
                       "lDataVarChangesOrdered",
                       "nPaginaActual",
                       "nTotalPaginas",
                       "nIndiceRegistro",
                       "nTotalRegistros",
                       "hRegistroAnterior",
                       "hRegistroSiguiente",
                       "lEvaluatorStateSynchronized",
                       "nUltimoRegistroConsumido",
                       "hContinuacionesTabla",
                       "cErrorCriticoComposicion",
                       "lCreated",
                       "lCancelado",
                       "oCacheImagenes",
                       "New",
                       "Init",
                       "Create",
                       "SetConectorDatos",
                       "SetEvaluador",
                       "SetOpciones",
                       "GetVariables",
                       "GetData",
                       "PushVariablesLocales",
                       "PopVariablesLocales",
                       "SetEstadoPagina",
                       "PushRegistroDetalle",
                       "PopRegistroDetalle",
                       "EntrarRegistroEtiqueta",
                       "ResetAcumuladores",
                       "GetAcumuladores",
                       "MarcarRegistroDetalleConsumido",
                       "GetRegistrosDetalleConsumidosRuntime",
                       "GetContinuacionTabla",
                       "SetContinuacionTabla",
                       "ClearContinuacionTabla",
                       "GetContinuacionesTabla",
                       "ResetAcumuladoresSeleccionados",
                       "AcumularDetalle",
                       "EvaluarTexto",
                       "EvaluarFormula",
                       "EvaluarFormulaConEstado",
                       "CompilarPlanFormula",
                       "EvaluarPlanFormula",
                       "EvaluarPlanFormulaConEstado",
                       "CumpleCondicion",
                       "CumpleCondicionConEstado",
                       "EvaluarCondicion",
                       "EvaluarCondicionConEstado",
                       "SetErrorCriticoComposicion",
                       "HasErrorCriticoComposicion",
                       "GetErrorCriticoComposicion",
                       "CapaActiva",
                       "DescartarObjeto",
                       "AddAviso",
                       "GetAvisos",
                       "GetDescartados",
                       "GetOpciones",
                       "GetModoEjecucion",
                       "EsModoDisenador",
                       "TieneProgreso",
                       "InformarRegistroExaminado",
                       "InformarPaginaGenerada",
                       "ResetEstadoEjecucion",
                       "SincronizarEstadoEvaluador",
                       "VariablesConector",
                       "VariablesDataVarRuntime",
                       "ResetDataVarRuntimeCache",
                       "DataConector",
                       "InvalidarVariables",
                       "PrepareAccumulatorRuntimePlans"}) ||
         Object::RespondsTo(name);
}

std::shared_ptr<TContextoEjecucion> TContextoEjecucion::Self() {
  return std::static_pointer_cast<TContextoEjecucion>(shared_from_this());
}

std::shared_ptr<TContextoEjecucion> TContextoEjecucion::New(const Value& oConectorDatos, const Value& oEvaluador,
                                                             const Value& hOpciones) {
  auto context = std::make_shared<TContextoEjecucion>();
  context->Init(oConectorDatos, oEvaluador, hOpciones);
  return context;
}

void TContextoEjecucion::RefreshEvaluator() { evaluator_ = oEvaluador.As<TEvaluadorFormulas>(); }

void TContextoEjecucion::RefreshConector() {
  variablesConector_ = nv::RespondsTo(oConectorDatos, "GetVariables") ? oConectorDatos.As<FuenteVariables>() : nullptr;
  datosConector_ = nv::RespondsTo(oConectorDatos, "GetData") ? oConectorDatos.As<FuenteVariables>() : nullptr;
}

std::shared_ptr<TContextoEjecucion> TContextoEjecucion::Init(const Value& conector, const Value& evaluador,
                                                              const Value& opciones) {
  Reset(conector, evaluador, opciones);
  return Self();
}

void TContextoEjecucion::Reset(const Value& conector, const Value& evaluador, const Value& opciones) {
  oConectorDatos = conector;
  oEvaluador = evaluador;
  RefreshConector();
  RefreshEvaluator();
  hOpciones = opciones.IsHash() ? opciones : Value::NewHash();
  aAvisos = Value::NewArray();
  aDescartados = Value::NewArray();
  aVariablesLocales = Value::NewArray();
  aAccumulatorRuntimePlans.clear();
  hAcumuladores = Value::NewHash();
  hAccumulatorFormulaPlans = Value::NewHash();
  hContinuacionesTabla = Value::NewHash();
  cErrorCriticoComposicion.clear();
  lCancelado = false;
  oCacheImagenes = Value();
  hVariablesCache = Value();
  lEvaluatorStateSynchronized = false;
  ResetDataVarRuntimeCache();
  ResetEstadoEjecucion();
  lCreated = false;
}

std::shared_ptr<TContextoEjecucion> TContextoEjecucion::Create() {
  if (oConectorDatos.IsNil() || oEvaluador.IsNil()) return nullptr;
  if (evaluator_ != nullptr) evaluator_->SetOpciones(hOpciones);
  aAvisos = Value::NewArray();
  aDescartados = Value::NewArray();
  aVariablesLocales = Value::NewArray();
  Value iniciales = HGet(hOpciones, "hAcumuladoresIniciales");
  // The host's own hash is kept, so the host sees the running values.
  hAcumuladores = iniciales.IsHash() ? iniciales : Value::NewHash();
  Value continuaciones = HGet(hOpciones, "hContinuacionesTabla");
  hContinuacionesTabla = continuaciones.IsHash() ? continuaciones.Clone() : Value::NewHash();
  cErrorCriticoComposicion.clear();
  lCancelado = false;
  oCacheImagenes = Value();
  nIndiceRegistro = -1;
  nTotalRegistros = 0;
  hRegistroAnterior = Value::NewHash();
  hRegistroSiguiente = Value::NewHash();
  nUltimoRegistroConsumido = -1;
  InvalidarVariables();
  SetEstadoPagina(Value::Int(NumberOption(hOpciones, "nPaginaActualRuntime", 1)),
                  Value::Int(NumberOption(hOpciones, "nTotalPaginasRuntime", 1)));
  PrepareAccumulatorRuntimePlans();
  nConditionEvaluations_ = 0;
  lCreated = true;
  return Self();
}

Value TContextoEjecucion::End() {
  Reset(Value(), Value(), Value());
  syncState_ = Value();
  return Value();
}

std::shared_ptr<TContextoEjecucion> TContextoEjecucion::SetConectorDatos(const Value& conector) {
  oConectorDatos = conector;
  RefreshConector();
  InvalidarVariables();
  return Self();
}

std::shared_ptr<TContextoEjecucion> TContextoEjecucion::SetEvaluador(const Value& evaluador) {
  oEvaluador = evaluador;
  RefreshEvaluator();
  hAccumulatorFormulaPlans = Value::NewHash();
  aAccumulatorRuntimePlans.clear();
  lEvaluatorStateSynchronized = false;
  if (evaluator_ != nullptr) evaluator_->SetOpciones(hOpciones);
  InvalidarVariables();
  return Self();
}

std::shared_ptr<TContextoEjecucion> TContextoEjecucion::SetOpciones(const Value& opciones) {
  hOpciones = opciones.IsHash() ? opciones : Value::NewHash();
  aAccumulatorRuntimePlans.clear();
  lEvaluatorStateSynchronized = false;
  if (evaluator_ != nullptr) evaluator_->SetOpciones(hOpciones);
  InvalidarVariables();
  return Self();
}

// ---- Variables --------------------------------------------------------------------------------------

Value TContextoEjecucion::VariablesConector() {
  if (variablesConector_ != nullptr) {
    Value vars = variablesConector_->GetVariables();
    if (vars.IsHash()) return vars;
  }
  return Value::NewHash();
}

Value TContextoEjecucion::DataConector() {
  if (datosConector_ != nullptr) {
    Value data = datosConector_->GetData();
    if (data.IsHash()) return data;
  }
  return Value::NewHash();
}

Value TContextoEjecucion::GetData() { return DataConector(); }

Value TContextoEjecucion::HashMerge(const Value& a, const Value& b) {
  Value result = NewCopy(a);
  if (const HashPtr* h = b.HashRef()) {
    Hash& target = result.AsHash();
    for (const auto& entry : **h) target.Put(entry.first, entry.second);
  }
  return result;
}

Value TContextoEjecucion::HashMergeVariables(const Value& base, const Value& overlay) {
  const HashPtr* over = overlay.HashRef();
  if (over == nullptr || (*over)->empty()) return NewCopy(base);
  std::vector<std::string> normalized;
  normalized.reserve((*over)->size());
  std::unordered_set<std::string_view> names;
  names.reserve((*over)->size() * 2);
  for (const auto& entry : **over) {
    normalized.emplace_back();
    NormalizeNameInto(entry.first, normalized.back());
  }
  for (const std::string& name : normalized) names.insert(name);

  Value result = Value::NewHash();
  Hash& target = result.AsHash();
  if (const HashPtr* b = base.HashRef()) {
    target.reserve((*b)->size() + (*over)->size());
    std::string buffer;
    for (const auto& entry : **b) {
      NormalizeNameInto(entry.first, buffer);
      if (names.count(buffer) == 0) target.Put(entry.first, entry.second);
    }
  }
  for (const auto& entry : **over) target.Put(entry.first, entry.second);
  return result;
}

namespace {

// True when two variable names are the same under the trimmed, upper-cased comparison of frames.
bool SameVariableName(std::string_view a, std::string_view b) {
  a = TrimmedName(a);
  b = TrimmedName(b);
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  }
  return true;
}

// The usual case of a record frame: the set ends with the frame's own keys, exactly and in the
// frame's order (the connector's variables start with the first record), and no earlier key of
// the set matches one of them. Removing the matched keys and appending the frame then gives the
// same keys in the same order, so the values are replaced in place. False when the case does not
// hold; the set is then unchanged.
bool ReplaceFrameTail(Hash& target, const Hash& frame) {
  const size_t k = frame.size();
  const size_t n = target.size();
  if (k > n) return false;
  const size_t start = n - k;
  for (size_t j = 0; j < k; ++j) {
    if (target.nth(start + j)->first != frame.nth(j)->first) return false;
  }
  for (size_t i = 0; i < start; ++i) {
    const std::string_view key = target.nth(i)->first;
    for (size_t j = 0; j < k; ++j) {
      if (SameVariableName(key, frame.nth(j)->first)) return false;
    }
  }
  for (size_t j = 0; j < k; ++j) target.nth(start + j).value() = frame.nth(j)->second;
  return true;
}

// HashMergeVariables applied in place to a set this context owns: the entries whose names an
// overlay key matches are removed, then the overlay entries are appended, which gives the same
// keys in the same order without copying the whole set for every frame.
void MergeVariablesInto(Value& set, const Value& overlay) {
  const HashPtr* over = overlay.HashRef();
  if (over == nullptr || (*over)->empty()) return;
  constexpr size_t kTailLimit = 16;
  if ((*over)->size() <= kTailLimit && ReplaceFrameTail(set.AsHash(), **over)) return;
  std::vector<std::string> normalized;
  normalized.reserve((*over)->size());
  for (const auto& entry : **over) {
    normalized.emplace_back();
    NormalizeNameInto(entry.first, normalized.back());
  }
  // A record or a frame has a few fields, compared in place against each key of the set without
  // building its normalised form; many fields get a set of normalised names.
  constexpr size_t kListLimit = 16;
  std::unordered_set<std::string_view> names;
  if (normalized.size() > kListLimit) names.insert(normalized.begin(), normalized.end());
  std::string buffer;
  auto isOverlaid = [&](std::string_view key) {
    if (normalized.size() > kListLimit) {
      NormalizeNameInto(key, buffer);
      return names.count(buffer) != 0;
    }
    const std::string_view trimmed = TrimmedName(key);
    for (const std::string& name : normalized) {
      if (name.size() == trimmed.size() && EqualsUpperCased(trimmed, name)) return true;
    }
    return false;
  };

  Hash& target = set.AsHash();
  std::vector<std::string> matched;
  for (const auto& entry : target) {
    if (isOverlaid(entry.first)) matched.push_back(entry.first);
  }
  // Removing from an ordered hash shifts the later entries; past a few matches one copy is cheaper.
  if (matched.size() > 8) {
    set = TContextoEjecucion::HashMergeVariables(set, overlay);
    return;
  }
  for (const std::string& key : matched) target.Erase(key);
  target.reserve(target.size() + (*over)->size());  // one regrowth for the whole frame
  for (const auto& entry : **over) target.Put(entry.first, entry.second);
}

}  // namespace

Value TContextoEjecucion::ResetDataVarRuntimeCache() {
  hDataVarRuntimeCache = Value::NewHash();
  nDataVarChangeCursor = 0;
  nDataVarActiveIndex = -1;
  nDataVarChangesCount = -1;
  lDataVarChangesOrdered = Value();
  return Value();
}

namespace {

int64_t ChangeIndex(const Value& change) {
  Value index = HGet(change, "nIndiceDetalle");
  return index.IsNumber() ? ValorAEntero(index) : 0;
}

void ApplyChange(const Value& change, Hash& target) {
  Value variables = HGet(change, "hVariables");
  if (const HashPtr* h = variables.HashRef()) {
    for (const auto& entry : **h) target.Put(entry.first, entry.second);
  }
}

}  // namespace

Value TContextoEjecucion::VariablesDataVarRuntime() {
  Value changes = HGet(hOpciones, "aDataVarChangesRuntime");
  if (!changes.IsArray()) return Value::NewHash();
  const Array& list = changes.AsArray();
  const int64_t count = static_cast<int64_t>(list.size());

  int64_t target;
  if (nIndiceRegistro >= 0) {
    target = nIndiceRegistro;
  } else if (nUltimoRegistroConsumido >= 0) {
    target = nUltimoRegistroConsumido;
  } else {
    target = std::max<int64_t>(0, NumberOption(hOpciones, "nRegistroBase", 0));
  }

  if (count != nDataVarChangesCount) {
    ResetDataVarRuntimeCache();
    nDataVarChangesCount = count;
  }
  if (!lDataVarChangesOrdered.IsLogical()) {
    bool ordered = true;
    bool havePrevious = false;
    int64_t previous = 0;
    for (const Value& change : list) {
      if (!change.IsHash()) continue;
      int64_t index = ChangeIndex(change);
      if (havePrevious && index < previous) {
        ordered = false;
        break;
      }
      previous = index;
      havePrevious = true;
    }
    lDataVarChangesOrdered = Value(ordered);
  }

  if (lDataVarChangesOrdered.AsBool()) {
    // Records usually advance, so only the changes not yet applied are looked at; moving back
    // starts over from the first change.
    if (target < nDataVarActiveIndex) {
      hDataVarRuntimeCache = Value::NewHash();
      nDataVarChangeCursor = 0;
    }
    Hash& cache = hDataVarRuntimeCache.AsHash();
    while (nDataVarChangeCursor < count) {
      const Value& change = list[static_cast<size_t>(nDataVarChangeCursor)];
      if (change.IsHash()) {
        if (ChangeIndex(change) > target) break;
        ApplyChange(change, cache);
      }
      ++nDataVarChangeCursor;
    }
  } else {
    hDataVarRuntimeCache = Value::NewHash();
    Hash& cache = hDataVarRuntimeCache.AsHash();
    for (const Value& change : list) {
      if (change.IsHash() && ChangeIndex(change) <= target) ApplyChange(change, cache);
    }
  }
  nDataVarActiveIndex = target;
  return hDataVarRuntimeCache;
}

Value TContextoEjecucion::InvalidarVariables() {
  hVariablesCache = Value();
  if (evaluator_ != nullptr) evaluator_->ClearResolvedVariableCache();
  return Value();
}

Value TContextoEjecucion::BuildBaseVariables() {
  Value set = NewCopy(VariablesConector());
  // Without a change list there is nothing to overlay, and no empty hash is built for it.
  const HashPtr* options = hOpciones.HashRef();
  const Value* changes = options != nullptr ? (*options)->Find("aDataVarChangesRuntime") : nullptr;
  if (changes != nullptr && changes->IsArray()) {
    Value runtime = VariablesDataVarRuntime();
    if (runtime.Len() > 0) MergeVariablesInto(set, runtime);
  }
  Value userVars = HGet(hOpciones, "hUserVars");
  if (const HashPtr* defs = userVars.HashRef()) {
    Hash& target = set.AsHash();
    for (const auto& entry : **defs) {
      if (!entry.second.IsHash()) continue;
      target.Put("VAR." + entry.first, Value(ValorAString(HGet(entry.second, "formula"))));
    }
  }
  return set;
}

Value TContextoEjecucion::BuildVariables() {
  Value set = BuildBaseVariables();
  Value userVars = HGet(hOpciones, "hUserVars");
  Value acumVars = HGet(hOpciones, "hAcumVars");
  if (const HashPtr* defs = acumVars.HashRef()) {
    Hash& target = set.AsHash();
    for (const auto& entry : **defs) {
      if (!entry.second.IsHash()) continue;
      std::string key = "SUM." + entry.first;
      target.Put(key, HashGetExact(hAcumuladores, key, Value::Int(0)));
    }
  }
  for (const Value& frame : aVariablesLocales.AsArray()) MergeVariablesInto(set, frame);

  if (evaluator_ != nullptr) {
    if (const HashPtr* defs = userVars.HashRef()) {
      Hash& target = set.AsHash();
      for (const auto& entry : **defs) {
        if (!entry.second.IsHash() || target.Find(entry.first) != nullptr) continue;
        Value formula = Value(ValorAString(HGet(entry.second, "formula")));
        Value value = AllTrim(formula.AsString()).empty() ? Value("") : evaluator_->EvaluarFormula(formula, set);
        target.Put(entry.first, value);
      }
    }
  }
  return set;
}

Value TContextoEjecucion::GetVariables() {
  if (!hVariablesCache.IsHash()) hVariablesCache = BuildVariables();
  return hVariablesCache;
}

Value TContextoEjecucion::PushVariablesLocales(const Value& hFrame) {
  aVariablesLocales.Append(hFrame.IsHash() ? hFrame : Value::NewHash());
  InvalidarVariables();
  return Value();
}

Value TContextoEjecucion::PopVariablesLocales() {
  Array& frames = aVariablesLocales.AsArray();
  if (!frames.empty()) {
    frames.pop_back();
    InvalidarVariables();
  }
  return Value();
}

// ---- Page and record state ------------------------------------------------------------------------

Value TContextoEjecucion::ResetEstadoEjecucion() {
  nPaginaActual = 1;
  nTotalPaginas = 1;
  nIndiceRegistro = -1;
  nTotalRegistros = 0;
  hRegistroAnterior = Value::NewHash();
  hRegistroSiguiente = Value::NewHash();
  lEvaluatorStateSynchronized = false;
  nUltimoRegistroConsumido = -1;
  return Value();
}

std::shared_ptr<TContextoEjecucion> TContextoEjecucion::SetEstadoPagina(const Value& nPagina, const Value& nTotal) {
  nPaginaActual = std::max<int64_t>(1, IntegerPart(nPagina));
  nTotalPaginas = nTotal.IsNil() ? 1 : std::max<int64_t>(1, IntegerPart(nTotal));
  lEvaluatorStateSynchronized = false;
  InvalidarVariables();
  SincronizarEstadoEvaluador();
  return Self();
}

Value TContextoEjecucion::PushRegistroDetalle(const Value& hRegistro, const Value& nIndice, const Value& nTotal,
                                              const Value& hAnterior, const Value& hSiguiente) {
  nIndiceRegistro = std::max<int64_t>(0, IntegerPart(nIndice));
  nTotalRegistros = std::max<int64_t>(0, IntegerPart(nTotal));
  hRegistroAnterior = hAnterior.IsHash() ? hAnterior : Value::NewHash();
  hRegistroSiguiente = hSiguiente.IsHash() ? hSiguiente : Value::NewHash();
  lEvaluatorStateSynchronized = false;
  PushVariablesLocales(hRegistro);
  SincronizarEstadoEvaluador();
  return Value();
}

Value TContextoEjecucion::EntrarRegistroEtiqueta(int64_t nPagina, int64_t nTotalPaginasRun, const Value& hRegistro,
                                                  int64_t nIndice, int64_t nTotal, const Value& hAnterior,
                                                  const Value& hSiguiente) {
  nPaginaActual = std::max<int64_t>(1, nPagina);
  nTotalPaginas = std::max<int64_t>(1, nTotalPaginasRun);
  nIndiceRegistro = std::max<int64_t>(0, nIndice);
  nTotalRegistros = std::max<int64_t>(0, nTotal);
  hRegistroAnterior = hAnterior.IsHash() ? hAnterior : Value::NewHash();
  hRegistroSiguiente = hSiguiente.IsHash() ? hSiguiente : Value::NewHash();
  lEvaluatorStateSynchronized = false;
  PushVariablesLocales(hRegistro);  // also drops the variable set, as SetEstadoPagina does
  SincronizarEstadoEvaluador();
  return Value();
}

Value TContextoEjecucion::PopRegistroDetalle() {
  PopVariablesLocales();
  nIndiceRegistro = -1;
  nTotalRegistros = 0;
  hRegistroAnterior = Value::NewHash();
  hRegistroSiguiente = Value::NewHash();
  lEvaluatorStateSynchronized = false;
  return Value();
}

Value TContextoEjecucion::SincronizarEstadoEvaluador(const Value& hEstado) {
  if (evaluator_ == nullptr) return Value();
  const bool override = hEstado.IsHash();
  if (!override && lEvaluatorStateSynchronized) return Value();
  // Sent twice per label in label runs, so the state is filled by position into the last one sent
  // (when nobody kept it) or into a copied key shape.
  static constexpr std::string_view kKeys[] = {"nPaginaActual",   "nTotalPaginas",     "lTotalPaginasConocido",
                                               "nIndiceRegistro", "nTotalRegistros",   "hRegistroAnterior",
                                               "hRegistroSiguiente", "hPaginacionPorClave"};
  static const Hash shape = Hash::Shape(kKeys, std::size(kKeys));
  HashPtr fields = Hash::RefillableOrCopyOfShape(syncState_, shape);
  ShapeFiller put(*fields);
  put("nPaginaActual", Value::Int(nPaginaActual));
  put("nTotalPaginas", Value::Int(nTotalPaginas));
  Value conocido = HGet(hOpciones, "lTotalPaginasConocido");
  put("lTotalPaginasConocido", Value(conocido.IsLogical() ? conocido.AsBool() : true));
  put("nIndiceRegistro", Value::Int(nIndiceRegistro));
  put("nTotalRegistros", Value::Int(nTotalRegistros));
  put("hRegistroAnterior", hRegistroAnterior);
  put("hRegistroSiguiente", hRegistroSiguiente);
  Value porClave = HGet(hOpciones, "hPaginacionPorClaveRuntime");
  put("hPaginacionPorClave", porClave.IsHash() ? porClave : Value::NewHash());
  Value state(std::move(fields));
  syncState_ = state;
  if (override) state = HashMerge(state, hEstado);
  evaluator_->SetEstadoEjecucion(state);
  // After an override the next plain synchronization must send the base state again.
  lEvaluatorStateSynchronized = !override;
  return Value();
}

Value TContextoEjecucion::MarcarRegistroDetalleConsumido(const Value& nIndice) {
  nUltimoRegistroConsumido = std::max(nUltimoRegistroConsumido, IntegerPart(nIndice));
  InvalidarVariables();
  return Value();
}

Value TContextoEjecucion::GetRegistrosDetalleConsumidosRuntime() {
  int64_t base = std::max<int64_t>(0, NumberOption(hOpciones, "nRegistroBase", 0));
  if (nUltimoRegistroConsumido >= base) return Value::Int(nUltimoRegistroConsumido - base + 1);
  return Value::Int(0);
}

// ---- Table continuations --------------------------------------------------------------------------

Value TContextoEjecucion::GetContinuacionTabla(const Value& cId) {
  Value stored = HGet(hContinuacionesTabla, ValorAString(cId));
  return stored.IsHash() ? stored : Value::NewHash();
}

std::shared_ptr<TContextoEjecucion> TContextoEjecucion::SetContinuacionTabla(const Value& cId, const Value& nRegistro,
                                                                              const Value& nLinea) {
  Value entry = Value::NewHash();
  entry.Set("nRegistro", Value::Int(std::max<int64_t>(0, IntegerPart(nRegistro))));
  entry.Set("nLinea", Value::Int(std::max<int64_t>(0, IntegerPart(nLinea))));
  hContinuacionesTabla.Set(ValorAString(cId), entry);
  return Self();
}

Value TContextoEjecucion::ClearContinuacionTabla(const Value& cId) {
  hContinuacionesTabla.Remove(ValorAString(cId));
  return Value();
}

Value TContextoEjecucion::GetContinuacionesTabla() { return hContinuacionesTabla.Clone(); }

// ---- Accumulators ---------------------------------------------------------------------------------

std::shared_ptr<TContextoEjecucion> TContextoEjecucion::ResetAcumuladores() {
  if (HGet(hOpciones, "lOmitirResetInicialAcumuladores").IsTrue()) {
    hOpciones.Set("lOmitirResetInicialAcumuladores", Value(false));
    return Self();
  }
  hAcumuladores = Value::NewHash();
  InvalidarVariables();
  return Self();
}

Value TContextoEjecucion::GetAcumuladores() { return hAcumuladores; }

std::shared_ptr<TContextoEjecucion> TContextoEjecucion::ResetAcumuladoresSeleccionados(const Value& aNombres) {
  if (!aNombres.IsArray()) return Self();
  for (const Value& name : aNombres.AsArray()) {
    if (!name.IsString() || name.AsString().empty()) continue;
    const std::string& text = name.AsString();
    hAcumuladores.Set(StartsWith(text, "SUM.") ? text : "SUM." + text, Value::Int(0));
  }
  InvalidarVariables();
  return Self();
}

bool TContextoEjecucion::EsAcumulable(const Value& v) {
  if (v.IsNumber()) return true;
  if (!v.IsString()) return false;
  std::string text = AllTrim(v.AsString());
  return !text.empty() && Val(text).AsDouble() != 0.0;
}

Value TContextoEjecucion::PrepareAccumulatorRuntimePlans() {
  aAccumulatorRuntimePlans.clear();
  Value definitions = HGet(hOpciones, "hAcumVars");
  const HashPtr* defs = definitions.HashRef();
  if (defs == nullptr) return Value();
  for (const auto& entry : **defs) {
    if (!entry.second.IsHash()) continue;
    std::string key = "SUM." + entry.first;
    std::string formula = ValorAString(HGet(entry.second, "formula"));

    Value plan;
    if (const Value* cached = hAccumulatorFormulaPlans.AsHash().Find(formula)) {
      plan = *cached;
    } else {
      Value compiled = evaluator_ != nullptr ? evaluator_->CompileFormulaPlan(Value(formula)) : Value();
      if (compiled.IsHash() && ValorAString(HGet(compiled, "tipo")) == "if") {
        compiled.Set("_conditionKey", Value(LiteralText(HGet(compiled, "condition"))));
      }
      plan = compiled.IsHash() ? compiled : Value(false);
      hAccumulatorFormulaPlans.Set(formula, plan);
    }

    const bool isIfPlan = plan.IsHash() && ValorAString(HGet(plan, "tipo")) == "if";
    std::string conditionKey = isIfPlan ? ValorAString(HGet(plan, "_conditionKey")) : "";
    const bool usePlan = plan.IsHash() && evaluator_ != nullptr;
    const bool isIf = usePlan && isIfPlan;
    Value simple = isIfPlan && evaluator_ != nullptr ? evaluator_->CompileSimpleAccumulatorPlan(plan) : Value();
    const bool simpleUsable = simple.IsArray();
    const bool falseIsZero = simple.IsArray() && evaluator_->SimpleAccumulatorFalseIsZero(simple).IsTrue();

    AccumulatorRuntimePlan& runtimePlan = aAccumulatorRuntimePlans.emplace_back();
    runtimePlan.key = std::move(key);
    runtimePlan.formula = Value(std::move(formula));
    runtimePlan.plan = plan;
    runtimePlan.conditionKey = std::move(conditionKey);
    runtimePlan.isIf = isIf;
    runtimePlan.usePlan = usePlan;
    runtimePlan.simplePlan = std::move(simple);
    runtimePlan.simpleUsable = simpleUsable;
    runtimePlan.falseIsZero = falseIsZero;
  }
  return Value();
}

Value TContextoEjecucion::BuildAccumulationVariables() {
  Value set = BuildBaseVariables();
  if (const HashPtr* values = hAcumuladores.HashRef()) {
    Hash& target = set.AsHash();
    target.reserve(target.size() + (*values)->size());  // one regrowth for all the totals
    for (const auto& entry : **values) target.Put(entry.first, entry.second);
  }
  for (const Value& frame : aVariablesLocales.AsArray()) MergeVariablesInto(set, frame);
  return set;
}

std::shared_ptr<TContextoEjecucion> TContextoEjecucion::AcumularDetalle() {
  if (evaluator_ == nullptr) return Self();
  SincronizarEstadoEvaluador();
  const Value variables = hVariablesCache.IsHash() ? hVariablesCache : BuildAccumulationVariables();
  // One evaluation per distinct condition and record, shared by the accumulators that test it.
  // A template has a handful of conditions, so they are kept in a list.
  std::vector<std::pair<std::string, bool>> conditions;
  auto findCondition = [&conditions](const std::string& conditionKey) {
    return std::find_if(conditions.begin(), conditions.end(),
                        [&conditionKey](const auto& entry) { return entry.first == conditionKey; });
  };
  for (const AccumulatorRuntimePlan& runtimePlan : aAccumulatorRuntimePlans) {
    const std::string& key = runtimePlan.key;
    const Value& formula = runtimePlan.formula;
    const Value& plan = runtimePlan.plan;
    const std::string& conditionKey = runtimePlan.conditionKey;
    const bool isIf = runtimePlan.isIf;
    const bool usePlan = runtimePlan.usePlan;
    const Value& simple = runtimePlan.simplePlan;
    const bool simpleUsable = runtimePlan.simpleUsable;
    const bool falseIsZero = runtimePlan.falseIsZero;

    Value value;
    if (simpleUsable) {
      bool condition;
      auto found = conditionKey.empty() ? conditions.end() : findCondition(conditionKey);
      if (found != conditions.end()) {
        condition = found->second;
      } else {
        condition = evaluator_->EvaluateSimpleAccumulatorCondition(simple, variables).IsTrue();
        ++nConditionEvaluations_;
        if (!conditionKey.empty()) conditions.emplace_back(conditionKey, condition);
      }
      if (!condition && falseIsZero) continue;
      value = evaluator_->EvaluateSimpleAccumulatorValue(simple, Value(condition), variables);
    } else if (usePlan) {
      if (isIf && !conditionKey.empty()) {
        bool condition;
        auto found = findCondition(conditionKey);
        if (found != conditions.end()) {
          condition = found->second;
        } else {
          condition = ConditionOutcome(evaluator_->EvaluateFormulaPlan(HGet(plan, "condition"), variables));
          ++nConditionEvaluations_;
          conditions.emplace_back(conditionKey, condition);
        }
        value = evaluator_->EvaluateFormulaPlan(HGet(plan, condition ? "true" : "false"), variables);
      } else {
        value = evaluator_->EvaluateFormulaPlan(plan, variables);
      }
    } else {
      value = evaluator_->EvaluarFormula(formula, variables);
    }

    if (!EsAcumulable(value)) continue;
    Value addend = value.IsNumber() && value.AsNumber().isInteger ? value : Value(Val(ValorAString(value)));
    Hash& totals = hAcumuladores.AsHash();
    if (Value* slot = totals.Find(key)) {
      // The running total is updated where it stands.
      *slot = OpAdd(slot->IsNumber() ? *slot : ValorANumero(*slot), addend);
    } else {
      totals.Put(key, OpAdd(Value::Int(0), addend));
    }
  }
  InvalidarVariables();
  return Self();
}

// ---- Evaluation -----------------------------------------------------------------------------------

Value TContextoEjecucion::EvaluarTexto(const Value& formula) {
  SincronizarEstadoEvaluador();
  if (evaluator_ == nullptr) return formula;
  return evaluator_->EvaluarTexto(formula, GetVariables());
}

Value TContextoEjecucion::EvaluarFormula(const Value& formula) {
  SincronizarEstadoEvaluador();
  if (evaluator_ == nullptr) return formula;
  return evaluator_->Evaluar(formula, GetVariables());
}

uint64_t TContextoEjecucion::PageStateReads() const {
  return evaluator_ != nullptr ? evaluator_->PageStateReads() : 0;
}

Value TContextoEjecucion::EvaluarFormulaConEstado(const Value& formula) {
  return EvaluarPlanFormulaConEstado(Value(), formula);
}

Value TContextoEjecucion::CompilarPlanFormula(const Value& formula) {
  if (evaluator_ == nullptr) return Value();
  return evaluator_->CompileFormulaPlan(formula);
}

Value TContextoEjecucion::EvaluarPlanFormula(const Value& plan, const Value& formula) {
  SincronizarEstadoEvaluador();
  if (evaluator_ == nullptr) return formula;
  Value variables = GetVariables();
  evaluator_->ResetLastError();
  if (plan.IsHash()) return evaluator_->EvaluateFormulaPlan(plan, variables);
  return evaluator_->Evaluar(formula, variables);
}

Value TContextoEjecucion::EvaluarPlanFormulaConEstado(const Value& plan, const Value& formula) {
  EstadoFormula status = EvaluarPlanFormulaConEstadoTipado(plan, formula);
  Value result = Value::NewHash();
  Hash& hash = result.AsHash();
  hash.reserve(3);
  hash.Put("valor", std::move(status.valor));
  hash.Put("lError", Value(status.lError));
  hash.Put("cError", Value(std::move(status.cError)));
  return result;
}

TContextoEjecucion::EstadoFormula TContextoEjecucion::EvaluarPlanFormulaConEstadoTipado(const Value& plan,
                                                                                       const Value& formula) {
  EstadoFormula status;
  if (evaluator_ == nullptr) {
    status.valor = formula;
    return status;
  }
  evaluator_->ResetLastError();
  try {
    status.valor = EvaluarPlanFormula(plan, formula);
    status.lError = evaluator_->EsResultadoError(formula, status.valor).IsTrue();
    if (status.lError) status.cError = ValorAString(evaluator_->GetLastError());
  } catch (const RuntimeError& error) {
    // A runtime error inside a formula is reported as that formula's failure instead of ending
    // the run.
    status.lError = true;
    status.cError = "[" + error.Description() + "]";
    status.valor = Value(status.cError);
  }
  if (status.lError) AddAviso(Value("Error de formula: " + ValorAString(formula) + " -> " + status.cError));
  return status;
}

Value TContextoEjecucion::CumpleCondicion(const Value& formula) {
  SincronizarEstadoEvaluador();
  if (evaluator_ == nullptr) return Value(true);
  return evaluator_->CumpleCondicion(formula, GetVariables());
}

Value TContextoEjecucion::CumpleCondicionConEstado(const Value& formula, const Value& hEstado) {
  return Value(HGet(EvaluarCondicionConEstado(formula, hEstado), "lVisible").IsTrue());
}

Value TContextoEjecucion::EvaluarCondicion(const Value& formula) { return EvaluarCondicionConEstado(formula, Value()); }

Value TContextoEjecucion::EvaluarCondicionConEstado(const Value& formula, const Value& hEstado) {
  Value result = Value::NewHash();
  result.Set("lVisible", Value(true));
  result.Set("cMotivo", Value(""));
  result.Set("lError", Value(false));
  result.Set("cError", Value(""));
  if (evaluator_ == nullptr) return result;

  SincronizarEstadoEvaluador(hEstado);
  {
    // Whatever happens while judging, the evaluator gets the base state back.
    FinalStep restore([this] { SincronizarEstadoEvaluador(); });
    bool lError = false;
    std::string cError;
    try {
      Value variables = GetVariables();
      evaluator_->ResetLastError();
      Value answer = evaluator_->EvaluarCondicion(formula, variables);
      if (answer.IsHash()) {
        for (const auto& entry : answer.AsHash()) result.Set(entry.first, entry.second);
      } else {
        result.Set("lVisible", Value(false));
        result.Set("cMotivo", Value("condicion no valida"));
      }
      lError = evaluator_->EsResultadoError(formula, HGet(result, "lVisible")).IsTrue();
      if (lError) cError = ValorAString(evaluator_->GetLastError());
    } catch (const RuntimeError& error) {
      // A runtime error while judging makes the condition invalid instead of ending the run.
      lError = true;
      cError = "[" + error.Description() + "]";
    }
    if (lError) {
      result.Set("lVisible", Value(false));
      result.Set("cMotivo", Value("condicion no valida"));
    }
    result.Set("lError", Value(lError));
    result.Set("cError", Value(cError));
  }
  return result;
}

// ---- Warnings, discards, critical error, modes and progress ----------------------------------------

std::shared_ptr<TContextoEjecucion> TContextoEjecucion::SetErrorCriticoComposicion(const Value& cError) {
  std::string text = AllTrim(ValorAString(cError));
  if (cErrorCriticoComposicion.empty() && !text.empty()) {
    cErrorCriticoComposicion = text;
    AddAviso(Value(text));
  }
  return Self();
}

Value TContextoEjecucion::HasErrorCriticoComposicion() { return Value(!cErrorCriticoComposicion.empty()); }

Value TContextoEjecucion::GetErrorCriticoComposicion() { return Value(cErrorCriticoComposicion); }

Value TContextoEjecucion::CapaActiva(const Value&) { return Value(true); }

Value TContextoEjecucion::DescartarObjeto(const Value&, const Value& cMotivo) {
  Value record = Value::NewHash();
  record.Set("id", Value(""));
  record.Set("tipo", Value(""));
  record.Set("nombre", Value(""));
  record.Set("motivo", cMotivo);
  record.Set("condicion", Value(""));
  aDescartados.Append(std::move(record));
  return Value();
}

Value TContextoEjecucion::AddAviso(const Value& cAviso) {
  aAvisos.Append(cAviso);
  return Value();
}

Value TContextoEjecucion::GetAvisos() { return aAvisos; }

Value TContextoEjecucion::GetDescartados() { return aDescartados; }

Value TContextoEjecucion::GetOpciones() { return hOpciones; }

Value TContextoEjecucion::GetModoEjecucion() {
  Value mode = HGet(hOpciones, "modoEjecucion");
  return mode.IsString() ? mode : Value("real");
}

Value TContextoEjecucion::EsModoDisenador() {
  // Read in place: layout objects ask once per render.
  const HashPtr* options = hOpciones.HashRef();
  const Value* mode = options != nullptr ? (*options)->Find("modoEjecucion") : nullptr;
  return Value(mode != nullptr && mode->IsString() && mode->AsString() == "disenador");
}

Value TContextoEjecucion::TieneProgreso() { return Value(HGet(hOpciones, "lProgressActive").IsTrue()); }

Value TContextoEjecucion::InformarProgreso(std::string_view option, const Value& number) {
  Value block = HGet(hOpciones, option);
  if (!block.IsBlock()) return Value(true);
  Value args[1] = {number};
  const bool goOn = !block.Call(args).IsFalse();
  // A loop deep inside a layout object cannot return "cancelled" through its render objects; the
  // engine that started the run asks here whether it was cancelled.
  if (!goOn) lCancelado = true;
  return Value(goOn);
}

Value TContextoEjecucion::InformarRegistroExaminado(const Value& nRegistro) {
  return InformarProgreso("bProgressRecord", nRegistro);
}

Value TContextoEjecucion::InformarPaginaGenerada(const Value& nPaginas) {
  return InformarProgreso("bProgressPage", nPaginas);
}

}  // namespace nv

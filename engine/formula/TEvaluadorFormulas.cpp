#include "formula/TEvaluadorFormulas.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <new>
#include <unordered_set>

#include "Accessors.h"
#include "Runtime.h"
#include "formula/TFuncFormulas.h"

namespace nv {

namespace {

// Deeper nesting than this is no realistic formula; refusing it keeps a hostile or broken
// template from exhausting the stack through the recursive analysis.
constexpr int kMaxDepth = 200;

bool IsLeadBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The runtime's trim without copying: leading blanks, tabs, CR and LF, trailing blanks only.
std::string_view TrimView(std::string_view s) {
  size_t b = 0;
  while (b < s.size() && IsLeadBlank(s[b])) ++b;
  size_t e = s.size();
  while (e > b && s[e - 1] == ' ') --e;
  return s.substr(b, e - b);
}

char UpperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

std::string UpperTrim(std::string_view s) {
  std::string_view t = TrimView(s);
  std::string out(t);
  for (char& c : out) c = UpperChar(c);
  return out;
}

bool StartsWithIgnoreCase(std::string_view text, size_t pos, std::string_view word) {
  if (text.size() - pos < word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    if (UpperChar(text[pos + i]) != UpperChar(word[i])) return false;
  }
  return true;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// Tracks the common splitting rule: quoted runs and the parenthesis depth.
struct Scanner {
  char quote = 0;
  int depth = 0;
  // Feeds one character; returns true when it stands at depth 0 outside quotes and is no quote
  // or parenthesis character itself (so it may split).
  bool Feed(char c) {
    if (quote) {
      if (c == quote) quote = 0;
      return false;
    }
    if (c == '"' || c == '\'') {
      quote = c;
      return false;
    }
    if (c == '(') {
      ++depth;
      return false;
    }
    if (c == ')') {
      if (depth > 0) --depth;
      return false;
    }
    return depth == 0;
  }
  bool AtTop() const { return quote == 0 && depth == 0; }
};

Value IntegerWhenIntegral(const Value& v) {
  if (!v.IsNumber()) return v;
  const Number& n = v.AsNumber();
  if (n.isInteger) return v;
  if (std::isfinite(n.d) && n.d == std::trunc(n.d) && std::fabs(n.d) < 9.2e18) {
    return Value::Int(static_cast<int64_t>(n.d));
  }
  return v;
}

// A value read back through its text form, as the language does between arithmetic steps. An
// integer reads back as itself; a fractional number costs a formatting and a parse, so the last
// results are remembered per exact double and decimal count (formulas re-read the same data).
Value NumberThroughText(const Value& v) {
  if (v.IsString()) return Value(Val(v.AsString()));
  if (!v.IsNumber()) return Value(Val(ValorAString(v)));
  if (v.AsNumber().isInteger) return v;
  return Value(TFuncFormulas::NumberThroughText(v.AsNumber()));
}

int64_t TruncNumber(const Value& v, int64_t def) {
  if (v.IsNumber()) return ValueInt(v);
  if (v.IsString() && EsNumerico(v)) return ValueInt(v);
  return def;
}

Value MakeHash(std::initializer_list<std::pair<std::string_view, Value>> entries) {
  Value h = Value::NewHash();
  Hash& hash = h.AsHash();
  hash.reserve(entries.size());
  for (const auto& [k, v] : entries) hash.Put(k, v);
  return h;
}

Value StringArray(const std::vector<std::string>& items) {
  Value a = Value::NewArray();
  a.AsArray().reserve(items.size());
  for (const std::string& s : items) a.Append(Value(s));
  return a;
}

// The evaluated arguments of one call: on the stack for the usual few, on the heap beyond.
class ArgBuffer {
 public:
  explicit ArgBuffer(size_t n) : size_(n) {
    if (n > kInline) heap_.resize(n);
  }
  Value& operator[](size_t i) { return size_ > kInline ? heap_[i] : inline_[i]; }
  std::span<const Value> span() const {
    return size_ > kInline ? std::span<const Value>(heap_) : std::span<const Value>(inline_, size_);
  }

 private:
  static constexpr size_t kInline = 6;
  size_t size_;
  Value inline_[kInline];
  std::vector<Value> heap_;
};

bool IsCollection(const Value& v) { return v.IsArray() || v.IsHash() || v.IsObject() || v.IsBlock(); }

// Restores a counter on every way out of a scope.
struct DepthGuard {
  int& depth;
  explicit DepthGuard(int& d) : depth(d) { ++depth; }
  ~DepthGuard() { --depth; }
};

}  // namespace

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
  hFormulaPlanCache.clear();
  hExecutablePlanCache = Value::NewHash();
  hResolvedVariableCache = Value::NewHash();
  planByText_.clear();
  std::fill(std::begin(planMemo_), std::end(planMemo_), nullptr);
  typedPlans_.clear();
  ownedPlans_.clear();
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
  hFormulaPlanCache.clear();
  hExecutablePlanCache = Value::NewHash();
  hResolvedVariableCache = Value::NewHash();
  planByText_.clear();
  std::fill(std::begin(planMemo_), std::end(planMemo_), nullptr);
  typedPlans_.clear();
  ownedPlans_.clear();
  if (Object* lib = oFuncFormulas.ObjectRaw()) lib->End();
  oFuncFormulas = Value();
  lCreated = false;
  return Value();
}

std::shared_ptr<TEvaluadorFormulas> TEvaluadorFormulas::SetOpciones(const Value& opciones) {
  hOpciones = opciones.IsHash() ? opciones : Value::NewHash();
  hResolvedVariableCache = Value::NewHash();
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
  static const Value kEmpty = Value::NewHash();
  const Value& vars = hVariables.IsHash() ? hVariables : kEmpty;
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
  // Most texts reach here already trimmed and without outer parentheses; only the others are
  // copied.
  std::string stripped;
  std::string_view text = raw;
  if (raw.empty() || IsLeadBlank(raw.front()) || raw.back() == ' ' || raw.front() == '(') {
    stripped = QuitarParentesisExternos(raw);
    text = stripped;
  }
  if (text.empty()) return Value("");
  DepthGuard guard(nProfundidad_);
  if (nProfundidad_ > kMaxDepth) return ErrorText("[Expresion no valida: " + std::string(text) + "]");
  if (lUsarPlanes_) {
    const PlanEntry* entry = FindPlanByText(text);
    if (entry == nullptr) {
      CompileStripped(text);
      entry = FindPlanByText(text);
    }
    if (entry != nullptr && entry->second) return EvalNode(*entry->second, vars);
  }
  const FormulaAnalysis& a = Analizar(text);
  return EvalAnalysis(text, a, vars);
}

const TEvaluadorFormulas::PlanEntry* TEvaluadorFormulas::FindPlanByText(std::string_view text) {
  // The slot only selects a memo entry; the content comparison decides, so a text that moved or
  // changed simply falls back to the map.
  size_t slot = ((reinterpret_cast<uintptr_t>(text.data()) >> 4) ^ text.size()) & 15;
  const PlanEntry*& memo = planMemo_[slot];
  if (memo != nullptr && memo->first == text) return memo;
  auto it = planByText_.find(text);
  if (it == planByText_.end()) return nullptr;
  memo = &*it;
  return memo;
}

Value TEvaluadorFormulas::EvalAnalysis(std::string_view text, const FormulaAnalysis& a, const Value& vars) {
  using T = FormulaAnalysis::Tipo;
  bool invalid = false;
  switch (a.tipo) {
    case T::Literal:
    case T::Argumento: return ResolveOperand(text, vars);
    case T::Not: return Value(!CondicionText(a.expresion, vars, invalid));
    case T::Or:
      for (const std::string& part : a.partes) {
        if (CondicionText(part, vars, invalid)) return Value(true);
      }
      return Value(false);
    case T::And:
      for (const std::string& part : a.partes) {
        if (!CondicionText(part, vars, invalid)) return Value(false);
      }
      return Value(true);
    case T::Comparacion: {
      Value left = EvalText(a.left, vars);
      Value right = EvalText(a.right, vars);
      return Value(CompararCodigo(left, CmpCode(a.op), right));
    }
    case T::Suma: return Suma(a.partes, vars);
    case T::Aritmetica: return EvaluarOperacionAritmetica(a.pares, vars);
    case T::Funcion: return EvaluarFuncion(text, a, vars);
  }
  return Value();
}

// ---- Splitting -----------------------------------------------------------------------------------

std::vector<std::string> TEvaluadorFormulas::SepararPorOperadorLogico(std::string_view text, std::string_view op) {
  std::vector<std::string> parts;
  Scanner scan;
  size_t start = 0;
  size_t i = 0;
  while (i < text.size()) {
    if (scan.AtTop() && !op.empty() && StartsWithIgnoreCase(text, i, op)) {
      parts.emplace_back(TrimView(text.substr(start, i - start)));
      i += op.size();
      start = i;
      continue;
    }
    scan.Feed(text[i]);
    ++i;
  }
  parts.emplace_back(TrimView(text.substr(start)));
  return parts;
}

bool TEvaluadorFormulas::SepararComparacion(std::string_view text, std::string& left, std::string& op,
                                            std::string& right) {
  static constexpr std::string_view kOps[] = {">=", "<=", "==", "!=", "<>", ">", "<"};
  Scanner scan;
  for (size_t i = 0; i < text.size(); ++i) {
    if (scan.AtTop()) {
      for (std::string_view candidate : kOps) {
        if (text.compare(i, candidate.size(), candidate) == 0) {
          left = std::string(TrimView(text.substr(0, i)));
          op = std::string(candidate);
          right = std::string(TrimView(text.substr(i + candidate.size())));
          return true;
        }
      }
    }
    scan.Feed(text[i]);
  }
  return false;
}

std::vector<std::string> TEvaluadorFormulas::SepararTopLevel(std::string_view text, std::string_view separators) {
  std::vector<std::string> parts;
  Scanner scan;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (scan.Feed(text[i]) && separators.find(text[i]) != std::string_view::npos) {
      parts.emplace_back(TrimView(text.substr(start, i - start)));
      start = i + 1;
    }
  }
  parts.emplace_back(TrimView(text.substr(start)));
  return parts;
}

std::vector<std::string> TEvaluadorFormulas::SepararPorSuma(std::string_view text) { return SepararTopLevel(text, "+"); }

std::vector<std::string> TEvaluadorFormulas::SepararArgumentos(std::string_view text) {
  if (TrimView(text).empty()) return {};
  return SepararTopLevel(text, ",;");
}

std::vector<std::pair<std::string, std::string>> TEvaluadorFormulas::SepararPorOperadoresAritmeticos(
    std::string_view text, std::string_view operators, bool allowUnaryMinus) {
  std::vector<std::pair<std::string, std::string>> pairs;
  Scanner scan;
  size_t start = 0;
  std::string pendingOp;
  bool met = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (scan.Feed(c) && operators.find(c) != std::string_view::npos) {
      if (allowUnaryMinus && c == '-' && TrimView(text.substr(start, i - start)).empty()) continue;
      pairs.emplace_back(std::string(TrimView(text.substr(start, i - start))), pendingOp);
      pendingOp = std::string(1, c);
      start = i + 1;
      met = true;
    }
  }
  if (!met) return {};
  pairs.emplace_back(std::string(TrimView(text.substr(start))), pendingOp);
  std::erase_if(pairs, [](const auto& p) { return p.first.empty(); });
  return pairs;
}

std::vector<std::pair<std::string, std::string>> TEvaluadorFormulas::SepararPorResta(std::string_view text) {
  return SepararPorOperadoresAritmeticos(text, "-", true);
}

bool TEvaluadorFormulas::EsLiteralTextoCompleto(std::string_view text) {
  if (text.size() < 2) return false;
  char q = text[0];
  if (q != '"' && q != '\'') return false;
  for (size_t i = 1; i < text.size(); ++i) {
    if (text[i] != q) continue;
    if (i + 1 < text.size() && text[i + 1] == q) {
      ++i;
      continue;
    }
    return i == text.size() - 1;
  }
  return false;
}

bool TEvaluadorFormulas::ParentesisExternosEnvuelvenTodo(std::string_view text) {
  Scanner scan;
  for (size_t i = 0; i < text.size(); ++i) {
    scan.Feed(text[i]);
    if (scan.depth == 0 && scan.quote == 0 && i + 1 < text.size()) return false;
  }
  return scan.depth == 0;
}

std::string TEvaluadorFormulas::QuitarParentesisExternos(std::string_view raw) {
  std::string_view text = TrimView(raw);
  while (text.size() >= 2 && text.front() == '(' && text.back() == ')' && ParentesisExternosEnvuelvenTodo(text)) {
    text = TrimView(text.substr(1, text.size() - 2));
  }
  return std::string(text);
}

bool TEvaluadorFormulas::IsIdentifier(std::string_view raw) {
  std::string_view text = TrimView(raw);
  if (text.empty()) return false;
  for (char c : text) {
    bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '.' ||
              c == '$';
    if (!ok) return false;
  }
  return true;
}

bool TEvaluadorFormulas::EsLlamadaFuncion(std::string_view text) {
  size_t open = text.find('(');
  if (open == std::string_view::npos || open < 1) return false;
  std::string_view trimmed = TrimView(text);
  if (trimmed.empty() || trimmed.back() != ')') return false;
  return IsIdentifier(text.substr(0, open));
}

std::string TEvaluadorFormulas::NormalizarNombreFuncion(std::string_view name) {
  std::string n = UpperTrim(name);
  bool dollar = !n.empty() && n.back() == '$';
  if (dollar) n.pop_back();
  if (n == "MID") return "SUBSTR";
  if (n == "ATRIM") return "ALLTRIM";
  if (n == "FSTR") return "TRANSFORM";
  if (n == "DATE" && dollar) return "DTOC";
  return n;
}

int TEvaluadorFormulas::BooleanWord(std::string_view raw) {
  static constexpr std::string_view kTrue[] = {"TRUE", ".T.", "T", "YES", "SI", "S\xC3\x8D", "1"};
  static constexpr std::string_view kFalse[] = {"FALSE", ".F.", "F", "NO", "0"};
  std::string_view trimmed = TrimView(raw);
  if (trimmed.empty()) return 0;
  if (trimmed.size() > 6) return -1;  // longer than every word
  char buffer[8];
  for (size_t i = 0; i < trimmed.size(); ++i) buffer[i] = UpperChar(trimmed[i]);
  std::string_view text(buffer, trimmed.size());
  for (std::string_view w : kTrue) {
    if (w.substr(0, std::min(w.size(), text.size())) == text && w.size() >= text.size()) return 1;
  }
  for (std::string_view w : kFalse) {
    if (w.substr(0, std::min(w.size(), text.size())) == text && w.size() >= text.size()) return 0;
  }
  return -1;
}

// ---- Analysis -------------------------------------------------------------------------------------

const FormulaAnalysis& TEvaluadorFormulas::Analizar(std::string_view text) {
  if (auto it = hFormulaPlanCache.find(text); it != hFormulaPlanCache.end()) return it->second;
  using T = FormulaAnalysis::Tipo;
  FormulaAnalysis a;
  auto decided = [&]() -> bool {
    if (EsLiteralTextoCompleto(text) || EsTextoNumerico(text)) {
      a.tipo = T::Literal;
      return true;
    }
    std::vector<std::string> orParts = SepararPorOperadorLogico(text, ".OR.");
    std::vector<std::string> andParts = SepararPorOperadorLogico(text, ".AND.");
    bool single = orParts.size() == 1 && andParts.size() == 1;
    if (single) {
      if (text.size() >= 4 && StartsWithIgnoreCase(text, 0, "NOT ")) {
        a.tipo = T::Not;
        a.expresion = std::string(text.substr(4));
        return true;
      }
      if (text.size() >= 5 && StartsWithIgnoreCase(text, 0, ".NOT.")) {
        a.tipo = T::Not;
        a.expresion = std::string(TrimView(text.substr(5)));
        return true;
      }
      if (!text.empty() && text[0] == '!') {
        a.tipo = T::Not;
        a.expresion = std::string(text.substr(1));
        return true;
      }
    }
    if (orParts.size() > 1) {
      a.tipo = T::Or;
      a.partes = std::move(orParts);
      return true;
    }
    if (andParts.size() > 1) {
      a.tipo = T::And;
      a.partes = std::move(andParts);
      return true;
    }
    if (SepararComparacion(text, a.left, a.op, a.right)) {
      a.tipo = T::Comparacion;
      return true;
    }
    std::vector<std::string> sum = SepararPorSuma(text);
    if (sum.size() > 1) {
      a.tipo = T::Suma;
      a.partes = std::move(sum);
      return true;
    }
    auto minus = SepararPorResta(text);
    if (minus.size() > 1) {
      a.tipo = T::Aritmetica;
      a.pares = std::move(minus);
      return true;
    }
    auto product = SepararPorOperadoresAritmeticos(text, "*/", false);
    if (product.size() > 1) {
      a.tipo = T::Aritmetica;
      a.pares = std::move(product);
      return true;
    }
    if (EsLlamadaFuncion(text)) {
      size_t open = text.find('(');
      a.tipo = T::Funcion;
      a.funcion = NormalizarNombreFuncion(text.substr(0, open));
      a.clave = UpperTrim(a.funcion);
      a.esIf = a.clave == "IF" || a.clave == "IIF" || a.clave == "COND";
      a.esMotor = EsFuncionInternaMotor(Value(a.clave)).AsBool();
      std::string_view trimmed = text;
      while (!trimmed.empty() && trimmed.back() == ' ') trimmed.remove_suffix(1);
      a.argumentos = SepararArgumentos(trimmed.substr(open + 1, trimmed.size() - open - 2));
      return true;
    }
    return false;
  };
  if (!decided()) a.tipo = T::Argumento;
  return hFormulaPlanCache.emplace(std::string(text), std::move(a)).first->second;
}

Value TEvaluadorFormulas::PlanFormula(const Value& textValue) {
  std::string text = ValorAString(textValue);
  const FormulaAnalysis& a = Analizar(text);
  using T = FormulaAnalysis::Tipo;
  switch (a.tipo) {
    case T::Literal: return MakeHash({{"tipo", "literal"}});
    case T::Argumento: return MakeHash({{"tipo", "argumento"}});
    case T::Not: return MakeHash({{"tipo", "not"}, {"expresion", a.expresion}});
    case T::Or: return MakeHash({{"tipo", "or"}, {"partes", StringArray(a.partes)}});
    case T::And: return MakeHash({{"tipo", "and"}, {"partes", StringArray(a.partes)}});
    case T::Comparacion:
      return MakeHash({{"tipo", "comparacion"}, {"left", a.left}, {"operator", a.op}, {"right", a.right}});
    case T::Suma: return MakeHash({{"tipo", "suma"}, {"partes", StringArray(a.partes)}});
    case T::Aritmetica: {
      Value pairs = Value::NewArray();
      for (const auto& [operand, op] : a.pares) {
        Value pair = Value::NewArray();
        pair.Append(Value(operand));
        pair.Append(op.empty() ? Value() : Value(op));
        pairs.Append(pair);
      }
      return MakeHash({{"tipo", "aritmetica"}, {"partes", pairs}});
    }
    case T::Funcion:
      return MakeHash(
          {{"tipo", "funcion"}, {"funcion", a.funcion}, {"argumentos", StringArray(a.argumentos)}, {"clave", a.clave}});
  }
  return Value();
}

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
  int w = BooleanWord(ValorAString(text));
  return w < 0 ? Value() : Value(w == 1);
}

Value TEvaluadorFormulas::ResolverArgumentoFuncion(const Value& text, const Value& hVariables) {
  static const Value kEmpty = Value::NewHash();
  return ResolveOperand(ValorAString(text), hVariables.IsHash() ? hVariables : kEmpty);
}

Value TEvaluadorFormulas::ResolveOperand(std::string_view raw, const Value& vars) {
  std::string text = QuitarParentesisExternos(raw);
  if (text.empty()) return Value("");
  char first = text.front();
  if (text.size() >= 2 && (first == '"' || first == '\'') && text.back() == first) {
    return Value(UnescapeFormulaLiteral(std::string_view(text).substr(1, text.size() - 2), first));
  }
  if (EsTextoNumerico(text)) {
    Number n = Val(text);
    if (text.find('.') == std::string::npos) n = IntPart(n);
    return Value(n);
  }
  if (int w = BooleanWord(text); w >= 0) return Value(w == 1);
  if (const Value* c = FindConstant(text)) return *c;
  if (HashHasKeyFormula(vars, text)) return ValorVariableText(text, vars);
  if (text.size() >= 2 && first == '@') {
    std::string rest = text.substr(1);
    std::string userName = "VAR." + rest;
    if (HashHasKeyFormula(vars, userName)) return ValorVariableText(userName, vars);
    std::string accName = "SUM." + rest;
    if (HashHasKeyFormula(vars, accName)) return ValorVariableText(accName, vars);
  }
  if (EsLlamadaFuncion(text)) {
    // An operand that is a call is evaluated as a whole formula; guard against a text that
    // would analyse back to this operand.
    if (nProfundidad_ > kMaxDepth) return ErrorText("[Expresion no valida: " + text + "]");
    return EvalText(text, vars);
  }
  if (IsIdentifier(text)) return VariableNoEncontrada(Value(text));
  return ErrorText("[Expresion no valida: " + text + "]");
}

Value TEvaluadorFormulas::ValorVariable(const Value& name, const Value& hVariables) {
  static const Value kEmpty = Value::NewHash();
  return ValorVariableText(ValorAString(name), hVariables.IsHash() ? hVariables : kEmpty);
}

Value TEvaluadorFormulas::ValorVariableText(std::string_view name, const Value& vars) {
  return ResolveVariableText(name, HashGetFormula(vars, name, Value()), vars);
}

Value TEvaluadorFormulas::ResolveVariableValue(const Value& name, const Value& value, const Value& hVariables) {
  static const Value kEmpty = Value::NewHash();
  return ResolveVariableText(ValorAString(name), value, hVariables.IsHash() ? hVariables : kEmpty);
}

Value TEvaluadorFormulas::ResolveVariableText(std::string_view name, const Value& value, const Value& vars) {
  if (!value.IsString() || !(StartsWith(name, "VAR.") || StartsWith(name, "SUM."))) return value;
  Value resolved = hResolvedVariableCache;
  if (const Value* cached = resolved.AsHash().Find(name)) return *cached;
  std::string_view formula = TrimView(value.AsString());
  if (formula.empty()) return Value("");
  if (HashHasKeyFormula(hVariablesResolviendo, name)) {
    Value detect = HGet(hOpciones, "detectarCircularidad");
    if (detect.IsLogical() && detect.AsBool()) return Value("[Referencia circular: " + std::string(name) + "]");
    return value;
  }
  // The guard entry must go whatever happens inside the evaluation, so the name is removed by a
  // scope object rather than after the call.
  Value resolving = hVariablesResolviendo;
  std::string key(name);
  resolving.AsHash().Put(key, Value(true));
  struct Leave {
    const Value& h;
    const std::string& k;
    ~Leave() { h.AsHash().Erase(k); }
  } leave{resolving, key};
  std::string formulaText(formula);
  Value result = EvalText(formulaText, vars);
  // A cache emptied while evaluating (a state change from a callback) is not refilled with a
  // value computed under the old state.
  if (hResolvedVariableCache.SameRef(resolved)) resolved.AsHash().Put(key, result);
  return result;
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

// ---- Operators ---------------------------------------------------------------------------------------

Value TEvaluadorFormulas::CompararValores(const Value& a, const Value& op, const Value& b) {
  return Value(CompararCodigo(a, CmpCode(ValorAString(op)), b));
}

uint8_t TEvaluadorFormulas::CmpCode(std::string_view op) {
  if (op == ">=") return kGe;
  if (op == "<=") return kLe;
  if (op == "==") return kEq;
  if (op == "!=" || op == "<>") return kNe;
  if (op == ">") return kGt;
  if (op == "<") return kLt;
  return kBad;
}

bool TEvaluadorFormulas::CompararCodigo(const Value& a0, uint8_t op, const Value& b0) {
  // Integers read back through their text are themselves; everything else numeric is re-read.
  auto asNumber = [](const Value& v) { return NumberThroughText(v); };
  if (a0.IsNumber() && b0.IsNumber()) {
    // Two numbers compare as the runtime compares them after the re-reading, without building
    // the re-read values: equality as exact equality, the order three-way.
    const Number& ra = a0.AsNumber();
    const Number& rb = b0.AsNumber();
    Number x = ra.isInteger ? ra : TFuncFormulas::NumberThroughText(ra);
    Number y = rb.isInteger ? rb : TFuncFormulas::NumberThroughText(rb);
    bool integers = x.isInteger && y.isInteger;
    if (op == kEq || op == kNe) {
      bool equal = integers ? x.i == y.i : x.AsDouble() == y.AsDouble();
      return op == kEq ? equal : !equal;
    }
    int order = 0;
    if (integers) {
      order = x.i < y.i ? -1 : (x.i > y.i ? 1 : 0);
    } else {
      double dx = x.AsDouble(), dy = y.AsDouble();
      order = dx < dy ? -1 : (dx > dy ? 1 : 0);
    }
    switch (op) {
      case kGt: return order > 0;
      case kLt: return order < 0;
      case kGe: return order >= 0;
      case kLe: return order <= 0;
      default: return false;
    }
  }
  Value a, b;
  const Value* pa = &a0;
  const Value* pb = &b0;
  if (EsNumerico(a0) && EsNumerico(b0)) {
    a = asNumber(a0);
    b = asNumber(b0);
    pa = &a;
    pb = &b;
  }
  const Value& x = *pa;
  const Value& y = *pb;
  if (x.kind() != y.kind()) return op == kNe;
  if (op == kEq) return ExactEqual(x, y);
  if (op == kNe) return !ExactEqual(x, y);
  // Kinds without an order (nil, arrays, hashes, objects, blocks) are never ordered: such a
  // comparison is simply false, and a runtime refusal is trapped the same way.
  switch (x.kind()) {
    case Kind::String:
    case Kind::Number:
    case Kind::Date:
    case Kind::Timestamp:
    case Kind::Logical: break;
    default: return false;
  }
  try {
    switch (op) {
      case kGt: return RtGreater(x, y);
      case kLt: return RtLess(x, y);
      case kGe: return RtGreaterEqual(x, y);
      case kLe: return RtLessEqual(x, y);
      default: return false;
    }
  } catch (const RuntimeError&) {
    return false;
  }
}

Value TEvaluadorFormulas::Suma(const std::vector<std::string>& partes, const Value& vars) {
  std::vector<Value> values;
  values.reserve(partes.size());
  for (const std::string& part : partes) values.push_back(EvalText(part, vars));
  return SumValues(values);
}

namespace {

// The sum of n values read through at(i): the total of numbers re-read through their texts when
// all are numbers, else their texts joined. Sets failed when adding the numbers failed.
template <typename At>
Value SumOf(size_t n, At at, bool& failed) {
  if (n == 0) return Value("");
  bool allNumbers = true;
  for (size_t i = 0; i < n && allNumbers; ++i) allNumbers = at(i).IsNumber();
  if (allNumbers) {
    try {
      Value total = NumberThroughText(at(0));
      for (size_t i = 1; i < n; ++i) total = OpAdd(total, NumberThroughText(at(i)));
      return IntegerWhenIntegral(total);
    } catch (const RuntimeError&) {
      failed = true;
      return Value();
    }
  }
  std::string text;
  size_t length = 0;
  for (size_t i = 0; i < n; ++i) length += at(i).IsString() ? at(i).AsString().size() : 0;
  text.reserve(length);  // one allocation for the usual concatenation of texts
  for (size_t i = 0; i < n; ++i) {
    const Value& v = at(i);
    if (v.IsString()) {
      text += v.AsString();
    } else if (v.IsNil()) {
    } else if (v.IsLogical()) {
      text += v.AsBool() ? "true" : "false";
    } else {
      text += ValorAString(v);
    }
  }
  return Value(std::move(text));
}

}  // namespace

Value TEvaluadorFormulas::SumValues(std::span<const Value> values) {
  bool failed = false;
  Value out = SumOf(values.size(), [&](size_t i) -> const Value& { return values[i]; }, failed);
  if (failed) return ErrorText("[Expresion no valida]");
  return out;
}

Value TEvaluadorFormulas::SumRefs(std::span<const Value* const> values) {
  bool failed = false;
  Value out = SumOf(values.size(), [&](size_t i) -> const Value& { return *values[i]; }, failed);
  if (failed) return ErrorText("[Expresion no valida]");
  return out;
}

Value TEvaluadorFormulas::DateDifference(const Value& a, const Value& b) {
  if (!Biblioteca()) return Value();
  try {
    return TFuncFormulas::DateDifference(a, b);
  } catch (const RuntimeError&) {
    return Value();
  }
}

Value TEvaluadorFormulas::EvaluarOperacionAritmetica(const std::vector<std::pair<std::string, std::string>>& pares,
                                                     const Value& vars) {
  if (pares.empty()) return ErrorText("[Expresion no valida]");
  Value acc = EvalText(pares[0].first, vars);
  for (size_t k = 1; k < pares.size(); ++k) {
    const auto& [operandText, op] = pares[k];
    Value v = EvalText(operandText, vars);
    bool numeric = EsNumerico(acc) && EsNumerico(v);
    if (op == "-" && !numeric) {
      Value diff = DateDifference(acc, v);
      if (!EsNumerico(diff)) return ErrorText("[Expresion no valida: " + operandText + "]");
      acc = diff;
      continue;
    }
    if (!numeric) return ErrorText("[Expresion no valida: " + operandText + "]");
    Value x = NumberThroughText(acc);
    Value y = NumberThroughText(v);
    try {
      if (op == "-") {
        acc = OpSub(x, y);
      } else if (op == "*") {
        acc = OpMul(x, y);
      } else if (op == "/") {
        acc = y.AsDouble() == 0 ? Value::Int(0) : OpDiv(x, y);
      } else {
        return ErrorText("[Expresion no valida: " + operandText + "]");
      }
    } catch (const RuntimeError&) {
      return ErrorText("[Expresion no valida: " + operandText + "]");
    }
  }
  if (!EsNumerico(acc)) return ErrorText("[Expresion no valida]");
  if (acc.IsString()) acc = NumberThroughText(acc);
  return IntegerWhenIntegral(acc);
}

// ---- Function calls -------------------------------------------------------------------------------------

Value TEvaluadorFormulas::ResolverIIf(std::string_view text, const std::vector<std::string>& args, const Value& vars) {
  if (args.size() != 3) return ErrorText("[Formula IIf no valida: " + std::string(text) + "]");
  bool invalid = false;
  bool holds = CondicionText(args[0], vars, invalid);
  if (invalid) return ErrorText("[Formula IIf no valida: " + std::string(text) + "]");
  return EvalText(holds ? args[1] : args[2], vars);
}

Value TEvaluadorFormulas::EvaluarFuncion(std::string_view text, const FormulaAnalysis& a, const Value& vars) {
  if (a.esIf) return ResolverIIf(text, a.argumentos, vars);
  if (a.esMotor) return Motor(a.clave, a.argumentos, vars);
  ArgBuffer args(a.argumentos.size());
  for (size_t i = 0; i < a.argumentos.size(); ++i) {
    const std::string& arg = a.argumentos[i];
    args[i] = TrimView(arg).empty() ? Value("") : EvalText(arg, vars);
  }
  return LlamarBiblioteca(a.funcion, args.span());
}

TFuncFormulas* TEvaluadorFormulas::Biblioteca() {
  Object* raw = oFuncFormulas.ObjectRaw();
  if (raw != libRaw_) {
    libRaw_ = raw;
    lib_ = dynamic_cast<TFuncFormulas*>(raw);
  }
  return lib_;
}

Value TEvaluadorFormulas::LlamarBiblioteca(const std::string& name, std::span<const Value> values, int slot) {
  TFuncFormulas* lib = Biblioteca();
  if (!lib) return ErrorText("[Funcion no implementada: " + name + "]");
  try {
    // A compiled call knows its slot and skips the lookup by name.
    Value result = slot >= 0 ? lib->EjecutarSlot(slot, values) : lib->Ejecutar(std::string_view(name), values);
    if (IsLibraryError(result)) return ErrorText(result.AsString());
    return result;
  } catch (const RuntimeError&) {
    return ErrorText("[Funcion " + name + " no valida]");
  }
}

Value TEvaluadorFormulas::LlamarBibliotecaRefs(const std::string& name, std::span<const Value* const> values, int slot) {
  TFuncFormulas* lib = Biblioteca();
  if (!lib) return ErrorText("[Funcion no implementada: " + name + "]");
  try {
    // A name without a slot is no library function: the arguments do not matter to the answer.
    Value result = slot >= 0 ? lib->EjecutarSlot(slot, values)
                             : lib->Ejecutar(std::string_view(name), std::span<const Value>());
    if (IsLibraryError(result)) return ErrorText(result.AsString());
    return result;
  } catch (const RuntimeError&) {
    return ErrorText("[Funcion " + name + " no valida]");
  }
}

// A library error text becomes the evaluator's last error as well.
bool TEvaluadorFormulas::IsLibraryError(const Value& result) {
  if (!result.IsString()) return false;
  const std::string& s = result.AsString();
  return s.size() >= 10 && s.back() == ']' && StartsWithIgnoreCase(s, 0, "[funcion ");
}

// ---- Conditions ---------------------------------------------------------------------------------------------

bool TEvaluadorFormulas::CondicionText(std::string_view raw, const Value& vars, bool& invalid) {
  invalid = false;
  std::string_view text = TrimView(raw);
  if (text.empty()) return true;
  if (int w = BooleanWord(text); w >= 0) return w == 1;
  Value r = EvalText(text, vars);
  if (r.IsString() && r.AsString().find('[') != std::string::npos) {
    invalid = true;
    return false;
  }
  if (r.IsLogical()) return r.AsBool();
  // Collections are judged by their emptiness: their text form is "", which would otherwise read
  // as the false word.
  if (!IsCollection(r)) {
    if (int w = BooleanWord(ValorAString(r)); w >= 0) return w == 1;
  }
  return !IsEmpty(r);
}

Value TEvaluadorFormulas::EvaluarCondicion(const Value& formula, const Value& hVariables) {
  static const Value kEmpty = Value::NewHash();
  bool invalid = false;
  std::string text = ValorAString(formula);
  bool holds = CondicionText(text, hVariables.IsHash() ? hVariables : kEmpty, invalid);
  Value r = Value::NewHash();
  r.Set("lVisible", Value(holds));
  r.Set("cMotivo", Value(invalid ? "condicion no valida" : (holds ? "" : "condicion falsa")));
  return r;
}

Value TEvaluadorFormulas::CumpleCondicion(const Value& formula, const Value& hVariables) {
  static const Value kEmpty = Value::NewHash();
  bool invalid = false;
  return Value(CondicionText(ValorAString(formula), hVariables.IsHash() ? hVariables : kEmpty, invalid));
}

// ---- Engine functions -----------------------------------------------------------------------------------------

Value TEvaluadorFormulas::EsFuncionInternaMotor(const Value& nameValue) {
  static const std::unordered_set<std::string_view> kNames = {
      "PAGE",     "PAGES", "TOTALPAGES", "LASTPAGE", "PAGEBY", "TOTALPAGESBY", "LASTPAGEBY",    "ASKSTRING",   "PROJECTPATH",
      "SUM",      "PREVIOUS", "NEXT",    "RECNO",    "RECCOUNT", "GROUPCHANGED", "ISFIRSTRECORD", "ISLASTRECORD"};
  std::string name = UpperTrim(nameValue.IsString() ? nameValue.AsString() : ValorAString(nameValue));
  return Value(kNames.contains(name));
}

Value TEvaluadorFormulas::ResolverFuncionInternaMotor(const Value& name, const Value& arguments, const Value& hVariables) {
  static const Value kEmpty = Value::NewHash();
  std::vector<std::string> args;
  if (const ArrayPtr* a = arguments.ArrayRef()) {
    for (const Value& v : **a) args.push_back(ValorAString(v));
  }
  return Motor(UpperTrim(ValorAString(name)), args, hVariables.IsHash() ? hVariables : kEmpty);
}

Value TEvaluadorFormulas::Motor(std::string_view key, const std::vector<std::string>& args, const Value& vars) {
  const Value& state = hEstadoEjecucion;
  int64_t idx = TruncNumber(HGet(state, "nIndiceRegistro"), -1);
  int64_t total = TruncNumber(HGet(state, "nTotalRegistros"), 0);
  std::string_view arg1 = args.empty() ? std::string_view() : std::string_view(args[0]);
  auto page = [&] { return std::max<int64_t>(1, TruncNumber(HGet(state, "nPaginaActual"), 1)); };
  auto pages = [&] { return std::max<int64_t>(1, TruncNumber(HGet(state, "nTotalPaginas"), 1)); };
  auto isTrue = [&](std::string_view k) {
    Value v = HGet(state, k);
    return v.IsLogical() && v.AsBool();
  };
  bool lastRecord = idx >= 0 && total > 0 && idx == total - 1;

  if (key == "PAGE") return Value::Int(page());
  if (key == "PAGES" || key == "TOTALPAGES") return Value::Int(pages());
  if (key == "LASTPAGE") {
    if (!isTrue("lLastPageDisponible")) return Value(false);
    if (!isTrue("lTotalPaginasConocido")) return Value(lastRecord);
    return Value(page() >= pages());
  }
  if (key == "PAGEBY") return Value::Int(PageBy(arg1, vars));
  if (key == "TOTALPAGESBY") return Value::Int(TotalPagesBy(arg1, vars));
  if (key == "LASTPAGEBY") return Value(PageBy(arg1, vars) >= TotalPagesBy(arg1, vars));
  if (key == "ASKSTRING") return AskString(args, vars);
  if (key == "PROJECTPATH") return ProjectPath(args, vars);
  if (key == "SUM") return Sum(arg1, vars);
  if (key == "RECNO") return Value::Int(idx >= 0 ? idx + 1 : 0);
  if (key == "RECCOUNT") return Value::Int(std::max<int64_t>(0, total));
  if (key == "ISFIRSTRECORD") return Value(idx == 0);
  if (key == "ISLASTRECORD") return Value(lastRecord);
  if (key == "PREVIOUS") return EvaluarExpresionRegistroRelativo(arg1, vars, "hRegistroAnterior");
  if (key == "NEXT") return EvaluarExpresionRegistroRelativo(arg1, vars, "hRegistroSiguiente");
  if (key == "GROUPCHANGED") return Value(GroupChanged(arg1, vars, idx));
  return ErrorText("[Funcion no implementada: " + std::string(key) + "]");
}

std::string TEvaluadorFormulas::ResolverClavePaginacion(std::string_view key, const Value& vars) {
  std::string_view text = TrimView(key);
  if (text.empty()) return "";
  Value v = EvalText(text, vars);
  if (v.IsString()) {
    static constexpr std::string_view kPrefix = "[Variable no encontrada: ";
    const std::string& s = v.AsString();
    if (StartsWith(s, kPrefix) && EndsWith(s, "]")) {
      std::string userName = "VAR." + s.substr(kPrefix.size(), s.size() - kPrefix.size() - 1);
      if (HashHasKeyFormula(vars, userName)) v = ValorVariableText(userName, vars);
    }
  }
  if (v.IsLogical()) return v.AsBool() ? "true" : "false";
  if (v.IsNil()) return "";
  return ValorAString(v);
}

std::vector<int64_t> TEvaluadorFormulas::PaginasPorClave(const std::string& keyText) {
  std::vector<int64_t> out;
  Value byKey = HGet(hEstadoEjecucion, "hPaginacionPorClave");
  if (!byKey.IsHash() || !HashHasKeyFormula(byKey, keyText)) return out;
  Value entry = HashGetFormula(byKey, keyText);
  if (entry.IsHash() && entry.Has("aPaginas")) entry = entry["aPaginas"];
  const ArrayPtr* list = entry.ArrayRef();
  if (!list) return out;
  for (const Value& p : **list) {
    if (!p.IsNumber()) continue;
    int64_t n = ValueInt(p);
    if (n > 0) out.push_back(n);
  }
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

int64_t TEvaluadorFormulas::TotalPagesBy(std::string_view key, const Value& vars) {
  return std::max<int64_t>(1, static_cast<int64_t>(PaginasPorClave(ResolverClavePaginacion(key, vars)).size()));
}

int64_t TEvaluadorFormulas::PageBy(std::string_view key, const Value& vars) {
  std::vector<int64_t> pages = PaginasPorClave(ResolverClavePaginacion(key, vars));
  if (pages.empty()) return 1;
  int64_t current = std::max<int64_t>(1, TruncNumber(HGet(hEstadoEjecucion, "nPaginaActual"), 1));
  auto it = std::find(pages.begin(), pages.end(), current);
  return it == pages.end() ? 1 : static_cast<int64_t>(it - pages.begin()) + 1;
}

Value TEvaluadorFormulas::Sum(std::string_view expression, const Value& vars) {
  std::string_view text = TrimView(expression);
  if (text.empty()) return Value::Int(0);
  Value records = HGet(hOpciones, "aRegistrosDetalleRuntime");
  const ArrayPtr* list = records.ArrayRef();
  if (!list || (*list)->empty()) {
    Value v = EvalText(text, vars);
    return EsNumerico(v) ? IntegerWhenIntegral(NumberThroughText(v)) : Value::Int(0);
  }
  int64_t idx = TruncNumber(HGet(hEstadoEjecucion, "nIndiceRegistro"), -1);
  size_t count = (*list)->size();
  size_t limit = idx >= 0 ? std::min(static_cast<size_t>(idx) + 1, count) : count;
  Value total = Value::Int(0);
  // Copy the records pointer: evaluating may replace the options array.
  ArrayPtr keep = *list;
  for (size_t i = 0; i < limit; ++i) {
    const Value& record = (*keep)[i];
    const HashPtr* fields = record.HashRef();
    if (!fields) continue;
    Value scope = Value::NewHash();
    Hash& target = scope.AsHash();
    if (const HashPtr* base = vars.HashRef()) {
      target.reserve((*base)->size() + (*fields)->size());
      for (const auto& entry : **base) target.Put(entry.first, entry.second);
    }
    for (const auto& entry : **fields) target.Put(entry.first, entry.second);
    Value v = EvalText(text, scope);
    if (!EsNumerico(v)) continue;
    try {
      total = OpAdd(total, NumberThroughText(v));
    } catch (const RuntimeError&) {
    }
  }
  return IntegerWhenIntegral(total);
}

Value TEvaluadorFormulas::AskString(const std::vector<std::string>& args, const Value& vars) {
  auto arg = [&](size_t i, std::string_view def) {
    return i < args.size() ? std::string_view(args[i]) : def;
  };
  std::string prompt = ValorAString(EvalText(arg(0, ""), vars));
  std::string answer = ValorAString(EvalText(arg(2, ""), vars));
  Value limitValue = EvalText(arg(3, "0"), vars);
  int64_t limit = EsNumerico(limitValue) ? std::max<int64_t>(0, ValueInt(limitValue)) : 0;
  Value answers = HGet(hOpciones, "hAskStringValues");
  if (answers.IsHash() && HashHasKeyFormula(answers, prompt)) answer = ValorAString(HashGetFormula(answers, prompt));
  if (limit > 0 && static_cast<size_t>(limit) < answer.size()) answer.resize(static_cast<size_t>(limit));
  return Value(answer);
}

Value TEvaluadorFormulas::ProjectPath(const std::vector<std::string>& args, const Value& vars) {
  auto option = [&](std::string_view k) { return AllTrim(ValorAString(HGet(hOpciones, k))); };
  std::string full = option("cProjectFilePath");
  std::string dir = option("cProjectPath");
  std::string name = option("cProjectFileName");
  bool withFile = false;
  if (!args.empty() && !TrimView(args[0]).empty()) {
    Value v = EvalText(args[0], vars);
    withFile = v.IsLogical() ? v.AsBool() : BooleanWord(ValorAString(v)) == 1;
  }
  if (dir.empty() && !full.empty()) dir = DirPart(full);
  while (!dir.empty() && (dir.back() == '/' || dir.back() == '\\')) dir.pop_back();
  if (!dir.empty()) dir += PathSeparator();
  if (!withFile) return Value(dir);
  if (!full.empty()) return Value(full);
  return Value(dir + name);
}

Value TEvaluadorFormulas::EvaluarExpresionRegistroRelativo(std::string_view expression, const Value& vars,
                                                           std::string_view recordKey) {
  if (TrimView(expression).empty()) return Value();
  Value record = HGet(hEstadoEjecucion, recordKey);
  if (!record.IsHash() || record.Len() == 0) return Value();
  return EvalText(expression, HashMergeVariables(vars, record));
}

bool TEvaluadorFormulas::GroupChanged(std::string_view expression, const Value& vars, int64_t idx) {
  if (TrimView(expression).empty()) return false;
  if (idx <= 0) return true;
  Value previous = HGet(hEstadoEjecucion, "hRegistroAnterior");
  if (!previous.IsHash() || previous.Len() == 0) return true;
  Value current = EvalText(expression, vars);
  Value before = EvalText(expression, HashMergeVariables(vars, previous));
  try {
    return !ExactEqual(current, before);
  } catch (const RuntimeError&) {
    return true;
  }
}

// ---- Executable plans ----------------------------------------------------------------------------------

Value TEvaluadorFormulas::CompileFormulaPlan(const Value& formula) {
  std::string text = QuitarParentesisExternos(formula.IsString() ? formula.AsString() : ValorAString(formula));
  // An empty formula evaluates to "" before any plan is consulted; a plan for it would give false.
  return CompileStripped(text);
}

Value TEvaluadorFormulas::CompileStripped(std::string_view text) {
  if (text.empty()) return Value();
  if (auto it = planByText_.find(text); it != planByText_.end()) return it->second ? it->second->pin : Value();
  Value plan;
  Hash& cache = hExecutablePlanCache.AsHash();
  if (const Value* cached = cache.Find(text)) {
    plan = cached->IsHash() ? *cached : Value();
  } else {
    plan = BuildExecutablePlan(text);
    hExecutablePlanCache.AsHash().Put(text, plan.IsHash() ? plan : Value(false));
  }
  planByText_.emplace(std::string(text), plan.IsHash() ? RegisterPlan(plan) : nullptr);
  return plan;
}

Value TEvaluadorFormulas::BuildExecutablePlan(std::string_view text) {
  using T = FormulaAnalysis::Tipo;
  DepthGuard guard(nProfundidad_);
  if (nProfundidad_ > kMaxDepth) return Value();  // too deep to compile: evaluated interpretively
  const FormulaAnalysis& a = Analizar(text);
  auto compileAll = [&](const std::vector<std::string>& parts, Value& children) {
    children = Value::NewArray();
    for (const std::string& part : parts) {
      Value child = BuildExecutablePlan(part);
      if (!child.IsHash()) return false;
      children.Append(child);
    }
    return true;
  };
  switch (a.tipo) {
    case T::Literal: {
      static const Value kEmpty = Value::NewHash();
      return MakeHash({{"tipo", "value"}, {"valor", ResolveOperand(text, kEmpty)}});
    }
    case T::Argumento: {
      if (int w = BooleanWord(text); w >= 0) return MakeHash({{"tipo", "value"}, {"valor", Value(w == 1)}});
      if (const Value* c = FindConstant(text)) return MakeHash({{"tipo", "value"}, {"valor", *c}});
      if (IsIdentifier(text)) return MakeHash({{"tipo", "variable"}, {"nombre", std::string(TrimView(text))}});
      return Value();
    }
    case T::Comparacion: {
      std::string left = a.left, op = a.op, right = a.right;
      Value l = BuildExecutablePlan(left);
      if (!l.IsHash()) return Value();
      Value r = BuildExecutablePlan(right);
      if (!r.IsHash()) return Value();
      return MakeHash({{"tipo", "comparison"}, {"left", l}, {"operator", op}, {"right", r}});
    }
    case T::Not: {
      std::string operand = a.expresion;
      Value child = BuildExecutablePlan(operand);
      if (!child.IsHash()) return Value();
      return MakeHash({{"tipo", "not"}, {"child", child}});
    }
    case T::And:
    case T::Or:
    case T::Suma: {
      std::vector<std::string> parts = a.partes;
      std::string_view kind = a.tipo == T::And ? "and" : (a.tipo == T::Or ? "or" : "sum");
      Value children;
      if (!compileAll(parts, children)) return Value();
      return MakeHash({{"tipo", kind}, {"children", children}});
    }
    case T::Funcion: {
      std::string name = a.funcion, key = a.clave;
      std::vector<std::string> args = a.argumentos;
      if (key == "IF" || key == "IIF" || key == "COND") {
        if (args.size() != 3) return Value();
        // An empty condition holds and an empty branch gives "", as in the interpretive
        // evaluation; the empty text alone would compile to false.
        Value nodes[3];
        for (size_t i = 0; i < 3; ++i) {
          if (TrimView(args[i]).empty()) {
            nodes[i] = MakeHash({{"tipo", "value"}, {"valor", i == 0 ? Value(true) : Value("")}});
          } else {
            nodes[i] = BuildExecutablePlan(args[i]);
          }
          if (!nodes[i].IsHash()) return Value();
        }
        return MakeHash({{"tipo", "if"}, {"condition", nodes[0]}, {"true", nodes[1]}, {"false", nodes[2]}});
      }
      if (EsFuncionInternaMotor(Value(key)).AsBool()) {
        return MakeHash({{"tipo", "engine_function"}, {"name", key}, {"arguments", StringArray(args)}});
      }
      Value children = Value::NewArray();
      for (const std::string& arg : args) {
        Value child = TrimView(arg).empty() ? MakeHash({{"tipo", "value"}, {"valor", ""}}) : BuildExecutablePlan(arg);
        if (!child.IsHash()) return Value();
        children.Append(child);
      }
      return MakeHash({{"tipo", "function"}, {"name", name}, {"children", children}});
    }
    case T::Aritmetica: return Value();
  }
  return Value();
}

Value TEvaluadorFormulas::EvaluateFormulaPlan(const Value& plan, const Value& hVariables) {
  static const Value kEmpty = Value::NewHash();
  if (!plan.IsHash()) return Value();
  return EvaluateFormulaPlanInternal(plan, hVariables.IsHash() ? hVariables : kEmpty);
}

bool TEvaluadorFormulas::FormulaPlanTruthy(const Value& v) {
  if (v.IsLogical()) return v.AsBool();
  if (!IsCollection(v)) {
    if (int w = BooleanWord(ValorAString(v)); w >= 0) return w == 1;
  }
  return !IsEmpty(v);
}

// A compiled plan is mirrored once into typed nodes so that evaluating it reads no hash keys and
// compares no type names.
std::unique_ptr<TEvaluadorFormulas::PlanNode> TEvaluadorFormulas::BuildTyped(const Value& node, bool registerNodes,
                                                                             int depth) {
  auto out = std::make_unique<PlanNode>();
  const HashPtr* hp = node.HashRef();
  if (!hp || depth > kMaxDepth) return out;
  const Hash& h = **hp;
  out->pin = node;
  static const Value kNil;
  auto get = [&](std::string_view k) -> const Value& {
    const Value* v = h.Find(k);
    return v ? *v : kNil;
  };
  auto child = [&](const Value& v) { out->children.push_back(BuildTyped(v, registerNodes, depth + 1)); };
  std::string tipo = ValorAString(get("tipo"));
  using Op = PlanNode::Op;
  if (tipo == "value") {
    out->op = Op::Constant;
    out->valor = get("valor");
  } else if (tipo == "variable") {
    out->op = Op::Variable;
    out->name = ValorAString(get("nombre"));
    out->resolves = StartsWith(out->name, "VAR.") || StartsWith(out->name, "SUM.");
  } else if (tipo == "comparison") {
    out->op = Op::Comparison;
    out->cmp = CmpCode(ValorAString(get("operator")));
    child(get("left"));
    child(get("right"));
  } else if (tipo == "and" || tipo == "or" || tipo == "sum" || tipo == "function") {
    out->op = tipo == "and" ? Op::And : (tipo == "or" ? Op::Or : (tipo == "sum" ? Op::Sum : Op::Function));
    out->name = ValorAString(get("name"));
    if (out->op == Op::Function) out->slot = TFuncFormulas::FunctionSlot(out->name);
    if (const ArrayPtr* list = get("children").ArrayRef()) {
      for (const Value& c : **list) child(c);
    }
  } else if (tipo == "not") {
    out->op = Op::Not;
    child(get("child"));
  } else if (tipo == "if") {
    out->op = Op::If;
    child(get("condition"));
    child(get("true"));
    child(get("false"));
  } else if (tipo == "engine_function") {
    out->op = Op::Engine;
    out->name = UpperTrim(ValorAString(get("name")));
    if (const ArrayPtr* list = get("arguments").ArrayRef()) {
      for (const Value& a : **list) out->args.push_back(ValorAString(a));
    }
  }
  // Only a constant or a variable read as it is runs no other formula.
  for (size_t i = 0; i < out->children.size(); ++i) {
    const PlanNode& c = *out->children[i];
    if (c.op != Op::Constant && !(c.op == Op::Variable && !c.resolves)) out->lastImpure = static_cast<int>(i);
  }
  if (registerNodes) typedPlans_.emplace(hp->get(), out.get());
  return out;
}

const TEvaluadorFormulas::PlanNode* TEvaluadorFormulas::RegisterPlan(const Value& plan) {
  const HashPtr* hp = plan.HashRef();
  if (!hp) return nullptr;
  if (auto it = typedPlans_.find(hp->get()); it != typedPlans_.end()) return it->second;
  ownedPlans_.push_back(BuildTyped(plan, true, 0));
  return ownedPlans_.back().get();
}

Value TEvaluadorFormulas::EvaluateFormulaPlanInternal(const Value& node, const Value& vars) {
  const HashPtr* hp = node.HashRef();
  if (!hp) return Value();
  if (auto it = typedPlans_.find(hp->get()); it != typedPlans_.end()) return EvalNode(*it->second, vars);
  // A plan built by a caller rather than compiled here is mirrored for this evaluation only.
  std::unique_ptr<PlanNode> transient = BuildTyped(node, false, 0);
  return EvalNode(*transient, vars);
}

namespace {

// Room for one value computed during a plan evaluation, constructed only when it is needed: most
// operands are constants or variables read in place and never use it.
class LazyValue {
 public:
  LazyValue() = default;
  LazyValue(const LazyValue&) = delete;
  LazyValue& operator=(const LazyValue&) = delete;
  ~LazyValue() {
    if (set_) std::launder(reinterpret_cast<Value*>(buffer_))->~Value();
  }
  // Stores the value make() returns, built in place.
  template <typename Make>
  const Value& Emplace(Make&& make) {
    Value* v = ::new (static_cast<void*>(buffer_)) Value(make());
    set_ = true;
    return *v;
  }

 private:
  alignas(Value) unsigned char buffer_[sizeof(Value)];
  bool set_ = false;
};

// The operands of one call or sum: a pointer per operand, to the value in place or to the
// computed one kept here. The usual few live on the stack.
class OperandRefs {
 public:
  explicit OperandRefs(size_t n) : size_(n) {
    if (n > kInline) {
      heapRefs_.resize(n);
      heapValues_ = std::make_unique<LazyValue[]>(n);
    }
  }
  const Value*& Ref(size_t i) { return size_ > kInline ? heapRefs_[i] : inlineRefs_[i]; }
  LazyValue& Store(size_t i) { return size_ > kInline ? heapValues_[i] : inlineValues_[i]; }
  std::span<const Value* const> Span() const {
    return size_ > kInline ? std::span<const Value* const>(heapRefs_) : std::span<const Value* const>(inlineRefs_, size_);
  }

 private:
  static constexpr size_t kInline = 6;
  size_t size_;
  const Value* inlineRefs_[kInline];
  LazyValue inlineValues_[kInline];
  std::vector<const Value*> heapRefs_;
  std::unique_ptr<LazyValue[]> heapValues_;
};

}  // namespace

const Value* TEvaluadorFormulas::FindPlanVariable(const PlanNode& n, const Value& vars) const {
  const HashPtr* vh = vars.HashRef();
  if (!vh) return nullptr;
  const Hash& h = **vh;
  // Keys are unique, so the entry at the hinted position is the one a lookup would find when its
  // key is the name; any other outcome takes the lookup.
  if (n.hint < h.size() && h.KeyAt(n.hint) == n.name) return &h.ValueAt(n.hint);
  const size_t position = h.IndexOf(n.name);
  if (position == HashKeyTable::npos) return nullptr;
  n.hint = static_cast<uint32_t>(position);
  return &h.ValueAt(position);
}

// The operand's value: a constant, or a plain variable when inPlace allows it, read where it
// stands; anything else evaluated into store.
template <typename Store>
const Value& TEvaluadorFormulas::EvalPlanRef(const PlanNode& n, const Value& vars, bool inPlace, Store& store) {
  if (n.op == PlanNode::Op::Constant) return n.valor;
  if (inPlace && n.op == PlanNode::Op::Variable && !n.resolves) {
    if (const Value* v = FindPlanVariable(n, vars)) return *v;
  }
  return store.Emplace([&] { return EvalNode(n, vars); });
}

bool TEvaluadorFormulas::EvalPlanComparison(const PlanNode& n, const Value& vars) {
  if (n.children.size() < 2) return false;
  LazyValue left, right;
  const Value& l = EvalPlanRef(*n.children[0], vars, n.lastImpure <= 0, left);
  const Value& r = EvalPlanRef(*n.children[1], vars, true, right);
  return CompararCodigo(l, n.cmp, r);
}

// The truth of a node used as a condition; a comparison gives its answer without a value.
bool TEvaluadorFormulas::EvalPlanCondition(const PlanNode& n, const Value& vars) {
  if (n.op == PlanNode::Op::Comparison) return EvalPlanComparison(n, vars);
  return FormulaPlanTruthy(EvalNode(n, vars));
}

Value TEvaluadorFormulas::EvalNode(const PlanNode& n, const Value& vars) {
  using Op = PlanNode::Op;
  switch (n.op) {
    case Op::Nil: return Value();
    case Op::Constant: return n.valor;
    case Op::Variable: {
      if (const Value* exact = FindPlanVariable(n, vars)) {
        return n.resolves ? ResolveVariableText(n.name, *exact, vars) : *exact;
      }
      if (HashHasKeyFormula(vars, n.name)) return ValorVariableText(n.name, vars);
      return VariableNoEncontrada(Value(n.name));
    }
    case Op::Comparison: return Value(EvalPlanComparison(n, vars));
    case Op::And:
      for (const auto& c : n.children) {
        if (!EvalPlanCondition(*c, vars)) return Value(false);
      }
      return Value(true);
    case Op::Or:
      for (const auto& c : n.children) {
        if (EvalPlanCondition(*c, vars)) return Value(true);
      }
      return Value(false);
    case Op::Not:
      if (n.children.empty()) return Value(true);
      return Value(!EvalPlanCondition(*n.children[0], vars));
    case Op::If: {
      if (n.children.size() < 3) return Value();
      bool holds = EvalPlanCondition(*n.children[0], vars);
      return EvalNode(*n.children[holds ? 1 : 2], vars);
    }
    case Op::Sum:
    case Op::Function: {
      // Operands are evaluated in order; constants and plain variables are passed where they
      // stand instead of being copied.
      OperandRefs operands(n.children.size());
      for (size_t i = 0; i < n.children.size(); ++i) {
        bool inPlace = static_cast<int>(i) >= n.lastImpure;
        operands.Ref(i) = &EvalPlanRef(*n.children[i], vars, inPlace, operands.Store(i));
      }
      if (n.op == Op::Sum) return SumRefs(operands.Span());
      return LlamarBibliotecaRefs(n.name, operands.Span(), n.slot);
    }
    case Op::Engine: return Motor(n.name, n.args, vars);
  }
  return Value();
}

// ---- Simple accumulator plans ------------------------------------------------------------------------------

Value TEvaluadorFormulas::BuildSimpleAccumulatorOperand(const Value& node) {
  if (!node.IsHash()) return Value();
  std::string tipo = ValorAString(HGet(node, "tipo"));
  if (tipo == "value") return Value::FromArray({Value::Int(1), HGet(node, "valor")});
  if (tipo == "variable") {
    Value nameValue = HGet(node, "nombre");
    if (!nameValue.IsString()) return Value();
    const std::string& name = nameValue.AsString();
    std::string upper = UpperTrim(name);
    if (name.empty() || name.find('.') == std::string::npos || StartsWith(upper, "VAR.") || StartsWith(upper, "SUM.")) {
      return Value();
    }
    return Value::FromArray({Value::Int(2), nameValue});
  }
  return Value();
}

Value TEvaluadorFormulas::BuildSimpleAccumulatorConditions(const Value& node) {
  if (!node.IsHash()) return Value();
  std::string tipo = ValorAString(HGet(node, "tipo"));
  if (tipo == "comparison") {
    Value left = BuildSimpleAccumulatorOperand(HGet(node, "left"));
    Value right = BuildSimpleAccumulatorOperand(HGet(node, "right"));
    if (left.IsNil() || right.IsNil()) return Value();
    Value triple = Value::FromArray({left, Value(ValorAString(HGet(node, "operator"))), right});
    return Value::FromArray({triple});
  }
  if (tipo == "and") {
    Value out = Value::NewArray();
    Value childList = HGet(node, "children");
    const ArrayPtr* children = childList.ArrayRef();
    if (!children) return Value();
    for (const Value& child : **children) {
      Value list = BuildSimpleAccumulatorConditions(child);
      if (!list.IsArray()) return Value();
      for (const Value& c : list.AsArray()) out.Append(c);
    }
    return out;
  }
  return Value();
}

Value TEvaluadorFormulas::CompileSimpleAccumulatorPlan(const Value& plan) {
  if (!plan.IsHash() || ValorAString(HGet(plan, "tipo")) != "if") return Value();
  Value conditions = BuildSimpleAccumulatorConditions(HGet(plan, "condition"));
  Value whenTrue = BuildSimpleAccumulatorOperand(HGet(plan, "true"));
  Value whenFalse = BuildSimpleAccumulatorOperand(HGet(plan, "false"));
  if (!conditions.IsArray() || conditions.Len() == 0 || whenTrue.IsNil() || whenFalse.IsNil()) return Value();
  return Value::FromArray({conditions, whenTrue, whenFalse});
}

Value TEvaluadorFormulas::SimpleAccumulatorFalseIsZero(const Value& simplePlan) {
  if (!simplePlan.IsArray() || simplePlan.Len() < 3) return Value(false);
  const Value& f = simplePlan.Item(3);
  if (!f.IsArray() || f.Len() < 2) return Value(false);
  const Value& kind = f.Item(1);
  const Value& value = f.Item(2);
  return Value(kind.IsNumber() && kind.AsDouble() == 1 && value.IsNumber() && value.AsDouble() == 0);
}

Value TEvaluadorFormulas::EvaluateSimpleAccumulatorOperand(const Value& operand, const Value& vars) {
  if (!operand.IsArray() || operand.Len() < 2) return Value();
  const Value& kind = operand.Item(1);
  const Value& payload = operand.Item(2);
  if (kind.IsNumber() && kind.AsDouble() == 1) return payload;
  if (!payload.IsString()) return Value();
  const std::string& name = payload.AsString();
  if (const HashPtr* vh = vars.HashRef()) {
    if (const Value* exact = (*vh)->Find(name)) return *exact;
  }
  return ValorVariableText(name, vars);
}

Value TEvaluadorFormulas::EvaluateSimpleAccumulatorCondition(const Value& simplePlan, const Value& hVariables) {
  static const Value kEmpty = Value::NewHash();
  if (!simplePlan.IsArray() || simplePlan.Len() < 3) return Value(false);
  const Value& vars = hVariables.IsHash() ? hVariables : kEmpty;
  const ArrayPtr* conditions = simplePlan.Item(1).ArrayRef();
  if (!conditions) return Value(false);
  for (const Value& c : **conditions) {
    if (!c.IsArray() || c.Len() < 3) return Value(false);
    Value left = EvaluateSimpleAccumulatorOperand(c.Item(1), vars);
    Value right = EvaluateSimpleAccumulatorOperand(c.Item(3), vars);
    const Value& op = c.Item(2);
    if (!CompararCodigo(left, CmpCode(ValorAString(op)), right)) return Value(false);
  }
  return Value(true);
}

Value TEvaluadorFormulas::EvaluateSimpleAccumulatorValue(const Value& simplePlan, const Value& lCondition,
                                                         const Value& hVariables) {
  static const Value kEmpty = Value::NewHash();
  if (!simplePlan.IsArray() || simplePlan.Len() < 3) return Value();
  bool holds = lCondition.IsLogical() && lCondition.AsBool();
  return EvaluateSimpleAccumulatorOperand(simplePlan.Item(holds ? 2 : 3), hVariables.IsHash() ? hVariables : kEmpty);
}

}  // namespace nv

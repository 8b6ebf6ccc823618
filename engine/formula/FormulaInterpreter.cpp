#include "formula/FormulaInterpreter.h"

#include "Accessors.h"
#include "Runtime.h"
#include "formula/FormulaOperators.h"
#include "formula/FormulaSplitter.h"
#include "formula/FormulaText.h"
#include "formula/TEvaluadorFormulas.h"
#include "formula/TFuncFormulas.h"

namespace nv {

namespace {

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

}  // namespace

Value FormulaInterpreter::EvalAnalysis(std::string_view text, const FormulaAnalysis& a, const Value& vars) {
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
      Value left = ev_.EvalText(a.left, vars);
      Value right = ev_.EvalText(a.right, vars);
      return Value(FormulaOperators::Compare(left, FormulaOperators::ComparisonOf(a.op), right));
    }
    case T::Suma: return Suma(a.partes, vars);
    case T::Aritmetica: return EvaluarOperacionAritmetica(a.pares, vars);
    case T::Funcion: return EvaluarFuncion(text, a, vars);
  }
  return Value();
}

Value FormulaInterpreter::ResolveOperand(std::string_view raw, const Value& vars) {
  std::string text = FormulaSplitter::QuitarParentesisExternos(raw);
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
  if (int w = FormulaSplitter::BooleanWord(text); w >= 0) return Value(w == 1);
  if (const Value* c = ev_.FindConstant(text)) return *c;
  if (HashHasKeyFormula(vars, text)) return ValorVariableText(text, vars);
  if (text.size() >= 2 && first == '@') {
    std::string rest = text.substr(1);
    std::string userName = "VAR." + rest;
    if (HashHasKeyFormula(vars, userName)) return ValorVariableText(userName, vars);
    std::string accName = "SUM." + rest;
    if (HashHasKeyFormula(vars, accName)) return ValorVariableText(accName, vars);
  }
  if (FormulaSplitter::EsLlamadaFuncion(text)) {
    // An operand that is a call is evaluated as a whole formula; guard against a text that
    // would analyse back to this operand.
    if (ev_.nProfundidad_ > TEvaluadorFormulas::kMaxDepth) return ev_.ErrorText("[Expresion no valida: " + text + "]");
    return ev_.EvalText(text, vars);
  }
  if (FormulaSplitter::IsIdentifier(text)) return ev_.VariableNoEncontrada(Value(text));
  return ev_.ErrorText("[Expresion no valida: " + text + "]");
}

Value FormulaInterpreter::ValorVariableText(std::string_view name, const Value& vars) {
  return ResolveVariableText(name, HashGetFormula(vars, name, Value()), vars);
}

Value FormulaInterpreter::ResolveVariableText(std::string_view name, const Value& value, const Value& vars) {
  if (!value.IsString() || !(StartsWith(name, "VAR.") || StartsWith(name, "SUM."))) return value;
  Value resolved = ev_.hResolvedVariableCache;
  if (const Value* cached = resolved.AsHash().Find(name)) return *cached;
  std::string_view formula = TrimView(value.AsString());
  if (formula.empty()) return Value("");
  if (HashHasKeyFormula(ev_.hVariablesResolviendo, name)) {
    Value detect = HGet(ev_.hOpciones, "detectarCircularidad");
    if (detect.IsTrue()) return Value("[Referencia circular: " + std::string(name) + "]");
    return value;
  }
  // The guard entry must go whatever happens inside the evaluation, so the name is removed by a
  // scope object rather than after the call.
  Value resolving = ev_.hVariablesResolviendo;
  std::string key(name);
  resolving.AsHash().Put(key, Value(true));
  struct Leave {
    const Value& h;
    const std::string& k;
    ~Leave() { h.AsHash().Erase(k); }
  } leave{resolving, key};
  std::string formulaText(formula);
  Value result = ev_.EvalText(formulaText, vars);
  // A cache emptied while evaluating (a state change from a callback) is not refilled with a
  // value computed under the old state.
  if (ev_.hResolvedVariableCache.SameRef(resolved)) resolved.AsHash().Put(key, result);
  return result;
}

bool FormulaInterpreter::CondicionText(std::string_view raw, const Value& vars, bool& invalid) {
  invalid = false;
  std::string_view text = TrimView(raw);
  if (text.empty()) return true;
  if (int w = FormulaSplitter::BooleanWord(text); w >= 0) return w == 1;
  Value r = ev_.EvalText(text, vars);
  if (r.IsString() && r.AsString().find('[') != std::string::npos) {
    invalid = true;
    return false;
  }
  return FormulaOperators::Truthy(r);
}

Value FormulaInterpreter::Suma(const std::vector<std::string>& partes, const Value& vars) {
  std::vector<Value> values;
  values.reserve(partes.size());
  for (const std::string& part : partes) values.push_back(ev_.EvalText(part, vars));
  bool failed = false;
  Value total = FormulaOperators::Sum(values, failed);
  if (failed) return ev_.ErrorText("[Expresion no valida]");
  return total;
}

Value FormulaInterpreter::DateDifference(const Value& a, const Value& b) {
  if (!ev_.Biblioteca()) return Value();
  try {
    return TFuncFormulas::DateDifference(a, b);
  } catch (const RuntimeError&) {
    return Value();
  }
}

Value FormulaInterpreter::EvaluarOperacionAritmetica(const std::vector<std::pair<std::string, std::string>>& pares,
                                                     const Value& vars) {
  if (pares.empty()) return ev_.ErrorText("[Expresion no valida]");
  Value acc = ev_.EvalText(pares[0].first, vars);
  for (size_t k = 1; k < pares.size(); ++k) {
    const auto& [operandText, op] = pares[k];
    Value v = ev_.EvalText(operandText, vars);
    bool numeric = EsNumerico(acc) && EsNumerico(v);
    if (op == "-" && !numeric) {
      Value diff = DateDifference(acc, v);
      if (!EsNumerico(diff)) return ev_.ErrorText("[Expresion no valida: " + operandText + "]");
      acc = diff;
      continue;
    }
    if (!numeric) return ev_.ErrorText("[Expresion no valida: " + operandText + "]");
    Value x = FormulaOperators::NumberThroughText(acc);
    Value y = FormulaOperators::NumberThroughText(v);
    try {
      if (op == "-") {
        acc = OpSub(x, y);
      } else if (op == "*") {
        acc = OpMul(x, y);
      } else if (op == "/") {
        acc = y.AsDouble() == 0 ? Value::Int(0) : OpDiv(x, y);
      } else {
        return ev_.ErrorText("[Expresion no valida: " + operandText + "]");
      }
    } catch (const RuntimeError&) {
      return ev_.ErrorText("[Expresion no valida: " + operandText + "]");
    }
  }
  if (!EsNumerico(acc)) return ev_.ErrorText("[Expresion no valida]");
  if (acc.IsString()) acc = FormulaOperators::NumberThroughText(acc);
  return FormulaOperators::IntegerWhenIntegral(acc);
}

Value FormulaInterpreter::ResolverIIf(std::string_view text, const std::vector<std::string>& args, const Value& vars) {
  if (args.size() != 3) return ev_.ErrorText("[Formula IIf no valida: " + std::string(text) + "]");
  bool invalid = false;
  bool holds = CondicionText(args[0], vars, invalid);
  if (invalid) return ev_.ErrorText("[Formula IIf no valida: " + std::string(text) + "]");
  return ev_.EvalText(holds ? args[1] : args[2], vars);
}

Value FormulaInterpreter::EvaluarFuncion(std::string_view text, const FormulaAnalysis& a, const Value& vars) {
  if (a.esIf) return ResolverIIf(text, a.argumentos, vars);
  if (a.esMotor) return ev_.engineFunctions_.Call(a.clave, a.argumentos, vars);
  ArgBuffer args(a.argumentos.size());
  for (size_t i = 0; i < a.argumentos.size(); ++i) {
    const std::string& arg = a.argumentos[i];
    args[i] = TrimView(arg).empty() ? Value("") : ev_.EvalText(arg, vars);
  }
  return ev_.CallLibrary(a.funcion, args.span(), a.slot);
}

}  // namespace nv

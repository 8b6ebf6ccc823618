#include "formula/EngineFunctions.h"

#include <algorithm>
#include <optional>
#include <unordered_set>

#include "Accessors.h"
#include "Runtime.h"
#include "data/RecordSequence.h"
#include "formula/FormulaOperators.h"
#include "formula/FormulaSplitter.h"
#include "formula/FormulaText.h"
#include "formula/TEvaluadorFormulas.h"

namespace nv {

namespace {

// The integer part of a number or numeric text; def for anything else.
int64_t TruncNumber(const Value& v, int64_t def) {
  if (v.IsNumber()) return ValueInt(v);
  if (v.IsString() && EsNumerico(v)) return ValueInt(v);
  return def;
}

}  // namespace

bool EngineFunctions::IsEngineFunction(std::string_view upperName) {
  static const std::unordered_set<std::string_view> kNames = {
      "PAGE",       "PAGES",     "TOTALPAGES",   "LASTPAGE",      "PAGEBY",      "TOTALPAGESBY",
      "LASTPAGEBY", "ASKSTRING", "PROJECTPATH",  "SUM",           "PREVIOUS",    "NEXT",
      "RECNO",      "RECCOUNT",  "GROUPCHANGED", "ISFIRSTRECORD", "ISLASTRECORD"};
  return kNames.contains(upperName);
}

bool EngineFunctions::ReadsPageState(std::string_view upperName) {
  return upperName == "PAGE" || upperName == "PAGES" || upperName == "TOTALPAGES" || upperName == "LASTPAGE" ||
         upperName == "PAGEBY" || upperName == "TOTALPAGESBY" || upperName == "LASTPAGEBY";
}

Value EngineFunctions::Call(std::string_view key, const std::vector<std::string>& args, const Value& vars) {
  const Value& state = ev_.hEstadoEjecucion;
  int64_t idx = TruncNumber(HGet(state, "nIndiceRegistro"), -1);
  int64_t total = TruncNumber(HGet(state, "nTotalRegistros"), 0);
  std::string_view arg1 = args.empty() ? std::string_view() : std::string_view(args[0]);
  auto page = [&] { return std::max<int64_t>(1, TruncNumber(HGet(state, "nPaginaActual"), 1)); };
  auto pages = [&] { return std::max<int64_t>(1, TruncNumber(HGet(state, "nTotalPaginas"), 1)); };
  auto isTrue = [&](std::string_view k) {
    Value v = HGet(state, k);
    return v.IsTrue();
  };
  bool lastRecord = idx >= 0 && total > 0 && idx == total - 1;

  if (ReadsPageState(key)) ++ev_.pageStateReads_;
  if (key == "PAGE") return Value::Int(page());
  if (key == "PAGES" || key == "TOTALPAGES") return Value::Int(pages());
  if (key == "LASTPAGE") {
    if (!isTrue("lLastPageDisponible")) return Value(false);
    if (!isTrue("lTotalPaginasConocido")) return Value(lastRecord);
    return Value(page() >= pages());
  }
  if (key == "PAGEBY") return Value::Int(PageBy(PaginasDeClave(arg1, vars)));
  if (key == "TOTALPAGESBY") return Value::Int(TotalPagesBy(PaginasDeClave(arg1, vars)));
  if (key == "LASTPAGEBY") {
    // The key is evaluated once for both numbers.
    const std::vector<int64_t> pages = PaginasDeClave(arg1, vars);
    return Value(PageBy(pages) >= TotalPagesBy(pages));
  }
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
  return ev_.ErrorText("[Funcion no implementada: " + std::string(key) + "]");
}

std::string EngineFunctions::ResolverClavePaginacion(std::string_view key, const Value& vars) {
  std::string_view text = TrimView(key);
  if (text.empty()) return "";
  Value v = ev_.EvalText(text, vars);
  if (v.IsString()) {
    static constexpr std::string_view kPrefix = "[Variable no encontrada: ";
    const std::string& s = v.AsString();
    if (StartsWith(s, kPrefix) && EndsWith(s, "]")) {
      std::string userName = "VAR." + s.substr(kPrefix.size(), s.size() - kPrefix.size() - 1);
      if (HashHasKeyFormula(vars, userName)) v = ev_.interpreter_.ValorVariableText(userName, vars);
    }
  }
  if (v.IsLogical()) return v.AsBool() ? "true" : "false";
  if (v.IsNil()) return "";
  return ValorAString(v);
}

std::vector<int64_t> EngineFunctions::PaginasPorClave(const std::string& keyText) {
  std::vector<int64_t> out;
  Value byKey = HGet(ev_.hEstadoEjecucion, "hPaginacionPorClave");
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

std::vector<int64_t> EngineFunctions::PaginasDeClave(std::string_view key, const Value& vars) {
  return PaginasPorClave(ResolverClavePaginacion(key, vars));
}

int64_t EngineFunctions::TotalPagesBy(const std::vector<int64_t>& pages) {
  return std::max<int64_t>(1, static_cast<int64_t>(pages.size()));
}

int64_t EngineFunctions::PageBy(const std::vector<int64_t>& pages) {
  if (pages.empty()) return 1;
  int64_t current = std::max<int64_t>(1, TruncNumber(HGet(ev_.hEstadoEjecucion, "nPaginaActual"), 1));
  auto it = std::find(pages.begin(), pages.end(), current);
  return it == pages.end() ? 1 : static_cast<int64_t>(it - pages.begin()) + 1;
}

Value EngineFunctions::Sum(std::string_view expression, const Value& vars) {
  std::string_view text = TrimView(expression);
  if (text.empty()) return Value::Int(0);
  // A copy of the list: evaluating may replace the options array.
  const Value records = HGet(ev_.hOpciones, "aRegistrosDetalleRuntime");
  const int64_t count = RecordSequence::CountOf(records);
  if (count <= 0) {
    Value v = ev_.EvalText(text, vars);
    return EsNumerico(v) ? FormulaOperators::IntegerWhenIntegral(FormulaOperators::NumberThroughText(v))
                         : Value::Int(0);
  }
  int64_t idx = TruncNumber(HGet(ev_.hEstadoEjecucion, "nIndiceRegistro"), -1);
  const auto all = static_cast<size_t>(count);
  const size_t limit = idx >= 0 ? std::min(static_cast<size_t>(idx) + 1, all) : all;
  if (const Value* known = memo_.Find(EvaluationMemo::Kind::Sum, text, vars)) return *known;
  Value total;
  if (NamesRecordField(text, vars)) {
    total = sums_.Total(records, limit, text, [&](const Value& record) -> std::optional<Value> {
      if (!HashHasKeyFormula(record, text)) return std::nullopt;
      return ev_.EvalText(text, EvaluationMemo::ScopeOver(vars, record));
    });
  }
  if (total.IsNil()) total = SumByWalking(text, vars, records, limit);
  memo_.Store(EvaluationMemo::Kind::Sum, text, vars, total);
  return total;
}

Value EngineFunctions::SumByWalking(std::string_view text, const Value& vars, const Value& records, size_t limit) {
  // Record scopes are worth keeping only when the argument walks the records again: then every
  // nested walk reuses them, and each argument is evaluated once per record scope.
  const bool nested = Upper(text).find("SUM") != std::string::npos;
  Value total = Value::Int(0);
  for (size_t i = 0; i < limit; ++i) {
    const Value record = RecordSequence::HashAt(records, static_cast<int64_t>(i));
    if (!record.IsHash()) continue;
    Value v = nested ? EvalOnce(text, memo_.RecordScope(vars, record))
                     : ev_.EvalText(text, EvaluationMemo::ScopeOver(vars, record));
    if (!EsNumerico(v)) continue;
    try {
      total = OpAdd(total, FormulaOperators::NumberThroughText(v));
    } catch (const RuntimeError&) {
    }
  }
  return FormulaOperators::IntegerWhenIntegral(total);
}

bool EngineFunctions::NamesRecordField(std::string_view text, const Value& vars) const {
  if (!FormulaSplitter::IsIdentifier(text) || EsTextoNumerico(text)) return false;
  if (FormulaSplitter::BooleanWord(text) >= 0 || ev_.FindConstant(text) != nullptr) return false;
  // A text-valued user variable or accumulator is a formula evaluated in the scope.
  const std::string upper = Upper(text);
  if (StartsWith(upper, "VAR.") || StartsWith(upper, "SUM.")) return false;
  return !HashHasKeyFormula(vars, text);
}

Value EngineFunctions::EvalOnce(std::string_view text, const Value& scope) {
  if (const Value* known = memo_.Find(EvaluationMemo::Kind::Argument, text, scope)) return *known;
  Value value = ev_.EvalText(text, scope);
  memo_.Store(EvaluationMemo::Kind::Argument, text, scope, value);
  return value;
}

Value EngineFunctions::AskString(const std::vector<std::string>& args, const Value& vars) {
  auto arg = [&](size_t i, std::string_view def) { return i < args.size() ? std::string_view(args[i]) : def; };
  std::string prompt = ValorAString(ev_.EvalText(arg(0, ""), vars));
  std::string answer = ValorAString(ev_.EvalText(arg(2, ""), vars));
  Value limitValue = ev_.EvalText(arg(3, "0"), vars);
  int64_t limit = EsNumerico(limitValue) ? std::max<int64_t>(0, ValueInt(limitValue)) : 0;
  Value answers = HGet(ev_.hOpciones, "hAskStringValues");
  if (answers.IsHash() && HashHasKeyFormula(answers, prompt)) answer = ValorAString(HashGetFormula(answers, prompt));
  if (limit > 0 && static_cast<size_t>(limit) < answer.size()) answer.resize(static_cast<size_t>(limit));
  return Value(answer);
}

Value EngineFunctions::ProjectPath(const std::vector<std::string>& args, const Value& vars) {
  auto option = [&](std::string_view k) { return AllTrim(ValorAString(HGet(ev_.hOpciones, k))); };
  std::string full = option("cProjectFilePath");
  std::string dir = option("cProjectPath");
  std::string name = option("cProjectFileName");
  bool withFile = false;
  if (!args.empty() && !TrimView(args[0]).empty()) {
    Value v = ev_.EvalText(args[0], vars);
    withFile = v.IsLogical() ? v.AsBool() : FormulaSplitter::BooleanWord(ValorAString(v)) == 1;
  }
  if (dir.empty() && !full.empty()) dir = DirPart(full);
  while (!dir.empty() && (dir.back() == '/' || dir.back() == '\\')) dir.pop_back();
  if (!dir.empty()) dir += PathSeparator();
  if (!withFile) return Value(dir);
  if (!full.empty()) return Value(full);
  return Value(dir + name);
}

Value EngineFunctions::EvaluarExpresionRegistroRelativo(std::string_view expression, const Value& vars,
                                                        std::string_view recordKey) {
  if (TrimView(expression).empty()) return Value();
  Value record = HGet(ev_.hEstadoEjecucion, recordKey);
  if (!record.IsHash() || record.Len() == 0) return Value();
  return ev_.EvalText(expression, ev_.HashMergeVariables(vars, record));
}

bool EngineFunctions::GroupChanged(std::string_view expression, const Value& vars, int64_t idx) {
  if (TrimView(expression).empty()) return false;
  if (idx <= 0) return true;
  Value previous = HGet(ev_.hEstadoEjecucion, "hRegistroAnterior");
  if (!previous.IsHash() || previous.Len() == 0) return true;
  // Each scope's value is remembered: nested group changes would otherwise double the work at
  // every level.
  Value current = EvalOnce(expression, vars);
  Value before =
      EvalOnce(expression, memo_.PreviousRecordScope(vars, [&] { return ev_.HashMergeVariables(vars, previous); }));
  try {
    return !ExactEqual(current, before);
  } catch (const RuntimeError&) {
    return true;
  }
}

}  // namespace nv

#pragma once
// The functions the evaluator answers from the state of the running execution rather than from
// values: page and page count, pages per key, the current record's position, the previous and
// next records, running sums over the detail records, group changes, prompt answers and the
// project path. Their arguments arrive as unevaluated formula texts; each function evaluates what
// it needs, reading the evaluator's execution state and options. Functions that evaluate an
// argument in more than one scope or once per record go through the evaluation memo, so nesting
// them stays linear; running sums of a field are kept across evaluations.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Value.h"
#include "formula/EvaluationMemo.h"
#include "formula/RecordSumCache.h"

namespace nv {

class TEvaluadorFormulas;

class EngineFunctions {
 public:
  explicit EngineFunctions(TEvaluadorFormulas& evaluator) : ev_(evaluator) {}

  /// True for the trimmed, upper-case name of an engine function.
  static bool IsEngineFunction(std::string_view upperName);
  /// True for the engine functions whose result depends on the page being composed.
  static bool ReadsPageState(std::string_view upperName);
  /// The result of the engine function key (trimmed, upper-case) with the argument texts;
  /// "[Funcion no implementada: key]" for a name that is none.
  Value Call(std::string_view key, const std::vector<std::string>& args, const Value& vars);
  /// Forgets what the current top-level evaluation remembered.
  void ClearMemo() {
    if (!memo_.Empty()) memo_.Clear();
  }
  /// Forgets the running sums as well (the options or the records changed).
  void ClearCaches() {
    ClearMemo();
    sums_.Clear();
  }

 private:
  Value AskString(const std::vector<std::string>& args, const Value& vars);
  Value ProjectPath(const std::vector<std::string>& args, const Value& vars);
  Value Sum(std::string_view expression, const Value& vars);
  /// The total over the first `limit` records by walking them, each in its record scope.
  /// records: an array or a record sequence.
  Value SumByWalking(std::string_view text, const Value& vars, const Value& records, size_t limit);
  /// True when the value of text on a record cannot depend on the surrounding variables: it names
  /// a plain variable (no constant, number, logical word or formula-valued name) vars lacks.
  bool NamesRecordField(std::string_view text, const Value& vars) const;
  /// The value of text in scope, evaluated once per scope during one top-level evaluation.
  Value EvalOnce(std::string_view text, const Value& scope);
  /// The sorted pages of the pagination key the text evaluates to.
  std::vector<int64_t> PaginasDeClave(std::string_view key, const Value& vars);
  int64_t PageBy(const std::vector<int64_t>& pages);
  static int64_t TotalPagesBy(const std::vector<int64_t>& pages);
  std::string ResolverClavePaginacion(std::string_view key, const Value& vars);
  std::vector<int64_t> PaginasPorClave(const std::string& keyText);
  Value EvaluarExpresionRegistroRelativo(std::string_view expression, const Value& vars, std::string_view record);
  bool GroupChanged(std::string_view expression, const Value& vars, int64_t idx);

  TEvaluadorFormulas& ev_;
  EvaluationMemo memo_;
  RecordSumCache sums_;
};

}  // namespace nv

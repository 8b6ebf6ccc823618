#pragma once
// The functions the evaluator answers from the state of the running execution rather than from
// values: page and page count, pages per key, the current record's position, the previous and
// next records, running sums over the detail records, group changes, prompt answers and the
// project path. Their arguments arrive as unevaluated formula texts; each function evaluates what
// it needs. They keep no state: they read the evaluator's execution state and options.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Value.h"

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

 private:
  Value AskString(const std::vector<std::string>& args, const Value& vars);
  Value ProjectPath(const std::vector<std::string>& args, const Value& vars);
  Value Sum(std::string_view expression, const Value& vars);
  int64_t PageBy(std::string_view key, const Value& vars);
  int64_t TotalPagesBy(std::string_view key, const Value& vars);
  std::string ResolverClavePaginacion(std::string_view key, const Value& vars);
  std::vector<int64_t> PaginasPorClave(const std::string& keyText);
  Value EvaluarExpresionRegistroRelativo(std::string_view expression, const Value& vars, std::string_view record);
  bool GroupChanged(std::string_view expression, const Value& vars, int64_t idx);

  TEvaluadorFormulas& ev_;
};

}  // namespace nv

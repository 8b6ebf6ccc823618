#pragma once
// The interpretive evaluation of a formula: the analysis of its text decides the construct, and
// each piece is evaluated as a formula of its own. Also resolves operands (literals, numbers,
// boolean words, constants, variables) and user-variable and accumulator formulas, which both
// evaluations share.

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Value.h"
#include "formula/FormulaAnalysis.h"

namespace nv {

class TEvaluadorFormulas;

class FormulaInterpreter {
 public:
  explicit FormulaInterpreter(TEvaluadorFormulas& evaluator) : ev_(evaluator) {}

  /// The value of the text by its analysis a.
  Value EvalAnalysis(std::string_view text, const FormulaAnalysis& a, const Value& vars);
  /// The value of one operand: a quoted literal, a number, a boolean word, a constant, a
  /// variable (also "@name" for "VAR.name" or "SUM.name"), or a call evaluated as a formula.
  Value ResolveOperand(std::string_view text, const Value& vars);
  /// The resolved value of the variable name (looked up letter case aside).
  Value ValorVariableText(std::string_view name, const Value& vars);
  /// A "VAR." or "SUM." variable whose value is a formula text gives that formula's value,
  /// remembered until the variables change; a circular reference is detected when the options
  /// ask for it. Any other value is returned as it is.
  Value ResolveVariableText(std::string_view name, const Value& value, const Value& vars);
  /// Whether the condition text holds; invalid is set, and the answer false, when its value is
  /// an error value. A blank text holds.
  bool CondicionText(std::string_view text, const Value& vars, bool& invalid);

 private:
  Value Suma(const std::vector<std::string>& partes, const Value& vars);
  Value EvaluarOperacionAritmetica(const std::vector<std::pair<std::string, std::string>>& pares, const Value& vars);
  Value EvaluarFuncion(std::string_view text, const FormulaAnalysis& a, const Value& vars);
  Value ResolverIIf(std::string_view text, const std::vector<std::string>& args, const Value& vars);
  Value DateDifference(const Value& a, const Value& b);

  TEvaluadorFormulas& ev_;
};

}  // namespace nv

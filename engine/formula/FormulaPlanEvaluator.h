#pragma once
// Evaluates executable plans through their typed mirror. Constants and plain variables are passed
// to comparisons, sums and calls where they stand, without copies; only one branch of an "if"
// runs. Truthiness here judges an error value as true (the last error is still set).

#include "Value.h"
#include "formula/FormulaPlanNode.h"

namespace nv {

class TEvaluadorFormulas;

class FormulaPlanEvaluator {
 public:
  explicit FormulaPlanEvaluator(TEvaluadorFormulas& evaluator) : ev_(evaluator) {}

  /// The value of a typed plan with the variables (a hash).
  Value EvalNode(const FormulaPlanNode& node, const Value& vars);
  /// The value of a plan given as its hash tree: compiled plans by their mirror, any other hash
  /// mirrored for this evaluation only.
  Value EvaluateFormulaPlanInternal(const Value& plan, const Value& vars);

 private:
  /// The value of a plain variable node found by its exact name, in place; null otherwise.
  const Value* FindPlanVariable(const FormulaPlanNode& node, const Value& vars) const;
  bool EvalPlanCondition(const FormulaPlanNode& node, const Value& vars);
  bool EvalPlanComparison(const FormulaPlanNode& node, const Value& vars);
  template <typename Store>
  const Value& EvalPlanRef(const FormulaPlanNode& node, const Value& vars, bool inPlace, Store& store);

  TEvaluadorFormulas& ev_;
};

}  // namespace nv

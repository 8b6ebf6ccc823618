#pragma once
// Simple accumulator plans: the narrow form of an "if" plan whose condition is a conjunction of
// comparisons between data variables and constants and whose branches are a data variable or a
// constant. An accumulator of that shape is summed per detail record without the general
// evaluator. A plan is the documented array: (conditions, true operand, false operand), each
// condition a triple (operand, operator text, operand), each operand a pair (1, constant) or
// (2, variable name as written).

#include "Value.h"

namespace nv {

class TEvaluadorFormulas;

class SimpleAccumulatorPlans {
 public:
  explicit SimpleAccumulatorPlans(TEvaluadorFormulas& evaluator) : ev_(evaluator) {}

  /// The simple plan of an executable "if" plan, or nil when it does not have that shape.
  static Value Compile(const Value& plan);
  /// True when the plan's false operand is the constant 0.
  static bool FalseIsZero(const Value& simplePlan);
  /// True when every condition holds; false for anything but a plan.
  bool Condition(const Value& simplePlan, const Value& vars);
  /// The value of the true operand when condition holds, else of the false one; nil for anything
  /// but a plan. A missing variable is nil and no error.
  Value Choose(const Value& simplePlan, bool condition, const Value& vars);

 private:
  static Value BuildSimpleAccumulatorConditions(const Value& node);
  static Value BuildSimpleAccumulatorOperand(const Value& node);
  Value EvaluateSimpleAccumulatorOperand(const Value& operand, const Value& vars);

  TEvaluadorFormulas& ev_;
};

}  // namespace nv

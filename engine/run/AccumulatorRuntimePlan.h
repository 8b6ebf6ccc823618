#pragma once
// The prepared form of one accumulator of a template: how the execution context sums it for each
// detail record. TContextoEjecucion::PrepareAccumulatorRuntimePlans builds one per definition of
// the option "hAcumVars", in definition order, and AcumularDetalle reads them.

#include <string>

#include "Value.h"

namespace nv {

struct AccumulatorRuntimePlan {
  /// "SUM." + the accumulator's name: its key among the accumulator values.
  std::string key;
  /// The formula text (a text value), evaluated as a whole when the plans cannot be used.
  Value formula;
  /// The executable plan of the formula (a hash), or false when the formula has none.
  Value plan;
  /// For a plan of kind "if", its "_conditionKey": accumulators whose conditions compile alike
  /// share one evaluation of the condition per record. "" for any other plan.
  std::string conditionKey;
  /// The plan is of kind "if" (only set when usePlan is).
  bool isIf = false;
  /// There is a plan and the evaluator evaluates plans.
  bool usePlan = false;
  /// The simple accumulator plan of an "if" plan (conditions, true and false operands), or nil.
  Value simplePlan;
  /// simplePlan is a plan and the evaluator evaluates simple plans.
  bool simpleUsable = false;
  /// The simple plan's false operand is the constant 0, so a false condition adds nothing.
  bool falseIsZero = false;
};

}  // namespace nv

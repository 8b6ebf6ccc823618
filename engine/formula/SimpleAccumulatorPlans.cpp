#include "formula/SimpleAccumulatorPlans.h"

#include <string>

#include "Accessors.h"
#include "formula/FormulaOperators.h"
#include "formula/FormulaText.h"
#include "formula/TEvaluadorFormulas.h"

namespace nv {

Value SimpleAccumulatorPlans::BuildSimpleAccumulatorOperand(const Value& node) {
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

Value SimpleAccumulatorPlans::BuildSimpleAccumulatorConditions(const Value& node) {
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

Value SimpleAccumulatorPlans::Compile(const Value& plan) {
  if (!plan.IsHash() || ValorAString(HGet(plan, "tipo")) != "if") return Value();
  Value conditions = BuildSimpleAccumulatorConditions(HGet(plan, "condition"));
  Value whenTrue = BuildSimpleAccumulatorOperand(HGet(plan, "true"));
  Value whenFalse = BuildSimpleAccumulatorOperand(HGet(plan, "false"));
  if (!conditions.IsArray() || conditions.Len() == 0 || whenTrue.IsNil() || whenFalse.IsNil()) return Value();
  return Value::FromArray({conditions, whenTrue, whenFalse});
}

bool SimpleAccumulatorPlans::FalseIsZero(const Value& simplePlan) {
  if (!simplePlan.IsArray() || simplePlan.Len() < 3) return false;
  const Value& f = simplePlan.Item(3);
  if (!f.IsArray() || f.Len() < 2) return false;
  const Value& kind = f.Item(1);
  const Value& value = f.Item(2);
  return kind.IsNumber() && kind.AsDouble() == 1 && value.IsNumber() && value.AsDouble() == 0;
}

Value SimpleAccumulatorPlans::EvaluateSimpleAccumulatorOperand(const Value& operand, const Value& vars) {
  if (!operand.IsArray() || operand.Len() < 2) return Value();
  const Value& kind = operand.Item(1);
  const Value& payload = operand.Item(2);
  if (kind.IsNumber() && kind.AsDouble() == 1) return payload;
  if (!payload.IsString()) return Value();
  const std::string& name = payload.AsString();
  if (const HashPtr* vh = vars.HashRef()) {
    if (const Value* exact = (*vh)->Find(name)) return *exact;
  }
  return ev_.interpreter_.ValorVariableText(name, vars);
}

bool SimpleAccumulatorPlans::Condition(const Value& simplePlan, const Value& vars) {
  if (!simplePlan.IsArray() || simplePlan.Len() < 3) return false;
  const ArrayPtr* conditions = simplePlan.Item(1).ArrayRef();
  if (!conditions) return false;
  for (const Value& c : **conditions) {
    if (!c.IsArray() || c.Len() < 3) return false;
    Value left = EvaluateSimpleAccumulatorOperand(c.Item(1), vars);
    Value right = EvaluateSimpleAccumulatorOperand(c.Item(3), vars);
    const Value& op = c.Item(2);
    if (!FormulaOperators::Compare(left, FormulaOperators::ComparisonOf(ValorAString(op)), right)) return false;
  }
  return true;
}

Value SimpleAccumulatorPlans::Choose(const Value& simplePlan, bool condition, const Value& vars) {
  if (!simplePlan.IsArray() || simplePlan.Len() < 3) return Value();
  return EvaluateSimpleAccumulatorOperand(simplePlan.Item(condition ? 2 : 3), vars);
}

}  // namespace nv

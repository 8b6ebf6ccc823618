#include "formula/FormulaPlanCompiler.h"

#include <algorithm>

#include "Accessors.h"
#include "formula/EngineFunctions.h"
#include "formula/FormulaSplitter.h"
#include "formula/FormulaText.h"
#include "formula/FormulaValues.h"
#include "formula/TEvaluadorFormulas.h"
#include "formula/TFuncFormulas.h"

namespace nv {

Value FormulaPlanCompiler::Compile(std::string_view text) {
  if (text.empty()) return Value();
  if (auto it = planByText_.find(text); it != planByText_.end()) return it->second ? it->second->pin : Value();
  Value plan;
  Hash& cache = ev_.hExecutablePlanCache.AsHash();
  if (const Value* cached = cache.Find(text)) {
    plan = cached->IsHash() ? *cached : Value();
  } else {
    plan = BuildExecutablePlan(text);
    ev_.hExecutablePlanCache.AsHash().Put(text, plan.IsHash() ? plan : Value(false));
  }
  planByText_.emplace(std::string(text), plan.IsHash() ? RegisterPlan(plan) : nullptr);
  return plan;
}

Value FormulaPlanCompiler::BuildExecutablePlan(std::string_view text) {
  using T = FormulaAnalysis::Tipo;
  TEvaluadorFormulas::DepthGuard guard(ev_.nProfundidad_);
  if (ev_.nProfundidad_ > TEvaluadorFormulas::kMaxDepth)
    return Value();  // too deep to compile: evaluated interpretively
  const FormulaAnalysis& a = ev_.Analizar(text);
  // An empty operand of a sum or a comparison ("1 +", "<> X") is the empty text, as in the
  // interpretive evaluation; the empty text alone would compile to false, and "1 +" would read
  // "1false". (Empty parts of logical operators stay false.)
  auto compileOperand = [&](std::string_view part) {
    return TrimView(part).empty() ? MakeHash({{"tipo", "value"}, {"valor", ""}}) : BuildExecutablePlan(part);
  };
  auto compileAll = [&](const std::vector<std::string>& parts, bool sum, Value& children) {
    children = Value::NewArray();
    for (const std::string& part : parts) {
      Value child = sum ? compileOperand(part) : BuildExecutablePlan(part);
      if (!child.IsHash()) return false;
      children.Append(child);
    }
    return true;
  };
  switch (a.tipo) {
    case T::Literal:
      return MakeHash({{"tipo", "value"}, {"valor", ev_.interpreter_.ResolveOperand(text, EmptyHash())}});
    case T::Argumento: {
      if (int w = FormulaSplitter::BooleanWord(text); w >= 0)
        return MakeHash({{"tipo", "value"}, {"valor", Value(w == 1)}});
      if (const Value* c = ev_.FindConstant(text)) return MakeHash({{"tipo", "value"}, {"valor", *c}});
      if (FormulaSplitter::IsIdentifier(text))
        return MakeHash({{"tipo", "variable"}, {"nombre", std::string(TrimView(text))}});
      return Value();
    }
    case T::Comparacion: {
      std::string left = a.left, op = a.op, right = a.right;
      Value l = compileOperand(left);
      if (!l.IsHash()) return Value();
      Value r = compileOperand(right);
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
      if (!compileAll(parts, a.tipo == T::Suma, children)) return Value();
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
      if (EngineFunctions::IsEngineFunction(key)) {
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

// A compiled plan is mirrored once into typed nodes so that evaluating it reads no hash keys and
// compares no type names.
std::unique_ptr<FormulaPlanNode> FormulaPlanCompiler::BuildTyped(const Value& node, bool registerNodes, int depth) {
  auto out = std::make_unique<FormulaPlanNode>();
  const HashPtr* hp = node.HashRef();
  if (!hp || depth > TEvaluadorFormulas::kMaxDepth) return out;
  const Hash& h = **hp;
  out->pin = node;
  static const Value kNil;
  auto get = [&](std::string_view k) -> const Value& {
    const Value* v = h.Find(k);
    return v ? *v : kNil;
  };
  auto child = [&](const Value& v) { out->children.push_back(BuildTyped(v, registerNodes, depth + 1)); };
  std::string tipo = ValorAString(get("tipo"));
  using Op = FormulaPlanNode::Op;
  if (tipo == "value") {
    out->op = Op::Constant;
    out->valor = get("valor");
  } else if (tipo == "variable") {
    out->op = Op::Variable;
    out->name = ValorAString(get("nombre"));
    out->resolves = StartsWith(out->name, "VAR.") || StartsWith(out->name, "SUM.");
  } else if (tipo == "comparison") {
    out->op = Op::Comparison;
    out->cmp = FormulaOperators::ComparisonOf(ValorAString(get("operator")));
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
    const FormulaPlanNode& c = *out->children[i];
    if (c.op != Op::Constant && !(c.op == Op::Variable && !c.resolves)) out->lastImpure = static_cast<int>(i);
  }
  if (registerNodes) typedPlans_.emplace(hp->get(), out.get());
  return out;
}

const FormulaPlanNode* FormulaPlanCompiler::RegisterPlan(const Value& plan) {
  const HashPtr* hp = plan.HashRef();
  if (!hp) return nullptr;
  if (auto it = typedPlans_.find(hp->get()); it != typedPlans_.end()) return it->second;
  ownedPlans_.push_back(BuildTyped(plan, true, 0));
  return ownedPlans_.back().get();
}

const FormulaPlanNode* FormulaPlanCompiler::TypedPlan(const Hash* plan) const {
  auto it = typedPlans_.find(plan);
  return it == typedPlans_.end() ? nullptr : it->second;
}

std::unique_ptr<FormulaPlanNode> FormulaPlanCompiler::MirrorTransient(const Value& plan) {
  return BuildTyped(plan, false, 0);
}

void FormulaPlanCompiler::Clear() {
  planByText_.clear();
  std::fill(std::begin(planMemo_), std::end(planMemo_), nullptr);
  typedPlans_.clear();
  ownedPlans_.clear();
}

}  // namespace nv

#include "formula/FormulaPlanEvaluator.h"

#include <memory>
#include <new>
#include <span>
#include <vector>

#include "Accessors.h"
#include "Hash.h"
#include "formula/FormulaOperators.h"
#include "formula/TEvaluadorFormulas.h"

namespace nv {

namespace {

// Room for one value computed during a plan evaluation, constructed only when it is needed: most
// operands are constants or variables read in place and never use it.
class LazyValue {
 public:
  LazyValue() = default;
  LazyValue(const LazyValue&) = delete;
  LazyValue& operator=(const LazyValue&) = delete;
  ~LazyValue() {
    if (set_) std::launder(reinterpret_cast<Value*>(buffer_))->~Value();
  }
  // Stores the value make() returns, built in place.
  template <typename Make>
  const Value& Emplace(Make&& make) {
    Value* v = ::new (static_cast<void*>(buffer_)) Value(make());
    set_ = true;
    return *v;
  }

 private:
  alignas(Value) unsigned char buffer_[sizeof(Value)];
  bool set_ = false;
};

// The operands of one call or sum: a pointer per operand, to the value in place or to the
// computed one kept here. The usual few live on the stack.
class OperandRefs {
 public:
  explicit OperandRefs(size_t n) : size_(n) {
    if (n > kInline) {
      heapRefs_.resize(n);
      heapValues_ = std::make_unique<LazyValue[]>(n);
    }
  }
  const Value*& Ref(size_t i) { return size_ > kInline ? heapRefs_[i] : inlineRefs_[i]; }
  LazyValue& Store(size_t i) { return size_ > kInline ? heapValues_[i] : inlineValues_[i]; }
  std::span<const Value* const> Span() const {
    return size_ > kInline ? std::span<const Value* const>(heapRefs_)
                           : std::span<const Value* const>(inlineRefs_, size_);
  }

 private:
  static constexpr size_t kInline = 6;
  size_t size_;
  const Value* inlineRefs_[kInline];
  LazyValue inlineValues_[kInline];
  std::vector<const Value*> heapRefs_;
  std::unique_ptr<LazyValue[]> heapValues_;
};

}  // namespace

Value FormulaPlanEvaluator::EvaluateFormulaPlanInternal(const Value& node, const Value& vars) {
  const HashPtr* hp = node.HashRef();
  if (!hp) return Value();
  if (const FormulaPlanNode* typed = ev_.planCompiler_.TypedPlan(hp->get())) return EvalNode(*typed, vars);
  // A plan built by a caller rather than compiled here is mirrored for this evaluation only.
  std::unique_ptr<FormulaPlanNode> transient = ev_.planCompiler_.MirrorTransient(node);
  return EvalNode(*transient, vars);
}

const Value* FormulaPlanEvaluator::FindPlanVariable(const FormulaPlanNode& n, const Value& vars) const {
  const HashPtr* vh = vars.HashRef();
  if (!vh) return nullptr;
  const Hash& h = **vh;
  // Keys are unique, so the entry at the hinted position is the one a lookup would find when its
  // key is the name; any other outcome takes the lookup.
  if (n.hint < h.size() && h.KeyAt(n.hint) == n.name) return &h.ValueAt(n.hint);
  const size_t position = h.IndexOf(n.name);
  if (position == HashKeyTable::npos) return nullptr;
  n.hint = static_cast<uint32_t>(position);
  return &h.ValueAt(position);
}

// The operand's value: a constant, or a plain variable when inPlace allows it, read where it
// stands; anything else evaluated into store.
template <typename Store>
const Value& FormulaPlanEvaluator::EvalPlanRef(const FormulaPlanNode& n, const Value& vars, bool inPlace,
                                               Store& store) {
  if (n.op == FormulaPlanNode::Op::Constant) return n.valor;
  if (inPlace && n.op == FormulaPlanNode::Op::Variable && !n.resolves) {
    if (const Value* v = FindPlanVariable(n, vars)) return *v;
  }
  return store.Emplace([&] { return EvalNode(n, vars); });
}

bool FormulaPlanEvaluator::EvalPlanComparison(const FormulaPlanNode& n, const Value& vars) {
  if (n.children.size() < 2) return false;
  LazyValue left, right;
  const Value& l = EvalPlanRef(*n.children[0], vars, n.lastImpure <= 0, left);
  const Value& r = EvalPlanRef(*n.children[1], vars, true, right);
  return FormulaOperators::Compare(l, n.cmp, r);
}

// The truth of a node used as a condition; a comparison gives its answer without a value.
bool FormulaPlanEvaluator::EvalPlanCondition(const FormulaPlanNode& n, const Value& vars) {
  if (n.op == FormulaPlanNode::Op::Comparison) return EvalPlanComparison(n, vars);
  return FormulaOperators::Truthy(EvalNode(n, vars));
}

Value FormulaPlanEvaluator::EvalNode(const FormulaPlanNode& n, const Value& vars) {
  using Op = FormulaPlanNode::Op;
  switch (n.op) {
    case Op::Nil: return Value();
    case Op::Constant: return n.valor;
    case Op::Variable: {
      if (const Value* exact = FindPlanVariable(n, vars)) {
        return n.resolves ? ev_.interpreter_.ResolveVariableText(n.name, *exact, vars) : *exact;
      }
      if (HashHasKeyFormula(vars, n.name)) return ev_.interpreter_.ValorVariableText(n.name, vars);
      return ev_.VariableNoEncontrada(Value(n.name));
    }
    case Op::Comparison: return Value(EvalPlanComparison(n, vars));
    case Op::And:
      for (const auto& c : n.children) {
        if (!EvalPlanCondition(*c, vars)) return Value(false);
      }
      return Value(true);
    case Op::Or:
      for (const auto& c : n.children) {
        if (EvalPlanCondition(*c, vars)) return Value(true);
      }
      return Value(false);
    case Op::Not:
      if (n.children.empty()) return Value(true);
      return Value(!EvalPlanCondition(*n.children[0], vars));
    case Op::If: {
      if (n.children.size() < 3) return Value();
      bool holds = EvalPlanCondition(*n.children[0], vars);
      return EvalNode(*n.children[holds ? 1 : 2], vars);
    }
    case Op::Sum:
    case Op::Function: {
      // Operands are evaluated in order; constants and plain variables are passed where they
      // stand instead of being copied.
      OperandRefs operands(n.children.size());
      for (size_t i = 0; i < n.children.size(); ++i) {
        bool inPlace = static_cast<int>(i) >= n.lastImpure;
        operands.Ref(i) = &EvalPlanRef(*n.children[i], vars, inPlace, operands.Store(i));
      }
      if (n.op == Op::Function) return ev_.CallLibrary(n.name, operands.Span(), n.slot);
      bool failed = false;
      Value total = FormulaOperators::Sum(operands.Span(), failed);
      if (failed) return ev_.ErrorText("[Expresion no valida]");
      return total;
    }
    case Op::Engine: return ev_.engineFunctions_.Call(n.name, n.args, vars);
  }
  return Value();
}

}  // namespace nv

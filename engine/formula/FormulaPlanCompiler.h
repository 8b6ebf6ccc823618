#pragma once
// Compiles formula texts into executable plans: a tree of small hashes naming the operation of
// each node, with constants already converted. Arithmetic, "@" references, parenthesised
// operands and invalid pieces have no plan; such texts are evaluated interpretively. Every plan
// is cached per text (hExecutablePlanCache of the evaluator) and mirrored once into typed nodes.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Hash.h"
#include "Value.h"
#include "formula/FormulaPlanNode.h"

namespace nv {

class TEvaluadorFormulas;

class FormulaPlanCompiler {
 public:
  explicit FormulaPlanCompiler(TEvaluadorFormulas& evaluator) : ev_(evaluator) {}

  /// The plan of a text already trimmed and stripped of enclosing parentheses, or nil when it
  /// has none; compiled on the first request.
  Value Compile(std::string_view text);
  /// A compiled text with its typed plan (null when the text has no plan); null when the text
  /// was not compiled yet.
  using PlanEntry = std::pair<const std::string, const FormulaPlanNode*>;
  /// Inline: every evaluation of a text asks for it first.
  const PlanEntry* FindPlanByText(std::string_view text) {
    // The slot only selects a memo entry; the content comparison decides, so a text that moved or
    // changed simply falls back to the map.
    size_t slot = ((reinterpret_cast<uintptr_t>(text.data()) >> 4) ^ text.size()) & 15;
    const PlanEntry*& memo = planMemo_[slot];
    if (memo != nullptr && memo->first == text) return memo;
    auto it = planByText_.find(text);
    if (it == planByText_.end()) return nullptr;
    memo = &*it;
    return memo;
  }
  /// The typed mirror of a plan compiled here; null for any other hash.
  const FormulaPlanNode* TypedPlan(const Hash* plan) const;
  /// A typed mirror of a plan built elsewhere, for one evaluation; it is not kept.
  std::unique_ptr<FormulaPlanNode> MirrorTransient(const Value& plan);
  /// Forgets every typed plan (the hash plans live in the evaluator's cache).
  void Clear();

 private:
  Value BuildExecutablePlan(std::string_view text);
  std::unique_ptr<FormulaPlanNode> BuildTyped(const Value& node, bool registerNodes, int depth);
  const FormulaPlanNode* RegisterPlan(const Value& plan);

  TEvaluadorFormulas& ev_;
  std::unordered_map<const Hash*, const FormulaPlanNode*> typedPlans_;
  std::vector<std::unique_ptr<FormulaPlanNode>> ownedPlans_;
  // The typed plan per compiled text (null when the text has no plan).
  std::unordered_map<std::string, const FormulaPlanNode*, StringHash, std::equal_to<>> planByText_;
  // A direct-mapped memo in front of planByText_, selected by where the text lies and checked
  // by its content: a report evaluates the same few formula values over and over, and comparing
  // a text is cheaper than hashing it. Entries view keys of planByText_ and go with its clear.
  const PlanEntry* planMemo_[16] = {};
};

}  // namespace nv

#pragma once
// What the engine functions have already evaluated during one top-level formula evaluation, so
// that nesting them costs time linear in the nesting instead of exponential: a function that
// evaluates its argument in two scopes (the current and the previous record) or in one scope per
// detail record asks here first. A value is keyed by the argument text and the identity of the
// scope hash it was evaluated in; the scopes the functions build are made once each and kept, so
// equal scopes are one hash and an identity never names two scopes. The execution state does not
// change during one evaluation, so nothing else goes into a value; the evaluator clears the memo
// when an evaluation starts and whenever the state or options change.

#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "Hash.h"
#include "Value.h"

namespace nv {

class EvaluationMemo {
 public:
  /// The kind of a remembered value: an argument's value, or a whole function's result.
  enum class Kind : char { Argument = 'A', Sum = 'S' };

  void Clear();
  bool Empty() const { return values_.empty() && kept_.empty(); }

  /// The value remembered for text of this kind in the scope, or null.
  const Value* Find(Kind kind, std::string_view text, const Value& scope) const;
  /// Remembers a value; the scope is kept alive with it.
  void Store(Kind kind, std::string_view text, const Value& scope, const Value& value);

  /// The scope with the previous record's fields over it, made once per scope through merge. A
  /// scope made that way already holds those fields and is its own previous-record scope.
  template <typename Merge>
  Value PreviousRecordScope(const Value& scope, Merge&& merge) {
    const Hash* key = Identity(scope);
    if (previousScopes_.contains(key)) return scope;
    auto found = previousOf_.find(key);
    if (found != previousOf_.end()) return found->second;
    Value merged = merge();
    Keep(scope);
    previousScopes_.insert(Identity(merged));
    previousOf_.emplace(key, merged);
    return merged;
  }

  /// The scope of a record (a hash) in a record walk started from scope: the scope's fields with
  /// the record's over them. A walk started from a record scope of an earlier walk builds on that
  /// walk's starting scope when both records have the same keys in the same order, since the new
  /// record then replaces every field the old one added: nested walks share their record scopes.
  Value RecordScope(const Value& scope, const Value& record);
  /// A new hash with the scope's entries, then the record's put over them (same keys replaced in
  /// place, new ones appended): the scope a record walk evaluates a record in.
  static Value ScopeOver(const Value& scope, const Value& record);

 private:
  static const Hash* Identity(const Value& scope);
  static std::string KeyOf(Kind kind, std::string_view text, const Hash* scope);
  static bool SameKeys(const Hash& a, const Hash& b);
  void Keep(const Value& scope);

  struct RecordOrigin {
    const Hash* start = nullptr;
    Value record;
  };

  std::unordered_map<std::string, Value> values_;
  // Every scope a key or a map below names, so that its address stays its own.
  std::unordered_map<const Hash*, Value> kept_;
  std::unordered_map<const Hash*, Value> previousOf_;
  std::unordered_set<const Hash*> previousScopes_;
  std::map<std::pair<const Hash*, const Hash*>, Value> recordScopes_;
  std::unordered_map<const Hash*, RecordOrigin> recordOrigins_;
};

}  // namespace nv

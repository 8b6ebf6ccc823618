#include "formula/EvaluationMemo.h"

#include <cstdint>

#include "Runtime.h"

namespace nv {

void EvaluationMemo::Clear() {
  values_.clear();
  previousOf_.clear();
  previousScopes_.clear();
  recordScopes_.clear();
  recordOrigins_.clear();
  kept_.clear();
}

const Hash* EvaluationMemo::Identity(const Value& scope) {
  const HashPtr* hash = scope.HashRef();
  return hash != nullptr ? hash->get() : nullptr;
}

std::string EvaluationMemo::KeyOf(Kind kind, std::string_view text, const Hash* scope) {
  std::string key;
  key.reserve(text.size() + 2 + sizeof scope);
  key.push_back(static_cast<char>(kind));
  const auto address = reinterpret_cast<std::uintptr_t>(scope);
  key.append(reinterpret_cast<const char*>(&address), sizeof address);
  key.append(text);
  return key;
}

void EvaluationMemo::Keep(const Value& scope) {
  if (const Hash* identity = Identity(scope)) kept_.try_emplace(identity, scope);
}

const Value* EvaluationMemo::Find(Kind kind, std::string_view text, const Value& scope) const {
  if (values_.empty()) return nullptr;
  auto found = values_.find(KeyOf(kind, text, Identity(scope)));
  return found == values_.end() ? nullptr : &found->second;
}

void EvaluationMemo::Store(Kind kind, std::string_view text, const Value& scope, const Value& value) {
  Keep(scope);
  values_.insert_or_assign(KeyOf(kind, text, Identity(scope)), value);
}

bool EvaluationMemo::SameKeys(const Hash& a, const Hash& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (!(a.KeyAt(i) == b.KeyAt(i))) return false;
  }
  return true;
}

Value EvaluationMemo::ScopeOver(const Value& scope, const Value& record) {
  Value built = Value::NewHash();
  Hash& target = built.AsHash();
  const Hash* base = Identity(scope);
  const Hash* fields = Identity(record);
  target.reserve((base != nullptr ? base->size() : 0) + (fields != nullptr ? fields->size() : 0));
  if (base != nullptr) {
    for (const auto& entry : *base) target.Put(entry.first, entry.second);
  }
  if (fields != nullptr) {
    for (const auto& entry : *fields) target.Put(entry.first, entry.second);
  }
  return built;
}

Value EvaluationMemo::RecordScope(const Value& scope, const Value& record) {
  const Hash* fields = Identity(record);
  Value start = scope;
  auto origin = recordOrigins_.find(Identity(scope));
  if (origin != recordOrigins_.end() && fields != nullptr && SameKeys(*Identity(origin->second.record), *fields)) {
    start = kept_.at(origin->second.start);
  }
  Keep(start);
  const auto key = std::make_pair(Identity(start), fields);
  auto made = recordScopes_.find(key);
  if (made != recordScopes_.end()) return made->second;
  Value built = ScopeOver(start, record);
  recordScopes_.emplace(key, built);
  recordOrigins_.emplace(Identity(built), RecordOrigin{Identity(start), record});
  Keep(built);
  return built;
}

}  // namespace nv

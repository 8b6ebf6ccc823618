#include "objects/Field.h"

#include "Accessors.h"

namespace nv {

std::string FieldText(const Value& v) { return v.IsString() ? v.AsString() : ValueString(v); }

int64_t FieldInteger(const Value& v) { return ValorAEntero(v); }

bool FieldFlag(const Value& v) { return ValorALogico(v); }

namespace {

// Exact keys are read in place; the any-case lookup hands out a copy, kept in holder.
const Value* FindKey(const Value& data, std::string_view key, KeyMatch match, Value& holder) {
  if (match == KeyMatch::Exact) return data.AsHash().Find(key);
  if (!HashHasKeyText(data, key)) return nullptr;
  holder = HashGetText(data, key);
  return &holder;
}

}  // namespace

const Value* FindFieldKey(const Value& data, std::string_view key, std::string_view alias, KeyMatch match,
                          Value& holder) {
  const Value* found = FindKey(data, key, match, holder);
  if (found == nullptr && !alias.empty()) found = FindKey(data, alias, match, holder);
  return found;
}

}  // namespace nv

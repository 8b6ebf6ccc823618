#include "objects/Field.h"

#include "Accessors.h"

namespace nv {

std::string FieldText(const Value& v) { return v.IsString() ? v.AsString() : ValueString(v); }

int64_t FieldInteger(const Value& v) { return ValorAEntero(v); }

bool FieldFlag(const Value& v) { return ValorALogico(v); }

namespace {

const Value* FindKey(const Value& data, std::string_view key, KeyMatch match) {
  return match == KeyMatch::Exact ? data.AsHash().Find(key) : FindHashKeyText(data, key);
}

}  // namespace

const Value* FindFieldKey(const Value& data, std::string_view key, std::string_view alias, KeyMatch match) {
  const Value* found = FindKey(data, key, match);
  if (found == nullptr && !alias.empty()) found = FindKey(data, alias, match);
  return found;
}

}  // namespace nv

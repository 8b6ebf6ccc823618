#include "objects/Field.h"

#include "Accessors.h"

namespace nv {

std::string FieldText(const Value& v) { return v.IsString() ? v.AsString() : ValueString(v); }

int64_t FieldInteger(const Value& v) { return ValorAEntero(v); }

bool FieldFlag(const Value& v) { return ValorALogico(v); }

namespace {

bool FindKey(const Value& data, std::string_view key, KeyMatch match, Value& out) {
  if (match == KeyMatch::Exact) {
    const Value* found = data.AsHash().Find(key);
    if (found != nullptr) out = *found;
    return found != nullptr;
  }
  if (!HashHasKeyText(data, key)) return false;
  out = HashGetText(data, key);
  return true;
}

}  // namespace

bool FindFieldKey(const Value& data, std::string_view key, std::string_view alias, KeyMatch match, Value& out) {
  return FindKey(data, key, match, out) || (!alias.empty() && FindKey(data, alias, match, out));
}

}  // namespace nv

#pragma once
// Builders of the small hashes and arrays the evaluator hands out: analyses and executable plans
// shown as hashes, and the constant tables.

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Hash.h"
#include "Value.h"

namespace nv {

/// A new hash with the entries in order.
inline Value MakeHash(std::initializer_list<std::pair<std::string_view, Value>> entries) {
  Value h = Value::NewHash();
  Hash& hash = h.AsHash();
  hash.reserve(entries.size());
  for (const auto& [k, v] : entries) hash.Put(k, v);
  return h;
}

/// A new array of the texts in order.
inline Value StringArray(const std::vector<std::string>& items) {
  Value a = Value::NewArray();
  a.AsArray().reserve(items.size());
  for (const std::string& s : items) a.Append(Value(s));
  return a;
}

}  // namespace nv

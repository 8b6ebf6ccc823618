#pragma once
// The insertion-ordered hash of Value: iteration follows insertion order, assignment to an
// existing key keeps its place, lookup is O(1) on average.

#include <tsl/ordered_map.h>

#include <string>
#include <vector>

#include "Value.h"

namespace nv {

/// String hash usable with std::string_view lookups.
struct StringHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

class Hash : public tsl::ordered_map<std::string, Value, StringHash, std::equal_to<>,
                                     std::allocator<std::pair<std::string, Value>>,
                                     std::vector<std::pair<std::string, Value>>> {
 public:
  using ordered_map::ordered_map;

  /// Returns the stored value or null when the key is absent.
  const Value* Find(std::string_view key) const {
    auto it = find(key);
    return it == end() ? nullptr : &it->second;
  }
  Value* Find(std::string_view key) {
    auto it = find(key);
    return it == end() ? nullptr : &it.value();
  }
  /// Adds or replaces, keeping the position of an existing key.
  void Put(std::string_view key, Value v) { insert_or_assign(std::string(key), std::move(v)); }
  /// Removes a key, keeping the order of the others.
  void Erase(std::string_view key) { erase(std::string(key)); }
};

}  // namespace nv

#pragma once
// The insertion-ordered hash of Value: iteration follows insertion order, assignment to an
// existing key keeps its place, lookup is O(1) on average.

#include <tsl/ordered_map.h>

#include <cassert>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "HashKey.h"
#include "Value.h"

namespace nv {

/// String hash usable with std::string_view lookups. Keys are short names ("x", "texto",
/// "alturaSuprimidaFlujoTexto"), so the hash is inlined and reads eight bytes at a time, mixing
/// each word with one multiplication; the final mix spreads the high bits into the low ones the
/// table masks with.
struct StringHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const noexcept {
    constexpr uint64_t kMul = 0x9E3779B97F4A7C15ull;
    uint64_t h = 0x243F6A8885A308D3ull ^ (s.size() * kMul);
    const char* p = s.data();
    size_t n = s.size();
    for (; n >= 8; p += 8, n -= 8) {
      uint64_t word;
      std::memcpy(&word, p, 8);
      h = (h ^ word) * kMul;
      h ^= h >> 29;
    }
    if (n > 0) {
      uint64_t word = 0;
      std::memcpy(&word, p, n);
      h = (h ^ word) * kMul;
      h ^= h >> 29;
    }
    h *= 0xBF58476D1CE4E5B9ull;
    return static_cast<size_t>(h ^ (h >> 32));
  }
};

class Hash : public tsl::ordered_map<HashKey, Value, StringHash, std::equal_to<>,
                                     std::allocator<std::pair<HashKey, Value>>,
                                     std::vector<std::pair<HashKey, Value>>> {
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
  void Put(std::string_view key, Value v) { insert_or_assign(HashKey(key), std::move(v)); }
  /// Removes a key, keeping the order of the others.
  void Erase(std::string_view key) { erase(HashKey(key)); }

  /// Shapes are filled completely, so their table runs at the highest load the map allows: half
  /// the buckets of the default for a render object's 58 keys.
  static constexpr float kShapeLoadFactor = 0.95f;

  /// A hash with the given keys in order and nil values, with room for `room` keys in all. Hot
  /// paths that always build hashes of the same keys copy such a shape (CopyOfShape) and assign
  /// the values by position (ShapeFiller), so no key is hashed.
  template <typename Keys>
  static Hash Shape(const Keys& keys, size_t room) {
    Hash shape;
    shape.max_load_factor(kShapeLoadFactor);
    shape.reserve(room);
    for (std::string_view key : keys) shape.Put(key, Value());
    return shape;
  }
  /// A new hash equal to shape that keeps the room the shape was made with.
  static HashPtr CopyOfShape(const Hash& shape) {
    // Without room beyond its keys, the plain copy already has the shape's table and size.
    if (shape.values_container().capacity() == shape.size()) return std::make_shared<Hash>(shape);
    auto copy = std::make_shared<Hash>();
    copy->max_load_factor(shape.max_load_factor());
    copy->reserve(shape.values_container().capacity());
    *copy = shape;  // the assignment reuses the reserved storage
    return copy;
  }
  /// The hash in `held` when nobody else holds it and it has exactly the shape's keys in order, to
  /// be refilled in place; otherwise a new copy of the shape.
  static HashPtr RefillableOrCopyOfShape(const Value& held, const Hash& shape) {
    const HashPtr* hash = held.HashRef();
    if (hash != nullptr && hash->use_count() == 1 && (*hash)->size() == shape.size()) {
      bool sameKeys = true;
      for (size_t i = 0; i < shape.size() && sameKeys; ++i) sameKeys = (*hash)->nth(i)->first == shape.nth(i)->first;
      if (sameKeys) return *hash;
    }
    return CopyOfShape(shape);
  }
};

/// Assigns the values of a copied shape position by position, in key order. Debug builds check
/// that each value goes to the key it is meant for.
class ShapeFiller {
 public:
  explicit ShapeFiller(Hash& hash) : hash_(hash) {}
  void operator()([[maybe_unused]] std::string_view key, Value value) {
    assert(index_ < hash_.size() && hash_.nth(index_)->first == key);
    hash_.nth(index_++).value() = std::move(value);
  }
  /// True when every key of the shape got its value.
  bool Complete() const { return index_ == hash_.size(); }

 private:
  Hash& hash_;
  size_t index_ = 0;
};

}  // namespace nv

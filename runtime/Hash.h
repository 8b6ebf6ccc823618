#pragma once
// The insertion-ordered hash of Value: iteration follows insertion order, assignment to an
// existing key keeps its place, lookup is O(1) on average.
//
// A hash keeps its values in one array and its keys in a HashKeyTable that copies share: copying
// a hash copies its values only. Render objects, records and the pages read back from a spool file
// are copies of a few shapes each, so a label run holds every key of a render object once instead
// of once per label.

#include <cassert>
#include <cstddef>
#include <iterator>
#include <memory>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "HashKey.h"
#include "HashKeyTable.h"
#include "Value.h"

namespace nv {

/// An iterator over the entries of a Hash in order. Dereferencing gives a pair of references, the
/// key and the value, so entries read as `it->first`, `it->second` or `auto&& [key, value]`.
template <bool Const>
class HashIterator {
 public:
  using HashType = std::conditional_t<Const, const Hash, Hash>;
  using ValueRef = std::conditional_t<Const, const Value&, Value&>;
  using reference = std::pair<const HashKey&, ValueRef>;
  using value_type = reference;
  using difference_type = std::ptrdiff_t;
  using iterator_category = std::forward_iterator_tag;

  struct Arrow {
    reference entry;
    const reference* operator->() const { return &entry; }
  };

  HashIterator() = default;
  HashIterator(HashType* hash, size_t position) : hash_(hash), position_(position) {}
  /// A mutable iterator converts to a constant one.
  template <bool Other>
    requires(Const && !Other)
  HashIterator(const HashIterator<Other>& other) : hash_(other.hash_), position_(other.position_) {}

  reference operator*() const { return reference(key(), value()); }
  Arrow operator->() const { return Arrow{**this}; }
  const HashKey& key() const;
  ValueRef value() const;
  HashIterator& operator++() {
    ++position_;
    return *this;
  }
  HashIterator operator++(int) {
    HashIterator before = *this;
    ++position_;
    return before;
  }
  friend bool operator==(const HashIterator& a, const HashIterator& b) { return a.position_ == b.position_; }

 private:
  template <bool>
  friend class HashIterator;
  HashType* hash_ = nullptr;
  size_t position_ = 0;
};

class Hash {
 public:
  using iterator = HashIterator<false>;
  using const_iterator = HashIterator<true>;

  Hash() = default;
  // Copies and moves never carry the seal (see Seal): a copy of a sealed hash is an ordinary one.
  Hash(const Hash& other) : keys_(other.ShareableKeys()), values_(other.values_) {}
  Hash(Hash&& other) noexcept
      : keys_(other.Sealed() ? std::shared_ptr<HashKeyTable>() : std::move(other.keys_)),
        values_(std::move(other.values_)) {}
  Hash& operator=(const Hash& other);
  Hash& operator=(Hash&& other);
  ~Hash() = default;

  size_t size() const noexcept { return values_.size(); }
  bool empty() const noexcept { return values_.empty(); }

  iterator begin() { return iterator(this, 0); }
  iterator end() { return iterator(this, values_.size()); }
  const_iterator begin() const { return const_iterator(this, 0); }
  const_iterator end() const { return const_iterator(this, values_.size()); }

  /// The entry at a place in insertion order, from 0; the place must be below size().
  iterator nth(size_t position) { return iterator(this, position); }
  const_iterator nth(size_t position) const { return const_iterator(this, position); }
  const HashKey& KeyAt(size_t position) const { return keys_->Key(position); }
  Value& ValueAt(size_t position) { return values_[position]; }
  const Value& ValueAt(size_t position) const { return values_[position]; }

  /// Returns the place of the key in insertion order, or HashKeyTable::npos when it is absent.
  size_t IndexOf(std::string_view key) const noexcept {
    return keys_ == nullptr ? HashKeyTable::npos : keys_->Find(key);
  }

  /// Returns the stored value or null when the key is absent.
  const Value* Find(std::string_view key) const {
    const size_t position = IndexOf(key);
    return position == HashKeyTable::npos ? nullptr : &values_[position];
  }
  Value* Find(std::string_view key) {
    const size_t position = IndexOf(key);
    return position == HashKeyTable::npos ? nullptr : &values_[position];
  }
  /// Adds or replaces, keeping the position of an existing key.
  void Put(std::string_view key, Value v) {
    const size_t position = IndexOf(key);
    if (position != HashKeyTable::npos) {
      values_[position] = std::move(v);
      return;
    }
    AddKey(key);
    if (values_.capacity() == 0) values_.reserve(HashKeyTable::kFirstRoom);
    values_.push_back(std::move(v));
  }
  /// Removes a key, keeping the order of the others.
  void Erase(std::string_view key);
  void clear() noexcept {
    if (!Sealed()) keys_.reset();
    values_.clear();
  }
  /// Makes room for `count` entries in all, so that adding them allocates nothing more.
  void reserve(size_t count);
  /// The number of entries the hash holds before it allocates again.
  size_t capacity() const noexcept { return values_.capacity(); }

  /// Makes this empty hash read-only for good: adding a key, reserving room or assigning another
  /// hash to it raises a RuntimeError. A sealed hash is no shape (see Shape): WithKeysOf and
  /// CopyOfShape would hand the seal on, so they are never given one. Lets one empty hash be handed out to every caller that
  /// needs "no variables" without any of them being able to fill it for the others. Nothing else
  /// can change an empty hash (it has no value to replace and no key to erase), so the checks sit
  /// only on those out-of-line paths and cost the hot paths nothing.
  void Seal();
  bool Sealed() const noexcept { return keys_.get() == &sealedKeys_; }

  /// True when both have the same keys in the same order; copies of one hash answer at once.
  bool SameKeys(const Hash& other) const noexcept;

  /// A hash with the given keys in order and nil values, with room for `room` keys in all. Hot
  /// paths that always build hashes of the same keys copy such a shape (CopyOfShape) and assign
  /// the values by position (ShapeFiller), so no key is hashed.
  template <typename Keys>
  static Hash Shape(const Keys& keys, size_t room) {
    Hash shape;
    shape.reserve(room);
    for (std::string_view key : keys) shape.Put(key, Value());
    return shape;
  }
  /// A hash with the keys of `other`, shared with it, and nil values.
  static Hash WithKeysOf(const Hash& other) {
    Hash shape;
    shape.keys_ = other.keys_;
    shape.values_.resize(other.size());
    return shape;
  }
  /// A new hash equal to shape that keeps the room the shape was made with; it shares the shape's
  /// keys.
  static HashPtr CopyOfShape(const Hash& shape) {
    auto copy = std::make_shared<Hash>();
    copy->keys_ = shape.keys_;
    copy->values_.reserve(shape.values_.capacity());
    copy->values_.insert(copy->values_.end(), shape.values_.begin(), shape.values_.end());
    return copy;
  }
  /// The hash in `held` when nobody else holds it and it has exactly the shape's keys in order, to
  /// be refilled in place; otherwise a new copy of the shape.
  static HashPtr RefillableOrCopyOfShape(const Value& held, const Hash& shape) {
    const HashPtr* hash = held.HashRef();
    if (hash != nullptr && hash->use_count() == 1 && (*hash)->SameKeys(shape)) return *hash;
    return CopyOfShape(shape);
  }

 private:
  // Adds a key that is absent: in place when this hash alone holds its table, else by moving to a
  // grown copy of the table.
  void AddKey(std::string_view key);
  // The table of this hash, made its own first when another hash shares it or it is frozen.
  HashKeyTable& OwnKeys();
  // True when this hash may change its table in place.
  bool OwnsKeys() const noexcept;
  // The table a copy of this hash shares: none for a sealed hash, whose copies are not sealed.
  std::shared_ptr<HashKeyTable> ShareableKeys() const { return Sealed() ? nullptr : keys_; }
  // Raises the RuntimeError of a write to a sealed hash when this one is sealed.
  void RefuseWriteWhenSealed(const char* operation) const;

  // A sealed hash points at this table and no hash ever adds a key to it: the mark needs no room
  // of its own in every hash, and a pointer comparison tells it.
  static HashKeyTable sealedKeys_;

  std::shared_ptr<HashKeyTable> keys_;  // null until the first key
  std::vector<Value> values_;           // in key order
};

template <bool Const>
const HashKey& HashIterator<Const>::key() const {
  return hash_->KeyAt(position_);
}

template <bool Const>
typename HashIterator<Const>::ValueRef HashIterator<Const>::value() const {
  return hash_->ValueAt(position_);
}

/// Assigns the values of a copied shape position by position, in key order. Debug builds check
/// that each value goes to the key it is meant for.
class ShapeFiller {
 public:
  explicit ShapeFiller(Hash& hash) : hash_(hash) {}
  void operator()([[maybe_unused]] std::string_view key, Value value) {
    assert(index_ < hash_.size() && hash_.KeyAt(index_) == key);
    hash_.ValueAt(index_++) = std::move(value);
  }
  /// True when every key of the shape got its value.
  bool Complete() const { return index_ == hash_.size(); }

 private:
  Hash& hash_;
  size_t index_ = 0;
};

}  // namespace nv

#pragma once
// The keys of a Hash in insertion order with their lookup index. Copies of a hash share one table
// and keep only their values, so the thousands of render objects and records that are copies of
// one another hold their keys once. A table is changed in place only while a single hash holds it
// and it is not frozen; a hash that adds a key to a shared table moves to a copy that has that key
// as well, and the shared table remembers that move, so copies that grow the same way (a label run
// tags every render object it places) share one grown table. Grown tables that are remembered are
// frozen, which keeps them safe to hand out.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "HashKey.h"

namespace nv {

/// String hash usable with std::string_view lookups. Keys are short names ("x", "texto",
/// "alturaSuprimidaFlujoTexto"), so the hash is inlined and reads eight bytes at a time, mixing
/// each word with one multiplication; the final mix spreads the high bits into the low ones the
/// index masks with.
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

class HashKeyTable {
 public:
  static constexpr size_t npos = static_cast<size_t>(-1);
  /// The room a table, and the values of its hash, take with the first key: most hashes hold a
  /// few keys, and growing one at a time from nothing would reallocate at every one of them.
  static constexpr size_t kFirstRoom = 4;

  HashKeyTable() = default;
  /// A copy holds the same keys; it is not frozen and remembers no move to a grown table.
  HashKeyTable(const HashKeyTable& other);
  HashKeyTable& operator=(const HashKeyTable&) = delete;

  size_t size() const noexcept { return entries_.size(); }
  const HashKey& Key(size_t position) const noexcept { return entries_[position].key; }

  /// Returns the position of the key, or npos when it is absent.
  size_t Find(std::string_view key) const noexcept {
    if (index_.empty()) {
      // Small tables are scanned: comparing a few sizes is cheaper than hashing the key.
      for (size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].key == key) return i;
      }
      return npos;
    }
    const size_t hash = StringHash{}(key);
    const size_t mask = index_.size() - 1;
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
      const uint32_t entry = index_[slot];
      if (entry == 0) return npos;
      const size_t position = entry - 1;
      const Entry& candidate = entries_[position];
      if (candidate.hash == static_cast<uint32_t>(hash) && candidate.key == key) return position;
    }
  }

  /// Appends a key that is not in the table yet.
  void Append(std::string_view key);
  /// Removes the key at a position; the keys after it move up one place.
  void Remove(size_t position);
  /// Makes room for `count` keys in all.
  void Reserve(size_t count);

  /// The table a hash holding this one moves to when it adds `key`, when another hash made that
  /// move before and the table it led to is still held; otherwise null.
  std::shared_ptr<HashKeyTable> GrownBy(std::string_view key) const;
  /// Remembers that adding `key` to this table gave `grown`, and freezes `grown`.
  void RememberGrown(std::string_view key, const std::shared_ptr<HashKeyTable>& grown) const;
  /// A frozen table is never changed again, not even by a hash that holds it alone: it may be
  /// handed to any hash that grows this way, so a hash that changes its keys copies it first.
  bool Frozen() const noexcept { return frozen_; }

 private:
  // Below this many keys the table keeps no index and Find scans.
  static constexpr size_t kScanLimit = 8;

  void Changed() noexcept;
  void Rebuild(size_t slots);
  void Place(size_t position) noexcept;

  struct Entry {
    HashKey key;
    uint32_t hash;  // StringHash of the key, truncated
  };
  std::vector<Entry> entries_;    // in insertion order
  std::vector<uint32_t> index_;   // open addressing, linear probing: position + 1, 0 for a free slot
  bool frozen_ = false;

  // The last move to a grown table. A weak reference, so that the grown table goes with the last
  // hash that holds it.
  mutable HashKey grownKey_;
  mutable std::weak_ptr<HashKeyTable> grown_;
};

}  // namespace nv

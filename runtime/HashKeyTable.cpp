#include "HashKeyTable.h"

#include <mutex>

namespace nv {

namespace {

// A shared table is read by every hash that holds it; the remembered move to a grown table is the
// one thing written through a shared table, so it is guarded for hosts that run in several threads.
std::mutex& GrownMutex() {
  static std::mutex mutex;
  return mutex;
}

size_t SlotsFor(size_t count) {
  size_t slots = 16;
  while (slots < count * 2) slots *= 2;  // at most half full, so probes stay short
  return slots;
}

}  // namespace

HashKeyTable::HashKeyTable(const HashKeyTable& other)
    : keys_(other.keys_), hashes_(other.hashes_), index_(other.index_) {}

void HashKeyTable::Append(std::string_view key) {
  Changed();
  keys_.emplace_back(key);
  hashes_.push_back(static_cast<uint32_t>(StringHash{}(key)));
  if (index_.empty() && keys_.size() <= kScanLimit) return;
  if (index_.size() < keys_.size() * 2) {
    Rebuild(SlotsFor(keys_.size()));
  } else {
    Place(keys_.size() - 1);
  }
}

void HashKeyTable::Remove(size_t position) {
  Changed();
  keys_.erase(keys_.begin() + static_cast<std::ptrdiff_t>(position));
  hashes_.erase(hashes_.begin() + static_cast<std::ptrdiff_t>(position));
  // Every later position moved, so the index is built again (removing keys is rare).
  Rebuild(keys_.size() <= kScanLimit ? 0 : index_.size());
}

void HashKeyTable::Reserve(size_t count) {
  keys_.reserve(count);
  hashes_.reserve(count);
  if (count > kScanLimit && index_.size() < count * 2) Rebuild(SlotsFor(count));
}

std::shared_ptr<HashKeyTable> HashKeyTable::GrownBy(std::string_view key) const {
  std::lock_guard lock(GrownMutex());
  if (grownKey_ != key) return nullptr;
  return grown_.lock();
}

void HashKeyTable::RememberGrown(std::string_view key, const std::shared_ptr<HashKeyTable>& grown) const {
  std::lock_guard lock(GrownMutex());
  grown->frozen_ = true;
  grownKey_ = HashKey(key);
  grown_ = grown;
}

void HashKeyTable::Changed() noexcept {
  // Only a table that a single hash holds changes; the grown table it remembers was made from the
  // keys as they were.
  grown_.reset();
}

void HashKeyTable::Rebuild(size_t slots) {
  index_.assign(slots, 0);
  if (slots == 0) return;
  for (size_t position = 0; position < keys_.size(); ++position) Place(position);
}

void HashKeyTable::Place(size_t position) noexcept {
  const size_t mask = index_.size() - 1;
  size_t slot = hashes_[position] & mask;
  while (index_[slot] != 0) slot = (slot + 1) & mask;
  index_[slot] = static_cast<uint32_t>(position + 1);
}

}  // namespace nv

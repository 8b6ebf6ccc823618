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
    : entries_(other.entries_), index_(other.index_) {}

void HashKeyTable::Append(std::string_view key) {
  Changed();
  if (entries_.capacity() == 0) entries_.reserve(kFirstRoom);
  entries_.push_back(Entry{HashKey(key), static_cast<uint32_t>(StringHash{}(key))});
  if (index_.empty() && entries_.size() <= kScanLimit) return;
  if (index_.size() < entries_.size() * 2) {
    Rebuild(SlotsFor(entries_.size()));
  } else {
    Place(entries_.size() - 1);
  }
}

void HashKeyTable::Remove(size_t position) {
  Changed();
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(position));
  // Every later position moved, so the index is built again (removing keys is rare).
  Rebuild(entries_.size() <= kScanLimit ? 0 : index_.size());
}

void HashKeyTable::Reserve(size_t count) {
  entries_.reserve(count);
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
  for (size_t position = 0; position < entries_.size(); ++position) Place(position);
}

void HashKeyTable::Place(size_t position) noexcept {
  const size_t mask = index_.size() - 1;
  size_t slot = entries_[position].hash & mask;
  while (index_[slot] != 0) slot = (slot + 1) & mask;
  index_[slot] = static_cast<uint32_t>(position + 1);
}

}  // namespace nv

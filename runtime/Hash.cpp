#include "Hash.h"

#include <algorithm>

namespace nv {

HashKeyTable Hash::sealedKeys_;

Hash& Hash::operator=(const Hash& other) {
  RefuseWriteWhenSealed("=");
  if (this != &other) {
    keys_ = other.ShareableKeys();
    values_ = other.values_;
  }
  return *this;
}

Hash& Hash::operator=(Hash&& other) {
  RefuseWriteWhenSealed("=");
  if (this != &other) {
    keys_ = other.Sealed() ? nullptr : std::move(other.keys_);
    values_ = std::move(other.values_);
  }
  return *this;
}

void Hash::Seal() {
  RefuseWriteWhenSealed("Seal");
  if (!empty()) throw RuntimeError("BASE", 1004, "Only an empty hash can be sealed", "Seal");
  // The table is not owned: the aliasing pointer shares no control block, so no count is kept.
  keys_ = std::shared_ptr<HashKeyTable>(std::shared_ptr<HashKeyTable>(), &sealedKeys_);
}

void Hash::RefuseWriteWhenSealed(const char* operation) const {
  if (Sealed()) throw RuntimeError("BASE", 1004, "Read-only hash: the shared empty hash cannot change", operation);
}

void Hash::Erase(std::string_view key) {
  const size_t position = IndexOf(key);
  if (position == HashKeyTable::npos) return;
  OwnKeys().Remove(position);
  values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(position));
}

void Hash::reserve(size_t count) {
  // A sealed hash never owns its table, so the seal is only looked at where the table is shared.
  if (keys_ != nullptr && !OwnsKeys()) RefuseWriteWhenSealed("reserve");
  values_.reserve(count);
  // A shared table is left as it is: it gets its room when this hash moves to a table of its own.
  if (keys_ == nullptr) keys_ = std::make_shared<HashKeyTable>();
  if (OwnsKeys()) keys_->Reserve(count);
}

bool Hash::SameKeys(const Hash& other) const noexcept {
  if (keys_ == other.keys_) return true;
  if (size() != other.size()) return false;
  for (size_t i = 0; i < size(); ++i) {
    if (KeyAt(i) != other.KeyAt(i)) return false;
  }
  return true;
}

bool Hash::OwnsKeys() const noexcept { return keys_.use_count() == 1 && !keys_->Frozen(); }

void Hash::AddKey(std::string_view key) {
  if (keys_ == nullptr) {
    keys_ = std::make_shared<HashKeyTable>();
  } else if (!OwnsKeys()) {
    // A sealed hash never owns its table: the seal costs nothing to hashes that add keys in place.
    RefuseWriteWhenSealed("Put");
    // Copies of one hash tend to grow by the same keys, so the move made by the first copy is
    // taken again by the others.
    if (std::shared_ptr<HashKeyTable> grown = keys_->GrownBy(key)) {
      keys_ = std::move(grown);
      return;
    }
    auto grown = std::make_shared<HashKeyTable>(*keys_);
    grown->Reserve(std::max(values_.capacity(), size() + 1));
    grown->Append(key);
    // A table no other hash holds is not remembered: the grown copy stays this hash's own, so a
    // hash that goes on adding keys changes it in place instead of copying it at every key.
    if (keys_.use_count() > 1) keys_->RememberGrown(key, grown);
    keys_ = std::move(grown);
    return;
  }
  keys_->Append(key);
}

HashKeyTable& Hash::OwnKeys() {
  if (!OwnsKeys()) keys_ = std::make_shared<HashKeyTable>(*keys_);
  return *keys_;
}

}  // namespace nv

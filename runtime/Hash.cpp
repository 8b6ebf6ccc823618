#include "Hash.h"

#include <algorithm>

namespace nv {

void Hash::Erase(std::string_view key) {
  const size_t position = IndexOf(key);
  if (position == HashKeyTable::npos) return;
  OwnKeys().Remove(position);
  values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(position));
}

void Hash::reserve(size_t count) {
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

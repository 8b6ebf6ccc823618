#include "data/RecentRecords.h"

#include <iterator>

namespace nv {

const Value* RecentRecords::Find(int64_t index) const {
  auto it = kept_.find(index);
  return it == kept_.end() ? nullptr : &it->second;
}

void RecentRecords::Keep(int64_t index, const Value& record) {
  if (kept_.size() >= kKept) kept_.erase(kept_.begin()->first < index ? kept_.begin() : std::prev(kept_.end()));
  kept_.insert_or_assign(index, record);
}

}  // namespace nv

#pragma once
// The few records a run looked at last, kept by position: a run looks at a record and its two
// neighbours, so a sequence that builds its records on demand builds each about once.

#include <cstdint>
#include <map>

#include "Value.h"

namespace nv {

class RecentRecords {
 public:
  /// The record kept at index, or nullptr.
  const Value* Find(int64_t index) const;
  /// Keeps record at index, letting go of the one farthest from it when full.
  void Keep(int64_t index, const Value& record);

 private:
  static constexpr size_t kKept = 4;
  std::map<int64_t, Value> kept_;
};

}  // namespace nv

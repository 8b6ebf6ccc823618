#pragma once
// Records held in memory: the elements of an array, as the connector gives them.

#include "data/RecordSequence.h"

namespace nv {

class ArrayRecordSequence : public RecordSequence {
 public:
  explicit ArrayRecordSequence(Value records);
  int64_t Count() const override;
  /// The element at index when it is a hash; a new empty hash otherwise.
  Value At(int64_t index) override;

 private:
  Value records_;
};

}  // namespace nv

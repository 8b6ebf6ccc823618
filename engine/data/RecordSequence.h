#pragma once
// The detail records a run walks, read by position: held in memory, or read from a data file
// one at a time so that a long run holds only the records it is looking at.

#include <cstdint>

#include "Value.h"

namespace nv {

class RecordSequence {
 public:
  virtual ~RecordSequence() = default;
  /// How many records there are.
  virtual int64_t Count() const = 0;
  /// The record at a 0-based position: a hash; a new empty hash outside 0..Count()-1.
  virtual Value At(int64_t index) = 0;
};

}  // namespace nv

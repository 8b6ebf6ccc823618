#pragma once
// The detail records a run walks, read by position: held in memory, or read from a data file
// one at a time so that a long run holds only the records it is looking at.
//
// A sequence is an engine object, so a run's options can carry it where they would carry an
// array of records ("aRegistrosDetalleRuntime"); Of, CountOf and HashAt read either form.

#include <cstdint>
#include <memory>

#include "Object.h"
#include "Value.h"

namespace nv {

class RecordSequence : public Object {
 public:
  std::string_view ClassName() const override { return "RecordSequence"; }
  /// How many records there are.
  virtual int64_t Count() const = 0;
  /// The record at a 0-based position: a hash; a new empty hash outside 0..Count()-1.
  virtual Value At(int64_t index) = 0;

  /// The records a value holds: the sequence itself, or an array read in place; nullptr for
  /// anything else.
  static std::shared_ptr<RecordSequence> Of(const Value& records);
  /// How many records an array or a sequence holds; 0 for anything else.
  static int64_t CountOf(const Value& records);
  /// The element at a 0-based position of an array or a sequence when it exists and is a hash;
  /// nil otherwise. Costs no copy of the records.
  static Value HashAt(const Value& records, int64_t index);
};

}  // namespace nv

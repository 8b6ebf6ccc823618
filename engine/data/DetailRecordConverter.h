#pragma once
// Turns the elements of one "DetalleVar" block into detail records: keys "BLOCK.FIELD" (fields
// with empty names skipped), typed values ({"tipo", "valor"}) unwrapped to their "valor".
//
// Elements of one block nearly always have the same fields: while they do, their records share
// one key table, so a long list costs its values and little more, and converting an element
// costs no key building.

#include <string>

#include "Hash.h"
#include "Value.h"

namespace nv {

class DetailRecordConverter {
 public:
  /// prefix is the block name followed by ".".
  explicit DetailRecordConverter(std::string prefix = "");

  /// The record of element in out. False, with out untouched, when the element is not a hash or
  /// has no named field.
  bool Convert(const Value& element, Value& out);
  /// True when Convert takes element: a hash with a field of a non-empty name.
  static bool GivesRecord(const Value& element);

 private:
  std::string prefix_;
  /// The fields of the element the shape was made for, kept to compare the next element with.
  Value shapeSource_;
  Hash shape_;
};

}  // namespace nv

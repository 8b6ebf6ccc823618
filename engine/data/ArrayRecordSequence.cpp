#include "data/ArrayRecordSequence.h"

namespace nv {

ArrayRecordSequence::ArrayRecordSequence(Value records)
    : records_(records.IsArray() ? std::move(records) : Value::NewArray()) {}

int64_t ArrayRecordSequence::Count() const { return static_cast<int64_t>(records_.Len()); }

Value ArrayRecordSequence::At(int64_t index) {
  if (index < 0 || index >= Count()) return Value::NewHash();
  const Value& record = records_.AsArray()[static_cast<size_t>(index)];
  return record.IsHash() ? record : Value::NewHash();
}

}  // namespace nv

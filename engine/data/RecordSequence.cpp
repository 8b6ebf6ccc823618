#include "data/RecordSequence.h"

#include "data/ArrayRecordSequence.h"

namespace nv {

std::shared_ptr<RecordSequence> RecordSequence::Of(const Value& records) {
  if (records.IsArray()) return std::make_shared<ArrayRecordSequence>(records);
  return records.AsShared<RecordSequence>();
}

int64_t RecordSequence::CountOf(const Value& records) {
  if (const ArrayPtr* items = records.ArrayRef()) return static_cast<int64_t>((*items)->size());
  if (auto* sequence = records.As<RecordSequence>()) return sequence->Count();
  return 0;
}

Value RecordSequence::HashAt(const Value& records, int64_t index) {
  if (const ArrayPtr* items = records.ArrayRef()) {
    if (index < 0 || index >= static_cast<int64_t>((*items)->size())) return Value();
    const Value& item = (**items)[static_cast<size_t>(index)];
    return item.IsHash() ? item : Value();
  }
  if (auto* sequence = records.As<RecordSequence>(); sequence != nullptr && index >= 0 && index < sequence->Count()) {
    Value record = sequence->At(index);
    return record.IsHash() ? record : Value();
  }
  return Value();
}

}  // namespace nv

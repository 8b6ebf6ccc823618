#include "data/DetailRecordConverter.h"

#include <utility>
#include <vector>

namespace nv {

DetailRecordConverter::DetailRecordConverter(std::string prefix) : prefix_(std::move(prefix)) {}

bool DetailRecordConverter::Convert(const Value& element, Value& out) {
  const HashPtr* fields = element.HashRef();
  if (fields == nullptr) return false;
  const HashPtr* last = shapeSource_.HashRef();
  if (last == nullptr || !(*fields)->SameKeys(**last)) {
    std::vector<std::string> keys;
    keys.reserve((*fields)->size());
    for (const auto& field : **fields) {
      if (!field.first.empty()) keys.push_back(prefix_ + field.first);
    }
    shape_ = Hash::Shape(keys, keys.size());
    shapeSource_ = element;
  }
  if (shape_.empty()) return false;
  HashPtr record = Hash::CopyOfShape(shape_);
  size_t position = 0;
  for (const auto& field : **fields) {
    if (field.first.empty()) continue;
    const Value* inner = field.second.IsHash() ? field.second.AsHash().Find("valor") : nullptr;
    record->ValueAt(position++) = inner != nullptr ? *inner : field.second;
  }
  out = Value(std::move(record));
  return true;
}

bool DetailRecordConverter::GivesRecord(const Value& element) {
  const HashPtr* fields = element.HashRef();
  if (fields == nullptr) return false;
  for (const auto& field : **fields) {
    if (!field.first.empty()) return true;
  }
  return false;
}

}  // namespace nv

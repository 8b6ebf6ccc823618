#include "data/DetailRecordView.h"

#include <utility>

namespace nv {

DetailRecordView::DetailRecordView(Value lines, std::string prefix)
    : lines_(std::move(lines)), converter_(std::move(prefix)) {
  const ArrayPtr* items = lines_.ArrayRef();
  if (items == nullptr) return;
  const Array& all = **items;
  for (size_t p = 0; p < all.size(); ++p) {
    if (DetailRecordConverter::GivesRecord(all[p])) {
      if (!lineOf_.empty() || static_cast<size_t>(count_) != p) {
        // The first line left out: from here on every record's line is noted.
        if (lineOf_.empty()) {
          for (int64_t k = 0; k < count_; ++k) lineOf_.push_back(static_cast<size_t>(k));
        }
        lineOf_.push_back(p);
      }
      ++count_;
    }
  }
}

Value DetailRecordView::At(int64_t index) {
  if (index < 0 || index >= count_) return Value::NewHash();
  if (const Value* kept = recent_.Find(index)) return *kept;
  const size_t line = lineOf_.empty() ? static_cast<size_t>(index) : lineOf_[static_cast<size_t>(index)];
  Value record;
  if (!converter_.Convert(lines_.AsArray()[line], record)) record = Value::NewHash();
  recent_.Keep(index, record);
  return record;
}

}  // namespace nv

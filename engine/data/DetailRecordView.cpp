#include "data/DetailRecordView.h"

#include <utility>

#include "Accessors.h"

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

std::optional<DetailRecordView::Block> DetailRecordView::FirstBlock(const Value& data) {
  const Value blocks = HGet(data, "DetalleVar");
  const HashPtr* named = blocks.HashRef();
  if (named == nullptr) return std::nullopt;
  for (const auto& [name, lines] : **named) {
    const ArrayPtr* items = lines.ArrayRef();
    if (name.empty() || items == nullptr) continue;
    for (const Value& line : **items) {
      if (DetailRecordConverter::GivesRecord(line)) return Block{name, lines};
    }
  }
  return std::nullopt;
}

std::shared_ptr<DetailRecordView> DetailRecordView::OfFirstBlock(const Value& data) {
  std::optional<Block> block = FirstBlock(data);
  if (!block) return nullptr;
  return std::make_shared<DetailRecordView>(block->lines, block->name + ".");
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

#include "data/DetailRecordView.h"

#include <utility>

#include "Accessors.h"

namespace nv {

DetailRecordView::DetailRecordView(Value lines, std::string prefix)
    : lines_(std::move(lines)), converter_(std::move(prefix)) {
  const ArrayPtr* items = lines_.ArrayRef();
  if (items == nullptr) return;
  const Array& all = **items;
  for (const Value& line : all) count_ += DetailRecordConverter::GivesRecord(line) ? 1 : 0;
  // Record i is line i unless some line gives no record; only then is each record's line noted.
  if (static_cast<size_t>(count_) == all.size()) return;
  lineOf_.reserve(static_cast<size_t>(count_));
  for (size_t p = 0; p < all.size(); ++p) {
    if (DetailRecordConverter::GivesRecord(all[p])) lineOf_.push_back(p);
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

#include "barcode/ModuleMatrix.h"

#include <string>
#include <utility>

namespace nv {

ModuleMatrix::ModuleMatrix(int size, std::vector<uint64_t> rows) : rows_(std::move(rows)) {
  size_ = size < 0 ? 0 : (size > MAX_SIZE ? MAX_SIZE : size);
  rows_.resize(static_cast<size_t>(size_), 0);
  const uint64_t keep = size_ == 64 ? ~uint64_t{0} : ((uint64_t{1} << size_) - 1);
  for (uint64_t& row : rows_) row &= keep;
}

std::string ModuleMatrix::RowText(int row) const {
  std::string text(static_cast<size_t>(size_), '0');
  if (row < 0 || row >= size_) return text;
  const uint64_t bits = rows_[static_cast<size_t>(row)];
  for (int column = 0; column < size_; ++column) {
    if ((bits >> column) & 1U) text[static_cast<size_t>(column)] = '1';
  }
  return text;
}

Value ModuleMatrix::ToRows() const {
  Array rows;
  rows.reserve(static_cast<size_t>(size_));
  for (int row = 0; row < size_; ++row) rows.emplace_back(RowText(row));
  return Value::FromArray(std::move(rows));
}

}  // namespace nv

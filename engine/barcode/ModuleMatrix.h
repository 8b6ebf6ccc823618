#pragma once
// A square matrix of barcode modules, the immutable result of the two-dimensional encoders.

#include <cstdint>
#include <vector>

#include "Value.h"

namespace nv {

/// A square matrix of dark and light modules, at most 64 modules a side, stored one 64-bit word
/// per row (bit j of a row is column j, counted from the left). Empty when its size is 0.
class ModuleMatrix {
 public:
  /// The largest supported side in modules.
  static constexpr int MAX_SIZE = 64;

  ModuleMatrix() = default;
  /// Takes `size` row words (bit j is column j); bits at or above `size` are ignored.
  ModuleMatrix(int size, std::vector<uint64_t> rows);

  /// Returns the side in modules (0 for the empty matrix).
  int Size() const { return size_; }
  bool IsEmpty() const { return size_ == 0; }
  /// Returns true when the module at 0-based (row, column) is dark; false outside the matrix.
  bool Module(int row, int column) const {
    if (row < 0 || column < 0 || row >= size_ || column >= size_) return false;
    return (rows_[static_cast<size_t>(row)] >> column) & 1U;
  }
  /// Returns the row word of a 0-based row (bit j is column j).
  uint64_t RowBits(int row) const { return rows_[static_cast<size_t>(row)]; }
  /// Returns row `row` (0-based) as a text of "1" (dark) and "0" (light), left to right.
  std::string RowText(int row) const;
  /// Returns the rows from top to bottom as a 1-based list of "0"/"1" texts; empty list when empty.
  Value ToRows() const;

 private:
  int size_ = 0;
  std::vector<uint64_t> rows_;
};

}  // namespace nv

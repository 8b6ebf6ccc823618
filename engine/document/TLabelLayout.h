#pragma once
// The label sheet layout: the one place that reads a layout hash, fills in the defaults and keeps
// every setting in its range. The document stores the normalised hash; a label run reads its cell
// grid once and places every label with the same numbers.

#include <cstdint>
#include <utility>

#include "Value.h"

namespace nv {

class TLabelLayout {
 public:
  /// Returns a new hash with the default label layout: 70 x 37 mm labels, 3 columns, 8 rows,
  /// no margins, gaps or offsets, flow "row", format "manual".
  static Value Default();
  /// Returns a new complete label layout from any value: every key of the default layout in its
  /// order, read from the hash with the default as fallback and clamped to its range (sizes at
  /// least 1 mm, counts at least 1, margins and gaps at least 0, flow "row" or "column", a trimmed
  /// non-empty format). Loaded numbers keep their display decimals.
  static Value Normalizar(const Value& layout);

  /// Reads the cell grid of a layout of any form, normalised first.
  explicit TLabelLayout(const Value& layout);

  /// The normalised layout hash.
  const Value& Layout() const { return layout_; }
  /// The cells of one sheet: rows times columns, saturating at the largest integer.
  int64_t CeldasPorHoja() const { return cells_; }
  /// The top-left corner (x, y) of a cell of the sheet, counted from 0, in millimetres: cells
  /// fill rows first, or columns first when the flow is "column".
  std::pair<double, double> PosicionCelda(int64_t cell) const;

 private:
  Value layout_;
  int64_t rows_ = 1;
  int64_t columns_ = 1;
  int64_t cells_ = 1;
  bool byColumn_ = false;
  double originX_ = 0.0;
  double originY_ = 0.0;
  double stepX_ = 0.0;
  double stepY_ = 0.0;
};

}  // namespace nv

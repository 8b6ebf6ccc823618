#pragma once
// The render objects a table draws for its lines: the line rectangle (background and borders, and
// again as the border overlay), the cell background rectangle, the vertical rule and the edge
// rectangle of fixed separators. Each is a complete hash whose keys come in a fixed order; the
// hashes are copied from shapes that share their key tables, so no key is hashed per object.

#include <string>

#include "Value.h"

namespace nv {

/// The geometry and layer of one render object, millimetres.
struct TableBox {
  Value x, y, width, height;
  Value layer;
};

class TableRenderObjects {
 public:
  /// The four border flags of a line rectangle.
  struct Sides {
    bool top = true, right = true, bottom = true, left = true;
  };

  /// The line rectangle: "ancho" and "alto" at least 0.1, the four border flags, solid fill with
  /// the given colour and opacity (clamped to 0..1), corner radius radiusMm.
  static Value LineRectangle(const Value& id, const TableBox& box, const Value& borderWidth, const Value& fill,
                             const Value& borderColor, Sides sides, const Value& fillOpacity, const Value& radiusMm);
  /// The cell background rectangle: no border, the background's fill style, colours 2 and 3 and
  /// opacity, the given colour.
  static Value CellBackground(const Value& id, const TableBox& box, const Value& color, const Value& background);
  /// A vertical rule of width `width` (at least 0.1) centred on x + width / 2.
  static Value VerticalRule(const Value& id, const TableBox& box, const Value& color);
  /// The rectangle that draws the left and right edges of fixed separators.
  static Value SeparatorEdges(const Value& id, const TableBox& box, const Value& borderWidth, const Value& color,
                              bool left, bool right);
  /// The number, or 0.1 when it is below 0.1.
  static Value AtLeastTenth(const Value& n);
};

}  // namespace nv

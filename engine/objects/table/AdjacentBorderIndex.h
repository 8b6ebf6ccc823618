#pragma once
// Answers, for a list of render objects that only grows, "does the last rectangle with a bottom
// border at this left edge and width end at this y?" without walking the list: rectangles are
// indexed by left edge and width as they are appended, so a block of n stacked lines is checked
// in time linear in n.

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "Value.h"

namespace nv {

class AdjacentBorderIndex {
 public:
  /// Millimetres by which positions and widths may differ and still match.
  static constexpr double kTolerance = 0.25;

  /// Walking list from its last element backwards, the first rectangle ("tipo" "rectangulo")
  /// with "bordeInferior" true whose left edge lies within the tolerance of x and whose width lies
  /// within it of width decides: true when its bottom ("y" + "alto") lies within the tolerance of
  /// y. False when there is none. list is an array of render objects.
  bool BottomBorderEndsAt(const Value& list, double x, double y, double width);
  /// Forgets every indexed element.
  void Clear();

 private:
  struct Entry {
    size_t position;
    double x, width, bottom;
  };
  static int64_t Cell(double v);
  static uint64_t Key(int64_t xCell, int64_t widthCell);
  void IndexUpTo(const ArrayPtr& list);

  /// The list indexed, held so that its address names it until the index moves to another.
  ArrayPtr list_;
  size_t indexed_ = 0;
  std::unordered_map<uint64_t, std::vector<Entry>> cells_;
};

}  // namespace nv

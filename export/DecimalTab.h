#pragma once
// Decimal alignment of a text's lines, the "posicionDecimal" key.
//
// The value is a distance in millimetres from the inner left edge of the text's box (the box less
// its padding), like every other length of a template: each line that holds a number is moved so
// that its decimal separator starts at that distance. The separator is the last "," or "." that
// is followed by a digit (0-9); a number without one ends at the distance instead. Lines without a
// digit keep the object's alignment.
//
// Missing, nil and the engine's "no alignment" value (-10) draw the object's alignment silently.
// Anything else that cannot be a place inside the box (not a number, not finite, negative, beyond
// the inner width) draws the object's alignment too, with one "text-decimal-position" warning. A
// text that reads as a number ("12,5") counts as that number, as other numeric keys do. A line
// whose number would leave the inner box at that place is moved back inside it, with the same
// warning, so digits are never cut by the box.

#include <cstddef>
#include <optional>
#include <string_view>

#include <pango/pango.h>

#include "RenderObjectReader.h"

namespace nv::out {

class DecimalTab {
 public:
  /// The engine's value for a text without decimal alignment.
  static constexpr double kNone = -10;
  /// The warning code for a position that cannot be honoured.
  static constexpr std::string_view kWarning = "text-decimal-position";

  /// Where a line is aligned: a byte of the line, at its leading edge (a separator) or its
  /// trailing edge (the last digit of a number without separator).
  struct Anchor {
    size_t index = 0;
    bool trailing = false;
  };

  /// The position in millimetres from the inner left edge, or nothing for the object's alignment.
  static std::optional<double> PositionOf(const RenderObjectReader& reader, double innerWidth);
  /// The anchor of a line's last number, or nothing when the line holds no digit.
  static std::optional<Anchor> AnchorOf(std::string_view line);
  /// The anchor's distance from the start of a one-line layout, in layout units (millimetres).
  static double AnchorX(PangoLayout* layout, Anchor anchor);
};

}  // namespace nv::out

#pragma once
// Justified text: "ajustado" true, or "alineacion" justify (justify, justificado, justificada).
//
// Every line of a paragraph except its last is stretched to the inner width by widening the
// spaces between its words; Pango spreads the room over the word gaps of the one-line layout, so
// the words stay one selectable run and the last word ends at the inner right edge. A paragraph's
// last line (it ends at a line feed or closes the text) keeps the object's alignment, and so does
// a line without a space between words, or one already as wide as the box (it is condensed or
// clipped as any other line). A justified object whose last lines have no other alignment draws
// them left.

#include <string>
#include <string_view>

#include <pango/pango.h>

#include "RenderObjectReader.h"

namespace nv::out {

class LineJustifier {
 public:
  /// True when the object asks for justified lines.
  static bool Wanted(const RenderObjectReader& reader);
  /// True for the alignment words that mean justified.
  static bool IsJustifyWord(std::string_view alignment);
  /// Stretches a one-line layout holding text to width (layout units, millimetres). False, with
  /// the layout left as it was, when the text has no space between words or the line would not
  /// stay one line.
  static bool Stretch(PangoLayout* layout, std::string_view text, double width);
};

}  // namespace nv::out

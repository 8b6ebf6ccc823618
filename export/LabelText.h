#pragma once
// One line of short text placed in a band: the human-readable digits under a barcode, a chart's
// labels and values, a cross-tab cell. The line is never wrapped: it is condensed to the width it
// is given, its baseline placed by the font's ascent in a band one font size tall.

#include <string>

#include "PaintContext.h"
#include "RenderObjectReader.h"

namespace nv::out {

class LabelText {
 public:
  enum class Align { Left, Center, Right };

  /// Draws text at sizeMm in the band from top, anchored at x by align and condensed to maxWidth,
  /// in "fuente" (and "negrita") of the object and the current source colour.
  static void Draw(const PaintContext& ctx, const RenderObjectReader& reader, const std::string& text, double x,
                   double top, double maxWidth, double sizeMm, Align align);
};

}  // namespace nv::out

#pragma once
// Texts ("texto", "texto_formateado") on the engine's own lines, and rich texts
// ("texto_enriquecido") wrapped by Pango.
//
// The lines are never re-wrapped by font widths: a fragment (it has "finalesParrafo") is its text
// split at line feeds, any other text is cut by the engine's line rule along the text direction;
// "truncate", "shrink" and "condense" keep one line per paragraph. Each line is one unwrapped
// Pango layout, so HarfBuzz shapes it and bidi orders it, while x comes from "alineacion"
// (left/izquierda, center/centro, right/derecha), from "ajustado" (justified lines, see
// LineJustifier) and from "posicionDecimal" (a decimal tab in millimetres, see DecimalTab; it
// places the lines holding a number, the others follow the rest). Lines sit on the engine's
// pitch, (size + "interlineado", or "espaciadoParrafo" on a paragraph's last line) x 0.3528 mm,
// their baseline ascent/(ascent + descent) of the size below the line top. A text too wide is
// condensed ("wrap" down to 0.80, "condense" to 0.50), "shrink" scales size and pitch, and what is
// still too wide or tall is clipped to the box with "text-clipped": text never paints outside
// its box. "runs" of a formatted text ("cText", "lFontBold", "lFontItalic", "lFontUnderline",
// "lFontStrikeout", "cTextColor") become attributes when they spell the text; else they warn and
// the plain text is drawn.

#include <string>
#include <vector>

#include <pango/pango.h>

#include "ObjectFrame.h"
#include "PaintContext.h"
#include "RenderObjectReader.h"
#include "TextLines.h"

namespace nv::out {

class TextPainter {
 public:
  /// Draws a text or formatted text, box first, in its local frame.
  static void PaintText(const PaintContext& ctx, const RenderObjectReader& reader, const ObjectFrame& frame);
  /// Draws a rich text: its box, then its "content" when "contentFormat" is "html" (bold, italic,
  /// underline, strike, colour, line breaks), else "plainContent" (RTF draws as its plain
  /// content), wrapped by Pango to the inner width, clipped to the box when "overflow" is "hidden".
  static void PaintRichText(const PaintContext& ctx, const RenderObjectReader& reader, const ObjectFrame& frame);

  /// The engine's lines of a text object with its inner width along the text direction.
  static std::vector<TextLines::Line> LinesOf(const RenderObjectReader& reader, double innerWidth);

 private:
  struct Inner {
    double x = 0, y = 0, w = 0, h = 0;
  };
  static Inner InnerBox(const RenderObjectReader& reader, double w, double h);
  static PangoFontDescription* FontOf(const PaintContext& ctx, const RenderObjectReader& reader, double sizeMm,
                                      double& ascentRatio);
  static PangoAttrList* RunAttributes(const RenderObjectReader& reader, size_t lineStart, size_t lineBytes);
};

}  // namespace nv::out

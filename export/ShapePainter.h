#pragma once
// Rectangles, ellipses and lines, and the box (shadow, fill, borders) that texts, images and
// barcodes share with the rectangle.
//
// Keys: "colorFondo" with "opacidadRelleno"; "colorBorde", "grosorBorde" and the four
// "borde*" sides, centred on the edge; "redondeoMm", else min(w, h) / 2 x clamp("redondeo", 0,
// 100) / 100; "sombraTamano" millimetres right and down in "sombraColor" at alpha
// 1 - "sombraTransparencia" / 100. "estiloRelleno" other than "solid" ("", "none" draw no fill)
// is drawn solid with a warning. A line's "estilo" is solid, dash(ed), dot(ted) or dashdot;
// anything else is solid with a warning.

#include "ObjectFrame.h"
#include "PaintContext.h"
#include "RenderObjectReader.h"

namespace nv::out {

class ShapePainter {
 public:
  enum class Outline { Rectangle, Ellipse };

  /// Draws a "rectangulo" or an "elipse" in its local frame.
  static void PaintShape(const PaintContext& ctx, const RenderObjectReader& reader, const ObjectFrame& frame,
                         Outline outline);
  /// Draws a "linea" on the centre line of its local frame.
  static void PaintLine(const PaintContext& ctx, const RenderObjectReader& reader, const ObjectFrame& frame);
  /// Draws the background and borders of a text, image or barcode box (no shadow, no fill style).
  static void PaintBox(const PaintContext& ctx, const RenderObjectReader& reader, double w, double h);

 private:
  static double CornerRadius(const RenderObjectReader& reader, double w, double h);
  static void OutlinePath(cairo_t* cr, Outline outline, double w, double h, double radius);
  static void PaintShadow(const PaintContext& ctx, const RenderObjectReader& reader, Outline outline, double w,
                          double h, double radius);
  static void PaintBorders(const PaintContext& ctx, const RenderObjectReader& reader, Outline outline, double w,
                           double h, double radius);
};

}  // namespace nv::out

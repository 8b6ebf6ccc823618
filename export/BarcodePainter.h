#pragma once
// Barcodes from their module string ("bits", with "margenIzquierdoModulos" and
// "margenDerechoModulos" light modules) or module matrix ("matriz" rows of '0'/'1', with
// "margenModulos" light modules around). "colorFondo" is painted under the whole box, so the
// quiet zones, which lie inside the box, are light. A linear symbol's bars are vertical lines with
// flat ends covering exactly their runs, one stroke per bar width: a line costs half the output of
// a rectangle in PDF and SVG, and bars never touch, so there are no seams. A matrix symbol's dark
// modules are one path of one rectangle per run of a row, filled once (rasterizers that snap thin
// strokes to whole pixels would shift one-module lines). The module size snaps to whole device dots when a grid
// is given (PNG, or PDF/SVG for a printer): the nearest that still fits, else the floor, at least
// one dot; below one dot, or 0.264 mm for EAN, it warns "barcode-module-small". "mostrarTexto"
// adds the human-readable text in a band one "tamano" tall at the bottom: EAN-13 and EAN-8 in the
// retail layout (first digit in the quiet zone, guard bars reaching into the band), other symbols
// centred. An "error" paints the background only and warns "barcode-error".

#include <string>
#include <vector>

#include "ObjectFrame.h"
#include "PaintContext.h"
#include "RenderObjectReader.h"

namespace nv::out {

class BarcodePainter {
 public:
  static void Paint(const PaintContext& ctx, const RenderObjectReader& reader, const ObjectFrame& frame);

  /// The module size in millimetres for a symbol of `modules` modules across `available`
  /// millimetres, snapped to whole dots of dotsPerMm when it is positive.
  static double ModuleSize(double available, double modules, double dotsPerMm);

 private:
  /// A run of dark modules of a linear symbol: its first module, its width in modules, and whether
  /// it is a guard bar reaching into the text band.
  struct Bar {
    size_t start = 0;
    size_t modules = 0;
    bool guard = false;
  };

  static void StrokeBars(cairo_t* cr, const std::vector<Bar>& bars, double barsStart, double y, double module,
                         double barsHeight, double guardHeight);
  static void PaintLinear(const PaintContext& ctx, const RenderObjectReader& reader, const ObjectFrame& frame,
                          double x, double y, double w, double h);
  static void PaintMatrix(const PaintContext& ctx, const RenderObjectReader& reader, double x, double y, double w,
                          double h);
  /// Draws text centred on centreX with its baseline rule inside a band of bandHeight at bandTop,
  /// condensed to maxWidth.
  static void PaintHumanText(const PaintContext& ctx, const RenderObjectReader& reader, const std::string& text,
                             double centreX, double maxWidth, double bandTop, double bandHeight);
  static void CheckModuleSize(const PaintContext& ctx, const RenderObjectReader& reader, double module, bool ean);
};

}  // namespace nv::out

#pragma once
// What every painter draws with: the cairo context in millimetre user space, the fonts, the
// image decoder, and the device grid barcodes snap to.

#include <cairo.h>

namespace nv::out {

class FontResolver;
class ImageDecoder;

struct PaintContext {
  cairo_t* cr = nullptr;
  FontResolver* fonts = nullptr;
  ImageDecoder* images = nullptr;
  /// Device dots per millimetre that barcode modules snap to; 0 draws them at their exact size.
  double dotsPerMm = 0;
  /// True when drawing pixels (PNG): antialiasing of bars is turned off.
  bool raster = false;
};

}  // namespace nv::out

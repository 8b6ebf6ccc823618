#pragma once
// The cairo surfaces pages are drawn on: one PDF stream for the whole document, one SVG per page
// (millimetre units), one PNG per page drawn in bands of at most 2048 rows, so neither cairo's
// 32,767-pixel limit nor memory bounds the length of a continuous page. The painter always
// draws in millimetre user space.

#include <cairo.h>

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

#include "ExportOptions.h"
#include "OutputTarget.h"

namespace nv::out {

class Canvas {
 public:
  /// Draws a page on cr; firstPass is false for the second and later bands of a PNG page.
  using PagePainter = std::function<void(cairo_t* cr, bool firstPass)>;
  static constexpr int kBandRows = 2048;
  static constexpr double kDefaultPngDpi = 300.0;

  Canvas(const ExportOptions& options, OutputTarget& target);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  /// Draws page number (1-based) of w x h millimetres; false once an output failed (see Error).
  bool DrawPage(int64_t number, double widthMm, double heightMm, const PagePainter& paint);
  /// Ends the document (the PDF trailer); false when an output failed.
  bool Finish();
  const std::string& Error() const { return error_; }
  /// Dots per millimetre of the device grid (PNG always; PDF and SVG only with a dpi).
  double DotsPerMm() const;

  /// Pixels across length millimetres at dpi, at least 1.
  static int64_t Pixels(double lengthMm, double dpi);

 private:
  bool DrawPdf(double widthMm, double heightMm, const PagePainter& paint);
  bool DrawSvg(int64_t number, double widthMm, double heightMm, const PagePainter& paint);
  bool DrawPng(int64_t number, double widthMm, double heightMm, const PagePainter& paint);
  bool Fail(const std::string& message);
  static cairo_status_t WriteToStream(void* closure, const unsigned char* data, unsigned int length);

  ExportOptions options_;
  OutputTarget& target_;
  cairo_surface_t* pdf_ = nullptr;
  std::ostream* pdfStream_ = nullptr;
  std::string error_;
};

}  // namespace nv::out

#pragma once
// Draws a rendered document page by page into PDF, SVG or PNG. It reads render objects only:
// plain hashes, never the engine's classes. A page may be dropped by the caller as soon as
// AddPage returns, so a long run is exported in the memory of one page.

#include <cairo.h>

#include <memory>
#include <string_view>

#include "ExportOptions.h"
#include "OutputTarget.h"
#include "Value.h"

namespace nv::out {

class Canvas;
class FontResolver;
class ImageDecoder;

class Exporter {
 public:
  /// Content-mode pages taller than this (the viewers' 14,400 pt limit) still print, with a warning.
  static constexpr double kTallestViewablePageMm = 5080.0;

  Exporter(ExportOptions options, OutputTarget& target);
  ~Exporter();
  Exporter(const Exporter&) = delete;
  Exporter& operator=(const Exporter&) = delete;

  /// Sets the paper size in millimetres and the height mode ("fixed" or "content"); a size that is
  /// not a positive finite number up to 100 m is A4 with a "page-size" warning.
  void Begin(double widthMm, double heightMm, std::string_view heightMode);
  /// Draws one page ({"objetos": [...]}, with an optional "alto" for a content-mode page). Problems
  /// in the page are warnings; it never throws on data.
  void AddPage(const Value& page);
  /// Ends the output. Only output failures make the result not ok.
  ExportResult Finish();
  /// Pages drawn so far.
  int64_t Pages() const { return pages_; }

 private:
  void PaintPage(cairo_t* cr, const Value& objects, bool firstPass);
  void PaintObject(cairo_t* cr, const Value& object);

  ExportOptions options_;
  std::unique_ptr<FontResolver> fonts_;
  std::unique_ptr<ImageDecoder> images_;
  std::unique_ptr<Canvas> canvas_;
  ExportWarnings warnings_;
  double width_ = 210;
  double height_ = 297;
  bool contentMode_ = false;
  int64_t pages_ = 0;
};

}  // namespace nv::out

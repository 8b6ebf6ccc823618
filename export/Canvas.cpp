#include "Canvas.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <vector>

#include "PngWriter.h"

namespace nv::out {

namespace {

constexpr double kPointsPerMm = 72.0 / 25.4;

std::string IsoDate(int64_t seconds) {
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm utc{};
  gmtime_r(&t, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

}  // namespace

Canvas::Canvas(const ExportOptions& options, OutputTarget& target) : options_(options), target_(target) {
  if (options_.format == Format::Png && !(options_.dpi > 0)) options_.dpi = kDefaultPngDpi;
}

Canvas::~Canvas() {
  if (pdf_ != nullptr) cairo_surface_destroy(pdf_);
}

double Canvas::DotsPerMm() const { return options_.dpi > 0 ? options_.dpi / 25.4 : 0; }

int64_t Canvas::Pixels(double lengthMm, double dpi) {
  return std::max<int64_t>(1, std::llround(lengthMm / 25.4 * dpi));
}

bool Canvas::Fail(const std::string& message) {
  if (error_.empty()) error_ = message;
  return false;
}

cairo_status_t Canvas::WriteToStream(void* closure, const unsigned char* data, unsigned int length) {
  auto* out = static_cast<std::ostream*>(closure);
  out->write(reinterpret_cast<const char*>(data), length);
  return *out ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
}

bool Canvas::DrawPage(int64_t number, double widthMm, double heightMm, const PagePainter& paint) {
  if (!error_.empty()) return false;
  switch (options_.format) {
    case Format::Pdf: return DrawPdf(widthMm, heightMm, paint);
    case Format::Svg: return DrawSvg(number, widthMm, heightMm, paint);
    case Format::Png: return DrawPng(number, widthMm, heightMm, paint);
  }
  return false;
}

bool Canvas::DrawPdf(double widthMm, double heightMm, const PagePainter& paint) {
  if (pdf_ == nullptr) {
    pdfStream_ = target_.Open(0, error_);
    if (pdfStream_ == nullptr) return false;
    pdf_ = cairo_pdf_surface_create_for_stream(WriteToStream, pdfStream_, widthMm * kPointsPerMm,
                                               heightMm * kPointsPerMm);
    int64_t created = options_.creationTime ? *options_.creationTime : static_cast<int64_t>(std::time(nullptr));
    cairo_pdf_surface_set_metadata(pdf_, CAIRO_PDF_METADATA_CREATE_DATE, IsoDate(created).c_str());
  }
  cairo_pdf_surface_set_size(pdf_, widthMm * kPointsPerMm, heightMm * kPointsPerMm);
  cairo_t* cr = cairo_create(pdf_);
  cairo_scale(cr, kPointsPerMm, kPointsPerMm);
  paint(cr, true);
  cairo_show_page(cr);
  cairo_destroy(cr);
  if (cairo_surface_status(pdf_) != CAIRO_STATUS_SUCCESS) return Fail("the PDF cannot be written");
  return true;
}

bool Canvas::DrawSvg(int64_t number, double widthMm, double heightMm, const PagePainter& paint) {
  std::ostream* out = target_.Open(number, error_);
  if (out == nullptr) return false;
  cairo_surface_t* svg = cairo_svg_surface_create_for_stream(WriteToStream, out, widthMm, heightMm);
  cairo_svg_surface_set_document_unit(svg, CAIRO_SVG_UNIT_MM);
  cairo_t* cr = cairo_create(svg);
  paint(cr, true);
  cairo_destroy(cr);
  cairo_surface_finish(svg);
  const bool ok = cairo_surface_status(svg) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(svg);
  if (!target_.Close(number, error_)) return false;
  return ok || Fail("the SVG of page " + std::to_string(number) + " cannot be written");
}

bool Canvas::DrawPng(int64_t number, double widthMm, double heightMm, const PagePainter& paint) {
  const int64_t width = Pixels(widthMm, options_.dpi);
  const int64_t height = Pixels(heightMm, options_.dpi);
  if (width > 32767) return Fail("page " + std::to_string(number) + " is too wide for PNG at this resolution");
  std::ostream* out = target_.Open(number, error_);
  if (out == nullptr) return false;
  PngWriter writer(*out);
  bool ok = writer.Begin(static_cast<uint32_t>(width), static_cast<uint32_t>(height), options_.dpi,
                         std::clamp(options_.pngCompression, 0, 9));
  const double scale = options_.dpi / 25.4;
  std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
  for (int64_t bandTop = 0; ok && bandTop < height; bandTop += kBandRows) {
    const int rows = static_cast<int>(std::min<int64_t>(kBandRows, height - bandTop));
    cairo_surface_t* band = cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(width), rows);
    cairo_t* cr = cairo_create(band);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_translate(cr, 0, -static_cast<double>(bandTop));
    cairo_scale(cr, scale, scale);
    paint(cr, bandTop == 0);
    cairo_destroy(cr);
    cairo_surface_flush(band);
    const unsigned char* data = cairo_image_surface_get_data(band);
    const int stride = cairo_image_surface_get_stride(band);
    for (int y = 0; ok && y < rows; ++y) {
      const auto* pixels = reinterpret_cast<const uint32_t*>(data + static_cast<ptrdiff_t>(y) * stride);
      for (int64_t x = 0; x < width; ++x) {
        const uint32_t p = pixels[x];
        row[static_cast<size_t>(x) * 3] = static_cast<uint8_t>(p >> 16);
        row[static_cast<size_t>(x) * 3 + 1] = static_cast<uint8_t>(p >> 8);
        row[static_cast<size_t>(x) * 3 + 2] = static_cast<uint8_t>(p);
      }
      ok = writer.WriteRow(row.data());
    }
    cairo_surface_destroy(band);
  }
  ok = ok && writer.End();
  if (!target_.Close(number, error_)) return false;
  return ok || Fail("the PNG of page " + std::to_string(number) + " cannot be written");
}

bool Canvas::Finish() {
  if (options_.format == Format::Pdf) {
    if (pdf_ == nullptr && error_.empty()) {
      // A document without pages still gives a valid PDF: one blank A4 page.
      DrawPdf(210, 297, [](cairo_t*, bool) {});
    }
    if (pdf_ != nullptr) {
      cairo_surface_finish(pdf_);
      if (cairo_surface_status(pdf_) != CAIRO_STATUS_SUCCESS) Fail("the PDF cannot be written");
      cairo_surface_destroy(pdf_);
      pdf_ = nullptr;
      if (pdfStream_ != nullptr && !target_.Close(0, error_)) return false;
    }
  }
  return error_.empty();
}

}  // namespace nv::out

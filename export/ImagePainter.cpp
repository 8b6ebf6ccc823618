#include "ImagePainter.h"

#include <algorithm>

#include "ImageDecoder.h"
#include "ShapePainter.h"

namespace nv::out {

namespace {

constexpr double kMmPerCssPixel = 25.4 / 96.0;

}  // namespace

void ImagePainter::Paint(const PaintContext& ctx, const RenderObjectReader& reader, const ObjectFrame& frame) {
  cairo_t* cr = ctx.cr;
  const double w = frame.Width(), h = frame.Height();
  ShapePainter::PaintBox(ctx, reader, w, h);
  if (std::string error = reader.Text("error"); !error.empty()) {
    reader.Warn("image-missing", error);
    return;
  }
  const std::string uri = reader.Text("dataUri");
  if (uri.empty()) {
    reader.Warn("image-missing");
    return;
  }
  ImageDecoder::Status status = ImageDecoder::Status::Ok;
  cairo_surface_t* image = ctx.images->Decode(uri, reader.Text("mime"), status);
  if (image == nullptr) {
    reader.Warn(status == ImageDecoder::Status::Unsupported ? "image-unsupported" : "image-missing", reader.Text("mime"));
    return;
  }
  const double iw = cairo_image_surface_get_width(image), ih = cairo_image_surface_get_height(image);
  if (!(iw > 0) || !(ih > 0) || !(w > 0) || !(h > 0)) return;

  std::string fit = reader.Text("ajuste", "contain");
  if (!reader.Flag("mantenerProporcion", true)) fit = "fill";
  double sx = w / iw, sy = h / ih;
  if (fit == "cover") {
    sx = sy = std::max(sx, sy);
  } else if (fit == "none") {
    sx = sy = kMmPerCssPixel;
  } else if (fit != "fill" && fit != "stretch") {
    if (fit != "contain") reader.Warn("image-fit", fit);
    sx = sy = std::min(sx, sy);
  }
  cairo_save(cr);
  cairo_rectangle(cr, 0, 0, w, h);
  cairo_clip(cr);
  cairo_translate(cr, (w - iw * sx) / 2, (h - ih * sy) / 2);
  cairo_scale(cr, sx, sy);
  cairo_set_source_surface(cr, image, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
  cairo_paint(cr);
  cairo_restore(cr);
}

}  // namespace nv::out

#include "ShapePainter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

namespace nv::out {

namespace {

void SetColor(cairo_t* cr, const Rgba& color, double alpha = 1.0) {
  cairo_set_source_rgba(cr, color.r, color.g, color.b, color.a * alpha);
}

}  // namespace

double ShapePainter::CornerRadius(const RenderObjectReader& reader, double w, double h) {
  double limit = std::min(w, h) / 2;
  if (reader.Has("redondeoMm")) return std::clamp(reader.Number("redondeoMm", 0), 0.0, limit);
  return limit * std::clamp(reader.Number("redondeo", 0), 0.0, 100.0) / 100.0;
}

void ShapePainter::OutlinePath(cairo_t* cr, Outline outline, double w, double h, double radius) {
  cairo_new_path(cr);
  if (outline == Outline::Ellipse) {
    if (w <= 0 || h <= 0) return;
    cairo_save(cr);
    cairo_translate(cr, w / 2, h / 2);
    cairo_scale(cr, w / 2, h / 2);
    cairo_arc(cr, 0, 0, 1, 0, 2 * std::numbers::pi);
    cairo_restore(cr);
    return;
  }
  if (radius <= 0) {
    cairo_rectangle(cr, 0, 0, w, h);
    return;
  }
  const double pi = std::numbers::pi;
  cairo_arc(cr, w - radius, radius, radius, -pi / 2, 0);
  cairo_arc(cr, w - radius, h - radius, radius, 0, pi / 2);
  cairo_arc(cr, radius, h - radius, radius, pi / 2, pi);
  cairo_arc(cr, radius, radius, radius, pi, 3 * pi / 2);
  cairo_close_path(cr);
}

void ShapePainter::PaintShadow(const PaintContext& ctx, const RenderObjectReader& reader, Outline outline, double w,
                               double h, double radius) {
  double size = reader.Number("sombraTamano", 0);
  if (!(size > 0)) return;
  std::optional<Rgba> color = reader.Color("sombraColor", Rgba{});
  if (!color) return;
  double alpha = 1.0 - std::clamp(reader.Number("sombraTransparencia", 50), 0.0, 100.0) / 100.0;
  cairo_save(ctx.cr);
  cairo_translate(ctx.cr, size, size);
  OutlinePath(ctx.cr, outline, w, h, radius);
  SetColor(ctx.cr, *color, alpha);
  cairo_fill(ctx.cr);
  cairo_restore(ctx.cr);
}

void ShapePainter::PaintBorders(const PaintContext& ctx, const RenderObjectReader& reader, Outline outline, double w,
                                double h, double radius) {
  double width = reader.Number("grosorBorde", 0);
  if (!(width > 0)) return;
  std::optional<Rgba> color = reader.Color("colorBorde", std::nullopt);
  if (!color) return;
  const std::array<bool, 4> sides{reader.Flag("bordeSuperior", false), reader.Flag("bordeDerecho", false),
                                  reader.Flag("bordeInferior", false), reader.Flag("bordeIzquierdo", false)};
  const bool all = sides[0] && sides[1] && sides[2] && sides[3];
  cairo_t* cr = ctx.cr;
  SetColor(cr, *color);
  cairo_set_line_width(cr, width);
  if (all && (outline == Outline::Ellipse || radius > 0)) {
    OutlinePath(cr, outline, w, h, radius);
    cairo_stroke(cr);
    return;
  }
  cairo_new_path(cr);
  // Each side is stroked on its edge; the square caps meet at the corners.
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
  if (sides[0]) { cairo_move_to(cr, 0, 0); cairo_line_to(cr, w, 0); }
  if (sides[1]) { cairo_move_to(cr, w, 0); cairo_line_to(cr, w, h); }
  if (sides[2]) { cairo_move_to(cr, 0, h); cairo_line_to(cr, w, h); }
  if (sides[3]) { cairo_move_to(cr, 0, 0); cairo_line_to(cr, 0, h); }
  cairo_stroke(cr);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
}

void ShapePainter::PaintShape(const PaintContext& ctx, const RenderObjectReader& reader, const ObjectFrame& frame,
                              Outline outline) {
  const double w = frame.Width(), h = frame.Height();
  const double radius = outline == Outline::Rectangle ? CornerRadius(reader, w, h) : 0;
  PaintShadow(ctx, reader, outline, w, h, radius);
  std::string style = reader.Text("estiloRelleno", "solid");
  const bool noFill = style == "none" || style == "transparent";
  if (!noFill && style != "solid" && !style.empty()) reader.Warn("fill-style", style);
  if (std::optional<Rgba> fill = reader.Color("colorFondo", std::nullopt); fill && !noFill) {
    OutlinePath(ctx.cr, outline, w, h, radius);
    SetColor(ctx.cr, *fill, reader.Opacity("opacidadRelleno"));
    cairo_fill(ctx.cr);
  }
  PaintBorders(ctx, reader, outline, w, h, radius);
}

void ShapePainter::PaintBox(const PaintContext& ctx, const RenderObjectReader& reader, double w, double h) {
  const double radius = CornerRadius(reader, w, h);
  if (std::optional<Rgba> fill = reader.Color("colorFondo", std::nullopt)) {
    OutlinePath(ctx.cr, Outline::Rectangle, w, h, radius);
    SetColor(ctx.cr, *fill);
    cairo_fill(ctx.cr);
  }
  PaintBorders(ctx, reader, Outline::Rectangle, w, h, radius);
}

void ShapePainter::PaintLine(const PaintContext& ctx, const RenderObjectReader& reader, const ObjectFrame& frame) {
  double width = reader.Number("grosor", 0.1);
  if (!(width > 0)) return;
  std::optional<Rgba> color = reader.Color("color", Rgba{});
  if (!color) return;
  cairo_t* cr = ctx.cr;
  std::string style = reader.Text("estilo", "solid");
  const double unit = std::max(width, 0.1);
  std::vector<double> dashes;
  if (style == "dash" || style == "dashed") {
    dashes = {4 * unit, 2 * unit};
  } else if (style == "dot" || style == "dotted") {
    dashes = {unit, unit};
  } else if (style == "dashdot") {
    dashes = {4 * unit, unit, unit, unit};
  } else if (style != "solid" && !style.empty()) {
    reader.Warn("line-style", style);
  }
  cairo_new_path(cr);
  if (reader.Text("orientacion", "horizontal") == "vertical") {
    cairo_move_to(cr, frame.Width() / 2, 0);
    cairo_line_to(cr, frame.Width() / 2, frame.Height());
  } else {
    cairo_move_to(cr, 0, frame.Height() / 2);
    cairo_line_to(cr, frame.Width(), frame.Height() / 2);
  }
  cairo_set_line_width(cr, width);
  if (!dashes.empty()) cairo_set_dash(cr, dashes.data(), static_cast<int>(dashes.size()), 0);
  SetColor(cr, *color);
  cairo_stroke(cr);
  cairo_set_dash(cr, nullptr, 0, 0);
}

}  // namespace nv::out

#include "BarcodePainter.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "Accessors.h"
#include "LabelText.h"
#include "TextLines.h"

namespace nv::out {

namespace {

// EAN's smallest module: 80 % of the nominal 0.33 mm.
constexpr double kEanMinimumModuleMm = 0.264;

bool IsEan(const std::string& type) { return type == "EAN13" || type == "EAN8"; }

// Guard bars of the retail layout: start, centre and end guards, by module index.
bool IsGuardModule(const std::string& type, size_t module) {
  if (type == "EAN13") return module < 3 || (module >= 45 && module < 50) || module >= 92;
  if (type == "EAN8") return module < 3 || (module >= 31 && module < 36) || module >= 64;
  return false;
}

double Snap(double value, double dotsPerMm) {
  return dotsPerMm > 0 ? std::round(value * dotsPerMm) / dotsPerMm : value;
}

// Strokes the current path with square ends flush with its points, so a line of width w covers
// exactly the rectangle a fill of that run would.
void StrokeButt(cairo_t* cr, double width) {
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  cairo_set_line_width(cr, width);
  cairo_stroke(cr);
}

void ClipToBox(cairo_t* cr, double w, double h) {
  cairo_rectangle(cr, 0, 0, w, h);
  cairo_clip(cr);
}

}  // namespace

void BarcodePainter::StrokeBars(cairo_t* cr, const std::vector<Bar>& bars, double barsStart, double y, double module,
                                double barsHeight, double guardHeight) {
  // One stroke per bar width and height: a bar is a vertical line through its centre, which takes
  // half the drawing commands of a rectangle. Bars of one symbol never touch, so no seams appear.
  std::map<std::pair<size_t, bool>, std::vector<size_t>> byShape;
  for (const Bar& bar : bars) byShape[{bar.modules, bar.guard}].push_back(bar.start);
  for (const auto& [shape, starts] : byShape) {
    const auto [modules, guard] = shape;
    const double width = static_cast<double>(modules) * module;
    cairo_new_path(cr);
    for (size_t start : starts) {
      const double centreX = barsStart + static_cast<double>(start) * module + width / 2;
      cairo_move_to(cr, centreX, y);
      cairo_line_to(cr, centreX, y + (guard ? guardHeight : barsHeight));
    }
    StrokeButt(cr, width);
  }
}

double BarcodePainter::ModuleSize(double available, double modules, double dotsPerMm) {
  if (!(modules > 0) || !(available > 0)) return 0;
  double exact = available / modules;
  if (!(dotsPerMm > 0)) return exact;
  double dots = std::round(exact * dotsPerMm);
  if (dots * modules > available * dotsPerMm + 1e-9) dots = std::floor(exact * dotsPerMm);
  return std::max(1.0, dots) / dotsPerMm;
}

void BarcodePainter::CheckModuleSize(const PaintContext& ctx, const RenderObjectReader& reader, double module,
                                     bool ean) {
  const bool belowDot = ctx.dotsPerMm > 0 && module * ctx.dotsPerMm < 1.0 - 1e-9;
  if (belowDot || (ean && module < kEanMinimumModuleMm - 1e-9)) {
    reader.Warn("barcode-module-small", std::to_string(module) + " mm");
  }
}

void BarcodePainter::Paint(const PaintContext& ctx, const RenderObjectReader& reader, const ObjectFrame& frame) {
  cairo_t* cr = ctx.cr;
  const double w = frame.Width(), h = frame.Height();
  if (std::optional<Rgba> background = reader.Color("colorFondo", std::nullopt)) {
    cairo_rectangle(cr, 0, 0, w, h);
    cairo_set_source_rgba(cr, background->r, background->g, background->b, background->a);
    cairo_fill(cr);
  }
  if (std::string error = reader.Text("error"); !error.empty()) {
    reader.Warn("barcode-error", error);
    return;
  }
  double top = std::max(0.0, reader.Number("paddingSuperior", 0));
  double right = std::max(0.0, reader.Number("paddingDerecho", 0));
  double bottom = std::max(0.0, reader.Number("paddingInferior", 0));
  double left = std::max(0.0, reader.Number("paddingIzquierdo", 0));
  double innerW = w - left - right, innerH = h - top - bottom;
  if (!(innerW > 0) || !(innerH > 0)) {
    reader.Warn("barcode-error", "sin espacio");
    return;
  }
  cairo_save(cr);
  if (ctx.raster) cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  if (HGet(reader.Object(), "matriz").IsArray()) {
    ClipToBox(cr, w, h);
    PaintMatrix(ctx, reader, left, top, innerW, innerH);
  } else {
    PaintLinear(ctx, reader, frame, left, top, innerW, innerH);
  }
  cairo_restore(cr);
}

void BarcodePainter::PaintLinear(const PaintContext& ctx, const RenderObjectReader& reader, const ObjectFrame& frame,
                                 double x, double y, double w, double h) {
  cairo_t* cr = ctx.cr;
  const std::string bits = reader.Text("bits");
  if (bits.empty() || bits.find_first_not_of("01") != std::string::npos) {
    reader.Warn("barcode-invalid");
    return;
  }
  const std::string type = reader.Text("barcodeTipo");
  const double leftQuiet = std::max(0.0, reader.Number("margenIzquierdoModulos", 10));
  const double rightQuiet = std::max(0.0, reader.Number("margenDerechoModulos", 10));
  const double total = leftQuiet + static_cast<double>(bits.size()) + rightQuiet;
  const double module = ModuleSize(w, total, ctx.dotsPerMm);
  CheckModuleSize(ctx, reader, module, IsEan(type));
  const double symbolStart = Snap(x + (w - module * total) / 2, ctx.dotsPerMm);
  const double barsStart = symbolStart + leftQuiet * module;
  // Bars, guards and the text band lie inside the inner box by construction, unless the symbol is
  // wider than the box (a module of at least one dot) or snapping moved it past an edge: only then
  // is a clip worth what it costs in the output.
  if (symbolStart < x - 1e-9 || symbolStart + module * total > x + w + 1e-9) ClipToBox(cr, frame.Width(), frame.Height());

  const bool showText = reader.Flag("mostrarTexto", false) && !reader.Text("texto").empty();
  const double band = showText ? std::min(h / 2, std::max(0.1, reader.Number("tamano", 8)) * TextLines::kMmPorPunto) : 0;
  const double barsHeight = h - band;
  const bool retail = showText && IsEan(type);
  const double guardHeight = retail ? barsHeight + band / 2 : barsHeight;

  std::optional<Rgba> color = reader.Color("color", Rgba{});
  if (!color) color = Rgba{};
  std::vector<Bar> bars;
  for (size_t i = 0; i < bits.size();) {
    if (bits[i] != '1') {
      ++i;
      continue;
    }
    size_t run = i;
    const bool guard = retail && IsGuardModule(type, i);
    while (run < bits.size() && bits[run] == '1' && (retail ? IsGuardModule(type, run) == guard : true)) ++run;
    bars.push_back({i, run - i, guard});
    i = run;
  }
  cairo_set_source_rgba(cr, color->r, color->g, color->b, color->a);
  StrokeBars(cr, bars, barsStart, y, module, barsHeight, guardHeight);
  if (!showText) return;

  const std::string text = reader.Text("texto");
  const double bandTop = y + barsHeight;
  if (retail && type == "EAN13" && text.size() == 13 && bits.size() == 95) {
    PaintHumanText(ctx, reader, text.substr(0, 1), symbolStart + leftQuiet * module / 2, leftQuiet * module, bandTop, band);
    PaintHumanText(ctx, reader, text.substr(1, 6), barsStart + 24 * module, 42 * module, bandTop, band);
    PaintHumanText(ctx, reader, text.substr(7, 6), barsStart + 71 * module, 42 * module, bandTop, band);
  } else if (retail && type == "EAN8" && text.size() == 8 && bits.size() == 67) {
    PaintHumanText(ctx, reader, text.substr(0, 4), barsStart + 17 * module, 28 * module, bandTop, band);
    PaintHumanText(ctx, reader, text.substr(4, 4), barsStart + 50 * module, 28 * module, bandTop, band);
  } else {
    std::string shown = text;
    // The GS separator of GS1-128 is an encoding byte, never printed.
    shown.erase(std::remove(shown.begin(), shown.end(), '\x1d'), shown.end());
    PaintHumanText(ctx, reader, shown, x + w / 2, w, bandTop, band);
  }
}

void BarcodePainter::PaintMatrix(const PaintContext& ctx, const RenderObjectReader& reader, double x, double y,
                                 double w, double h) {
  cairo_t* cr = ctx.cr;
  const Value& rows = HGet(reader.Object(), "matriz");
  const size_t rowCount = rows.Len();
  size_t columns = 0;
  for (const Value& row : rows.AsArray()) {
    if (!row.IsString() || row.AsString().find_first_not_of("01") != std::string::npos) {
      reader.Warn("barcode-invalid");
      return;
    }
    columns = std::max(columns, row.AsString().size());
  }
  if (rowCount == 0 || columns == 0) {
    reader.Warn("barcode-invalid");
    return;
  }
  const bool showText = reader.Flag("mostrarTexto", false) && !reader.Text("texto").empty();
  const double band = showText ? std::min(h / 2, std::max(0.1, reader.Number("tamano", 8)) * TextLines::kMmPorPunto) : 0;
  const double quiet = std::max(0.0, reader.Number("margenModulos", 0));
  const double acrossModules = static_cast<double>(columns) + 2 * quiet;
  const double downModules = static_cast<double>(rowCount) + 2 * quiet;
  const double module = std::min(ModuleSize(w, acrossModules, ctx.dotsPerMm), ModuleSize(h - band, downModules, ctx.dotsPerMm));
  CheckModuleSize(ctx, reader, module, false);
  const double left = Snap(x + (w - module * acrossModules) / 2 + quiet * module, ctx.dotsPerMm);
  const double top = Snap(y + (h - band - module * downModules) / 2 + quiet * module, ctx.dotsPerMm);

  std::optional<Rgba> color = reader.Color("color", Rgba{});
  if (!color) color = Rgba{};
  cairo_new_path(cr);
  for (size_t r = 0; r < rowCount; ++r) {
    const std::string& row = rows.AsArray()[r].AsString();
    for (size_t c = 0; c < row.size();) {
      if (row[c] != '1') {
        ++c;
        continue;
      }
      size_t run = c;
      while (run < row.size() && row[run] == '1') ++run;
      cairo_rectangle(cr, left + static_cast<double>(c) * module, top + static_cast<double>(r) * module,
                      static_cast<double>(run - c) * module, module);
      c = run;
    }
  }
  cairo_set_source_rgba(cr, color->r, color->g, color->b, color->a);
  cairo_fill(cr);
  if (showText) PaintHumanText(ctx, reader, reader.Text("texto"), x + w / 2, w, y + h - band, band);
}

void BarcodePainter::PaintHumanText(const PaintContext& ctx, const RenderObjectReader& reader, const std::string& text,
                                    double centreX, double maxWidth, double bandTop, double bandHeight) {
  std::optional<Rgba> color = reader.Color("color", Rgba{});
  if (!color) color = Rgba{};
  cairo_set_source_rgba(ctx.cr, color->r, color->g, color->b, color->a);
  LabelText::Draw(ctx, reader, text, centreX, bandTop, maxWidth, bandHeight, LabelText::Align::Center);
}

}  // namespace nv::out

#include "ChartPainter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "Accessors.h"
#include "LabelText.h"
#include "TextLines.h"

namespace nv::out {

namespace {

constexpr std::array<uint32_t, 8> kPalette{0x336699, 0xdc3912, 0xff9900, 0x109618,
                                           0x990099, 0x0099c6, 0xdd4477, 0x66aa00};
constexpr double kLargestLabelPt = 8.0;

void SetPalette(cairo_t* cr, size_t index) {
  const uint32_t rgb = kPalette[index % kPalette.size()];
  cairo_set_source_rgb(cr, ((rgb >> 16) & 0xff) / 255.0, ((rgb >> 8) & 0xff) / 255.0, (rgb & 0xff) / 255.0);
}

struct Point {
  std::string label;
  double value = 0;
};

std::vector<Point> PointsOf(const RenderObjectReader& reader) {
  std::vector<Point> points;
  const Value list = HGet(reader.Object(), "puntos");
  if (!list.IsArray()) return points;
  for (const Value& item : list.AsArray()) {
    Value value = HGet(item, "value");
    double number = value.IsNumber() ? value.AsDouble() : std::nan("");
    if (!std::isfinite(number)) {
      reader.Warn("chart-data", ValueString(HGet(item, "label")));
      number = 0;
    }
    points.push_back({ValueString(HGet(item, "label")), number});
  }
  return points;
}

bool KindHas(const std::string& kind, std::initializer_list<const char*> words) {
  for (const char* word : words) {
    if (kind.find(word) != std::string::npos) return true;
  }
  return false;
}

}  // namespace

bool ChartPainter::IsChart(const RenderObjectReader& reader) {
  return reader.Text("tipo") == "crosstab" || HGet(reader.Object(), "puntos").IsArray();
}

void ChartPainter::Paint(const PaintContext& ctx, const RenderObjectReader& reader, const ObjectFrame& frame) {
  const double w = frame.Width(), h = frame.Height();
  if (!(w > 0) || !(h > 0)) return;
  cairo_save(ctx.cr);
  cairo_rectangle(ctx.cr, 0, 0, w, h);
  cairo_clip(ctx.cr);
  if (reader.Text("tipo") == "crosstab") {
    PaintCrosstab(ctx, reader, w, h);
  } else {
    PaintPoints(ctx, reader, w, h);
  }
  cairo_restore(ctx.cr);
}

void ChartPainter::PaintPoints(const PaintContext& ctx, const RenderObjectReader& reader, double w, double h) {
  cairo_t* cr = ctx.cr;
  const std::vector<Point> points = PointsOf(reader);
  if (points.empty()) return;
  std::string kind = reader.Text("tipo");
  for (char& c : kind) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const double labelMm = std::min(kLargestLabelPt * TextLines::kMmPorPunto, h / 8);

  if (KindHas(kind, {"pie", "tarta", "donut"})) {
    double total = 0;
    for (const Point& p : points) total += std::max(0.0, p.value);
    if (!(total > 0)) return;
    const double radius = std::min(w, h) / 2 * 0.9;
    double angle = -std::numbers::pi / 2;
    for (size_t i = 0; i < points.size(); ++i) {
      const double sweep = std::max(0.0, points[i].value) / total * 2 * std::numbers::pi;
      cairo_move_to(cr, w / 2, h / 2);
      cairo_arc(cr, w / 2, h / 2, radius, angle, angle + sweep);
      cairo_close_path(cr);
      SetPalette(cr, i);
      cairo_fill(cr);
      angle += sweep;
    }
    return;
  }

  double low = 0, high = 0;
  for (const Point& p : points) {
    low = std::min(low, p.value);
    high = std::max(high, p.value);
  }
  if (!(high > low)) high = low + 1;
  const double plotTop = labelMm * 0.5, plotBottom = h - labelMm * 1.5;
  if (!(plotBottom > plotTop)) return;
  auto yOf = [&](double v) { return plotBottom - (v - low) / (high - low) * (plotBottom - plotTop); };
  const double slot = w / static_cast<double>(points.size());

  if (KindHas(kind, {"line", "linea", "area"})) {
    cairo_new_path(cr);
    for (size_t i = 0; i < points.size(); ++i) cairo_line_to(cr, slot * (static_cast<double>(i) + 0.5), yOf(points[i].value));
    SetPalette(cr, 0);
    cairo_set_line_width(cr, std::max(0.2, labelMm / 10));
    cairo_stroke(cr);
  } else {
    for (size_t i = 0; i < points.size(); ++i) {
      const double top = yOf(std::max(0.0, points[i].value)), bottom = yOf(std::min(0.0, points[i].value));
      cairo_rectangle(cr, slot * (static_cast<double>(i) + 0.15), top, slot * 0.7, bottom - top);
      SetPalette(cr, i);
      cairo_fill(cr);
    }
  }
  // The zero line and the category labels.
  cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
  cairo_set_line_width(cr, 0.15);
  cairo_move_to(cr, 0, yOf(0));
  cairo_line_to(cr, w, yOf(0));
  cairo_stroke(cr);
  for (size_t i = 0; i < points.size(); ++i) {
    LabelText::Draw(ctx, reader, points[i].label, slot * (static_cast<double>(i) + 0.5), h - labelMm * 1.2, slot * 0.95,
                    labelMm, LabelText::Align::Center);
  }
}

void ChartPainter::PaintCrosstab(const PaintContext& ctx, const RenderObjectReader& reader, double w, double h) {
  cairo_t* cr = ctx.cr;
  const Value rows = HGet(reader.Object(), "filas");
  const Value columns = HGet(reader.Object(), "columnas");
  const Value cells = HGet(reader.Object(), "celdas");
  if (!rows.IsHash() || !columns.IsHash()) {
    reader.Warn("chart-data", "filas/columnas");
    return;
  }
  const Value rowKeys = HashKeys(rows), columnKeys = HashKeys(columns);
  const size_t rowCount = rowKeys.Len() + 1, columnCount = columnKeys.Len() + 1;
  const double cellW = w / static_cast<double>(columnCount), cellH = h / static_cast<double>(rowCount);
  const double textMm = std::min(kLargestLabelPt * TextLines::kMmPorPunto, cellH * 0.7);
  const double pad = std::min(0.8, cellW / 10);
  auto cellText = [&](const std::string& text, size_t row, size_t column, LabelText::Align align) {
    const double top = static_cast<double>(row) * cellH + (cellH - textMm) / 2;
    const double left = static_cast<double>(column) * cellW;
    const double x = align == LabelText::Align::Right ? left + cellW - pad : left + pad;
    LabelText::Draw(ctx, reader, text, x, top, cellW - 2 * pad, textMm, align);
  };

  cairo_set_source_rgb(cr, 0.93, 0.93, 0.93);
  cairo_rectangle(cr, 0, 0, w, cellH);
  cairo_rectangle(cr, 0, cellH, cellW, h - cellH);
  cairo_fill(cr);
  cairo_set_source_rgb(cr, 0.6, 0.6, 0.6);
  cairo_set_line_width(cr, 0.1);
  for (size_t r = 0; r <= rowCount; ++r) {
    cairo_move_to(cr, 0, static_cast<double>(r) * cellH);
    cairo_line_to(cr, w, static_cast<double>(r) * cellH);
  }
  for (size_t c = 0; c <= columnCount; ++c) {
    cairo_move_to(cr, static_cast<double>(c) * cellW, 0);
    cairo_line_to(cr, static_cast<double>(c) * cellW, h);
  }
  cairo_stroke(cr);

  cairo_set_source_rgb(cr, 0, 0, 0);
  for (size_t c = 0; c + 1 < columnCount; ++c) {
    cellText(ValueString(HGet(columns, columnKeys.AsArray()[c].AsString())), 0, c + 1, LabelText::Align::Left);
  }
  for (size_t r = 0; r + 1 < rowCount; ++r) {
    const std::string& rowKey = rowKeys.AsArray()[r].AsString();
    cellText(ValueString(HGet(rows, rowKey)), r + 1, 0, LabelText::Align::Left);
    const Value rowCells = HGet(cells, rowKey);
    for (size_t c = 0; c + 1 < columnCount; ++c) {
      const Value sum = HGet(rowCells, columnKeys.AsArray()[c].AsString());
      if (!sum.IsNil()) cellText(ValueString(sum), r + 1, c + 1, LabelText::Align::Right);
    }
  }
}

}  // namespace nv::out

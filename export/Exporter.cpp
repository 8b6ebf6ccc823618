#include "Exporter.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

#include "Accessors.h"
#include "BarcodePainter.h"
#include "Canvas.h"
#include "ChartPainter.h"
#include "FontResolver.h"
#include "ImageDecoder.h"
#include "ImagePainter.h"
#include "ObjectFrame.h"
#include "RenderObjectReader.h"
#include "ShapePainter.h"
#include "TextPainter.h"

namespace nv::out {

namespace {

bool SaneSide(double mm) { return std::isfinite(mm) && mm > 0 && mm <= RenderObjectReader::kMaxSideMm; }

double ZIndex(const Value& object) {
  Value z = HGet(object, "zIndex");
  if (z.IsNumber() || z.IsString()) {
    double d = ValueDouble(z);
    if (std::isfinite(d)) return d;
  }
  return 0;
}

}  // namespace

Exporter::Exporter(ExportOptions options, OutputTarget& target)
    : options_(std::move(options)),
      fonts_(std::make_unique<FontResolver>(options_.fontDirs, options_.systemFonts)),
      images_(std::make_unique<ImageDecoder>(options_.imageCacheBytes)),
      canvas_(std::make_unique<Canvas>(options_, target)) {}

Exporter::~Exporter() = default;

void Exporter::Begin(double widthMm, double heightMm, std::string_view heightMode) {
  contentMode_ = heightMode == "content";
  if (SaneSide(widthMm) && SaneSide(heightMm)) {
    width_ = widthMm;
    height_ = heightMm;
  } else {
    warnings_.Add(0, "", "page-size", std::to_string(widthMm) + " x " + std::to_string(heightMm));
  }
}

void Exporter::AddPage(const Value& page) {
  const int64_t number = pages_ + 1;
  Value objects = HGet(page, "objetos");
  if (!objects.IsArray()) {
    warnings_.Add(number, "", "page-not-object");
    objects = Value::NewArray();
  }
  double height = height_;
  if (contentMode_ && HHas(page, "alto")) {
    double own = ValueDouble(HGet(page, "alto"));
    if (SaneSide(own)) height = own;
  }
  if (contentMode_ && height > kTallestViewablePageMm) warnings_.Add(number, "", "page-too-tall");
  ++pages_;
  canvas_->DrawPage(number, width_, height, [&](cairo_t* cr, bool firstPass) { PaintPage(cr, objects, firstPass); });
}

void Exporter::PaintPage(cairo_t* cr, const Value& objects, bool firstPass) {
  warnings_.SetMuted(!firstPass);
  const Array& list = objects.AsArray();
  std::vector<size_t> order(list.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::vector<double> z(list.size());
  for (size_t i = 0; i < list.size(); ++i) z[i] = ZIndex(list[i]);
  // Equal z keeps the page's order: later objects draw over earlier ones.
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return z[a] < z[b]; });
  for (size_t i : order) PaintObject(cr, list[i]);
  warnings_.SetMuted(false);
}

void Exporter::PaintObject(cairo_t* cr, const Value& object) {
  const int64_t page = pages_;
  if (!object.IsHash()) {
    warnings_.Add(page, "", "bad-object");
    return;
  }
  RenderObjectReader reader(object, page, warnings_);
  const std::string kind = reader.Text("tipo");
  const bool known = kind == "rectangulo" || kind == "elipse" || kind == "linea" || kind == "texto" ||
                     kind == "texto_formateado" || kind == "texto_enriquecido" || kind == "barcode" ||
                     kind == "imagen";
  const bool chart = !known && ChartPainter::IsChart(reader);
  if (!known && !chart) {
    reader.Warn("unknown-kind", kind);
    return;
  }
  std::optional<Box> box = reader.ReadBox();
  if (!box) return;
  ObjectFrame frame(*box, reader.Number("rotacion", 0));
  PaintContext ctx{cr, fonts_.get(), images_.get(), canvas_->DotsPerMm(), options_.format == Format::Png};
  const double opacity = reader.Opacity("opacidad");
  if (opacity <= 0) return;
  cairo_save(cr);
  frame.Apply(cr);
  if (opacity < 1) cairo_push_group(cr);
  if (chart) {
    ChartPainter::Paint(ctx, reader, frame);
  } else if (kind == "rectangulo") {
    ShapePainter::PaintShape(ctx, reader, frame, ShapePainter::Outline::Rectangle);
  } else if (kind == "elipse") {
    ShapePainter::PaintShape(ctx, reader, frame, ShapePainter::Outline::Ellipse);
  } else if (kind == "linea") {
    ShapePainter::PaintLine(ctx, reader, frame);
  } else if (kind == "texto_enriquecido") {
    TextPainter::PaintRichText(ctx, reader, frame);
  } else if (kind == "barcode") {
    BarcodePainter::Paint(ctx, reader, frame);
  } else if (kind == "imagen") {
    ImagePainter::Paint(ctx, reader, frame);
  } else {
    TextPainter::PaintText(ctx, reader, frame);
  }
  if (opacity < 1) {
    cairo_pop_group_to_source(cr);
    cairo_paint_with_alpha(cr, opacity);
  }
  cairo_restore(cr);
}

ExportResult Exporter::Finish() {
  ExportResult result;
  result.ok = canvas_->Finish();
  result.error = canvas_->Error();
  result.pages = pages_;
  result.warnings = warnings_.All();
  return result;
}

}  // namespace nv::out

#include "TextPainter.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cmath>
#include <memory>

#include <pango/pangocairo.h>

#include "Utf8Repair.h"
#include "Accessors.h"
#include "DecimalTab.h"
#include "FontResolver.h"
#include "HtmlRichText.h"
#include "LineJustifier.h"
#include "Runtime.h"
#include "ShapePainter.h"

namespace nv::out {

namespace {

constexpr double kWrapCondenseFloor = 0.80;
constexpr double kCondenseFloor = 0.50;
// Widths within this many millimetres of the box still fit.
constexpr double kFitTolerance = 0.01;
// Sizes beyond this (35 cm letters) are drawn at it: Pango keeps sizes in 32-bit fixed point.
constexpr double kLargestFontPt = 1000.0;

enum class Align { Left, Center, Right };
enum class VAlign { Top, Middle, Bottom };
enum class FitMode { Wrap, Truncate, Shrink, Condense };

Align AlignOf(const std::string& word) {
  if (word == "center" || word == "centre" || word == "centro" || word == "centrado" || word == "centrada") return Align::Center;
  if (word == "right" || word == "derecha") return Align::Right;
  return Align::Left;
}

VAlign VAlignOf(const std::string& word) {
  if (word == "middle" || word == "center" || word == "centro" || word == "medio") return VAlign::Middle;
  if (word == "bottom" || word == "abajo" || word == "inferior") return VAlign::Bottom;
  return VAlign::Top;
}

FitMode FitModeOf(const RenderObjectReader& reader) {
  std::string mode = reader.Text("modoAjusteTexto", "wrap");
  if (mode == "truncate") return FitMode::Truncate;
  if (mode == "shrink") return FitMode::Shrink;
  if (mode == "condense") return FitMode::Condense;
  if (mode != "wrap" && !mode.empty()) reader.Warn("text-fit-mode", mode);
  return FitMode::Wrap;
}

// A tab is one blank, as the engine counts it; trailing blanks take no room.
std::string DrawnText(const std::string& line) {
  std::string text = line;
  std::replace(text.begin(), text.end(), '\t', ' ');
  while (!text.empty() && (text.back() == ' ' || text.back() == '\r' || text.back() == '\n')) text.pop_back();
  return text;
}

struct LayoutDeleter {
  void operator()(PangoLayout* layout) const { g_object_unref(layout); }
};
using LayoutPtr = std::unique_ptr<PangoLayout, LayoutDeleter>;

struct DrawnLine {
  LayoutPtr layout;
  std::string shown;     // the text the layout holds
  double width = 0;      // mm, at full size
  double baseline = 0;   // mm, layout top to baseline
  double pitch = 0;      // mm, at full size
  bool paragraphEnd = false;
  PangoRectangle ink{};  // Pango units, from the layout origin
};

double Mm(int pangoUnits) { return static_cast<double>(pangoUnits) / PANGO_SCALE; }

// How the lines of one object are placed across the inner box.
struct Placement {
  Align align = Align::Left;
  bool justified = false;
  std::optional<double> decimalTab;  // mm from the inner left edge
  double factor = 1.0;               // horizontal scale: condensing times shrinking
};

// The left edge of a drawn line: on the decimal tab when it has a number and the object one, else
// stretched to the inner width when justified, else by the object's alignment. An overwide line
// starts at the inner left edge, so its start stays readable.
double LineX(const RenderObjectReader& reader, const Placement& placement, double innerX, double innerW,
             DrawnLine& line) {
  const double width = line.width * placement.factor;
  if (width > innerW) return innerX;
  if (placement.decimalTab) {
    if (std::optional<DecimalTab::Anchor> anchor = DecimalTab::AnchorOf(line.shown)) {
      const double x = innerX + *placement.decimalTab - DecimalTab::AnchorX(line.layout.get(), *anchor) * placement.factor;
      const double inside = std::clamp(x, innerX, innerX + innerW - width);
      if (std::abs(inside - x) > kFitTolerance) reader.Warn(DecimalTab::kWarning, line.shown);
      return inside;
    }
  }
  if (placement.justified && !line.paragraphEnd && width < innerW - kFitTolerance &&
      LineJustifier::Stretch(line.layout.get(), line.shown, innerW / placement.factor)) {
    return innerX;
  }
  if (placement.align == Align::Center) return innerX + (innerW - width) / 2;
  if (placement.align == Align::Right) return innerX + innerW - width;
  return innerX;
}

}  // namespace

TextPainter::Inner TextPainter::InnerBox(const RenderObjectReader& reader, double w, double h) {
  Inner inner;
  double top = std::max(0.0, reader.Number("paddingSuperior", 0));
  double right = std::max(0.0, reader.Number("paddingDerecho", 0));
  double bottom = std::max(0.0, reader.Number("paddingInferior", 0));
  double left = std::max(0.0, reader.Number("paddingIzquierdo", 0));
  inner.x = left;
  inner.y = top;
  inner.w = w - left - right;
  inner.h = h - top - bottom;
  return inner;
}

std::vector<TextLines::Line> TextPainter::LinesOf(const RenderObjectReader& reader, double innerWidth) {
  std::string text = TextLines::NormalizeLineBreaks(reader.Text("texto"));
  Value ends = HGet(reader.Object(), "finalesParrafo");
  if (ends.IsArray()) {
    std::vector<TextLines::Line> lines;
    std::vector<std::string_view> pieces = TextLines::SplitAtLineFeeds(text);
    for (size_t i = 0; i < pieces.size(); ++i) {
      bool end = i < ends.Len() ? ValueBool(ends.AsArray()[i]) : i + 1 == pieces.size();
      lines.push_back({std::string(pieces[i]), end});
    }
    return lines;
  }
  std::string mode = reader.Text("modoAjusteTexto", "wrap");
  bool oneLinePerParagraph = mode == "truncate" || mode == "shrink" || mode == "condense";
  bool wrap = reader.Flag("ajusteLinea", true) && !oneLinePerParagraph;
  return TextLines::Lines(text, innerWidth, reader.Number("tamano", 10), wrap);
}

PangoFontDescription* TextPainter::FontOf(const PaintContext& ctx, const RenderObjectReader& reader, double sizeMm,
                                          double& ascentRatio) {
  const FontResolver::Resolved& font =
      ctx.fonts->Resolve(reader.Text("fuente", "Arial"), TruncateToInt64(reader.Number("familiaPitchFuente", 0)),
                         reader.Page(), reader.Id(), reader.Warnings());
  ascentRatio = font.ascentRatio;
  PangoFontDescription* description = pango_font_description_new();
  // Set as a family, never parsed: "Times New Roman" would lose "Roman" as a style word.
  pango_font_description_set_family(description, font.family.c_str());
  pango_font_description_set_weight(description, reader.Flag("negrita", false) ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_style(description, reader.Flag("cursiva", false) ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  pango_font_description_set_absolute_size(description, std::max(sizeMm, 0.01) * PANGO_SCALE);
  return description;
}

PangoAttrList* TextPainter::RunAttributes(const RenderObjectReader& reader, size_t lineStart, size_t lineBytes) {
  PangoAttrList* list = pango_attr_list_new();
  if (reader.Flag("subrayado", false)) pango_attr_list_insert(list, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
  if (reader.Flag("tachado", false)) pango_attr_list_insert(list, pango_attr_strikethrough_new(TRUE));
  Value runs = HGet(reader.Object(), "runs");
  if (!runs.IsArray() || runs.Len() == 0) return list;
  size_t start = 0;
  for (const Value& run : runs.AsArray()) {
    std::string text = TextLines::NormalizeLineBreaks(ValueString(HGet(run, "cText", "")));
    size_t end = start + text.size();
    size_t from = std::max(start, lineStart), to = std::min(end, lineStart + lineBytes);
    if (from < to) {
      auto add = [&](PangoAttribute* attribute) {
        attribute->start_index = static_cast<guint>(from - lineStart);
        attribute->end_index = static_cast<guint>(to - lineStart);
        pango_attr_list_insert(list, attribute);
      };
      if (ValueBool(HGet(run, "lFontBold", false))) add(pango_attr_weight_new(PANGO_WEIGHT_BOLD));
      if (ValueBool(HGet(run, "lFontItalic", false))) add(pango_attr_style_new(PANGO_STYLE_ITALIC));
      if (ValueBool(HGet(run, "lFontUnderline", false))) add(pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
      if (ValueBool(HGet(run, "lFontStrikeout", false))) add(pango_attr_strikethrough_new(TRUE));
      if (Value color = HGet(run, "cTextColor"); color.IsString()) {
        if (std::optional<Rgba> rgba = RenderObjectReader::ParseColor(color.AsString()); rgba && rgba->a > 0) {
          auto channel = [](double v) { return static_cast<guint16>(std::lround(v * 65535)); };
          add(pango_attr_foreground_new(channel(rgba->r), channel(rgba->g), channel(rgba->b)));
        }
      }
    }
    start = end;
  }
  return list;
}

void TextPainter::PaintText(const PaintContext& ctx, const RenderObjectReader& reader, const ObjectFrame& frame) {
  cairo_t* cr = ctx.cr;
  const double w = frame.Width(), h = frame.Height();
  ShapePainter::PaintBox(ctx, reader, w, h);
  const std::string text = reader.Text("texto");
  if (IsBlankText(text)) return;
  const Inner inner = InnerBox(reader, w, h);
  if (!(inner.w > 0) || !(inner.h > 0)) {
    reader.Warn("text-clipped");
    return;
  }

  const double sizePt = std::clamp(reader.Number("tamano", 10), 0.1, kLargestFontPt);
  const double sizeMm = sizePt * TextLines::kMmPorPunto;
  const FitMode mode = FitModeOf(reader);
  std::vector<TextLines::Line> lines = LinesOf(reader, inner.w);

  // The runs are attributes only when they spell the text the lines come from.
  Value runs = HGet(reader.Object(), "runs");
  bool useRuns = false;
  if (runs.IsArray() && runs.Len() > 0) {
    std::string spelled;
    for (const Value& run : runs.AsArray()) spelled += ValueString(HGet(run, "cText", ""));
    useRuns = TextLines::NormalizeLineBreaks(spelled) == TextLines::NormalizeLineBreaks(text);
    if (!useRuns) reader.Warn("text-runs");
  }

  double ascentRatio = 0.8;
  PangoFontDescription* font = FontOf(ctx, reader, sizeMm, ascentRatio);
  const double leading = reader.Number("interlineado", 0);
  const double paragraphLeading = reader.Number("espaciadoParrafo", 0);
  std::vector<DrawnLine> drawn;
  drawn.reserve(lines.size());
  double widest = 0, block = 0;
  int unknownGlyphs = 0;
  size_t offset = 0;
  for (const TextLines::Line& line : lines) {
    DrawnLine out;
    out.layout.reset(pango_layout_new(ctx.fonts->Context()));
    std::string shown = DrawnText(line.texto);
    pango_layout_set_font_description(out.layout.get(), font);
    shown = RepairUtf8(std::move(shown));
    pango_layout_set_text(out.layout.get(), shown.c_str(), static_cast<int>(shown.size()));
    PangoAttrList* attributes = RunAttributes(reader, useRuns ? offset : SIZE_MAX / 2, useRuns ? shown.size() : 0);
    pango_layout_set_attributes(out.layout.get(), attributes);
    pango_attr_list_unref(attributes);
    PangoRectangle logical{};
    pango_layout_get_extents(out.layout.get(), &out.ink, &logical);
    out.width = static_cast<double>(logical.width) / PANGO_SCALE;
    out.baseline = static_cast<double>(pango_layout_get_baseline(out.layout.get())) / PANGO_SCALE;
    out.pitch = std::max(0.1, (sizePt + (line.finParrafo ? paragraphLeading : leading)) * TextLines::kMmPorPunto);
    out.paragraphEnd = line.finParrafo;
    out.shown = std::move(shown);
    unknownGlyphs += pango_layout_get_unknown_glyphs_count(out.layout.get());
    widest = std::max(widest, out.width);
    block += out.pitch;
    offset += line.texto.size() + (line.finParrafo ? 1 : 0);
    drawn.push_back(std::move(out));
  }
  pango_font_description_free(font);
  if (unknownGlyphs > 0) reader.Warn("glyph-missing", std::to_string(unknownGlyphs));

  double condense = 1.0, scale = 1.0;
  if (widest > 0 && mode != FitMode::Truncate) {
    if (mode == FitMode::Shrink) {
      scale = std::min({1.0, inner.w / widest, block > 0 ? inner.h / block : 1.0});
    } else {
      double floor = mode == FitMode::Condense ? kCondenseFloor : kWrapCondenseFloor;
      condense = std::clamp(inner.w / widest, floor, 1.0);
    }
  }
  const double scaledBlock = block * scale;
  double top = inner.y;
  if (scaledBlock < inner.h) {
    VAlign valign = VAlignOf(reader.Text("alineacionVertical", "top"));
    if (valign == VAlign::Middle) top += (inner.h - scaledBlock) / 2;
    if (valign == VAlign::Bottom) top += inner.h - scaledBlock;
  }
  const double descentMm = (1.0 - ascentRatio) * sizeMm * scale;
  bool clipped = widest * condense * scale > inner.w + kFitTolerance;
  // The last baseline's descent may reach the box bottom and no further.
  if (top + scaledBlock - drawn.back().pitch * scale + ascentRatio * sizeMm * scale + descentMm >
      inner.y + inner.h + 0.03 * sizeMm) {
    clipped = true;
  }
  if (clipped) reader.Warn("text-clipped");

  std::optional<Rgba> color = reader.Color("color", Rgba{});
  if (!color) color = Rgba{};
  const double alpha = reader.Opacity("opacidadTexto");
  Placement placement;
  placement.align = AlignOf(reader.Text("alineacion", "left"));
  placement.justified = LineJustifier::Wanted(reader);
  placement.decimalTab = DecimalTab::PositionOf(reader, inner.w);
  placement.factor = condense * scale;

  // Where each line starts and where its baseline lies, in the box.
  std::vector<std::pair<double, double>> origins;
  origins.reserve(drawn.size());
  bool inkOutside = false;
  double lineTop = top;
  for (DrawnLine& line : drawn) {
    const double x = LineX(reader, placement, inner.x, inner.w, line);
    const double baseline = lineTop + ascentRatio * sizeMm * scale;
    origins.emplace_back(x, baseline);
    // Justifying a line widens it: its ink is measured again once placed.
    if (placement.justified) pango_layout_get_extents(line.layout.get(), &line.ink, nullptr);
    const PangoRectangle& ink = line.ink;
    const double inkLeft = x + Mm(ink.x) * condense * scale;
    const double inkTop = baseline + (Mm(ink.y) - line.baseline) * scale;
    inkOutside = inkOutside || inkLeft < 0 || inkLeft + Mm(ink.width) * condense * scale > w || inkTop < 0 ||
                 inkTop + Mm(ink.height) * scale > h;
    lineTop += line.pitch * scale;
  }

  cairo_save(cr);
  // Text never paints outside its box; the clip is written only when some ink would reach past
  // it, since in PDF every clip costs a graphics state of its own.
  if (inkOutside) {
    cairo_rectangle(cr, 0, 0, w, h);
    cairo_clip(cr);
  }
  cairo_set_source_rgba(cr, color->r, color->g, color->b, color->a * alpha);
  for (size_t i = 0; i < drawn.size(); ++i) {
    cairo_save(cr);
    cairo_translate(cr, origins[i].first, origins[i].second);
    cairo_scale(cr, condense * scale, scale);
    cairo_move_to(cr, 0, -drawn[i].baseline);
    pango_cairo_show_layout(cr, drawn[i].layout.get());
    cairo_restore(cr);
  }
  cairo_restore(cr);
}

void TextPainter::PaintRichText(const PaintContext& ctx, const RenderObjectReader& reader, const ObjectFrame& frame) {
  cairo_t* cr = ctx.cr;
  const double w = frame.Width(), h = frame.Height();
  ShapePainter::PaintBox(ctx, reader, w, h);
  if (reader.Has("hasVisibleContent") && !reader.Flag("hasVisibleContent", true)) return;
  std::string text = reader.Has("plainContent") ? reader.Text("plainContent") : reader.Text("text");
  if (IsBlankText(text)) return;
  const Inner inner = InnerBox(reader, w, h);
  if (!(inner.w > 0) || !(inner.h > 0)) return;
  double ascentRatio = 0.8;
  const double sizeMm = std::clamp(reader.Number("tamano", 12), 0.1, kLargestFontPt) * TextLines::kMmPorPunto;
  PangoFontDescription* font = FontOf(ctx, reader, sizeMm, ascentRatio);
  LayoutPtr layout(pango_layout_new(ctx.fonts->Context()));
  pango_layout_set_font_description(layout.get(), font);
  pango_font_description_free(font);
  // Pango widths are ints of 1/1024 points: a width beyond them wraps nothing anyway.
  pango_layout_set_width(layout.get(), static_cast<int>(std::clamp(inner.w * PANGO_SCALE, 0.0, static_cast<double>(INT_MAX))));
  pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
  PangoAttrList* attributes = pango_attr_list_new();
  std::string html = reader.Text("contentFormat") == "html" ? reader.Text("content") : std::string();
  if (html.empty() || html.size() > static_cast<size_t>(INT32_MAX) || !HtmlRichText::Convert(html, text, attributes)) {
    pango_attr_list_unref(attributes);
    attributes = pango_attr_list_new();
  }
  text = RepairUtf8(std::move(text));
  pango_layout_set_text(layout.get(), text.c_str(), static_cast<int>(text.size()));
  pango_layout_set_attributes(layout.get(), attributes);
  pango_attr_list_unref(attributes);
  if (pango_layout_get_unknown_glyphs_count(layout.get()) > 0) reader.Warn("glyph-missing");
  PangoRectangle logical{};
  pango_layout_get_extents(layout.get(), nullptr, &logical);
  double height = static_cast<double>(logical.height) / PANGO_SCALE;
  double top = inner.y;
  VAlign valign = VAlignOf(reader.Text("alineacionVertical", "top"));
  if (height < inner.h && valign == VAlign::Middle) top += (inner.h - height) / 2;
  if (height < inner.h && valign == VAlign::Bottom) top += inner.h - height;
  const bool hidden = reader.Text("overflow", "hidden") == "hidden";
  if (hidden && height > inner.h + kFitTolerance) reader.Warn("text-clipped");
  cairo_save(cr);
  if (hidden) {
    cairo_rectangle(cr, 0, 0, w, h);
    cairo_clip(cr);
  }
  std::optional<Rgba> color = reader.Color("color", Rgba{});
  if (!color) color = Rgba{};
  cairo_set_source_rgba(cr, color->r, color->g, color->b, color->a);
  cairo_move_to(cr, inner.x, top);
  pango_cairo_show_layout(cr, layout.get());
  cairo_restore(cr);
}

}  // namespace nv::out

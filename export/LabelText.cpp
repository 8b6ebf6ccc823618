#include "LabelText.h"

#include <pango/pangocairo.h>

#include "Utf8Repair.h"
#include "FontResolver.h"

namespace nv::out {

void LabelText::Draw(const PaintContext& ctx, const RenderObjectReader& reader, const std::string& text, double x,
                     double top, double maxWidth, double sizeMm, Align align) {
  if (text.empty() || !(sizeMm > 0) || !(maxWidth > 0)) return;
  cairo_t* cr = ctx.cr;
  const FontResolver::Resolved& font =
      ctx.fonts->Resolve(reader.Text("fuente", "Arial"), 0, reader.Page(), reader.Id(), reader.Warnings());
  PangoFontDescription* description = pango_font_description_new();
  pango_font_description_set_family(description, font.family.c_str());
  pango_font_description_set_weight(description, reader.Flag("negrita", false) ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_absolute_size(description, sizeMm * PANGO_SCALE);
  PangoLayout* layout = pango_layout_new(ctx.fonts->Context());
  pango_layout_set_font_description(layout, description);
  pango_font_description_free(description);
  const std::string shown = RepairUtf8(text);
  pango_layout_set_text(layout, shown.c_str(), static_cast<int>(shown.size()));
  PangoRectangle logical{};
  pango_layout_get_extents(layout, nullptr, &logical);
  const double width = static_cast<double>(logical.width) / PANGO_SCALE;
  const double condense = width > maxWidth ? maxWidth / width : 1.0;
  const double drawn = width * condense;
  const double left = align == Align::Left ? x : align == Align::Center ? x - drawn / 2 : x - drawn;
  const double baseline = static_cast<double>(pango_layout_get_baseline(layout)) / PANGO_SCALE;
  cairo_save(cr);
  // Text is antialiased even where bars are not.
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
  cairo_translate(cr, left, top + font.ascentRatio * sizeMm);
  cairo_scale(cr, condense, 1.0);
  cairo_move_to(cr, 0, -baseline);
  pango_cairo_show_layout(cr, layout);
  cairo_restore(cr);
  g_object_unref(layout);
}

}  // namespace nv::out

#include "DecimalTab.h"

#include <cmath>

#include "Accessors.h"
#include "Runtime.h"

namespace nv::out {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::optional<double> DecimalTab::PositionOf(const RenderObjectReader& reader, double innerWidth) {
  const Value v = HGet(reader.Object(), "posicionDecimal");
  if (v.IsNil()) return std::nullopt;
  double position = NAN;
  if (v.IsNumber()) {
    position = v.AsDouble();
  } else if (v.IsString() && EsTextoNumerico(v.AsString())) {
    position = ValueDouble(v);
  }
  if (position == kNone) return std::nullopt;
  if (!std::isfinite(position) || position < 0 || position > innerWidth) {
    reader.Warn(kWarning, reader.Text("posicionDecimal"));
    return std::nullopt;
  }
  return position;
}

std::optional<DecimalTab::Anchor> DecimalTab::AnchorOf(std::string_view line) {
  size_t last = line.find_last_of("0123456789");
  if (last == std::string_view::npos) return std::nullopt;
  size_t first = last;
  while (first > 0 && IsDigit(line[first - 1])) --first;
  if (first > 0 && (line[first - 1] == ',' || line[first - 1] == '.')) return Anchor{first - 1, false};
  return Anchor{last, true};
}

double DecimalTab::AnchorX(PangoLayout* layout, Anchor anchor) {
  PangoLayoutLine* line = pango_layout_get_line_readonly(layout, 0);
  if (line == nullptr) return 0;
  int x = 0;
  pango_layout_line_index_to_x(line, static_cast<int>(anchor.index), anchor.trailing ? 1 : 0, &x);
  return static_cast<double>(x) / PANGO_SCALE;
}

}  // namespace nv::out

#include "LineJustifier.h"

#include <climits>
#include <cmath>

namespace nv::out {

namespace {

// A space with a visible character on each side: a gap Pango can widen.
bool HasInnerSpace(std::string_view text) {
  size_t first = text.find_first_not_of(' ');
  size_t last = text.find_last_not_of(' ');
  if (first == std::string_view::npos) return false;
  return text.substr(first, last - first + 1).find(' ') != std::string_view::npos;
}

}  // namespace

bool LineJustifier::IsJustifyWord(std::string_view alignment) {
  return alignment == "justify" || alignment == "justified" || alignment == "justificado" ||
         alignment == "justificada" || alignment == "justificar";
}

bool LineJustifier::Wanted(const RenderObjectReader& reader) {
  return reader.Flag("ajustado", false) || IsJustifyWord(reader.Text("alineacion"));
}

bool LineJustifier::Stretch(PangoLayout* layout, std::string_view text, double width) {
  const double units = width * PANGO_SCALE;
  if (!HasInnerSpace(text) || !(units > 0) || units >= static_cast<double>(INT_MAX)) return false;
  pango_layout_set_width(layout, static_cast<int>(std::floor(units)));
  pango_layout_set_wrap(layout, PANGO_WRAP_WORD);
  pango_layout_set_justify(layout, TRUE);
  pango_layout_set_justify_last_line(layout, TRUE);
  if (pango_layout_get_line_count(layout) == 1) return true;
  pango_layout_set_justify(layout, FALSE);
  pango_layout_set_justify_last_line(layout, FALSE);
  pango_layout_set_width(layout, -1);
  return false;
}

}  // namespace nv::out

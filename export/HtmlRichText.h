#pragma once
// The HTML of a rich text as Pango text and attributes, read by libxml2's HTML parser: b/strong,
// i/em, u, s/strike/del, br, block elements (p, div, li, h1-h6) as line ends, and a colour, weight
// or style from a span's "style" or a font's "color". Other elements keep their text.

#include <string>
#include <string_view>

#include <pango/pango.h>

namespace nv::out {

class HtmlRichText {
 public:
  /// Fills text and attributes from html; false when the HTML cannot be read at all.
  static bool Convert(std::string_view html, std::string& text, PangoAttrList* attributes);
};

}  // namespace nv::out

#include "HtmlRichText.h"

#include <libxml/HTMLparser.h>

#include <cmath>
#include <cstring>
#include <optional>

#include "RenderObjectReader.h"

namespace nv::out {

namespace {

bool IsNamed(const xmlNode* node, std::initializer_list<const char*> names) {
  for (const char* name : names) {
    if (xmlStrcasecmp(node->name, reinterpret_cast<const xmlChar*>(name)) == 0) return true;
  }
  return false;
}

std::string Attribute(const xmlNode* node, const char* name) {
  xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
  if (value == nullptr) return {};
  std::string text(reinterpret_cast<const char*>(value));
  xmlFree(value);
  return text;
}

// The value of one property in a CSS declaration list ("color: #f00; font-weight: bold").
std::string StyleProperty(const std::string& style, const std::string& property) {
  size_t at = 0;
  while (at < style.size()) {
    size_t end = style.find(';', at);
    if (end == std::string::npos) end = style.size();
    std::string declaration = style.substr(at, end - at);
    size_t colon = declaration.find(':');
    if (colon != std::string::npos) {
      std::string name = declaration.substr(0, colon);
      name.erase(0, name.find_first_not_of(" \t"));
      name.erase(name.find_last_not_of(" \t") + 1);
      if (name == property) {
        std::string value = declaration.substr(colon + 1);
        value.erase(0, value.find_first_not_of(" \t"));
        value.erase(value.find_last_not_of(" \t") + 1);
        return value;
      }
    }
    at = end + 1;
  }
  return {};
}

class Walker {
 public:
  Walker(std::string& text, PangoAttrList* attributes) : text_(text), attributes_(attributes) {}

  void Walk(const xmlNode* node) {
    for (; node != nullptr; node = node->next) {
      if (node->type == XML_TEXT_NODE) {
        AppendText(reinterpret_cast<const char*>(node->content));
      } else if (node->type == XML_ELEMENT_NODE) {
        Element(node);
      }
    }
  }

 private:
  // Runs of blanks and line ends print as one space, as a browser shows them.
  void AppendText(const char* content) {
    if (content == nullptr) return;
    for (const char* c = content; *c != '\0'; ++c) {
      const bool blank = *c == ' ' || *c == '\t' || *c == '\n' || *c == '\r';
      if (blank) {
        if (!text_.empty() && text_.back() != ' ' && text_.back() != '\n') text_.push_back(' ');
      } else {
        text_.push_back(*c);
      }
    }
  }

  void EndLine() {
    while (!text_.empty() && text_.back() == ' ') text_.pop_back();
    if (!text_.empty() && text_.back() != '\n') text_.push_back('\n');
  }

  void Add(PangoAttribute* attribute, size_t start) {
    attribute->start_index = static_cast<guint>(start);
    attribute->end_index = static_cast<guint>(text_.size());
    pango_attr_list_insert(attributes_, attribute);
  }

  void AddColor(const std::string& value, size_t start) {
    std::optional<Rgba> color = RenderObjectReader::ParseColor(value);
    if (!color || color->a <= 0) return;
    auto channel = [](double v) { return static_cast<guint16>(std::lround(v * 65535)); };
    Add(pango_attr_foreground_new(channel(color->r), channel(color->g), channel(color->b)), start);
  }

  void Element(const xmlNode* node) {
    if (IsNamed(node, {"br"})) {
      text_.push_back('\n');
      return;
    }
    if (IsNamed(node, {"script", "style", "head"})) return;
    const bool block = IsNamed(node, {"p", "div", "li", "h1", "h2", "h3", "h4", "h5", "h6", "tr"});
    if (block) EndLine();
    const size_t start = text_.size();
    Walk(node->children);
    if (IsNamed(node, {"b", "strong", "h1", "h2", "h3", "h4", "h5", "h6"})) Add(pango_attr_weight_new(PANGO_WEIGHT_BOLD), start);
    if (IsNamed(node, {"i", "em"})) Add(pango_attr_style_new(PANGO_STYLE_ITALIC), start);
    if (IsNamed(node, {"u"})) Add(pango_attr_underline_new(PANGO_UNDERLINE_SINGLE), start);
    if (IsNamed(node, {"s", "strike", "del"})) Add(pango_attr_strikethrough_new(TRUE), start);
    if (IsNamed(node, {"font"})) AddColor(Attribute(node, "color"), start);
    if (std::string style = Attribute(node, "style"); !style.empty()) {
      AddColor(StyleProperty(style, "color"), start);
      if (StyleProperty(style, "font-weight") == "bold") Add(pango_attr_weight_new(PANGO_WEIGHT_BOLD), start);
      if (StyleProperty(style, "font-style") == "italic") Add(pango_attr_style_new(PANGO_STYLE_ITALIC), start);
    }
    if (block) EndLine();
  }

  std::string& text_;
  PangoAttrList* attributes_;
};

}  // namespace

bool HtmlRichText::Convert(std::string_view html, std::string& text, PangoAttrList* attributes) {
  htmlDocPtr document = htmlReadMemory(html.data(), static_cast<int>(html.size()), nullptr, "UTF-8",
                                       HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET);
  if (document == nullptr) return false;
  text.clear();
  Walker walker(text, attributes);
  walker.Walk(xmlDocGetRootElement(document));
  xmlFreeDoc(document);
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return true;
}

}  // namespace nv::out

#include "RenderObjectReader.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "Accessors.h"
#include "Hash.h"

namespace nv::out {

namespace {

struct NamedColor {
  std::string_view name;
  uint32_t rgb;
};

constexpr std::array<NamedColor, 16> kBasicColors{{
    {"black", 0x000000}, {"silver", 0xc0c0c0}, {"gray", 0x808080}, {"white", 0xffffff},
    {"maroon", 0x800000}, {"red", 0xff0000}, {"purple", 0x800080}, {"fuchsia", 0xff00ff},
    {"green", 0x008000}, {"lime", 0x00ff00}, {"olive", 0x808000}, {"yellow", 0xffff00},
    {"navy", 0x000080}, {"blue", 0x0000ff}, {"teal", 0x008080}, {"aqua", 0x00ffff},
}};

std::string Lower(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (!std::isspace(static_cast<unsigned char>(c))) out.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

Rgba FromRgb(uint32_t rgb, double alpha = 1.0) {
  return {((rgb >> 16) & 0xff) / 255.0, ((rgb >> 8) & 0xff) / 255.0, (rgb & 0xff) / 255.0, alpha};
}

std::optional<Rgba> ParseHex(std::string_view hex) {
  for (char c : hex) {
    if (HexDigit(c) < 0) return std::nullopt;
  }
  auto pair = [&](size_t i) { return HexDigit(hex[i]) * 16 + HexDigit(hex[i + 1]); };
  if (hex.size() == 3) {
    uint32_t rgb = 0;
    for (char c : hex) rgb = rgb * 256 + static_cast<uint32_t>(HexDigit(c) * 17);
    return FromRgb(rgb);
  }
  if (hex.size() == 6 || hex.size() == 8) {
    uint32_t rgb = static_cast<uint32_t>(pair(0) * 65536 + pair(2) * 256 + pair(4));
    return FromRgb(rgb, hex.size() == 8 ? pair(6) / 255.0 : 1.0);
  }
  return std::nullopt;
}

// rgb(r, g, b) and rgba(r, g, b, a) with components 0-255 and alpha 0-1.
std::optional<Rgba> ParseFunction(std::string_view text) {
  bool withAlpha = text.starts_with("rgba(");
  size_t open = withAlpha ? 5 : 4;
  if (text.back() != ')') return std::nullopt;
  std::string inner(text.substr(open, text.size() - open - 1));
  std::array<double, 4> parts{0, 0, 0, 1};
  size_t wanted = withAlpha ? 4 : 3;
  const char* cursor = inner.c_str();
  for (size_t i = 0; i < wanted; ++i) {
    char* end = nullptr;
    double v = std::strtod(cursor, &end);
    if (end == cursor || !std::isfinite(v)) return std::nullopt;
    parts[i] = v;
    cursor = end;
    if (i + 1 < wanted) {
      if (*cursor != ',') return std::nullopt;
      ++cursor;
    }
  }
  if (*cursor != '\0') return std::nullopt;
  auto channel = [](double v) { return std::clamp(v, 0.0, 255.0) / 255.0; };
  return Rgba{channel(parts[0]), channel(parts[1]), channel(parts[2]), std::clamp(parts[3], 0.0, 1.0)};
}

}  // namespace

RenderObjectReader::RenderObjectReader(const Value& object, int64_t page, ExportWarnings& warnings)
    : object_(object), page_(page), warnings_(warnings) {
  id_ = ValueString(HGet(object_, "id", Value("")));
}

void RenderObjectReader::Warn(std::string_view code, std::string_view detail) const {
  warnings_.Add(page_, id_, code, detail);
}

bool RenderObjectReader::Has(std::string_view key) const { return HHas(object_, key); }

double RenderObjectReader::Number(std::string_view key, double def) const {
  Value v = HGet(object_, key);
  if (v.IsNil()) return def;
  double d = 0;
  if (v.IsNumber()) {
    d = v.AsDouble();
  } else if (v.IsString() && EsTextoNumerico(v.AsString())) {
    d = ValueDouble(v);
  } else {
    Warn("bad-number", key);
    return def;
  }
  if (!std::isfinite(d)) {
    Warn("bad-number", key);
    return def;
  }
  return d;
}

bool RenderObjectReader::Flag(std::string_view key, bool def) const {
  Value v = HGet(object_, key);
  return v.IsNil() ? def : ValueBool(v);
}

std::string RenderObjectReader::Text(std::string_view key, std::string_view def) const {
  Value v = HGet(object_, key);
  if (v.IsNil()) return std::string(def);
  if (v.IsString()) return v.AsString();
  if (v.IsNumber() || v.IsLogical()) return ValueString(v);
  return std::string(def);
}

std::optional<Rgba> RenderObjectReader::Color(std::string_view key, std::optional<Rgba> fallback) const {
  Value v = HGet(object_, key);
  if (v.IsNil()) return fallback;
  std::optional<Rgba> color = v.IsString() ? ParseColor(v.AsString()) : std::nullopt;
  if (!color) {
    Warn("bad-color", key);
    return fallback;
  }
  if (color->a <= 0.0) return std::nullopt;
  return color;
}

std::optional<Box> RenderObjectReader::ReadBox() const {
  Box box{Number("x", 0), Number("y", 0), Number("ancho", 0), Number("alto", 0)};
  for (std::string_view key : {"x", "y", "ancho", "alto"}) {
    Value v = HGet(object_, key);
    if (v.IsNumber() && !std::isfinite(v.AsDouble())) {
      Warn("bad-box", key);
      return std::nullopt;
    }
  }
  auto sane = [](double v) { return std::abs(v) <= kMaxSideMm; };
  if (box.w < 0 || box.h < 0 || !sane(box.w) || !sane(box.h) || !sane(box.x) || !sane(box.y)) {
    Warn("bad-box");
    return std::nullopt;
  }
  return box;
}

double RenderObjectReader::Opacity(std::string_view key, double def) const {
  return std::clamp(Number(key, def), 0.0, 1.0);
}

std::optional<Rgba> RenderObjectReader::ParseColor(std::string_view text) {
  std::string lower = Lower(text);
  if (lower.empty()) return std::nullopt;
  if (lower == "transparent") return Rgba{0, 0, 0, 0};
  if (lower[0] == '#') return ParseHex(std::string_view(lower).substr(1));
  if (lower.starts_with("rgb(") || lower.starts_with("rgba(")) return ParseFunction(lower);
  for (const NamedColor& named : kBasicColors) {
    if (named.name == lower) return FromRgb(named.rgb);
  }
  return std::nullopt;
}

}  // namespace nv::out

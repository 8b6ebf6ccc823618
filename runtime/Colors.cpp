#include "Colors.h"

#include <algorithm>

#include "Accessors.h"
#include "Runtime.h"

namespace nv {

namespace {

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool IsHashAndHexDigits(std::string_view text, size_t digits) {
  return text.size() == digits + 1 && text[0] == '#' && std::all_of(text.begin() + 1, text.end(), IsHexDigit);
}

// "#rrggbb00": a six-digit colour with a zero alpha.
bool IsTransparentHex8(std::string_view s) { return s.size() == 9 && IsHexColor(s.substr(0, 7)) && s.substr(7) == "00"; }

// "rgba(r, g, b, 0)" with a zero alpha written as 0, 0.0, .0, 0.00 or .00.
bool IsTransparentRgba(std::string_view s) {
  if (!s.starts_with("rgba(") || !s.ends_with(")")) return false;
  const size_t comma = s.rfind(',');
  if (comma == std::string_view::npos) return false;
  const std::string alpha = AllTrim(s.substr(comma + 1, s.size() - 1 - (comma + 1)));
  return alpha == "0" || alpha == "0.0" || alpha == ".0" || alpha == "0.00" || alpha == ".00";
}

}  // namespace

bool IsHexColor(std::string_view text) { return IsHashAndHexDigits(text, 6); }

std::string NormalizeHexColor(const Value& value) {
  std::string text = Lower(AllTrim(ValueString(value)));
  return IsHexColor(text) ? text : std::string("#000000");
}

std::string NormalizeTextColor(const Value& value) {
  const std::string s = Lower(AllTrim(ValueString(value)));
  if (s.empty() || s == "transparent" || IsTransparentHex8(s) || IsTransparentRgba(s)) return "#000000";
  if (IsHexColor(s)) return s;
  if (IsHashAndHexDigits(s, 3)) return std::string{'#', s[1], s[1], s[2], s[2], s[3], s[3]};
  return "#000000";
}

}  // namespace nv

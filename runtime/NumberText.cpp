// Numbers to text and back, the generic and literal text forms, and trimming: the conversions
// every accessor relies on.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "Runtime.h"

namespace nv {

namespace {

std::string Pad(std::string digits, size_t width) {
  if (digits.size() < width) digits.insert(0, width - digits.size(), ' ');
  return digits;
}

// The number rounded to `decimals` (halves away from zero) with exactly that many decimals, no
// blanks; "" for infinities and NaN, which have no digits.
std::string FixedText(const Number& n, int decimals) {
  if (n.isInteger && decimals == 0) return std::to_string(n.i);
  if (!std::isfinite(n.AsDouble())) return "";
  double value = RoundHalfAway(n.AsDouble(), decimals);
  if (value == 0) value = 0;  // no "-0.00"
  char buffer[400];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

// Integer parts of more than 10 digits (or a sign and 10 digits) widen the field to 20.
bool WideIntegerPart(const Number& n) {
  if (n.isInteger) return n.i > 9999999999LL || n.i < -999999999LL;
  return n.d > 9999999999.0 || n.d < -999999999.0;
}

}  // namespace

std::string Str(const Number& n) {
  int decimals = n.isInteger ? 0 : n.decimals;
  size_t width = (WideIntegerPart(n) ? 20 : 10) + (decimals > 0 ? static_cast<size_t>(decimals) + 1 : 0);
  std::string text = FixedText(n, decimals);
  if (text.empty()) return std::string(width, '*');
  return Pad(std::move(text), width);
}

std::string Str(const Number& n, int width) { return Str(n, width, 0); }

std::string Str(const Number& n, int width, int decimals) {
  if (decimals < 0) decimals = 0;
  std::string text = FixedText(n, decimals);
  if (width <= 0) return text.empty() ? "*" : text;
  if (text.empty() || text.size() > static_cast<size_t>(width)) return std::string(static_cast<size_t>(width), '*');
  return Pad(std::move(text), static_cast<size_t>(width));
}

std::string StrZero(const Number& n, int width, int decimals) {
  std::string text = Str(n, width, decimals);
  if (width <= 0) return text;
  size_t firstNonBlank = text.find_first_not_of(' ');
  if (firstNonBlank == std::string::npos || text[0] == '*' || firstNonBlank == 0) return text;
  bool negative = text[firstNonBlank] == '-';
  std::string body = text.substr(firstNonBlank + (negative ? 1 : 0));
  std::string zeros(static_cast<size_t>(width) - body.size() - (negative ? 1 : 0), '0');
  return (negative ? "-" : "") + zeros + body;
}

std::string NumToHex(int64_t n, int width) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  // Negative numbers show their two's complement, as a byte or word would hold them.
  uint64_t bits = static_cast<uint64_t>(n);
  std::string out;
  do {
    out.insert(out.begin(), kDigits[bits & 15]);
    bits >>= 4;
  } while (bits);
  if (width > 0) {
    size_t w = static_cast<size_t>(std::min(width, 16));
    if (out.size() > w) out = out.substr(out.size() - w);
    if (out.size() < w) out.insert(0, w - out.size(), '0');
  }
  return out;
}

int64_t HexToNum(std::string_view text) {
  size_t begin = text.find_first_not_of(' ');
  size_t end = text.find_last_not_of(' ');
  if (begin == std::string_view::npos) return 0;
  text = text.substr(begin, end + 1 - begin);
  if (text.size() > 16) return 0;
  uint64_t value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return 0;
    }
    value = value << 4 | static_cast<uint64_t>(digit);
  }
  return static_cast<int64_t>(value);
}

std::string TransformTwelveNines(const Number& n) {
  std::string text = FixedText(RoundNumber(n, 0), 0);
  if (text.empty() || text.size() > 12) return std::string(12, '*');
  return Pad(std::move(text), 12);
}

std::string NumToText(const Number& n) { return LTrim(Str(n)); }

Number Val(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
  size_t start = pos;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) ++pos;
  size_t digitsStart = pos;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') ++pos;
  size_t intDigits = pos - digitsStart;
  int decimals = 0;
  if (pos < text.size() && text[pos] == '.') {
    size_t fractionStart = ++pos;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') ++pos;
    decimals = static_cast<int>(pos - fractionStart);
  }
  if (intDigits == 0 && decimals == 0) return Number::Integer(0);
  std::string literal(text.substr(start, pos - start));
  if (decimals == 0) {
    if (literal.back() == '.') literal.pop_back();
    errno = 0;
    long long v = std::strtoll(literal.c_str(), nullptr, 10);
    if (errno == 0) return Number::Integer(v);
  }
  return Number::Double(std::strtod(literal.c_str(), nullptr), decimals);
}

std::string_view AllTrimView(std::string_view text) {
  size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string_view::npos) return {};
  size_t end = text.find_last_not_of(' ');
  return text.substr(begin, end + 1 - begin);
}

std::string AllTrim(std::string_view text) { return std::string(AllTrimView(text)); }

std::string LTrim(std::string_view text) {
  size_t begin = text.find_first_not_of(" \t\r\n");
  return begin == std::string_view::npos ? "" : std::string(text.substr(begin));
}

std::string RTrim(std::string_view text) {
  size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? "" : std::string(text.substr(0, end + 1));
}

namespace {

std::string TwoDigits(int v) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d", v % 100);
  return buffer;
}

std::string DateText(Date d) {
  if (d.IsEmpty()) return "  /  /  ";
  int y, m, day;
  SplitDate(d, y, m, day);
  return TwoDigits(m) + "/" + TwoDigits(day) + "/" + TwoDigits(y % 100);
}

}  // namespace

std::string GenericText(const Value& v) {
  switch (v.kind()) {
    case Kind::Nil: return "NIL";
    case Kind::String: return v.AsString();
    case Kind::Number: return Str(v.AsNumber());
    case Kind::Logical: return v.AsBool() ? ".T." : ".F.";
    case Kind::Date: return DateText(v.AsDate());
    case Kind::Timestamp: {
      Timestamp t = v.AsTimestamp();
      char buffer[64];
      std::snprintf(buffer, sizeof buffer, " %02d:%02d:%02d.%03d", t.ms / 3600000, t.ms / 60000 % 60,
                    t.ms / 1000 % 60, t.ms % 1000);
      return DateText(Date{t.day}) + buffer;
    }
    default: return "";
  }
}

std::string LiteralText(const Value& v) {
  switch (v.kind()) {
    case Kind::String: {
      const std::string& s = v.AsString();
      bool hasDouble = s.find('"') != std::string::npos;
      bool hasSingle = s.find('\'') != std::string::npos;
      if (!hasDouble) return "\"" + s + "\"";
      if (!hasSingle) return "'" + s + "'";
      return "[" + s + "]";
    }
    case Kind::Number: return NumToText(v.AsNumber());
    case Kind::Date: return v.AsDate().IsEmpty() ? "0d00000000" : "0d" + DateToSerial(v.AsDate());
    case Kind::Timestamp: {
      Timestamp t = v.AsTimestamp();
      return "t\"" + DateToSerial(Date{t.day}) + GenericText(v).substr(8) + "\"";
    }
    case Kind::Array: {
      std::string out = "{";
      bool first = true;
      for (const Value& item : v.AsArray()) {
        if (!first) out += ", ";
        first = false;
        out += LiteralText(item);
      }
      return out + "}";
    }
    case Kind::Hash: {
      if (v.AsHash().empty()) return "{=>}";
      std::string out = "{";
      bool first = true;
      for (const auto& [key, item] : v.AsHash()) {
        if (!first) out += ", ";
        first = false;
        out += LiteralText(Value(key)) + "=>" + LiteralText(item);
      }
      return out + "}";
    }
    case Kind::Object: return "{ OBJECT }";
    case Kind::Block: return "{|| ... }";
    default: return GenericText(v);
  }
}

}  // namespace nv

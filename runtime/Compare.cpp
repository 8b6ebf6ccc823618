// Equality and the ordering comparisons with the string prefix rule.
#include "Runtime.h"

namespace nv {

bool ExactEqual(const Value& a, const Value& b) {
  if (a.kind() != b.kind()) return false;
  switch (a.kind()) {
    case Kind::Nil: return true;
    case Kind::Logical: return a.AsBool() == b.AsBool();
    case Kind::Number: {
      const Number& x = a.AsNumber();
      const Number& y = b.AsNumber();
      if (x.isInteger && y.isInteger) return x.i == y.i;
      return x.AsDouble() == y.AsDouble();
    }
    case Kind::String: return a.AsString() == b.AsString();
    case Kind::Date: return a.AsDate().day == b.AsDate().day;
    case Kind::Timestamp: return a.AsTimestamp().day == b.AsTimestamp().day && a.AsTimestamp().ms == b.AsTimestamp().ms;
    default: return a.SameRef(b);
  }
}

namespace {

// Three-way comparison under the ordering operators' rules; raises for kinds that do not order.
int OrderCompare(const Value& a, const Value& b, std::string_view operation) {
  if (a.IsString() && b.IsString()) {
    const std::string& x = a.AsString();
    const std::string& y = b.AsString();
    // A shorter right operand compares over its own length, so a prefix compares equal.
    size_t length = y.size() < x.size() ? y.size() : x.size();
    int c = x.compare(0, length, y, 0, length);
    if (c != 0) return c < 0 ? -1 : 1;
    if (y.size() <= x.size()) return 0;
    return -1;
  }
  if (a.IsNumber() && b.IsNumber()) {
    const Number& x = a.AsNumber();
    const Number& y = b.AsNumber();
    if (x.isInteger && y.isInteger) return x.i < y.i ? -1 : (x.i > y.i ? 1 : 0);
    double dx = x.AsDouble(), dy = y.AsDouble();
    return dx < dy ? -1 : (dx > dy ? 1 : 0);
  }
  if (a.IsDate() && b.IsDate()) {
    int32_t x = a.AsDate().day, y = b.AsDate().day;
    return x < y ? -1 : (x > y ? 1 : 0);
  }
  if (a.IsTimestamp() && b.IsTimestamp()) {
    double x = TimestampToDays(a.AsTimestamp()), y = TimestampToDays(b.AsTimestamp());
    return x < y ? -1 : (x > y ? 1 : 0);
  }
  if ((a.IsDate() || a.IsTimestamp()) && (b.IsDate() || b.IsTimestamp())) {
    // A date stands for the start of its day.
    double x = a.IsDate() ? a.AsDate().day : TimestampToDays(a.AsTimestamp());
    double y = b.IsDate() ? b.AsDate().day : TimestampToDays(b.AsTimestamp());
    return x < y ? -1 : (x > y ? 1 : 0);
  }
  if (a.IsLogical() && b.IsLogical()) return static_cast<int>(a.AsBool()) - static_cast<int>(b.AsBool());
  if (a.IsNil() && b.IsNil()) return 0;
  throw RuntimeError("BASE", 1075,
                     "Argument error: cannot compare " + std::string(to_string(a.kind())) + " with " +
                         std::string(to_string(b.kind())),
                     std::string(operation));
}

}  // namespace

bool RtNotEqual(const Value& a, const Value& b) {
  // nil is unequal to every other value rather than incomparable, so "x != NIL" is a test.
  if (a.IsNil() || b.IsNil()) return a.IsNil() != b.IsNil();
  return OrderCompare(a, b, "!=") != 0;
}
bool RtLess(const Value& a, const Value& b) { return OrderCompare(a, b, "<") < 0; }
bool RtLessEqual(const Value& a, const Value& b) { return OrderCompare(a, b, "<=") <= 0; }
bool RtGreater(const Value& a, const Value& b) { return OrderCompare(a, b, ">") > 0; }
bool RtGreaterEqual(const Value& a, const Value& b) { return OrderCompare(a, b, ">=") >= 0; }

}  // namespace nv

// The arithmetic operators with the display-decimal rules, rounding, integer part and absolute
// value. Integers stay exact until a result leaves 64 bits, then the result is a double.
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "Runtime.h"

namespace nv {

namespace {

[[noreturn]] void ThrowArgument(int subcode, const char* operation, const Value& a, const Value* b) {
  std::string description = "Argument error: " + std::string(operation) + " on " + std::string(to_string(a.kind()));
  if (b) description += " and " + std::string(to_string(b->kind()));
  throw RuntimeError("BASE", subcode, description, operation);
}

[[noreturn]] void ThrowZeroDivisor(int subcode, const char* operation) {
  throw RuntimeError("BASE", subcode, "Zero divisor", operation);
}

int MaxDecimals(const Number& a, const Number& b) { return std::max<int>(a.decimals, b.decimals); }

// True when a double lies in the range where a cast to int64 is defined.
bool FitsInt64(double d) { return d >= -9223372036854775808.0 && d < 9223372036854775808.0; }

constexpr int32_t kMinDay = 1721426;  // 0001-01-01
constexpr int32_t kMaxDay = 5373484;  // 9999-12-31

Date ShiftDate(Date d, double days, const char* operation) {
  if (d.IsEmpty()) return d;  // the empty date has no day to count from
  double shifted = static_cast<double>(d.day) + std::trunc(days);
  if (!(shifted >= kMinDay && shifted <= kMaxDay)) {
    throw RuntimeError("BASE", 1093, "Date out of range", operation);
  }
  return Date{static_cast<int32_t>(shifted)};
}

Timestamp ShiftTimestamp(Timestamp t, double days, const char* operation) {
  double ms = std::round(days * 86400000.0) + t.ms;
  double dayShift = std::floor(ms / 86400000.0);
  double day = t.day + dayShift;
  if (!(day >= kMinDay && day <= kMaxDay)) throw RuntimeError("BASE", 1093, "Date out of range", operation);
  return Timestamp{static_cast<int32_t>(day), static_cast<int32_t>(ms - dayShift * 86400000.0)};
}

}  // namespace

Value OpAdd(const Value& a, const Value& b) {
  if (a.IsNumber() && b.IsNumber()) {
    const Number& x = a.AsNumber();
    const Number& y = b.AsNumber();
    int64_t sum;
    if (x.isInteger && y.isInteger && !__builtin_add_overflow(x.i, y.i, &sum)) return Value::Int(sum);
    return Value::Dbl(x.AsDouble() + y.AsDouble(), MaxDecimals(x, y));
  }
  if (a.IsString() && b.IsString()) return Value(a.AsString() + b.AsString());
  if (a.IsDate() && b.IsNumber()) return Value(ShiftDate(a.AsDate(), b.AsDouble(), "+"));
  if (a.IsNumber() && b.IsDate()) return Value(ShiftDate(b.AsDate(), a.AsDouble(), "+"));
  if (a.IsTimestamp() && b.IsNumber()) return Value(ShiftTimestamp(a.AsTimestamp(), b.AsDouble(), "+"));
  if (a.IsNumber() && b.IsTimestamp()) return Value(ShiftTimestamp(b.AsTimestamp(), a.AsDouble(), "+"));
  ThrowArgument(1081, "+", a, &b);
}

Value OpSub(const Value& a, const Value& b) {
  if (a.IsNumber() && b.IsNumber()) {
    const Number& x = a.AsNumber();
    const Number& y = b.AsNumber();
    int64_t difference;
    if (x.isInteger && y.isInteger && !__builtin_sub_overflow(x.i, y.i, &difference)) return Value::Int(difference);
    return Value::Dbl(x.AsDouble() - y.AsDouble(), MaxDecimals(x, y));
  }
  if (a.IsString() && b.IsString()) {
    // Joining moves the trailing blanks of the left text to the end of the result.
    const std::string& left = a.AsString();
    size_t end = left.find_last_not_of(' ');
    size_t kept = end == std::string::npos ? 0 : end + 1;
    return Value(left.substr(0, kept) + b.AsString() + std::string(left.size() - kept, ' '));
  }
  if (a.IsDate() && b.IsDate()) return Value::Int(static_cast<int64_t>(a.AsDate().day) - b.AsDate().day);
  if (a.IsDate() && b.IsNumber()) return Value(ShiftDate(a.AsDate(), -b.AsDouble(), "-"));
  if (a.IsTimestamp() && b.IsNumber()) return Value(ShiftTimestamp(a.AsTimestamp(), -b.AsDouble(), "-"));
  if (a.IsTimestamp() && b.IsTimestamp()) {
    return Value::Dbl(TimestampToDays(a.AsTimestamp()) - TimestampToDays(b.AsTimestamp()), 2);
  }
  ThrowArgument(1082, "-", a, &b);
}

Value OpMul(const Value& a, const Value& b) {
  if (!a.IsNumber() || !b.IsNumber()) ThrowArgument(1083, "*", a, &b);
  const Number& x = a.AsNumber();
  const Number& y = b.AsNumber();
  int64_t product;
  if (x.isInteger && y.isInteger && !__builtin_mul_overflow(x.i, y.i, &product)) return Value::Int(product);
  return Value::Dbl(x.AsDouble() * y.AsDouble(), x.decimals + y.decimals);
}

Value OpDiv(const Value& a, const Value& b) {
  if (!a.IsNumber() || !b.IsNumber()) ThrowArgument(1084, "/", a, &b);
  double divisor = b.AsDouble();
  if (divisor == 0) ThrowZeroDivisor(1340, "/");
  return Value::Dbl(a.AsDouble() / divisor, 2);
}

Value OpMod(const Value& a, const Value& b) {
  if (!a.IsNumber() || !b.IsNumber()) ThrowArgument(1085, "%", a, &b);
  const Number& x = a.AsNumber();
  const Number& y = b.AsNumber();
  if (y.AsDouble() == 0) ThrowZeroDivisor(1341, "%");
  if (x.isInteger && y.isInteger) {
    // Integer remainder is exact; -1 is handled apart because INT64_MIN % -1 overflows.
    return Value::Dbl(y.i == -1 ? 0.0 : static_cast<double>(x.i % y.i), 2);
  }
  return Value::Dbl(std::fmod(x.AsDouble(), y.AsDouble()), 2);
}

Value ModFunc(const Value& a, const Value& b) {
  if (!a.IsNumber() || !b.IsNumber()) ThrowArgument(1085, "MOD", a, &b);
  const Number& x = a.AsNumber();
  const Number& y = b.AsNumber();
  double divisor = y.AsDouble();
  if (divisor == 0) ThrowZeroDivisor(1341, "MOD");
  double remainder;
  if (x.isInteger && y.isInteger) {
    int64_t r = y.i == -1 ? 0 : x.i % y.i;
    if (r != 0 && ((r < 0) != (y.i < 0))) r += y.i;
    remainder = static_cast<double>(r);
  } else {
    remainder = std::fmod(x.AsDouble(), divisor);
    if (remainder != 0 && ((remainder < 0) != (divisor < 0))) remainder += divisor;
  }
  return Value::Dbl(remainder == 0 ? 0.0 : remainder, 2);
}

Value OpPow(const Value& a, const Value& b) {
  if (!a.IsNumber() || !b.IsNumber()) ThrowArgument(1088, "^", a, &b);
  return Value::Dbl(std::pow(a.AsDouble(), b.AsDouble()), 2);
}

Value OpNegate(const Value& a) {
  if (!a.IsNumber()) ThrowArgument(1080, "-", a, nullptr);
  const Number& x = a.AsNumber();
  if (x.isInteger) {
    if (x.i == std::numeric_limits<int64_t>::min()) return Value::Dbl(-static_cast<double>(x.i), 0);
    return Value::Int(-x.i);
  }
  return Value::Dbl(-x.d, x.decimals);
}

double RoundHalfAway(double x, int d) {
  if (!std::isfinite(x) || x == 0) return x;
  // Round the shortest decimal text that reads back as x, so that halves are found as they are
  // written (2.675 rounds to 2.68 although its binary value lies just below the half).
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(x), std::chars_format::scientific);
  std::string_view text(buffer, static_cast<size_t>(result.ptr - buffer));
  size_t e = text.find('e');
  std::string digits;
  for (char c : text.substr(0, e)) {
    if (c != '.') digits += c;
  }
  int exponent = std::atoi(std::string(text.substr(e + 1)).c_str());
  // The value is 0.digits * 10^(exponent + 1); keeping d decimals keeps this many digits.
  long kept = static_cast<long>(exponent) + 1 + d;
  if (kept >= static_cast<long>(digits.size())) return x;
  if (kept < 0) return 0.0;
  std::string mantissa = digits.substr(0, static_cast<size_t>(kept));
  if (digits[static_cast<size_t>(kept)] >= '5') {
    int pos = static_cast<int>(mantissa.size()) - 1;
    while (pos >= 0 && mantissa[static_cast<size_t>(pos)] == '9') mantissa[static_cast<size_t>(pos--)] = '0';
    if (pos < 0) {
      mantissa.insert(0, 1, '1');
    } else {
      ++mantissa[static_cast<size_t>(pos)];
    }
  }
  if (mantissa.find_first_not_of('0') == std::string::npos) return 0.0;
  std::string rounded = mantissa + "e" + std::to_string(-d);
  double value = std::strtod(rounded.c_str(), nullptr);
  return x < 0 ? -value : value;
}

Number RoundNumber(const Number& n, int d) {
  if (n.isInteger) {
    if (d >= 0) return d == 0 ? n : Number::Double(static_cast<double>(n.i), d);
    if (d >= -18) {
      int64_t scale = 1;
      for (int k = 0; k < -d; ++k) scale *= 10;
      int64_t quotient = n.i / scale;
      int64_t remainder = n.i % scale;
      // |remainder| * 2 cannot overflow: |remainder| < scale <= 10^18.
      if ((remainder < 0 ? -remainder : remainder) * 2 >= scale) quotient += n.i < 0 ? -1 : 1;
      int64_t rounded;
      if (!__builtin_mul_overflow(quotient, scale, &rounded)) return Number::Integer(rounded);
    }
  }
  double rounded = RoundHalfAway(n.AsDouble(), d);
  if (d > 0) return Number::Double(rounded, d);
  if (FitsInt64(rounded)) return Number::Integer(static_cast<int64_t>(rounded));
  return Number::Double(rounded, 0);
}

Number IntPart(const Number& n) {
  if (n.isInteger) return Number::Integer(n.i);
  double truncated = std::trunc(n.d);
  if (FitsInt64(truncated)) return Number::Integer(static_cast<int64_t>(truncated));
  return Number::Double(truncated, 0);
}

Number AbsNumber(const Number& n) {
  if (n.isInteger) {
    if (n.i == std::numeric_limits<int64_t>::min()) return Number::Double(-static_cast<double>(n.i), 0);
    return Number::Integer(n.i < 0 ? -n.i : n.i);
  }
  return Number::Double(std::fabs(n.d), n.decimals);
}

}  // namespace nv

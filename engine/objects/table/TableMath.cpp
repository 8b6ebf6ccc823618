#include "objects/table/TableMath.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "Accessors.h"
#include "Runtime.h"

namespace nv {

namespace {

constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

Number AsNumberOrZero(const Value& v) {
  if (const Number* n = v.NumberRef()) return *n;
  const Value converted = ValueNumber(v);
  if (const Number* n = converted.NumberRef()) return *n;
  return Number::Integer(0);
}

}  // namespace

Value TableMath::Snap(double x, int decimals) {
  if (!std::isfinite(x)) return Value::Dbl(x, decimals);
  if (decimals <= 0) {
    const double whole = std::round(x);
    if (std::fabs(whole) < 9.0e15) return Value::Int(static_cast<int64_t>(whole));
    return Value::Dbl(whole, 0);
  }
  if (decimals > 15 || std::fabs(x) > 1.0e15) return Value::Dbl(x, decimals);
  // The scaled value lies within a rounding error of an integer, and an integer divided by an
  // exact power of ten is the double nearest to the decimal text.
  const double p = kPowersOfTen[decimals];
  return Value::Dbl(std::round(x * p) / p, decimals);
}

Value TableMath::Add(const Value& a, const Value& b) {
  const Number x = AsNumberOrZero(a);
  const Number y = AsNumberOrZero(b);
  int64_t sum;
  if (x.isInteger && y.isInteger && !__builtin_add_overflow(x.i, y.i, &sum)) return Value::Int(sum);
  const int decimals = std::max<int>(x.decimals, y.decimals);
  Value result = Snap(x.AsDouble() + y.AsDouble(), decimals);
  // A sum of doubles stays a double, so that 79.5 + 0.5 shows as 80.0 like the runtime's sum.
  if (result.NumberRef()->isInteger) return Value::Dbl(result.AsDouble(), 0);
  return result;
}

Value TableMath::Sub(const Value& a, const Value& b) {
  const Number y = AsNumberOrZero(b);
  Number negated = y;
  if (y.isInteger) {
    if (y.i == INT64_MIN) return Add(a, Value::Dbl(-static_cast<double>(y.i), 0));
    negated.i = -y.i;
  } else {
    negated.d = -y.d;
  }
  return Add(a, Value(negated));
}

Value TableMath::Half(const Value& a) {
  const Number x = AsNumberOrZero(a);
  if (x.isInteger && x.i % 2 == 0) return Value::Int(x.i / 2);
  return Snap(x.AsDouble() / 2, x.decimals + 1);
}

Value TableMath::Max(const Value& a, const Value& b) { return D(b) > D(a) ? b : a; }

Value TableMath::Round(const Value& a, int d) { return Value(RoundNumber(AsNumberOrZero(a), d)); }

double TableMath::D(const Value& a) {
  if (const Number* n = a.NumberRef()) return n->AsDouble();
  return ValueDouble(a);
}

double TableMath::NowMs() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration<double, std::milli>(now).count();
}

}  // namespace nv

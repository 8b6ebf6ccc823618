#pragma once
// Millimetre arithmetic for table geometry that keeps the display decimals of its operands, so
// that widths and positions computed from template numbers print as the template wrote them:
// 80 - 53.4 is 26.6, never 26.599999999999994.

#include "Value.h"

namespace nv {

class TableMath {
 public:
  /// a + b; integers stay integers, otherwise the result shows the larger count of decimals and
  /// holds the double nearest to that decimal text. Non-numbers count as 0.
  static Value Add(const Value& a, const Value& b);
  /// a - b, with the decimals rule of Add.
  static Value Sub(const Value& a, const Value& b);
  /// a / 2, showing one decimal more than a when a is not an even integer.
  static Value Half(const Value& a);
  /// The larger of two numbers, each kept as it is.
  static Value Max(const Value& a, const Value& b);
  /// The number rounded to d decimals, halves away from zero.
  static Value Round(const Value& a, int d);
  /// The double nearest to x written with `decimals` decimals, as a number value (an integer
  /// when decimals is 0 and x is integral).
  static Value Snap(double x, int decimals);
  /// The value as a double (ValueNumber's reading: commas as points, logicals 1 and 0).
  static double D(const Value& a);
  /// A steady clock in milliseconds with a fraction: per-record timings sum to a real figure
  /// where whole milliseconds would add up to zero.
  static double NowMs();
};

}  // namespace nv

#pragma once
// The value rules of the formula operators, shared by the interpretive evaluation, executable
// plans and simple accumulator plans: comparison, the sum (addition or concatenation) and the
// reading of numbers back through their text form between arithmetic steps.

#include <cstdint>
#include <span>
#include <string_view>

#include "Value.h"

namespace nv {

/// A comparison operator of the language; Bad for a text that is none.
enum class ComparisonOp : uint8_t { Bad, Ge, Le, Eq, Ne, Gt, Lt };

class FormulaOperators {
 public:
  /// The operator of ">=", "<=", "==", "!=" or "<>", ">", "<"; Bad for any other text.
  static ComparisonOp ComparisonOf(std::string_view op);
  /// Numbers and numeric texts compare as the numbers read back from their texts; values of
  /// different kinds are only unequal; kinds without an order are never ordered. Never raises.
  static bool Compare(const Value& a, ComparisonOp op, const Value& b);
  /// The total of the values when all are numbers (each read back through its text; an integer
  /// when integral), else their texts joined (nil "", logicals "true" / "false"); "" for none.
  /// Sets failed, and gives nil, when adding the numbers raised.
  static Value Sum(std::span<const Value> values, bool& failed);
  /// The same over values given by reference (every pointer non-null).
  static Value Sum(std::span<const Value* const> values, bool& failed);
  /// A value read through its text form, as the language does between arithmetic steps: a text
  /// gives its leading number, an integer itself, a fractional number the number its text reads
  /// back as.
  static Value NumberThroughText(const Value& v);
  /// The truth of a value judged as a condition: a logical is itself; a value whose text is a
  /// boolean word is that word; anything else holds when it is not empty (collections are judged
  /// by their emptiness, as their text form "" would read as the false word).
  static bool Truthy(const Value& v);
  /// An integral double as an integer; any other value unchanged.
  static Value IntegerWhenIntegral(const Value& v);
};

}  // namespace nv

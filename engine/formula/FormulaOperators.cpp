#include "formula/FormulaOperators.h"

#include <cmath>
#include <string>

#include "Accessors.h"
#include "Runtime.h"
#include "formula/FormulaSplitter.h"
#include "formula/TFuncFormulas.h"

namespace nv {

namespace {

// The sum of n values read through at(i): the total of numbers re-read through their texts when
// all are numbers, else their texts joined. Sets failed when adding the numbers failed.
template <typename At>
Value SumOf(size_t n, At at, bool& failed) {
  if (n == 0) return Value("");
  bool allNumbers = true;
  for (size_t i = 0; i < n && allNumbers; ++i) allNumbers = at(i).IsNumber();
  if (allNumbers) {
    try {
      Value total = FormulaOperators::NumberThroughText(at(0));
      for (size_t i = 1; i < n; ++i) total = OpAdd(total, FormulaOperators::NumberThroughText(at(i)));
      return FormulaOperators::IntegerWhenIntegral(total);
    } catch (const RuntimeError&) {
      failed = true;
      return Value();
    }
  }
  std::string text;
  size_t length = 0;
  for (size_t i = 0; i < n; ++i) length += at(i).IsString() ? at(i).AsString().size() : 0;
  text.reserve(length);  // one allocation for the usual concatenation of texts
  for (size_t i = 0; i < n; ++i) {
    const Value& v = at(i);
    if (v.IsString()) {
      text += v.AsString();
    } else if (v.IsNil()) {
    } else if (v.IsLogical()) {
      text += v.AsBool() ? "true" : "false";
    } else {
      text += ValorAString(v);
    }
  }
  return Value(std::move(text));
}

}  // namespace

ComparisonOp FormulaOperators::ComparisonOf(std::string_view op) {
  if (op == ">=") return ComparisonOp::Ge;
  if (op == "<=") return ComparisonOp::Le;
  if (op == "==") return ComparisonOp::Eq;
  if (op == "!=" || op == "<>") return ComparisonOp::Ne;
  if (op == ">") return ComparisonOp::Gt;
  if (op == "<") return ComparisonOp::Lt;
  return ComparisonOp::Bad;
}

bool FormulaOperators::Compare(const Value& a0, ComparisonOp op, const Value& b0) {
  // Integers read back through their text are themselves; everything else numeric is re-read.
  auto asNumber = [](const Value& v) { return NumberThroughText(v); };
  if (a0.IsNumber() && b0.IsNumber()) {
    // Two numbers compare as the runtime compares them after the re-reading, without building
    // the re-read values: equality as exact equality, the order three-way.
    const Number& ra = a0.AsNumber();
    const Number& rb = b0.AsNumber();
    Number x = ra.isInteger ? ra : TFuncFormulas::NumberThroughText(ra);
    Number y = rb.isInteger ? rb : TFuncFormulas::NumberThroughText(rb);
    bool integers = x.isInteger && y.isInteger;
    if (op == ComparisonOp::Eq || op == ComparisonOp::Ne) {
      bool equal = integers ? x.i == y.i : x.AsDouble() == y.AsDouble();
      return op == ComparisonOp::Eq ? equal : !equal;
    }
    int order = 0;
    if (integers) {
      order = x.i < y.i ? -1 : (x.i > y.i ? 1 : 0);
    } else {
      double dx = x.AsDouble(), dy = y.AsDouble();
      order = dx < dy ? -1 : (dx > dy ? 1 : 0);
    }
    switch (op) {
      case ComparisonOp::Gt: return order > 0;
      case ComparisonOp::Lt: return order < 0;
      case ComparisonOp::Ge: return order >= 0;
      case ComparisonOp::Le: return order <= 0;
      default: return false;
    }
  }
  Value a, b;
  const Value* pa = &a0;
  const Value* pb = &b0;
  if (EsNumerico(a0) && EsNumerico(b0)) {
    a = asNumber(a0);
    b = asNumber(b0);
    pa = &a;
    pb = &b;
  }
  const Value& x = *pa;
  const Value& y = *pb;
  if (x.kind() != y.kind()) return op == ComparisonOp::Ne;
  if (op == ComparisonOp::Eq) return ExactEqual(x, y);
  if (op == ComparisonOp::Ne) return !ExactEqual(x, y);
  // Kinds without an order (nil, arrays, hashes, objects, blocks) are never ordered: such a
  // comparison is simply false, and a runtime refusal is trapped the same way.
  switch (x.kind()) {
    case Kind::String:
    case Kind::Number:
    case Kind::Date:
    case Kind::Timestamp:
    case Kind::Logical: break;
    default: return false;
  }
  try {
    switch (op) {
      case ComparisonOp::Gt: return RtGreater(x, y);
      case ComparisonOp::Lt: return RtLess(x, y);
      case ComparisonOp::Ge: return RtGreaterEqual(x, y);
      case ComparisonOp::Le: return RtLessEqual(x, y);
      default: return false;
    }
  } catch (const RuntimeError&) {
    return false;
  }
}

Value FormulaOperators::Sum(std::span<const Value> values, bool& failed) {
  return SumOf(
      values.size(), [&](size_t i) -> const Value& { return values[i]; }, failed);
}

Value FormulaOperators::Sum(std::span<const Value* const> values, bool& failed) {
  return SumOf(
      values.size(), [&](size_t i) -> const Value& { return *values[i]; }, failed);
}

// A value read back through its text form, as the language does between arithmetic steps. An
// integer reads back as itself; a fractional number costs a formatting and a parse, so the last
// results are remembered per exact double and decimal count (formulas re-read the same data).
Value FormulaOperators::NumberThroughText(const Value& v) {
  if (v.IsString()) return Value(Val(v.AsString()));
  if (!v.IsNumber()) return Value(Val(ValorAString(v)));
  if (v.AsNumber().isInteger) return v;
  return Value(TFuncFormulas::NumberThroughText(v.AsNumber()));
}

bool FormulaOperators::Truthy(const Value& v) {
  if (v.IsLogical()) return v.AsBool();
  const bool collection = v.IsArray() || v.IsHash() || v.IsObject() || v.IsBlock();
  if (!collection) {
    if (int w = FormulaSplitter::BooleanWord(ValorAString(v)); w >= 0) return w == 1;
  }
  return !IsEmpty(v);
}

Value FormulaOperators::IntegerWhenIntegral(const Value& v) {
  if (!v.IsNumber()) return v;
  const Number& n = v.AsNumber();
  if (n.isInteger) return v;
  if (std::isfinite(n.d) && n.d == std::trunc(n.d) && std::fabs(n.d) < 9.2e18) {
    return Value::Int(static_cast<int64_t>(n.d));
  }
  return v;
}

}  // namespace nv

// Emptiness, list search, resizing and sorting.
#include <algorithm>

#include "Hash.h"
#include "Runtime.h"

namespace nv {

bool IsEmpty(const Value& v) {
  switch (v.kind()) {
    case Kind::Nil: return true;
    case Kind::Logical: return !v.AsBool();
    case Kind::Number: return v.AsDouble() == 0;
    case Kind::String: return IsBlankText(v.AsString());
    case Kind::Date: return v.AsDate().IsEmpty();
    case Kind::Timestamp: return v.AsTimestamp().day == 0 && v.AsTimestamp().ms == 0;
    case Kind::Array:
    case Kind::Hash: return v.Len() == 0;
    default: return false;
  }
}

int64_t AScan(const Value& list, const Value& what) {
  if (!list.IsArray()) return 0;
  const Array& items = list.AsArray();
  if (what.IsBlock()) {
    const CodeBlock& block = what.AsBlock();
    for (size_t i = 0; i < items.size(); ++i) {
      Value result = block(std::span<const Value>(&items[i], 1));
      if (result.IsTrue()) return static_cast<int64_t>(i) + 1;
    }
    return 0;
  }
  for (size_t i = 0; i < items.size(); ++i) {
    const Value& item = items[i];
    if (item.kind() != what.kind()) continue;
    if (what.IsString()) {
      // The element matches when the searched text is a prefix of it.
      const std::string& element = item.AsString();
      const std::string& wanted = what.AsString();
      if (element.compare(0, wanted.size(), wanted) == 0) return static_cast<int64_t>(i) + 1;
    } else if (ExactEqual(item, what)) {
      return static_cast<int64_t>(i) + 1;
    }
  }
  return 0;
}

void ASize(const Value& array, size_t n) {
  if (!array.IsArray()) ThrowWrongKind("ASIZE", Kind::Array, array.kind());
  array.AsArray().resize(n);
}

Value ATail(const Value& array) {
  if (!array.IsArray() || array.AsArray().empty()) return Value();
  return array.AsArray().back();
}

void ASort(const Value& array) {
  if (!array.IsArray()) ThrowWrongKind("ASORT", Kind::Array, array.kind());
  // Values of different kinds group by kind; within a kind strings order byte by byte (which is
  // what the prefix rule gives for "<"), numbers, dates and logicals by value.
  auto less = [](const Value& a, const Value& b) {
    if (a.kind() != b.kind()) return a.kind() < b.kind();
    switch (a.kind()) {
      case Kind::String:
      case Kind::Number:
      case Kind::Date:
      case Kind::Timestamp:
      case Kind::Logical: return RtLess(a, b);
      default: return false;
    }
  };
  Array& items = array.AsArray();
  std::stable_sort(items.begin(), items.end(), less);
}

}  // namespace nv

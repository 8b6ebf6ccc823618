#pragma once
// Helpers of the table tests: templates from JSON text, tables loaded from them, and readers of
// normalized lines and render objects.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Accessors.h"
#include "Json.h"
#include "Runtime.h"
#include "layout_test_support.h"
#include "objects/table/TTable.h"

namespace nv::testing_support {

/// A template hash from JSON text (numbers keep their written decimals, as templates do).
inline Value Json(std::string_view text) {
  bool ok = false;
  Value v = DecodeJson(text, ok);
  EXPECT_TRUE(ok) << text;
  return v;
}

/// A table loaded from JSON text; ended when the test's holder goes, as its document ends it.
inline std::shared_ptr<TTable> LoadedTable(std::string_view json) {
  auto table = TTable::New();
  table->Load(Json(json));
  table->Create();
  TTable* raw = table.get();
  return std::shared_ptr<TTable>(raw, [held = std::move(table)](TTable*) mutable {
    held->End();
    held.reset();
  });
}

/// Line k (1-based) of a normalized section.
inline Value LineOf(const Value& sections, std::string_view section, size_t k) {
  return HGet(HGet(sections, section), "aLines").Item(k);
}

/// The printed cell widths of a line ("26.7" for a double with one decimal, "20" for an integer).
inline std::vector<std::string> Widths(const Value& line) {
  std::vector<std::string> widths;
  const Value cells = HGet(line, "aCells");
  for (size_t i = 1; i <= cells.Len(); ++i) widths.push_back(NumToText(HGet(cells.Item(i), "nWidth").AsNumber()));
  return widths;
}

/// The printed form of a number value with its decimals.
inline std::string Printed(const Value& n) { return n.IsNumber() ? NumToText(n.AsNumber()) : "not a number"; }

/// True when the number's double is the one its printed text reads back as: the arithmetic kept
/// the template's decimals instead of carrying a binary rounding error (26.599999999999994).
inline bool HoldsItsDecimalText(const Value& n) {
  return n.IsNumber() && std::strtod(NumToText(n.AsNumber()).c_str(), nullptr) == n.AsDouble();
}

/// The ids of a list of render objects, in order.
inline std::vector<std::string> Ids(const Value& list) {
  std::vector<std::string> ids;
  for (size_t i = 1; i <= list.Len(); ++i) ids.push_back(ValueString(HGet(list.Item(i), "id")));
  return ids;
}

/// Line entries {"index", "line"} for lines 1..n of a normalized section.
inline Value Entries(const Value& sections, std::string_view section) {
  Value entries = Value::NewArray();
  const Value lines = HGet(HGet(sections, section), "aLines");
  for (size_t k = 1; k <= lines.Len(); ++k) {
    Value entry = Value::NewHash();
    entry.Set("index", Value::Int(static_cast<int64_t>(k - 1)));
    entry.Set("line", lines.Item(k));
    entries.Append(entry);
  }
  return entries;
}

}  // namespace nv::testing_support

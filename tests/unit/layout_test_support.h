#pragma once
// Helpers shared by the layout-object tests: Value comparison with readable failures and small
// hash builders.

#include <gtest/gtest.h>

#include <initializer_list>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "Runtime.h"
#include "Value.h"

namespace nv::testing_support {

/// Holds when both values are of the same kind and exactly equal (numbers by value).
inline ::testing::AssertionResult SameValue(const char* actualText, const char* expectedText, const Value& actual,
                                            const Value& expected) {
  if (actual.kind() == expected.kind() && ExactEqual(actual, expected)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << actualText << " is " << actual << ", expected " << expectedText << " = "
                                       << expected;
}

inline Value HashOf(std::initializer_list<std::pair<const char*, Value>> items) {
  Value hash = Value::NewHash();
  for (const auto& [key, value] : items) hash.Set(key, value);
  return hash;
}

inline std::vector<std::string> Keys(const Value& hash) {
  std::vector<std::string> keys;
  if (hash.IsHash()) {
    for (const auto& entry : hash.AsHash()) keys.push_back(entry.first);
  }
  return keys;
}

/// The keys of a hash in order, each with the printed form of its value ("not a hash" for
/// anything else). The printed form tells integers from doubles and shows the decimals, so two
/// hashes with the same lines are the same hash, and a failing comparison names the keys.
inline std::vector<std::string> KeyValueLines(const Value& hash) {
  if (!hash.IsHash()) return {"not a hash"};
  std::vector<std::string> lines;
  for (const auto& [key, value] : hash.AsHash()) {
    std::ostringstream line;
    line << key.view() << " = " << value;
    lines.push_back(line.str());
  }
  return lines;
}

}  // namespace nv::testing_support

#define EXPECT_VALUE(actual, expected) EXPECT_PRED_FORMAT2(::nv::testing_support::SameValue, actual, expected)

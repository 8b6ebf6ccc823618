#pragma once
// Helpers shared by the layout-object tests: Value comparison with readable failures and small
// hash builders.

#include <gtest/gtest.h>

#include <initializer_list>
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

}  // namespace nv::testing_support

#define EXPECT_VALUE(actual, expected) EXPECT_PRED_FORMAT2(::nv::testing_support::SameValue, actual, expected)

#pragma once
// Shared helpers for the function-library tests: call a function by name through Ejecutar and
// compare results exactly (kind and value), printing the value on failure.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>

#include "Runtime.h"
#include "formula/TFuncFormulas.h"
#include "Value.h"

namespace nv::testing {

class FuncTest : public ::testing::Test {
 protected:
  std::shared_ptr<TFuncFormulas> lib = TFuncFormulas::New()->Create();

  void TearDown() override { lib->End(); }

  Value Call(std::string_view name, std::initializer_list<Value> args = {}) {
    return lib->Ejecutar(Value(std::string(name)), Value::FromArray(Array(args)));
  }
};

inline ::testing::AssertionResult SameValue(const char* actualText, const char* expectedText, const Value& actual,
                                            const Value& expected) {
  if (ExactEqual(actual, expected)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << actualText << " is " << actual << ", expected " << expectedText << " = "
                                       << expected;
}

// The number's visible text with its display decimals ("2.35", "1200"), or a marker for another
// kind, so that decimals are checked along with the value.
inline std::string NumberShown(const Value& v) {
  if (!v.IsNumber()) return "<not a number: " + LiteralText(v) + ">";
  return NumToText(v.AsNumber());
}

}  // namespace nv::testing

#define EXPECT_VALUE(actual, expected) EXPECT_PRED_FORMAT2(::nv::testing::SameValue, actual, Value(expected))

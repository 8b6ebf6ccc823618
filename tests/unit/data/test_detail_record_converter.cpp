// Detail records share one key table while a block's elements keep the same fields: the sharing
// must never show, whatever the elements look like or what is done to a record afterwards.
#include <gtest/gtest.h>

#include <string>

#include "Accessors.h"
#include "Json.h"
#include "Runtime.h"
#include "data/DetailRecordConverter.h"

using namespace nv;

namespace {

Value Json(const std::string& text) {
  bool ok = false;
  Value v = DecodeJson(text, ok);
  EXPECT_TRUE(ok) << text;
  return v;
}

std::string Convert(DetailRecordConverter& converter, const std::string& element) {
  Value out = Value("untouched");
  if (!converter.Convert(Json(element), out)) return "refused, " + EncodeJson(out);
  return EncodeJson(out);
}

}  // namespace

TEST(DetailRecordConverter, KeysValuesAndChangingShapes) {
  DetailRecordConverter converter("L.");
  EXPECT_EQ(Convert(converter, R"({"A": 1, "": 9, "B": {"tipo": "N", "valor": 2.5}})"), R"({"L.A":1,"L.B":2.5})");
  // Same fields, then other fields, then the first ones again, in another order.
  EXPECT_EQ(Convert(converter, R"({"A": "x", "": 0, "B": {"tipo": "C"}})"), R"({"L.A":"x","L.B":{"tipo":"C"}})");
  EXPECT_EQ(Convert(converter, R"({"C": true})"), R"({"L.C":true})");
  EXPECT_EQ(Convert(converter, R"({"B": 1, "A": 2})"), R"({"L.B":1,"L.A":2})");
  // Nothing named, or no hash at all: refused, out untouched; the next element still converts.
  EXPECT_EQ(Convert(converter, R"({"": 1})"), R"(refused, "untouched")");
  EXPECT_EQ(Convert(converter, R"([1])"), R"(refused, "untouched")");
  EXPECT_EQ(Convert(converter, R"({})"), R"(refused, "untouched")");
  EXPECT_EQ(Convert(converter, R"({"B": 3, "A": 4})"), R"({"L.B":3,"L.A":4})");
}

TEST(DetailRecordConverter, ARecordChangedLaterLeavesTheOthersAlone) {
  DetailRecordConverter converter("L.");
  Value first, second, third;
  ASSERT_TRUE(converter.Convert(Json(R"({"A": 1, "B": 2})"), first));
  ASSERT_TRUE(converter.Convert(Json(R"({"A": 3, "B": 4})"), second));
  first.Set("EXTRA", Value::Int(5));
  first.Set("L.A", Value::Int(10));
  ASSERT_TRUE(converter.Convert(Json(R"({"A": 6, "B": 7})"), third));
  EXPECT_EQ(EncodeJson(first), R"({"L.A":10,"L.B":2,"EXTRA":5})");
  EXPECT_EQ(EncodeJson(second), R"({"L.A":3,"L.B":4})");
  EXPECT_EQ(EncodeJson(third), R"({"L.A":6,"L.B":7})");
  EXPECT_FALSE(third.Has("EXTRA"));
}

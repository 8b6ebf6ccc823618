// Detail records share one key table while a block's elements keep the same fields: the sharing
// must never show, whatever the elements look like or what is done to a record afterwards. A view
// over a block in memory converts its lines when asked and must give the records a conversion of
// the whole block gives, by position, whichever lines give none.
#include <gtest/gtest.h>

#include <string>

#include "Accessors.h"
#include "Json.h"
#include "Runtime.h"
#include "data/DetailRecordConverter.h"
#include "data/DetailRecordView.h"

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

TEST(DetailRecordView, RecordsByPositionAsTheWholeBlockConverts) {
  // Lines that give no record at the start, in the middle, in a row and at the end, or none.
  for (const std::string lines : {R"([{"N": 1}, {"N": 2}, {"N": 3}])", R"(["x", {"N": 1}, {"": 0}, {"N": 2}, {"N": 3}, []])",
                                   R"([{"N": 1}, {}, {}, {"N": 2, "M": {"tipo": "N", "valor": 7}}, {"N": 3}])", R"([1, {}])",
                                   R"([])"}) {
    const Value block = Json(lines);
    DetailRecordConverter converter("L.");
    Value expected = Value::NewArray();
    for (const Value& line : block.AsArray()) {
      Value record;
      if (converter.Convert(line, record)) expected.Append(record);
    }
    DetailRecordView view(block, "L.");
    ASSERT_EQ(view.Count(), static_cast<int64_t>(expected.Len())) << lines;
    // Backwards, then forwards twice: each position gives its record whatever was read before.
    for (int64_t i = view.Count() - 1; i >= 0; --i) {
      EXPECT_EQ(EncodeJson(view.At(i)), EncodeJson(expected.AsArray()[static_cast<size_t>(i)])) << lines << " " << i;
    }
    for (int pass = 0; pass < 2; ++pass) {
      for (int64_t i = 0; i < view.Count(); ++i) {
        EXPECT_EQ(EncodeJson(view.At(i)), EncodeJson(expected.AsArray()[static_cast<size_t>(i)])) << lines << " " << i;
      }
    }
    EXPECT_EQ(EncodeJson(view.At(view.Count())), "{}");
    EXPECT_EQ(EncodeJson(view.At(-1)), "{}");
  }
  // Not an array: no records.
  EXPECT_EQ(DetailRecordView(Value("lines"), "L.").Count(), 0);
}

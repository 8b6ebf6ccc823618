#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdint>
#include <limits>
#include <cmath>
#include <string>
#include <vector>

#include "Accessors.h"
#include "Runtime.h"
#include "Value.h"

using namespace nv;
using namespace std::string_literals;

TEST(Value, HashKeepsInsertionOrderAndReassignedPosition) {
  Value h = Value::NewHash();
  h.Set("b", 1);
  h.Set("a", 2);
  h.Set("b", 3);
  Value keys = HashKeys(h);
  ASSERT_EQ(keys.Len(), 2u);
  EXPECT_EQ(keys.Item(1).AsString(), "b");
  EXPECT_EQ(keys.Item(2).AsString(), "a");
  EXPECT_EQ(h["b"].AsNumber().i, 3);
  EXPECT_THROW(h["missing"], RuntimeError);
}

TEST(Value, CopyIsReferenceCloneIsDeep) {
  Value inner = Value::NewArray();
  inner.Append(1);
  Value h = Value::NewHash();
  h.Set("list", inner);
  Value shared = h;
  Value copy = h.Clone();
  h["list"].Append(2);
  EXPECT_EQ(shared["list"].Len(), 2u);
  EXPECT_EQ(copy["list"].Len(), 1u);
}

TEST(Value, TextsKeepTheirBytesThroughCopiesAndReplacement) {
  // Texts are shared by the copies of a value: replacing one copy never reaches another.
  const std::string bytes = "con\0nul y m\xC3\xA1s de quince bytes"s;
  Value text(bytes);
  Value copy = text;
  Value hash = Value::NewHash();
  hash.Set("t", copy);
  copy = Value("otro");
  hash.Set("t", Value(""));
  EXPECT_EQ(text.AsString(), bytes);
  EXPECT_EQ(text.Len(), bytes.size());
  EXPECT_EQ(copy.AsString(), "otro");
  EXPECT_TRUE(hash["t"].IsString());
  EXPECT_EQ(hash["t"].Len(), 0u);
  EXPECT_TRUE(Value("").Identical(Value(std::string())));
  EXPECT_TRUE(text.Identical(Value(bytes)));

  // Integers and doubles share their storage; the kind flag and the decimals keep them apart.
  EXPECT_EQ(Value::Int(-7).AsNumber().i, -7);
  EXPECT_EQ(Value::Dbl(2.25, 2).AsNumber().d, 2.25);
  EXPECT_EQ(Value::Int(3).AsNumber().AsDouble(), 3.0);
  const int64_t bitsOfOneAndAHalf = std::bit_cast<int64_t>(1.5);
  EXPECT_FALSE(Value::Int(bitsOfOneAndAHalf).Identical(Value::Dbl(1.5, 0)));
  EXPECT_NE(ValueString(Value::Int(bitsOfOneAndAHalf)), ValueString(Value::Dbl(1.5, 1)));
}

TEST(Accessors, DisplayDecimalsReachText) {
  EXPECT_EQ(ValueString(Value(2.822)), "2.822");
  EXPECT_EQ(ValueString(Value::Dbl(5.0, 2)), "5.00");
  EXPECT_EQ(ValorAString(Value::Dbl(5.0, 2)), "5");
  EXPECT_EQ(ValueString(Value(false)), "");
  EXPECT_EQ(ValueDouble(Value("1.234,5")), 1.234);
  EXPECT_EQ(ValueDouble(Value("12,5")), 12.5);
  EXPECT_TRUE(ValueBool(Value("YES ")));
  EXPECT_FALSE(ValueBool(Value("no")));
  EXPECT_TRUE(ValueBool(Value(2)));
  EXPECT_EQ(NormalizeHashKeyName(Value(7)), "7");
  EXPECT_EQ(NormalizeHashKeyName(Value(" a ")), " a ");
}

TEST(Dates, DayOfWeekAndSerial) {
  Date d = MakeDate(2023, 1, 15);
  EXPECT_EQ(Dow(d), 1);
  EXPECT_EQ(DateToSerial(d), "20230115");
  EXPECT_EQ(SerialToDate("20230115").day, d.day);
  EXPECT_TRUE(MakeDate(2023, 2, 31).IsEmpty());
}

namespace {

// The display decimals the shortest fixed text of d shows (at least 1), computed the slow way.
int DecimalsFromText(double d) {
  char buffer[400];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, d, std::chars_format::fixed);
  std::string_view text(buffer, static_cast<size_t>(result.ptr - buffer));
  auto point = text.find('.');
  return point == std::string_view::npos ? 1 : std::min(30, static_cast<int>(text.size() - point - 1));
}

}  // namespace

TEST(Value, DoubleDecimalsMatchShortestText) {
  // Values a template or a layout computes: millimetre sums, money, halves, tiny and huge values.
  std::vector<double> values = {0.0, -0.0, 1.0, -1.0, 0.5, 2.675, 1234.5, 0.1 + 0.2, 1e-7, 123456.789012,
                                1099511627775.5, 1099511627776.0, 1e15, 1e22, 4.35, 70.0 + 3.0, 0.7 * 3,
                                -12.345678, 9007199254740993.0, 5e-324, 1.7976931348623157e308};
  uint64_t state = 12345;
  for (int i = 0; i < 20000; ++i) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    const int decimals = static_cast<int>(state >> 61);  // 0..7
    const double scale = std::pow(10.0, decimals);
    const double mantissa = static_cast<double>(static_cast<int64_t>(state >> 20) % 100000000) - 50000000.0;
    values.push_back(mantissa / scale);
    values.push_back(mantissa / scale + 0.1);  // sums carry binary noise: many decimals
  }
  for (double d : values) {
    ASSERT_EQ(Value(d).AsNumber().decimals, DecimalsFromText(d)) << d;
  }
}

TEST(Value, HashFindsEveryKeyAfterGrowthAndReassignment) {
  Value h = Value::NewHash();
  for (int i = 0; i < 2000; ++i) h.Set("k" + std::to_string(i * 7919), i);
  for (int i = 0; i < 2000; i += 3) h.Set("k" + std::to_string(i * 7919), -i);  // in place
  ASSERT_EQ(h.Len(), 2000u);
  int position = 0;
  for (const auto& [key, value] : h.AsHash()) {
    ASSERT_EQ(key, "k" + std::to_string(position * 7919));
    ASSERT_EQ(value.AsNumber().i, position % 3 == 0 ? -position : position);
    ++position;
  }
  // Keys that differ only past the first word, or only in length, stay apart.
  Value long_keys = Value::NewHash();
  long_keys.Set("alturaSuprimidaFlujoTexto", 1);
  long_keys.Set("alturaSuprimidaFlujoTextX", 2);
  long_keys.Set("alturaSu", 3);
  long_keys.Set("alturaSu\0"s, 4);
  long_keys.Set("", 5);
  EXPECT_EQ(long_keys.Len(), 5u);
  EXPECT_EQ(long_keys["alturaSuprimidaFlujoTexto"].AsNumber().i, 1);
  EXPECT_EQ(long_keys["alturaSuprimidaFlujoTextX"].AsNumber().i, 2);
  EXPECT_EQ(long_keys["alturaSu"].AsNumber().i, 3);
  EXPECT_EQ(long_keys["alturaSu\0"s].AsNumber().i, 4);
  EXPECT_EQ(long_keys[""].AsNumber().i, 5);
}

TEST(HashKey, InlineAndHeapKeysBehaveAlike) {
  // Lengths around the inline limit, embedded NUL bytes and the empty key.
  std::vector<std::string> texts = {"", "x", "alturaSuprimidaFlujoTexto", std::string(30, 'a'), std::string(31, 'b'),
                                    std::string(200, 'c'), "con\0nul"s};
  for (const std::string& text : texts) {
    HashKey key(text);
    EXPECT_EQ(key.view(), text);
    EXPECT_EQ(key.size(), text.size());
    EXPECT_EQ(std::string(key.c_str()), text.substr(0, text.find('\0')));  // NUL-terminated
    HashKey copy(key);
    HashKey moved(std::move(copy));
    EXPECT_EQ(moved, key);
    EXPECT_TRUE(copy.empty());  // NOLINT(bugprone-use-after-move): a moved-from key is empty
    HashKey assigned("otra clave bastante mas larga que el limite de treinta");
    assigned = key;
    EXPECT_EQ(assigned, text);
    assigned = HashKey("corta");
    EXPECT_EQ(assigned, "corta");
    const HashKey& self = assigned;
    assigned = self;
    EXPECT_EQ(assigned, "corta");
    EXPECT_EQ("pre." + key, "pre." + text);
    EXPECT_EQ(key + ".post", text + ".post");
    EXPECT_EQ(static_cast<std::string>(key), text);
  }
  EXPECT_LT(HashKey("a"), HashKey("b"));
  EXPECT_FALSE(HashKey(std::string(31, 'b')) == std::string(30, 'b'));
}

TEST(HashKey, HashesKeepLongAndShortKeysThroughCopiesAndGrowth) {
  Value h = Value::NewHash();
  for (int i = 0; i < 300; ++i) h.Set(std::string(static_cast<size_t>(i % 60), 'k') + std::to_string(i), i);
  Value copy = h.Clone();
  h.Remove(std::string(5, 'k') + "5");
  ASSERT_EQ(copy.Len(), 300u);
  ASSERT_EQ(h.Len(), 299u);
  int position = 0;
  for (const auto& [key, value] : copy.AsHash()) {
    EXPECT_EQ(key, std::string(static_cast<size_t>(position % 60), 'k') + std::to_string(position));
    EXPECT_EQ(value.AsNumber().i, position);
    ++position;
  }
  EXPECT_EQ(ValueInt(HGet(copy, std::string(59, 'k') + "299")), 299);
  EXPECT_FALSE(h.Has(std::string(5, 'k') + "5"));
}

TEST(Accessors, IntegerPartOfAnyDoubleSaturatesInsteadOfOverflowing) {
  // Coordinates and font numbers come from outside: 1e300 mm must not reach an undefined cast.
  EXPECT_EQ(TruncateToInt64(3.9), 3);
  EXPECT_EQ(TruncateToInt64(-3.9), -3);
  EXPECT_EQ(TruncateToInt64(2.22222e87), INT64_MAX);
  EXPECT_EQ(TruncateToInt64(-6.6e56), INT64_MIN);
  EXPECT_EQ(TruncateToInt64(std::numeric_limits<double>::quiet_NaN()), 0);
  EXPECT_EQ(TruncateToInt64(std::numeric_limits<double>::infinity()), 0);
  EXPECT_EQ(ValueInt(Value(1e300)), INT64_MAX);
}

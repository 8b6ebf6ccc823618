#include <gtest/gtest.h>

#include <cmath>

#include "Accessors.h"
#include "Hash.h"
#include "Json.h"
#include "Object.h"
#include "Runtime.h"
#include "Value.h"

using namespace nv;

namespace {

Value Decode(std::string_view text) {
  bool ok = false;
  Value v = DecodeJson(text, ok);
  EXPECT_TRUE(ok) << text;
  return v;
}

}  // namespace

TEST(JsonDecode, NumbersKeepWrittenDecimalsAndIntegersStayIntegers) {
  Value h = Decode(R"({"a": 12.50, "b": 5, "c": -3, "d": 0.1, "e": 1e3, "f": 2.5E-1, "g": 12345678901234567890})");
  EXPECT_TRUE(h["a"].AsNumber().isInteger == false);
  EXPECT_EQ(h["a"].AsNumber().decimals, 2);
  EXPECT_EQ(ValueString(h["a"]), "12.50");
  EXPECT_TRUE(h["b"].AsNumber().isInteger);
  EXPECT_EQ(h["b"].AsNumber().i, 5);
  EXPECT_EQ(ValueString(h["b"]), "5");
  EXPECT_EQ(h["c"].AsNumber().i, -3);
  EXPECT_EQ(ValueString(h["d"]), "0.1");
  EXPECT_FALSE(h["e"].AsNumber().isInteger);
  EXPECT_EQ(h["e"].AsDouble(), 1000.0);
  EXPECT_EQ(ValueString(h["e"]), "1000");
  EXPECT_EQ(h["f"].AsNumber().decimals, 2);  // 2.5E-1 is written out as 0.25
  EXPECT_DOUBLE_EQ(h["f"].AsDouble(), 0.25);
  // Beyond 64 bits an integer becomes a double instead of wrapping.
  EXPECT_FALSE(h["g"].AsNumber().isInteger);
  EXPECT_DOUBLE_EQ(h["g"].AsDouble(), 12345678901234567890.0);
  EXPECT_EQ(Decode("[1e-999]").Item(1).AsDouble(), 0.0);
  Value exponents = Decode("[1.5e-3, 1.25e+1, 12e2, -3.0E0]");
  EXPECT_EQ(ValueString(exponents.Item(1)), "0.0015");
  EXPECT_EQ(ValueString(exponents.Item(2)), "12.5");
  EXPECT_EQ(ValueString(exponents.Item(3)), "1200");
  EXPECT_EQ(ValueString(exponents.Item(4)), "-3.0");
  bool ok = true;
  DecodeJson("[1e999]", ok);  // beyond the range of a double: the document does not decode
  EXPECT_FALSE(ok);
}

TEST(JsonDecode, KeysKeepDocumentOrderAndStringsStayBytes) {
  Value h = Decode(R"({"z": 1, "a": [true, false, null], "m": {"y": "\u00e1\n", "x": "\ud83d\ude00"}, "z": 2})");
  Value keys = HashKeys(h);
  ASSERT_EQ(keys.Len(), 3u);
  EXPECT_EQ(keys.Item(1).AsString(), "z");
  EXPECT_EQ(keys.Item(2).AsString(), "a");
  EXPECT_EQ(keys.Item(3).AsString(), "m");
  EXPECT_EQ(h["z"].AsNumber().i, 2);  // a repeated key keeps its place and takes the last value
  EXPECT_TRUE(h["a"].Item(1).AsBool());
  EXPECT_FALSE(h["a"].Item(2).AsBool());
  EXPECT_TRUE(h["a"].Item(3).IsNil());
  EXPECT_EQ(h["m"]["y"].AsString(), "\xC3\xA1\n");
  EXPECT_EQ(h["m"]["x"].AsString(), "\xF0\x9F\x98\x80");
  EXPECT_EQ(HashKeys(h["m"]).Item(1).AsString(), "y");
  // Raw UTF-8 and NUL escapes pass through as bytes.
  Value raw = Decode("[\"Dulces Orba\xC3\xB1" "el\", \"a\\u0000b\"]");
  EXPECT_EQ(raw.Item(1).AsString(), "Dulces Orba\xC3\xB1" "el");
  EXPECT_EQ(raw.Item(2).AsString(), std::string("a\0b", 3));
}

TEST(JsonDecode, InvalidOrNonObjectDocumentsGiveAnEmptyHash) {
  for (std::string_view text : {"", "   ", "{", "{\"a\":}", "[1,2]", "5", "\"x\"", "null", "{} {}", "{\"a\":1,}",
                                "{'a':1}", "{\"a\":01}"}) {
    Value h = DecodeJsonObject(text);
    EXPECT_TRUE(h.IsHash()) << text;
    EXPECT_EQ(h.Len(), 0u) << text;
  }
  EXPECT_EQ(DecodeJsonObject("\xEF\xBB\xBF{\"a\":1}").Len(), 1u);  // a byte order mark is skipped
  // A raw NUL byte is invalid wherever it stands, also after a complete document.
  EXPECT_EQ(DecodeJsonObject(std::string("{\"a\":1}\0{", 9)).Len(), 0u);
  EXPECT_EQ(DecodeJsonObject(std::string("{\"a\":\"x\0y\"}", 11)).Len(), 0u);
  bool ok = true;
  std::string error;
  EXPECT_TRUE(DecodeJson("[1, 2", ok, &error).IsNil());
  EXPECT_FALSE(ok);
  EXPECT_NE(error.find("offset"), std::string::npos);
  // Deep nesting is refused rather than exhausting the stack.
  std::string deep(200000, '[');
  EXPECT_TRUE(DecodeJson(deep + std::string(200000, ']'), ok).IsNil());
  EXPECT_FALSE(ok);
  EXPECT_EQ(ReadJsonFile("").Len(), 0u);
  EXPECT_EQ(ReadJsonFile("/nonexistent/file.json").Len(), 0u);
}

TEST(JsonEncode, WritesEveryKindAndReadsBack) {
  Value h = Value::NewHash();
  h.Set("nil", Value());
  h.Set("yes", true);
  h.Set("int", Value::Int(-42));
  h.Set("dbl", Value::Dbl(5.0, 2));
  h.Set("frac", Value(0.1));
  h.Set("text", "quote \" backslash \\ tab \t");
  h.Set("date", Value(MakeDate(2023, 1, 15)));
  h.Set("stamp", Value(Timestamp{MakeDate(2024, 2, 29).day, ((13 * 60 + 5) * 60 + 9) * 1000 + 7}));
  h.Set("list", Value::FromArray({Value::Int(1), Value("a")}));
  h.Set("object", Value(std::make_shared<Object>()));
  h.Set("inf", Value::Dbl(HUGE_VAL, 2));
  EXPECT_EQ(EncodeJson(h),
            R"({"nil":null,"yes":true,"int":-42,"dbl":5,"frac":0.1,"text":"quote \" backslash \\ tab \t",)"
            R"("date":"2023-01-15","stamp":"2024-02-29T13:05:09.007","list":[1,"a"],"object":null,"inf":null})");
  Value back = DecodeJsonObject(EncodeJson(h, true));
  EXPECT_EQ(back.Len(), h.Len());
  EXPECT_EQ(back["text"].AsString(), h["text"].AsString());
  EXPECT_EQ(HashKeys(back).Item(8).AsString(), "stamp");
  EXPECT_EQ(EncodeJson(Value::NewHash()), "{}");
  EXPECT_EQ(EncodeJson(Value(Date{})), "null");
}

TEST(JsonEncode, InvalidUtf8BecomesReplacementCharacter) {
  EXPECT_EQ(EncodeJson(Value("a\xFF" "b")), "\"a\xEF\xBF\xBD" "b\"");
  EXPECT_EQ(EncodeJson(Value("\xC3")), "\"\xEF\xBF\xBD\"");             // truncated sequence
  EXPECT_EQ(EncodeJson(Value("\xC0\xAF")), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");  // overlong form
  EXPECT_EQ(EncodeJson(Value("\xED\xA0\x80")), "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");  // surrogate
  EXPECT_EQ(EncodeJson(Value("\xC3\xB1")), "\"\xC3\xB1\"");
  Value h = Value::NewHash();
  h.Set("k\xFF", 1);
  EXPECT_EQ(EncodeJson(h), "{\"k\xEF\xBF\xBD\":1}");
  // Control bytes are escaped, so the output always decodes again.
  bool ok = false;
  EXPECT_EQ(DecodeJson(EncodeJson(Value(std::string("\x01\x00", 2))), ok).AsString(), std::string("\x01\x00", 2));
  EXPECT_TRUE(ok);
}

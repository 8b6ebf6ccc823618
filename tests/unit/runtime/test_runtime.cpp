#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <limits>

#include "Accessors.h"
#include "Hash.h"
#include "Object.h"
#include "Runtime.h"
#include "Value.h"

using namespace nv;

namespace {

// The text the engine shows for a number: the default form without blanks.
std::string Shown(const Value& v) { return NumToText(v.AsNumber()); }

int Decimals(const Value& v) { return v.AsNumber().decimals; }

Value List(std::initializer_list<Value> items) { return Value::FromArray(Array(items)); }

}  // namespace

TEST(NumberText, DisplayDecimalsFollowHowTheNumberArose) {
  EXPECT_EQ(Shown(OpDiv(10, 4)), "2.50");
  EXPECT_EQ(Shown(OpDiv(10, 2)), "5.00");
  EXPECT_EQ(Shown(OpMul(Value(2.822), 2)), "5.644");
  EXPECT_EQ(Shown(Value(5.0)), "5.0");
  EXPECT_EQ(Shown(Value(7)), "7");
  EXPECT_EQ(Shown(Value(80)), "80");
  EXPECT_EQ(Shown(OpAdd(Value(0.1), Value(0.2))), "0.3");
  EXPECT_EQ(Shown(OpAdd(Value(1.25), 1)), "2.25");
  EXPECT_EQ(Shown(OpSub(Value(1.5), Value(0.25))), "1.25");
  EXPECT_EQ(Shown(OpMul(Value(1.5), Value(1.25))), "1.875");  // 1 + 2 decimals
  EXPECT_EQ(Shown(OpPow(2, 10)), "1024.00");
  EXPECT_EQ(Shown(OpMod(-7, 360)), "-7.00");
  EXPECT_EQ(Shown(OpMod(-7, 3)), "-1.00");
  EXPECT_EQ(Shown(ModFunc(-7, 3)), "2.00");
  EXPECT_EQ(Shown(ModFunc(7, -3)), "-2.00");
  EXPECT_EQ(Shown(ModFunc(Value(-7.5), 2)), "0.50");
  EXPECT_EQ(Value(0.0000001).AsNumber().decimals, 7);  // a literal keeps its written decimals
  EXPECT_EQ(Value(1e20).AsNumber().decimals, 1);
}

TEST(NumberText, FieldWidthsAndOverflow) {
  EXPECT_EQ(Str(Number::Integer(80)), "        80");
  EXPECT_EQ(Str(Value(2.822).AsNumber()), "         2.822");
  EXPECT_EQ(Str(Number::Integer(12345678901LL)), "         12345678901");
  EXPECT_EQ(Str(Number::Integer(-5)), "        -5");
  EXPECT_EQ(Str(Number::Integer(123), 2), "**");
  EXPECT_EQ(Str(Value(3.14159).AsNumber(), 8, 2), "    3.14");
  EXPECT_EQ(Str(Value(-2.5).AsNumber(), 5), "   -3");
  EXPECT_EQ(Str(Number::Integer(5), 6, 2), "  5.00");
  EXPECT_EQ(Str(Number::Double(HUGE_VAL, 2)), std::string(23, '*'));
  EXPECT_EQ(StrZero(Number::Integer(-5), 4), "-005");
  EXPECT_EQ(StrZero(Number::Integer(42), 5), "00042");
  EXPECT_EQ(StrZero(Number::Integer(42), 0), "42");
  EXPECT_EQ(StrZero(Number::Integer(123456), 3), "***");
  EXPECT_EQ(NumToText(Number::Double(-0.001, 2)), "0.00");  // never "-0.00"
}

TEST(NumberText, RoundingTakesHalvesAwayFromZeroAsWritten) {
  EXPECT_EQ(Shown(Value(RoundNumber(Value(2.5).AsNumber(), 0))), "3");
  EXPECT_EQ(Shown(Value(RoundNumber(Value(-2.5).AsNumber(), 0))), "-3");
  EXPECT_EQ(Shown(Value(RoundNumber(Value(2.675).AsNumber(), 2))), "2.68");
  EXPECT_EQ(Shown(Value(RoundNumber(Value(1.005).AsNumber(), 2))), "1.01");
  EXPECT_EQ(Shown(Value(RoundNumber(Value(-1.005).AsNumber(), 2))), "-1.01");
  EXPECT_EQ(Shown(Value(RoundNumber(Value(9.995).AsNumber(), 2))), "10.00");
  EXPECT_EQ(Shown(Value(RoundNumber(Number::Integer(1234), -2))), "1200");
  EXPECT_EQ(Shown(Value(RoundNumber(Number::Integer(1250), -2))), "1300");
  EXPECT_EQ(Shown(Value(RoundNumber(Number::Integer(-1250), -2))), "-1300");
  EXPECT_EQ(Shown(Value(RoundNumber(Value(1234.5678).AsNumber(), -2))), "1200");
  EXPECT_EQ(Shown(Value(RoundNumber(Number::Integer(5), 2))), "5.00");
  EXPECT_EQ(Shown(Value(RoundNumber(Value(0.4).AsNumber(), 0))), "0");
  EXPECT_EQ(NumToText(Number::Double(0.125, 2)), "0.13");
  EXPECT_EQ(NumToText(Number::Double(2.345, 2)), "2.35");
  // Large values below the half must not be pushed up.
  EXPECT_EQ(RoundHalfAway(123456789012345.0, 0), 123456789012345.0);
  EXPECT_EQ(RoundHalfAway(123456789012345.4, 0), 123456789012345.0);
  EXPECT_EQ(RoundHalfAway(0.49999999999999994, 0), 0.0);
  EXPECT_EQ(RoundHalfAway(1e300, 2), 1e300);
  EXPECT_EQ(TransformTwelveNines(Value(1234.5).AsNumber()), "        1235");
  EXPECT_EQ(TransformTwelveNines(Value(-0.5).AsNumber()), "          -1");
  EXPECT_EQ(TransformTwelveNines(Number::Integer(999999999999LL)), "999999999999");
  EXPECT_EQ(TransformTwelveNines(Number::Integer(1000000000000LL)), "************");
  EXPECT_EQ(TransformTwelveNines(Number::Integer(-99999999999LL)), "-99999999999");
  EXPECT_EQ(TransformTwelveNines(Number::Integer(-999999999999LL)), "************");
}

TEST(NumberText, ValReadsTheLeadingNumericPrefix) {
  Number n = Val(" 12.5abc");
  EXPECT_DOUBLE_EQ(n.AsDouble(), 12.5);
  EXPECT_EQ(n.decimals, 1);
  EXPECT_EQ(Val("12.50x").decimals, 2);
  EXPECT_EQ(NumToText(Val("12.50x")), "12.50");
  EXPECT_EQ(Val("").AsDouble(), 0);
  EXPECT_EQ(Val("-").AsDouble(), 0);
  EXPECT_EQ(Val("abc").AsDouble(), 0);
  EXPECT_DOUBLE_EQ(Val("1.234,5").AsDouble(), 1.234);
  EXPECT_TRUE(Val("12,5").isInteger);
  EXPECT_EQ(Val("12,5").i, 12);
  EXPECT_EQ(Val("-3").i, -3);
  EXPECT_EQ(Val("+4").i, 4);
  EXPECT_DOUBLE_EQ(Val("-.5").AsDouble(), -0.5);
  EXPECT_FALSE(Val("99999999999999999999").isInteger);
  EXPECT_DOUBLE_EQ(Val("99999999999999999999").AsDouble(), 1e20);
  // Number to text and back keeps value and decimals.
  for (const Value& v : {Value(2.822), OpDiv(10, 4), Value(-7), Value(0.5), Value::Dbl(-1234.125, 3)}) {
    Number back = Val(NumToText(v.AsNumber()));
    EXPECT_DOUBLE_EQ(back.AsDouble(), v.AsDouble());
    EXPECT_EQ(back.decimals, v.AsNumber().decimals);
  }
}

TEST(NumberText, GenericAndLiteralForms) {
  Date d = MakeDate(2023, 1, 15);
  EXPECT_EQ(GenericText(Value()), "NIL");
  EXPECT_EQ(GenericText(Value(true)), ".T.");
  EXPECT_EQ(GenericText(Value(false)), ".F.");
  EXPECT_EQ(GenericText(Value(d)), "01/15/23");
  EXPECT_EQ(GenericText(Value(Date{})), "  /  /  ");
  EXPECT_EQ(GenericText(Value(Timestamp{d.day, ((13 * 60 + 5) * 60 + 9) * 1000 + 7})), "01/15/23 13:05:09.007");
  EXPECT_EQ(GenericText(Value(7)), "         7");
  EXPECT_EQ(GenericText(Value::NewArray(2)), "");
  EXPECT_EQ(GenericText(Value::NewHash()), "");
  EXPECT_EQ(LiteralText(Value("a")), "\"a\"");
  EXPECT_EQ(LiteralText(Value("a\"b")), "'a\"b'");
  EXPECT_EQ(LiteralText(Value("a\"b'c")), "[a\"b'c]");
  EXPECT_EQ(LiteralText(Value(12)), "12");
  EXPECT_EQ(LiteralText(OpDiv(5, 2)), "2.50");
  EXPECT_EQ(LiteralText(Value(true)), ".T.");
  EXPECT_EQ(LiteralText(Value()), "NIL");
  EXPECT_EQ(LiteralText(Value(d)), "0d20230115");
  EXPECT_EQ(LiteralText(Value(Date{})), "0d00000000");
  EXPECT_EQ(LiteralText(List({Value(1), Value("a"), List({})})), "{1, \"a\", {}}");
  EXPECT_EQ(LiteralText(Value::NewHash()), "{=>}");
  Value h = Value::NewHash();
  h.Set("k", 1);
  h.Set("j", List({Value(false)}));
  EXPECT_EQ(LiteralText(h), "{\"k\"=>1, \"j\"=>{.F.}}");
  EXPECT_EQ(NormalizeHashKeyName(Value(true)), ".T.");
  EXPECT_EQ(NormalizeHashKeyName(Value(12)), "12");
  EXPECT_EQ(NormalizeHashKeyName(Value()), "");
}

TEST(NumberText, Hexadecimal) {
  EXPECT_EQ(NumToHex(255, 2), "FF");
  EXPECT_EQ(NumToHex(0x1234, 2), "34");
  EXPECT_EQ(NumToHex(10), "A");
  EXPECT_EQ(NumToHex(10, 4), "000A");
  EXPECT_EQ(NumToHex(0), "0");
  EXPECT_EQ(NumToHex(-1, 2), "FF");
  EXPECT_EQ(HexToNum("ff"), 255);
  EXPECT_EQ(HexToNum("Ff"), 255);
  EXPECT_EQ(HexToNum("1a2B"), 0x1a2b);
  EXPECT_EQ(HexToNum("xyz"), 0);
  EXPECT_EQ(HexToNum("12g"), 0);
  EXPECT_EQ(HexToNum(""), 0);
}

TEST(Trim, LeadingSetAndTrailingBlanksOnly) {
  EXPECT_EQ(AllTrim("\r\nabc\r\n"), "abc\r\n");
  EXPECT_EQ(AllTrim("  a b  "), "a b");
  EXPECT_EQ(AllTrim(" \t\r\n "), "");
  EXPECT_EQ(AllTrim("abc\t"), "abc\t");
  EXPECT_EQ(LTrim("\t a "), "a ");
  EXPECT_EQ(RTrim(" a \t "), " a \t");
  EXPECT_EQ(RTrim("   "), "");
  // The view keeps the same bytes and points into its argument.
  const std::string text = "\n  a b \t  ";
  const std::string_view view = AllTrimView(text);
  EXPECT_EQ(view, AllTrim(text));
  EXPECT_EQ(view.data(), text.data() + 3);
  EXPECT_TRUE(AllTrimView("\r\n\t ").empty());
  EXPECT_TRUE(EsTextoNumerico(" \t-12,5 "));
  EXPECT_FALSE(EsTextoNumerico(" \t "));
}

TEST(Truthiness, OnlyTheLogicalItselfIsStrictlyTrueOrFalse) {
  EXPECT_TRUE(Value(true).IsTrue());
  EXPECT_FALSE(Value(true).IsFalse());
  EXPECT_TRUE(Value(false).IsFalse());
  for (const Value& other : {Value(), Value::Int(1), Value::Int(0), Value("true"), Value(".T."), Value::NewHash()}) {
    EXPECT_FALSE(other.IsTrue());
    EXPECT_FALSE(other.IsFalse());
  }
}

TEST(Emptiness, EmptyValuesOfEveryKind) {
  for (const Value& v : {Value(), Value(""), Value(" \t\r\n"), Value(0), Value(0.0), Value(false), Value::NewArray(),
                         Value::NewHash(), Value(Date{})}) {
    EXPECT_TRUE(IsEmpty(v)) << v;
  }
  for (const Value& v : {Value("a"), Value(" x "), Value(1), Value(-0.5), Value(true), Value::NewArray(1),
                         Value(MakeDate(2020, 1, 1)), Value(std::make_shared<Object>()),
                         Value::Block([](std::span<const Value>) { return Value(); })}) {
    EXPECT_FALSE(IsEmpty(v)) << v;
  }
}

TEST(Strings, SubStrLeftRightEdges) {
  EXPECT_EQ(SubStr("abcdef", -2), "ef");
  EXPECT_EQ(SubStr("abcdef", -2, 1), "e");
  EXPECT_EQ(SubStr("abc", 5), "");
  EXPECT_EQ(SubStr("abc", 4), "");
  EXPECT_EQ(SubStr("abc", 3), "c");
  EXPECT_EQ(SubStr("abc", 0, 2), "ab");
  EXPECT_EQ(SubStr("abc", 2, 0), "");
  EXPECT_EQ(SubStr("abc", 2, -1), "");
  EXPECT_EQ(SubStr("abc", 2, 100), "bc");
  EXPECT_EQ(SubStr("abc", -10, 2), "ab");
  EXPECT_EQ(SubStr("", 1, 1), "");
  EXPECT_EQ(Left("abc", 5), "abc");
  EXPECT_EQ(Left("abc", 2), "ab");
  EXPECT_EQ(Left("abc", -1), "");
  EXPECT_EQ(Right("abc", 2), "bc");
  EXPECT_EQ(Right("abc", 9), "abc");
  EXPECT_EQ(Right("abc", 0), "");
}

TEST(Strings, SearchReplaceAndBuild) {
  EXPECT_EQ(At("", "abc"), 0);
  EXPECT_EQ(At("b", "abcb"), 2);
  EXPECT_EQ(RAt("b", "abcb"), 4);
  EXPECT_EQ(At("x", "abc"), 0);
  EXPECT_EQ(RAt("", "abc"), 0);
  EXPECT_EQ(At("abcd", "abc"), 0);
  EXPECT_FALSE(Contains("", "abc"));
  EXPECT_TRUE(Contains("bc", "abc"));
  EXPECT_FALSE(Contains("abc", "bc"));
  EXPECT_EQ(StrTran("aaa", "aa", "b"), "ba");
  EXPECT_EQ(StrTran("abc", "", "x"), "abc");
  EXPECT_EQ(StrTran("a.b.c", ".", ""), "abc");
  EXPECT_EQ(StrTran("ab", "b", "bb"), "abb");
  EXPECT_EQ(Stuff("abcdef", 2, 3, "XY"), "aXYef");
  EXPECT_EQ(Stuff("abc", 10, 1, "Z"), "abcZ");
  EXPECT_EQ(Stuff("abc", 2, 99, ""), "a");
  EXPECT_EQ(Stuff("abc", 1, -1, "Z"), "Zabc");
  EXPECT_EQ(Replicate("ab", 3), "ababab");
  EXPECT_EQ(Replicate("ab", 0), "");
  EXPECT_EQ(Space(3), "   ");
  EXPECT_EQ(Space(-1), "");
  EXPECT_THROW(Replicate("x", 1LL << 40), RuntimeError);
  EXPECT_THROW(Space(1LL << 40), RuntimeError);
  EXPECT_EQ(PadL("abcdef", 3), "abc");
  EXPECT_EQ(PadL("ab", 4), "  ab");
  EXPECT_EQ(PadR("ab", 4), "ab  ");
  EXPECT_EQ(PadR("abcdef", 3), "abc");
  EXPECT_EQ(PadL("ab", 0), "");
  EXPECT_EQ(Upper("a\xC3\xB1z"), "A\xC3\xB1Z");
  EXPECT_EQ(Lower("A\xC3\x91Z"), "a\xC3\x91z");
  EXPECT_EQ(SplitText("a,,b", ','), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(SplitText("", ','), (std::vector<std::string>{""}));
  EXPECT_EQ(SplitText("a,", ','), (std::vector<std::string>{"a", ""}));
}

TEST(Encodings, BytesWindows1252AndUtf8) {
  EXPECT_EQ(Chr(65), "A");
  EXPECT_EQ(Chr(321), "A");
  EXPECT_EQ(Chr(-1), "\xFF");
  EXPECT_EQ(Chr(0), std::string(1, '\0'));
  EXPECT_EQ(Asc(""), 0);
  EXPECT_EQ(Asc("\xFF"), 255);
  EXPECT_EQ(Win1252ToUtf8("a\x80\xE9\x9F\xFF"), "a\xE2\x82\xAC\xC3\xA9\xC5\xB8\xC3\xBF");
  EXPECT_EQ(Win1252ToUtf8("\x81"), "\xC2\x81");
  EXPECT_EQ(Utf8Encode(0x41), "A");
  EXPECT_EQ(Utf8Encode(0xF1), "\xC3\xB1");
  EXPECT_EQ(Utf8Encode(0x20AC), "\xE2\x82\xAC");
  EXPECT_EQ(Utf8Encode(0x1F600), "\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf8Encode(0xD800), "\xEF\xBF\xBD");
  EXPECT_EQ(Utf8Encode(0x110000), "\xEF\xBF\xBD");
  const std::string text = "a\xC3\xB1" "b\xC3\xA7";  // a ñ b ç
  EXPECT_EQ(Utf8Length(text), 4u);
  EXPECT_EQ(Utf8Length(""), 0u);
  EXPECT_EQ(Utf8Length("\x80\x80"), 2u);  // stray continuation bytes count one each
  EXPECT_EQ(Utf8Length("\xC3"), 1u);       // a truncated sequence too
  EXPECT_EQ(Utf8Length("\xE2\x82\xAC\xF0\x9F\x98\x80"), 2u);
  EXPECT_EQ(Utf8SubStr(text, 2, 2), "\xC3\xB1" "b");
  EXPECT_EQ(Utf8SubStr(text, -1, 1), "\xC3\xA7");
  EXPECT_EQ(Utf8SubStr(text, 0, 1), "a");
  EXPECT_EQ(Utf8SubStr(text, 9, 1), "");
  EXPECT_EQ(Utf8SubStr(text, 1, 0), "");
  EXPECT_EQ(Utf8SubStr(text, 3, 99), "b\xC3\xA7");
  EXPECT_EQ(Utf8Chars(text), (std::vector<std::string>{"a", "\xC3\xB1", "b", "\xC3\xA7"}));
  std::string joined;
  for (uint32_t cp : {0x41u, 0xE9u, 0x20ACu, 0x10348u}) joined += Utf8Encode(cp);
  EXPECT_EQ(Utf8Length(joined), 4u);
}

TEST(Encodings, Base64Rfc4648) {
  const std::pair<const char*, const char*> vectors[] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},
                                                         {"foo", "Zm9v"},  {"foob", "Zm9vYg=="},  {"fooba", "Zm9vYmE="},
                                                         {"foobar", "Zm9vYmFy"}};
  for (const auto& [plain, encoded] : vectors) {
    EXPECT_EQ(Base64Encode(plain), encoded);
    EXPECT_EQ(Base64Decode(encoded), plain);
  }
  EXPECT_EQ(Base64Decode("Zg"), "f");
  EXPECT_EQ(Base64Decode("Zm8"), "fo");
  EXPECT_EQ(Base64Decode("Zg="), "f");
  for (const char* invalid : {"Zg=a", "Z", "Zg===", "Zm9v\n", "Zm 9v", "Zm9v=", "Zm9=v", "Zm8==", "Zm9v!A=="}) {
    EXPECT_EQ(Base64Decode(invalid), "") << invalid;
  }
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  EXPECT_EQ(Base64Decode(Base64Encode(all)), all);
  EXPECT_EQ(Base64Encode("\xFB\xFF"), "+/8=");
}

TEST(Compare, ExactEqualityAndThePrefixRule) {
  EXPECT_TRUE(ExactEqual(Value(5), Value(5.0)));
  EXPECT_FALSE(ExactEqual(Value("a"), Value("a ")));
  EXPECT_FALSE(ExactEqual(Value("5"), Value(5)));
  EXPECT_TRUE(ExactEqual(Value(), Value()));
  EXPECT_FALSE(ExactEqual(Value(), Value(false)));
  EXPECT_FALSE(RtNotEqual(Value("abc"), Value("")));
  EXPECT_TRUE(RtNotEqual(Value(""), Value("x")));
  EXPECT_FALSE(RtNotEqual(Value("rows"), Value("row")));
  EXPECT_TRUE(RtNotEqual(Value("row"), Value("rows")));
  EXPECT_TRUE(RtLess(Value("ab"), Value("abc")));
  EXPECT_FALSE(RtLess(Value("abc"), Value("ab")));
  EXPECT_TRUE(RtLessEqual(Value("abc"), Value("ab")));
  EXPECT_TRUE(RtGreaterEqual(Value("abc"), Value("ab")));
  EXPECT_FALSE(RtGreater(Value("abc"), Value("ab")));
  EXPECT_TRUE(RtGreater(Value("abd"), Value("abc")));
  EXPECT_TRUE(RtGreater(Value("\xC3\xA1"), Value("z")));  // bytes compare unsigned
  EXPECT_TRUE(RtLess(Value(1), Value(2.5)));
  EXPECT_FALSE(RtNotEqual(Value(2), Value(2.0)));
  EXPECT_TRUE(RtLess(Value(false), Value(true)));
  EXPECT_TRUE(RtLess(Value(Date{}), Value(MakeDate(1, 1, 1))));
  EXPECT_TRUE(RtLess(Value(MakeDate(2023, 1, 15)), Value(Timestamp{MakeDate(2023, 1, 15).day, 1})));
  EXPECT_TRUE(RtNotEqual(Value(), Value(5)));
  EXPECT_FALSE(RtNotEqual(Value(), Value()));
  EXPECT_THROW(RtLess(Value("a"), Value(1)), RuntimeError);
  EXPECT_THROW(RtNotEqual(Value("a"), Value(1)), RuntimeError);
  EXPECT_THROW(RtLess(Value(), Value(1)), RuntimeError);
}

TEST(Lists, ScanSizeTailAndStableSort) {
  Value names = List({Value("abc"), Value("x"), Value(2.0), Value(), Value(2)});
  EXPECT_EQ(AScan(names, Value("ab")), 1);
  EXPECT_EQ(AScan(names, Value("")), 1);
  EXPECT_EQ(AScan(names, Value("xy")), 0);
  EXPECT_EQ(AScan(names, Value(2)), 3);
  EXPECT_EQ(AScan(names, Value("2")), 0);
  EXPECT_EQ(AScan(names, Value()), 4);
  EXPECT_EQ(AScan(names, Value::Block([](std::span<const Value> args) {
              return Value(args[0].IsNumber() && args[0].AsNumber().isInteger);
            })),
            5);
  EXPECT_EQ(AScan(Value("abc"), Value("a")), 0);
  ASize(names, 7);
  EXPECT_EQ(names.Len(), 7u);
  EXPECT_TRUE(names.Item(7).IsNil());
  ASize(names, 2);
  EXPECT_EQ(ATail(names).AsString(), "x");
  EXPECT_TRUE(ATail(Value::NewArray()).IsNil());
  EXPECT_TRUE(ATail(Value(3)).IsNil());
  EXPECT_THROW(ASize(Value("x"), 1), RuntimeError);

  Value first = List({Value(1), Value("first")});
  Value second = List({Value(1), Value("second")});
  Value mixed = List({Value("b"), Value(3), Value("ab"), Value(1.5), first, Value("a"), second, Value(-2)});
  ASort(mixed);
  EXPECT_EQ(LiteralText(mixed), "{-2, 1.5, 3, \"a\", \"ab\", \"b\", {1, \"first\"}, {1, \"second\"}}");
}

TEST(Arithmetic, IntegersOverflowIntoDoublesAndKindsAreChecked) {
  const int64_t max = std::numeric_limits<int64_t>::max();
  const int64_t min = std::numeric_limits<int64_t>::min();
  EXPECT_TRUE(OpAdd(2, 3).AsNumber().isInteger);
  Value over = OpAdd(Value::Int(max), 1);
  EXPECT_FALSE(over.AsNumber().isInteger);
  EXPECT_DOUBLE_EQ(over.AsDouble(), 9223372036854775808.0);
  EXPECT_FALSE(OpSub(Value::Int(min), 1).AsNumber().isInteger);
  EXPECT_FALSE(OpMul(Value::Int(max), 2).AsNumber().isInteger);
  EXPECT_TRUE(OpMul(Value::Int(3), -4).AsNumber().isInteger);
  EXPECT_FALSE(OpNegate(Value::Int(min)).AsNumber().isInteger);
  EXPECT_EQ(OpNegate(Value(2.50)).AsNumber().decimals, 1);
  EXPECT_EQ(Shown(OpMod(Value::Int(min), -1)), "0.00");
  EXPECT_EQ(Decimals(OpDiv(Value(1.2345), 1)), 2);
  EXPECT_EQ(OpAdd("a", "b").AsString(), "ab");
  EXPECT_EQ(OpSub("a  ", "b").AsString(), "ab  ");
  try {
    OpDiv(1, 0);
    ADD_FAILURE() << "division by zero did not raise";
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.Description(), "Zero divisor");
    EXPECT_EQ(error.Operation(), "/");
  }
  EXPECT_THROW(OpMod(1, 0), RuntimeError);
  EXPECT_THROW(ModFunc(1, Value(0.0)), RuntimeError);
  EXPECT_THROW(OpDiv("a", 1), RuntimeError);
  EXPECT_THROW(OpAdd("a", 1), RuntimeError);
  EXPECT_THROW(OpAdd(Value(), 1), RuntimeError);
  EXPECT_THROW(OpMul(Value(true), 1), RuntimeError);
  EXPECT_THROW(OpNegate(Value("x")), RuntimeError);
  EXPECT_THROW(OpPow(Value::NewArray(), 1), RuntimeError);
  Number truncated = IntPart(Value(-2.7).AsNumber());
  EXPECT_TRUE(truncated.isInteger);
  EXPECT_EQ(truncated.i, -2);
  EXPECT_EQ(NumToText(AbsNumber(OpSub(Value(1.25), Value(3.75)).AsNumber())), "2.50");
  EXPECT_EQ(NumToText(AbsNumber(Number::Integer(-4))), "4");
}

TEST(Dates, CalendarArithmeticAndParts) {
  Date d = MakeDate(2023, 1, 15);
  EXPECT_EQ(Dow(d), 1);
  EXPECT_EQ(Dow(MakeDate(2023, 1, 21)), 7);
  EXPECT_EQ(Dow(MakeDate(2000, 1, 1)), 7);
  EXPECT_EQ(Dow(Date{}), 0);
  EXPECT_EQ(Year(d), 2023);
  EXPECT_EQ(Month(d), 1);
  EXPECT_EQ(Day(d), 15);
  EXPECT_EQ(Year(Date{}), 0);
  EXPECT_FALSE(MakeDate(2024, 2, 29).IsEmpty());
  EXPECT_TRUE(MakeDate(2023, 2, 29).IsEmpty());
  EXPECT_TRUE(MakeDate(1900, 2, 29).IsEmpty());
  EXPECT_FALSE(MakeDate(2000, 2, 29).IsEmpty());
  EXPECT_TRUE(MakeDate(2023, 13, 1).IsEmpty());
  EXPECT_EQ(DateToSerial(Date{}), "        ");
  EXPECT_TRUE(SerialToDate("        ").IsEmpty());
  EXPECT_TRUE(SerialToDate("2023011").IsEmpty());
  EXPECT_TRUE(SerialToDate("2023x115").IsEmpty());
  EXPECT_EQ(DateToSerial(SerialToDate("19991231")), "19991231");
  EXPECT_EQ(DateToSerial(OpAdd(Value(MakeDate(2023, 12, 31)), 1).AsDate()), "20240101");
  EXPECT_EQ(DateToSerial(OpSub(Value(MakeDate(2024, 3, 1)), 1).AsDate()), "20240229");
  EXPECT_EQ(OpSub(Value(MakeDate(2024, 3, 1)), Value(MakeDate(2024, 2, 1))).AsNumber().i, 29);
  EXPECT_TRUE(OpAdd(Value(Date{}), 5).AsDate().IsEmpty());
  EXPECT_THROW(OpAdd(Value(MakeDate(9999, 12, 31)), 1), RuntimeError);
  Timestamp t = OpAdd(Value(Timestamp{d.day, 86399000}), Value(0.5)).AsTimestamp();
  EXPECT_EQ(t.day, d.day + 1);
  EXPECT_EQ(t.ms, 43199000);
  EXPECT_DOUBLE_EQ(TimestampToDays(Timestamp{d.day, 43200000}), d.day + 0.5);
  EXPECT_EQ(TimeText().size(), 8u);
  EXPECT_FALSE(Today().IsEmpty());
  EXPECT_LE(MillisecondClock(), MillisecondClock());
}

TEST(HashShapes, CopiesAreEqualIndependentAndKeepTheRoomOfTheShape) {
  static constexpr std::string_view kKeys[] = {"a", "bb", "una_clave_bastante_larga_de_mas_de_treinta"};
  for (size_t room : {size_t{3}, size_t{5}}) {
    const Hash shape = Hash::Shape(kKeys, room);
    HashPtr copy = Hash::CopyOfShape(shape);
    ASSERT_EQ(copy->size(), 3u) << room;
    for (size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(copy->nth(i)->first, kKeys[i]) << room;
      EXPECT_TRUE(copy->nth(i)->second.IsNil()) << room;
    }
    EXPECT_GE(copy->capacity(), room) << room;
    // Filled by position, found by key; the shape itself stays empty.
    ShapeFiller put(*copy);
    put("a", Value(1));
    put("bb", Value("dos"));
    put("una_clave_bastante_larga_de_mas_de_treinta", Value(true));
    EXPECT_TRUE(put.Complete());
    copy->Put("extra", Value(4));
    EXPECT_EQ(ValueInt(*copy->Find("a")), 1) << room;
    EXPECT_EQ(ValueString(*copy->Find("bb")), "dos") << room;
    EXPECT_TRUE(copy->Find("una_clave_bastante_larga_de_mas_de_treinta")->AsBool()) << room;
    EXPECT_EQ(copy->nth(3)->first, "extra") << room;
    EXPECT_TRUE(shape.nth(0)->second.IsNil()) << room;
    EXPECT_EQ(shape.size(), 3u) << room;
    EXPECT_EQ(shape.Find("extra"), nullptr) << room;
  }
}

TEST(ValueIdentity, SameKindAndSameContentOrSameReference) {
  EXPECT_TRUE(Value().Identical(Value()));
  EXPECT_TRUE(Value(true).Identical(Value(true)));
  EXPECT_FALSE(Value(true).Identical(Value(false)));
  EXPECT_TRUE(Value(12).Identical(Value::Int(12)));
  // Numbers that compare equal but print differently are not identical.
  EXPECT_FALSE(Value(12).Identical(Value::Dbl(12, 1)));
  EXPECT_FALSE(Value::Dbl(1.5, 1).Identical(Value::Dbl(1.5, 2)));
  EXPECT_FALSE(Value(0.0).Identical(Value(-0.0)));
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_TRUE(Value::Dbl(nan, 1).Identical(Value::Dbl(nan, 1)));
  EXPECT_TRUE(Value("abc").Identical(Value(std::string("abc"))));
  EXPECT_FALSE(Value("abc").Identical(Value("abd")));
  EXPECT_FALSE(Value("1").Identical(Value(1)));
  EXPECT_FALSE(Value().Identical(Value("")));
  EXPECT_TRUE(Value(Date{5}).Identical(Value(Date{5})));
  EXPECT_FALSE(Value(Date{5}).Identical(Value(Timestamp{5, 0})));
  EXPECT_FALSE(Value(Timestamp{5, 1}).Identical(Value(Timestamp{5, 2})));
  // Collections by reference, not by content.
  Value a = Value::NewHash();
  Value b = Value::NewHash();
  EXPECT_TRUE(a.Identical(a));
  EXPECT_FALSE(a.Identical(b));
  Value list = Value::NewArray();
  EXPECT_TRUE(list.Identical(Value(list)));
  EXPECT_FALSE(list.Identical(Value::NewArray()));
}

TEST(RuntimeFiles, PathsWithNulCrOrLfAreRefusedByEveryFileOperation) {
  // A NUL used to cut the name short at the system call, so "x\0y" read, wrote or deleted "x".
  const std::string path = CreateTempFile("nv_paths_", ".txt");
  ASSERT_FALSE(path.empty());
  ASSERT_TRUE(WriteFile(path, "kept"));
  for (const std::string& bad : {path + std::string("\0.other", 7), path + "\n", path + "\r"}) {
    EXPECT_FALSE(IsUsablePath(bad));
    EXPECT_FALSE(FileExists(bad));
    EXPECT_EQ(ReadBinaryFile(bad), "");
    EXPECT_EQ(ReadTextFile(bad), "");
    EXPECT_FALSE(WriteFile(bad, "lost"));
    EXPECT_FALSE(DeleteFile(bad));
  }
  EXPECT_EQ(ReadBinaryFile(path), "kept");
  EXPECT_TRUE(DeleteFile(path));
  EXPECT_FALSE(IsUsablePath(""));
}

TEST(RuntimeFiles, OnlyRegularFilesAreReadAndNeverBlock) {
  // A FIFO without a writer would block the open; /dev/zero would never end; a directory has no bytes.
  const std::string fifo = CreateTempFile("nv_fifo_", "");
  ASSERT_TRUE(DeleteFile(fifo));
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string bytes = "stale";
  EXPECT_EQ(ReadBinaryFileLimited(fifo, 100, bytes), FileReadStatus::Missing);
  EXPECT_EQ(bytes, "");
  EXPECT_EQ(ReadBinaryFile(fifo), "");
  EXPECT_FALSE(FileExists(fifo));
  EXPECT_TRUE(DeleteFile(fifo));
  EXPECT_EQ(ReadBinaryFileLimited("/dev/zero", 100, bytes), FileReadStatus::Missing);
  EXPECT_EQ(ReadBinaryFile("/tmp"), "");
}

TEST(RuntimeFiles, BoundedReadRefusesFilesOverTheLimit) {
  const std::string path = CreateTempFile("nv_bound_", ".bin");
  ASSERT_TRUE(WriteFile(path, "0123456789"));
  std::string bytes;
  EXPECT_EQ(ReadBinaryFileLimited(path, 9, bytes), FileReadStatus::TooLarge);
  EXPECT_EQ(bytes, "");
  EXPECT_EQ(ReadBinaryFileLimited(path, 10, bytes), FileReadStatus::Ok);
  EXPECT_EQ(bytes, "0123456789");
  EXPECT_EQ(ReadBinaryFileLimited(path + ".missing", 10, bytes), FileReadStatus::Missing);
  DeleteFile(path);
}

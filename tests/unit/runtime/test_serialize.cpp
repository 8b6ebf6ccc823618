#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "Accessors.h"
#include "Hash.h"
#include "Json.h"
#include "Runtime.h"
#include "Value.h"
#include "Object.h"

using namespace nv;

namespace {

// Deep structural equality that also compares display decimals and the integer/double split,
// which ExactEqual deliberately ignores.
bool SameTree(const Value& a, const Value& b) {
  if (a.kind() != b.kind()) return false;
  switch (a.kind()) {
    case Kind::Number: {
      const Number& x = a.AsNumber();
      const Number& y = b.AsNumber();
      if (x.isInteger != y.isInteger || x.decimals != y.decimals) return false;
      if (x.isInteger) return x.i == y.i;
      return (std::isnan(x.d) && std::isnan(y.d)) || std::memcmp(&x.d, &y.d, sizeof x.d) == 0;
    }
    case Kind::Array: {
      if (a.Len() != b.Len()) return false;
      for (size_t i = 1; i <= a.Len(); ++i) {
        if (!SameTree(a.Item(i), b.Item(i))) return false;
      }
      return true;
    }
    case Kind::Hash: {
      if (a.Len() != b.Len()) return false;
      auto ia = a.AsHash().begin();
      auto ib = b.AsHash().begin();
      for (; ia != a.AsHash().end(); ++ia, ++ib) {
        if (ia->first != ib->first || !SameTree(ia->second, ib->second)) return false;
      }
      return true;
    }
    default: return ExactEqual(a, b);
  }
}

Value RoundTrip(const Value& v) {
  std::optional<Value> back = Deserialize(Serialize(v));
  EXPECT_TRUE(back.has_value());
  return back.value_or(Value("<failed>"));
}

}  // namespace

TEST(Serialize, ScalarsKeepKindValueAndDecimals) {
  const Value samples[] = {Value(),
                           Value(true),
                           Value(false),
                           Value::Int(0),
                           Value::Int(-7),
                           Value::Int(std::numeric_limits<int64_t>::min()),
                           Value::Int(std::numeric_limits<int64_t>::max()),
                           Value(2.822),
                           Value::Dbl(5.0, 2),
                           Value::Dbl(-0.0, 1),
                           Value::Dbl(1e300, 0),
                           Value::Dbl(std::numeric_limits<double>::infinity(), 2),
                           Value(""),
                           Value(std::string("a\0b\xff\x1a", 5)),
                           Value(Date{}),
                           Value(MakeDate(2023, 1, 15)),
                           Value(Timestamp{MakeDate(1999, 12, 31).day, 86399999})};
  for (const Value& v : samples) {
    Value back = RoundTrip(v);
    EXPECT_TRUE(SameTree(v, back)) << GenericText(v) << " came back as " << GenericText(back);
  }
  EXPECT_EQ(NumToText(RoundTrip(Value::Dbl(5.0, 2)).AsNumber()), "5.00");
}

TEST(Serialize, NestedPagesKeepKeyOrderAndBecomeIndependentCopies) {
  Value page = Value::NewHash();
  Value objects = Value::NewArray();
  page.Set("objetos", objects);
  for (int i = 0; i < 3; ++i) {
    Value object = Value::NewHash();
    object.Set("zIndex", i);
    object.Set("id", "obj" + std::to_string(i));
    object.Set("x", Value::Dbl(10.5 * i, 1));
    object.Set("extra", Value::NewArray(2));
    objects.Append(object);
  }
  page.Set("empty", Value::NewHash());
  Value back = RoundTrip(page);
  EXPECT_TRUE(SameTree(page, back));
  EXPECT_FALSE(back.SameRef(page));
  Value keys = HashKeys(back["objetos"].Item(2));
  ASSERT_EQ(keys.Len(), 4u);
  EXPECT_EQ(keys.Item(1).AsString(), "zIndex");
  EXPECT_EQ(keys.Item(4).AsString(), "extra");
  EXPECT_TRUE(back["objetos"].Item(3)["extra"].Item(2).IsNil());
}

TEST(Serialize, KeysAndTextsOfEveryShortLengthAndLargeValues) {
  // Short keys and texts are copied by fixed-size moves that depend on the length; every length
  // around those sizes, and texts long enough to regrow the buffer, must come back byte for byte.
  Value page = Value::NewHash();
  std::string big;
  for (size_t length = 0; length <= 40; ++length) {
    std::string key;
    for (size_t i = 0; i < length; ++i) key += static_cast<char>('a' + (i * 7 + length) % 26);
    page.Set(key, Value(key + std::string(1, '\0') + key));
  }
  for (int i = 0; i < 5000; ++i) big += static_cast<char>(i % 251);
  page.Set("grande", big);
  page.Set("negativo", Value::Int(std::numeric_limits<int64_t>::min()));
  page.Set("bits", Value::Dbl(-0.0, 3));
  page.Set("lista", Value::FromArray({Value(Date{2460000}), Value(Timestamp{2460000, 86399999}), Value()}));
  std::string bytes = Serialize(page);
  Value back = RoundTrip(page);
  EXPECT_TRUE(SameTree(page, back));
  EXPECT_EQ(ValueString(HGet(back, "grande")), big);
  // The same value always gives the same bytes.
  EXPECT_EQ(Serialize(back), bytes);
}

namespace {

// A hash with keys k0..k(n-1), in the order given by `order` when not empty, valued by `seed`.
Value KeyedHash(size_t n, int seed, const std::vector<size_t>& order = {}) {
  Value h = Value::NewHash();
  for (size_t i = 0; i < n; ++i) {
    size_t k = order.empty() ? i : order[i];
    std::string key = "k", text = "t";
    key += std::to_string(k);
    text += std::to_string(seed);
    h.Set(key, (k + seed) % 3 == 0 ? Value(text) : Value::Int(static_cast<int64_t>(seed * 100 + k)));
  }
  return h;
}

}  // namespace

TEST(Serialize, HashesSharingKeysComeBackWithTheirOwnValuesAndOrder) {
  Value list = Value::NewArray();
  for (int seed = 0; seed < 5; ++seed) list.Append(KeyedHash(8, seed));         // one shape, repeated
  list.Append(KeyedHash(3, 1));                                                 // too small to share
  list.Append(KeyedHash(3, 2));
  list.Append(KeyedHash(4, 1));                                                 // the smallest shared
  list.Append(KeyedHash(4, 2));
  list.Append(KeyedHash(8, 9, {1, 0, 2, 3, 4, 5, 6, 7}));                       // same keys, other order
  list.Append(KeyedHash(9, 3));                                                 // one key more
  Value renamed = KeyedHash(8, 4);
  renamed.Remove("k7");
  renamed.Set("k7x", Value::Int(1));
  list.Append(renamed);                                                         // one key differs
  // A hash holding a hash of its own keys, then more of both.
  Value outer = KeyedHash(8, 5);
  outer.Set("k3", KeyedHash(8, 6));
  list.Append(outer);
  list.Append(KeyedHash(8, 7, {1, 0, 2, 3, 4, 5, 6, 7}));
  // More distinct shapes than are remembered: the later ones are written whole every time.
  for (int shape = 0; shape < 20; ++shape) {
    for (int copy = 0; copy < 2; ++copy) {
      Value h = KeyedHash(8, copy);
      h.Set("extra" + std::to_string(shape), Value::Int(copy));
      list.Append(h);
    }
  }
  list.Append(KeyedHash(8, 8));
  // Runs of equal values, and positions whose kind changes from one hash to the next.
  list.Append(KeyedHash(8, 8));
  list.Append(KeyedHash(8, 8));
  Value odd = KeyedHash(8, 8);
  odd.Set("k0", Value::FromArray({Value::Int(1)}));
  odd.Set("k1", Value::Dbl(801.0, 2));  // equal as a number, not in its decimals
  odd.Set("k2", Value());
  odd.Set("k4", MakeDate(2024, 1, 2));
  list.Append(odd);
  Value again = KeyedHash(8, 8);
  again.Set("k0", Value::FromArray({Value::Int(1)}));  // an equal array is still its own copy
  again.Set("k2", Value());
  list.Append(again);
  list.Append(KeyedHash(8, 8));
  Value back = RoundTrip(list);
  EXPECT_TRUE(SameTree(list, back)) << LiteralText(back);
  const size_t n = list.Len();
  EXPECT_FALSE(back.Item(n - 1)["k0"].SameRef(back.Item(n - 2)["k0"]));
  // Objects and blocks become nil, so a later nil at their place is written, not taken over.
  Value withObject = KeyedHash(8, 1);
  withObject.Set("k3", Value(std::make_shared<Object>()));
  Value withNil = KeyedHash(8, 1);
  withNil.Set("k3", Value());
  Value pair = RoundTrip(Value::FromArray({withObject, withNil, KeyedHash(8, 1)}));
  EXPECT_TRUE(pair.Item(1)["k3"].IsNil());
  EXPECT_TRUE(pair.Item(2)["k3"].IsNil());
  EXPECT_EQ(ValueInt(pair.Item(3)["k3"]), 103);
  // Copies made from a remembered shape are independent of each other.
  back.Item(1).Set("k0", "changed");
  EXPECT_EQ(ValueInt(back.Item(2)["k0"]), 100);
  back.Item(2).Set("new", Value::Int(1));
  EXPECT_FALSE(back.Item(3).Has("new"));

  // Repeated keys are written once.
  Value two = Value::FromArray({KeyedHash(20, 1), KeyedHash(20, 2)});
  const size_t keyBytes = 10 * 3 + 10 * 4;  // "k0".."k9", "k10".."k19" with their lengths
  EXPECT_EQ(Serialize(two).size() + keyBytes, Serialize(two.Item(1)).size() + Serialize(two.Item(2)).size() + 2);
}

TEST(Serialize, ForgedShapeReferencesAreRejected) {
  Value two = Value::FromArray({KeyedHash(8, 1), KeyedHash(8, 2)});
  std::string bytes = Serialize(two);
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    EXPECT_FALSE(Deserialize(bytes.substr(0, cut)).has_value()) << "cut at " << cut;
  }
  // A reference to a shape not seen yet, and one beyond the last.
  EXPECT_FALSE(Deserialize(std::string("K\x00", 2)).has_value());
  std::string lone = Serialize(Value::FromArray({KeyedHash(8, 1)}));
  EXPECT_FALSE(Deserialize(lone.substr(0, 1) + "\x02" + lone.substr(2) + "K\x01UUUUUUUU").has_value());
  // A repeat marker outside a shaped hash, or standing for a collection, is refused.
  EXPECT_FALSE(Deserialize("S").has_value());
  Value nested = KeyedHash(8, 1);
  nested.Set("k0", Value::NewArray());
  std::string withArray = Serialize(Value::FromArray({nested}));
  EXPECT_FALSE(Deserialize(std::string("A\x02") + withArray.substr(2) + std::string("K\x00SUUUUUUU", 10)).has_value());
  EXPECT_TRUE(Deserialize(std::string("A\x02") + withArray.substr(2) + std::string("K\x00USUUUUUU", 10)).has_value());
  // A reference whose values run short of the shape's keys.
  std::string arrayOfTwo = std::string("A\x02") + lone.substr(2);
  EXPECT_FALSE(Deserialize(arrayOfTwo + std::string("K\x00UUUUUUU", 9)).has_value());
  EXPECT_TRUE(Deserialize(arrayOfTwo + std::string("K\x00UUUUUUUU", 10)).has_value());
}

TEST(Serialize, ObjectsAndBlocksBecomeNil) {
  Value h = Value::NewHash();
  h.Set("block", Value::Block([](std::span<const Value>) { return Value(1); }));
  h.Set("object", Value(std::make_shared<Object>()));
  Value back = RoundTrip(h);
  EXPECT_TRUE(back["block"].IsNil());
  EXPECT_TRUE(back["object"].IsNil());
}

TEST(Serialize, MalformedInputIsRejectedNotTrusted) {
  Value nested = Value::NewArray();
  nested.Append("text");
  nested.Append(Value::Int(42));
  std::string bytes = Serialize(nested);
  EXPECT_FALSE(Deserialize("").has_value());
  EXPECT_FALSE(Deserialize("?").has_value());
  EXPECT_FALSE(Deserialize(bytes + "U").has_value());  // trailing garbage
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    EXPECT_FALSE(Deserialize(bytes.substr(0, cut)).has_value()) << "cut at " << cut;
  }
  // A forged element count far beyond the input must not allocate or read past the end.
  EXPECT_FALSE(Deserialize(std::string("A\xff\xff\xff\xff\x0f", 6)).has_value());
  EXPECT_FALSE(Deserialize(std::string("H\xff\xff\xff\xff\x0f", 6)).has_value());
  // Absurd nesting is refused instead of exhausting the stack.
  EXPECT_FALSE(Deserialize(std::string(100000, 'A')).has_value());
}

TEST(Files, ReadWriteExistDelete) {
  std::string path = CreateTempFile("vbk_ir_", ".pag");
  ASSERT_FALSE(path.empty());
  EXPECT_TRUE(FileExists(path));
  EXPECT_EQ(ReadBinaryFile(path), "");
  EXPECT_TRUE(WriteFile(path, std::string("{\"a\":1}\x1a", 8)));
  EXPECT_EQ(ReadTextFile(path), "{\"a\":1}");
  EXPECT_EQ(ReadBinaryFile(path).size(), 8u);
  EXPECT_EQ(ReadJsonFile(path)["a"].AsNumber().i, 1);
  EXPECT_TRUE(WriteFile(path, "x\x1a\x1a"));
  EXPECT_EQ(ReadTextFile(path), "x\x1a");  // only one end-of-file mark is removed
  EXPECT_TRUE(DeleteFile(path));
  EXPECT_FALSE(FileExists(path));
  EXPECT_FALSE(DeleteFile(path));
  EXPECT_EQ(ReadTextFile(path), "");
  EXPECT_EQ(ReadTextFile(""), "");
  EXPECT_EQ(ReadBinaryFile("/"), "");  // a directory is not a file
  EXPECT_FALSE(FileExists("/"));
  EXPECT_FALSE(WriteFile("", "x"));
  EXPECT_FALSE(WriteFile("/nonexistent-dir/x", "x"));
}

TEST(Files, TempFilesAreUniquePrivateAndInTheTempDirectory) {
  std::string a = CreateTempFile("vbk_ir_", "tmp");
  std::string b = CreateTempFile("vbk_ir_", ".tmp");
  std::string c = CreateTempFile("../evil/", "");
  ASSERT_FALSE(a.empty());
  ASSERT_FALSE(b.empty());
  ASSERT_FALSE(c.empty());
  EXPECT_NE(a, b);
  EXPECT_EQ(a.substr(a.size() - 4), ".tmp");
  EXPECT_EQ(b.substr(b.size() - 4), ".tmp");
  EXPECT_NE(a.find("/vbk_ir_"), std::string::npos);
  EXPECT_EQ(DirPart(a), DirPart(b));
  EXPECT_EQ(DirPart(c), DirPart(a));  // the prefix cannot leave the directory
  struct stat info {};
  ASSERT_EQ(::stat(a.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  for (const std::string& path : {a, b, c}) EXPECT_TRUE(DeleteFile(path));
}

TEST(Files, DirPartKeepsTheLastSeparator) {
  EXPECT_EQ(DirPart("/tmp/a/b.json"), "/tmp/a/");
  EXPECT_EQ(DirPart("b.json"), "");
  EXPECT_EQ(DirPart("/"), "/");
  EXPECT_EQ(PathSeparator(), "/");
  EXPECT_EQ(LineTerminator(), "\r\n");
}

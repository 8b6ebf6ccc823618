// Hashes that are copies of one another share their key table; these tests change copies in
// every way a key table can change and check that no change reaches another hash.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Accessors.h"
#include "Hash.h"
#include "Value.h"

using namespace nv;

namespace {

std::vector<std::string> KeysOf(const Hash& hash) {
  std::vector<std::string> keys;
  for (const auto& [key, value] : hash) keys.push_back(key.str());
  return keys;
}

// A hash of `count` keys "k0", "k1", ... whose values are their numbers.
Hash Numbered(int count) {
  Hash hash;
  for (int i = 0; i < count; ++i) hash.Put("k" + std::to_string(i), Value(i));
  return hash;
}

// Every key of the hash is found at its place with its value.
void ExpectEveryKeyFound(const Hash& hash) {
  for (size_t i = 0; i < hash.size(); ++i) {
    const HashKey& key = hash.KeyAt(i);
    ASSERT_EQ(hash.IndexOf(key), i) << key;
    ASSERT_EQ(hash.Find(key), &hash.ValueAt(i)) << key;
  }
}

}  // namespace

TEST(HashKeyTables, CopiesChangeTheirKeysWithoutReachingEachOther) {
  // Small tables are scanned and larger ones indexed: both kinds, and sizes at the boundary.
  for (int count : {0, 3, 8, 9, 40}) {
    const Hash original = Numbered(count);
    Hash added = original;
    Hash erased = original;
    Hash replaced = original;
    added.Put("nueva", Value("n"));
    if (count > 0) {
      erased.Erase("k0");
      replaced.Put("k" + std::to_string(count / 2), Value("otro"));
    }

    EXPECT_EQ(original.size(), static_cast<size_t>(count));
    EXPECT_EQ(original.Find("nueva"), nullptr);
    EXPECT_EQ(added.size(), static_cast<size_t>(count) + 1);
    EXPECT_EQ(KeysOf(added).back(), "nueva");
    EXPECT_EQ(erased.size(), static_cast<size_t>(count > 0 ? count - 1 : 0));
    EXPECT_EQ(erased.Find("k0"), nullptr);
    EXPECT_EQ(replaced.size(), static_cast<size_t>(count));
    if (count > 0) {
      EXPECT_NE(original.Find("k0"), nullptr);
      EXPECT_EQ(ValueInt(*original.Find("k" + std::to_string(count / 2))), count / 2);
      EXPECT_EQ(ValueString(*replaced.Find("k" + std::to_string(count / 2))), "otro");
    }
    for (const Hash* hash : std::vector<const Hash*>{&original, &added, &erased, &replaced}) ExpectEveryKeyFound(*hash);
    EXPECT_TRUE(original.SameKeys(replaced));
    EXPECT_FALSE(original.SameKeys(added));
  }
}

TEST(HashKeyTables, CopiesThatGrowByTheSameKeyStayApartAfterwards) {
  const Hash shape = Hash::Shape(std::vector<std::string_view>{"id", "x", "y", "texto"}, 5);
  HashPtr first = Hash::CopyOfShape(shape);
  HashPtr second = Hash::CopyOfShape(shape);
  first->Put("tag", Value(1));
  second->Put("tag", Value(2));
  EXPECT_TRUE(first->SameKeys(*second));
  EXPECT_EQ(shape.Find("tag"), nullptr);

  // Each copy goes on growing on its own, also once the other has gone.
  first->Put("solo_primero", Value(true));
  EXPECT_EQ(second->Find("solo_primero"), nullptr);
  second.reset();
  first->Put("mas", Value(3));
  HashPtr third = Hash::CopyOfShape(shape);
  third->Put("tag", Value(4));
  EXPECT_EQ(KeysOf(*third), (std::vector<std::string>{"id", "x", "y", "texto", "tag"}));
  EXPECT_EQ(KeysOf(*first), (std::vector<std::string>{"id", "x", "y", "texto", "tag", "solo_primero", "mas"}));
  EXPECT_EQ(ValueInt(*first->Find("tag")), 1);
  EXPECT_EQ(ValueInt(*third->Find("tag")), 4);

  // A copy that alone holds the grown keys and goes on growing leaves the grown keys as they were
  // for the next copy that grows the same way.
  HashPtr alone = Hash::CopyOfShape(shape);
  alone->Put("otra", Value(0));
  alone->Put("despues", Value(0));
  HashPtr next = Hash::CopyOfShape(shape);
  next->Put("otra", Value(1));
  EXPECT_EQ(KeysOf(*next), (std::vector<std::string>{"id", "x", "y", "texto", "otra"}));
  EXPECT_EQ(next->IndexOf("despues"), HashKeyTable::npos);
  next->Put("despues", Value(2));
  EXPECT_EQ(next->size(), 6u);
  EXPECT_EQ(ValueInt(*alone->Find("despues")), 0);

  // A copy that alone holds the grown keys and removes one keeps the others' keys intact.
  HashPtr fourth = Hash::CopyOfShape(shape);
  fourth->Put("tag", Value(5));
  third->Erase("x");
  EXPECT_EQ(KeysOf(*fourth), (std::vector<std::string>{"id", "x", "y", "texto", "tag"}));
  EXPECT_EQ(KeysOf(*third), (std::vector<std::string>{"id", "y", "texto", "tag"}));
  for (const HashPtr& hash : {first, third, fourth}) ExpectEveryKeyFound(*hash);
}

TEST(HashKeyTables, ACopyGrownKeyByKeyFindsEveryKey) {
  // A copy of a shared table that goes on adding keys, across the index threshold and several
  // index growths, then loses keys from the front and the middle.
  const Hash base = Numbered(4);
  Hash grown = base;
  for (int i = 4; i < 300; ++i) grown.Put("k" + std::to_string(i), Value(i));
  ExpectEveryKeyFound(grown);
  for (int i = 0; i < 300; i += 7) grown.Erase("k" + std::to_string(i));
  ExpectEveryKeyFound(grown);
  EXPECT_EQ(grown.size(), 300u - 43u);
  EXPECT_EQ(grown.Find("k7"), nullptr);
  EXPECT_EQ(ValueInt(*grown.Find("k8")), 8);
  EXPECT_EQ(base.size(), 4u);
  ExpectEveryKeyFound(base);

  // Emptied down to a scanned table and filled again.
  Hash shrinking = Numbered(20);
  for (int i = 0; i < 18; ++i) shrinking.Erase("k" + std::to_string(i));
  ExpectEveryKeyFound(shrinking);
  for (int i = 0; i < 18; ++i) shrinking.Put("n" + std::to_string(i), Value(i));
  EXPECT_EQ(shrinking.size(), 20u);
  ExpectEveryKeyFound(shrinking);
  // The empty key, also asked for with a view that points nowhere, in a scanned and an indexed table.
  Hash withEmptyKey;
  withEmptyKey.Put("", Value(1));
  EXPECT_EQ(withEmptyKey.IndexOf(std::string_view()), 0u);
  shrinking.Put("", Value(2));
  EXPECT_EQ(ValueInt(*shrinking.Find(std::string_view())), 2);
  shrinking.clear();
  EXPECT_TRUE(shrinking.empty());
  EXPECT_EQ(shrinking.Find("k19"), nullptr);
}

TEST(HashKeyTables, ClonesAndRefilledShapesKeepTheirOwnValues) {
  Value original = Value::NewHash();
  for (int i = 0; i < 12; ++i) original.Set("k" + std::to_string(i), Value::NewArray());
  Value clone = original.Clone();
  clone["k3"].Append(Value(1));
  clone.Set("k12", Value(12));
  EXPECT_EQ(original["k3"].Len(), 0u);
  EXPECT_FALSE(original.Has("k12"));

  // A hash nobody else holds is refilled in place only when its keys are the shape's.
  const Hash shape = Hash::Shape(std::vector<std::string_view>{"a", "b", "c", "d"}, 4);
  Value held(Hash::CopyOfShape(shape));
  EXPECT_EQ(Hash::RefillableOrCopyOfShape(held, shape), *held.HashRef());
  held.Set("e", Value(1));
  EXPECT_NE(Hash::RefillableOrCopyOfShape(held, shape), *held.HashRef());
  Value sameKeysOwnTable = Value::NewHash();
  for (const char* key : {"a", "b", "c", "d"}) sameKeysOwnTable.Set(key, Value());
  EXPECT_EQ(Hash::RefillableOrCopyOfShape(sameKeysOwnTable, shape), *sameKeysOwnTable.HashRef());
}

// The shared empty hash stands in for missing variables everywhere: a write through any caller
// would show up in all the others, so every way of writing raises and the hash stays empty.
TEST(SealedHashes, TheSharedEmptyHashRefusesEveryWriteAndItsCopiesAcceptThem) {
  const Value& empty = EmptyHash();
  ASSERT_TRUE(empty.IsHash());
  EXPECT_TRUE(empty.AsHash().Sealed());
  EXPECT_EQ(&EmptyHash(), &empty);
  EXPECT_THROW(empty.Set("x", Value(1)), RuntimeError);
  EXPECT_THROW(empty.AsHash().Put("x", Value(1)), RuntimeError);
  EXPECT_THROW(empty.AsHash().reserve(4), RuntimeError);
  EXPECT_THROW(empty.AsHash() = Numbered(2), RuntimeError);
  EXPECT_THROW(empty.AsHash() = Hash(), RuntimeError);
  empty.AsHash().clear();
  empty.AsHash().Erase("x");
  Hash movedOut(std::move(empty.AsHash()));
  EXPECT_TRUE(empty.AsHash().Sealed());
  EXPECT_TRUE(empty.AsHash().empty());
  EXPECT_THROW(empty.AsHash().Put("x", Value(1)), RuntimeError);

  // Copies, clones and moved-out hashes are ordinary hashes.
  Hash copy = empty.AsHash();
  copy.Put("a", Value(1));
  Value clone = empty.Clone();
  clone.Set("b", Value(2));
  movedOut.Put("c", Value(3));
  EXPECT_FALSE(copy.Sealed());
  EXPECT_EQ(KeysOf(copy), std::vector<std::string>{"a"});
  EXPECT_EQ(clone.Len(), 1u);
  EXPECT_EQ(KeysOf(movedOut), std::vector<std::string>{"c"});
  EXPECT_TRUE(empty.AsHash().empty());

  // Only an empty hash can be sealed.
  Hash full = Numbered(1);
  EXPECT_THROW(full.Seal(), RuntimeError);
  EXPECT_FALSE(full.Sealed());
}

// The key lists `norvane check` and the template schema are built from agree with the loaders:
// every listed type is made by the object factory, and what an object saves is read back.
#include <gtest/gtest.h>

#include "Accessors.h"
#include "TemplateKeys.h"
#include "TemplateSchema.h"
#include "objects/ObjectFactory.h"
#include "objects/TObjectBase.h"

using namespace nv;
using namespace nv::cli;

TEST(TemplateKeys, EveryTypeIsMadeByTheFactoryAndReadsBackWhatItSaves) {
  ASSERT_EQ(ObjectTypes().size(), 10u);
  for (const ObjectType& type : ObjectTypes()) {
    Value object = ObjectFactory::New(type.name, Value());
    ASSERT_FALSE(object.IsNil()) << type.name;
    Value saved = object.As<TObjectBase>()->Save();
    for (const auto& entry : saved.AsHash()) {
      EXPECT_NE(FindKey(type.keys, entry.first), nullptr) << type.name << " saves " << entry.first << " but no list has it";
    }
    object.As<TObjectBase>()->End();
  }
}

TEST(TemplateKeys, LetterCaseFollowsTheLoader) {
  const ObjectType* text = FindObjectType("TText");
  const ObjectType* rectangle = FindObjectType("TRectangle");
  ASSERT_NE(text, nullptr);
  ASSERT_NE(rectangle, nullptr);
  EXPECT_NE(FindKey(text->keys, "ctextalign"), nullptr);  // the text reads its own keys in any case
  EXPECT_EQ(FindKey(text->keys, "nleft"), nullptr);       // the base keys only as written
  EXPECT_EQ(FindKey(rectangle->keys, "cText"), nullptr);
  EXPECT_EQ(FindObjectType("ttext"), nullptr);            // type names are exact
  EXPECT_EQ(NearestKey(text->keys, "cFontNmae")->name, "cFontName");
  EXPECT_TRUE(FindKey(text->keys, "cText")->formula);
  EXPECT_TRUE(FindKey(rectangle->keys, "cBackgroundColorFormula")->formula);
  EXPECT_FALSE(FindKey(rectangle->keys, "nLeft")->formula);
}

TEST(TemplateSchema, EachTypeIsClosedOverItsKeys) {
  const Value schema = TemplateSchema::Build();
  const Value defs = HGet(schema, "$defs");
  for (const ObjectType& type : ObjectTypes()) {
    const Value definition = HGet(defs, "object." + std::string(type.name));
    EXPECT_TRUE(HGet(definition, "additionalProperties").IsFalse()) << type.name;
    EXPECT_EQ(HGet(definition, "properties").Len(), type.keys.size()) << type.name;
  }
  const Value fontSize = HGet(HGet(HGet(defs, "object.TText"), "properties"), "nFontSize");
  EXPECT_EQ(ValueString(HGet(fontSize, "type")), "number");
}

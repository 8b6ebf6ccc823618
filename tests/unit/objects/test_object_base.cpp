#include "objects/TObjectBase.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Accessors.h"
#include "Runtime.h"
#include "document/TDocument.h"
#include "layout_test_support.h"

using namespace nv;
using namespace nv::testing_support;

namespace {

// Opens the protected colour and padding helpers to the tests.
struct BaseAccess : TObjectBase {
  using TObjectBase::PaddingRenderizable;
  static std::shared_ptr<BaseAccess> Make() {
    auto object = std::make_shared<BaseAccess>();
    object->Init();
    return object;
  }
};

}  // namespace

TEST(ObjectBase, SaveOfFreshObjectListsThePersistedMembersInOrder) {
  auto object = TObjectBase::New();
  Value saved = object->Save();
  std::vector<std::string> expected = {
      "cId", "cName", "cType", "nLeft", "nTop", "nWidth", "nHeight", "lVisible", "lLocked", "lSelected",
      "nLayerId", "nZIndex", "cBorderColor", "cBorderColorFormula", "nBorderWidth", "lBorderTop",
      "lBorderRight", "lBorderBottom", "lBorderLeft", "cBackgroundColor", "cBackgroundColorFormula",
      "cFillStyle", "nPattern", "cFillColor2", "cFillColor2Formula", "cFillColor3", "cFillColor3Formula",
      "nFillOpacity", "nFillGradientFactor", "nRounded", "nShadowSize", "nShadowTransparency",
      "cShadowColor", "cShadowColorFormula", "nRotation", "nOpacity", "cCondition", "nPaddingTop",
      "nPaddingRight", "nPaddingBottom", "nPaddingLeft", "nVb12LinkID", "nVb12LinkToID", "nVb12LinkMode",
      "nVb12GroupId", "lVb12WrapBefore"};
  EXPECT_EQ(Keys(saved), expected);
  EXPECT_VALUE(saved["cId"], Value(""));
  EXPECT_VALUE(saved["cName"], Value("Objeto"));
  EXPECT_VALUE(saved["cType"], Value("TObjectBase"));
  EXPECT_VALUE(saved["nZIndex"], Value(1));
  EXPECT_DOUBLE_EQ(saved["nBorderWidth"].AsDouble(), 0.1);
  EXPECT_VALUE(saved["nFillGradientFactor"], Value(50));
  EXPECT_VALUE(saved["lVb12WrapBefore"], Value(false));
  EXPECT_FALSE(saved.Has("oParent"));
  // The saved hash is a new one: changing it leaves the object alone.
  saved.Set("cId", "otro");
  EXPECT_VALUE(object->cId, Value(""));
}

TEST(ObjectBase, LoadCopiesExactKeysWithoutConversion) {
  auto object = TObjectBase::New();
  object->Load(HashOf({{"cid", "wrong"}, {"nLeft", "5"}, {"nWidth", 7}, {"lVisible", "no"}, {"nVb12LinkID", 42}}));
  EXPECT_VALUE(object->cId, Value(""));
  EXPECT_VALUE(object->nLeft, Value("5"));
  EXPECT_VALUE(object->lVisible, Value("no"));
  EXPECT_VALUE(object->nVb12LinkID, Value(42));
  EXPECT_VALUE(object->NRight(), Value(12));  // the text 5 reads as 5 where it is used
  EXPECT_VALUE(object->Save()["nLeft"], Value("5"));

  object->Load(Value("not a hash"));
  object->Load(Value());
  EXPECT_VALUE(object->nLeft, Value("5"));

  object->FromJSON(HashOf({{"cId", "obj1"}, {"nTop", 2.5}, {"nHeight", 1}}));
  EXPECT_VALUE(object->cId, Value("obj1"));
  EXPECT_DOUBLE_EQ(object->NBottom().AsDouble(), 3.5);
  EXPECT_VALUE(object->ToJSON()["cId"], Value("obj1"));
}

TEST(ObjectBase, EvaluarColorWithoutFormulaNeedsNoContext) {
  auto object = TObjectBase::New();
  EXPECT_VALUE(object->EvaluarColor(Value(), Value(""), Value("#FFF"), Value(true)), Value("#000000"));
  EXPECT_VALUE(object->EvaluarColor(Value(), Value("   "), Value("#ABCDEF"), Value(true)), Value("#abcdef"));
  // Plain mode passes the static colour through unvalidated.
  EXPECT_VALUE(object->EvaluarColor(Value(), Value(""), Value("red")), Value("red"));
  EXPECT_VALUE(object->EvaluarColor(Value(), Value(), Value("transparent"), Value(false)), Value("transparent"));
  EXPECT_EQ(object->EvaluarColor(Value(), Value(""), Value("#ABCDEF"), ColorMode::Plain), "#ABCDEF");
}

TEST(ObjectBase, PaddingIsNumericAndNeverNegative) {
  auto object = BaseAccess::Make();
  object->Load(
      HashOf({{"nPaddingTop", "2,5"}, {"nPaddingRight", -3}, {"nPaddingBottom", true}, {"nPaddingLeft", 1.25}}));
  Value padding = object->PaddingRenderizable();
  EXPECT_EQ(Keys(padding),
            (std::vector<std::string>{"paddingSuperior", "paddingDerecho", "paddingInferior", "paddingIzquierdo"}));
  EXPECT_DOUBLE_EQ(padding["paddingSuperior"].AsDouble(), 2.5);
  EXPECT_VALUE(padding["paddingDerecho"], Value(0));
  EXPECT_VALUE(padding["paddingInferior"], Value(0));  // a logical is not a number here
  EXPECT_DOUBLE_EQ(padding["paddingIzquierdo"].AsDouble(), 1.25);
}

TEST(ObjectBase, OwnFlagDecidesVisibilityWithoutConditions) {
  auto object = TObjectBase::New();
  EXPECT_VALUE(object->EsVisibleEnEjecucion(Value()), Value(true));
  for (const Value& hidden : {Value(false), Value(0), Value("no"), Value("")}) {
    object->lVisible = hidden;
    EXPECT_VALUE(object->EsVisibleEnEjecucion(Value()), Value(false)) << hidden;
  }
  for (const Value& shown : {Value("Si"), Value(2), Value(true)}) {
    object->lVisible = shown;
    EXPECT_VALUE(object->EsVisibleEnEjecucion(Value()), Value(true)) << shown;
  }
}

TEST(ObjectBase, RespondsToMembersAndMethodsIgnoringCase) {
  auto object = TObjectBase::New();
  Value v(object);
  EXPECT_TRUE(RespondsTo(v, "oParent"));
  EXPECT_TRUE(RespondsTo(v, "cid"));
  EXPECT_TRUE(RespondsTo(v, "lVb12WrapBefore"));
  EXPECT_TRUE(RespondsTo(v, "generarrenderizable"));
  EXPECT_TRUE(RespondsTo(v, "EsVisibleEnEjecucion"));
  EXPECT_FALSE(RespondsTo(v, "GetLayerCondition"));
  EXPECT_FALSE(RespondsTo(v, "cText"));
}

TEST(ObjectBase, EndClearsTheOwner) {
  auto document = TDocument::New();
  auto object = TObjectBase::New(Value(document));
  EXPECT_TRUE(object->oParent.IsObject());
  EXPECT_TRUE(object->End().IsNil());
  EXPECT_TRUE(object->oParent.IsNil());
  EXPECT_VALUE(object->GenerarRenderizable(Value()), Value());
}

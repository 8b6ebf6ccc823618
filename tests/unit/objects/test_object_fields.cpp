// Tests generated from the member rows of every layout class: each member a render reads reaches
// the next render (also through the text's kept render), each saved member survives Save and Load,
// and each member is answered for by RespondsTo. A new row is covered without a new test.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Accessors.h"
#include "Runtime.h"
#include "objects/Field.h"
#include "objects/TBarcode.h"
#include "objects/TChart.h"
#include "objects/TEllipse.h"
#include "objects/TImage.h"
#include "objects/TLine.h"
#include "objects/TObjectBaseFields.h"
#include "objects/TRectangle.h"
#include "objects/TText.h"
#include "layout_test_support.h"
#include "objects/execution_support.h"

using namespace nv;
using namespace nv::testing_support;

namespace {

// Values of each kind to try on a member, in order: a formula reading data (DATOS.COLOR of
// Execution, "#ABCDEF"), a colour, a vertical
// alignment and a fit mode, a number that is a true formula and a size, and plain numbers. Some
// member reaches its render with one of them whatever its conversion.
std::vector<Value> Candidates(FieldKind kind, const Value& current) {
  std::vector<Value> values;
  switch (kind) {
    case FieldKind::Value:
    case FieldKind::Text:
      values = {Value("DATOS.COLOR"), Value("#123456"), Value("bottom"), Value("shrink"), Value("20"),
                Value("QR"),          Value::Int(7),    Value::Dbl(2.5, 1)};
      break;
    case FieldKind::Integer: values = {Value::Int(7)}; break;
    case FieldKind::Flag: values = {Value(!current.AsBool())}; break;
  }
  std::erase_if(values, [&](const Value& v) { return v.kind() == current.kind() && ExactEqual(v, current); });
  return values;
}

// Visits the base rows, then the class's own rows (the shapes have none of their own).
template <class T, class Visit>
void ForEachRow(Visit visit) {
  for (const Field<TObjectBase>& row : kObjectBaseFields) visit(row);
  if constexpr (requires { T::Fields(); }) {
    for (const Field<T>& row : T::Fields()) visit(row);
  }
}

// For every row drawn by the class's render: some value of its kind set after a render changes
// the next render. A member the text's kept render does not compare would leave the next render
// equal to the kept one for every value.
template <class T>
void ExpectEveryDrawnMemberReachesTheRender(uint8_t drawnBy) {
  Execution execution;
  ForEachRow<T>([&](const auto& row) {
    if ((row.drawnBy & drawnBy) == 0) return;
    auto object = T::New();
    object->GenerarRenderizable(execution.ctx);
    const std::vector<std::string> before = KeyValueLines(object->GenerarRenderizable(execution.ctx));
    bool changed = false;
    for (const Value& candidate : Candidates(row.kind, row.Get(*object))) {
      row.Set(*object, candidate);
      if (KeyValueLines(object->GenerarRenderizable(execution.ctx)) != before) {
        changed = true;
        break;
      }
    }
    EXPECT_TRUE(changed) << object->ClassName() << "." << row.key << " never changed the render";
  });
}

// The converse, so the marks are exact and a member missing its mark cannot hide behind a kept
// render: a row not drawn by the class, set on a fresh object, leaves the render as it is (or
// hides the object, as the visibility members do).
template <class T>
void ExpectNoUndrawnMemberReachesTheRender(uint8_t drawnBy) {
  Execution execution;
  const std::vector<std::string> plain = KeyValueLines(T::New()->GenerarRenderizable(execution.ctx));
  ForEachRow<T>([&](const auto& row) {
    if ((row.drawnBy & drawnBy) != 0) return;
    auto probe = T::New();
    for (const Value& candidate : Candidates(row.kind, row.Get(*probe))) {
      auto object = T::New();
      row.Set(*object, candidate);
      const Value render = object->GenerarRenderizable(execution.ctx);
      if (render.IsNil()) continue;
      EXPECT_EQ(KeyValueLines(render), plain) << object->ClassName() << "." << row.key << " = " << candidate;
    }
  });
}

// For every saved row: some value of its kind loaded under the row's key changes the member, and
// what Save writes then loads into a fresh object that holds the same member and saves the same
// hash.
template <class T>
void ExpectEverySavedMemberRoundTrips() {
  ForEachRow<T>([&](const auto& row) {
    if (!row.saved) return;
    auto original = T::New();
    const Value initial = row.Get(*original);
    bool loaded = false;
    for (const Value& candidate : Candidates(row.kind, initial)) {
      Value data = Value::NewHash();
      data.Set(row.key, candidate);
      original->Load(data);
      const Value now = row.Get(*original);
      if (now.kind() != initial.kind() || !ExactEqual(now, initial)) {
        loaded = true;
        break;
      }
    }
    EXPECT_TRUE(loaded) << original->ClassName() << "." << row.key << " is never read by Load";
    const Value saved = original->Save();
    ASSERT_TRUE(saved.Has(row.key)) << original->ClassName() << "." << row.key;

    auto copy = T::New();
    copy->Load(saved);
    EXPECT_EQ(KeyValueLines(copy->Save()), KeyValueLines(saved)) << original->ClassName() << "." << row.key;
    EXPECT_VALUE(row.Get(*copy), row.Get(*original)) << original->ClassName() << "." << row.key;
  });
}

// Every row is answered for in any case, and no key is listed twice across the base and the class.
template <class T>
void ExpectEveryRowIsAnsweredForOnce() {
  auto object = T::New();
  std::set<std::string> keys;
  ForEachRow<T>([&](const auto& row) {
    EXPECT_TRUE(object->RespondsTo(row.key)) << object->ClassName() << "." << row.key;
    EXPECT_TRUE(object->RespondsTo(Upper(row.key))) << object->ClassName() << "." << row.key;
    EXPECT_TRUE(keys.insert(Lower(row.key)).second) << object->ClassName() << " lists " << row.key << " twice";
  });
}

}  // namespace

TEST(ObjectFields, EveryDrawnMemberReachesTheNextRender) {
  ExpectEveryDrawnMemberReachesTheRender<TText>(kDrawnByText);
  ExpectEveryDrawnMemberReachesTheRender<TRectangle>(kDrawnByRectangle);
  ExpectEveryDrawnMemberReachesTheRender<TEllipse>(kDrawnByEllipse);
  ExpectEveryDrawnMemberReachesTheRender<TLine>(kDrawnByLine);
  ExpectEveryDrawnMemberReachesTheRender<TVBBarcode>(kDrawnByBarcode);
}

TEST(ObjectFields, NoOtherMemberReachesTheRender) {
  ExpectNoUndrawnMemberReachesTheRender<TText>(kDrawnByText);
  ExpectNoUndrawnMemberReachesTheRender<TRectangle>(kDrawnByRectangle);
  ExpectNoUndrawnMemberReachesTheRender<TEllipse>(kDrawnByEllipse);
  ExpectNoUndrawnMemberReachesTheRender<TLine>(kDrawnByLine);
  ExpectNoUndrawnMemberReachesTheRender<TVBBarcode>(kDrawnByBarcode);
}

TEST(ObjectFields, TextKeptRenderMatchesTheRenderFromScratchAfterEveryDrawnMember) {
  // The kept render is copied only while the compared members are unchanged: after any drawn
  // member changes, the next render is the one built from scratch.
  struct TextAccess : TText {
    using TText::RenderCompleto;
  };
  ForEachRow<TText>([&](const auto& row) {
    if ((row.drawnBy & kDrawnByText) == 0) return;
    auto text = std::make_shared<TextAccess>();
    text->Init();
    text->GenerarRenderizable(Value());
    const std::vector<Value> candidates = Candidates(row.kind, row.Get(*text));
    ASSERT_FALSE(candidates.empty()) << row.key;
    row.Set(*text, candidates.back());
    // Without a context the content is empty, one blank paragraph in a flow group.
    const int64_t blank = (!text->cTextFlowGroup.empty() && !text->lKeepEmptyParagraphs) ? 1 : 0;
    EXPECT_EQ(KeyValueLines(text->GenerarRenderizable(Value())),
              KeyValueLines(text->RenderCompleto(Value(), "", blank, false, "")))
        << row.key;
  });
}

TEST(ObjectFields, EverySavedMemberSurvivesSaveAndLoad) {
  ExpectEverySavedMemberRoundTrips<TText>();
  ExpectEverySavedMemberRoundTrips<TRectangle>();
  ExpectEverySavedMemberRoundTrips<TEllipse>();
  ExpectEverySavedMemberRoundTrips<TLine>();
  ExpectEverySavedMemberRoundTrips<TVBBarcode>();
  ExpectEverySavedMemberRoundTrips<TVBImage>();
  ExpectEverySavedMemberRoundTrips<TChart>();
}

TEST(ObjectFields, EveryMemberIsAnsweredForAndListedOnce) {
  ExpectEveryRowIsAnsweredForOnce<TText>();
  ExpectEveryRowIsAnsweredForOnce<TRectangle>();
  ExpectEveryRowIsAnsweredForOnce<TEllipse>();
  ExpectEveryRowIsAnsweredForOnce<TLine>();
  ExpectEveryRowIsAnsweredForOnce<TVBBarcode>();
  ExpectEveryRowIsAnsweredForOnce<TVBImage>();
  ExpectEveryRowIsAnsweredForOnce<TChart>();
}

TEST(ObjectFields, FontBlockRowsAreSharedByTextAndBarcode) {
  // The text reads the font keys in any case and keeps the family as text; the barcode reads them
  // exactly and keeps the family as loaded. Both take "cFontName" when "cFontFamily" is absent.
  auto text = TText::New();
  auto barcode = TVBBarcode::New();
  const Value data = HashOf({{"CFONTNAME", Value::Int(5)}, {"lfontbold", true}, {"cFontItalicFormula", "DATOS.I"}});
  text->Load(data);
  barcode->Load(data);
  EXPECT_VALUE(text->cFontFamily, Value("5"));
  EXPECT_VALUE(barcode->cFontFamily, Value("Arial"));
  EXPECT_TRUE(text->lFontBold);
  EXPECT_FALSE(barcode->lFontBold);
  EXPECT_EQ(text->cFontItalicFormula, "DATOS.I");
  EXPECT_EQ(barcode->cFontItalicFormula, "DATOS.I");
  barcode->Load(HashOf({{"cFontName", Value::Int(7)}}));
  EXPECT_VALUE(barcode->cFontFamily, Value::Int(7));
}

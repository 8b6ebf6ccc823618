// The table's stored form and its normalization: fitted column widths, defaults of lines, cells,
// borders, zebra patterns and group settings, the legacy keys, and Save/Load round trips.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "table_test_support.h"

using namespace nv;
using namespace nv::testing_support;

namespace {

using Strings = std::vector<std::string>;

/// A table of the given width whose detail section holds one line of cells of the given widths
/// (JSON numbers as written), returning that normalized line.
Value DetailLine(const std::string& tableWidth, const std::string& cells, const std::string& extra = "") {
  auto table = LoadedTable(R"({"nWidth": )" + tableWidth + R"(, "hSections": {"detail": {"aLines": [{"aCells": [)" +
                           cells + "]" + extra + "}]}}}");
  return LineOf(table->hSections, "detail", 1);
}

}  // namespace

TEST(TableDefaults, InitSetsTheTableAndItsMembers) {
  auto table = TTable::New();
  EXPECT_VALUE(table->cName, Value("Tabla"));
  EXPECT_VALUE(table->cType, Value("TTable"));
  EXPECT_VALUE(table->nWidth, Value(80));
  EXPECT_VALUE(table->nHeight, Value(45));
  EXPECT_VALUE(table->cBackgroundColor, Value("#f8fafc"));
  EXPECT_EQ(table->cHeightMode, "fixed");
  EXPECT_TRUE(table->lFooterOnBottom);
  EXPECT_FALSE(table->lFixedSeparators);
  EXPECT_TRUE(table->hNormalizedSectionsCache.IsNil());
  EXPECT_TRUE(table->RespondsTo("normalizesections"));
  EXPECT_TRUE(table->RespondsTo("hCellObjectCache"));
  EXPECT_TRUE(table->RespondsTo("nBorderWidth"));
  EXPECT_EQ(TTable::TableLayoutToleranceMm(), 0.25);
  EXPECT_EQ(TTable::MinColumnWidth(), 5.0);
}

TEST(TableColumnFitting, WiderLinesShrinkToTenthsAndTheLastCellTakesTheRest) {
  EXPECT_EQ(Widths(DetailLine("80", R"({"nWidth": 30}, {"nWidth": 30}, {"nWidth": 30})")),
            (Strings{"26.7", "26.7", "26.6"}));
  // Within 0.01 of the available width, the last cell makes the sum exact.
  const Value close = DetailLine("80", R"({"nWidth": 40}, {"nWidth": 39.995})");
  EXPECT_EQ(Widths(close), (Strings{"40", "40.000"}));
  EXPECT_EQ(HGet(HGet(close, "aCells").Item(2), "nWidth").AsDouble(), 40.0);
  // A narrower line is left as it is.
  EXPECT_EQ(Widths(DetailLine("80", R"({"nWidth": 20}, {"nWidth": 20})")), (Strings{"20", "20"}));
}

TEST(TableColumnFitting, MissingTinyAndNegativeWidths) {
  EXPECT_EQ(Widths(DetailLine("80", R"({"nWidth": 0}, {"nWidth": -3}, {}, {"nWidth": 0.05})")),
            (Strings{"5.0", "5.0", "5.0", "0.1"}));
  // A line without cells gets one as wide as the table.
  auto table = LoadedTable(R"({"nWidth": 62.5, "hSections": {"detail": {"aLines": [{"nHeight": 6}]}}})");
  EXPECT_EQ(Widths(LineOf(table->hSections, "detail", 1)), (Strings{"62.5"}));
}

TEST(TableColumnFitting, ReservedSpaceAndPaddingNarrowTheAvailableWidth) {
  const std::string spaces = R"(, "hReservedSpace": {"nLeft": 5, "nRight": 5}, "hPadding": {"nLeft": 2})";
  EXPECT_EQ(Widths(DetailLine("80", R"({"nWidth": 50}, {"nWidth": 50})", spaces)), (Strings{"34.0", "34.0"}));
  // In a 10 mm table the available width is the 5 mm minimum.
  EXPECT_EQ(Widths(DetailLine("10", R"({"nWidth": 10})", spaces)), (Strings{"5.0"}));
}

TEST(TableColumnFitting, WidthsKeepTheTemplateDecimals) {
  // 80 - 53.405 must be 26.595 exactly: the normalized width prints and saves as written.
  const Value line = DetailLine("80", R"({"nWidth": 53.405}, {"nWidth": 26.59})");
  ASSERT_EQ(Widths(line), (Strings{"53.405", "26.595"}));
  EXPECT_TRUE(HoldsItsDecimalText(HGet(HGet(line, "aCells").Item(2), "nWidth")));
  // 79.7 available: 39.9 and 39.9 shrunk, then the last takes -0.1.
  const Value shrunk = DetailLine("80", R"({"nWidth": 40}, {"nWidth": 40})", R"(, "hReservedSpace": {"nLeft": 0.3})");
  ASSERT_EQ(Widths(shrunk), (Strings{"39.9", "39.8"}));
  for (size_t i = 1; i <= 2; ++i) EXPECT_TRUE(HoldsItsDecimalText(HGet(HGet(shrunk, "aCells").Item(i), "nWidth")));
  auto table = LoadedTable(R"({"nWidth": 80, "hSections": {"detail": {"aLines": [{"aCells": [{"nWidth": 53.405}, {"nWidth": 26.59}]}]}}})");
  const std::string saved = EncodeJson(table->Save());
  EXPECT_NE(saved.find(R"("nWidth":26.595)"), std::string::npos) << saved;
  EXPECT_EQ(saved.find("26.59499"), std::string::npos);
  EXPECT_EQ(saved.find("26.59500"), std::string::npos);
}

TEST(TableLines, KeysAndOptionsDependOnTheSection) {
  auto table = LoadedTable(R"({"hSections": {
      "header": {"aLines": [{}]},
      "detail": {"aLines": [{}]},
      "footer": {"aLines": [{}]},
      "groupHeader": {"aLines": [{}]},
      "groupFooter": {"aLines": [{}]}}})");
  const Strings common = {"cName", "nHeight", "cConditionFormula", "lKeepTogether", "lIgnoreEmpty",
                          "lPageBreakBefore", "cSuppressCondition"};
  const Strings tail = {"hBackground", "hBorder", "hPadding", "hReservedSpace", "aCells"};
  auto with = [&](Strings middle) {
    Strings keys = common;
    keys.insert(keys.end(), middle.begin(), middle.end());
    keys.insert(keys.end(), tail.begin(), tail.end());
    return keys;
  };
  EXPECT_EQ(Keys(LineOf(table->hSections, "header", 1)), with({}));
  EXPECT_EQ(Keys(LineOf(table->hSections, "detail", 1)), with({"lPageBreakAfter", "lForceAccumulators", "hZebraPattern"}));
  EXPECT_EQ(Keys(LineOf(table->hSections, "footer", 1)), with({"lPageBreakAfter"}));
  EXPECT_EQ(Keys(LineOf(table->hSections, "groupHeader", 1)),
            with({"cGroupExpression", "lKeepWithPrevious", "aResetAcumuladores", "lRepeatAsHeader"}));
  EXPECT_EQ(Keys(LineOf(table->hSections, "groupFooter", 1)),
            with({"lPageBreakAfter", "cGroupExpression", "lKeepWithPrevious", "aResetAcumuladores"}));
  EXPECT_EQ(Keys(table->hSections), (Strings{"header", "detail", "footer", "groupHeader", "groupFooter"}));
  EXPECT_EQ(Keys(HGet(table->hSections, "groupHeader")), (Strings{"aLines", "lConcatNextDataLine"}));
  EXPECT_EQ(Keys(HGet(table->hSections, "groupFooter")), (Strings{"aLines", "lAlsoOnEmptyGroup"}));
  EXPECT_EQ(Keys(HGet(table->hSections, "detail")), (Strings{"aLines"}));
}

TEST(TableLines, DefaultsAndFlags) {
  auto table = LoadedTable(R"({"hSections": {
      "detail": {"lShowGrid": false, "aLines": [{"nHeight": 0.5, "lKeepTogether": "no", "lIgnoreEmpty": 1}, {"cName": 7}]},
      "groupHeader": {"aLines": [{}]},
      "groupFooter": {"aLines": [{}, {"lKeepWithPrevious": false}]}}})");
  const Value first = LineOf(table->hSections, "detail", 1);
  EXPECT_VALUE(HGet(first, "cName"), Value("Cabecera 1"));
  EXPECT_VALUE(HGet(first, "nHeight"), Value(1.0));
  // Only the logical false clears a flag that defaults to true, only true sets one that defaults to false.
  EXPECT_VALUE(HGet(first, "lKeepTogether"), Value(true));
  EXPECT_VALUE(HGet(first, "lIgnoreEmpty"), Value(false));
  EXPECT_VALUE(HGet(HGet(first, "hBorder"), "lVerticalSeparators"), Value(false));
  const Value second = LineOf(table->hSections, "detail", 2);
  EXPECT_VALUE(HGet(second, "cName"), Value("7"));
  EXPECT_VALUE(HGet(second, "nHeight"), Value(8));
  EXPECT_VALUE(HGet(LineOf(table->hSections, "groupHeader", 1), "lKeepWithPrevious"), Value(false));
  EXPECT_VALUE(HGet(LineOf(table->hSections, "groupFooter", 1), "lKeepWithPrevious"), Value(true));
  EXPECT_VALUE(HGet(LineOf(table->hSections, "groupFooter", 2), "lKeepWithPrevious"), Value(false));
}

TEST(TableLines, BackgroundBorderPaddingAndCells) {
  const Value line = DetailLine("80", R"({"nWidth": 80, "hContent": {"cType": "TText"}, "hBorder": {"lLeft": false, "nWidth": -1}})",
                                R"(, "hBackground": {"cColor": 5, "nFillOpacity": 3},
                                     "hBorder": {"nRounded": 150, "nWidth": "0,5", "cColor": "#112233"},
                                     "hPadding": {"nTop": -2, "nLeft": "1,5"})");
  EXPECT_EQ(KeyValueLines(HGet(line, "hBackground")),
            (Strings{"cColor = \"\"", "cColorFormula = \"\"", "cFillStyle = \"solid\"", "cFillColor2 = \"#ffffff\"",
                     "cFillColor3 = \"#ffffff\"", "nFillOpacity = 1 (integer)"}));
  const Value border = HGet(line, "hBorder");
  EXPECT_EQ(Keys(border), (Strings{"lTop", "lBottom", "lLeft", "lRight", "lVerticalSeparators", "cColor",
                                   "cColorFormula", "nWidth", "nRounded"}));
  EXPECT_VALUE(HGet(border, "nRounded"), Value(100));
  EXPECT_EQ(Printed(HGet(border, "nWidth")), "0.5");
  EXPECT_VALUE(HGet(border, "lVerticalSeparators"), Value(true));
  EXPECT_EQ(Keys(HGet(line, "hPadding")), (Strings{"nTop", "nRight", "nBottom", "nLeft"}));
  EXPECT_VALUE(HGet(HGet(line, "hPadding"), "nTop"), Value(0));
  const Value cell = HGet(line, "aCells").Item(1);
  EXPECT_EQ(Keys(cell), (Strings{"nWidth", "hContent", "hBackground", "hBorder"}));
  EXPECT_TRUE(HGet(cell, "hContent").IsNil()) << "a content without an object is an empty cell";
  EXPECT_EQ(KeyValueLines(HGet(cell, "hBorder")),
            (Strings{"lTop = .T.", "lRight = .T.", "lBottom = .T.", "lLeft = .F.", "cColor = \"\"", "nWidth = 0 (integer)"}));
}

TEST(TableLines, DefaultLineAndSectionNames) {
  const Value line = TTable::DefaultHeaderLine(Value("Cabecera"), Value(8), Value::FromArray({TTable::DefaultHeaderCell(Value(80))}));
  EXPECT_EQ(Keys(line), (Strings{"cName", "nHeight", "cConditionFormula", "lKeepTogether", "lIgnoreEmpty",
                                 "lPageBreakBefore", "cSuppressCondition", "hBackground", "hBorder", "hPadding",
                                 "hReservedSpace", "aCells"}));
  EXPECT_EQ(KeyValueLines(TTable::DefaultHeaderCell(Value(12))),
            KeyValueLines(TTable::NormalizeHeaderCell(Value(), Value(12))));
  EXPECT_EQ(TTable::SectionKeyFromDefaultName("Linea principal"), "detail");
  EXPECT_EQ(TTable::SectionKeyFromDefaultName("Pie"), "footer");
  EXPECT_EQ(TTable::SectionKeyFromDefaultName("Cabecera grupo"), "groupHeader");
  EXPECT_EQ(TTable::SectionKeyFromDefaultName("Pie grupo"), "groupFooter");
  EXPECT_EQ(TTable::SectionKeyFromDefaultName("Cabecera"), "header");
}

TEST(TableCellContent, TextBarcodeImageAndRichTextAreAdmitted) {
  for (const char* type : {"TText", "TBarcode", "TImage", "richText"}) {
    const Value content = TTable::NormalizeHeaderCellContent(Json(std::string(R"({"cType": ")") + type + R"(", "hObject": {"cText": "A"}, "x": 1})"));
    EXPECT_EQ(Keys(content), (Strings{"cType", "hObject"})) << type;
    EXPECT_VALUE(HGet(content, "cType"), Value(type));
  }
  EXPECT_TRUE(TTable::NormalizeHeaderCellContent(Json(R"({"cType": "TChart", "hObject": {}})")).IsNil());
  EXPECT_TRUE(TTable::NormalizeHeaderCellContent(Json(R"({"cType": "TText", "hObject": "x"})")).IsNil());
  EXPECT_TRUE(TTable::NormalizeHeaderCellContent(Value("TText")).IsNil());
}

TEST(TableZebra, ColoursAreLowerCasedOrFallBack) {
  const Value zebra = TTable::NormalizeZebraPattern(Json(R"({"lEnabled": true, "nPattern": 2.7, "cColor1": "#ABCDEF", "cColor2": "#abc", "nColor2Opacity": -1})"));
  EXPECT_EQ(KeyValueLines(zebra), (Strings{"lEnabled = .T.", "nPattern = 2 (integer)", "cColor1 = \"#abcdef\"",
                                           "cColor2 = \"#f3f4f6\"", "nColor1Opacity = 1 (integer)", "nColor2Opacity = 0 (integer)"}));
  const Value fallback = TTable::NormalizeZebraPattern(Json(R"({"cColor1": "red", "nPattern": -4})"));
  EXPECT_VALUE(HGet(fallback, "cColor1"), Value("#ffffff"));
  EXPECT_VALUE(HGet(fallback, "nPattern"), Value(0));
  EXPECT_VALUE(HGet(fallback, "lEnabled"), Value(false));
}

TEST(TableGroups, BreakExpressionsAreUniqueNonBlankTextsWithTheBreakFirst) {
  const Value group = TTable::NormalizeGroupSettings(Json(R"({"cBreakExpression": "C", "aBreakExpressions": ["A", "", "  ", "A", 5, "B"], "lSkipEmptyValues": 1})"));
  EXPECT_EQ(KeyValueLines(group), (Strings{"cBreakExpression = \"C\"", "aBreakExpressions = {\"C\", \"A\", \"B\"}",
                                           "lSkipEmptyValues = .F."}));
  const Value prefixes = TTable::NormalizeGroupSettings(Json(R"({"aBreakExpressions": ["DATOS.CLIENTE_ID", "DATOS.CLIENTE"], "cBreakExpression": "DATOS.CLIENTE"})"));
  EXPECT_EQ(KeyValueLines(prefixes)[1], "aBreakExpressions = {\"DATOS.CLIENTE\", \"DATOS.CLIENTE_ID\"}");
  EXPECT_EQ(KeyValueLines(TTable::NormalizeGroupSettings(Value(3))),
            (Strings{"cBreakExpression = \"\"", "aBreakExpressions = {}", "lSkipEmptyValues = .F."}));
}

TEST(TableStoredKeys, LegacyPageBreakHeightModeAndFlags) {
  auto table = LoadedTable(R"({"hSections": {"detail": {"aLines": [{"cPageBreakCondition": "  DATOS.X > 1 "}]}},
                               "cHeightMode": "  Content ", "lFixedSeparators": 1, "lFooterOnBottom": "no"})");
  EXPECT_EQ(table->cPageBreakCondition, "DATOS.X > 1");
  EXPECT_EQ(table->cHeightMode, "content");
  EXPECT_FALSE(table->lFixedSeparators) << "only the logical true sets a flag that defaults to false";
  EXPECT_TRUE(table->lFooterOnBottom);
  auto own = LoadedTable(R"({"cPageBreakCondition": "A", "cHeightMode": "grow",
                             "hSections": {"detail": {"aLines": [{"cPageBreakCondition": "B"}]}}})");
  EXPECT_EQ(own->cPageBreakCondition, "A");
  EXPECT_EQ(own->cHeightMode, "fixed");
}

TEST(TableStoredKeys, LegacyHeaderJoinsTheSections) {
  auto table = LoadedTable(R"({"hHeader": {"aLines": [{"cName": "Titulos"}]}})");
  EXPECT_VALUE(HGet(LineOf(table->hSections, "header", 1), "cName"), Value("Titulos"));
  EXPECT_EQ(KeyValueLines(table->hHeader), KeyValueLines(HGet(table->hSections, "header")));
  // The sections' own header wins over the legacy one.
  auto both = LoadedTable(R"({"hHeader": {"aLines": [{"cName": "Viejo"}]}, "hSections": {"header": {"aLines": [{"cName": "Nuevo"}]}}})");
  EXPECT_VALUE(HGet(LineOf(both->hSections, "header", 1), "cName"), Value("Nuevo"));
}

TEST(TableStoredKeys, LoadLeavesItsInputUnchanged) {
  // Regression: the legacy header used to be written into the caller's sections hash.
  const Value data = Json(R"({"cId": "t", "hHeader": {"aLines": [{"cName": "H", "aCells": [{"nWidth": 90}]}]},
                              "hSections": {"detail": {"aLines": [{"aCells": [{"nWidth": 30}, {"nWidth": 60}]}]}},
                              "hGroup": {"aBreakExpressions": ["A", "A"]}})");
  const std::string before = EncodeJson(data);
  auto table = TTable::New();
  table->Load(data);
  table->Save();
  EXPECT_EQ(EncodeJson(data), before);
  EXPECT_FALSE(HHas(HGet(data, "hSections"), "header"));
}

TEST(TableStoredKeys, SaveThenLoadGivesTheSameTable) {
  auto table = LoadedTable(R"({"cId": "tb", "nLeft": 10, "nWidth": 100, "cPageBreakCondition": "X",
      "lFixedSeparators": true, "lFooterOnBottom": false, "cHeightMode": "content",
      "hGroup": {"cBreakExpression": "DATOS.G", "lSkipEmptyValues": true},
      "hSections": {
        "header": {"aLines": [{"aCells": [{"nWidth": 53.4}, {"nWidth": 53.4}]}]},
        "detail": {"lShowGrid": false, "aLines": [{"nHeight": 6.5, "hZebraPattern": {"lEnabled": true, "cColor2": "#EEEEEE"},
                    "aCells": [{"nWidth": 30, "hContent": {"cType": "TText", "hObject": {"cText": "DATOS.A"}}}, {"nWidth": 30}]}]},
        "footer": {"aLines": [{"hReservedSpace": {"nTop": 2}}]},
        "groupHeader": {"lConcatNextDataLine": true, "aLines": [{"cGroupExpression": "DATOS.G", "aResetAcumuladores": ["T", 1]}]},
        "groupFooter": {"lAlsoOnEmptyGroup": true, "aLines": [{}]}}})");
  const Value saved = table->Save();
  const Strings keys = Keys(saved);
  const Strings tail(keys.end() - 7, keys.end());
  EXPECT_EQ(tail, (Strings{"hSections", "cPageBreakCondition", "lFixedSeparators", "lFooterOnBottom", "cHeightMode",
                           "hHeader", "hGroup"}));
  auto again = TTable::New();
  again->Load(saved);
  EXPECT_EQ(EncodeJson(again->Save()), EncodeJson(saved));
  EXPECT_EQ(EncodeJson(HGet(saved, "hHeader")), EncodeJson(HGet(HGet(saved, "hSections"), "header")));
  // The saved hash is the caller's: changing it leaves the table as it was.
  HGet(saved, "hSections").Set("detail", Value(1));
  EXPECT_TRUE(HGet(table->hSections, "detail").IsHash());
}

TEST(TableStoredKeys, LoadCachesTheNormalizedSections) {
  auto table = LoadedTable(R"({"hSections": {"detail": {"aLines": [{}]}}})");
  EXPECT_TRUE(table->hNormalizedSectionsCache.SameRef(table->hSections));
  table->Load(Value("not a hash"));
  EXPECT_TRUE(table->hNormalizedSectionsCache.IsHash());
  EXPECT_EQ(HGet(table->hSections, "detail").Len(), 1u);
}

TEST(TableKeepWithPrevious, AGroupFooterHonoursItsFlag) {
  auto table = LoadedTable(R"({"hSections": {"groupFooter": {"aLines": [{"lKeepWithPrevious": false}]},
                                             "groupHeader": {"aLines": [{"lKeepWithPrevious": true}]}}})");
  // Regression: a group footer whose lines say false used to be kept with its block anyway.
  EXPECT_FALSE(TTable::SectionKeepWithPrevious(Entries(table->hSections, "groupFooter"), "groupFooter"));
  EXPECT_TRUE(TTable::SectionKeepWithPrevious(Entries(table->hSections, "groupHeader"), "groupHeader"));
  auto byDefault = LoadedTable(R"({"hSections": {"groupFooter": {"aLines": [{}]}}})");
  EXPECT_TRUE(TTable::SectionKeepWithPrevious(Entries(byDefault->hSections, "groupFooter"), "groupFooter"));
  // A hand-made footer line without the flag takes the footer's default.
  Value bare = Value::FromArray({Json(R"({"index": 0, "line": {"nHeight": 5}})")});
  EXPECT_TRUE(TTable::SectionKeepWithPrevious(bare, "groupFooter"));
  EXPECT_FALSE(TTable::SectionKeepWithPrevious(bare, "detail"));
  EXPECT_FALSE(TTable::SectionKeepWithPrevious(Value::NewArray(), "groupFooter"));
}

TEST(TableSectionFits, HeightsAndFittingLines) {
  auto table = LoadedTable(R"({"hSections": {"detail": {"aLines": [
      {"nHeight": 5, "hReservedSpace": {"nTop": 1, "nBottom": 0.5}}, {"nHeight": 4}, {"nHeight": 30}]}}})");
  const Value entries = Entries(table->hSections, "detail");
  EXPECT_EQ(Printed(TTable::SectionLinesHeight(entries)), "40.5");
  EXPECT_EQ(TTable::FittingSectionLines(entries, 10.5, false).Len(), 2u);
  EXPECT_EQ(TTable::FittingSectionLines(entries, 6.0, false).Len(), 0u);
  EXPECT_EQ(TTable::FittingSectionLines(entries, 6.0, true).Len(), 1u);
  EXPECT_TRUE(TTable::IsAtBodyStart(10.25, 10));
  EXPECT_FALSE(TTable::IsAtBodyStart(10.3, 10));
}

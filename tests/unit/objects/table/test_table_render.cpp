// Table lines as render objects: the rectangles, rules and cell contents, their keys in order,
// geometry, colours, zebra, separators, the adjacent-border rule and the cell content caches.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "objects/execution_support.h"
#include "objects/table/AdjacentBorderIndex.h"
#include "table_test_support.h"

using namespace nv;
using namespace nv::testing_support;

namespace {

using Strings = std::vector<std::string>;

const Strings kLineRectangleKeys = {
    "id", "tipo", "x", "y", "ancho", "alto", "colorBorde", "grosorBorde", "bordeSuperior", "bordeDerecho",
    "bordeInferior", "bordeIzquierdo", "colorFondo", "estiloRelleno", "colorRelleno2", "colorRelleno3",
    "opacidadRelleno", "redondeo", "redondeoMm", "rotacionOriginal", "rotacion", "opacidad", "sombraTamano",
    "sombraTransparencia", "sombraColor", "ordenOriginal", "capa", "zIndex"};

const Strings kCellBackgroundKeys = {
    "id", "tipo", "x", "y", "ancho", "alto", "colorBorde", "grosorBorde", "bordeSuperior", "bordeDerecho",
    "bordeInferior", "bordeIzquierdo", "colorFondo", "estiloRelleno", "colorRelleno2", "colorRelleno3",
    "opacidadRelleno", "redondeo", "rotacionOriginal", "rotacion", "opacidad", "sombraTamano",
    "sombraTransparencia", "sombraColor", "ordenOriginal", "capa", "zIndex"};

const Strings kRuleKeys = {
    "id", "tipo", "x", "y", "ancho", "alto", "color", "grosor", "orientacion", "estilo", "colorBorde",
    "grosorBorde", "bordeSuperior", "bordeDerecho", "bordeInferior", "bordeIzquierdo", "colorFondo", "redondeo",
    "rotacionOriginal", "rotacion", "opacidad", "sombraTamano", "sombraTransparencia", "sombraColor",
    "ordenOriginal", "capa", "zIndex"};

const Strings kEdgeKeys = {
    "id", "tipo", "x", "y", "ancho", "alto", "colorBorde", "grosorBorde", "bordeSuperior", "bordeDerecho",
    "bordeInferior", "bordeIzquierdo", "colorFondo", "redondeo", "rotacionOriginal", "rotacion", "opacidad",
    "sombraTamano", "sombraTransparencia", "sombraColor", "ordenOriginal", "capa", "zIndex"};

/// Renders every line of a section for one record (nil for none) at y = 20, layer 1.01.
Value Render(TTable& table, std::string_view section, const Value& record = Value(), const Value& context = Value()) {
  Value result = Value::NewArray();
  table.RenderSectionLines(result, section, Entries(table.hSections, section), Value(20), Value(1.01), Value(),
                           context, record);
  return result;
}

Value ById(const Value& list, const std::string& id) {
  for (size_t i = 1; i <= list.Len(); ++i) {
    if (ValueString(HGet(list.Item(i), "id")) == id) return list.Item(i);
  }
  return Value();
}

const char* kThreeCells = R"({"cId": "tb", "nLeft": 10, "nTop": 5, "nWidth": 90, "hSections": {
    "header": {"aLines": [{"nHeight": 8, "aCells": [
        {"nWidth": 30, "hBackground": {"cColor": "#DDEEFF"}, "hContent": {"cType": "TText", "hObject": {"cText": "\"Uno\""}}},
        {"nWidth": 30},
        {"nWidth": 30, "hContent": {"cType": "TText", "hObject": {"cText": "\"Tres\""}}}]}]},
    "detail": {"aLines": [{"nHeight": 6, "aCells": [{"nWidth": 45}, {"nWidth": 45}]}]}}})";

}  // namespace

TEST(TableRenderLine, ThreeCellLineGivesItsObjectsInOrder) {
  auto table = LoadedTable(kThreeCells);
  const Value result = Render(*table, "header");
  EXPECT_EQ(Ids(result), (Strings{"tb_header_line_0", "tb_header_0_0_cell_bg", "tb_header_0_0_text", "tb_header_v_0_1",
                                  "tb_header_v_0_2", "tb_header_0_2_text", "tb_header_line_0_border"}))
      << "the rule after a cell follows that cell's own objects";
  const Value line = result.Item(1);
  EXPECT_EQ(Keys(line), kLineRectangleKeys);
  EXPECT_EQ(KeyValueLines(line),
            KeyValueLines(TTable::LineaCabeceraRenderizable(Value("tb_header_line_0"), Value(10), Value(20), Value(8),
                                                            Value(90), Value(0.1), Value(1.01), Value("transparent"),
                                                            Value("#000000"), Value::NewHash(), Value(1), Value(0))));
  const Value overlay = result.Item(result.Len());
  EXPECT_EQ(Keys(overlay), kLineRectangleKeys);
  EXPECT_VALUE(HGet(overlay, "colorFondo"), Value("transparent"));
  EXPECT_EQ(Printed(HGet(overlay, "zIndex")), "1.04");
  const Value background = result.Item(2);
  EXPECT_EQ(Keys(background), kCellBackgroundKeys);
  EXPECT_VALUE(HGet(background, "colorFondo"), Value("#ddeeff"));
  EXPECT_EQ(Printed(HGet(background, "capa")), "1.02");
  const Value rule = result.Item(4);
  EXPECT_EQ(Keys(rule), kRuleKeys);
  EXPECT_EQ(Printed(HGet(rule, "x")), "39.95");
  EXPECT_VALUE(HGet(rule, "orientacion"), Value("vertical"));
  const Value text = result.Item(3);
  EXPECT_VALUE(HGet(text, "tipo"), Value("texto"));
  EXPECT_EQ(Printed(HGet(text, "zIndex")), "1.03");
  EXPECT_VALUE(HGet(text, "x"), Value(10));
  EXPECT_VALUE(HGet(ById(result, "tb_header_0_2_text"), "x"), Value(70));
}

TEST(TableRenderLine, RecordIdsAndTheReturnedPosition) {
  auto table = LoadedTable(R"({"cId": "t", "hSections": {"detail": {"aLines": [
      {"nHeight": 6, "hReservedSpace": {"nTop": 1.5, "nBottom": 2}}, {"nHeight": 4}]}}})");
  Value result = Value::NewArray();
  const Value y = table->RenderSectionLines(result, "detail", Entries(table->hSections, "detail"), Value(20),
                                            Value(1.01), Value(), Value(), Value(3));
  EXPECT_EQ(Printed(y), "33.5");
  EXPECT_EQ(Ids(result), (Strings{"t_detail_r3_line_0", "t_detail_r3_line_0_border", "t_detail_r3_line_1",
                                  "t_detail_r3_line_1_border"}));
  EXPECT_EQ(Printed(HGet(result.Item(1), "y")), "21.5");
  EXPECT_EQ(Printed(HGet(result.Item(3), "y")), "29.5");
  EXPECT_EQ(table->CellContentRenderId("groupHeaderRepeat", Value(2), 1, 0, "TBarcode"), "t_groupHeaderRepeat_r2_1_0_barcode");
  EXPECT_EQ(table->CellContentRenderId("detail", Value(), 1, 0, "TImage"), "t_detail_1_0_image");
  EXPECT_EQ(table->CellContentRenderId("detail", Value(), 1, 0, "richText"), "t_detail_1_0_text");
  EXPECT_EQ(table->CellBackgroundRenderId("footer", Value(), 0, 2), "t_footer_0_2_cell_bg");
  EXPECT_EQ(table->VerticalSeparatorRenderId("detail", Value(7), 0, 1), "t_detail_r7_v_0_1");
}

TEST(TableRenderGeometry, NarrowLinesAreCentredExceptInGroupHeaders) {
  auto table = LoadedTable(R"({"nLeft": 7, "nWidth": 80, "hSections": {
      "header": {"aLines": [{"aCells": [{"nWidth": 60}]}]}}})");
  const Value line = LineOf(table->hSections, "header", 1);
  for (const char* section : {"header", "detail", "footer"}) {
    EXPECT_VALUE(table->LineRenderLeft(line, Value(60), Value(), section), Value(17)) << section;
  }
  EXPECT_VALUE(table->LineRenderLeft(line, Value(60), Value(), "groupHeader"), Value(7));
  EXPECT_VALUE(table->LineRenderLeft(line, Value(60), Value(), "groupHeaderRepeat"), Value(7));
  const Value shifted = Json(R"({"hReservedSpace": {"nLeft": 5, "nRight": 0}})");
  EXPECT_VALUE(table->LineRenderLeft(shifted, Value(60), Value(), "header"), Value(12));
  EXPECT_VALUE(table->LineRenderWidth(Json(R"({"aCells": [{"nWidth": 0}, {}]})"), Value()), Value(80));
}

TEST(TableRenderGeometry, PositionsKeepTheTemplateDecimals) {
  // Regression: 80 - 53.4 gave 26.599999999999994 in render keys.
  auto table = LoadedTable(R"({"cId": "t", "nLeft": 0, "nWidth": 80, "hSections": {
      "header": {"aLines": [{"nHeight": 7.1, "aCells": [{"nWidth": 26.7}, {"nWidth": 26.7},
         {"nWidth": 0.1, "hContent": {"cType": "TText", "hObject": {"cText": "\"x\""}}}]}]}}})");
  const Value x = table->LineRenderLeft(LineOf(table->hSections, "header", 1), Value(53.5), Value(), "header");
  EXPECT_EQ(Printed(x), "13.25");
  EXPECT_TRUE(HoldsItsDecimalText(x));
  const Value result = Render(*table, "header");
  for (size_t i = 1; i <= result.Len(); ++i) {
    for (const char* key : {"x", "y", "ancho", "alto", "zIndex"}) {
      EXPECT_TRUE(HoldsItsDecimalText(HGet(result.Item(i), key))) << Ids(result)[i - 1] << " " << key << " = "
                                                                   << HGet(result.Item(i), key);
    }
  }
  EXPECT_EQ(Printed(HGet(ById(result, "t_header_0_2_text"), "x")), "66.65");
}

TEST(TableRenderBorders, StackedLinesDrawOneRuleBetweenThem) {
  auto table = LoadedTable(R"({"cId": "t", "hSections": {"detail": {"aLines": [{"nHeight": 5}, {"nHeight": 5},
      {"nHeight": 5, "hReservedSpace": {"nTop": 1}}]}}})");
  const Value result = Render(*table, "detail");
  EXPECT_VALUE(HGet(ById(result, "t_detail_line_0"), "bordeSuperior"), Value(true));
  EXPECT_VALUE(HGet(ById(result, "t_detail_line_1"), "bordeSuperior"), Value(false));
  EXPECT_VALUE(HGet(ById(result, "t_detail_line_1_border"), "bordeSuperior"), Value(false));
  // A line 1 mm lower does not touch the one above it.
  EXPECT_VALUE(HGet(ById(result, "t_detail_line_2"), "bordeSuperior"), Value(true));
}

TEST(TableRenderBorders, AdjacencyIndexAnswersAsABackwardWalk) {
  // Regression: the test walked the whole result list for every line. The index must give the
  // backward walk's answer on any list, including rectangles that nearly match.
  auto walk = [](const Value& list, double x, double y, double w) {
    for (size_t i = list.Len(); i >= 1; --i) {
      const Value& r = list.Item(i);
      if (ValueString(HGet(r, "tipo")) != "rectangulo" || !HGet(r, "bordeInferior").IsTrue()) continue;
      if (std::fabs(ValueDouble(HGet(r, "x")) - x) > 0.25 || std::fabs(ValueDouble(HGet(r, "ancho")) - w) > 0.25) continue;
      return std::fabs(ValueDouble(HGet(r, "y")) + ValueDouble(HGet(r, "alto")) - y) <= 0.25;
    }
    return false;
  };
  std::mt19937 random(7);
  std::uniform_int_distribution<int> step(0, 8);
  AdjacentBorderIndex index;
  Value list = Value::NewArray();
  for (int i = 0; i < 400; ++i) {
    Value r = Value::NewHash();
    r.Set("tipo", Value(step(random) == 0 ? "linea" : "rectangulo"));
    r.Set("x", Value(10 + step(random) * 0.125));
    r.Set("y", Value(i * 0.5));
    r.Set("ancho", Value(40 + step(random) * 0.125));
    r.Set("alto", Value(0.5 + step(random) * 0.125));
    r.Set("bordeInferior", Value(step(random) != 1));
    list.Append(r);
    const double x = 10 + step(random) * 0.125, w = 40 + step(random) * 0.125, y = i * 0.5 + step(random) * 0.125;
    ASSERT_EQ(index.BottomBorderEndsAt(list, x, y, w), walk(list, x, y, w)) << i;
  }
}

TEST(TableRenderBorders, RoundingWidthsAndColours) {
  auto table = LoadedTable(R"({"cId": "t", "nBorderWidth": 0.3, "cBorderColor": "#445566"})");
  EXPECT_VALUE(table->LineBorderRadiusMm(Value(8), Json(R"({"nRounded": 100})")), Value(4));
  EXPECT_VALUE(table->LineBorderRadiusMm(Value(8), Json(R"({"nRounded": 50})")), Value(2));
  EXPECT_VALUE(table->LineBorderRadiusMm(Value(8), Value::NewHash()), Value(0));
  EXPECT_VALUE(table->LineBorderWidth(Json(R"({"nWidth": 0})"), Value()), Value(0.1));
  EXPECT_VALUE(table->LineBorderWidth(Value::NewHash(), Value()), Value(0.3));
  EXPECT_VALUE(table->LineBorderColor(Json(R"({"cColor": " #ABCDEF "})"), Value(), Value()), Value("#abcdef"));
  EXPECT_VALUE(table->LineBorderColor(Json(R"({"cColor": "red"})"), Value(), Value()), Value("#445566"));
  EXPECT_VALUE(table->LineBorderColor(Value::NewHash(), Json(R"({"colorBorde": "#010203"})"), Value()), Value("#010203"));
  EXPECT_VALUE(table->LineBackgroundColor(Json(R"({"cColor": "transparent"})"), Value()), Value("transparent"));
  Execution run;
  EXPECT_VALUE(table->LineBackgroundColor(Json(R"({"cColor": "#000000", "cColorFormula": "DATOS.COLOR"})"), run.ctx),
               Value("#abcdef"));
  EXPECT_VALUE(table->LineBackgroundColor(Json(R"({"cColor": "#000000", "cColorFormula": "DATOS.TRANSP"})"), run.ctx),
               Value("#000000"));
}

TEST(TableRenderZebra, AlternatesByGlobalRecordIndex) {
  auto table = LoadedTable(R"({"cId": "z", "hSections": {"detail": {"aLines": [{"nHeight": 5,
      "hBackground": {"cColor": "#123456"},
      "hZebraPattern": {"lEnabled": true, "cColor1": "#ffffff", "cColor2": "#EEEEEE", "nColor2Opacity": 0.5}}]}}})");
  for (int round = 0; round < 2; ++round) {
    for (int64_t record = 0; record < 6; ++record) {
      const Value line = Render(*table, "detail", Value(record)).Item(1);
      EXPECT_VALUE(HGet(line, "colorFondo"), Value(record % 2 == 0 ? "#ffffff" : "#eeeeee")) << record;
      EXPECT_EQ(Printed(HGet(line, "opacidadRelleno")), record % 2 == 0 ? "1" : "0.5");
    }
  }
  // Header and footer lines, and records without zebra, keep the line's own colour.
  EXPECT_VALUE(TTable::ZebraLineBackgroundColor(Json(R"({"hZebraPattern": {"lEnabled": false}})"), 1, Value("#123456")),
               Value("#123456"));
  // A host's window of records counts from its base.
  Execution paged(Json(R"({"nRegistroBase": 3})"));
  EXPECT_EQ(table->GlobalRecordIndex(paged.ctx, 2), 5);
  EXPECT_VALUE(HGet(Render(*table, "detail", Value(0), paged.ctx).Item(1), "colorFondo"), Value("#eeeeee"));
  Execution global(Json(R"({"nRegistroBase": 3, "lRegistrosDetalleGlobalRuntime": true})"));
  EXPECT_EQ(table->GlobalRecordIndex(global.ctx, 2), 2);
}

TEST(TableRenderSeparators, CellSidesDecideTheInternalRules) {
  const Value cells = Json(R"([{"hBorder": {"lRight": false}}, {"hBorder": {"lLeft": false}}, {"hBorder": {"lLeft": true}}, {}])");
  EXPECT_FALSE(TTable::InternalSeparatorEnabled(cells, 1, Value::NewHash()));
  EXPECT_TRUE(TTable::InternalSeparatorEnabled(cells, 2, Value::NewHash()));
  EXPECT_FALSE(TTable::InternalSeparatorEnabled(cells, 3, Value::NewHash())) << "cell 3 has no right side set";
  const Value bare = Json(R"([{}, {}])");
  EXPECT_TRUE(TTable::InternalSeparatorEnabled(bare, 1, Value::NewHash()));
  EXPECT_FALSE(TTable::InternalSeparatorEnabled(bare, 1, Json(R"({"lVerticalSeparators": false})")));
  EXPECT_FALSE(TTable::CellBorderDefined(cells, 5));
}

TEST(TableRenderSeparators, FixedSeparatorsReplaceTheDetailRules) {
  auto table = LoadedTable(R"({"cId": "f", "nLeft": 0, "nWidth": 90, "lFixedSeparators": true, "hSections": {
      "detail": {"aLines": [{"nHeight": 6, "aCells": [{"nWidth": 30}, {"nWidth": 30}, {"nWidth": 30}]}]},
      "header": {"aLines": [{"aCells": [{"nWidth": 45}, {"nWidth": 45}]}]}}})");
  const Value detail = Render(*table, "detail", Value(0));
  EXPECT_EQ(Ids(detail), (Strings{"f_detail_r0_line_0", "f_detail_r0_line_0_border"}));
  EXPECT_VALUE(HGet(detail.Item(1), "bordeIzquierdo"), Value(false));
  EXPECT_VALUE(HGet(detail.Item(1), "bordeDerecho"), Value(false));
  EXPECT_EQ(Ids(Render(*table, "header")), (Strings{"f_header_line_0", "f_header_v_0_1", "f_header_line_0_border"}));
  // The stored line keeps its own flags.
  EXPECT_VALUE(HGet(HGet(LineOf(table->hSections, "detail", 1), "hBorder"), "lLeft"), Value(true));

  Value separators = Value::NewArray();
  table->RenderFixedSeparators(separators, table->hSections, Value(26), Value(60), Value(1.01), Value(), Value());
  EXPECT_EQ(Ids(separators), (Strings{"f_fixed_sep_edges", "f_fixed_sep_0", "f_fixed_sep_1"}));
  EXPECT_EQ(Keys(separators.Item(1)), kEdgeKeys);
  EXPECT_EQ(Keys(separators.Item(2)), kRuleKeys);
  EXPECT_EQ(Printed(HGet(separators.Item(1), "alto")), "34.2");
  EXPECT_EQ(Printed(HGet(separators.Item(1), "zIndex")), "1.025");
  EXPECT_EQ(Printed(HGet(separators.Item(2), "x")), "29.95");
  Value none = Value::NewArray();
  table->RenderFixedSeparators(none, table->hSections, Value(26), Value(26.2), Value(1.01), Value(), Value());
  EXPECT_EQ(none.Len(), 0u);
}

TEST(TableRenderCells, TextCellsTrimTrailingBlanksAndNeverFlowOrBreak) {
  Execution run;
  auto table = LoadedTable(R"({"cId": "c", "hSections": {"detail": {"aLines": [{"aCells": [
      {"nWidth": 40, "hContent": {"cType": "TText", "hObject": {"cText": "DATOS.NOMBRE + \"   \"",
          "lAllowPageBreak": true, "cTextFlowGroup": "g1", "nLeft": 99}}},
      {"nWidth": 40, "hContent": {"cType": "TBarcode", "hObject": {"cContent": "\"4006381333931\"", "cBarcodeType": "EAN13"}}}]}]}}})");
  const Value result = Render(*table, "detail", Value(0), run.ctx);
  const Value text = ById(result, "c_detail_r0_0_0_text");
  ASSERT_TRUE(text.IsHash()) << ::testing::PrintToString(Ids(result));
  EXPECT_VALUE(HGet(text, "texto"), Value("Ana"));
  // Regression: cells carried the pagination and text-flow keys of their object.
  EXPECT_FALSE(HHas(text, "permiteSaltoPagina"));
  EXPECT_FALSE(HHas(text, "grupoFlujoTexto"));
  EXPECT_VALUE(HGet(text, "x"), Value(0));
  const Value barcode = ById(result, "c_detail_r0_0_1_barcode");
  ASSERT_TRUE(barcode.IsHash());
  EXPECT_VALUE(HGet(barcode, "x"), Value(40));
  EXPECT_VALUE(HGet(barcode, "tipo"), Value("barcode"));
  // One object per cell serves every record.
  EXPECT_EQ(table->hCellObjectCache.Len(), 2u);
  Render(*table, "detail", Value(1), run.ctx);
  EXPECT_EQ(table->hCellObjectCache.Len(), 2u);
  table->End();
  EXPECT_EQ(table->hCellObjectCache.Len(), 0u);
}

TEST(TableRenderCells, KeptRendersServeTheNextRenderOnce) {
  Execution run;
  auto table = LoadedTable(R"({"cId": "k", "hSections": {"detail": {"aLines": [{"aCells": [
      {"nWidth": 40, "hContent": {"cType": "TText", "hObject": {"cText": "DATOS.NOMBRE"}}}]}]}}})");
  const Value cell = HGet(LineOf(table->hSections, "detail", 1), "aCells").Item(1);
  const Value kept = table->CellContentRenderizable(cell, "detail", 0, 0, Value(4), Value(0), Value(0), Value(40),
                                                    Value(8), Value(0), run.ctx, true);
  EXPECT_EQ(Keys(table->hCellRenderCache), (Strings{"detail|0|0|TText|4"}));
  const Value placed = table->CellContentRenderizable(cell, "detail", 0, 0, Value(4), Value(3), Value(9), Value(40),
                                                      Value(8), Value(1.01), run.ctx, false);
  EXPECT_VALUE(HGet(placed, "texto"), Value("Ana"));
  EXPECT_VALUE(HGet(placed, "y"), Value(9));
  EXPECT_EQ(Printed(HGet(placed, "capa")), "1.03");
  EXPECT_EQ(table->hCellRenderCache.Len(), 0u);
  EXPECT_TRUE(TTable::RenderizableHasContent(kept));
  EXPECT_FALSE(TTable::RenderizableHasContent(Json(R"({"tipo": "texto", "texto": "  "})")));
  EXPECT_TRUE(TTable::RenderizableHasContent(Json(R"({"tipo": "imagen"})")));
  // Image cells render through the image object.
  const Value image = Json(R"({"nWidth": 10, "hContent": {"cType": "TImage", "hObject": {}}})");
  const Value imageRender = table->CellContentRenderizable(image, "detail", 0, 1, Value(), Value(0), Value(0), Value(10),
                                                           Value(8), Value(0), run.ctx, false);
  EXPECT_VALUE(HGet(imageRender, "tipo"), Value("imagen"));
}

TEST(TableRenderCells, RichTextCellsRenderThroughTheirObject) {
  Execution run;
  auto table = LoadedTable(R"({"cId": "r", "hSections": {"detail": {"aLines": [{"aCells": [
      {"nWidth": 80, "hContent": {"cType": "richText", "hObject": {"cContent": "\"<p>Hola</p>\""}}}]}]}}})");
  const Value result = Render(*table, "detail", Value(2), run.ctx);
  const Value cell = ById(result, "r_detail_r2_0_0_text");
  ASSERT_TRUE(cell.IsHash()) << ::testing::PrintToString(Ids(result));
  EXPECT_VALUE(HGet(cell, "x"), Value(0));
  EXPECT_EQ(Printed(HGet(cell, "zIndex")), "1.03");
  EXPECT_FALSE(HHas(cell, "permiteSaltoPagina"));
  EXPECT_FALSE(HHas(cell, "grupoFlujoTexto"));
}

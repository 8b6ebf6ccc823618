// Table export data: columns from the detail cells titled by the header, one row per record with
// a visible detail line, over every record whatever the base of the run.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/ArrayRecordSequence.h"
#include "table_run_support.h"

using namespace nv;
using namespace nv::testing_support;

namespace {

using Strings = std::vector<std::string>;

Strings ColumnKey(const Value& result, const char* key) {
  Strings out;
  for (const Value& c : HGet(result, "aColumns").AsArray()) out.push_back(ValueString(HGet(c, key)));
  return out;
}

Value Record(std::initializer_list<std::pair<const char*, Value>> fields) {
  Value r = Value::NewHash();
  for (const auto& [k, v] : fields) r.Set(k, v);
  return r;
}

}  // namespace

TEST(TableExport, ColumnsFromDetailCellsTitledByTheHeader) {
  auto table = LoadedTable(R"({"cId": "t", "cName": "  ", "hSections": {
      "header": {"aLines": [{"aCells": [)" + TextCell(20, "'Codigo'") + "," + TextCell(20, "12") + R"(]}]},
      "detail": {"aLines": [{"aCells": [)" + TextCell(20, "L.CODIGO") + "," + TextCell(20, "L.CANTIDAD") + "," +
                           TextCell(20, "L.PRECIO * 2") + R"(]}]}}})");
  TableRun run(DetailData({Record({{"CODIGO", Value("A1")}, {"CANTIDAD", Value::Int(2)}, {"PRECIO", Value::Int(5)}})}));
  Value result = table->GenerarDatosExportables(run.ctx);
  EXPECT_EQ(ColumnKey(result, "cId"), Strings({"column_1", "column_2", "column_3"}));
  EXPECT_EQ(ColumnKey(result, "cTitle"), Strings({"Codigo", "CANTIDAD", ""}));  // a number title falls back
  EXPECT_EQ(ColumnKey(result, "cField"), Strings({"CODIGO", "CANTIDAD", ""}));
  EXPECT_EQ(ColumnKey(result, "cType"), Strings({"C", "N", "N"}));
  EXPECT_EQ(ValueString(HGet(result, "cName")), "t");
  ASSERT_EQ(ValueInt(HGet(result, "nRecordCount")), 1);
  Value row = HGet(result, "aRows").Item(1);
  EXPECT_EQ(ValueString(row.Item(1)), "A1");
  EXPECT_EQ(ValueInt(row.Item(3)), 10);
  EXPECT_FALSE(HGet(result, "lHasTotals").IsTrue());
}

TEST(TableExport, HiddenLinesLeaveNilAndRecordsWithoutLinesNoRow) {
  auto table = LoadedTable(R"({"cId": "t", "hSections": {"detail": {"aLines": [
      {"cConditionFormula": "L.N > 1", "aCells": [)" + TextCell(20, "L.N") + R"(]},
      {"cSuppressCondition": "L.N == 3", "aCells": [)" + TextCell(20, "L.N") + "]}]}}}");
  TableRun run(NumberedData(3));
  Value result = table->GenerarDatosExportables(run.ctx);
  // Record 1 shows only line 2, record 2 both, record 3 only line 1.
  Value rows = HGet(result, "aRows");
  ASSERT_EQ(rows.Len(), 3u);
  EXPECT_TRUE(rows.Item(1).Item(1).IsNil());
  EXPECT_EQ(ValueInt(rows.Item(1).Item(2)), 1);
  EXPECT_TRUE(rows.Item(3).Item(2).IsNil());
  EXPECT_EQ(ColumnKey(result, "cType"), Strings({"N", "N"}));

  auto never = LoadedTable(R"({"cId": "n", "hSections": {"detail": {"aLines": [
      {"cConditionFormula": ".F.", "aCells": [)" + TextCell(20, "L.N") + "]}]}}}");
  EXPECT_EQ(HGet(never->GenerarDatosExportables(run.ctx), "aRows").Len(), 0u);
}

TEST(TableExport, CoversEveryRecordWhateverTheBase) {
  auto table = LoadedTable(R"({"cId": "t", "hSections": {"detail": {"aLines": [{"aCells": [)" + TextCell(20, "R.N") + "]}]}}}");
  Value runtime = Value::NewArray();
  for (int i = 0; i < 25; ++i) runtime.Append(Record({{"R.N", Value::Int(i)}}));
  // The host hands its records over as an array, or as a sequence read one at a time.
  for (const Value& records : {runtime, Value(std::make_shared<ArrayRecordSequence>(runtime))}) {
    Value options = Value::NewHash();
    options.Set("aRegistrosDetalleRuntime", records);
    options.Set("nRegistroBase", Value::Int(10));
    TableRun run(Value::NewHash(), options);
    Value rows = HGet(table->GenerarDatosExportables(run.ctx), "aRows");
    ASSERT_EQ(rows.Len(), 25u);
    EXPECT_EQ(ValueInt(rows.Item(1).Item(1)), 0);
    EXPECT_EQ(ValueInt(rows.Item(25).Item(1)), 24);
  }
}

TEST(TableExport, FormulasFieldsAndEdgeCases) {
  EXPECT_EQ(TTable::ExportFieldName(Value(" LINEAS.CODIGO ")), "CODIGO");
  EXPECT_EQ(TTable::ExportFieldName(Value("importe")), "importe");
  EXPECT_EQ(TTable::ExportFieldName(Value("L.A + 1")), "");
  auto cell = [](const char* type, const char* key) {
    return Json(std::string(R"({"hContent": {"cType": ")") + type + R"(", "hObject": {")" + key + R"(": "F"}}})");
  };
  EXPECT_EQ(TTable::ExportCellFormula(cell("TText", "cFormula")), "F");
  EXPECT_EQ(TTable::ExportCellFormula(cell("richText", "cContent")), "F");
  EXPECT_EQ(TTable::ExportCellFormula(cell("TBarcode", "cContent")), "F");
  EXPECT_EQ(TTable::ExportCellFormula(cell("TImage", "cSource")), "F");
  EXPECT_EQ(TTable::ExportCellFormula(cell("TChart", "cText")), "");

  auto empty = LoadedTable(R"({"cId": "e"})");
  TableRun designer(Value::NewHash(), Json(R"({"modoEjecucion": "disenador"})"));
  Value result = empty->GenerarDatosExportables(designer.ctx);
  EXPECT_EQ(HGet(result, "aColumns").Len(), 0u);
  EXPECT_EQ(HGet(result, "aRows").Len(), 0u);
  auto samples = LoadedTable(R"({"cId": "s", "hSections": {"detail": {"aLines": [{"aCells": [)" +
                             TextCell(20, "LINEAS_FACTURA.CODIGO_ARTICULO") + "]}]}}}");
  EXPECT_EQ(HGet(samples->GenerarDatosExportables(designer.ctx), "aRows").Len(), 4u);
}

TEST(TableLifetime, ADroppedTableReleasesItsCellObjects) {
  std::weak_ptr<TTable> watched;
  {
    TableRun run(NumberedData(2));
    auto table = TTable::New();
    table->Load(Json(R"({"cId": "t", "nTop": 0, "nHeight": 50, "hSections": {"detail": {"aLines": [{"aCells": [)" +
                     TextCell(20, "L.N") + "]}]}}}"));
    table->Create();
    EXPECT_EQ(Texts(table->GenerarRenderizable(run.ctx)), Strings({"1", "2"}));
    EXPECT_GT(table->hCellObjectCache.Len(), 0u);
    watched = table;
  }
  EXPECT_TRUE(watched.expired());
}

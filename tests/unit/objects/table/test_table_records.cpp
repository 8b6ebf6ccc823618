// Table records, record variables, line visibility and groups: where a table's records come from,
// how a record and its neighbours reach formulas, which lines are shown, hidden or dropped, and
// how records are grouped.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "table_run_support.h"

using namespace nv;
using namespace nv::testing_support;

namespace {

using Strings = std::vector<std::string>;

Value Record(std::initializer_list<std::pair<const char*, Value>> fields) {
  Value r = Value::NewHash();
  for (const auto& [k, v] : fields) r.Set(k, v);
  return r;
}

Value Runtime(int n) {
  Value list = Value::NewArray();
  for (int i = 0; i < n; ++i) list.Append(Record({{"R.N", Value::Int(i)}}));
  return list;
}

Value Options(std::initializer_list<std::pair<const char*, Value>> entries) { return Record(entries); }

}  // namespace

TEST(TableRecordSource, ConnectorGroupsUnwrapTypedValuesAndSkipEmptyGroups) {
  Value typed = Record({{"tipo", Value("N")}, {"valor", Value::Int(2)}});
  Value groups = Value::NewHash();
  groups.Set("VACIO", Value::NewArray());
  groups.Set("LINEAS", Value::FromArray({Record({{"CANTIDAD", typed}}), Record({{"CANTIDAD", Value::Int(3)}})}));
  Value data = Value::NewHash();
  data.Set("DetalleVar", groups);
  TableRun run(data);
  auto table = LoadedTable(R"({"cId": "t"})");
  Value records = table->TablePreviewRecords(run.ctx);
  ASSERT_EQ(records.Len(), 2u);
  EXPECT_EQ(ValueInt(HGet(records.Item(1), "LINEAS.CANTIDAD")), 2);
  EXPECT_EQ(ValueInt(HGet(records.Item(2), "LINEAS.CANTIDAD")), 3);
}

TEST(TableRecordSource, FallbackKeysAndSampleRecordsOnlyInDesignerMode) {
  Value data = Value::NewHash();
  data.Set("detalle", Value::FromArray({Value("not a record"), Record({{"X", Value::Int(1)}})}));
  TableRun fallback(data);
  auto table = LoadedTable(R"({"cId": "t"})");
  ASSERT_EQ(table->TablePreviewRecords(fallback.ctx).Len(), 1u);

  // A real run without any detail data has no records: no invented articles on a real invoice.
  TableRun real;
  EXPECT_EQ(table->TablePreviewRecords(real.ctx).Len(), 0u);
  TableRun designer(Value::NewHash(), Options({{"modoEjecucion", Value("disenador")}}));
  Value samples = table->TablePreviewRecords(designer.ctx);
  ASSERT_EQ(samples.Len(), 4u);
  EXPECT_EQ(ValueString(HGet(samples.Item(3), "LINEAS_FACTURA.DESCRIPCION")), "Articulo prueba 3");
  EXPECT_EQ(NumToText(HGet(samples.Item(2), "LINEAS_FACTURA.PRECIO").AsNumber()), "5.25");
}

TEST(TableRecordSource, RuntimeWindowWithBaseAndGlobalMode) {
  auto table = LoadedTable(R"({"cId": "t"})");
  TableRun local(Value::NewHash(), Options({{"aRegistrosDetalleRuntime", Runtime(25)}, {"nRegistroBase", Value::Int(10)}}));
  Value records = table->TablePreviewRecords(local.ctx);
  ASSERT_EQ(records.Len(), 15u);
  EXPECT_EQ(ValueInt(HGet(records.Item(1), "R.N")), 10);
  EXPECT_EQ(table->GlobalRecordIndex(local.ctx, 0), 10);
  // The first record of the window sees its real predecessor through the runtime list.
  auto window = table->RecordSource(local.ctx, TTable::RecordWindow::Run);
  ASSERT_EQ(window->Count(), 15);
  EXPECT_EQ(ValueInt(HGet(table->AdjacentRuntimeRecord(local.ctx, *window, 0, -1), "R.N")), 9);
  ASSERT_TRUE(table->PushRecordVariables(local.ctx, records.Item(1), 0, 15, *window));
  EXPECT_EQ(local.context->nIndiceRegistro, 10);
  EXPECT_EQ(ValueInt(HGet(local.context->hRegistroAnterior, "R.N")), 9);
  EXPECT_EQ(ValueInt(HGet(local.context->hRegistroSiguiente, "R.N")), 11);
  EXPECT_EQ(local.context->nTotalRegistros, 15);
  table->PopRecordVariables(local.ctx);
  EXPECT_EQ(local.context->nIndiceRegistro, -1);

  Value runtime = Runtime(25);
  TableRun global(Value::NewHash(), Options({{"aRegistrosDetalleRuntime", runtime},
                                             {"nRegistroBase", Value::Int(10)},
                                             {"lRegistrosDetalleGlobalRuntime", Value(true)}}));
  auto whole = table->RecordSource(global.ctx, TTable::RecordWindow::Run);
  ASSERT_EQ(whole->Count(), 25);
  EXPECT_TRUE(whole->At(3).SameRef(runtime.Item(4)));  // the host's records, not copies per page
  EXPECT_EQ(table->GlobalRecordIndex(global.ctx, 10), 10);
  table->MarkRecordConsumed(global.ctx, 12);
  EXPECT_EQ(global.Consumed(), 12);
  EXPECT_EQ(ValueInt(global.context->GetRegistrosDetalleConsumidosRuntime()), 3);
}

TEST(TableLineVisibility, FalseConditionDropsSuppressionHidesEmptyHides) {
  const std::string json = R"({"cId": "t", "hSections": {"detail": {"aLines": [
      {"cConditionFormula": "L.N > 1", "aCells": [)" + TextCell(20, "'a'") + R"(]},
      {"cSuppressCondition": "L.N == 1", "aCells": [)" + TextCell(20, "'b'") + R"(]},
      {"lIgnoreEmpty": true, "aCells": [)" + TextCell(20, "'   '") + R"(]},
      {"lIgnoreEmpty": true, "aCells": [{"nWidth": 20, "hContent": {"cType": "TImage", "hObject": {"cSource": "x.png"}}}]},
      {"cConditionFormula": "NO_EXISTE.X", "aCells": [)" + TextCell(20, "'c'") + R"(]}]}}})";
  auto table = LoadedTable(json);
  TableRun run;
  run.context->PushVariablesLocales(Record({{"L.N", Value::Int(1)}}));
  Value partition = table->PartitionSectionLines(table->hSections, "detail", run.ctx, Value::Int(0));
  Strings visible, hidden;
  for (const Value& e : partition.Item(1).AsArray()) visible.push_back(std::to_string(ValueInt(HGet(e, "index"))));
  for (const Value& e : partition.Item(2).AsArray()) hidden.push_back(std::to_string(ValueInt(HGet(e, "index"))));
  EXPECT_EQ(visible, Strings({"3"}));      // an image is content
  EXPECT_EQ(hidden, Strings({"1", "2"}));  // suppressed, then blank text
  const Strings warnings = run.Warnings();
  EXPECT_NE(std::find(warnings.begin(), warnings.end(), "Linea de tabla detail no visible en t[0]: condicion falsa"),
            warnings.end());
  EXPECT_NE(std::find(warnings.begin(), warnings.end(), "Linea de tabla detail suprimida en t[1]"), warnings.end());
  EXPECT_NE(std::find(warnings.begin(), warnings.end(), "Condicion no valida en linea de tabla detail t[4]: NO_EXISTE.X"),
            warnings.end());
  // The partition's time is measured, not rounded down to whole milliseconds of zero.
  EXPECT_GT(HGet(table->hPerformanceDiagnostics, "nPartitionMs").AsDouble(), 0.0);
}

TEST(TableLineVisibility, DesignerModeShowsEveryLine) {
  auto table = LoadedTable(R"({"cId": "t", "hSections": {"detail": {"aLines": [
      {"cConditionFormula": ".F.", "cSuppressCondition": ".T.", "lIgnoreEmpty": true, "aCells": [{"nWidth": 10}]}]}}})");
  TableRun run(Value::NewHash(), Options({{"modoEjecucion", Value("disenador")}}));
  EXPECT_EQ(table->VisibleSectionLines(table->hSections, "detail", run.ctx, Value::Int(0)).Len(), 1u);
  EXPECT_TRUE(run.Warnings().empty());
}

TEST(TableLineVisibility, InvalidConditionReasonIsRecognisedInEverySpelling) {
  auto table = LoadedTable(R"({"cId": "t"})");
  TableRun run;
  // Suppression conditions that cannot be evaluated are invalid, whatever the evaluator's spelling.
  EXPECT_FALSE(table->RuntimeConditionIsTrue(Value("NO_EXISTE.Y"), run.ctx, "Prefijo"));
  EXPECT_EQ(run.Warnings(), Strings({"Prefijo: NO_EXISTE.Y"}));
  EXPECT_FALSE(table->RuntimeConditionIsTrue(Value("  "), run.ctx, "Prefijo"));

  const std::string accented = "condici\xC3\xB3n no v\xC3\xA1lida";
  const std::string misDecoded = "condici\xC3\x83\xC2\xB3n no v\xC3\x83\xC2\xA1lida";
  for (const std::string& reason : {std::string("condicion no valida"), accented, misDecoded}) {
    EXPECT_TRUE(TTable::IsInvalidConditionReason(reason)) << reason;
  }
  EXPECT_FALSE(TTable::IsInvalidConditionReason("condicion falsa"));
  EXPECT_EQ(TTable::ReportedReason(misDecoded), accented);
  EXPECT_EQ(TTable::ReportedReason("condicion falsa"), "condicion falsa");
}

TEST(TableGroups, ValuesSignaturesAndEquality) {
  auto table = LoadedTable(R"({"cId": "t", "hGroup": {"aBreakExpressions": ["A.X", "A.Y"]},
      "hSections": {"groupHeader": {"aLines": [{"cGroupExpression": " A.Z ", "aCells": [{"nWidth": 5}]}]},
                    "groupFooter": {"aLines": [{"cGroupExpression": "A.X", "aCells": [{"nWidth": 5}]}]}}})");
  TableRun run;
  Value expressions = table->GroupExpressions(table->hSections, Value("A.W"));
  ASSERT_EQ(expressions.Len(), 4u);
  EXPECT_EQ(ValueString(expressions.Item(1)), "A.W");
  EXPECT_EQ(ValueString(expressions.Item(4)), "A.Z");

  Value record = Record({{"A.X", Value::Int(5)}});
  EXPECT_EQ(ValueInt(table->GroupValue(Value("A.X"), record, run.ctx)), 5);  // a field, read directly
  EXPECT_EQ(ValueInt(table->GroupValue(Value("A.X + 1"), record, run.ctx)), 6);
  EXPECT_TRUE(table->GroupValue(Value("NO_EXISTE.Q"), record, run.ctx).IsNil());
  EXPECT_EQ(run.context->aVariablesLocales.Len(), 0u);  // the record's layer is popped again

  EXPECT_FALSE(TTable::GroupValuesEqual(Value::Int(5), Value("5")));
  EXPECT_TRUE(TTable::GroupValuesEqual(Value(), Value()));
  EXPECT_FALSE(TTable::GroupValuesEqual(Value::NewArray(), Value::NewArray()));
  Value one = Value::FromArray({Value("A.X")});
  EXPECT_NE(table->GroupSignature(one, record, run.ctx),
            table->GroupSignature(one, Record({{"A.X", Value("5")}}), run.ctx));
  EXPECT_TRUE(table->GroupSignatureIsEmpty(one, Record({{"A.X", Value("  ")}}), run.ctx));
  EXPECT_FALSE(table->GroupSignatureIsEmpty(one, record, run.ctx));
}

TEST(TableGroups, BoundaryLinesShowOnlyWhereTheirLevelChanges) {
  auto table = LoadedTable(R"({"cId": "t", "hSections": {"groupHeader": {"aLines": [
      {"cGroupExpression": "A.OUTER", "aCells": [{"nWidth": 5}]},
      {"cGroupExpression": "A.INNER", "aCells": [{"nWidth": 5}]}]}}})");
  TableRun run;
  Value entries = Entries(table->hSections, "groupHeader");
  Value previous = Record({{"A.OUTER", Value("x")}, {"A.INNER", Value("1")}});
  Value current = Record({{"A.OUTER", Value("x")}, {"A.INNER", Value("2")}});
  Value kept = table->GroupBoundaryLines(entries, current, previous, Value(""), run.ctx);
  ASSERT_EQ(kept.Len(), 1u);
  EXPECT_EQ(ValueInt(HGet(kept.Item(1), "index")), 1);
  EXPECT_EQ(table->GroupBoundaryLines(entries, current, Value(), Value(""), run.ctx).Len(), 2u);
}

TEST(TableGroups, ContinuationFromThePreviousRunIsSeenThroughTheRuntimeList) {
  auto table = LoadedTable(R"({"cId": "t"})");
  Value runtime = Value::FromArray({Record({{"A.G", Value("x")}}), Record({{"A.G", Value("x")}})});
  TableRun run(Value::NewHash(), Options({{"aRegistrosDetalleRuntime", runtime}, {"nRegistroBase", Value::Int(1)}}));
  EXPECT_TRUE(table->ContinuesRuntimeGroupFromPreviousPage(0, Value("A.G"), Value("x"), run.ctx));
  EXPECT_FALSE(table->ContinuesRuntimeGroupFromPreviousPage(0, Value("A.G"), Value("y"), run.ctx));
  EXPECT_FALSE(table->ContinuesRuntimeGroupFromPreviousPage(1, Value("A.G"), Value("x"), run.ctx));
}

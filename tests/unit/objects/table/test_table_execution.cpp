// One execution of a table for one page: what fits, where the page ends, how a cut detail block
// continues on the next run, groups, accumulators, page breaks, progress and the figures it keeps.
// Runs that follow one another are driven as a paginating host drives them: global mode, the base
// moved past the records consumed, accumulators carried over.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "table_run_support.h"

using namespace nv;
using namespace nv::testing_support;

namespace {

using Strings = std::vector<std::string>;

/// The options of a host-driven run over the connector's records.
Value HostOptions(const Value& data) {
  Value options = Value::NewHash();
  options.Set("lRegistrosDetalleGlobalRuntime", Value(true));
  options.Set("aRegistrosDetalleRuntime", TTable::RecordsOfData(data));
  options.Set("nRegistroBase", Value::Int(0));
  return options;
}

/// Runs the table from base, as the host's next page; accumulators carry over after the first.
Value RunFrom(TTable& table, TableRun& run, int64_t base) {
  run.options.Set("nRegistroBase", Value::Int(base));
  run.options.Set("lOmitirResetInicialAcumuladores", Value(base > 0));
  return table.GenerarRenderizable(run.ctx);
}

std::string Line(int height, const std::string& extra = "", const std::string& cell = "") {
  return R"({"nHeight": )" + std::to_string(height) + extra + R"(, "aCells": [)" +
         (cell.empty() ? TextCell(20, "'x'") : cell) + "]}";
}

std::string GroupOf(int i) { return i <= 2 ? "a" : "b"; }
std::string OneGroup(int) { return "a"; }

bool Has(const Strings& list, const std::string& text) {
  return std::find(list.begin(), list.end(), text) != list.end();
}

}  // namespace

TEST(TableExecution, CutDetailContinuesOnTheNextRunAndKeptTogetherMovesWhole) {
  // Two records of three 10 mm lines in a 45 mm body: the second record has 15 mm left.
  const std::string detail = R"({"aLines": [)" + Line(10, R"(, "lKeepTogether": false)") + "," +
                             Line(10, R"(, "lKeepTogether": false)") + "," + Line(10, R"(, "lKeepTogether": false)") + "]}";
  auto table = LoadedTable(R"({"cId": "t", "nTop": 0, "nHeight": 45, "hSections": {"detail": )" + detail + "}}");
  Value data = NumberedData(2);
  TableRun run(data, HostOptions(data));
  EXPECT_EQ(Lines(RunFrom(*table, run, 0)), Strings({"0:0", "0:1", "0:2", "1:0"}));
  EXPECT_EQ(run.Consumed(), 0);
  Value continuation = run.context->GetContinuacionTabla(Value("t"));
  EXPECT_EQ(ValueInt(HGet(continuation, "nRegistro")), 1);
  EXPECT_EQ(ValueInt(HGet(continuation, "nLinea")), 1);

  EXPECT_EQ(Lines(RunFrom(*table, run, 1)), Strings({"1:1", "1:2"}));
  EXPECT_EQ(run.Consumed(), 1);
  EXPECT_EQ(run.context->GetContinuacionTabla(Value("t")).Len(), 0u);

  // Kept together (the default), the second record is not drawn at all and stays unconsumed.
  const std::string kept = R"({"aLines": [)" + Line(10) + "," + Line(10) + "," + Line(10) + "]}";
  auto whole = LoadedTable(R"({"cId": "w", "nTop": 0, "nHeight": 45, "hSections": {"detail": )" + kept + "}}");
  TableRun second(data, HostOptions(data));
  EXPECT_EQ(Lines(RunFrom(*whole, second, 0)), Strings({"0:0", "0:1", "0:2"}));
  EXPECT_EQ(second.Consumed(), 0);
  EXPECT_EQ(Lines(RunFrom(*whole, second, 1)), Strings({"1:0", "1:1", "1:2"}));
}

TEST(TableExecution, GroupFooterPullsTheLastDetailOver) {
  auto table = LoadedTable(R"({"cId": "t", "nTop": 0, "nHeight": 40, "hGroup": {"cBreakExpression": "L.G"},
      "hSections": {"detail": {"aLines": [)" + Line(10) + R"(]}, "groupFooter": {"aLines": [)" + Line(10) + "]}}}");
  Value data = NumberedData(4, OneGroup);
  TableRun run(data, HostOptions(data));
  EXPECT_EQ(Lines(RunFrom(*table, run, 0)), Strings({"0:0", "1:0", "2:0"}));
  EXPECT_EQ(run.Consumed(), 2);
  EXPECT_EQ(Lines(RunFrom(*table, run, 3)), Strings({"3:0", "groupFooter@3"}));
  EXPECT_EQ(run.Consumed(), 3);
}

TEST(TableExecution, RepeatedGroupHeaderOpensEachContinuationRunOnce) {
  auto table = LoadedTable(R"({"cId": "t", "nTop": 0, "nHeight": 30, "hGroup": {"cBreakExpression": "L.G"},
      "hSections": {"detail": {"aLines": [)" + Line(10) + R"(]},
      "groupHeader": {"aLines": [)" + Line(10, R"(, "lRepeatAsHeader": true)") + "]}}}");
  Value data = NumberedData(5, OneGroup);
  TableRun run(data, HostOptions(data));
  EXPECT_EQ(Lines(RunFrom(*table, run, 0)), Strings({"groupHeader@0", "0:0", "1:0"}));
  EXPECT_EQ(Lines(RunFrom(*table, run, 2)), Strings({"groupHeaderRepeat@2", "2:0", "3:0"}));
  EXPECT_EQ(Lines(RunFrom(*table, run, 4)), Strings({"groupHeaderRepeat@4", "4:0"}));
  EXPECT_EQ(run.Consumed(), 4);
}

TEST(TableExecution, DesignerModeGroupsSampleRecordsWithoutExpressions) {
  auto table = LoadedTable(R"({"cId": "t", "nTop": 0, "nHeight": 200, "cPageBreakCondition": ".T.",
      "hSections": {"detail": {"aLines": [)" + Line(8, R"(, "cConditionFormula": ".F.")", TextCell(20, "LINEAS_FACTURA.CODIGO_ARTICULO")) +
                                          R"(]}, "groupHeader": {"aLines": [)" + Line(8) + R"(]},
      "groupFooter": {"aLines": [)" + Line(8) + "]}}}");
  Value options = Value::NewHash();
  options.Set("modoEjecucion", Value("disenador"));
  TableRun run(Value::NewHash(), options);
  Value result = table->GenerarRenderizable(run.ctx);
  EXPECT_EQ(Lines(result), Strings({"groupHeader@0", "0:0", "1:0", "2:0", "3:0", "groupFooter@3"}));
  EXPECT_EQ(Texts(result), Strings({"x", "1001", "1002", "1003", "1004", "x"}));
  EXPECT_TRUE(run.Warnings().empty());
}

TEST(TableExecution, RealRunWithoutDataShowsHeaderAndFooterOnly) {
  auto table = LoadedTable(R"({"cId": "t", "nTop": 0, "nHeight": 50, "hSections": {
      "header": {"aLines": [)" + Line(8) + R"(]}, "detail": {"aLines": [)" + Line(8, R"(, "lIgnoreEmpty": true)", TextCell(20, "LINEAS_FACTURA.DESCRIPCION")) +
                                R"(]}, "footer": {"aLines": [)" + Line(8) + "]}}}");
  TableRun run;
  Value result = table->GenerarRenderizable(run.ctx);
  EXPECT_EQ(Lines(result), Strings({"header", "footer"}));
  for (const std::string& text : Texts(result)) EXPECT_EQ(text.find("Articulo prueba"), std::string::npos);
}

TEST(TableExecution, WindowsBasesAndPositionsPastTheEnd) {
  auto table = LoadedTable(R"({"cId": "t", "nTop": 0, "nHeight": 200, "hSections": {"detail": {"aLines": [)" +
                           Line(8, "", TextCell(20, "L.N")) + "]}}}");
  Value data = NumberedData(5);
  Value options = Value::NewHash();
  options.Set("nRegistroFinRuntime", Value::Int(0));
  TableRun window(data, options);
  EXPECT_EQ(Texts(table->GenerarRenderizable(window.ctx)), Strings({"1"}));

  // A base at the end of the data never shows record 1 again: nothing is left to place.
  Value host = HostOptions(data);
  host.Set("nRegistroBase", Value::Int(5));
  TableRun past(data, host);
  EXPECT_EQ(Texts(table->GenerarRenderizable(past.ctx)), Strings({}));
  EXPECT_EQ(past.Consumed(), -1);
}

TEST(TableExecution, FixedHeightAcceptsTheToleranceAndNoMore) {
  // Body 0..30 above a 10 mm footer in a 40 mm table; the first record (20 mm) is at body start.
  auto fits = [](const std::string& second) {
    auto table = LoadedTable(R"({"cId": "t", "nTop": 0, "nHeight": 40, "hSections": {"detail": {"aLines": [
        {"nHeight": 20, "cConditionFormula": "L.N == 1", "aCells": [{"nWidth": 20}]},
        {"nHeight": )" + second + R"(, "cConditionFormula": "L.N == 2", "aCells": [{"nWidth": 20}]}]},
        "footer": {"aLines": [)" + Line(10) + "]}}}");
    Value data = NumberedData(2);
    TableRun run(data, HostOptions(data));
    RunFrom(*table, run, 0);
    return run.Consumed() == 1;
  };
  EXPECT_TRUE(fits("10.25"));
  EXPECT_FALSE(fits("10.26"));
}

TEST(TableExecution, ContentModeGrowsTheFrameToTheFooter) {
  auto table = LoadedTable(R"({"cId": "t", "nTop": 5, "nHeight": 10, "cHeightMode": "content", "hSections": {
      "detail": {"aLines": [)" + Line(10) + R"(]}, "footer": {"aLines": [)" + Line(6) + "]}}}");
  Value data = NumberedData(30);
  TableRun run(data);
  Value result = table->GenerarRenderizable(run.ctx);
  EXPECT_EQ(run.Consumed(), 29);
  EXPECT_EQ(ValueString(HGet(result.Item(1), "tipo")), "rectangulo");
  EXPECT_DOUBLE_EQ(HGet(result.Item(1), "alto").AsDouble(), 306.0);
  EXPECT_EQ(ValueString(HGet(result.Item(1), "modoAlto")), "content");
}

TEST(TableExecution, PageBreaksBeforeAndAfter) {
  auto breaking = LoadedTable(R"({"cId": "t", "nTop": 0, "nHeight": 100, "cPageBreakCondition": ".T.",
      "hSections": {"detail": {"aLines": [)" + Line(10) + "]}}}");
  Value data = NumberedData(3);
  TableRun run(data, HostOptions(data));
  EXPECT_EQ(Lines(RunFrom(*breaking, run, 0)), Strings({"0:0"}));  // ignored at body start only
  EXPECT_EQ(Lines(RunFrom(*breaking, run, 1)), Strings({"1:0"}));

  auto after = LoadedTable(R"({"cId": "a", "nTop": 0, "nHeight": 100,
      "hSections": {"detail": {"aLines": [)" + Line(10, R"(, "lPageBreakAfter": true)") + "]}}}");
  TableRun second(data, HostOptions(data));
  EXPECT_EQ(Lines(RunFrom(*after, second, 0)), Strings({"0:0"}));
  EXPECT_EQ(second.Consumed(), 0);
  EXPECT_EQ(Lines(RunFrom(*after, second, 2)), Strings({"2:0"}));  // the last record: no next block
  EXPECT_EQ(second.Consumed(), 2);

  // An invalid condition is a critical composition error and counts as false.
  auto invalid = LoadedTable(R"({"cId": "i", "nTop": 0, "nHeight": 100, "cPageBreakCondition": "NO_EXISTE.Z",
      "hSections": {"detail": {"aLines": [)" + Line(10) + "]}}}");
  TableRun third(data, HostOptions(data));
  EXPECT_EQ(Lines(RunFrom(*invalid, third, 0)), Strings({"0:0", "1:0", "2:0"}));
  EXPECT_EQ(ValueString(third.context->GetErrorCriticoComposicion()).rfind("Condicion de salto no valida en tabla i: NO_EXISTE.Z -> ", 0), 0u);
}

TEST(TableExecution, PageBreakAfterDetailKeepsTheGroupFooterOfTheRecord) {
  auto table = LoadedTable(R"({"cId": "t", "nTop": 0, "nHeight": 100, "hGroup": {"cBreakExpression": "L.G"},
      "hSections": {"detail": {"aLines": [)" + Line(10, R"(, "lPageBreakAfter": true)") + R"(]},
      "groupFooter": {"aLines": [)" + Line(10, R"(, "lKeepWithPrevious": false)") + "]}}}");
  Value data = NumberedData(4, GroupOf);
  TableRun run(data, HostOptions(data));
  EXPECT_EQ(Lines(RunFrom(*table, run, 0)), Strings({"0:0"}));
  EXPECT_EQ(Lines(RunFrom(*table, run, 1)), Strings({"1:0"}));
  // Record 1 closes group a: its footer is drawn first on the next run, not lost.
  EXPECT_EQ(Lines(RunFrom(*table, run, 1)), Strings({"groupFooter@1", "2:0"}));
}

TEST(TableExecution, EveryRunPlacesTheRecordAtBodyStart) {
  // A group header taller than the body, a kept block taller than the body: placed with a
  // warning, never left for a next run that could not place them either.
  auto table = LoadedTable(R"({"cId": "t", "nTop": 0, "nHeight": 20, "hGroup": {"cBreakExpression": "L.G"},
      "hSections": {"groupHeader": {"aLines": [)" + Line(25) + R"(]}, "detail": {"aLines": [)" + Line(8) + "]}}}");
  Value data = NumberedData(2, GroupOf);
  TableRun run(data, HostOptions(data));
  EXPECT_EQ(Lines(RunFrom(*table, run, 0)), Strings({"groupHeader@0", "0:0"}));
  EXPECT_EQ(run.Consumed(), 0);
  EXPECT_TRUE(Has(run.Warnings(), "Cabecera de grupo mas alta que el espacio de la tabla en t (registro 1): se coloca igualmente"));

  auto tall = LoadedTable(R"({"cId": "k", "nTop": 0, "nHeight": 20, "hSections": {"detail": {"aLines": [)" +
                          Line(15) + "," + Line(15) + "]}}}");
  TableRun second(data, HostOptions(data));
  EXPECT_EQ(Lines(RunFrom(*tall, second, 0)), Strings({"0:0"}));  // cut, though it keeps together
  EXPECT_EQ(Lines(RunFrom(*tall, second, 0)), Strings({"0:1"}));
  EXPECT_EQ(second.Consumed(), 0);
}

TEST(TableExecution, GroupHeaderWhoseFirstDetailDoesNotFitIsRolledBack) {
  auto table = LoadedTable(R"({"cId": "t", "nTop": 0, "nHeight": 35, "hGroup": {"cBreakExpression": "L.G"},
      "hSections": {"groupHeader": {"aLines": [)" + Line(10) + R"(]}, "detail": {"aLines": [)" + Line(10) + "]}}}");
  Value data = DetailData({});
  Value records = Value::NewArray();
  Value a = Value::NewHash();
  a.Set("G", Value("a"));
  Value b = Value::NewHash();
  b.Set("G", Value("b"));
  data = DetailData({a, b});
  TableRun run(data, HostOptions(data));
  EXPECT_EQ(Lines(RunFrom(*table, run, 0)), Strings({"groupHeader@0", "0:0"}));
  EXPECT_EQ(Lines(RunFrom(*table, run, 1)), Strings({"groupHeader@1", "1:0"}));
}

TEST(TableExecution, RecordIsAccumulatedOnlyWhenConsumed) {
  // A detail that shows nothing but forces accumulation, then a group footer that does not fit:
  // the record comes back on the next run and must still be counted once.
  auto table = LoadedTable(R"({"cId": "t", "nTop": 0, "nHeight": 15, "hGroup": {"cBreakExpression": "L.G"},
      "hSections": {"detail": {"aLines": [)" + Line(10, R"(, "lIgnoreEmpty": true, "lForceAccumulators": true)", TextCell(20, "' '")) +
                           "," + Line(10, R"(, "cConditionFormula": "L.N < 2")") + R"(]},
      "groupFooter": {"aLines": [)" + Line(10, "", TextCell(20, "AllTrim(Str(SUM.Total))")) + "]}}}");
  Value data = NumberedData(2, OneGroup);
  Value options = HostOptions(data);
  Value definitions = Value::NewHash();
  Value total = Value::NewHash();
  total.Set("formula", Value("L.N"));
  definitions.Set("Total", total);
  options.Set("hAcumVars", definitions);
  TableRun run(data, options);
  EXPECT_EQ(Lines(RunFrom(*table, run, 0)), Strings({"0:1"}));
  EXPECT_EQ(run.Consumed(), 0);
  Value second = RunFrom(*table, run, 1);
  EXPECT_EQ(Lines(second), Strings({"groupFooter@1"}));
  EXPECT_EQ(Texts(second), Strings({"3"}));
}

TEST(TableExecution, ProgressCancelsTheRunWithNoResult) {
  auto table = LoadedTable(R"({"cId": "t", "nTop": 0, "nHeight": 200, "hSections": {"detail": {"aLines": [)" + Line(8) + "]}}}");
  Value data = NumberedData(5);
  Value options = Value::NewHash();
  std::vector<int64_t> seen;
  options.Set("lProgressActive", Value(true));
  options.Set("bProgressRecord", Value::Block([&seen](std::span<const Value> args) {
                seen.push_back(ValueInt(args[0]));
                return Value(seen.size() < 3);
              }));
  TableRun run(data, options);
  EXPECT_TRUE(table->GenerarRenderizable(run.ctx).IsNil());
  EXPECT_EQ(seen, (std::vector<int64_t>{1, 2, 3}));
  EXPECT_EQ(run.Consumed(), 1);
  EXPECT_TRUE(run.context->lCancelado);
}

TEST(TableExecution, RenderCacheHoldsOneRecordAtMost) {
  // A line hidden for being empty keeps its cell render for a renderer that never comes.
  auto table = LoadedTable(R"({"cId": "t", "nTop": 0, "nHeight": 200, "hSections": {"detail": {"aLines": [)" +
                           Line(8, R"(, "lIgnoreEmpty": true)", TextCell(20, "' '")) + "," + Line(8) + "]}}}");
  Value data = NumberedData(6);
  Value options = Value::NewHash();
  size_t largest = 0;
  TTable* raw = table.get();
  options.Set("lProgressActive", Value(true));
  options.Set("bProgressRecord", Value::Block([&largest, raw](std::span<const Value>) {
                largest = std::max(largest, raw->hCellRenderCache.Len());
                return Value(true);
              }));
  TableRun run(data, options);
  table->GenerarRenderizable(run.ctx);
  EXPECT_EQ(run.Consumed(), 5);
  EXPECT_LE(largest, 1u);
}

TEST(TableExecution, RepeatedWarningsAndDiscardsAreCountedOnce) {
  const std::string hidden = R"({"nWidth": 20, "hContent": {"cType": "TText", "hObject": {"cText": "'x'", "lVisible": false}}})";
  auto table = LoadedTable(R"({"cId": "t", "nTop": 0, "nHeight": 200, "hSections": {"detail": {"aLines": [)" +
                           Line(8, R"(, "cConditionFormula": ".F.")") + "," + Line(8, "", hidden) + "]}}}");
  Value data = NumberedData(5);
  TableRun run(data, HostOptions(data));
  RunFrom(*table, run, 0);
  EXPECT_EQ(run.Warnings(), Strings({"Linea de tabla detail no visible en t[0]: condicion falsa (5 veces)"}));
  Value discards = run.context->GetDescartados();
  ASSERT_EQ(discards.Len(), 1u);
  EXPECT_EQ(ValueString(HGet(discards.Item(1), "motivo")), "visible=false");
  EXPECT_EQ(ValueInt(HGet(discards.Item(1), "nVeces")), 5);
  RunFrom(*table, run, 0);  // the next page goes on counting the same warning
  EXPECT_EQ(run.Warnings(), Strings({"Linea de tabla detail no visible en t[0]: condicion falsa (10 veces)"}));
}

TEST(TableExecution, DiagnosticsAreMeasuredWithAFineClock) {
  auto table = LoadedTable(R"({"cId": "t", "nTop": 0, "nHeight": 400, "hSections": {"detail": {"aLines": [)" +
                           Line(8, "", TextCell(20, "L.N")) + "]}}}");
  Value data = NumberedData(40);
  TableRun run(data);
  table->GenerarRenderizable(run.ctx);
  Value figures = table->GetPerformanceDiagnostics();
  Strings keys;
  for (const auto& entry : figures.AsHash()) keys.push_back(entry.first);
  EXPECT_EQ(keys, Strings({"nSetupMs", "nRecordLoopMs", "nFinishMs", "nPartitionMs", "nRenderLinesMs",
                           "nCellContentMs", "nAccumulateMs", "nRecordsExamined", "nTotalMs"}));
  EXPECT_EQ(ValueInt(HGet(figures, "nRecordsExamined")), 40);
  for (const char* key : {"nRecordLoopMs", "nPartitionMs", "nRenderLinesMs", "nCellContentMs", "nTotalMs"}) {
    EXPECT_GT(HGet(figures, key).AsDouble(), 0.0) << key;
  }
}

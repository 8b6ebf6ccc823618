#include "objects/TChart.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Accessors.h"
#include "Json.h"
#include "Runtime.h"
#include "data/TConectorDatosReg.h"
#include "document/TPlantilla.h"
#include "output/TDocumentoRenderizable.h"
#include "formula/TEvaluadorFormulas.h"
#include "layout_test_support.h"
#include "run/TContextoEjecucion.h"
#include "run/TMotorComposicion.h"
#include "run/TMotorEjecucion.h"
#include "run/TMotorPaginacion.h"

using namespace nv;
using namespace nv::testing_support;

namespace {

Value Line(const char* group, const char* name) {
  return HashOf({{"grupo", group}, {"nombre", name}, {"tipo", "texto"}});
}

/// A run whose connector holds the detail lines sent by Lines (stored as typed values
/// {"tipo", "valor"}, as a host registers them).
class ChartRun : public ::testing::Test {
 protected:
  void SetUp() override {
    connector->Create();
    evaluator->Create();
    context = TContextoEjecucion::New(Value(connector), Value(evaluator), Value::NewHash());
    context->Create();
  }
  void TearDown() override {
    context->End();
    evaluator->End();
    connector->End();
  }

  void Lines(const Value& definitions, const Value& rows) { connector->SendDataLine(definitions, rows); }

  /// The records (A, x, 1), (A, y, 2), (B, x, 3), (A, x, 4) under L.FILA, L.COL, L.VAL.
  void CrosstabLines() {
    Lines(Value::FromArray({Line("L", "FILA"), Line("L", "COL"), Line("L", "VAL")}),
          Value::FromArray({Value::FromArray({"A", "x", Value::Int(1)}), Value::FromArray({"A", "y", Value::Int(2)}),
                            Value::FromArray({"B", "x", Value::Int(3)}), Value::FromArray({"A", "x", Value::Int(4)})}));
  }

  Value Render(const char* kind, const Value& definition) {
    auto chart = TChart::New();
    chart->Load(HashOf({{"cChartKind", kind}, {"hChartSpec", definition}}));
    return chart->GenerarRenderizable(Value(context));
  }

  std::shared_ptr<TConectorDatosReg> connector = TConectorDatosReg::New();
  std::shared_ptr<TEvaluadorFormulas> evaluator = TEvaluadorFormulas::New();
  std::shared_ptr<TContextoEjecucion> context;
};

Value CrosstabSpec() {
  return HashOf({{"cRowFormula", "L.FILA"}, {"cColumnFormula", "L.COL"}, {"cCellFormula", "L.VAL"}});
}

}  // namespace

TEST(ChartModel, LoadResetsAbsentKeysAndSaveKeepsTheSpecItself) {
  auto chart = TChart::New();
  EXPECT_EQ(ValueString(chart->cName), "Grafico");
  EXPECT_EQ(ValueString(chart->cType), "TChart");
  EXPECT_EQ(chart->cChartKind, "chart");
  EXPECT_TRUE(chart->hChartSpec.IsHash() && chart->hChartSpec.Len() == 0);

  const Value definition = HashOf({{"cValueFormula", "1"}});
  chart->Load(HashOf({{"cChartKind", Value::Int(3)}, {"hChartSpec", definition}, {"cVb12SourceJson", "{}"}}));
  EXPECT_EQ(chart->cChartKind, "3");
  EXPECT_TRUE(chart->hChartSpec.Identical(definition));
  EXPECT_EQ(chart->cVb12SourceJson, "{}");
  const Value saved = chart->Save();
  const std::vector<std::string> keys = Keys(saved);
  EXPECT_EQ(std::vector<std::string>(keys.end() - 3, keys.end()),
            (std::vector<std::string>{"cChartKind", "hChartSpec", "cVb12SourceJson"}));
  EXPECT_TRUE(saved["hChartSpec"].Identical(definition));

  chart->Load(HashOf({{"hChartSpec", "not a hash"}}));
  EXPECT_EQ(chart->cChartKind, "chart");
  EXPECT_TRUE(chart->hChartSpec.IsHash() && chart->hChartSpec.Len() == 0);
  EXPECT_EQ(chart->cVb12SourceJson, "");
  chart->Load(HashOf({{"hChartSpec", definition}}));
  chart->End();
  EXPECT_EQ(chart->hChartSpec.Len(), 0u);
  EXPECT_TRUE(chart->oParent.IsNil());
  EXPECT_TRUE(chart->RespondsTo("HCHARTSPEC"));
}

TEST_F(ChartRun, PointsComeFromTheFirstGroupWithTypedValuesUnwrapped) {
  // Two groups: only the first is charted. The lines arrive as {"tipo", "valor"} hashes.
  Lines(Value::FromArray({Line("VENTAS", "MES"), Line("VENTAS", "IMPORTE"), Line("OTRO", "X")}),
        Value::FromArray({Value::FromArray({"Enero", Value::Int(10), "o1"}),
                          Value::FromArray({"Febrero", Value::Dbl(2.5, 1), "o2"})}));
  const Value render =
      Render("bar", HashOf({{"cCategoryFormula", "VENTAS.MES"}, {"cValueFormula", "VENTAS.IMPORTE"}}));
  EXPECT_EQ(Keys(render), (std::vector<std::string>{"puntos", "id", "tipo", "x", "y", "ancho", "alto", "zIndex",
                                                    "opacidad", "rotacion", "spec"}));
  EXPECT_EQ(ValueString(render["tipo"]), "bar");
  EXPECT_EQ(EncodeJson(render["puntos"]), R"([{"label":"Enero","value":10},{"label":"Febrero","value":2.5}])");

  // Without formulas every point is labelled "" with value 0.
  EXPECT_EQ(EncodeJson(Render("line", Value::NewHash())["puntos"]),
            R"([{"label":"","value":0},{"label":"","value":0}])");
}

TEST_F(ChartRun, WithoutDetailDataTheDataIsEmpty) {
  EXPECT_EQ(EncodeJson(Render("chart", Value::NewHash())["puntos"]), "[]");
  const Value crosstab = Render("crosstab", CrosstabSpec());
  EXPECT_EQ(Keys(crosstab), (std::vector<std::string>{"filas", "columnas", "celdas", "estilos", "id", "tipo", "x",
                                                      "y", "ancho", "alto", "zIndex", "opacidad", "rotacion", "spec"}));
  EXPECT_EQ(EncodeJson(crosstab["filas"]) + EncodeJson(crosstab["columnas"]) + EncodeJson(crosstab["celdas"]),
            "{}{}{}");
  EXPECT_EQ(EncodeJson(crosstab["estilos"]), R"({"filas":{},"columnas":{},"celdas":{}})");
}

TEST_F(ChartRun, CrosstabSumsCellsAndAddsSummaryRows) {
  CrosstabLines();
  Value render = Render("crosstab", CrosstabSpec());
  EXPECT_EQ(EncodeJson(render["filas"]), R"({"A":"A","B":"B"})");
  EXPECT_EQ(EncodeJson(render["columnas"]), R"({"x":"x","y":"y"})");
  EXPECT_EQ(EncodeJson(render["celdas"]), R"({"A":{"x":5,"y":2},"B":{"x":3}})");

  Value summary = CrosstabSpec();
  summary.Set("nRowLevel", Value::Int(1));
  summary.Set("hRowStyle", HashOf({{"bold", true}}));
  Value skipped = summary.Clone();
  skipped.Set("lShowRowSummary", Value(false));
  Value grandTotal = summary.Clone();
  grandTotal.Set("nColumnLevel", Value::Int(1));
  grandTotal.Set("cRowLabelFormula", "\"Suma\"");
  render = Render("crosstab", HashOf({{"aDefinitions", Value::FromArray({CrosstabSpec(), summary, skipped,
                                                                         grandTotal, "ignored"})}}));
  EXPECT_EQ(EncodeJson(render["filas"]), R"({"A":"A","B":"B","__summary_row_1":"Suma"})");
  EXPECT_EQ(EncodeJson(render["columnas"]), R"({"x":"x","y":"y","__summary_col_1":"Total"})");
  EXPECT_EQ(EncodeJson(render["celdas"]),
            R"({"A":{"x":5,"y":2},"B":{"x":3},"__summary_row_1":{"x":8,"y":2,"__summary_col_1":10}})");
  EXPECT_EQ(EncodeJson(render["estilos"]["filas"]), R"({"A":{},"B":{},"__summary_row_1":{"bold":true}})");
  EXPECT_EQ(EncodeJson(render["estilos"]["celdas"]["B"]), R"({"x":{}})");
}

TEST_F(ChartRun, RenderedSpecIsACopyOfTheTemplateSpec) {
  auto chart = TChart::New();
  chart->Load(HashOf({{"hChartSpec", HashOf({{"hOptions", HashOf({{"color", "red"}})}})}}));
  const Value render = chart->GenerarRenderizable(Value(context));
  ASSERT_TRUE(render["spec"].IsHash());
  EXPECT_FALSE(render["spec"].Identical(chart->hChartSpec));
  render["spec"]["hOptions"].Set("color", Value("blue"));
  render["spec"].Set("added", Value(true));
  EXPECT_EQ(EncodeJson(chart->hChartSpec), R"({"hOptions":{"color":"red"}})");
}

TEST_F(ChartRun, ChartInsideARecordLeavesThatRecordCurrent) {
  // A label or table row pushes its record, then composes the chart, then reads the record again.
  CrosstabLines();
  context->PushRegistroDetalle(HashOf({{"FUERA.CAMPO", "mio"}}), Value::Int(3), Value::Int(10),
                               HashOf({{"FUERA.CAMPO", "antes"}}), HashOf({{"FUERA.CAMPO", "despues"}}));
  Render("crosstab", CrosstabSpec());
  Render("bar", HashOf({{"cValueFormula", "L.VAL"}}));
  EXPECT_EQ(context->nIndiceRegistro, 3);
  EXPECT_EQ(context->nTotalRegistros, 10);
  EXPECT_EQ(ValueString(HGet(context->hRegistroAnterior, "FUERA.CAMPO")), "antes");
  EXPECT_EQ(ValueString(HGet(context->hRegistroSiguiente, "FUERA.CAMPO")), "despues");
  EXPECT_EQ(ValueString(context->EvaluarFormula(Value("FUERA.CAMPO"))), "mio");
  context->PopRegistroDetalle();
}

TEST_F(ChartRun, SummaryOptionHoldingATextIsReadAsALogical) {
  // A template may carry "no", "si" or 0 where a logical belongs; none stops the run.
  CrosstabLines();
  Value definitions = Value::NewArray();
  for (const Value& shown : {Value("no"), Value::Int(0), Value("si"), Value::NewHash()}) {
    Value definition = CrosstabSpec();
    definition.Set("nColumnLevel", Value::Int(2));
    definition.Set("lShowColumnSummary", shown);
    definitions.AsArray().push_back(definition);
  }
  const Value render = Render("crosstab", HashOf({{"aDefinitions", definitions}}));
  // Only the "si" definition is summed.
  EXPECT_EQ(EncodeJson(render["celdas"]), R"({"A":{"__summary_col_2":7},"B":{"__summary_col_2":3}})");
}

namespace {

// A label document of 5 x 10 labels (one sheet holds 50) whose only object is a bar chart of
// L.NOMBRE by L.CODIGO over the detail records.
std::shared_ptr<TPlantilla> ChartLabelTemplate() {
  Value chart = HashOf({{"cType", "TChart"}, {"cId", "chart"}, {"nLeft", Value::Int(1)}, {"nTop", Value::Int(1)},
                        {"nWidth", Value::Int(30)}, {"nHeight", Value::Int(20)}, {"cChartKind", "bar"}});
  chart.Set("hChartSpec", HashOf({{"cCategoryFormula", "L.NOMBRE"}, {"cValueFormula", "L.CODIGO * 2"}}));
  Value layout = HashOf({{"nLabelWidth", Value::Int(40)}, {"nLabelHeight", Value::Int(25)},
                         {"nColumns", Value::Int(5)}, {"nRows", Value::Int(10)}, {"cFlow", "row"}});
  Value tmpl = HashOf({{"cType", "TDocument"}, {"cDocumentKind", "label"}, {"nPaperWidth", Value::Int(210)},
                       {"nPaperHeight", Value::Int(297)}});
  tmpl.Set("hLabelLayout", layout);
  tmpl.Set("aObjects", Value::FromArray({chart}));
  auto plantilla = TPlantilla::New();
  plantilla->SetData(tmpl);
  plantilla->Create();
  return plantilla;
}

// A connector holding the detail records ("N1", 1) .. ("Ncount", count) under L.NOMBRE, L.CODIGO.
std::shared_ptr<TConectorDatosReg> ChartLabelRecords(int count) {
  Value rows = Value::NewArray();
  for (int i = 1; i <= count; ++i) rows.Append(Value::FromArray({Value("N" + std::to_string(i)), Value::Int(i)}));
  auto connector = TConectorDatosReg::New();
  connector->Create();
  connector->SendDataLine(Value::FromArray({HashOf({{"grupo", "L"}, {"nombre", "NOMBRE"}, {"tipo", "texto"}}),
                                            HashOf({{"grupo", "L"}, {"nombre", "CODIGO"}, {"tipo", "numero"}})}),
                          rows);
  return connector;
}

// The rendered objects of every page of a label run, in order.
std::vector<Value> LabelRunObjects(const std::shared_ptr<TPlantilla>& plantilla, const std::shared_ptr<TConectorDatosReg>& connector,
                                   const std::shared_ptr<TEvaluadorFormulas>& evaluator) {
  auto composicion = TMotorComposicion::New();
  auto paginacion = TMotorPaginacion::New();
  composicion->Create();
  paginacion->Create();
  auto context = TContextoEjecucion::New(Value(connector), Value(evaluator), Value::NewHash());
  context->Create();
  auto engine = TMotorEjecucion::New(Value(plantilla), Value(connector), Value(composicion),
                                     Value(paginacion), Value(context));
  engine->Create();
  std::vector<Value> objects;
  if (auto doc = engine->Ejecutar().AsShared<TDocumentoRenderizable>()) {
    for (int64_t p = 1; p <= ValueInt(doc->TotalPaginas()); ++p) {
      for (const Value& o : doc->GetPagina(Value::Int(p))["objetos"].AsArray()) objects.push_back(o);
    }
  }
  engine->End();
  context->End();
  paginacion->End();
  composicion->End();
  return objects;
}

}  // namespace

TEST(ChartInLabels, ChartOverTheDetailRecordsIsBuiltOncePerLabelRun) {
  auto plantilla = ChartLabelTemplate();
  auto connector = ChartLabelRecords(50);
  auto evaluator = TEvaluadorFormulas::New();
  evaluator->Create();
  ASSERT_EQ(plantilla->GetObjetos().Len(), 1u);
  auto* chart = plantilla->GetObjetos().AsArray()[0].As<TChart>();
  ASSERT_NE(chart, nullptr);

  const std::vector<Value> labels = LabelRunObjects(plantilla, connector, evaluator);
  ASSERT_EQ(labels.size(), 50u);
  EXPECT_EQ(chart->DataBuildCount(), 1);

  // The same chart composed outside a label run builds its data from the records every time.
  auto context = TContextoEjecucion::New(Value(connector), Value(evaluator), Value::NewHash());
  context->Create();
  const Value direct = chart->GenerarRenderizable(Value(context));
  EXPECT_EQ(chart->DataBuildCount(), 2);
  chart->GenerarRenderizable(Value(context));
  EXPECT_EQ(chart->DataBuildCount(), 3);
  context->End();
  ASSERT_EQ(direct["puntos"].Len(), 50u);
  EXPECT_EQ(EncodeJson(direct["puntos"].Item(2)), R"({"label":"N2","value":4})");

  // Every label carries the data of the uncached path, with its own position and record tag.
  for (size_t i = 0; i < labels.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(ValueString(labels[i]["tipo"]), "bar");
    EXPECT_EQ(EncodeJson(labels[i]["puntos"]), EncodeJson(direct["puntos"]));
    EXPECT_EQ(EncodeJson(labels[i]["spec"]), EncodeJson(direct["spec"]));
    EXPECT_EQ(ValueInt(labels[i]["debugEtiqueta"]["nRegistro"]), static_cast<int64_t>(i + 1));
  }
  EXPECT_DOUBLE_EQ(ValueDouble(labels[1]["x"]) - ValueDouble(labels[0]["x"]), 40.0);
  EXPECT_FALSE(labels[0]["puntos"].Identical(labels[1]["puntos"]));  // each label its own copy

  // A changed chart definition is seen by the next run: the data is built again, from the new formula.
  chart->hChartSpec.Set("cValueFormula", "L.CODIGO * 3");
  const std::vector<Value> again = LabelRunObjects(plantilla, connector, evaluator);
  ASSERT_EQ(again.size(), 50u);
  EXPECT_EQ(chart->DataBuildCount(), 4);
  EXPECT_EQ(EncodeJson(again[49]["puntos"].Item(2)), R"({"label":"N2","value":6})");
  evaluator->End();
  plantilla->End();
}

TEST(ChartInLabels, ChartIsBuiltOncePerRunOverManySheetsUnlessItReadsThePage) {
  // 120 labels on sheets of 50 cells: three sheets.
  auto plantilla = ChartLabelTemplate();
  auto connector = ChartLabelRecords(120);
  auto evaluator = TEvaluadorFormulas::New();
  evaluator->Create();
  auto* chart = plantilla->GetObjetos().AsArray()[0].As<TChart>();
  ASSERT_NE(chart, nullptr);

  const std::vector<Value> labels = LabelRunObjects(plantilla, connector, evaluator);
  ASSERT_EQ(labels.size(), 120u);
  EXPECT_EQ(chart->DataBuildCount(), 1);
  EXPECT_EQ(EncodeJson(labels[119]["puntos"].Item(120)), R"({"label":"N120","value":240})");

  // A category that names the page is built once per sheet, and each sheet shows its own number.
  chart->hChartSpec.Set("cCategoryFormula", "L.NOMBRE + '/' + Str(Page(), 1)");
  const std::vector<Value> paged = LabelRunObjects(plantilla, connector, evaluator);
  ASSERT_EQ(paged.size(), 120u);
  EXPECT_EQ(chart->DataBuildCount(), 1 + 3);
  EXPECT_EQ(ValueString(paged[0]["puntos"].Item(1)["label"]), "N1/1");
  EXPECT_EQ(ValueString(paged[49]["puntos"].Item(1)["label"]), "N1/1");
  EXPECT_EQ(ValueString(paged[50]["puntos"].Item(1)["label"]), "N1/2");
  EXPECT_EQ(ValueString(paged[119]["puntos"].Item(1)["label"]), "N1/3");
  evaluator->End();
  plantilla->End();
}

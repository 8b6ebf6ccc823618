// Layout objects rendered against a real execution context: visibility reasons and warnings,
// colour formulas, the text formula's error state and its executable-plan cache.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Accessors.h"
#include "run/TContextoEjecucion.h"
#include "document/TDocument.h"
#include "objects/TEllipse.h"
#include "objects/TLine.h"
#include "objects/TRectangle.h"
#include "objects/TText.h"
#include "layout_test_support.h"
#include "objects/execution_support.h"

using namespace nv;
using namespace nv::testing_support;

namespace {

// A document with layer 0 unconditioned, layer 1 conditioned on DATOS.VACIO being filled, layer 2
// with an invalid condition and hidden in the designer.
std::shared_ptr<TDocument> LayeredDocument() {
  Value layers = Value::FromArray({
      HashOf({{"nId", 0}}),
      HashOf({{"nId", 1}, {"cCondition", "not empty(DATOS.VACIO)"}}),
      HashOf({{"nId", 2}, {"cCondition", "DATOS.NO_EXISTE"}, {"lDesignerVisible", false}}),
  });
  auto document = TDocument::New();
  document->Create();
  document->Load(HashOf({{"cType", "TDocument"}, {"hLayers", layers}}));
  return document;
}

}  // namespace

TEST(ObjectVisibility, LayerConditionIsJudgedBeforeTheObjectCondition) {
  Execution run;
  auto document = LayeredDocument();
  auto object = TObjectBase::New(Value(document));
  object->cId = Value("o1");
  object->nLayerId = Value(1);
  object->cCondition = Value("DATOS.NO_EXISTE");  // would warn if it were evaluated
  EXPECT_VALUE(object->EsVisibleEnEjecucion(run.ctx), Value(false));
  EXPECT_EQ(run.Reasons(), (std::vector<std::string>{"capa: condicion falsa"}));
  EXPECT_TRUE(run.Warnings().empty());

  // An invalid layer condition: reason and one warning naming the object and the condition.
  object->nLayerId = Value("2");
  object->cCondition = Value("");
  EXPECT_VALUE(object->EsVisibleEnEjecucion(run.ctx), Value(false));
  EXPECT_EQ(run.Reasons().back(), "capa: condicion no valida");
  EXPECT_EQ(run.Warnings(), (std::vector<std::string>{"Condicion de capa no valida en o1: DATOS.NO_EXISTE"}));

  // On the unconditioned layer the object's own condition decides.
  object->nLayerId = Value(0);
  object->cCondition = Value("DATOS.NO_EXISTE");
  EXPECT_VALUE(object->EsVisibleEnEjecucion(run.ctx), Value(false));
  EXPECT_EQ(run.Reasons().back(), "condicion no valida");
  EXPECT_EQ(run.Warnings().back(), "Condicion no valida en o1: DATOS.NO_EXISTE");
  object->cCondition = Value("empty(DATOS.NOMBRE)");
  EXPECT_VALUE(object->EsVisibleEnEjecucion(run.ctx), Value(false));
  EXPECT_EQ(run.Reasons().back(), "condicion falsa");
  object->cCondition = Value(" empty(DATOS.VACIO) ");
  EXPECT_VALUE(object->EsVisibleEnEjecucion(run.ctx), Value(true));
  object->lVisible = Value(false);
  EXPECT_VALUE(object->EsVisibleEnEjecucion(run.ctx), Value(false));
  EXPECT_EQ(run.Reasons().back(), "visible=false");
  EXPECT_EQ(run.Reasons().size(), 5u);
  EXPECT_EQ(run.Warnings().size(), 2u);
}

TEST(ObjectVisibility, TableCellContentReachesTheDocumentThroughItsTable) {
  Execution run;
  auto document = LayeredDocument();
  auto table = TRectangle::New(Value(document));
  table->cType = Value("TTable");
  auto cell = TText::New(Value(table));
  cell->nLayerId = Value(1);
  EXPECT_VALUE(cell->EsVisibleEnEjecucion(run.ctx), Value(false));
  EXPECT_EQ(run.Reasons(), (std::vector<std::string>{"capa: condicion falsa"}));
  // Without an owner there is no layer condition.
  auto loose = TText::New();
  loose->nLayerId = Value(1);
  EXPECT_VALUE(loose->EsVisibleEnEjecucion(run.ctx), Value(true));
}

TEST(ObjectVisibility, DesignModeShowsLayersAsTheDesignerDoes) {
  Value options = HashOf({{"modoEjecucion", "disenador"}});
  Execution run(options);
  auto document = LayeredDocument();
  auto object = TObjectBase::New(Value(document));
  object->cCondition = Value("empty(DATOS.NOMBRE)");  // false, but not evaluated in design mode
  object->nLayerId = Value(1);                        // its layer condition is false too
  EXPECT_VALUE(object->EsVisibleEnEjecucion(run.ctx), Value(true));
  object->nLayerId = Value(2);
  EXPECT_VALUE(object->EsVisibleEnEjecucion(run.ctx), Value(false));
  EXPECT_EQ(run.Reasons(), (std::vector<std::string>{"capa no visible en diseno"}));
  EXPECT_TRUE(run.Warnings().empty());
  auto loose = TObjectBase::New();
  EXPECT_VALUE(loose->EsVisibleEnEjecucion(run.ctx), Value(true));
  // "Disenador" with a capital is a real execution.
  Execution real(HashOf({{"modoEjecucion", "Disenador"}}));
  object->nLayerId = Value(0);
  EXPECT_VALUE(object->EsVisibleEnEjecucion(real.ctx), Value(false));
  EXPECT_EQ(real.Reasons(), (std::vector<std::string>{"condicion falsa"}));
}

TEST(ObjectColours, EvaluarColorInBothModes) {
  Execution run;
  auto object = TObjectBase::New();
  object->cId = Value("c1");
  EXPECT_VALUE(object->EvaluarColor(run.ctx, Value(" DATOS.COLOR "), Value("#000000"), Value(true)), Value("#abcdef"));
  EXPECT_VALUE(object->EvaluarColor(run.ctx, Value("DATOS.COLOR"), Value("#000000")), Value("#abcdef"));
  EXPECT_VALUE(object->EvaluarColor(run.ctx, Value("RGB(255,0,0)"), Value("#000000"), Value(true)), Value("#ff0000"));
  EXPECT_VALUE(object->EvaluarColor(run.ctx, Value("RGB(255,0,0)"), Value("#000000")), Value("#ff0000"));
  EXPECT_TRUE(run.Warnings().empty());

  // Plain mode accepts "transparent" from a formula; normalising mode falls back with a warning.
  EXPECT_VALUE(object->EvaluarColor(run.ctx, Value("DATOS.TRANSP"), Value("#FFF"), Value(false)), Value("transparent"));
  EXPECT_VALUE(object->EvaluarColor(run.ctx, Value("DATOS.TRANSP"), Value("#FFFFFF"), Value(true)), Value("#ffffff"));
  EXPECT_EQ(run.Warnings(), (std::vector<std::string>{"Color no valido en c1: DATOS.TRANSP"}));

  // An invalid result gives the static colour: unchanged in plain mode, normalised otherwise.
  EXPECT_VALUE(object->EvaluarColor(run.ctx, Value("DATOS.NOMBRE"), Value("Red")), Value("Red"));
  EXPECT_VALUE(object->EvaluarColor(run.ctx, Value("DATOS.NOMBRE"), Value("Red"), Value(true)), Value("#000000"));
  EXPECT_EQ(run.Warnings().size(), 3u);
  EXPECT_EQ(run.Warnings().back(), "Color no valido en c1: DATOS.NOMBRE");
}

TEST(ObjectColours, ShapesEvaluateTheirColourFormulasInOrder) {
  Execution run;
  auto rectangle = TRectangle::New();
  rectangle->Load(HashOf({{"cId", "r"}, {"cBackgroundColorFormula", "DATOS.TRANSP"},
                          {"cFillColor2Formula", "DATOS.NOMBRE"}, {"cBorderColorFormula", "DATOS.VACIO"},
                          {"cShadowColorFormula", "DATOS.COLOR"}}));
  Value render = rectangle->GenerarRenderizable(run.ctx);
  EXPECT_VALUE(render["colorFondo"], Value("transparent"));
  EXPECT_VALUE(render["colorRelleno2"], Value("#ffffff"));
  EXPECT_VALUE(render["colorBorde"], Value("#000000"));
  EXPECT_VALUE(render["sombraColor"], Value("#abcdef"));
  EXPECT_EQ(run.Warnings(), (std::vector<std::string>{"Color no valido en r: DATOS.NOMBRE",
                                                      "Color no valido en r: DATOS.VACIO"}));

  auto line = TLine::New();
  line->Load(HashOf({{"cId", "l"}, {"cBorderColor", "#FFF"}, {"cBorderColorFormula", "DATOS.TRANSP"}}));
  render = line->GenerarRenderizable(run.ctx);
  EXPECT_VALUE(render["color"], Value("#000000"));
  EXPECT_EQ(run.Warnings().back(), "Color no valido en l: DATOS.TRANSP");

  auto ellipse = TEllipse::New();
  ellipse->cCondition = Value("empty(DATOS.NOMBRE)");
  EXPECT_TRUE(ellipse->GenerarRenderizable(run.ctx).IsNil());
}

TEST(TextExecution, ContentFormulaAndItsErrorState) {
  Execution run;
  auto text = TText::New();
  text->Load(HashOf({{"cId", "t"}, {"cText", "DATOS.NOMBRE"}}));
  Value render = text->GenerarRenderizable(run.ctx);
  EXPECT_VALUE(render["texto"], Value("Ana"));
  EXPECT_VALUE(render["formula"], Value("DATOS.NOMBRE"));
  EXPECT_VALUE(render["formulaError"], Value(false));
  EXPECT_VALUE(render["formulaErrorMessage"], Value(""));
  EXPECT_TRUE(run.Warnings().empty());

  auto missing = TText::New();
  missing->Load(HashOf({{"cText", "DATOS.NO_EXISTE"}}));
  render = missing->GenerarRenderizable(run.ctx);
  EXPECT_VALUE(render["formulaError"], Value(true));
  EXPECT_FALSE(ValueString(render["formulaErrorMessage"]).empty());
  EXPECT_EQ(run.Warnings().size(), 1u);

  // A literal that looks like an error value is ordinary text.
  auto literal = TText::New();
  literal->Load(HashOf({{"cText", "\"[ERROR literal del usuario]\""}}));
  render = literal->GenerarRenderizable(run.ctx);
  EXPECT_VALUE(render["texto"], Value("[ERROR literal del usuario]"));
  EXPECT_VALUE(render["formulaError"], Value(false));
  EXPECT_EQ(run.Warnings().size(), 1u);
}

TEST(TextExecution, PlanIsCompiledOncePerFormula) {
  Execution run;
  auto text = TText::New();
  text->Load(HashOf({{"cText", "DATOS.NOMBRE"}}));
  EXPECT_TRUE(text->uTextFormulaPlan.IsNil());
  text->GenerarRenderizable(run.ctx);
  EXPECT_EQ(text->cTextFormulaPlanSource, "DATOS.NOMBRE");
  Value plan = text->uTextFormulaPlan;
  EXPECT_TRUE(plan.IsHash() || (plan.IsLogical() && !plan.AsBool()));
  text->GenerarRenderizable(run.ctx);
  if (plan.IsHash()) {
    EXPECT_TRUE(text->uTextFormulaPlan.SameRef(plan));
  }
  text->cText = "\"Otro\"";
  EXPECT_VALUE(text->GenerarRenderizable(run.ctx)["texto"], Value("Otro"));
  EXPECT_EQ(text->cTextFormulaPlanSource, "\"Otro\"");
}

TEST(TextExecution, StyleFormulasAndFlowSuppression) {
  Execution run;
  auto text = TText::New();
  text->Load(HashOf({{"cId", "s"}, {"cText", "DATOS.VACIO"}, {"cFontSizeFormula", "DATOS.NOMBRE"},
                     {"cFontBoldFormula", "\"si\""}, {"cTextColorFormula", "DATOS.COLOR"},
                     {"cTextFlowGroup", "flow_1"}, {"lKeepEmptyParagraphs", false}, {"nHeight", 5},
                     {"nTextFlowLineHeight", 5}}));
  Value render = text->GenerarRenderizable(run.ctx);
  EXPECT_VALUE(render["tamano"], Value(1));  // "Ana" reads as 0, raised to 1
  EXPECT_VALUE(render["negrita"], Value(true));
  EXPECT_VALUE(render["color"], Value("#abcdef"));
  EXPECT_VALUE(render["texto"], Value(""));
  EXPECT_VALUE(render["alturaSuprimidaFlujoTexto"], Value(5));

  // The same empty text outside a flow group suppresses nothing.
  text->cTextFlowGroup.clear();
  EXPECT_VALUE(text->GenerarRenderizable(run.ctx)["alturaSuprimidaFlujoTexto"], Value(0));
  // Trimming happens before the paragraphs are counted.
  text->cTextFlowGroup = "g";
  text->cText = "\"  \"";
  text->lTrimSpaces = true;
  EXPECT_VALUE(text->GenerarRenderizable(run.ctx)["alturaSuprimidaFlujoTexto"], Value(5));
}

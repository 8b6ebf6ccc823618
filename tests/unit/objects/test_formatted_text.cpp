// The formatted text: its render is the text's with the evaluated runs, its runs load and save
// with the template, its render hands out copies of them, and a run through the execution engine
// splits it over pages together with its runs.
#include "objects/TFormattedText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Accessors.h"
#include "document/TPlantilla.h"
#include "layout_test_support.h"
#include "objects/execution_support.h"
#include "output/TDocumentoRenderizable.h"
#include "run/TMotorComposicion.h"
#include "run/TMotorEjecucion.h"
#include "run/TMotorPaginacion.h"

using namespace nv;
using namespace nv::testing_support;

namespace {

Value StyledRun(const char* expression, const char* styleKey) {
  return HashOf({{"cExpression", expression}, {styleKey, true}});
}

std::vector<std::string> RunTexts(const Value& render) {
  std::vector<std::string> texts;
  for (const Value& run : HGet(render, "runs", Value::NewArray()).AsArray()) {
    texts.push_back(ValueString(HGet(run, "cText")));
  }
  return texts;
}

}  // namespace

// ---- Render ----------------------------------------------------------------------------------------------

TEST(FormattedText, WithoutRunsRendersTheTextObjectAsTextoFormateado) {
  Execution run;
  auto formatted = TFormattedText::New();
  EXPECT_VALUE(formatted->cName, Value("Texto formateado"));
  EXPECT_VALUE(formatted->cType, Value("TFormattedText"));
  auto text = TText::New();
  formatted->cText = text->cText = "DATOS.NOMBRE";

  Value render = formatted->GenerarRenderizable(run.ctx);
  Value plain = text->GenerarRenderizable(run.ctx);
  EXPECT_EQ(ValueString(render["tipo"]), "texto_formateado");
  EXPECT_EQ(render["runs"].Len(), 0u);
  ASSERT_TRUE(render["runs"].IsArray());
  // Every other key, in order, is the text object's.
  render.Remove("runs");
  plain.Set("tipo", Value("texto_formateado"));
  EXPECT_EQ(KeyValueLines(render), KeyValueLines(plain));
}

TEST(FormattedText, RunsAreEvaluatedInOrderWithTheirFormatting) {
  Execution run;
  auto formatted = TFormattedText::New();
  Value nested = HashOf({{"cExpression", "DATOS.NOMBRE"}, {"hStyle", HashOf({{"nSize", Value::Int(9)}})}});
  formatted->aRichTextRuns = Value::FromArray({StyledRun("\"Hola \"", "lBold"), Value("texto suelto"), Value::Int(3),
                                               HashOf({{"lItalic", true}}), nested});
  Value render = formatted->GenerarRenderizable(run.ctx);
  // Non-hash entries are left out; a run without a formula gives "".
  EXPECT_EQ(RunTexts(render), (std::vector<std::string>{"Hola ", "", "Ana"}));
  const Value& runs = render["runs"];
  EXPECT_EQ(Keys(runs.Item(1)), (std::vector<std::string>{"cExpression", "lBold", "cText"}));
  EXPECT_VALUE(runs.Item(1)["lBold"], Value(true));
  EXPECT_VALUE(runs.Item(2)["lItalic"], Value(true));
  EXPECT_VALUE(runs.Item(3)["hStyle"]["nSize"], Value::Int(9));
  // The runs are evaluated independently of the content formula.
  EXPECT_EQ(ValueString(render["texto"]), "Texto");
}

TEST(FormattedText, InvisibleTextRendersNilAndEvaluatesNoRun) {
  Execution run;
  auto formatted = TFormattedText::New();
  formatted->aRichTextRuns = Value::FromArray({StyledRun("DATOS.NO_EXISTE", "lBold")});
  formatted->cCondition = Value(".F.");
  EXPECT_TRUE(formatted->GenerarRenderizable(run.ctx).IsNil());
  EXPECT_TRUE(run.Warnings().empty());
  // Visible, the failing run shows its error value.
  formatted->cCondition = Value("");
  EXPECT_EQ(RunTexts(formatted->GenerarRenderizable(run.ctx)),
            (std::vector<std::string>{"[Variable no encontrada: DATOS.NO_EXISTE]"}));
}

// ---- Template hash -------------------------------------------------------------------------------------------

TEST(FormattedTextTemplate, LoadTakesOnlyAListOfRuns) {
  auto formatted = TFormattedText::New();
  const Value runs = Value::FromArray({StyledRun("\"a\"", "lBold")});
  formatted->Load(HashOf({{"cType", "TText"}, {"aRichTextRuns", runs}, {"cText", "\"x\""}}));
  EXPECT_VALUE(formatted->cType, Value("TFormattedText"));
  EXPECT_TRUE(formatted->aRichTextRuns.SameRef(runs));
  EXPECT_EQ(formatted->cText, "\"x\"");

  formatted->Load(HashOf({{"aRichTextRuns", HashOf({{"cExpression", "\"a\""}})}}));
  ASSERT_TRUE(formatted->aRichTextRuns.IsArray());
  EXPECT_EQ(formatted->aRichTextRuns.Len(), 0u);
  formatted->aRichTextRuns = runs;
  formatted->Load(Value::NewHash());
  EXPECT_EQ(formatted->aRichTextRuns.Len(), 0u);
  formatted->aRichTextRuns = runs;
  formatted->Load(Value("not a hash"));
  EXPECT_EQ(formatted->aRichTextRuns.Len(), 0u);
  // The key is exact.
  formatted->Load(HashOf({{"arichtextruns", runs}}));
  EXPECT_EQ(formatted->aRichTextRuns.Len(), 0u);
}

TEST(FormattedTextTemplate, SaveThenLoadRoundTrip) {
  auto formatted = TFormattedText::New();
  formatted->aRichTextRuns = Value::FromArray({StyledRun("\"a\"", "lBold"), StyledRun("DATOS.NOMBRE", "lItalic")});
  formatted->cType = Value("TText");
  formatted->lAllowPageBreak = true;
  Value saved = formatted->Save();
  std::vector<std::string> keys = Keys(saved);
  EXPECT_EQ(keys[2], "cType");
  EXPECT_EQ(keys.back(), "aRichTextRuns");
  EXPECT_VALUE(saved["cType"], Value("TFormattedText"));
  EXPECT_TRUE(saved["aRichTextRuns"].SameRef(formatted->aRichTextRuns));

  auto copy = TFormattedText::New();
  copy->Load(saved);
  EXPECT_EQ(KeyValueLines(copy->Save()), KeyValueLines(saved));
  EXPECT_TRUE(copy->lAllowPageBreak);
  EXPECT_TRUE(copy->RespondsTo("ARICHTEXTRUNS"));
  EXPECT_TRUE(copy->RespondsTo("cText"));
  Execution run;
  EXPECT_EQ(RunTexts(copy->GenerarRenderizable(run.ctx)), (std::vector<std::string>{"a", "Ana"}));
}

// ---- Faults --------------------------------------------------------------------------------------------------

TEST(FormattedTextFaults, RenderHandsOutCopiesNotTheTemplateRuns) {
  Execution run;
  auto formatted = TFormattedText::New();
  formatted->aRichTextRuns =
      Value::FromArray({HashOf({{"cExpression", "\"a\""}, {"hStyle", HashOf({{"lBold", true}})}})});
  Value render = formatted->GenerarRenderizable(run.ctx);
  // A consumer edits the render: its runs, a run, and a run's nested formatting.
  render["runs"].Item(1)["hStyle"].Set("lBold", Value(false));
  render["runs"].Item(1).Set("cExpression", Value("\"b\""));
  render["runs"].Append(HashOf({{"cExpression", "\"c\""}}));

  const Value& templateRun = formatted->aRichTextRuns.Item(1);
  EXPECT_EQ(formatted->aRichTextRuns.Len(), 1u);
  EXPECT_FALSE(templateRun.Has("cText"));
  EXPECT_VALUE(templateRun["cExpression"], Value("\"a\""));
  EXPECT_VALUE(templateRun["hStyle"]["lBold"], Value(true));
  EXPECT_EQ(RunTexts(formatted->GenerarRenderizable(run.ctx)), (std::vector<std::string>{"a"}));
}

TEST(FormattedTextFaults, EndDoesNotEmptyTheRunListOfTheLoadedTemplate) {
  // Load keeps the template hash's own list; emptying it in place would empty the template.
  const Value runs = Value::FromArray({StyledRun("\"a\"", "lBold")});
  auto formatted = TFormattedText::New();
  formatted->Load(HashOf({{"aRichTextRuns", runs}}));
  EXPECT_TRUE(formatted->End().IsNil());
  EXPECT_EQ(formatted->aRichTextRuns.Len(), 0u);
  EXPECT_EQ(runs.Len(), 1u);
}

// ---- Through the execution engine --------------------------------------------------------------------------

TEST(FormattedTextExecution, SplitsOverTwoPagesKeepingItsRuns) {
  Execution run;
  // Two 12 pt lines (4.23 mm each) do not fit a 5 mm box: the text continues on a second page.
  Value formatted = HashOf({{"cType", "TFormattedText"}, {"cId", "ft"}, {"nLeft", Value::Int(2)},
                            {"nTop", Value::Int(3)}, {"nWidth", Value::Int(40)}, {"nHeight", Value::Int(5)},
                            {"lAllowPageBreak", true}, {"cText", "\"Hola \" + DATOS.NOMBRE + \"\\nadios\""}});
  formatted.Set("aRichTextRuns", Value::FromArray({StyledRun("\"Hola \"", "lBold"),
                                                   StyledRun("DATOS.NOMBRE + \"\\nadios\"", "lItalic")}));
  Value data = HashOf({{"cType", "TDocument"}, {"nPaperWidth", Value::Int(80)}, {"nPaperHeight", Value::Int(50)},
                       {"aObjects", Value::FromArray({formatted})}});
  auto plantilla = TPlantilla::New();
  plantilla->SetData(data)->Create();
  auto composicion = TMotorComposicion::New();
  composicion->Create();
  auto paginacion = TMotorPaginacion::New();
  paginacion->Create();
  auto motor = TMotorEjecucion::New(Value(plantilla), Value(run.connector), Value(composicion), Value(paginacion),
                                    run.ctx);
  motor->Create();

  auto doc = motor->Ejecutar().AsShared<TDocumentoRenderizable>();
  ASSERT_TRUE(doc);
  Value pages = doc->GetPaginas();
  ASSERT_EQ(pages.Len(), 2u);
  const Value& first = pages.Item(1)["objetos"].Item(1);
  const Value& second = pages.Item(2)["objetos"].Item(1);
  EXPECT_EQ(ValueString(first["tipo"]), "texto_formateado");
  EXPECT_EQ(ValueString(first["texto"]), "Hola Ana");
  EXPECT_EQ(RunTexts(first), (std::vector<std::string>{"Hola ", "Ana"}));
  EXPECT_VALUE(first["runs"].Item(1)["lBold"], Value(true));
  EXPECT_VALUE(first["runs"].Item(2)["lItalic"], Value(true));
  EXPECT_EQ(ValueString(second["tipo"]), "texto_formateado");
  EXPECT_EQ(ValueString(second["id"]), "ft__page_2");
  EXPECT_EQ(ValueString(second["texto"]), "adios");
  EXPECT_EQ(RunTexts(second), (std::vector<std::string>{"adios"}));
  EXPECT_VALUE(second["runs"].Item(1)["lItalic"], Value(true));
  EXPECT_FALSE(second["runs"].Item(1).Has("lBold"));

  motor->End();
  plantilla->End();
  doc->End();
}

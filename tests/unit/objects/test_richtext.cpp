// The rich text object: defaults and render keys, placeholder interpolation in each content
// format, the migration of older template keys, Load and Save, and the faults where placeholder
// values were once read as markup.
#include "objects/TRichText.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <initializer_list>
#include <utility>
#include <vector>

#include "Accessors.h"
#include "data/TConectorDatosReg.h"
#include "formula/TEvaluadorFormulas.h"
#include "layout_test_support.h"
#include "run/TContextoEjecucion.h"

using namespace nv;
using namespace nv::testing_support;

namespace {

// A context whose data block DATOS holds the given text variables.
struct DataRun {
  std::shared_ptr<TConectorDatosReg> connector = TConectorDatosReg::New();
  std::shared_ptr<TEvaluadorFormulas> evaluator = TEvaluadorFormulas::New();
  std::shared_ptr<TContextoEjecucion> context;
  Value ctx;

  DataRun() : DataRun(std::initializer_list<std::pair<const char*, const char*>>{}) {}
  explicit DataRun(std::initializer_list<std::pair<const char*, const char*>> variables) {
    Value definitions = Value::NewArray();
    Value row = Value::NewArray();
    for (const auto& [name, value] : variables) {
      definitions.Append(HashOf({{"grupo", "DATOS"}, {"nombre", name}, {"tipo", "texto"}}));
      row.Append(Value(value));
    }
    connector->Create();
    connector->SendDataVar(definitions, Value::FromArray({row}));
    evaluator->Create();
    context = TContextoEjecucion::New(Value(connector), Value(evaluator), Value::NewHash());
    context->Create();
    ctx = Value(context);
  }
  ~DataRun() {
    context->End();
    evaluator->End();
    connector->End();
  }
  std::vector<std::string> Warnings() const {
    std::vector<std::string> warnings;
    Value avisos = context->GetAvisos();
    for (size_t i = 1; i <= avisos.Len(); ++i) warnings.push_back(ValueString(avisos.Item(i)));
    return warnings;
  }
};

// A rich text whose content formula is the literal of text.
std::shared_ptr<TRichText> WithContent(const std::string& text) {
  auto richText = TRichText::New();
  richText->cContent = Value(TRichText::VBRICHTEXTENCODELITERAL(text));
  return richText;
}

std::string Text(const Value& render, const char* key) { return ValueString(HGet(render, key)); }

bool BracesBalance(const std::string& rtf) {
  int depth = 0;
  for (size_t i = 0; i < rtf.size(); ++i) {
    if (rtf[i] == '\\') {
      ++i;
    } else if (rtf[i] == '{') {
      ++depth;
    } else if (rtf[i] == '}' && --depth < 0) {
      return false;
    }
  }
  return depth == 0;
}

const std::vector<std::string> kRenderKeys = {
    "id", "tipo", "x", "y", "ancho", "alto", "contentFormat", "content", "plainContent", "hasVisibleContent",
    "rtfContent", "alineacionVertical", "overflow", "colorFondo", "colorBorde", "grosorBorde", "bordeSuperior",
    "bordeDerecho", "bordeInferior", "bordeIzquierdo", "redondeo", "rotacionOriginal", "rotacion", "opacidad",
    "sombraTamano", "sombraTransparencia", "sombraColor", "paddingSuperior", "paddingDerecho", "paddingInferior",
    "paddingIzquierdo", "ordenOriginal", "capa", "zIndex"};

}  // namespace

// ---- Defaults and render object ----------------------------------------------------------------------

TEST(RichText, NewObjectRendersItsDefaultParagraph) {
  auto richText = TRichText::New();
  EXPECT_VALUE(richText->cName, Value("Texto enriquecido"));
  EXPECT_VALUE(richText->cType, Value("richText"));
  EXPECT_VALUE(richText->cContent, Value("\"<p>Texto enriquecido</p>\""));
  EXPECT_VALUE(richText->lBorderTop, Value(true));
  EXPECT_VALUE(richText->cBackgroundColor, Value("#ffffff"));

  DataRun run;
  Value render = richText->GenerarRenderizable(run.ctx);
  EXPECT_EQ(Keys(render), kRenderKeys);
  EXPECT_EQ(Text(render, "tipo"), "texto_enriquecido");
  EXPECT_EQ(Text(render, "contentFormat"), "html");
  EXPECT_EQ(Text(render, "content"), "<p>Texto enriquecido</p>");
  EXPECT_EQ(Text(render, "plainContent"), "Texto enriquecido");
  EXPECT_VALUE(render["hasVisibleContent"], Value(true));
  EXPECT_EQ(TRichText::VBRICHTEXTPLAINTEXT(render["rtfContent"]), "Texto enriquecido\n");
  EXPECT_EQ(Text(render, "alineacionVertical"), "top");
  EXPECT_EQ(Text(render, "overflow"), "hidden");
  for (const char* side : {"bordeSuperior", "bordeDerecho", "bordeInferior", "bordeIzquierdo"}) {
    EXPECT_VALUE(render[side], Value(true)) << side;
  }
  EXPECT_EQ(Text(render, "colorFondo"), "#ffffff");
  EXPECT_TRUE(run.Warnings().empty());
}

TEST(RichText, RenderCarriesBoxColoursAndVisibility) {
  DataRun run({{"FONDO", "#ABCDEF"}});
  auto richText = WithContent(" \t\r\n");
  richText->cBackgroundColorFormula = Value("DATOS.FONDO");
  richText->cShadowColorFormula = Value("DATOS.NO_EXISTE");
  richText->nPaddingLeft = Value::Int(-3);
  richText->cVerticalAlign = "Bottom ";
  Value render = richText->GenerarRenderizable(run.ctx);
  EXPECT_EQ(Text(render, "contentFormat"), "text");
  EXPECT_VALUE(render["hasVisibleContent"], Value(false));
  EXPECT_EQ(Text(render, "colorFondo"), "#abcdef");
  EXPECT_EQ(Text(render, "sombraColor"), "#000000");
  EXPECT_EQ(run.Warnings(), (std::vector<std::string>{"Color no valido en : DATOS.NO_EXISTE"}));
  EXPECT_VALUE(render["paddingIzquierdo"], Value::Int(0));
  EXPECT_EQ(Text(render, "alineacionVertical"), "bottom");

  // Not visible: nil, and the content formula is not evaluated (it would warn).
  richText->lVisible = Value(false);
  richText->cContent = Value("DATOS.NO_EXISTE");
  EXPECT_TRUE(richText->GenerarRenderizable(run.ctx).IsNil());
  EXPECT_EQ(run.Warnings().size(), 1u);
}

// ---- Placeholders ------------------------------------------------------------------------------------------

TEST(RichTextPlaceholders, PlainTextTakesValuesAsTheyStand) {
  DataRun run({{"CLIENTE", "Dulces & <Co>"}});
  auto richText = TRichText::New();
  richText->cContent = Value("\"Hola {{DATOS.CLIENTE}}\"");
  Value render = richText->GenerarRenderizable(run.ctx);
  EXPECT_EQ(Text(render, "contentFormat"), "text");
  EXPECT_EQ(Text(render, "content"), "Hola Dulces & <Co>");
  EXPECT_EQ(Text(render, "plainContent"), "Hola Dulces & <Co>");
  EXPECT_EQ(TRichText::VBRICHTEXTPLAINTEXT(render["rtfContent"]), "Hola Dulces & <Co>\n");
}

TEST(RichTextPlaceholders, HtmlEscapesValuesAndConvertsRtfDocuments) {
  DataRun run({{"CLIENTE", "Dulces & Co"}, {"RTF", "{\\rtf1 {\\b hi}}"}});
  Value render = WithContent("<p>{{ DATOS.CLIENTE }}</p>")->GenerarRenderizable(run.ctx);
  EXPECT_EQ(Text(render, "content"), "<p>Dulces &amp; Co</p>");
  EXPECT_EQ(Text(render, "plainContent"), "Dulces & Co");

  render = WithContent("<p>{{DATOS.RTF}}</p>")->GenerarRenderizable(run.ctx);
  EXPECT_EQ(Text(render, "contentFormat"), "html");
  EXPECT_EQ(Text(render, "content"), "<p><span><strong>hi</strong></span></p>");
}

TEST(RichTextPlaceholders, UnterminatedPlaceholderStaysLiterally) {
  DataRun run({{"CLIENTE", "Ana"}});
  Value render = WithContent("<p>{{DATOS.CLIENTE}} y {{DATOS.CLIENTE</p>")->GenerarRenderizable(run.ctx);
  EXPECT_EQ(Text(render, "content"), "<p>Ana y {{DATOS.CLIENTE</p>");
  // A failing placeholder shows its error value; a missing context gives empty values.
  render = WithContent("a {{DATOS.NADA}} b")->GenerarRenderizable(run.ctx);
  EXPECT_EQ(Text(render, "content"), "a [Variable no encontrada: DATOS.NADA] b");
  EXPECT_EQ(TRichText::VBRICHTEXTINTERPOLATE("a {{X}} b", "text", nullptr), "a {{X}} b");
}

// ---- Faults: placeholder values are data ------------------------------------------------------------------

TEST(RichTextObjectFaults, PlaceholderValueCannotInjectRtfControlWords) {
  DataRun run({{"NOTA", "}{\\b1 x"}});
  Value render = WithContent("{\\rtf1 Nota: {{DATOS.NOTA}}\\par}")->GenerarRenderizable(run.ctx);
  EXPECT_EQ(Text(render, "contentFormat"), "rtf");
  EXPECT_EQ(Text(render, "content"), "{\\rtf1 Nota: \\}\\{\\\\b1 x\\par}");
  EXPECT_TRUE(BracesBalance(Text(render, "content")));
  EXPECT_EQ(Text(render, "plainContent"), "Nota: }{\\b1 x\n");
  // Line breaks and non-ASCII characters of the value are written the RTF way.
  EXPECT_EQ(TRichText::VBRICHTEXTINTERPOLATE("{\\rtf1 {{X}}}", "rtf", [](std::string_view) {
              return Value("a\nb\xC3\xA9");
            }),
            "{\\rtf1 a\\line b\\u233?}");
}

TEST(RichTextObjectFaults, PlaceholderValueCannotInjectHtmlMarkup) {
  DataRun run({{"URL", "\" onclick=\"x()"}, {"NOTA", "<script>x()</script>"}});
  Value render = WithContent("<p><a href=\"{{DATOS.URL}}\">{{DATOS.NOTA}}</a></p>")->GenerarRenderizable(run.ctx);
  EXPECT_EQ(Text(render, "content"),
            "<p><a href=\"&quot; onclick=&quot;x()\">&lt;script&gt;x()&lt;/script&gt;</a></p>");
  EXPECT_EQ(Text(render, "plainContent"), "<script>x()</script>");
}

TEST(RichTextObjectFaults, PlainTextHoldingTagsStaysPlainAfterInterpolation) {
  DataRun run({{"ETIQUETA", "<p>"}});
  Value render = WithContent("Use {{DATOS.ETIQUETA}} for paragraphs")->GenerarRenderizable(run.ctx);
  EXPECT_EQ(Text(render, "contentFormat"), "text");
  EXPECT_EQ(Text(render, "content"), "Use <p> for paragraphs");
  EXPECT_EQ(Text(render, "plainContent"), "Use <p> for paragraphs");
  // The RTF rendering spells the text, tags included.
  EXPECT_EQ(TRichText::VBRICHTEXTPLAINTEXT(render["rtfContent"]), "Use <p> for paragraphs\n");
}

TEST(RichTextObjectFaults, SinglePlaceholderContentTakesTheFormatOfItsValue) {
  DataRun run({{"HTML", "<p>Hola &amp; adios</p>"}, {"RTF", "{\\rtf1 {\\b hi}}"}, {"TEXTO", "a < b"}});
  Value render = WithContent(" {{ DATOS.HTML }}\n")->GenerarRenderizable(run.ctx);
  EXPECT_EQ(Text(render, "contentFormat"), "html");
  EXPECT_EQ(Text(render, "content"), " <p>Hola &amp; adios</p>\n");
  EXPECT_EQ(Text(render, "plainContent"), " Hola & adios\n");

  render = WithContent("{{DATOS.RTF}}")->GenerarRenderizable(run.ctx);
  EXPECT_EQ(Text(render, "contentFormat"), "rtf");
  EXPECT_EQ(Text(render, "content"), "{\\rtf1 {\\b hi}}");
  EXPECT_EQ(Text(render, "rtfContent"), "{\\rtf1 {\\b hi}}");

  render = WithContent("{{DATOS.TEXTO}}")->GenerarRenderizable(run.ctx);
  EXPECT_EQ(Text(render, "contentFormat"), "text");
  EXPECT_EQ(Text(render, "content"), "a < b");

  // Two placeholders are not the content coming from one value: the template's format stands.
  render = WithContent("{{DATOS.HTML}}{{DATOS.TEXTO}}")->GenerarRenderizable(run.ctx);
  EXPECT_EQ(Text(render, "contentFormat"), "text");
  EXPECT_EQ(Text(render, "content"), "<p>Hola &amp; adios</p>a < b");
}

TEST(RichTextObjectFaults, ContentFormulaMayBuildMarkupFromData) {
  DataRun run({{"NOTA", "<b>urgente</b>"}});
  auto richText = TRichText::New();
  richText->cContent = Value("\"<p>\" + DATOS.NOTA + \"</p>\"");
  Value render = richText->GenerarRenderizable(run.ctx);
  EXPECT_EQ(Text(render, "contentFormat"), "html");
  EXPECT_EQ(Text(render, "content"), "<p><b>urgente</b></p>");
  EXPECT_EQ(Text(render, "plainContent"), "urgente");
}

// ---- Migration of older keys --------------------------------------------------------------------------------

TEST(RichTextMigration, FirstApplicableRuleGivesTheContentFormula) {
  auto migrate = [](const Value& hash) { return TRichText::VBRICHTEXTMIGRATECONTENT(hash); };
  EXPECT_VALUE(migrate(HashOf({{"cContent", Value::Int(5)}, {"content", "X"}})), Value::Int(5));
  EXPECT_VALUE(migrate(HashOf({{"content", "DATOS.Y"}, {"cHtml", "<p>z</p>"}})), Value("DATOS.Y"));
  EXPECT_VALUE(migrate(HashOf({{"contentSource", "formula"}, {"contentFormula", "DATOS.X"}})), Value("DATOS.X"));
  EXPECT_VALUE(migrate(HashOf({{"cContentMode", "Formula"}, {"cContentFormula", "DATOS.A"}, {"cHtml", "<p>h</p>"}})),
               Value("DATOS.A"));
  // Fixed mode: the HTML wins over the formula, written as a literal with its quote doubled.
  EXPECT_VALUE(
      migrate(HashOf({{"origin", "fixed"}, {"contentFormula", "DATOS.A"}, {"htmlContent", "<p a=\"1\">\\</p>"}})),
      Value("\"<p a=\"\"1\"\">\\\\</p>\""));
  // Without HTML the formula serves whatever the mode.
  EXPECT_VALUE(migrate(HashOf({{"contentOrigin", "fixed"}, {"contentFormula", "DATOS.A"}, {"cHtml", "  "}})),
               Value("DATOS.A"));
  // A mode key other than "contentSource" takes precedence even when it names no mode.
  EXPECT_VALUE(migrate(HashOf({{"origin", "x"}, {"contentSource", "formula"}, {"contentFormula", "DATOS.A"},
                               {"cHtml", "<p>h</p>"}})),
               Value("\"<p>h</p>\""));
  EXPECT_VALUE(migrate(HashOf({{"contentSource", "DATOS.VIEJO"}})), Value("DATOS.VIEJO"));
  EXPECT_VALUE(migrate(HashOf({{"contentSource", "FIXED"}})), Value("\"\""));
  EXPECT_VALUE(migrate(Value::NewHash()), Value("\"\""));
}

TEST(RichTextMigration, EncodedLiteralReadsBackToTheSameText) {
  const std::string text = "a \"b\" \\c\r\nd";
  EXPECT_EQ(TRichText::VBRICHTEXTENCODELITERAL(text), "\"a \"\"b\"\" \\\\c\\r\\nd\"");
  DataRun run;
  EXPECT_VALUE(run.context->EvaluarFormula(Value(TRichText::VBRICHTEXTENCODELITERAL(text))), Value(text));
}

// ---- Load and Save ------------------------------------------------------------------------------------------

TEST(RichTextTemplate, LoadNormalisesAlignmentAndOverflow) {
  auto richText = TRichText::New();
  for (const auto& [given, loaded] : std::vector<std::pair<Value, std::string>>{
           {Value("Bottom"), "bottom"}, {Value(" CENTER "), "center"}, {Value("middle"), "top"}, {Value("c"), "top"},
           {Value::Int(3), "top"}}) {
    richText->Load(HashOf({{"cVerticalAlign", given}}));
    EXPECT_EQ(richText->cVerticalAlign, loaded) << given;
  }
  richText->Load(HashOf({{"cOverflow", "VISIBLE"}}));
  EXPECT_EQ(richText->cOverflow, "visible");
  richText->Load(HashOf({{"cOverflow", "visible "}}));
  EXPECT_EQ(richText->cOverflow, "hidden");
  richText->Load(HashOf({{"cOverflow", "VISIBLE"}}));
  richText->Load(Value::NewHash());
  EXPECT_EQ(richText->cOverflow, "hidden");
  EXPECT_EQ(richText->cVerticalAlign, "top");
  EXPECT_VALUE(richText->cContent, Value("\"\""));
  // Keys are exact.
  richText->Load(HashOf({{"coverflow", "visible"}, {"CVERTICALALIGN", "bottom"}}));
  EXPECT_EQ(richText->cOverflow, "hidden");
  EXPECT_EQ(richText->cVerticalAlign, "top");
}

TEST(RichTextTemplate, SaveThenLoadRoundTrip) {
  auto richText = TRichText::New();
  richText->Load(HashOf({{"cType", "TText"}, {"cId", "r1"}, {"nLeft", Value::Int(4)}, {"cHtml", "<p>\"x\"</p>"},
                         {"cVerticalAlign", "Center"}, {"cOverflow", "Visible"}}));
  EXPECT_VALUE(richText->cType, Value("richText"));
  richText->cType = Value("TText");
  richText->cVerticalAlign = "BOTTOM";
  Value saved = richText->Save();
  std::vector<std::string> keys = Keys(saved);
  ASSERT_GE(keys.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(keys.end() - 3, keys.end()),
            (std::vector<std::string>{"cContent", "cVerticalAlign", "cOverflow"}));
  EXPECT_EQ(keys[2], "cType");
  EXPECT_VALUE(saved["cType"], Value("richText"));
  EXPECT_VALUE(saved["cContent"], Value("\"<p>\"\"x\"\"</p>\""));
  EXPECT_VALUE(saved["cVerticalAlign"], Value("bottom"));
  EXPECT_VALUE(saved["cOverflow"], Value("visible"));

  auto copy = TRichText::New();
  copy->Load(saved);
  EXPECT_EQ(KeyValueLines(copy->Save()), KeyValueLines(saved));
  DataRun run;
  EXPECT_EQ(Text(copy->GenerarRenderizable(run.ctx), "plainContent"), "\"x\"");
}

TEST(RichTextTemplate, EveryMemberIsAnsweredForAndEndClearsTheContent) {
  auto richText = TRichText::New();
  for (const Field<TRichText>& row : TRichText::Fields()) {
    EXPECT_TRUE(richText->RespondsTo(row.key)) << row.key;
    EXPECT_TRUE(richText->RespondsTo(Upper(row.key))) << row.key;
  }
  EXPECT_TRUE(richText->RespondsTo("GenerarRenderizable"));
  EXPECT_TRUE(richText->RespondsTo("cBorderColor"));
  EXPECT_FALSE(richText->RespondsTo("cText"));
  EXPECT_TRUE(richText->End().IsNil());
  EXPECT_VALUE(richText->cContent, Value(""));
}

TEST(RichTextTemplate, ContentFormulaOfAnotherKindIsEvaluatedAsText) {
  auto richText = TRichText::New();
  richText->Load(HashOf({{"cContent", Value::Int(5)}}));
  EXPECT_VALUE(richText->Save()["cContent"], Value::Int(5));
  DataRun run;
  Value render = richText->GenerarRenderizable(run.ctx);
  EXPECT_EQ(Text(render, "content"), "5");
  EXPECT_EQ(Text(render, "contentFormat"), "text");
  // Without a context nothing is evaluated and the content is empty.
  EXPECT_EQ(Text(richText->GenerarRenderizable(Value()), "content"), "");
}

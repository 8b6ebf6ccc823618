#include "objects/TText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "Accessors.h"
#include "objects/TRectangle.h"
#include "layout_test_support.h"

using namespace nv;
using namespace nv::testing_support;

namespace {

// Opens the protected normalisers and flow helpers to the tests.
struct TextAccess : TText {
  using TText::AlturaSuprimida;
  using TText::ContarParrafosVacios;
  using TText::NormalizarOpacity;
  using TText::NormalizarParrafosVacios;
  using TText::NormalizarTextFitMode;
  using TText::NormalizarTextVerticalAlign;
  using TText::RenderCompleto;
  using TText::RenderDesdeCache;
  static std::shared_ptr<TextAccess> Make(const Value& owner = Value()) {
    auto text = std::make_shared<TextAccess>();
    text->Init(owner);
    return text;
  }
};

const std::vector<std::string> kTextSaveKeys = {
    "cText", "cFontFamily", "nFontSize", "cFontSizeFormula", "nFontOutPrecision", "nFontPitchAndFamily",
    "lFontBold", "cFontBoldFormula", "lFontItalic", "cFontItalicFormula", "lFontUnderline",
    "cFontUnderlineFormula", "lFontStrikeout", "cFontStrikeoutFormula", "cTextFitMode", "lTextWrap",
    "lForceWrap", "lAllowPageBreak", "nLineSpacing", "nParagraphSpacing", "lKeepEmptyParagraphs",
    "lTextAdjusted", "lTrimSpaces", "cTextFlowGroup", "nTextFlowOrder", "nTextFlowLineHeight", "cTextColor",
    "cTextColorFormula", "nTextOpacity", "cTextAlign", "nTextDecimalPosition", "cTextVerticalAlign",
    "cVb12SourceType", "cVb12SourceJson"};

const std::vector<std::string> kRenderKeys = {
    "id", "tipo", "x", "y", "ancho", "alto", "texto", "formula", "formulaError", "formulaErrorMessage", "fuente",
    "tamano", "precisionFuente", "familiaPitchFuente", "color", "opacidadTexto", "alineacion", "posicionDecimal",
    "alineacionVertical", "negrita", "cursiva", "subrayado", "tachado", "modoAjusteTexto", "ajusteLinea",
    "forzarParticionPalabra", "permiteSaltoPagina", "interlineado", "espaciadoParrafo", "conservarParrafosVacios",
    "ajustado", "optimizarEspacios", "grupoFlujoTexto", "ordenFlujoTexto", "alturaLineaFlujoTexto",
    "alturaSuprimidaFlujoTexto", "colorFondo", "colorBorde", "grosorBorde", "bordeSuperior", "bordeDerecho",
    "bordeInferior", "bordeIzquierdo", "redondeo", "rotacionOriginal", "rotacion", "opacidad", "sombraTamano",
    "sombraTransparencia", "sombraColor", "ordenOriginal", "capa", "zIndex", "paddingSuperior", "paddingDerecho",
    "paddingInferior", "paddingIzquierdo"};

}  // namespace

TEST(Text, DefaultsAfterNew) {
  auto text = TText::New();
  EXPECT_VALUE(text->cName, Value("Texto"));
  EXPECT_VALUE(text->cType, Value("TText"));
  EXPECT_VALUE(text->lBorderTop, Value(false));
  EXPECT_VALUE(text->lBorderLeft, Value(false));
  EXPECT_VALUE(text->cBackgroundColor, Value("#ffffff"));
  EXPECT_EQ(text->cText, "\"Texto\"");
  EXPECT_VALUE(text->cFontFamily, Value("Arial"));
  EXPECT_VALUE(text->nFontSize, Value(12));
  EXPECT_EQ(text->cTextFitMode, "wrap");
  EXPECT_TRUE(text->lTextWrap);
  EXPECT_TRUE(text->lKeepEmptyParagraphs);
  EXPECT_VALUE(text->nTextDecimalPosition, Value(-10));
  EXPECT_TRUE(text->uTextFormulaPlan.IsNil());
  EXPECT_TRUE(text->hStaticRenderPrototype.IsNil());
}

TEST(Text, LoadMatchesTextKeysIgnoringCaseButBaseKeysExactly) {
  auto text = TText::New();
  text->Load(HashOf({{"ctext", "DATOS.X"}, {"cid", "ignored"}, {"NFONTSIZE", "14"}, {"cFontName", "Courier"},
                     {"ltrimspaces", "si"}, {"cTextFlowGroup", " g "}, {"nTextFlowOrder", "3,9"},
                     {"nTextFlowLineHeight", "2,822"}, {"nLineSpacing", true}}));
  EXPECT_EQ(text->cText, "DATOS.X");
  EXPECT_VALUE(text->cId, Value(""));
  EXPECT_VALUE(text->nFontSize, Value("14"));  // kept unconverted
  EXPECT_VALUE(text->cFontFamily, Value("Courier"));
  EXPECT_TRUE(text->lTrimSpaces);
  EXPECT_EQ(text->cTextFlowGroup, " g ");
  EXPECT_EQ(text->nTextFlowOrder, 3);
  EXPECT_DOUBLE_EQ(text->nTextFlowLineHeight.AsDouble(), 2.822);
  EXPECT_VALUE(text->nLineSpacing, Value(0));  // a logical is not a number here

  // "cFormula" wins over "cText" when it is not blank; a blank one is ignored.
  text->Load(HashOf({{"cFormula", " A + B"}, {"cText", "C"}}));
  EXPECT_EQ(text->cText, " A + B");
  text->Load(HashOf({{"cFormula", "   "}, {"cText", "C"}}));
  EXPECT_EQ(text->cText, "C");
  // "cFontFamily" is preferred to "cFontName"; "cTextVerticalAlign" to "cVerticalAlign".
  text->Load(HashOf({{"cFontFamily", "Times"}, {"cFontName", "Courier"}, {"cVerticalAlign", "Bottom"}}));
  EXPECT_VALUE(text->cFontFamily, Value("Times"));
  EXPECT_EQ(text->cTextVerticalAlign, "bottom");
  text->Load(HashOf({{"cTextVerticalAlign", "middle"}, {"cVerticalAlign", "bottom"}}));
  EXPECT_EQ(text->cTextVerticalAlign, "center");
}

TEST(Text, LoadResetsTheAlwaysKeysWhenAbsent) {
  auto text = TText::New();
  text->Load(HashOf({{"cFontSizeFormula", "10+2"}, {"cFontBoldFormula", ".T."}, {"nFontOutPrecision", "3"},
                     {"cVb12SourceType", "x"}, {"lFontBold", true}, {"cTextAlign", "right"}}));
  EXPECT_EQ(text->cFontSizeFormula, "10+2");
  EXPECT_EQ(text->nFontOutPrecision, 3);
  text->Load(HashOf({{"cId", "t"}}));
  EXPECT_EQ(text->cFontSizeFormula, "");
  EXPECT_EQ(text->cFontBoldFormula, "");
  EXPECT_EQ(text->nFontOutPrecision, 0);
  EXPECT_EQ(text->cVb12SourceType, "");
  // "When present" keys keep their earlier values.
  EXPECT_TRUE(text->lFontBold);
  EXPECT_EQ(text->cTextAlign, "right");
}

TEST(Text, FitModeAndWrapStayConsistent) {
  auto text = TText::New();
  text->Load(HashOf({{"lTextWrap", false}}));
  EXPECT_EQ(text->cTextFitMode, "truncate");
  EXPECT_FALSE(text->lTextWrap);
  text->Load(HashOf({{"cTextFitMode", " Shrink "}}));
  EXPECT_EQ(text->cTextFitMode, "shrink");
  EXPECT_FALSE(text->lTextWrap);
  // Only the logical true counts as wrapping.
  auto other = TText::New();
  other->Load(HashOf({{"lTextWrap", "true"}}));
  EXPECT_EQ(other->cTextFitMode, "truncate");
  other->Load(HashOf({{"lTextWrap", true}}));
  EXPECT_EQ(other->cTextFitMode, "wrap");
  EXPECT_TRUE(other->lTextWrap);
  // Save normalises the pair in place.
  other->cTextFitMode = "bogus";
  other->lTextWrap = false;
  Value saved = other->Save();
  EXPECT_EQ(other->cTextFitMode, "truncate");
  EXPECT_VALUE(saved["cTextFitMode"], Value("truncate"));
  EXPECT_VALUE(saved["lTextWrap"], Value(false));
}

TEST(Text, OpacityAndAlignmentNormalisers) {
  EXPECT_VALUE(TextAccess::NormalizarOpacity(Value()), Value(0));
  EXPECT_DOUBLE_EQ(TextAccess::NormalizarOpacity(Value("0,5")).AsDouble(), 0.5);
  EXPECT_VALUE(TextAccess::NormalizarOpacity(Value(7)), Value(1));
  EXPECT_VALUE(TextAccess::NormalizarOpacity(Value(-0.5)), Value(0));
  EXPECT_VALUE(TextAccess::NormalizarOpacity(Value("abc")), Value(0));

  EXPECT_EQ(TextAccess::NormalizarTextVerticalAlign(Value(" Inferior")), "bottom");
  EXPECT_EQ(TextAccess::NormalizarTextVerticalAlign(Value("CENTRO")), "center");
  EXPECT_EQ(TextAccess::NormalizarTextVerticalAlign(Value(3)), "top");
  EXPECT_EQ(TextAccess::NormalizarTextFitMode(Value("Condense"), false), "condense");
  EXPECT_EQ(TextAccess::NormalizarTextFitMode(Value(), true), "wrap");

  auto text = TText::New();
  text->Load(HashOf({{"cTextColor", "#ABC"}, {"nTextOpacity", "0,25"}}));
  EXPECT_EQ(text->cTextColor, "#aabbcc");
  EXPECT_DOUBLE_EQ(text->nTextOpacity.AsDouble(), 0.25);
  text->Load(HashOf({{"cTextColor", "rgba(255,0,0,0)"}}));
  EXPECT_EQ(text->cTextColor, "#000000");
}

TEST(Text, SaveAppendsTheTextKeysAfterTheBaseKeys) {
  auto text = TText::New();
  text->cTextColor = "#ABC";  // set directly, so Save has something to normalise
  text->nTextOpacity = Value(3);
  text->cTextVerticalAlign = "Middle";
  Value saved = text->Save();
  std::vector<std::string> keys = Keys(saved);
  ASSERT_EQ(keys.size(), 46u + kTextSaveKeys.size());
  EXPECT_EQ(keys.front(), "cId");
  EXPECT_EQ(keys[45], "lVb12WrapBefore");
  EXPECT_EQ(std::vector<std::string>(keys.begin() + 46, keys.end()), kTextSaveKeys);
  EXPECT_VALUE(saved["cType"], Value("TText"));
  EXPECT_VALUE(saved["cText"], Value("\"Texto\""));
  EXPECT_VALUE(saved["cTextColor"], Value("#aabbcc"));
  EXPECT_VALUE(saved["nTextOpacity"], Value(1));
  EXPECT_VALUE(saved["cTextVerticalAlign"], Value("center"));
  EXPECT_VALUE(saved["nTextDecimalPosition"], Value(-10));

  // A saved text loads back into an equal one.
  auto copy = TText::New();
  copy->Load(saved);
  EXPECT_EQ(copy->cText, text->cText);
  EXPECT_EQ(copy->cTextColor, "#aabbcc");
  EXPECT_EQ(copy->cTextVerticalAlign, "center");
  EXPECT_EQ(Keys(copy->Save()), keys);
}

TEST(Text, EmptyParagraphsAreRemovedAndCounted) {
  auto text = TextAccess::Make();
  // Kept paragraphs: the text passes unchanged, CR LF included.
  EXPECT_EQ(text->NormalizarParrafosVacios("a\r\n\r\nb"), "a\r\n\r\nb");
  text->lKeepEmptyParagraphs = false;
  EXPECT_EQ(text->NormalizarParrafosVacios("\r\nabc"), "abc");
  EXPECT_EQ(text->NormalizarParrafosVacios(" uno \r\n \t\r\rdos\n"), " uno \ndos");
  EXPECT_EQ(text->NormalizarParrafosVacios(" \t "), "");
  EXPECT_EQ(text->NormalizarParrafosVacios(""), "");

  EXPECT_EQ(TextAccess::ContarParrafosVacios(""), 1);
  EXPECT_EQ(TextAccess::ContarParrafosVacios("abc"), 0);
  EXPECT_EQ(TextAccess::ContarParrafosVacios("\r\nabc"), 1);
  EXPECT_EQ(TextAccess::ContarParrafosVacios("abc\n"), 1);
  EXPECT_EQ(TextAccess::ContarParrafosVacios("a\r\rb\r\n \r\n"), 3);
}

TEST(Text, SuppressedHeightFollowsTheFlowLineAndTheRotation) {
  auto text = TextAccess::Make();
  text->nHeight = Value(5.644);
  text->nWidth = Value(50);
  text->nTextFlowLineHeight = Value(2.822);
  EXPECT_VALUE(text->AlturaSuprimida(0), Value(0));
  EXPECT_DOUBLE_EQ(text->AlturaSuprimida(1).AsDouble(), 2.822);
  EXPECT_DOUBLE_EQ(text->AlturaSuprimida(3).AsDouble(), 5.644);  // capped by the height

  text->nRotation = Value(90);
  text->nWidth = Value(4.233);
  text->nHeight = Value(6);
  text->nTextFlowLineHeight = Value(4.233);
  EXPECT_DOUBLE_EQ(text->AlturaSuprimida(2).AsDouble(), 4.233);  // capped by the width
  text->nRotation = Value(-90);                                    // counts as unrotated
  EXPECT_DOUBLE_EQ(text->AlturaSuprimida(2).AsDouble(), 6.0);
  text->nRotation = Value(630);  // 630 mod 360 = 270
  EXPECT_DOUBLE_EQ(text->AlturaSuprimida(2).AsDouble(), 4.233);
  text->nTextFlowLineHeight = Value(-1);
  EXPECT_DOUBLE_EQ(text->AlturaSuprimida(2).AsDouble(), 0.0);
}

TEST(Text, RenderObjectKeysFollowTheDocumentedOrder) {
  auto text = TText::New();
  text->Load(HashOf({{"cId", "t1"}, {"nLeft", 2}, {"nTop", "3"}, {"nWidth", 40}, {"nHeight", 8},
                     {"cBackgroundColor", "transparent"}, {"nPaddingLeft", -2}, {"nZIndex", 4},
                     {"lFontBold", true}, {"cTextColor", "#ABC"}}));
  Value render = text->GenerarRenderizable(Value());
  ASSERT_TRUE(render.IsHash());
  EXPECT_EQ(Keys(render), kRenderKeys);
  EXPECT_VALUE(render["id"], Value("t1"));
  EXPECT_VALUE(render["tipo"], Value("texto"));
  EXPECT_VALUE(render["y"], Value("3"));
  EXPECT_VALUE(render["formula"], Value("\"Texto\""));
  EXPECT_VALUE(render["formulaError"], Value(false));
  EXPECT_VALUE(render["formulaErrorMessage"], Value(""));
  EXPECT_VALUE(render["tamano"], Value(12));
  EXPECT_VALUE(render["color"], Value("#aabbcc"));
  EXPECT_VALUE(render["negrita"], Value(true));
  EXPECT_VALUE(render["colorFondo"], Value("transparent"));
  EXPECT_VALUE(render["bordeSuperior"], Value(false));
  EXPECT_VALUE(render["paddingIzquierdo"], Value(0));
  EXPECT_VALUE(render["capa"], Value(4));
  EXPECT_VALUE(render["alineacionVertical"], Value("top"));

  text->lVisible = Value(false);
  EXPECT_TRUE(text->GenerarRenderizable(Value()).IsNil());
}

TEST(Text, TableCellPrototypeGivesTheSameRenderInAnotherOrder) {
  // A table cell's content object: its owner is a rectangle-based object typed "TTable".
  auto table = TRectangle::New();
  table->cType = Value("TTable");
  Value data = HashOf({{"cId", "cell"}, {"nLeft", 1.5}, {"nTop", 2}, {"nWidth", 20}, {"nHeight", 5},
                       {"nZIndex", 7}, {"cFontFamily", "Courier"}, {"lFontItalic", true}, {"nPaddingTop", 1}});
  auto cell = TText::New(Value(table));
  cell->Load(data);
  auto plain = TText::New();
  plain->Load(data);

  Value first = cell->GenerarRenderizable(Value());
  ASSERT_TRUE(cell->hStaticRenderPrototype.IsHash());
  EXPECT_EQ(cell->hStaticRenderPrototype.Len(), 55u);
  Value expected = plain->GenerarRenderizable(Value());
  std::vector<std::string> keys = Keys(first);
  ASSERT_EQ(keys.size(), kRenderKeys.size());
  EXPECT_EQ(keys[keys.size() - 2], "formulaError");
  EXPECT_EQ(keys.back(), "formulaErrorMessage");
  for (const auto& [key, value] : expected.AsHash()) {
    ASSERT_TRUE(first.Has(key)) << key;
    EXPECT_VALUE(first[key], value) << key;
  }

  // The table moves its cell between renders: the dynamic keys follow, the prototype stays.
  cell->cId = Value("cell2");
  cell->nTop = Value(9);
  cell->nZIndex = Value(3);
  Value second = cell->GenerarRenderizable(Value());
  EXPECT_VALUE(second["id"], Value("cell2"));
  EXPECT_VALUE(second["y"], Value(9));
  EXPECT_VALUE(second["ordenOriginal"], Value(3));
  EXPECT_VALUE(second["zIndex"], Value(3));
  EXPECT_VALUE(cell->hStaticRenderPrototype["id"], Value(""));
  EXPECT_FALSE(first.SameRef(second));

  // A style formula rules the prototype out; Load and End discard it.
  cell->cFontBoldFormula = "DATOS.B";
  Value third = cell->GenerarRenderizable(Value());
  EXPECT_EQ(Keys(third), kRenderKeys);
  cell->Load(data);
  EXPECT_TRUE(cell->hStaticRenderPrototype.IsNil());
  cell->GenerarRenderizable(Value());
  EXPECT_TRUE(cell->hStaticRenderPrototype.IsHash());
  cell->End();
  EXPECT_TRUE(cell->hStaticRenderPrototype.IsNil());
  EXPECT_TRUE(cell->oParent.IsNil());
}

TEST(Text, CachedRenderEqualsTheRenderBuiltFromScratch) {
  auto text = TextAccess::Make();
  text->Load(HashOf({{"cId", "t1"}, {"nLeft", 2.5}, {"nTop", "3"}, {"nWidth", 40}, {"nHeight", 8},
                     {"cBackgroundColor", "transparent"}, {"nPaddingLeft", -2}, {"nZIndex", 4},
                     {"lFontBold", true}, {"cTextColor", "#ABC"}, {"cTextVerticalAlign", "middle"},
                     {"nTextOpacity", "0,5"}, {"cTextFlowGroup", "g"}, {"nTextFlowLineHeight", 4.25}}));
  const std::string kText = "Cliente con un nombre largo";
  auto scratch = [&](const std::string& content, int64_t count, bool error, const std::string& message) {
    return KeyValueLines(text->RenderCompleto(Value(), content, count, error, message));
  };

  EXPECT_EQ(KeyValueLines(text->RenderDesdeCache(kText, 2, true, "fallo")), scratch(kText, 2, true, "fallo"));
  // The second render is copied from the kept one, with its own text and failure state.
  EXPECT_EQ(KeyValueLines(text->RenderDesdeCache("otro", 0, false, "")), scratch("otro", 0, false, ""));
  EXPECT_EQ(KeyValueLines(text->GenerarRenderizable(Value())), scratch("", 0, false, ""));

  // Each render is a hash of its own: changing one (as the label road shifts it) leaves the next.
  Value first = text->GenerarRenderizable(Value());
  first.Set("x", Value(99));
  first.Set("debugEtiqueta", Value::NewHash());
  EXPECT_EQ(KeyValueLines(text->GenerarRenderizable(Value())), scratch("", 0, false, ""));

  // Any member the render reads, changed between renders, is seen by the next one; numbers also
  // by their kind and decimals.
  const std::vector<std::pair<const char*, std::function<void()>>> changes = {
      {"cId", [&] { text->cId = Value("t2"); }},
      {"nLeft", [&] { text->nLeft = Value::Dbl(2.5, 2); }},
      {"nTop", [&] { text->nTop = Value(3); }},
      {"nWidth", [&] { text->nWidth = Value(40.0); }},
      {"nHeight", [&] { text->nHeight = Value(9); }},
      {"cText", [&] { text->cText = "LINEAS.NOMBRE"; }},
      {"cFontFamily", [&] { text->cFontFamily = "Courier"; }},
      {"nFontSize", [&] { text->nFontSize = Value::Dbl(12, 1); }},
      {"nFontOutPrecision", [&] { text->nFontOutPrecision = 3; }},
      {"nFontPitchAndFamily", [&] { text->nFontPitchAndFamily = 2; }},
      {"lFontBold", [&] { text->lFontBold = false; }},
      {"lFontItalic", [&] { text->lFontItalic = true; }},
      {"lFontUnderline", [&] { text->lFontUnderline = true; }},
      {"lFontStrikeout", [&] { text->lFontStrikeout = true; }},
      {"cTextColor", [&] { text->cTextColor = "#123456"; }},
      {"nTextOpacity", [&] { text->nTextOpacity = Value(7); }},
      {"cTextAlign", [&] { text->cTextAlign = "right"; }},
      {"nTextDecimalPosition", [&] { text->nTextDecimalPosition = Value(3); }},
      {"cTextVerticalAlign", [&] { text->cTextVerticalAlign = "bottom"; }},
      {"cTextFitMode", [&] { text->cTextFitMode = "shrink"; }},
      {"lTextWrap", [&] { text->lTextWrap = false; }},
      {"lForceWrap", [&] { text->lForceWrap = true; }},
      {"lAllowPageBreak", [&] { text->lAllowPageBreak = true; }},
      {"nLineSpacing", [&] { text->nLineSpacing = Value(1.5); }},
      {"nParagraphSpacing", [&] { text->nParagraphSpacing = Value(2); }},
      {"lKeepEmptyParagraphs", [&] { text->lKeepEmptyParagraphs = false; }},
      {"lTextAdjusted", [&] { text->lTextAdjusted = true; }},
      {"lTrimSpaces", [&] { text->lTrimSpaces = true; }},
      {"cTextFlowGroup", [&] { text->cTextFlowGroup = "h"; }},
      {"nTextFlowOrder", [&] { text->nTextFlowOrder = 5; }},
      {"nTextFlowLineHeight", [&] { text->nTextFlowLineHeight = Value(3); }},
      {"cBackgroundColor", [&] { text->cBackgroundColor = Value(5); }},
      {"cBorderColor", [&] { text->cBorderColor = Value("#00ff00"); }},
      {"nBorderWidth", [&] { text->nBorderWidth = Value::Dbl(0.1, 2); }},
      {"lBorderTop", [&] { text->lBorderTop = Value(true); }},
      {"lBorderRight", [&] { text->lBorderRight = Value(1); }},
      {"lBorderBottom", [&] { text->lBorderBottom = Value("si"); }},
      {"lBorderLeft", [&] { text->lBorderLeft = Value(); }},
      {"nRounded", [&] { text->nRounded = Value(2); }},
      {"nRotation", [&] { text->nRotation = Value(90); }},
      {"nOpacity", [&] { text->nOpacity = Value(0.5); }},
      {"nShadowSize", [&] { text->nShadowSize = Value(1); }},
      {"nShadowTransparency", [&] { text->nShadowTransparency = Value(20); }},
      {"cShadowColor", [&] { text->cShadowColor = Value("#333333"); }},
      {"nZIndex", [&] { text->nZIndex = Value(9); }},
      {"nPaddingTop", [&] { text->nPaddingTop = Value(1); }},
      {"nPaddingRight", [&] { text->nPaddingRight = Value(-1); }},
      {"nPaddingBottom", [&] { text->nPaddingBottom = Value("2"); }},
      {"nPaddingLeft", [&] { text->nPaddingLeft = Value(0.25); }},
      {"blank formulas", [&] { text->cTextColorFormula = "  "; text->cBorderColorFormula = Value(" \t"); }},
  };
  for (const auto& [member, change] : changes) {
    change();
    EXPECT_EQ(KeyValueLines(text->RenderDesdeCache(kText, 1, false, "")), scratch(kText, 1, false, "")) << member;
    // Without a context the content is empty, which counts as one blank paragraph in a group.
    const int64_t blank = (!text->cTextFlowGroup.empty() && !text->lKeepEmptyParagraphs) ? 1 : 0;
    EXPECT_EQ(KeyValueLines(text->GenerarRenderizable(Value())), scratch("", blank, false, "")) << member;
  }
}

TEST(Text, CachedRenderStepsAsideForStyleFormulasAndCollectionMembers) {
  auto text = TextAccess::Make();
  text->Load(HashOf({{"cId", "t1"}, {"nWidth", 40}, {"nHeight", 8}}));
  ASSERT_TRUE(text->RenderDesdeCache("a", 0, false, "").IsHash());

  // A style formula needs the context on every render.
  text->cFontBoldFormula = "DATOS.NEGRITA";
  EXPECT_TRUE(text->RenderDesdeCache("a", 0, false, "").IsNil());
  EXPECT_EQ(KeyValueLines(text->GenerarRenderizable(Value())),
            KeyValueLines(text->RenderCompleto(Value(), "", 0, false, "")));
  text->cFontBoldFormula.clear();
  text->cShadowColorFormula = Value(1);  // a number is a formula text "1"
  EXPECT_TRUE(text->RenderDesdeCache("a", 0, false, "").IsNil());
  text->cShadowColorFormula = Value("");
  ASSERT_TRUE(text->RenderDesdeCache("a", 0, false, "").IsHash());

  // A hash member could change inside without the member changing: never cached, and the render
  // still holds the member itself, as the render built from scratch does.
  Value width = HashOf({{"mm", 3}});
  text->nBorderWidth = width;
  EXPECT_TRUE(text->RenderDesdeCache("a", 0, false, "").IsNil());
  Value render = text->GenerarRenderizable(Value());
  EXPECT_TRUE(render["grosorBorde"].SameRef(width));
  EXPECT_EQ(KeyValueLines(render), KeyValueLines(text->RenderCompleto(Value(), "", 0, false, "")));
  text->nBorderWidth = Value(0.2);
  EXPECT_TRUE(text->RenderDesdeCache("a", 0, false, "").IsHash());

  // Load and End drop what was kept; the next render builds it again.
  text->Load(HashOf({{"cId", "t3"}, {"cFontFamily", "Courier"}}));
  EXPECT_EQ(KeyValueLines(text->GenerarRenderizable(Value())),
            KeyValueLines(text->RenderCompleto(Value(), "", 0, false, "")));
  text->End();
  EXPECT_EQ(KeyValueLines(text->RenderDesdeCache("b", 0, true, "x")),
            KeyValueLines(text->RenderCompleto(Value(), "b", 0, true, "x")));
}

TEST(Text, CachedRenderSeesEveryStyleFormulaSetAfterTheCapture) {
  // The kept render is trusted without a separate test of the style formulas: each one set on a
  // text whose render was kept must still rule the kept render out, and clearing it brings it back.
  auto text = TextAccess::Make();
  text->Load(HashOf({{"cId", "t1"}, {"nWidth", 40}, {"nHeight", 8}, {"lFontBold", true}}));
  const std::vector<std::pair<const char*, std::function<void(bool)>>> formulas = {
      {"cTextColorFormula", [&](bool on) { text->cTextColorFormula = on ? "DATOS.C" : ""; }},
      {"cFontSizeFormula", [&](bool on) { text->cFontSizeFormula = on ? "DATOS.T" : ""; }},
      {"cFontBoldFormula", [&](bool on) { text->cFontBoldFormula = on ? "DATOS.B" : ""; }},
      {"cFontItalicFormula", [&](bool on) { text->cFontItalicFormula = on ? "DATOS.I" : ""; }},
      {"cFontUnderlineFormula", [&](bool on) { text->cFontUnderlineFormula = on ? "DATOS.U" : ""; }},
      {"cFontStrikeoutFormula", [&](bool on) { text->cFontStrikeoutFormula = on ? "DATOS.S" : ""; }},
      {"cBackgroundColorFormula", [&](bool on) { text->cBackgroundColorFormula = on ? Value("DATOS.F") : Value(); }},
      {"cBorderColorFormula", [&](bool on) { text->cBorderColorFormula = on ? Value("DATOS.R") : Value(""); }},
      {"cShadowColorFormula", [&](bool on) { text->cShadowColorFormula = on ? Value(2) : Value(" "); }},
  };
  for (const auto& [member, set] : formulas) {
    ASSERT_TRUE(text->RenderDesdeCache("a", 0, false, "").IsHash()) << member;
    set(true);
    EXPECT_TRUE(text->RenderDesdeCache("a", 0, false, "").IsNil()) << member;
    // Twice: the second look finds the copies taken before the formula was set, not a match.
    EXPECT_TRUE(text->RenderDesdeCache("a", 0, false, "").IsNil()) << member;
    EXPECT_EQ(KeyValueLines(text->GenerarRenderizable(Value())),
              KeyValueLines(text->RenderCompleto(Value(), "", 0, false, "")))
        << member;
    set(false);
    EXPECT_EQ(KeyValueLines(text->RenderDesdeCache("b", 0, true, "x")),
              KeyValueLines(text->RenderCompleto(Value(), "b", 0, true, "x")))
        << member;
  }
}

TEST(Text, CachedRenderKeepsNumbersThatAreEqualButNotIdentical) {
  // Numbers equal in value but different in kind, decimals or the sign of zero must each reach the
  // next render as the member holds them.
  auto text = TextAccess::Make();
  text->Load(HashOf({{"cId", "t1"}, {"nLeft", 3}, {"nTop", 2.5}, {"nWidth", 40}, {"nHeight", 8}, {"nRounded", 0.0}}));
  auto identical = [](const Value& a, const Value& b) { return a.Identical(b); };
  ASSERT_TRUE(text->RenderDesdeCache("a", 0, false, "").IsHash());

  text->nLeft = Value(3.0);
  Value render = text->RenderDesdeCache("a", 0, false, "");
  EXPECT_TRUE(identical(render["x"], Value(3.0)));
  EXPECT_FALSE(identical(render["x"], Value::Int(3)));

  text->nTop = Value::Dbl(2.5, 3);
  render = text->RenderDesdeCache("a", 0, false, "");
  EXPECT_EQ(render["y"].AsNumber().decimals, 3);

  text->nRounded = Value(-0.0);
  render = text->RenderDesdeCache("a", 0, false, "");
  EXPECT_TRUE(std::signbit(render["redondeo"].AsDouble()));
  text->nRounded = Value(0.0);
  render = text->RenderDesdeCache("a", 0, false, "");
  EXPECT_FALSE(std::signbit(render["redondeo"].AsDouble()));

  // A number member turned into a text of the same digits, and back.
  text->nHeight = Value("8");
  EXPECT_TRUE(identical(text->RenderDesdeCache("a", 0, false, "")["alto"], Value("8")));
  text->nHeight = Value::Int(8);
  EXPECT_TRUE(identical(text->RenderDesdeCache("a", 0, false, "")["alto"], Value::Int(8)));
  EXPECT_EQ(KeyValueLines(text->RenderDesdeCache("a", 0, false, "")),
            KeyValueLines(text->RenderCompleto(Value(), "a", 0, false, "")));
}

#include "objects/TBarcode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Accessors.h"
#include "data/TConectorDatosReg.h"
#include "run/TContextoEjecucion.h"
#include "formula/TEvaluadorFormulas.h"
#include "layout_test_support.h"

using namespace nv;
using namespace nv::testing_support;

namespace {

/// A connector without data, an evaluator and a context over them, ended in reverse order.
class BarcodeObject : public ::testing::Test {
 protected:
  void SetUp() override {
    connector = TConectorDatosReg::New();
    connector->Create();
    evaluator = TEvaluadorFormulas::New();
    evaluator->Create();
    context = TContextoEjecucion::New(Value(connector), Value(evaluator), Value::NewHash());
    context->Create();
  }
  void TearDown() override {
    context->End();
    evaluator->End();
    connector->End();
  }

  Value Render(std::initializer_list<std::pair<const char*, Value>> keys) {
    auto barcode = TVBBarcode::New();
    barcode->Load(HashOf(keys));
    return barcode->GenerarRenderizable(Value(context));
  }

  std::shared_ptr<TConectorDatosReg> connector;
  std::shared_ptr<TEvaluadorFormulas> evaluator;
  std::shared_ptr<TContextoEjecucion> context;
};

/// A context without an evaluator: every formula evaluates to its own text, without failing.
class BarcodeObjectVerbatim : public ::testing::Test {
 protected:
  void SetUp() override {
    connector = TConectorDatosReg::New();
    connector->Create();
    context = TContextoEjecucion::New(Value(connector), Value(), Value::NewHash());
    context->Create();
  }
  void TearDown() override {
    context->End();
    connector->End();
  }

  Value Render(std::initializer_list<std::pair<const char*, Value>> keys) {
    auto barcode = TVBBarcode::New();
    barcode->Load(HashOf(keys));
    return barcode->GenerarRenderizable(Value(context));
  }

  std::shared_ptr<TConectorDatosReg> connector;
  std::shared_ptr<TContextoEjecucion> context;
};

const std::vector<std::string> kSaveKeys = {
    "cContent", "cBarcodeType", "lShowText", "lTrimSpaces", "cColor", "cColorFormula", "cFontFamily", "nFontSize",
    "cFontSizeFormula", "lFontBold", "cFontBoldFormula", "lFontItalic", "cFontItalicFormula", "lFontUnderline",
    "cFontUnderlineFormula", "lFontStrikeout", "cFontStrikeoutFormula"};

const std::vector<std::string> kObjectKeys = {
    "id", "formula", "formulaError", "formulaErrorMessage", "x", "y", "ancho", "alto", "color", "colorFondo",
    "optimizarEspacios", "fuente", "tamano", "negrita", "cursiva", "subrayado", "tachado", "rotacion", "opacidad",
    "zIndex", "paddingSuperior", "paddingDerecho", "paddingInferior", "paddingIzquierdo"};

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

}  // namespace

TEST(BarcodeObjectModel, DefaultsLoadAndSave) {
  auto barcode = TVBBarcode::New();
  EXPECT_VALUE(barcode->cName, Value("Código de barras"));
  EXPECT_VALUE(barcode->cType, Value("TBarcode"));
  EXPECT_VALUE(barcode->lBorderTop, Value(false));
  EXPECT_VALUE(barcode->lBorderLeft, Value(false));
  EXPECT_VALUE(barcode->cContent, Value("\"123456789012\""));
  EXPECT_VALUE(barcode->cBarcodeType, Value("EAN13"));
  EXPECT_TRUE(barcode->lShowText);

  barcode->Load(HashOf({{"cContent", Value::Int(5)},
                        {"cbarcodetype", Value("QR")},
                        {"lShowText", Value("no")},
                        {"lTrimSpaces", Value("yes")},
                        {"cFontName", Value("Courier")},
                        {"nFontSize", Value("9")},
                        {"cFontBoldFormula", Value::Int(1)},
                        {"lFontItalic", Value::Int(1)}}));
  EXPECT_VALUE(barcode->cContent, Value::Int(5));
  EXPECT_VALUE(barcode->cBarcodeType, Value("EAN13")) << "keys are matched exactly";
  EXPECT_FALSE(barcode->lShowText);
  EXPECT_TRUE(barcode->lTrimSpaces);
  EXPECT_VALUE(barcode->cFontFamily, Value("Courier"));
  EXPECT_VALUE(barcode->nFontSize, Value("9"));
  EXPECT_EQ(barcode->cFontBoldFormula, "1");
  EXPECT_TRUE(barcode->lFontItalic);
  EXPECT_EQ(barcode->cFontSizeFormula, "") << "formula keys are always read";

  barcode->Load(HashOf({{"cFontFamily", Value("Arial Narrow")}, {"cFontName", Value("Courier")}}));
  EXPECT_VALUE(barcode->cFontFamily, Value("Arial Narrow"));
  EXPECT_EQ(barcode->cFontBoldFormula, "") << "an absent formula key clears the formula";
  barcode->Load(Value("not a hash"));
  EXPECT_VALUE(barcode->cFontFamily, Value("Arial Narrow"));

  const Value saved = barcode->Save();
  const std::vector<std::string> keys = Keys(saved);
  ASSERT_GE(keys.size(), kSaveKeys.size());
  EXPECT_EQ(std::vector<std::string>(keys.end() - static_cast<long>(kSaveKeys.size()), keys.end()), kSaveKeys);
  EXPECT_VALUE(saved["cType"], Value("TBarcode"));
  auto copy = TVBBarcode::New();
  copy->Load(saved);
  EXPECT_EQ(Keys(copy->Save()), keys);
  EXPECT_VALUE(copy->Save()["cContent"], Value::Int(5));
  EXPECT_TRUE(barcode->RespondsTo("cbarcodetype"));
  EXPECT_TRUE(barcode->RespondsTo("GenerarRenderizable"));
  EXPECT_TRUE(barcode->RespondsTo("nLeft"));
  EXPECT_FALSE(barcode->RespondsTo("cText"));
}

TEST_F(BarcodeObjectVerbatim, RendersTheResultWithTheObjectKeys) {
  const Value render = Render({{"cId", Value("bc1")},
                               {"cContent", Value("123456789012")},
                               {"nLeft", Value::Int(10)},
                               {"nTop", Value::Int(20)},
                               {"nWidth", Value::Int(40)},
                               {"nHeight", Value::Int(15)},
                               {"cColor", Value("#AA00Bb")},
                               {"lShowText", Value(false)},
                               {"nPaddingTop", Value::Int(-3)}});
  ASSERT_TRUE(render.IsHash());
  EXPECT_EQ(Keys(render), Concat({"tipo", "barcodeTipo", "texto", "bits", "margenIzquierdoModulos",
                                  "margenDerechoModulos", "mostrarTexto"},
                                 kObjectKeys));
  EXPECT_VALUE(render["tipo"], Value("barcode"));
  EXPECT_VALUE(render["texto"], Value("1234567890128"));
  EXPECT_EQ(render["bits"].Len(), 95u);
  EXPECT_VALUE(render["formulaError"], Value(false));
  EXPECT_VALUE(render["formulaErrorMessage"], Value(""));
  EXPECT_VALUE(render["formula"], Value("123456789012"));
  EXPECT_VALUE(render["mostrarTexto"], Value(false)) << "the object's setting replaces the result's";
  EXPECT_VALUE(render["color"], Value("#aa00bb"));
  EXPECT_VALUE(render["colorFondo"], Value("#ffffff"));
  EXPECT_VALUE(render["x"], Value::Int(10));
  EXPECT_VALUE(render["alto"], Value::Int(15));
  EXPECT_VALUE(render["tamano"], Value::Int(12));
  EXPECT_VALUE(render["paddingSuperior"], Value::Int(0));
  EXPECT_FALSE(render.Has("colorBorde"));
  EXPECT_FALSE(render.Has("capa"));
}

TEST_F(BarcodeObject, KeepsTheFormulaErrorBesideTheEncodingError) {
  const Value failed = Render({{"cContent", Value("DATOS.NO_EXISTE")}, {"cBarcodeType", Value("EAN13")}});
  EXPECT_VALUE(failed["formulaError"], Value(true));
  EXPECT_FALSE(ValueString(failed["formulaErrorMessage"]).empty());
  EXPECT_EQ(ValueString(HGet(failed, "error")), "EAN-13 debe contener 12 o 13 digitos.");
  EXPECT_GE(context->GetAvisos().Len(), 1u);

  const Value wrongContent = Render({{"cContent", Value("\"12AB\"")}, {"cBarcodeType", Value("EAN13")}});
  EXPECT_VALUE(wrongContent["formulaError"], Value(false));
  EXPECT_EQ(ValueString(HGet(wrongContent, "error")), "EAN-13 debe contener 12 o 13 digitos.");
  EXPECT_EQ(Keys(wrongContent), Concat({"tipo", "barcodeTipo", "texto", "error"},
                                       {"id", "formula", "formulaError", "formulaErrorMessage", "x", "y", "ancho",
                                        "alto", "color", "colorFondo", "mostrarTexto", "optimizarEspacios", "fuente",
                                        "tamano", "negrita", "cursiva", "subrayado", "tachado", "rotacion",
                                        "opacidad", "zIndex", "paddingSuperior", "paddingDerecho",
                                        "paddingInferior", "paddingIzquierdo"}));
}

TEST_F(BarcodeObjectVerbatim, TrimsOnlyWhenAskedAndEvaluatesTheFontFormulas) {
  EXPECT_VALUE(Render({{"cContent", Value(" 1234567 ")}, {"cBarcodeType", Value("EAN8")}, {"lTrimSpaces", Value(true)}})["texto"],
               Value("12345670"));
  EXPECT_EQ(ValueString(HGet(Render({{"cContent", Value(" 1234567 ")}, {"cBarcodeType", Value("EAN8")}}), "error")),
            "EAN-8 debe contener 7 u 8 digitos.");
  EXPECT_VALUE(Render({{"cContent", Value("ABC")}, {"cBarcodeType", Value("code 128")}})["barcodeTipo"], Value("CODE128"));
  EXPECT_VALUE(Render({{"cContent", Value("Norvane")}, {"cBarcodeType", Value("Data Matrix")}})["margenModulos"],
               Value::Int(1));

  const Value styled = Render({{"cContent", Value("ABC")},
                               {"cBarcodeType", Value("CODE128")},
                               {"cFontSizeFormula", Value("0.5")},
                               {"cFontBoldFormula", Value("yes")},
                               {"lFontItalic", Value(true)},
                               {"cFontItalicFormula", Value("  ")},
                               {"cFontStrikeoutFormula", Value("0")},
                               {"lFontStrikeout", Value(true)},
                               {"cColorFormula", Value("#00FF00")},
                               {"cBackgroundColorFormula", Value("transparent")}});
  EXPECT_VALUE(styled["tamano"], Value::Int(1)) << "a formula size is at least 1";
  EXPECT_VALUE(styled["negrita"], Value(true));
  EXPECT_VALUE(styled["cursiva"], Value(true)) << "a blank formula keeps the member";
  EXPECT_VALUE(styled["tachado"], Value(false));
  EXPECT_VALUE(styled["color"], Value("#00ff00"));
  EXPECT_VALUE(styled["colorFondo"], Value("transparent"));
  EXPECT_VALUE(Render({{"cContent", Value("ABC")}, {"cBarcodeType", Value("CODE128")}, {"cFontSizeFormula", Value("14")}})["tamano"],
               Value::Int(14));
}

TEST_F(BarcodeObject, EncodesTheValueOfTheContentFormula) {
  EXPECT_VALUE(Render({})["texto"], Value("1234567890128"));
  EXPECT_VALUE(Render({})["formulaError"], Value(false));
  EXPECT_VALUE(Render({{"cContent", Value("123456789012")}})["texto"], Value("1234567890128"));
  EXPECT_VALUE(Render({{"cContent", Value("\" 1234567 \"")}, {"cBarcodeType", Value("EAN8")}, {"lTrimSpaces", Value(true)}})["texto"],
               Value("12345670"));
}

TEST_F(BarcodeObject, UsesABarcodeResultReturnedByTheFormula) {
  const Value qr = Render({{"cContent", Value("Barcode(\"Norvane\", \"QR\")")}, {"cBarcodeType", Value("EAN13")}});
  EXPECT_VALUE(qr["formulaError"], Value(false));
  EXPECT_VALUE(qr["barcodeTipo"], Value("QR"));
  EXPECT_EQ(qr["matriz"].Len(), 21u);
  EXPECT_VALUE(qr["margenModulos"], Value::Int(4));

  // Trimming a ready result trims its text and keeps its modules.
  const Value trimmed = Render({{"cContent", Value("Barcode(\"  ABC \", \"CODE128\")")}, {"lTrimSpaces", Value(true)}});
  EXPECT_VALUE(trimmed["texto"], Value("ABC"));
  EXPECT_EQ(trimmed["bits"].Len(), 11u * 8 + 13);

  const Value missing = Render({{"cContent", Value("Barcode(\"1\")")}});
  EXPECT_EQ(ValueString(HGet(missing, "error")), "Funcion Barcode no valida");
  EXPECT_FALSE(missing.Has("barcodeTipo"));
  EXPECT_FALSE(missing.Has("texto"));
}

TEST(BarcodeObjectModel, RendersWithoutAContext) {
  auto barcode = TVBBarcode::New();
  Value render;
  EXPECT_NO_THROW(render = barcode->GenerarRenderizable(Value()));
  // With nothing to evaluate the formula the content is empty.
  if (render.IsHash()) {
    EXPECT_VALUE(render["tipo"], Value("barcode"));
    EXPECT_VALUE(render["formulaError"], Value(false));
  }
  barcode->lVisible = Value(false);
  EXPECT_TRUE(barcode->GenerarRenderizable(Value()).IsNil());
  EXPECT_TRUE(barcode->End().IsNil());
  EXPECT_TRUE(barcode->oParent.IsNil());
}

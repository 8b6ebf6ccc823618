#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "objects/TEllipse.h"
#include "objects/TLine.h"
#include "objects/TRectangle.h"
#include "layout_test_support.h"

using namespace nv;
using namespace nv::testing_support;

namespace {

const std::vector<std::string> kBoxKeys = {
    "id", "tipo", "x", "y", "ancho", "alto", "colorBorde", "grosorBorde", "bordeSuperior", "bordeDerecho",
    "bordeInferior", "bordeIzquierdo", "colorFondo", "estiloRelleno", "patronRelleno", "colorRelleno2",
    "colorRelleno3", "opacidadRelleno", "factorGradienteRelleno", "redondeo", "rotacionOriginal", "rotacion",
    "opacidad", "sombraTamano", "sombraTransparencia", "sombraColor", "ordenOriginal", "capa", "zIndex"};

const std::vector<std::string> kLineKeys = {
    "id", "tipo", "x", "y", "ancho", "alto", "color", "grosor", "orientacion", "estilo", "rotacionOriginal",
    "rotacion", "opacidad", "sombraTamano", "sombraTransparencia", "sombraColor", "ordenOriginal", "capa",
    "zIndex"};

}  // namespace

TEST(Shapes, RectangleFromAMinimalTemplate) {
  auto rectangle = TRectangle::New();
  EXPECT_VALUE(rectangle->cName, Value("Rectángulo"));
  EXPECT_VALUE(rectangle->cType, Value("TRectangle"));
  rectangle->Load(HashOf({{"cId", "rect1"}, {"nLeft", 5}, {"nTop", 15}, {"nWidth", 20}, {"nHeight", 10}}));
  Value render = rectangle->GenerarRenderizable(Value());
  ASSERT_TRUE(render.IsHash());
  EXPECT_EQ(Keys(render), kBoxKeys);
  EXPECT_VALUE(render["tipo"], Value("rectangulo"));
  EXPECT_VALUE(render["x"], Value(5));
  EXPECT_VALUE(render["alto"], Value(10));
  EXPECT_VALUE(render["colorBorde"], Value("#000000"));
  EXPECT_VALUE(render["colorFondo"], Value("#ffffff"));
  EXPECT_VALUE(render["estiloRelleno"], Value("solid"));
  EXPECT_VALUE(render["patronRelleno"], Value(1));
  EXPECT_VALUE(render["colorRelleno2"], Value("#ffffff"));
  for (const char* side : {"bordeSuperior", "bordeDerecho", "bordeInferior", "bordeIzquierdo"}) {
    EXPECT_VALUE(render[side], Value(true)) << side;
  }
  EXPECT_VALUE(render["redondeo"], Value(0));
  EXPECT_VALUE(render["zIndex"], Value(1));

  // Static colours pass unvalidated in plain mode.
  rectangle->Load(HashOf({{"cBorderColor", "red"}, {"cBackgroundColor", "transparent"}, {"nRotation", 30}}));
  render = rectangle->GenerarRenderizable(Value());
  EXPECT_VALUE(render["colorBorde"], Value("red"));
  EXPECT_VALUE(render["colorFondo"], Value("transparent"));
  EXPECT_VALUE(render["rotacionOriginal"], Value(30));
  EXPECT_VALUE(render["rotacion"], Value(30));

  rectangle->Load(HashOf({{"lVisible", false}}));
  EXPECT_TRUE(rectangle->GenerarRenderizable(Value()).IsNil());
  EXPECT_EQ(Keys(rectangle->Save()).size(), 46u);
}

TEST(Shapes, EllipseIsAlwaysFullyRounded) {
  auto ellipse = TEllipse::New();
  EXPECT_VALUE(ellipse->cName, Value("Elipse"));
  EXPECT_VALUE(ellipse->nLeft, Value(20));
  EXPECT_VALUE(ellipse->nTop, Value(20));
  EXPECT_VALUE(ellipse->nWidth, Value(50));
  EXPECT_VALUE(ellipse->nHeight, Value(30));
  EXPECT_VALUE(ellipse->nRounded, Value(50));
  ellipse->Load(HashOf({{"nRounded", 10}, {"cId", "e"}}));
  EXPECT_VALUE(ellipse->nRounded, Value(10));
  Value render = ellipse->GenerarRenderizable(Value());
  EXPECT_EQ(Keys(render), kBoxKeys);
  EXPECT_VALUE(render["tipo"], Value("elipse"));
  EXPECT_VALUE(render["redondeo"], Value(50));
  EXPECT_VALUE(ellipse->Save()["nRounded"], Value(10));
}

TEST(Shapes, LineDefaultsKeysAndNormalisedStroke) {
  auto line = TLine::New();
  EXPECT_VALUE(line->cName, Value("Línea"));
  EXPECT_VALUE(line->cType, Value("TLine"));
  EXPECT_VALUE(line->nHeight, Value(1));
  EXPECT_VALUE(line->nWidth, Value(50));
  EXPECT_VALUE(line->cBackgroundColor, Value("transparent"));
  EXPECT_VALUE(line->lBorderBottom, Value(false));

  line->Load(HashOf({{"cId", "l1"}, {"cBorderColor", "#FFF"}, {"nBorderWidth", 0.5}, {"cOrientation", "vertical"},
                     {"cLineStyle", 3}, {"corientation", "ignored"}}));
  EXPECT_VALUE(line->cOrientation, Value("vertical"));
  EXPECT_VALUE(line->cLineStyle, Value(3));  // kept unconverted
  Value render = line->GenerarRenderizable(Value());
  EXPECT_EQ(Keys(render), kLineKeys);
  EXPECT_VALUE(render["tipo"], Value("linea"));
  EXPECT_VALUE(render["color"], Value("#000000"));
  EXPECT_VALUE(render["grosor"], Value(0.5));
  EXPECT_VALUE(render["orientacion"], Value("vertical"));
  EXPECT_VALUE(render["estilo"], Value(3));

  line->cBorderColor = Value(" #AbCdEf");
  EXPECT_VALUE(line->GenerarRenderizable(Value())["color"], Value("#abcdef"));

  Value saved = line->Save();
  std::vector<std::string> keys = Keys(saved);
  ASSERT_EQ(keys.size(), 48u);
  EXPECT_EQ(keys[46], "cOrientation");
  EXPECT_EQ(keys[47], "cLineStyle");
  line->Load(Value(5));  // a non-hash changes nothing
  EXPECT_VALUE(line->cOrientation, Value("vertical"));
  EXPECT_TRUE(line->End().IsNil());
}

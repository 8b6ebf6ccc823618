// PNG output: header figures, pixels of shapes where they matter, order, rotation, opacity, and a
// page longer than one band.
#include <gtest/gtest.h>

#include <cmath>

#include "ExportTestSupport.h"

using namespace nv;
using namespace nv::exporttest;

namespace {

constexpr double kDpi = 100;

void ExpectColor(const uint8_t* pixel, int r, int g, int b, const std::string& where) {
  EXPECT_NEAR(pixel[0], r, 2) << where;
  EXPECT_NEAR(pixel[1], g, 2) << where;
  EXPECT_NEAR(pixel[2], b, 2) << where;
}

Image Draw(const std::vector<Value>& objects, double w = 100, double h = 60, double dpi = kDpi) {
  auto exported = Export({Page(objects)}, Png(dpi), w, h);
  EXPECT_TRUE(exported->result.ok) << exported->result.error;
  return ReadPng(exported->target.Bytes(1));
}

}  // namespace

TEST(ExportPng, SizeResolutionAndNoTimeChunk) {
  auto exported = Export({Page({}), Page({})}, Png(203), 70, 37);
  ASSERT_TRUE(exported->result.ok);
  EXPECT_EQ(exported->result.pages, 2);
  EXPECT_EQ(exported->target.Count(), 2u);
  Image image = ReadPng(exported->target.Bytes(2));
  EXPECT_EQ(image.width, std::lround(70 / 25.4 * 203));
  EXPECT_EQ(image.height, std::lround(37 / 25.4 * 203));
  EXPECT_EQ(image.pixelsPerMetre, static_cast<uint32_t>(std::lround(203 / 0.0254)));
  EXPECT_FALSE(image.hasTime);
}

TEST(ExportPng, RectangleFillBordersAndNoInkOutsideBoxes) {
  Image image = Draw({Obj(R"({"tipo":"rectangulo","id":"r","x":10,"y":10,"ancho":30,"alto":20,
      "colorFondo":"#3366cc","colorBorde":"#ff0000","grosorBorde":1,"bordeSuperior":true,
      "bordeDerecho":false,"bordeInferior":false,"bordeIzquierdo":false})")});
  ExpectColor(image.AtMm(25, 20, kDpi), 0x33, 0x66, 0xcc, "centre");
  ExpectColor(image.AtMm(25, 10, kDpi), 0xff, 0, 0, "top border");
  ExpectColor(image.AtMm(25, 29.6, kDpi), 0x33, 0x66, 0xcc, "no bottom border");
  // Nothing is painted away from the box (borders reach half their width past the edge).
  for (int y = 0; y < image.height; y += 3) {
    for (int x = 0; x < image.width; x += 3) {
      double xm = x * 25.4 / kDpi, ym = y * 25.4 / kDpi;
      if (xm > 9 && xm < 41 && ym > 9 && ym < 31) continue;
      ExpectColor(image.At(x, y), 255, 255, 255, "outside at " + std::to_string(x) + "," + std::to_string(y));
    }
  }
}

TEST(ExportPng, EllipseLineColoursAndTransparentFill) {
  Image image = Draw({
      Obj(R"({"tipo":"elipse","id":"e","x":10,"y":10,"ancho":40,"alto":20,"colorFondo":"green"})"),
      Obj(R"j({"tipo":"linea","id":"l","x":60,"y":10,"ancho":30,"alto":4,"color":"rgb(0,0,255)","grosor":1})j"),
      Obj(R"({"tipo":"linea","id":"v","x":70,"y":30,"ancho":4,"alto":20,"color":"#f00","grosor":1,"orientacion":"vertical"})"),
      Obj(R"({"tipo":"rectangulo","id":"t","x":60,"y":40,"ancho":5,"alto":5,"colorFondo":"transparent"})"),
  });
  ExpectColor(image.AtMm(30, 20, kDpi), 0, 0x80, 0, "ellipse centre");
  ExpectColor(image.AtMm(11, 11, kDpi), 255, 255, 255, "ellipse corner stays white");
  ExpectColor(image.AtMm(75, 12, kDpi), 0, 0, 255, "horizontal line on the centre line");
  ExpectColor(image.AtMm(75, 10.5, kDpi), 255, 255, 255, "above the line");
  ExpectColor(image.AtMm(72, 40, kDpi), 255, 0, 0, "vertical line");
  ExpectColor(image.AtMm(62, 42, kDpi), 255, 255, 255, "transparent fill");
}

TEST(ExportPng, HigherZIndexDrawsOverAndEqualZKeepsPageOrder) {
  Image image = Draw({
      Obj(R"({"tipo":"rectangulo","id":"top","x":10,"y":10,"ancho":20,"alto":20,"colorFondo":"#ff0000","zIndex":5})"),
      Obj(R"({"tipo":"rectangulo","id":"under","x":10,"y":10,"ancho":20,"alto":20,"colorFondo":"#0000ff","zIndex":"2"})"),
      Obj(R"({"tipo":"rectangulo","id":"a","x":50,"y":10,"ancho":20,"alto":20,"colorFondo":"#0000ff","zIndex":1})"),
      Obj(R"({"tipo":"rectangulo","id":"b","x":50,"y":10,"ancho":20,"alto":20,"colorFondo":"#00ff00","zIndex":1})"),
  });
  ExpectColor(image.AtMm(20, 20, kDpi), 255, 0, 0, "higher z on top");
  ExpectColor(image.AtMm(60, 20, kDpi), 0, 255, 0, "later of equal z on top");
}

TEST(ExportPng, QuarterTurnFillsTheBoxAndOpacityBlends) {
  // A 90 degree line runs along the box height: its frame is alto x ancho.
  Image image = Draw({
      Obj(R"({"tipo":"linea","id":"l","x":10,"y":10,"ancho":4,"alto":40,"color":"#000000","grosor":1,"rotacion":90})"),
      Obj(R"({"tipo":"rectangulo","id":"o","x":50,"y":10,"ancho":20,"alto":20,"colorFondo":"#000000","opacidad":0.5})"),
      Obj(R"({"tipo":"rectangulo","id":"f","x":75,"y":10,"ancho":20,"alto":20,"colorFondo":"#000000","opacidadRelleno":"0,25"})"),
  });
  ExpectColor(image.AtMm(12, 15, kDpi), 0, 0, 0, "rotated line near its top");
  ExpectColor(image.AtMm(12, 45, kDpi), 0, 0, 0, "rotated line near its bottom");
  ExpectColor(image.AtMm(10.5, 30, kDpi), 255, 255, 255, "beside the rotated line");
  ExpectColor(image.AtMm(60, 20, kDpi), 128, 128, 128, "half opacity");
  ExpectColor(image.AtMm(85, 20, kDpi), 191, 191, 191, "quarter fill opacity from a text number");
}

TEST(ExportPng, ShadowIsDrawnUnderTheShapeOffsetRightAndDown) {
  Image image = Draw({Obj(R"({"tipo":"rectangulo","id":"s","x":10,"y":10,"ancho":20,"alto":20,"colorFondo":"#ffffff",
      "sombraTamano":3,"sombraColor":"#000000","sombraTransparencia":0})")});
  ExpectColor(image.AtMm(31.5, 25, kDpi), 0, 0, 0, "shadow right of the box");
  ExpectColor(image.AtMm(20, 20, kDpi), 255, 255, 255, "box over its shadow");
  ExpectColor(image.AtMm(11, 31.5, kDpi), 255, 255, 255, "shadow starts offset");
}

TEST(ExportPng, ContinuousPageLongerThanOneBandRenders) {
  // 6 m at 100 dpi: 23,622 rows, a dozen bands, beyond cairo's 32,767-pixel limit at 300 dpi.
  std::vector<Value> objects;
  objects.push_back(Obj(R"({"tipo":"rectangulo","id":"end","x":10,"y":5990,"ancho":20,"alto":5,"colorFondo":"#ff0000"})"));
  objects.push_back(Obj(R"({"tipo":"rectangulo","id":"mid","x":10,"y":1039.5,"ancho":20,"alto":2,"colorFondo":"#0000ff"})"));
  auto exported = Export({Page(objects)}, Png(kDpi), 40, 6000, "content");
  ASSERT_TRUE(exported->result.ok);
  EXPECT_TRUE(exported->HasWarning("page-too-tall"));
  Image image = ReadPng(exported->target.Bytes(1));
  ASSERT_EQ(image.height, std::lround(6000 / 25.4 * kDpi));
  ExpectColor(image.AtMm(20, 5992, kDpi), 255, 0, 0, "last band");
  ExpectColor(image.AtMm(20, 1039.8, kDpi), 0, 0, 255, "above a band edge");
  ExpectColor(image.AtMm(20, 1041.2, kDpi), 0, 0, 255, "below a band edge");
}

TEST(ExportPng, ChartsDrawTheirPointsAsBarsLinesAndPies) {
  Image image = Draw({
      Obj(R"({"tipo":"ventas","id":"bars","x":5,"y":5,"ancho":40,"alto":30,
          "puntos":[{"label":"A","value":10},{"label":"B","value":5},{"label":"C","value":"mucho"}]})"),
      Obj(R"({"tipo":"pie","id":"pie","x":55,"y":5,"ancho":30,"alto":30,
          "puntos":[{"label":"A","value":1},{"label":"B","value":1}]})"),
  });
  // Three slots of 13.3 mm; the first bar is full height, the second half, the third empty.
  ExpectColor(image.AtMm(11.6, 10, kDpi), 0x33, 0x66, 0x99, "first bar near the top");
  ExpectColor(image.AtMm(24.9, 10, kDpi), 255, 255, 255, "second bar is half as tall");
  ExpectColor(image.AtMm(24.9, 25, kDpi), 0xdc, 0x39, 0x12, "second bar");
  ExpectColor(image.AtMm(76, 20, kDpi), 0x33, 0x66, 0x99, "first slice: the right half, clockwise from twelve");
  ExpectColor(image.AtMm(64, 20, kDpi), 0xdc, 0x39, 0x12, "second slice");
  auto exported = Export({Page({Obj(R"({"tipo":"ventas","id":"bars","x":5,"y":5,"ancho":40,"alto":30,
      "puntos":[{"label":"C","value":"mucho"}]})")})},
                         Png(kDpi));
  EXPECT_TRUE(exported->HasWarning("chart-data", "bars"));
}

// Barcodes as a scanner sees them: every symbology decoded by zxing-cpp from PNG output, from PDF
// rasterized by poppler and from SVG rasterized by librsvg, with whole-dot modules and light
// quiet zones.
#include <gtest/gtest.h>

#include "BarcodePainter.h"
#include "ExportTestSupport.h"
#include "barcode/TBarcodeUtil.h"

using namespace nv;
using namespace nv::exporttest;

namespace {

struct Symbol {
  std::string type, content;
  ZXing::BarcodeFormat format;
  double w, h;
};

const std::vector<Symbol>& Symbols() {
  static const std::vector<Symbol> symbols = {
      {"EAN13", "8400010000373", ZXing::BarcodeFormat::EAN13, 38, 13},
      {"EAN8", "96385074", ZXing::BarcodeFormat::EAN8, 30, 13},
      {"CODE128", "NORVANE-128", ZXing::BarcodeFormat::Code128, 45, 12},
      {"GS1-128", "(01)08400010000373", ZXing::BarcodeFormat::Code128, 60, 12},
      {"QR", "https://example.com/factura/F-2026-0042", ZXing::BarcodeFormat::QRCode, 25, 25},
      {"DATAMATRIX", "Norvane 2026", ZXing::BarcodeFormat::DataMatrix, 15, 15},
  };
  return symbols;
}

Value BarcodeObject(const Symbol& symbol, double x, double y, const std::string& extra = "") {
  Value render = TBarcodeUtil::Create(Value(symbol.content), Value(symbol.type));
  Value keys = Obj(R"({"id":")" + symbol.type + R"(","x":)" + std::to_string(x) + R"(,"y":)" + std::to_string(y) +
                   R"(,"ancho":)" + std::to_string(symbol.w) + R"(,"alto":)" + std::to_string(symbol.h) +
                   R"(,"color":"#000000","colorFondo":"#ffffff","fuente":"Arial","tamano":7)" + extra + "}");
  const Value names = HashKeys(keys);
  for (const Value& key : names.AsArray()) render.Set(key.AsString(), keys[key.AsString()]);
  return render;
}

// One symbol per page, so each crop holds exactly one.
std::vector<Value> OnePerPage() {
  std::vector<Value> pages;
  for (const Symbol& symbol : Symbols()) pages.push_back(Page({BarcodeObject(symbol, 5, 5)}));
  return pages;
}

std::string Expected(const Symbol& symbol) {
  Value render = TBarcodeUtil::Create(Value(symbol.content), Value(symbol.type));
  std::string text = ValueString(HGet(render, "texto"));
  return text;
}

void ExpectDecodes(const Image& image, const Symbol& symbol, double dpi, const std::string& source) {
  ASSERT_GT(image.width, 0) << source;
  auto decoded = reader::Decode(image.Crop(5, 5, symbol.w, symbol.h, dpi, 8), symbol.format);
  ASSERT_TRUE(decoded.has_value()) << symbol.type << " from " << source << " at " << dpi;
  std::string bytes = decoded->bytes;
  // GS1-128 reads back with its FNC1 as the symbology identifier ]C1 and GS separators.
  if (symbol.type == "GS1-128") {
    EXPECT_EQ(decoded->symbology, "]C1") << source;
  }
  EXPECT_EQ(bytes, Expected(symbol)) << symbol.type << " from " << source;
}

// A PGM (P5) as written by pdftoppm -gray.
Image ReadPgm(const std::string& bytes) {
  Image image;
  std::istringstream in(bytes);
  std::string magic;
  int maxValue = 0;
  in >> magic >> image.width >> image.height >> maxValue;
  in.get();
  if (magic != "P5") return Image{};
  std::string pixels(static_cast<size_t>(image.width) * static_cast<size_t>(image.height), '\0');
  in.read(pixels.data(), static_cast<std::streamsize>(pixels.size()));
  for (char p : pixels) image.rgb.insert(image.rgb.end(), 3, static_cast<uint8_t>(p));
  return image;
}

}  // namespace

TEST(ExportBarcodes, EverySymbologyDecodesFromPngAt203And300Dpi) {
  for (double dpi : {203.0, 300.0}) {
    auto exported = Export(OnePerPage(), Png(dpi));
    ASSERT_TRUE(exported->result.ok);
    for (size_t i = 0; i < Symbols().size(); ++i) {
      ExpectDecodes(ReadPng(exported->target.Bytes(static_cast<int64_t>(i) + 1)), Symbols()[i], dpi, "PNG");
    }
  }
}

TEST(ExportBarcodes, EverySymbologyDecodesFromPdfRasterizedByPoppler) {
  out::ExportOptions options = Pdf();
  options.dpi = 203;  // the printer's grid
  auto exported = Export(OnePerPage(), options);
  ASSERT_TRUE(exported->result.ok);
  for (int dpi : {203, 300}) {
    for (size_t i = 0; i < Symbols().size(); ++i) {
      int status = 0;
      std::string page = std::to_string(i + 1);
      std::string pgm = RunOnFile(exported->target.Bytes(0), ".pdf",
                                  "pdftoppm -gray -r " + std::to_string(dpi) + " -f " + page + " -l " + page + " {}", status);
      ASSERT_EQ(status, 0);
      ExpectDecodes(ReadPgm(pgm), Symbols()[i], dpi, "PDF");
    }
  }
}

TEST(ExportBarcodes, SvgIsValidXmlSizedInMillimetresAndDecodesAfterRsvg) {
  out::ExportOptions options;
  options.format = out::Format::Svg;
  auto exported = Export(OnePerPage(), options, 100, 60);
  ASSERT_TRUE(exported->result.ok);
  for (size_t i = 0; i < Symbols().size(); ++i) {
    const std::string svg = exported->target.Bytes(static_cast<int64_t>(i) + 1);
    EXPECT_NE(svg.find("width=\"100mm\""), std::string::npos);
    EXPECT_NE(svg.find("viewBox=\"0 0 100 60\""), std::string::npos);
    int status = 0;
    RunOnFile(svg, ".svg", "xmllint --noout {}", status);
    EXPECT_EQ(status, 0) << "xmllint";
    std::string png = RunOnFile(svg, ".svg", "rsvg-convert -d 300 -p 300 -b white {}", status);
    ASSERT_EQ(status, 0);
    ExpectDecodes(ReadPng(png), Symbols()[i], 300, "SVG");
  }
}

TEST(ExportBarcodes, PngBarsAreWholeModulesAndQuietZonesAreLight) {
  const Symbol& ean = Symbols()[0];
  const double dpi = 300;
  auto exported = Export({Page({BarcodeObject(ean, 5, 5)})}, Png(dpi));
  Image image = ReadPng(exported->target.Bytes(1));
  const double dotsPerMm = dpi / 25.4;
  const double module = out::BarcodePainter::ModuleSize(ean.w, 11 + 95 + 7, dotsPerMm);
  const int modulePixels = static_cast<int>(std::lround(module * dotsPerMm));
  ASSERT_GE(modulePixels, 1);
  const int row = static_cast<int>((5 + 4) * dotsPerMm);
  std::vector<int> runs;
  int run = 0, firstDark = -1, lastDark = -1;
  for (int x = 0; x < image.width; ++x) {
    if (image.Dark(x, row)) {
      if (firstDark < 0) firstDark = x;
      lastDark = x;
      ++run;
    } else if (run > 0) {
      runs.push_back(run);
      run = 0;
    }
  }
  ASSERT_FALSE(runs.empty());
  for (int r : runs) EXPECT_EQ(r % modulePixels, 0) << "bar of " << r << " px, module " << modulePixels;
  // Quiet zones of 11 and 7 modules lie light inside the box.
  EXPECT_GE(firstDark, static_cast<int>(5 * dotsPerMm) + 11 * modulePixels - 1);
  EXPECT_LE(lastDark, static_cast<int>((5 + ean.w) * dotsPerMm) - 7 * modulePixels + 1);
}

TEST(ExportBarcodes, ModuleSnappingQuarterTurnsAndErrors) {
  // The example label's EAN: 0.336 mm exact; 3 dots would not fit at 203 dpi, so 2 dots.
  const double dotsPerMm = 203 / 25.4;
  EXPECT_DOUBLE_EQ(out::BarcodePainter::ModuleSize(38, 113, dotsPerMm), 2 / dotsPerMm);
  EXPECT_DOUBLE_EQ(out::BarcodePainter::ModuleSize(38, 113, 0), 38.0 / 113);
  EXPECT_DOUBLE_EQ(out::BarcodePainter::ModuleSize(1, 113, dotsPerMm), 1 / dotsPerMm);

  const Symbol& ean = Symbols()[0];
  auto small = Export({Page({BarcodeObject(ean, 5, 5)})}, Png(203));
  EXPECT_TRUE(small->HasWarning("barcode-module-small", "EAN13"));

  // A quarter turn stands the symbol in a box as tall as the symbol is wide.
  Symbol turned = Symbols()[2];
  std::swap(turned.w, turned.h);
  auto rotated = Export({Page({BarcodeObject(turned, 5, 5, R"(,"rotacion":90)")})}, Png(300), 100, 60);
  Image image = ReadPng(rotated->target.Bytes(1));
  auto decoded = reader::Decode(image.Crop(5, 5, turned.w, turned.h, 300, 8), ZXing::BarcodeFormat::Code128);
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(decoded->bytes, "NORVANE-128");

  Value broken = TBarcodeUtil::Create(Value("12"), Value("EAN13"));
  broken.Set("id", Value("bad"));
  for (std::string_view key : {"x", "y"}) broken.Set(key, Value::Int(5));
  broken.Set("ancho", Value::Int(30));
  broken.Set("alto", Value::Int(10));
  broken.Set("colorFondo", Value("#ff0000"));
  auto failed = Export({Page({broken})}, Png(100));
  EXPECT_TRUE(failed->HasWarning("barcode-error", "bad"));
  Image errorImage = ReadPng(failed->target.Bytes(1));
  EXPECT_EQ(errorImage.AtMm(20, 10, 100)[0], 255);
  EXPECT_EQ(errorImage.AtMm(20, 10, 100)[1], 0);
}

TEST(ExportBarcodes, SymbolWiderThanItsBoxIsCutAtTheBoxAndOneThatFitsIsWhole) {
  // At 300 dpi a module is at least one dot, so an EAN-13 of 113 modules needs 9.6 mm: in a 5 mm
  // box its bars must stop at the box edges, on a transparent background where stray ink would show.
  Symbol narrow = Symbols()[0];
  narrow.w = 5;
  const double dpi = 300;
  auto cut = Export({Page({BarcodeObject(narrow, 20, 5, R"(,"colorFondo":"transparent")")})}, Png(dpi), 60, 30);
  Image image = ReadPng(cut->target.Bytes(1));
  const int row = static_cast<int>(9 * dpi / 25.4);
  int darkInside = 0;
  for (int x = 0; x < image.width; ++x) {
    const double mm = (x + 0.5) * 25.4 / dpi;
    if (!image.Dark(x, row)) continue;
    EXPECT_GT(mm, 20 - 0.1) << "ink left of the box at " << mm << " mm";
    EXPECT_LT(mm, 25 + 0.1) << "ink right of the box at " << mm << " mm";
    ++darkInside;
  }
  EXPECT_GT(darkInside, 0);

  // The same symbol in a box wide enough keeps its quiet zones and decodes whole.
  auto whole = Export({Page({BarcodeObject(Symbols()[0], 5, 5, R"(,"colorFondo":"transparent")")})}, Png(dpi));
  ExpectDecodes(ReadPng(whole->target.Bytes(1)), Symbols()[0], dpi, "PNG without background");
}

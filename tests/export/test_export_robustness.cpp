// Bad input draws what it can and warns with a stable code naming the page and the object; only
// output failures fail an export. Images decode from their data URI; the same output twice gives
// the same bytes.
#include <gtest/gtest.h>
#include <gif_lib.h>
#include <turbojpeg.h>
#include <webp/encode.h>

#include <cmath>
#include <limits>

#include "ExportTestSupport.h"

using namespace nv;
using namespace nv::exporttest;

namespace {

const out::ExportWarning* Find(const Exported& exported, std::string_view code, std::string_view id) {
  for (const out::ExportWarning& w : exported.result.warnings) {
    if (w.code == code && w.id == id) return &w;
  }
  return nullptr;
}

// A target whose files cannot be opened.
class FailingTarget : public out::OutputTarget {
 public:
  std::ostream* Open(int64_t, std::string& error) override {
    error = "/no/such/dir/out.pdf: cannot be written";
    return nullptr;
  }
  bool Close(int64_t, std::string&) override { return true; }
};

std::string SolidPngDataUri(const std::string& color) {
  auto exported = Export({Page({Obj(R"({"tipo":"rectangulo","id":"r","x":0,"y":0,"ancho":10,"alto":10,"colorFondo":")" +
                                    color + "\"}")})},
                         Png(25.4), 10, 10);
  return "data:image/png;base64," + Base64Encode(exported->target.Bytes(1));
}

std::string SolidJpegDataUri() {
  std::vector<unsigned char> rgb(16 * 16 * 3);
  for (size_t i = 0; i < rgb.size(); i += 3) {
    rgb[i] = 0;
    rgb[i + 1] = 0;
    rgb[i + 2] = 255;
  }
  tjhandle handle = tjInitCompress();
  unsigned char* jpeg = nullptr;
  unsigned long size = 0;
  tjCompress2(handle, rgb.data(), 16, 0, 16, TJPF_RGB, &jpeg, &size, TJSAMP_444, 95, 0);
  std::string bytes(reinterpret_cast<char*>(jpeg), size);
  tjFree(jpeg);
  tjDestroy(handle);
  return "data:image/jpeg;base64," + Base64Encode(bytes);
}

// A 4 x 4 GIF: green, with its top-left pixel the transparent colour.
std::string GreenGifDataUri() {
  std::string bytes;
  auto write = [](GifFileType* gif, const GifByteType* data, int length) {
    static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(data), static_cast<size_t>(length));
    return length;
  };
  int error = 0;
  GifFileType* gif = EGifOpen(&bytes, write, &error);
  GifColorType colors[2] = {{0, 255, 0}, {255, 255, 255}};
  ColorMapObject* map = GifMakeMapObject(2, colors);
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, 4, 4, 1, 0, map);
  GraphicsControlBlock control{};
  control.TransparentColor = 1;
  GifByteType extension[4];
  EGifGCBToExtension(&control, extension);
  EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension);
  EGifPutImageDesc(gif, 0, 0, 4, 4, false, nullptr);
  for (int y = 0; y < 4; ++y) {
    GifPixelType line[4] = {static_cast<GifPixelType>(y == 0 ? 1 : 0), 0, 0, 0};
    EGifPutLine(gif, line, 4);
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return "data:image/gif;base64," + Base64Encode(bytes);
}

std::string MagentaWebpDataUri() {
  std::vector<uint8_t> rgb(8 * 8 * 3);
  for (size_t i = 0; i < rgb.size(); i += 3) {
    rgb[i] = 255;
    rgb[i + 1] = 0;
    rgb[i + 2] = 255;
  }
  uint8_t* out = nullptr;
  size_t size = WebPEncodeLosslessRGB(rgb.data(), 8, 8, 8 * 3, &out);
  std::string bytes(reinterpret_cast<char*>(out), size);
  WebPFree(out);
  return "data:image/webp;base64," + Base64Encode(bytes);
}

Value ImageObject(const std::string& id, double x, const std::string& uri, const std::string& mime,
            const std::string& extra = "") {
  return Obj(R"({"tipo":"imagen","id":")" + id + R"(","x":)" + std::to_string(x) +
             R"(,"y":5,"ancho":20,"alto":10,"dataUri":")" + uri + R"(","mime":")" + mime + R"(","error":"")" +
             extra + "}");
}

}  // namespace

TEST(ExportRobustness, MalformedObjectsWarnWithStableCodesAndTheRestIsDrawn) {
  Value nanBox = Obj(R"({"tipo":"rectangulo","id":"nan","y":5,"ancho":5,"alto":5,"colorFondo":"#000000"})");
  nanBox.Set("x", Value::Dbl(std::numeric_limits<double>::quiet_NaN(), 1));
  std::vector<Value> objects = {
      Obj(R"({"tipo":"rectangulo"})"),
      Obj(R"({"tipo":"rectangulo","id":"letters","x":"abc","y":5,"ancho":5,"alto":5})"),
      nanBox,
      Obj(R"({"tipo":"rectangulo","id":"huge","x":0,"y":0,"ancho":1000000,"alto":5,"colorFondo":"#000000"})"),
      Obj(R"({"tipo":"rectangulo","id":"color","x":0,"y":0,"ancho":5,"alto":5,"colorFondo":"#zzzzzz"})"),
      Obj(R"({"tipo":"texto","id":"tcolor","x":0,"y":10,"ancho":50,"alto":5,"texto":"negro","color":"azulado"})"),
      ImageObject("uri", 0, "data:image/png;base64,!!!!", "image/png"),
      ImageObject("svg", 0, "data:image/svg+xml;base64,PHN2Zy8+", "image/svg+xml"),
      Obj(R"({"tipo":"hologram","id":"what","x":0,"y":0,"ancho":5,"alto":5})"),
      Obj(R"({"tipo":"crosstab","id":"ct","x":0,"y":0,"ancho":5,"alto":5})"),
      Obj(R"({"tipo":"linea","id":"dash","x":0,"y":30,"ancho":50,"alto":2,"estilo":"wavy"})"),
      Obj(R"({"tipo":"rectangulo","id":"fill","x":60,"y":30,"ancho":10,"alto":10,"colorFondo":"#00ff00","estiloRelleno":"hatch"})"),
      Value("not an object"),
      Obj(R"({"tipo":"rectangulo","id":"good","x":80,"y":40,"ancho":10,"alto":10,"colorFondo":"#ff0000"})"),
  };
  auto exported = Export({Page({}), Page(objects)}, Png(100));
  ASSERT_TRUE(exported->result.ok);
  struct Expected {
    std::string code, id;
    bool contentLost;
  };
  for (const Expected& e : std::vector<Expected>{{"bad-number", "letters", false},
                                                  {"bad-box", "nan", true},
                                                  {"bad-box", "huge", true},
                                                  {"bad-color", "color", false},
                                                  {"bad-color", "tcolor", false},
                                                  {"image-missing", "uri", true},
                                                  {"image-unsupported", "svg", false},
                                                  {"unknown-kind", "what", true},
                                                  {"chart-data", "ct", false},
                                                  {"line-style", "dash", false},
                                                  {"fill-style", "fill", false},
                                                  {"bad-object", "", true}}) {
    const out::ExportWarning* warning = Find(*exported, e.code, e.id);
    ASSERT_NE(warning, nullptr) << e.code << " " << e.id;
    EXPECT_EQ(warning->page, 2) << e.code;
    EXPECT_EQ(warning->contentLost, e.contentLost) << e.code;
    EXPECT_NE(warning->message.find("pagina 2"), std::string::npos) << warning->message;
    EXPECT_NE(warning->message.find("'" + e.id + "'"), std::string::npos) << warning->message;
  }
  exporttest::Image image = ReadPng(exported->target.Bytes(2));
  EXPECT_EQ(image.AtMm(85, 45, 100)[0], 255);
  EXPECT_EQ(image.AtMm(85, 45, 100)[1], 0);
  EXPECT_LT(image.AtMm(65, 35, 100)[0], 10) << "an unknown fill style still draws solid";
}

TEST(ExportRobustness, PageProblemsAndOutputFailures) {
  auto exported = Export({Value::NewHash()}, Pdf(), std::numeric_limits<double>::infinity(), -3);
  EXPECT_TRUE(exported->result.ok);
  EXPECT_TRUE(exported->HasWarning("page-not-object"));
  EXPECT_TRUE(exported->HasWarning("page-size"));
  EXPECT_EQ(exported->target.Bytes(0).substr(0, 5), "%PDF-");

  FailingTarget failing;
  out::Exporter exporter(out::ExportOptions{}, failing);
  exporter.Begin(100, 100, "fixed");
  exporter.AddPage(Page({}));
  out::ExportResult result = exporter.Finish();
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.error.find("/no/such/dir/out.pdf"), std::string::npos);
}

TEST(ExportRobustness, PngJpegGifAndWebpImagesAreDrawnAndOneImageIsWrittenOnce) {
  const std::string red = SolidPngDataUri("#ff0000");
  const std::string blue = SolidJpegDataUri();
  auto exported = Export({Page({ImageObject("png", 5, red, "image/png"), ImageObject("jpg", 30, blue, "image/jpeg"),
                                ImageObject("cover", 55, red, "image/png", R"(,"ajuste":"cover")"),
                                ImageObject("odd", 80, red, "image/png", R"(,"ajuste":"sideways")")})},
                         Png(100));
  EXPECT_FALSE(exported->HasWarning("image-missing"));
  EXPECT_TRUE(exported->HasWarning("image-fit", "odd"));
  exporttest::Image image = ReadPng(exported->target.Bytes(1));
  // "contain": a square image in a 20 x 10 box is centred, 10 mm wide.
  EXPECT_GT(image.AtMm(15, 10, 100)[0], 240);
  EXPECT_LT(image.AtMm(15, 10, 100)[1], 15);
  EXPECT_GT(image.AtMm(6, 10, 100)[1], 240) << "beside a contained image";
  EXPECT_GT(image.AtMm(40, 10, 100)[2], 230);
  EXPECT_LT(image.AtMm(40, 10, 100)[0], 25);
  EXPECT_GT(image.AtMm(56, 10, 100)[0], 240) << "cover fills the box";

  auto others = Export({Page({ImageObject("gif", 5, GreenGifDataUri(), "image/gif", R"(,"ajuste":"fill")"),
                              ImageObject("webp", 30, MagentaWebpDataUri(), "image/webp")})},
                      Png(100));
  EXPECT_TRUE(others->result.warnings.empty());
  exporttest::Image drawn = ReadPng(others->target.Bytes(1));
  EXPECT_GT(drawn.AtMm(20, 12, 100)[1], 240) << "gif";
  EXPECT_LT(drawn.AtMm(20, 12, 100)[0], 15) << "gif";
  EXPECT_GT(drawn.AtMm(6, 6, 100)[0], 240) << "the gif's transparent pixel shows the page";
  EXPECT_GT(drawn.AtMm(40, 10, 100)[0], 240) << "webp";
  EXPECT_LT(drawn.AtMm(40, 10, 100)[1], 15) << "webp";

  std::vector<Value> pages;
  for (int i = 0; i < 20; ++i) pages.push_back(Page({ImageObject("logo", 5, red, "image/png")}));
  auto pdf = Export(pages, Pdf());
  const std::string bytes = pdf->target.Bytes(0);
  size_t images = 0;
  for (size_t at = bytes.find("/Subtype /Image"); at != std::string::npos; at = bytes.find("/Subtype /Image", at + 1)) ++images;
  EXPECT_EQ(images, 1u);
}

TEST(ExportRobustness, SameInputGivesSameBytes) {
  std::vector<Value> pages = {Page({Obj(R"({"tipo":"texto","id":"t","x":5,"y":5,"ancho":60,"alto":6,"texto":"Determinista","tamano":9})"),
                                    Obj(R"({"tipo":"elipse","id":"e","x":5,"y":15,"ancho":20,"alto":10,"colorFondo":"#123456"})")})};
  for (out::ExportOptions options : {Pdf(), Png(150)}) {
    options.creationTime = 0;
    auto first = Export(pages, options);
    auto second = Export(pages, options);
    int64_t index = options.format == out::Format::Pdf ? 0 : 1;
    ASSERT_FALSE(first->target.Bytes(index).empty());
    EXPECT_EQ(first->target.Bytes(index), second->target.Bytes(index));
  }
  out::ExportOptions dated = Pdf();
  dated.creationTime = 0;
  EXPECT_NE(Export(pages, dated)->target.Bytes(0).find("/CreationDate (19700101000000"), std::string::npos);
}

#include "objects/TImage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Accessors.h"
#include "Runtime.h"
#include "objects/execution_support.h"
#include "objects/image_test_support.h"
#include "document/TPlantilla.h"
#include "output/TDocumentoRenderizable.h"
#include "run/TContextoEjecucion.h"
#include "run/TMotorComposicion.h"
#include "run/TMotorEjecucion.h"
#include "run/TMotorPaginacion.h"

using namespace nv;
using namespace nv::testing_support;

namespace {

using ImageObject = ImageFolder;

const std::vector<std::string> kRenderKeys = {
    "id", "tipo", "x", "y", "ancho", "alto", "dataUri", "mime", "error", "ajuste", "mantenerProporcion",
    "colorFondo", "colorBorde", "grosorBorde", "bordeSuperior", "bordeDerecho", "bordeInferior", "bordeIzquierdo",
    "redondeo", "rotacion", "opacidad", "sombraTamano", "sombraTransparencia", "sombraColor", "zIndex",
    "paddingSuperior", "paddingDerecho", "paddingInferior", "paddingIzquierdo"};

std::shared_ptr<TVBImage> ImageOf(std::initializer_list<std::pair<const char*, Value>> keys) {
  auto image = TVBImage::New();
  image->Load(HashOf(keys));
  return image;
}

Value Quoted(const std::string& text) { return Value("\"" + text + "\""); }

}  // namespace

TEST(ImageObjectModel, DefaultsAndTemplateKeys) {
  auto image = TVBImage::New();
  EXPECT_EQ(ValueString(image->cName), "Imagen");
  EXPECT_EQ(ValueString(image->cType), "TImage");
  EXPECT_EQ(ValueString(image->cSource), "RUTA_LOGO");
  EXPECT_EQ(ValueString(image->cSourceType), "auto");
  EXPECT_TRUE(image->lKeepRatio);
  EXPECT_EQ(ValueString(image->cFit), "contain");
  EXPECT_FALSE(ValorALogico(image->lBorderTop) || ValorALogico(image->lBorderRight) ||
               ValorALogico(image->lBorderBottom) || ValorALogico(image->lBorderLeft));

  // The own keys follow the base keys; "lKeepRatio" goes through the logical conversion and the
  // others are kept as loaded.
  image->Load(HashOf({{"cSource", Value::Int(7)}, {"lKeepRatio", Value("no")}, {"cFit", Value("cover")}}));
  EXPECT_VALUE(image->cSource, Value::Int(7));
  EXPECT_FALSE(image->lKeepRatio);
  const std::vector<std::string> keys = Keys(image->Save());
  ASSERT_GE(keys.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(keys.end() - 4, keys.end()),
            (std::vector<std::string>{"cSource", "cSourceType", "lKeepRatio", "cFit"}));
  image->Load(HashOf({{"lKeepRatio", Value("si")}}));
  EXPECT_TRUE(image->lKeepRatio);
  EXPECT_TRUE(image->RespondsTo("csourcetype"));
  EXPECT_TRUE(image->RespondsTo("GenerarRenderizable"));
}

TEST_F(ImageObject, RendersTheResolvedFileWithTheBoxKeys) {
  const std::string path = Write("logo.png", PngBytes());
  Execution execution;
  auto image = ImageOf({{"cId", Value("img1")},
                        {"nLeft", Value::Int(5)},
                        {"nWidth", Value::Int(30)},
                        {"cSource", Quoted(path)},
                        {"cFit", Value("cover")},
                        {"lKeepRatio", Value(false)},
                        {"cBackgroundColorFormula", Value("DATOS.COLOR")},
                        {"nPaddingLeft", Value::Int(-2)}});
  const Value render = image->GenerarRenderizable(execution.ctx);
  EXPECT_EQ(Keys(render), kRenderKeys);
  EXPECT_EQ(ValueString(render["tipo"]), "imagen");
  EXPECT_EQ(ValueString(render["id"]), "img1");
  EXPECT_VALUE(render["x"], Value::Int(5));
  EXPECT_EQ(ValueString(render["dataUri"]), "data:image/png;base64," + Base64Encode(PngBytes()));
  EXPECT_EQ(ValueString(render["mime"]), "image/png");
  EXPECT_EQ(ValueString(render["error"]), "");
  EXPECT_EQ(ValueString(render["ajuste"]), "cover");
  EXPECT_VALUE(render["mantenerProporcion"], Value(false));
  EXPECT_EQ(ValueString(render["colorFondo"]), "#abcdef");
  EXPECT_VALUE(render["bordeSuperior"], Value(false));
  EXPECT_VALUE(render["paddingIzquierdo"], Value::Int(0));
  EXPECT_TRUE(execution.Warnings().empty());
}

TEST_F(ImageObject, SourcesThatAreNoImageGiveTheErrorWithoutWarning) {
  Execution execution;
  // A blank source, a number, a text that names nothing, a formula that fails.
  for (const Value& source : {Value("  "), Value("12"), Value("DATOS.NOMBRE"), Value("1 +")}) {
    const Value render = ImageOf({{"cSource", source}})->GenerarRenderizable(execution.ctx);
    EXPECT_EQ(ValueString(render["error"]), "Imagen no disponible") << source;
    EXPECT_EQ(ValueString(render["dataUri"]), "") << source;
    EXPECT_EQ(ValueString(render["mime"]), "") << source;
  }
  auto hidden = ImageOf({{"lVisible", Value(false)}});
  EXPECT_TRUE(hidden->GenerarRenderizable(execution.ctx).IsNil());
}

TEST_F(ImageObject, RunReadsEachDistinctImageOnceAcrossThousandRenders) {
  Write("logo.png", PngBytes());
  Write("other.png", JpegBytes());
  Execution execution;
  auto logo = ImageOf({{"cSource", Quoted("logo.png")}});
  for (int i = 0; i < 1000; ++i) {
    EXPECT_EQ(ValueString(HGet(logo->GenerarRenderizable(execution.ctx), "mime")), "image/png");
  }
  EXPECT_EQ(FileReads(), 1);
  // Another value is another entry; the same value under a data source type is resolved apart.
  ImageOf({{"cSource", Quoted("other.png")}})->GenerarRenderizable(execution.ctx);
  EXPECT_EQ(FileReads(), 2);
  const Value asData = ImageOf({{"cSource", Quoted("logo.png")}, {"cSourceType", Value("datos")}})
                           ->GenerarRenderizable(execution.ctx);
  EXPECT_EQ(ValueString(asData["error"]), "Imagen no disponible");
  EXPECT_EQ(FileReads(), 2);
  // A new run reads the files again, so a changed file is seen.
  Write("logo.png", JpegBytes());
  execution.context->Create();
  EXPECT_EQ(ValueString(HGet(logo->GenerarRenderizable(execution.ctx), "mime")), "image/jpeg");
  EXPECT_EQ(FileReads(), 3);
}

TEST_F(ImageObject, OversizedFileIsRefusedWithOneWarningPerRun) {
  Write("big.png", PngBytes() + std::string(64, 'x'));
  Value options = Value::NewHash();
  options.Set("nMaxImageBytes", Value::Int(32));
  Execution execution(options);
  auto image = ImageOf({{"cSource", Quoted("big.png")}});
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(ValueString(HGet(image->GenerarRenderizable(execution.ctx), "error")), "Imagen no disponible");
  }
  EXPECT_EQ(execution.Warnings(), (std::vector<std::string>{"Imagen demasiado grande: big.png supera 32 bytes"}));
  // Without the option the default limit of 64 MiB applies.
  Execution roomy;
  EXPECT_EQ(ValueString(HGet(image->GenerarRenderizable(roomy.ctx), "mime")), "image/png");
}

TEST_F(ImageObject, TemplateRunReadsTheLogoOnceAndDropsItsCacheAtTheEnd) {
  Write("logo.png", PngBytes());
  Value objects = Value::NewArray();
  for (const char* id : {"a", "b", "c"}) {
    objects.AsArray().push_back(HashOf({{"cType", "TImage"}, {"cId", id}, {"cSource", Quoted("logo.png")}}));
  }
  auto plantilla = TPlantilla::New();
  plantilla->SetData(HashOf({{"cType", "TDocument"}, {"nPaperWidth", Value::Int(80)},
                             {"nPaperHeight", Value::Int(50)}, {"aObjects", objects}}))
      ->Create();
  Execution execution;
  auto composicion = TMotorComposicion::New();
  composicion->Create();
  auto paginacion = TMotorPaginacion::New();
  paginacion->Create();
  auto motor = TMotorEjecucion::New(Value(plantilla), Value(execution.connector), Value(composicion),
                                    Value(paginacion), execution.ctx);
  motor->Create();

  auto doc = motor->Ejecutar().AsShared<TDocumentoRenderizable>();
  ASSERT_TRUE(doc);
  const Value page = doc->GetPaginas().Item(1)["objetos"];
  ASSERT_EQ(page.Len(), 3u);
  EXPECT_EQ(ValueString(page.Item(3)["mime"]), "image/png");
  EXPECT_EQ(FileReads(), 1);
  // The run is over: its image results are gone, and the next run reads the file afresh.
  EXPECT_TRUE(execution.context->oCacheImagenes.IsNil());
  auto again = motor->Ejecutar().AsShared<TDocumentoRenderizable>();
  EXPECT_EQ(FileReads(), 2);
  again->End();
  doc->End();
  motor->End();
  paginacion->End();
  composicion->End();
  plantilla->End();
}

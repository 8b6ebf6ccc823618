#include "objects/TImage.h"

#include <algorithm>

#include "Accessors.h"
#include "Runtime.h"
#include "objects/ImageCache.h"
#include "objects/TImageUtil.h"
#include "run/TContextoEjecucion.h"

namespace nv {

namespace {

using F = Field<TVBImage>;

// The image's own members in template order, read under their exact keys; the keep-ratio flag
// goes through the tolerant logical conversion, the others are kept as loaded.
constexpr auto kImageFields = std::to_array<F>({
    F::Of("cSource", &TVBImage::cSource),
    F::Of("cSourceType", &TVBImage::cSourceType),
    F::Of("lKeepRatio", &TVBImage::lKeepRatio),
    F::Of("cFit", &TVBImage::cFit),
});

// The run option that bounds the size of an image file; a positive number replaces the default.
size_t MaxImageBytes(const TContextoEjecucion& ctx) {
  const Value option = HGet(ctx.hOpciones, "nMaxImageBytes");
  if (!option.IsNumber()) return TImageUtil::kDefaultMaxFileBytes;
  const double bytes = ValorADouble(option);
  if (!(bytes >= 1)) return TImageUtil::kDefaultMaxFileBytes;
  return static_cast<size_t>(std::min(bytes, 9.0e18));
}

ImageCache& RunCache(TContextoEjecucion& ctx) {
  if (ImageCache* cache = ctx.oCacheImagenes.As<ImageCache>()) return *cache;
  auto cache = std::make_shared<ImageCache>();
  ctx.oCacheImagenes = Value(cache);
  return *cache;
}

}  // namespace

std::span<const Field<TVBImage>> TVBImage::Fields() { return kImageFields; }

std::shared_ptr<TVBImage> TVBImage::New(const Value& owner) {
  auto image = std::make_shared<TVBImage>();
  image->Init(owner);
  return image;
}

Value TVBImage::Init(const Value& owner) {
  TObjectBase::Init(owner);
  cName = Value("Imagen");
  cType = Value("TImage");
  cSource = Value("RUTA_LOGO");
  cSourceType = Value("auto");
  lKeepRatio = true;
  cFit = Value("contain");
  SinBordes();
  return Self();
}

std::shared_ptr<TObjectBase> TVBImage::Create() { return TObjectBase::Create(); }

Value TVBImage::End() {
  TObjectBase::End();
  return Value();
}

Value TVBImage::Load(const Value& data) {
  TObjectBase::Load(data);
  if (data.IsHash()) LoadFields<TVBImage>(*this, kImageFields, data, KeyMatch::Exact);
  return Self();
}

Value TVBImage::Save() {
  Value data = TObjectBase::Save();
  SaveFields<TVBImage>(*this, kImageFields, data.AsHash());
  return data;
}

Value TVBImage::ResolverImagen(const Value& context, const Value& value) {
  TContextoEjecucion* ctx = context.As<TContextoEjecucion>();
  auto util = TImageUtil::New();
  if (ctx == nullptr || !value.IsString()) return util->Resolver(value, cSourceType);

  ImageCache& cache = RunCache(*ctx);
  const std::string type = ValorAStringGeneric(cSourceType);
  if (const Value* known = cache.Find(type, value.AsString())) return *known;
  util->SetMaxFileBytes(MaxImageBytes(*ctx));
  Value result = util->Resolver(value, cSourceType);
  if (!util->MotivoRechazo().empty()) ctx->AddAviso(Value(util->MotivoRechazo()));
  cache.Store(type, value.AsString(), result);
  return result;
}

Value TVBImage::GenerarRenderizable(const Value& context) {
  if (!ValorALogico(EsVisibleEnEjecucion(context))) return Value();

  // A blank source is resolved as it stands (to the error) without evaluating anything.
  const bool blankSource = cSource.IsString() ? IsBlankText(cSource.AsString()) : AllTrim(ValueString(cSource)).empty();
  const Value value = blankSource ? cSource : EvaluarFormulaEn(context, cSource);
  const Value image = ResolverImagen(context, value);

  const std::string background = EvaluarColor(context, cBackgroundColorFormula, cBackgroundColor, ColorMode::Plain);
  const std::string border = EvaluarColor(context, cBorderColorFormula, cBorderColor, ColorMode::Plain);
  const std::string shadow = EvaluarColor(context, cShadowColorFormula, cShadowColor, ColorMode::Plain);

  Value render = NewRender("imagen", 31);
  Hash& h = render.AsHash();
  h.Put("dataUri", HGet(image, "dataUri", Value("")));
  h.Put("mime", HGet(image, "mime", Value("")));
  h.Put("error", HGet(image, "error", Value("")));
  h.Put("ajuste", cFit);
  h.Put("mantenerProporcion", Value(lKeepRatio));
  PutFrameKeys(h, background, border);
  h.Put("rotacion", nRotation);
  h.Put("opacidad", nOpacity);
  PutShadowKeys(h, shadow);
  h.Put("zIndex", nZIndex);
  PutPaddingKeys(render);
  return render;
}

bool TVBImage::RespondsTo(std::string_view name) const {
  return HasFieldNamed<TVBImage>(kImageFields, name) ||
         NameIn(name, {"New", "Init", "Create", "End", "Save", "Load", "GenerarRenderizable"}) ||
         TObjectBase::RespondsTo(name);
}

}  // namespace nv

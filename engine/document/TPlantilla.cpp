#include "document/TPlantilla.h"

#include "Accessors.h"
#include "Json.h"
#include "document/TDocument.h"
#include "document/TLabelLayout.h"

namespace nv {

std::shared_ptr<TPlantilla> TPlantilla::New(const Value& path) {
  auto tmpl = std::make_shared<TPlantilla>();
  tmpl->Init(path);
  return tmpl;
}

TPlantilla::~TPlantilla() {
  if (Object* doc = oDocumento.ObjectRaw()) doc->End();
}

std::shared_ptr<TPlantilla> TPlantilla::Init(const Value& path) {
  cRuta = path.IsString() ? path.AsString() : std::string();
  hPlantilla = Value::NewHash();
  oDocumento = Value();
  return std::static_pointer_cast<TPlantilla>(shared_from_this());
}

std::shared_ptr<TPlantilla> TPlantilla::Create() {
  if (!cRuta.empty()) hPlantilla = CargarJson(Value(cRuta));
  // A repeated Create replaces the document; the previous one releases its objects.
  if (Object* previous = oDocumento.ObjectRaw()) previous->End();
  auto doc = TDocument::New();
  doc->Create();
  doc->Load(NormalizarDocumento(hPlantilla));
  oDocumento = Value(doc);
  return std::static_pointer_cast<TPlantilla>(shared_from_this());
}

Value TPlantilla::End() {
  if (Object* doc = oDocumento.ObjectRaw()) doc->End();
  hPlantilla = Value::NewHash();
  oDocumento = Value();
  cRuta.clear();
  return Value();
}

std::shared_ptr<TPlantilla> TPlantilla::SetRuta(const Value& path) {
  cRuta = path.IsString() ? path.AsString() : std::string();
  return std::static_pointer_cast<TPlantilla>(shared_from_this());
}

std::shared_ptr<TPlantilla> TPlantilla::SetData(const Value& tmpl) {
  hPlantilla = tmpl.IsHash() ? tmpl : Value::NewHash();
  return std::static_pointer_cast<TPlantilla>(shared_from_this());
}

std::shared_ptr<TDocument> TPlantilla::Documento() const { return oDocumento.AsShared<TDocument>(); }

Value TPlantilla::GetPagina() const {
  Value page = Value::NewHash();
  if (auto doc = Documento()) {
    page.Set("ancho", doc->nPaperWidth);
    page.Set("alto", doc->nPaperHeight);
    page.Set("modoAlto", doc->cPaperHeightMode);
    page.Set("altoDiseno", doc->nDesignHeight);
    page.Set("margenInferiorContinuo", doc->nContinuousBottomMargin);
  } else {
    page.Set("ancho", Value(210.0));
    page.Set("alto", Value(297.0));
    page.Set("modoAlto", "fixed");
    page.Set("altoDiseno", Value(250.0));
    page.Set("margenInferiorContinuo", Value(5.0));
  }
  page.Set("unidad", "mm");
  return page;
}

Value TPlantilla::GetObjetos() const {
  if (auto doc = Documento()) return doc->aObjects;
  return Value::NewArray();
}

Value TPlantilla::GetUserVars() const {
  if (auto doc = Documento()) return doc->hUserVars;
  return Value::NewHash();
}

Value TPlantilla::GetAcumVars() const {
  if (auto doc = Documento()) return doc->hAcumVars;
  return Value::NewHash();
}

Value TPlantilla::IsLabelDocument() const {
  if (auto doc = Documento()) return doc->IsLabelDocument();
  return false;
}

Value TPlantilla::GetLabelLayout() const {
  if (auto doc = Documento()) return doc->hLabelLayout;
  return TLabelLayout::Default();
}

Value TPlantilla::CargarJson(const Value& path) { return ReadJsonFile(ValueString(path)); }

Value TPlantilla::NormalizarDocumento(const Value& tmplIn) {
  const Value tmpl = tmplIn.IsHash() ? tmplIn : Value::NewHash();
  if (HGet(tmpl, "aObjects").IsArray()) return tmpl;

  const Value pageIn = HGet(tmpl, "pagina");
  const Value page = pageIn.IsHash() ? pageIn : Value::NewHash();
  Value objects = Value::NewArray();
  const Value older = HGet(tmpl, "objetos");
  if (older.IsArray()) {
    for (const Value& item : older.AsArray()) {
      if (!item.IsHash()) continue;
      Value object = Value::NewHash();
      object.Set("cId", ValueString(HGet(item, "id", "")));
      object.Set("cName", ValueString(HGet(item, "nombre", HGet(item, "id", ""))));
      object.Set("cType", ValueString(HGet(item, "tipo")) == "TRectangle" ? "TRectangle" : "TText");
      object.Set("nLeft", ValueNumber(HGet(item, "x", 0)));
      object.Set("nTop", ValueNumber(HGet(item, "y", 0)));
      object.Set("nWidth", ValueNumber(HGet(item, "ancho", 0)));
      object.Set("nHeight", ValueNumber(HGet(item, "alto", 0)));
      object.Set("cText", ValueString(HGet(item, "valor", "")));
      object.Set("cCondition", ValueString(HGet(item, "condicion", "")));
      objects.Append(std::move(object));
    }
  }
  Value out = Value::NewHash();
  out.Set("cType", "TDocument");
  out.Set("cFormatVersion", "1.0");
  out.Set("cTemplateName", ValueString(HGet(tmpl, "nombre", "Documento")));
  out.Set("nPaperWidth", ValueNumber(HGet(page, "ancho", 210)));
  out.Set("nPaperHeight", ValueNumber(HGet(page, "alto", 297)));
  out.Set("aObjects", std::move(objects));
  return out;
}

bool TPlantilla::RespondsTo(std::string_view name) const {
  return NameIn(name, {"New", "Init", "Create", "End", "SetRuta", "SetData", "GetPagina", "GetObjetos",
                       "GetUserVars", "GetAcumVars", "IsLabelDocument", "GetLabelLayout", "GetData", "hPlantilla",
                       "oDocumento", "cRuta"}) ||
         Object::RespondsTo(name);
}

}  // namespace nv

#include "objects/TObjectBase.h"

#include <algorithm>
#include <array>
#include <utility>

#include "Accessors.h"
#include "Colors.h"
#include "Runtime.h"
#include "run/TContextoEjecucion.h"
#include "document/TDocument.h"
#include "objects/TObjectBaseFields.h"

namespace nv {

namespace {

// A call is made only when the context offers the operation; otherwise the documented default of
// an absent operation applies. The execution context class offers every operation used here, so
// the responds-to test is the class test, which avoids comparing names on every render.
TContextoEjecucion* ContextOf(const Value& context) { return context.As<TContextoEjecucion>(); }

void CtxAddAviso(const Value& context, const std::string& text) {
  if (TContextoEjecucion* ctx = ContextOf(context)) ctx->AddAviso(Value(text));
}

Value CtxEvaluarFormula(const Value& context, const Value& formula) {
  if (TContextoEjecucion* ctx = ContextOf(context)) return ctx->EvaluarFormula(formula);
  return Value();
}

void CtxDescartarObjeto(const Value& context, const Value& object, std::string_view reason) {
  if (TContextoEjecucion* ctx = ContextOf(context)) ctx->DescartarObjeto(object, Value(reason));
}

// The owning document's answer for a layer, or the default of an absent document.
Value DocIsLayerVisibleInDesign(const Value& document, int64_t layer) {
  if (TDocument* doc = document.As<TDocument>()) return doc->IsLayerVisibleInDesign(Value::Int(layer));
  return Value(true);
}

}  // namespace

std::shared_ptr<TObjectBase> TObjectBase::New(const Value& owner) {
  auto object = std::make_shared<TObjectBase>();
  object->Init(owner);
  return object;
}

Value TObjectBase::Init(const Value& owner) {
  oParent = owner;
  return Self();
}

std::shared_ptr<TObjectBase> TObjectBase::Create() {
  return std::static_pointer_cast<TObjectBase>(shared_from_this());
}

Value TObjectBase::End() {
  oParent = Value();
  return Value();
}

Value TObjectBase::Self() { return Value(shared_from_this()); }

// Sums two converted members; an integer sum stays an integer, otherwise it shows the larger
// count of decimals of its operands.
static Value SumNumbers(const Value& a, const Value& b) {
  const Number& x = a.AsNumber();
  const Number& y = b.AsNumber();
  if (x.isInteger && y.isInteger) return Value::Int(x.i + y.i);
  return Value::Dbl(x.AsDouble() + y.AsDouble(), std::max(x.decimals, y.decimals));
}

Value TObjectBase::NRight() { return SumNumbers(ValorANumero(nLeft), ValorANumero(nWidth)); }

Value TObjectBase::NBottom() { return SumNumbers(ValorANumero(nTop), ValorANumero(nHeight)); }

Value TObjectBase::Save() {
  Value data = Value::NewHash();
  Hash& hash = data.AsHash();
  hash.reserve(kObjectBaseFields.size());
  SaveFields<TObjectBase>(*this, kObjectBaseFields, hash);
  return data;
}

Value TObjectBase::Load(const Value& data) {
  if (data.IsHash()) LoadFields<TObjectBase>(*this, kObjectBaseFields, data, KeyMatch::Exact);
  return Self();
}

Value TObjectBase::ToJSON() { return Save(); }

Value TObjectBase::FromJSON(const Value& data) { return Load(data); }

Value TObjectBase::GenerarRenderizable(const Value& /*context*/) { return Value(); }

// ---- Padding and colours ------------------------------------------------------------------------

std::array<Value, 4> TObjectBase::PaddingValues() const {
  auto clamp = [](const Value& v) {
    Value n = ValorANumero(v);
    return n.AsDouble() < 0 ? Value::Int(0) : n;
  };
  return {clamp(nPaddingTop), clamp(nPaddingRight), clamp(nPaddingBottom), clamp(nPaddingLeft)};
}

Value TObjectBase::PaddingRenderizable() {
  Value padding = Value::NewHash();
  padding.AsHash().reserve(4);
  PutPaddingKeys(padding);
  return padding;
}

void TObjectBase::AddAvisoTo(const Value& context, const std::string& text) { CtxAddAviso(context, text); }

Value TObjectBase::EvaluarFormulaEn(const Value& context, const Value& formula) {
  return CtxEvaluarFormula(context, formula);
}

std::string TObjectBase::EvaluarColor(const Value& context, const Value& formula, const Value& staticColor,
                                      ColorMode mode) {
  std::string cFormula = AllTrim(ValueString(formula));
  if (cFormula.empty()) {
    return mode == ColorMode::Normalise ? NormalizeHexColor(staticColor) : ValueString(staticColor);
  }
  std::string value = AllTrim(ValueString(EvaluarFormulaEn(context, Value(cFormula))));
  std::string lowered = Lower(value);
  if (IsHexColor(value) || (mode == ColorMode::Plain && lowered == "transparent")) return lowered;
  AddAvisoTo(context, "Color no valido en " + ValueString(cId) + ": " + cFormula);
  return mode == ColorMode::Normalise ? NormalizeHexColor(staticColor) : ValueString(staticColor);
}

Value TObjectBase::EvaluarColor(const Value& context, const Value& formula, const Value& staticColor,
                                const Value& normalise) {
  return Value(EvaluarColor(context, formula, staticColor,
                            ValorALogico(normalise) ? ColorMode::Normalise : ColorMode::Plain));
}

// ---- Visibility --------------------------------------------------------------------------------

// The owning document, found without copying an owner reference: an execution asks once per
// object drawn.
TDocument* TObjectBase::DocumentoPropio() const {
  const Value* current = &oParent;
  // A chain of owners is short (document, or table then document); the bound only guards
  // against an accidental ownership cycle.
  // The document class answers both layer queries and every layout object has an owner, so the
  // responds-to tests are class tests here.
  for (int depth = 0; depth < 64 && current->IsObject(); ++depth) {
    if (auto* document = current->As<TDocument>()) return document;
    TObjectBase* owner = current->As<TObjectBase>();
    if (owner == nullptr) break;
    current = &owner->oParent;
  }
  return nullptr;
}

Value TObjectBase::Documento() {
  // The document is held by its owner as a shared object, so it can hand out a reference.
  if (TDocument* document = DocumentoPropio()) return Value(document->shared_from_this());
  return Value();
}

std::string TObjectBase::CondicionCapaTexto() {
  TDocument* document = DocumentoPropio();
  if (document == nullptr) return "";
  Value condition = document->GetLayerCondition(Value::Int(ValorAEntero(nLayerId)));
  return condition.IsString() ? condition.AsString() : ValueString(condition);
}

Value TObjectBase::CondicionCapa() { return Value(CondicionCapaTexto()); }

Value TObjectBase::EsVisiblePorCapaEnDisenador() {
  Value document = Documento();
  if (document.IsNil()) return Value(true);
  return Value(ValorALogico(DocIsLayerVisibleInDesign(document, ValorAEntero(nLayerId))));
}

Value TObjectBase::HashVisible(const Value& result) {
  const HashPtr* hash = result.HashRef();
  if (hash == nullptr) return Value(false);
  const Value* visible = (*hash)->Find("lVisible");
  return Value(visible != nullptr && ValorALogico(*visible));
}

bool TObjectBase::Descartar(const Value& context, std::string_view reason) {
  CtxDescartarObjeto(context, Self(), reason);
  return false;
}

Value TObjectBase::EsVisibleEnEjecucion(const Value& context) {
  if (!ValorALogico(lVisible)) return Value(Descartar(context, "visible=false"));

  // The context is cast once for the four questions below; without an execution context each
  // takes the answer of an absent operation.
  TContextoEjecucion* ctx = ContextOf(context);
  auto capaActiva = [&]() { return ctx == nullptr || ValorALogico(ctx->CapaActiva(Self())); };
  auto evaluarCondicion = [&](const Value& formula) { return ctx != nullptr ? ctx->EvaluarCondicion(formula) : Value(); };
  auto motivo = [](const Value& result) {
    return HHas(result, "cMotivo") ? ValueString(HGet(result, "cMotivo")) : std::string();
  };

  if (ctx != nullptr && ValorALogico(ctx->EsModoDisenador())) {
    if (!ValorALogico(EsVisiblePorCapaEnDisenador())) return Value(Descartar(context, "capa no visible en diseno"));
    if (!capaActiva()) return Value(Descartar(context, "capa no activa"));
    return Value(true);
  }

  // The layer condition comes first, so an object on a hidden layer never has its own
  // condition evaluated.
  std::string layerCondition = CondicionCapaTexto();
  if (!layerCondition.empty()) {
    Value result = evaluarCondicion(Value(layerCondition));
    if (!ValorALogico(HashVisible(result))) {
      std::string reason = motivo(result);
      if (reason.empty()) reason = "condicion de capa falsa";
      if (reason == "condicion no valida") {
        AddAvisoTo(context, "Condicion de capa no valida en " + ValueString(cId) + ": " + layerCondition);
      }
      return Value(Descartar(context, "capa: " + reason));
    }
  }

  // A text condition is read in place; another kind takes its text form.
  const bool noCondition = cCondition.IsString() ? IsBlankText(cCondition.AsString())
                                                 : AllTrim(ValueString(cCondition)).empty();
  if (!noCondition) {
    Value result = evaluarCondicion(cCondition);
    if (!ValorALogico(HashVisible(result))) {
      std::string reason = motivo(result);
      if (reason.empty()) reason = "condicion falsa";
      if (reason == "condicion no valida") {
        AddAvisoTo(context, "Condicion no valida en " + ValueString(cId) + ": " + ValueString(cCondition));
      }
      return Value(Descartar(context, reason));
    }
  }

  if (!capaActiva()) return Value(Descartar(context, "capa no activa"));
  return Value(true);
}

// ---- Common render keys ------------------------------------------------------------------------

Value TObjectBase::NewRender(std::string_view tipo, size_t keyCount) {
  Value render = Value::NewHash();
  Hash& hash = render.AsHash();
  hash.reserve(keyCount);
  hash.Put("id", cId);
  hash.Put("tipo", Value(tipo));
  PutPlacementKeys(hash);
  return render;
}

void TObjectBase::PutPlacementKeys(Hash& hash) const {
  hash.Put("x", nLeft);
  hash.Put("y", nTop);
  hash.Put("ancho", nWidth);
  hash.Put("alto", nHeight);
}

Value TObjectBase::BuildBoxRender(const Value& context, std::string_view tipo, const Value& rounded) {
  std::string background = EvaluarColor(context, cBackgroundColorFormula, cBackgroundColor, ColorMode::Plain);
  std::string fill2 = EvaluarColor(context, cFillColor2Formula, cFillColor2, ColorMode::Plain);
  std::string fill3 = EvaluarColor(context, cFillColor3Formula, cFillColor3, ColorMode::Plain);
  std::string border = EvaluarColor(context, cBorderColorFormula, cBorderColor, ColorMode::Plain);
  std::string shadow = EvaluarColor(context, cShadowColorFormula, cShadowColor, ColorMode::Plain);
  Value render = NewRender(tipo, 29);
  Hash& hash = render.AsHash();
  hash.Put("colorBorde", Value(border));
  hash.Put("grosorBorde", nBorderWidth);
  hash.Put("bordeSuperior", lBorderTop);
  hash.Put("bordeDerecho", lBorderRight);
  hash.Put("bordeInferior", lBorderBottom);
  hash.Put("bordeIzquierdo", lBorderLeft);
  hash.Put("colorFondo", Value(background));
  hash.Put("estiloRelleno", cFillStyle);
  hash.Put("patronRelleno", nPattern);
  hash.Put("colorRelleno2", Value(fill2));
  hash.Put("colorRelleno3", Value(fill3));
  hash.Put("opacidadRelleno", nFillOpacity);
  hash.Put("factorGradienteRelleno", nFillGradientFactor);
  hash.Put("redondeo", rounded);
  PutRotationShadowAndOrderKeys(render, shadow);
  return render;
}

void TObjectBase::PutRotationShadowAndOrderKeys(const Value& render, const std::string& shadow) {
  Hash& hash = render.AsHash();
  hash.Put("rotacionOriginal", nRotation);
  hash.Put("rotacion", nRotation);
  hash.Put("opacidad", nOpacity);
  PutShadowKeys(hash, shadow);
  PutOrderKeys(render);
}

void TObjectBase::PutFrameKeys(Hash& hash, const std::string& background, const std::string& border) const {
  hash.Put("colorFondo", Value(background));
  hash.Put("colorBorde", Value(border));
  hash.Put("grosorBorde", nBorderWidth);
  hash.Put("bordeSuperior", lBorderTop);
  hash.Put("bordeDerecho", lBorderRight);
  hash.Put("bordeInferior", lBorderBottom);
  hash.Put("bordeIzquierdo", lBorderLeft);
  hash.Put("redondeo", nRounded);
}

void TObjectBase::PutShadowKeys(Hash& hash, const std::string& shadow) const {
  hash.Put("sombraTamano", nShadowSize);
  hash.Put("sombraTransparencia", nShadowTransparency);
  hash.Put("sombraColor", Value(shadow));
}

void TObjectBase::PutOrderKeys(const Value& render) {
  Hash& hash = render.AsHash();
  hash.Put("ordenOriginal", nZIndex);
  hash.Put("capa", nZIndex);
  hash.Put("zIndex", nZIndex);
}

void TObjectBase::PutPaddingKeys(const Value& render) {
  std::array<Value, 4> values = PaddingValues();
  Hash& hash = render.AsHash();
  hash.Put("paddingSuperior", std::move(values[0]));
  hash.Put("paddingDerecho", std::move(values[1]));
  hash.Put("paddingInferior", std::move(values[2]));
  hash.Put("paddingIzquierdo", std::move(values[3]));
}

bool TObjectBase::RespondsTo(std::string_view name) const {
  return HasFieldNamed<TObjectBase>(kObjectBaseFields, name) ||
         NameIn(name, {"oParent", "New", "Init", "Create", "NRight", "NBottom", "Save", "Load", "ToJSON",
                       "FromJSON", "GenerarRenderizable", "EvaluarColor", "EsVisibleEnEjecucion"}) ||
         Object::RespondsTo(name);
}

void TObjectBase::SinBordes() {
  lBorderTop = Value(false);
  lBorderRight = Value(false);
  lBorderBottom = Value(false);
  lBorderLeft = Value(false);
}

}  // namespace nv

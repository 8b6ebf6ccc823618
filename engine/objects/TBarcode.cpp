#include "objects/TBarcode.h"

#include "Accessors.h"
#include "Runtime.h"
#include "barcode/TBarcodeUtil.h"
#include "run/TContextoEjecucion.h"

namespace nv {

namespace {

const Value* FindKey(const Value& hash, std::string_view key) {
  const HashPtr* h = hash.HashRef();
  return h ? (*h)->Find(key) : nullptr;
}

/// A new hash holding the same entries (nested lists and hashes shared).
Value CopyHash(const Value& hash) { return Value(std::make_shared<Hash>(hash.AsHash())); }


using F = Field<TVBBarcode>;

// The barcode's own members in template order, read under their exact keys. The content, type,
// colour and font family are kept as loaded; the font formulas are cleared when absent.
constexpr auto kBarcodeFields = JoinFields(
    std::to_array<F>({
        F::Of("cContent", &TVBBarcode::cContent).Drawn(kDrawnByBarcode),
        F::Of("cBarcodeType", &TVBBarcode::cBarcodeType).Drawn(kDrawnByBarcode),
        F::Of("lShowText", &TVBBarcode::lShowText).Drawn(kDrawnByBarcode),
        F::Of("lTrimSpaces", &TVBBarcode::lTrimSpaces).Drawn(kDrawnByBarcode),
        F::Of("cColor", &TVBBarcode::cColor).Drawn(kDrawnByBarcode),
        F::Of("cColorFormula", &TVBBarcode::cColorFormula).Drawn(kDrawnByBarcode),
    }),
    TFontBlock::SizeFields<TVBBarcode>(nullptr, kDrawnByBarcode), TFontBlock::StyleFields<TVBBarcode>(kDrawnByBarcode));

}  // namespace

std::span<const Field<TVBBarcode>> TVBBarcode::Fields() { return kBarcodeFields; }

std::shared_ptr<TVBBarcode> TVBBarcode::New(const Value& owner) {
  auto barcode = std::make_shared<TVBBarcode>();
  barcode->Init(owner);
  return barcode;
}

Value TVBBarcode::Init(const Value& owner) {
  TObjectBase::Init(owner);
  cName = Value("Código de barras");
  cType = Value("TBarcode");
  SinBordes();
  return Self();
}

std::shared_ptr<TObjectBase> TVBBarcode::Create() { return TObjectBase::Create(); }

Value TVBBarcode::End() {
  TObjectBase::End();
  return Value();
}

Value TVBBarcode::Load(const Value& data) {
  TObjectBase::Load(data);
  if (data.IsHash()) LoadFields<TVBBarcode>(*this, kBarcodeFields, data, KeyMatch::Exact);
  return Self();
}

Value TVBBarcode::Save() {
  Value data = TObjectBase::Save();
  SaveFields<TVBBarcode>(*this, kBarcodeFields, data.AsHash());
  return data;
}

Value TVBBarcode::EvaluarContenido(const Value& context, bool& error, std::string& message) {
  error = false;
  message.clear();
  const Value formula(ValueString(cContent));
  if (nv::RespondsTo(context, "EvaluarFormulaConEstado")) {
    if (TContextoEjecucion* ctx = context.As<TContextoEjecucion>()) {
      const Value status = ctx->EvaluarFormulaConEstado(formula);
      error = ValorALogico(HGet(status, "lError"));
      message = ValueString(HGet(status, "cError"));
      return HGet(status, "valor");
    }
  }
  return EvaluarFormulaEn(context, formula);
}

Value TVBBarcode::ResultadoBarcode(const Value& value) {
  if (const Value* tipo = FindKey(value, "tipo"); tipo && tipo->IsString() && tipo->AsString() == "barcode") {
    Value result = CopyHash(value);
    if (result.Has("bits") || result.Has("matriz") || result.Has("error")) return result;
    const Value* texto = FindKey(result, "texto");
    const Value* tipoBarcode = FindKey(result, "barcodeTipo");
    return TBarcodeUtil::New()->Crear(texto ? *texto : Value(""), tipoBarcode ? *tipoBarcode : cBarcodeType);
  }
  return TBarcodeUtil::New()->Crear(value, cBarcodeType);
}

Value TVBBarcode::GenerarRenderizable(const Value& context) {
  if (!ValorALogico(EsVisibleEnEjecucion(context))) return Value();

  bool formulaError = false;
  std::string formulaMessage;
  Value value = EvaluarContenido(context, formulaError, formulaMessage);

  if (lTrimSpaces) {
    if (value.IsHash() && value.Has("texto")) {
      value = CopyHash(value);
      value.Set("texto", Value(AllTrim(ValueString(value["texto"]))));
    } else if (value.IsString()) {
      value = Value(AllTrim(value.AsString()));
    }
  }

  // A fresh result belongs to this render alone, so it is extended in place.
  Value render = ResultadoBarcode(value);
  const std::string color = EvaluarColor(context, cColorFormula, cColor, ColorMode::Normalise);
  const std::string background = EvaluarColor(context, cBackgroundColorFormula, cBackgroundColor, ColorMode::Plain);

  const Value size = EvaluarTamano(context);
  const TFontBlock::Styles font = EvaluarEstilos(context);

  Hash& h = render.AsHash();
  h.reserve(h.size() + 27);
  h.Put("id", cId);
  h.Put("formula", cContent);
  h.Put("formulaError", Value(formulaError));
  h.Put("formulaErrorMessage", Value(formulaMessage));
  PutPlacementKeys(h);
  h.Put("color", Value(color));
  h.Put("colorFondo", Value(background));
  h.Put("mostrarTexto", Value(lShowText));
  h.Put("optimizarEspacios", Value(lTrimSpaces));
  h.Put("fuente", cFontFamily);
  h.Put("tamano", size);
  h.Put("negrita", Value(font.bold));
  h.Put("cursiva", Value(font.italic));
  h.Put("subrayado", Value(font.underline));
  h.Put("tachado", Value(font.strikeout));
  h.Put("rotacion", nRotation);
  h.Put("opacidad", nOpacity);
  h.Put("zIndex", nZIndex);
  PutPaddingKeys(render);
  return render;
}

bool TVBBarcode::RespondsTo(std::string_view name) const {
  return HasFieldNamed<TVBBarcode>(kBarcodeFields, name) ||
         NameIn(name, {"New", "Init", "Create", "End", "Save", "Load", "GenerarRenderizable"}) ||
         TObjectBase::RespondsTo(name);
}

}  // namespace nv

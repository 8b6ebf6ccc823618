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

}  // namespace

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
  if (!data.IsHash()) return Self();
  auto keep = [&](std::string_view key, Value& member) {
    if (const Value* found = FindKey(data, key)) member = *found;
  };
  auto logical = [&](std::string_view key, bool& member) {
    if (const Value* found = FindKey(data, key)) member = ValorALogico(*found);
  };
  auto text = [&](std::string_view key, std::string& member) {
    const Value* found = FindKey(data, key);
    member = found ? ValorAString(*found) : std::string();
  };
  keep("cContent", cContent);
  keep("cBarcodeType", cBarcodeType);
  logical("lShowText", lShowText);
  logical("lTrimSpaces", lTrimSpaces);
  keep("cColor", cColor);
  keep("cColorFormula", cColorFormula);
  if (FindKey(data, "cFontFamily")) {
    keep("cFontFamily", cFontFamily);
  } else {
    keep("cFontName", cFontFamily);
  }
  keep("nFontSize", nFontSize);
  text("cFontSizeFormula", cFontSizeFormula);
  logical("lFontBold", lFontBold);
  text("cFontBoldFormula", cFontBoldFormula);
  logical("lFontItalic", lFontItalic);
  text("cFontItalicFormula", cFontItalicFormula);
  logical("lFontUnderline", lFontUnderline);
  text("cFontUnderlineFormula", cFontUnderlineFormula);
  logical("lFontStrikeout", lFontStrikeout);
  text("cFontStrikeoutFormula", cFontStrikeoutFormula);
  return Self();
}

Value TVBBarcode::Save() {
  Value data = TObjectBase::Save();
  Hash& hash = data.AsHash();
  hash.Put("cContent", cContent);
  hash.Put("cBarcodeType", cBarcodeType);
  hash.Put("lShowText", Value(lShowText));
  hash.Put("lTrimSpaces", Value(lTrimSpaces));
  hash.Put("cColor", cColor);
  hash.Put("cColorFormula", cColorFormula);
  hash.Put("cFontFamily", cFontFamily);
  hash.Put("nFontSize", nFontSize);
  hash.Put("cFontSizeFormula", Value(cFontSizeFormula));
  hash.Put("lFontBold", Value(lFontBold));
  hash.Put("cFontBoldFormula", Value(cFontBoldFormula));
  hash.Put("lFontItalic", Value(lFontItalic));
  hash.Put("cFontItalicFormula", Value(cFontItalicFormula));
  hash.Put("lFontUnderline", Value(lFontUnderline));
  hash.Put("cFontUnderlineFormula", Value(cFontUnderlineFormula));
  hash.Put("lFontStrikeout", Value(lFontStrikeout));
  hash.Put("cFontStrikeoutFormula", Value(cFontStrikeoutFormula));
  return data;
}

Value TVBBarcode::EvaluarContenido(const Value& context, bool& error, std::string& message) {
  error = false;
  message.clear();
  const Value formula(ValorAString(cContent));
  if (nv::RespondsTo(context, "EvaluarFormulaConEstado")) {
    if (TContextoEjecucion* ctx = context.As<TContextoEjecucion>()) {
      const Value status = ctx->EvaluarFormulaConEstado(formula);
      error = ValorALogico(HGet(status, "lError"));
      message = ValorAString(HGet(status, "cError"));
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
      value.Set("texto", Value(AllTrim(ValorAString(value["texto"]))));
    } else if (value.IsString()) {
      value = Value(AllTrim(value.AsString()));
    }
  }

  // A fresh result belongs to this render alone, so it is extended in place.
  Value render = ResultadoBarcode(value);
  const std::string color = EvaluarColor(context, cColorFormula, cColor, ColorMode::Normalise);
  const std::string background = EvaluarColor(context, cBackgroundColorFormula, cBackgroundColor, ColorMode::Plain);
  const Value padding = PaddingRenderizable();

  const Value size = EvaluarTamanoFuente(context, cFontSizeFormula, nFontSize);
  const bool bold = EvaluarEstiloFuente(context, cFontBoldFormula, lFontBold);
  const bool italic = EvaluarEstiloFuente(context, cFontItalicFormula, lFontItalic);
  const bool underline = EvaluarEstiloFuente(context, cFontUnderlineFormula, lFontUnderline);
  const bool strikeout = EvaluarEstiloFuente(context, cFontStrikeoutFormula, lFontStrikeout);

  Hash& h = render.AsHash();
  h.reserve(h.size() + 27);
  h.Put("id", cId);
  h.Put("formula", cContent);
  h.Put("formulaError", Value(formulaError));
  h.Put("formulaErrorMessage", Value(formulaMessage));
  h.Put("x", nLeft);
  h.Put("y", nTop);
  h.Put("ancho", nWidth);
  h.Put("alto", nHeight);
  h.Put("color", Value(color));
  h.Put("colorFondo", Value(background));
  h.Put("mostrarTexto", Value(lShowText));
  h.Put("optimizarEspacios", Value(lTrimSpaces));
  h.Put("fuente", cFontFamily);
  h.Put("tamano", size);
  h.Put("negrita", Value(bold));
  h.Put("cursiva", Value(italic));
  h.Put("subrayado", Value(underline));
  h.Put("tachado", Value(strikeout));
  h.Put("rotacion", nRotation);
  h.Put("opacidad", nOpacity);
  h.Put("zIndex", nZIndex);
  for (const auto& [key, v] : padding.AsHash()) h.Put(key, v);
  return render;
}

bool TVBBarcode::RespondsTo(std::string_view name) const {
  return NameIn(name, {"cContent", "cBarcodeType", "lShowText", "lTrimSpaces", "cColor", "cColorFormula",
                       "cFontFamily", "nFontSize", "cFontSizeFormula", "lFontBold", "cFontBoldFormula", "lFontItalic",
                       "cFontItalicFormula", "lFontUnderline", "cFontUnderlineFormula", "lFontStrikeout",
                       "cFontStrikeoutFormula", "New", "Init", "Create", "End", "Save", "Load",
                       "GenerarRenderizable"}) ||
         TObjectBase::RespondsTo(name);
}

}  // namespace nv

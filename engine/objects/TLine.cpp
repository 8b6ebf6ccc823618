#include "objects/TLine.h"

#include "Accessors.h"

namespace nv {

std::shared_ptr<TLine> TLine::New(const Value& owner) {
  auto line = std::make_shared<TLine>();
  line->Init(owner);
  return line;
}

Value TLine::Init(const Value& owner) {
  TObjectBase::Init(owner);
  cName = Value("Línea");
  cType = Value("TLine");
  nLeft = Value::Int(20);
  nTop = Value::Int(20);
  nWidth = Value::Int(50);
  nHeight = Value::Int(1);
  cOrientation = Value("horizontal");
  cLineStyle = Value("solid");
  cBackgroundColor = Value("transparent");
  SinBordes();
  return Self();
}

std::shared_ptr<TObjectBase> TLine::Create() { return TObjectBase::Create(); }

Value TLine::End() { return TObjectBase::End(); }

Value TLine::Save() {
  Value data = TObjectBase::Save();
  data.Set("cOrientation", cOrientation);
  data.Set("cLineStyle", cLineStyle);
  return data;
}

Value TLine::Load(const Value& data) {
  TObjectBase::Load(data);
  if (const HashPtr* hash = data.HashRef()) {
    if (const Value* v = (*hash)->Find("cOrientation")) cOrientation = *v;
    if (const Value* v = (*hash)->Find("cLineStyle")) cLineStyle = *v;
  }
  return Self();
}

Value TLine::GenerarRenderizable(const Value& context) {
  if (!ValorALogico(EsVisibleEnEjecucion(context))) return Value();
  std::string color = EvaluarColor(context, cBorderColorFormula, cBorderColor, ColorMode::Normalise);
  std::string shadow = EvaluarColor(context, cShadowColorFormula, cShadowColor, ColorMode::Plain);
  Value render = NewRender("linea", 19);
  Hash& h = render.AsHash();
  h.Put("color", Value(color));
  h.Put("grosor", nBorderWidth);
  h.Put("orientacion", cOrientation);
  h.Put("estilo", cLineStyle);
  PutRotationKeys(render);
  PutShadowKeys(render, shadow);
  PutOrderKeys(render);
  return render;
}

bool TLine::RespondsTo(std::string_view name) const {
  return NameIn(name, {"cOrientation", "cLineStyle"}) || TObjectBase::RespondsTo(name);
}

}  // namespace nv

#include "objects/TLine.h"

#include "Accessors.h"

namespace nv {

namespace {

// The line's own members, kept as loaded under their exact keys.
constexpr auto kLineFields = std::to_array<Field<TLine>>({
    Field<TLine>::Of("cOrientation", &TLine::cOrientation).Drawn(kDrawnByLine),
    Field<TLine>::Of("cLineStyle", &TLine::cLineStyle).Drawn(kDrawnByLine),
});

}  // namespace

std::span<const Field<TLine>> TLine::Fields() { return kLineFields; }

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
  SaveFields<TLine>(*this, kLineFields, data.AsHash());
  return data;
}

Value TLine::Load(const Value& data) {
  TObjectBase::Load(data);
  if (data.IsHash()) LoadFields<TLine>(*this, kLineFields, data, KeyMatch::Exact);
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
  PutRotationShadowAndOrderKeys(render, shadow);
  return render;
}

bool TLine::RespondsTo(std::string_view name) const {
  return HasFieldNamed<TLine>(kLineFields, name) || TObjectBase::RespondsTo(name);
}

}  // namespace nv

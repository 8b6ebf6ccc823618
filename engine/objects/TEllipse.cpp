#include "objects/TEllipse.h"

#include "Accessors.h"

namespace nv {

std::shared_ptr<TEllipse> TEllipse::New(const Value& owner) {
  auto ellipse = std::make_shared<TEllipse>();
  ellipse->Init(owner);
  return ellipse;
}

Value TEllipse::Init(const Value& owner) {
  TObjectBase::Init(owner);
  cName = Value("Elipse");
  cType = Value("TEllipse");
  nLeft = Value::Int(20);
  nTop = Value::Int(20);
  nWidth = Value::Int(50);
  nHeight = Value::Int(30);
  nBorderWidth = Value::Dbl(0.1, 1);
  nRounded = Value::Int(50);
  return Self();
}

std::shared_ptr<TObjectBase> TEllipse::Create() { return TObjectBase::Create(); }

Value TEllipse::End() { return TObjectBase::End(); }

Value TEllipse::GenerarRenderizable(const Value& context) {
  if (!ValorALogico(EsVisibleEnEjecucion(context))) return Value();
  // An ellipse is always drawn fully rounded, whatever nRounded holds.
  return BuildBoxRender(context, "elipse", Value::Int(50));
}

bool TEllipse::RespondsTo(std::string_view name) const { return TObjectBase::RespondsTo(name); }

}  // namespace nv

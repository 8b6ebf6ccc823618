#include "objects/TRectangle.h"

#include "Accessors.h"

namespace nv {

std::shared_ptr<TRectangle> TRectangle::New(const Value& owner) {
  auto rectangle = std::make_shared<TRectangle>();
  rectangle->Init(owner);
  return rectangle;
}

Value TRectangle::Init(const Value& owner) {
  TObjectBase::Init(owner);
  cName = Value("Rectángulo");
  cType = Value("TRectangle");
  return Self();
}

std::shared_ptr<TObjectBase> TRectangle::Create() { return TObjectBase::Create(); }

Value TRectangle::End() { return TObjectBase::End(); }

Value TRectangle::GenerarRenderizable(const Value& context) {
  if (!ValorALogico(EsVisibleEnEjecucion(context))) return Value();
  return BuildBoxRender(context, "rectangulo", nRounded);
}

bool TRectangle::RespondsTo(std::string_view name) const { return TObjectBase::RespondsTo(name); }

}  // namespace nv

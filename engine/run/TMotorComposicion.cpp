#include "run/TMotorComposicion.h"

namespace nv {

std::shared_ptr<TMotorComposicion> TMotorComposicion::New(const Value& opciones) {
  auto engine = std::make_shared<TMotorComposicion>();
  engine->Init(opciones);
  return engine;
}

bool TMotorComposicion::RespondsTo(std::string_view name) const {
  return NameIn(name, {"New", "Init", "Create", "End", "SetOpciones", "Componer", "hOpciones", "lCreated"}) ||
         Object::RespondsTo(name);
}

std::shared_ptr<TMotorComposicion> TMotorComposicion::Init(const Value& opciones) {
  hOpciones = opciones.IsHash() ? opciones : Value::NewHash();
  lCreated = false;
  return std::static_pointer_cast<TMotorComposicion>(shared_from_this());
}

std::shared_ptr<TMotorComposicion> TMotorComposicion::Create() {
  lCreated = true;
  return std::static_pointer_cast<TMotorComposicion>(shared_from_this());
}

Value TMotorComposicion::End() {
  hOpciones = Value::NewHash();
  lCreated = false;
  return Value();
}

std::shared_ptr<TMotorComposicion> TMotorComposicion::SetOpciones(const Value& opciones) {
  hOpciones = opciones.IsHash() ? opciones : Value::NewHash();
  return std::static_pointer_cast<TMotorComposicion>(shared_from_this());
}

ObjetoComponible* TMotorComposicion::Componible(const Value& objeto) {
  if (!nv::RespondsTo(objeto, "GenerarRenderizable")) return nullptr;
  return objeto.As<ObjetoComponible>();
}

Value TMotorComposicion::Componer(const Value& objeto, const Value& contexto) {
  return Componer(Componible(objeto), contexto);
}

Value TMotorComposicion::Componer(ObjetoComponible* componible, const Value& contexto) {
  if (componible != nullptr) return componible->GenerarRenderizable(contexto);
  AgregarAvisoContexto(contexto, Value(kAvisoSinMetodo));
  return Value();
}

void TMotorComposicion::AgregarRenderizables(const Value& list, const Value& resultado) {
  if (resultado.IsNil()) return;
  if (EsListaRenderizables(resultado)) {
    const Array& items = resultado.AsArray();
    list.AsArray().insert(list.AsArray().end(), items.begin(), items.end());
    return;
  }
  list.Append(resultado);
}

bool TMotorComposicion::EsListaRenderizables(const Value& value) {
  if (!value.IsArray() || value.Len() == 0) return false;
  for (const Value& item : value.AsArray()) {
    if (!item.IsHash() || !item.Has("tipo")) return false;
  }
  return true;
}

void AgregarAvisoContexto(const Value& contexto, const Value& aviso) {
  if (!nv::RespondsTo(contexto, "AddAviso")) return;
  if (auto* receptor = contexto.As<ReceptorAvisos>()) receptor->AddAviso(aviso);
}

}  // namespace nv

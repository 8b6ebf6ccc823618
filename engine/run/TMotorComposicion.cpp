#include "run/TMotorComposicion.h"

#include "run/TContextoEjecucion.h"
#include "objects/TObjectBase.h"

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

Value TMotorComposicion::Componer(const Value& objeto, const Value& contexto) {
  // Every layout object responds to GenerarRenderizable, so the class test comes first and spares
  // the name lookup on each render.
  if (auto* layout = objeto.As<TObjectBase>()) return layout->GenerarRenderizable(contexto);
  if (nv::RespondsTo(objeto, "GenerarRenderizable")) {
    if (auto* componible = objeto.As<ObjetoComponible>()) return componible->GenerarRenderizable(contexto);
  }
  AgregarAvisoContexto(contexto, Value(kAvisoSinMetodo));
  return Value();
}

void AgregarAvisoContexto(const Value& contexto, const Value& aviso) {
  if (!nv::RespondsTo(contexto, "AddAviso")) return;
  if (auto* context = contexto.As<TContextoEjecucion>()) {
    context->AddAviso(aviso);
  } else if (auto* receptor = contexto.As<ReceptorAvisos>()) {
    receptor->AddAviso(aviso);
  }
}

}  // namespace nv

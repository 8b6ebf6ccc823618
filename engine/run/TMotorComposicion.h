#pragma once
// The composition engine: asks one layout object for its render objects in the current context.

#include <memory>
#include <string_view>

#include "Object.h"
#include "Value.h"

namespace nv {

/// What composition needs of a layout object that is not a TObjectBase: its GenerarRenderizable
/// returns nil, one render object hash or an array of them.
class ObjetoComponible {
 public:
  virtual ~ObjetoComponible() = default;
  /// Returns the render objects of the object for the given execution context.
  virtual Value GenerarRenderizable(const Value& contexto) = 0;
};

/// What composition needs of an execution context that is not a TContextoEjecucion: somewhere to
/// leave a warning.
class ReceptorAvisos {
 public:
  virtual ~ReceptorAvisos() = default;
  /// Appends a warning text; returns nil.
  virtual Value AddAviso(const Value& aviso) = 0;
};

class TMotorComposicion : public Object {
 public:
  /// Warning left in the context for a template object that cannot render itself.
  static constexpr std::string_view kAvisoSinMetodo = "Objeto sin metodo generarRenderizable.";

  static std::shared_ptr<TMotorComposicion> New(const Value& opciones = Value());

  std::string_view ClassName() const override { return "TMotorComposicion"; }
  bool RespondsTo(std::string_view name) const override;

  /// Stores the options (an empty hash for a non-hash); lCreated false.
  std::shared_ptr<TMotorComposicion> Init(const Value& opciones = Value());
  std::shared_ptr<TMotorComposicion> Create();
  Value End() override;
  std::shared_ptr<TMotorComposicion> SetOpciones(const Value& opciones);
  /// Returns the object's GenerarRenderizable(contexto) unchanged; for anything that cannot render
  /// itself, leaves a warning in the context (when it takes warnings) and returns nil.
  Value Componer(const Value& objeto, const Value& contexto);

  Value hOpciones = Value::NewHash();
  bool lCreated = false;
};

/// Adds a warning to the context when it is an object that takes warnings; otherwise nothing.
void AgregarAvisoContexto(const Value& contexto, const Value& aviso);

}  // namespace nv

#pragma once
// The composition engine: asks one layout object for its render objects in the current context.

#include <memory>
#include <string_view>

#include "Object.h"
#include "Value.h"
#include "run/ObjetoComponible.h"
#include "run/ReceptorAvisos.h"

namespace nv {

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
  /// Componer for an object already resolved by Componible: its render objects, or the warning and
  /// nil when componible is null. For a caller that composes the same objects many times.
  Value Componer(ObjetoComponible* componible, const Value& contexto);
  /// The object as a composable object when it responds to GenerarRenderizable; else null.
  static ObjetoComponible* Componible(const Value& objeto);
  /// Appends what Componer returned to a list: each element of a list of render objects (see
  /// EsListaRenderizables), nothing for nil, anything else as one element.
  static void AgregarRenderizables(const Value& list, const Value& resultado);
  /// True for a non-empty array whose elements are all hashes with the key "tipo".
  static bool EsListaRenderizables(const Value& value);

  Value hOpciones = Value::NewHash();
  bool lCreated = false;
};

/// Adds a warning to the context when it is an object that takes warnings; otherwise nothing.
void AgregarAvisoContexto(const Value& contexto, const Value& aviso);

}  // namespace nv

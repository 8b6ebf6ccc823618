#pragma once
// What the composition engine asks of a layout object. TObjectBase implements it; so may any
// object that composes render objects.

#include "Value.h"

namespace nv {

class ObjetoComponible {
 public:
  virtual ~ObjetoComponible() = default;
  /// Returns the object's render objects for the given execution context: nil, one render object
  /// hash or an array of them.
  virtual Value GenerarRenderizable(const Value& contexto) = 0;
  /// Called before the object is composed once per record of one run (a label run), and
  /// TerminarComposicionRepetida after the last time: between the two an object may reuse what it
  /// built that does not depend on the current record. Both do nothing by default.
  virtual void IniciarComposicionRepetida() {}
  virtual void TerminarComposicionRepetida() {}
};

}  // namespace nv

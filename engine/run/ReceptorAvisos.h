#pragma once
// What the composition engine asks of an execution context: somewhere to leave a warning.
// TContextoEjecucion implements it.

#include "Value.h"

namespace nv {

class ReceptorAvisos {
 public:
  virtual ~ReceptorAvisos() = default;
  /// Appends a warning text; returns nil.
  virtual Value AddAviso(const Value& aviso) = 0;
};

}  // namespace nv

#pragma once
// What the execution context asks of its data connector: the variables and the runtime data.
// TConectorDatos implements it.

#include "Value.h"

namespace nv {

class FuenteVariables {
 public:
  virtual ~FuenteVariables() = default;
  /// A hash of every variable of the current data.
  virtual Value GetVariables() = 0;
  /// The runtime data hash.
  virtual Value GetData() = 0;
};

}  // namespace nv

#pragma once
// What the label road of the execution engine asks of the data connector. TConectorDatos
// implements it.

#include "Value.h"

namespace nv {

class FuenteRegistros {
 public:
  virtual ~FuenteRegistros() = default;
  /// The detail records, an array of hashes.
  virtual Value GetRegistrosDetalle() = 0;
};

}  // namespace nv

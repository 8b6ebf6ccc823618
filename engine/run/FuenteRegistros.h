#pragma once
// What the label road of the execution engine asks of the data connector. TConectorDatos
// implements it.

#include <memory>

#include "Value.h"
#include "data/ArrayRecordSequence.h"

namespace nv {

class FuenteRegistros {
 public:
  virtual ~FuenteRegistros() = default;
  /// The detail records, an array of hashes.
  virtual Value GetRegistrosDetalle() = 0;
  /// The detail records read by position, as the label road walks them; by default the array
  /// GetRegistrosDetalle gives. A connector over a data file reads them from the file instead.
  virtual std::shared_ptr<RecordSequence> GetSecuenciaRegistros() {
    return std::make_shared<ArrayRecordSequence>(GetRegistrosDetalle());
  }
};

}  // namespace nv

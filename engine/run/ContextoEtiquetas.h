#pragma once
// What the label road of the execution engine asks of the execution context: options, progress
// and the record state of each label. TContextoEjecucion implements it.

#include <cstdint>

#include "Value.h"

namespace nv {

class ContextoEtiquetas {
 public:
  virtual ~ContextoEtiquetas() = default;
  /// The options hash of the run.
  virtual Value GetOpciones() = 0;
  /// True (a logical) when progress is reported.
  virtual Value TieneProgreso() = 0;
  /// Reports an examined record (from 1); a logical false cancels the run.
  virtual Value InformarRegistroExaminado(const Value& nRegistro) = 0;
  /// Reports the number of sheets completed; a logical false cancels the run.
  virtual Value InformarPaginaGenerada(const Value& nPaginas) = 0;
  /// Enters the record of one label: the sheet (from 1) and the sheet count, then the record with
  /// its index (from 0), the record count and its neighbours (empty hashes at the ends).
  virtual Value EntrarRegistroEtiqueta(int64_t nPagina, int64_t nTotalPaginas, const Value& hRegistro,
                                       int64_t nIndice, int64_t nTotal, const Value& hAnterior,
                                       const Value& hSiguiente) = 0;
  /// Leaves the record entered last.
  virtual Value PopRegistroDetalle() = 0;
};

}  // namespace nv

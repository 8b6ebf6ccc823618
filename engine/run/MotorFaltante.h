#pragma once
// The runtime error of a miswired execution engine: a composition or pagination engine of the
// wrong class is a programming error, reported as the runtime error a message the object does not
// understand would raise.

namespace nv {

/// Raises the error for a composition engine that is not a TMotorComposicion.
[[noreturn]] void FaltaMotorComposicion();
/// Raises the error for a pagination engine that is not a TMotorPaginacion.
[[noreturn]] void FaltaMotorPaginacion();

}  // namespace nv

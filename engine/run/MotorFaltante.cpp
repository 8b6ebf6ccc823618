#include "run/MotorFaltante.h"

#include <string>

#include "Value.h"

namespace nv {

void FaltaMotorComposicion() {
  throw RuntimeError("TMotorEjecucion", 1, "El motor de composicion no es un TMotorComposicion", "Componer");
}

void FaltaMotorPaginacion() {
  throw RuntimeError("TMotorEjecucion", 1, "El motor de paginacion no es un TMotorPaginacion", "Paginar");
}

}  // namespace nv

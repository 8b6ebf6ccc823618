#pragma once
// What the execution engine asks of a template. TPlantilla implements it; so may any object that
// stands for a template.

#include "Value.h"

namespace nv {

class FuentePlantilla {
 public:
  virtual ~FuentePlantilla() = default;
  /// True (a logical) when the template is a label document.
  virtual Value IsLabelDocument() const = 0;
  /// The page description hash ("ancho", "alto", "modoAlto", "margenInferiorContinuo", ...).
  virtual Value GetPagina() const = 0;
  /// The layout objects, an array in template order.
  virtual Value GetObjetos() const = 0;
  /// The label layout hash (label documents only).
  virtual Value GetLabelLayout() const = 0;
};

}  // namespace nv

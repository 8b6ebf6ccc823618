#pragma once
// Text-flow reflow: the parts of a text-flow group (render objects sharing "grupoFlujoTexto") close
// up over the empty paragraphs their texts suppressed, so that later parts move up (or sideways,
// for rotated parts) by what the earlier ones gave up.

#include "Value.h"

namespace nv {

class TFlujoTexto {
 public:
  /// Returns a new list where the parts of each text-flow group close up over their empty parts:
  /// an empty part that does not keep its empty paragraphs is dropped and later parts of its group
  /// move by its line height; a part with suppressed height ("alturaSuprimidaFlujoTexto") shrinks
  /// by it (to at least 0.1 mm) and later parts move by it. Parts without a group keep their place.
  /// The input list and its render objects are left unchanged; a non-array gives an empty list.
  static Value Recolocar(const Value& list);
};

}  // namespace nv

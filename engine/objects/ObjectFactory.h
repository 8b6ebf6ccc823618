#pragma once
// The one place that knows which class makes a layout object of a stored type name. The document
// makes its objects here, and a table makes its cells' content objects here, so a new kind of
// object is one new line for both.

#include <string_view>

#include "Value.h"

namespace nv {

class ObjectFactory {
 public:
  /// A new layout object of the exact, case-sensitive type name, owned by owner (a document or a
  /// table) with every default set; nil for a name no built class answers to.
  static Value New(std::string_view type, const Value& owner);
};

}  // namespace nv

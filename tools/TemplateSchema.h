#pragma once
// The JSON Schema (draft 2020-12) of the template format, built from the same key lists as
// `norvane check`: the document's keys, the label layout's, each object type's member rows, and
// the older page/object format. Unknown keys are refused, so an editor flags a typo as it is typed.

#include "Value.h"

namespace nv::cli {

class TemplateSchema {
 public:
  /// The schema as a hash, ready to be written as JSON.
  static Value Build();
};

}  // namespace nv::cli

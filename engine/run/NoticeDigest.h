#pragma once
// Collapses repeated warnings and discard records of an execution context into one entry each
// with a count. A table evaluates the same hidden line, false condition or failing cell formula
// for every record; the caller wants to know that it happened and how often, not a hundred
// thousand copies of the same text.

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>

#include "Value.h"

namespace nv {

class TContextoEjecucion;

class NoticeDigest {
 public:
  /// Starts (or goes on) watching the warnings and discards of ctx from their current ends. The
  /// counts carry over between calls while ctx keeps the same lists.
  void Watch(TContextoEjecucion* ctx);
  /// Folds every warning and discard added since Watch or the last Collapse into the first entry
  /// of the same text (warnings: the text gains " (N veces)"; discards: "nVeces" = N).
  void Collapse();

 private:
  struct Seen {
    size_t position;
    int64_t count;
  };
  struct Tally {
    const void* list = nullptr;  // identity of the array watched
    size_t mark = 0;
    std::unordered_map<std::string, Seen> seen;
  };
  static void Fold(const Value& list, Tally& tally, bool warnings);

  TContextoEjecucion* ctx_ = nullptr;
  Tally warnings_;
  Tally discards_;
};

}  // namespace nv

#pragma once
// What the execution engine asks of a layout object that keeps timing figures (tables).

#include "Value.h"

namespace nv {

class FuenteDiagnosticos {
 public:
  virtual ~FuenteDiagnosticos() = default;
  /// A hash of "nSetupMs", "nRecordLoopMs", ... (milliseconds) and "nRecordsExamined".
  virtual Value GetPerformanceDiagnostics() = 0;
};

}  // namespace nv

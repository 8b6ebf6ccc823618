#pragma once
// The detail records of one "DetalleVar" block held in memory, converted when asked for instead
// of all at once: a host walking a long block holds the caller's lines and a few records, not a
// converted copy of every line.

#include <cstdint>
#include <string>
#include <vector>

#include "data/DetailRecordConverter.h"
#include "data/RecentRecords.h"
#include "data/RecordSequence.h"

namespace nv {

class DetailRecordView : public RecordSequence {
 public:
  /// The records of lines (an array of "DetalleVar" lines) with keys prefix + FIELD; lines that
  /// give no record (no hash, no named field) are left out.
  DetailRecordView(Value lines, std::string prefix);

  int64_t Count() const override { return count_; }
  Value At(int64_t index) override;

 private:
  Value lines_;
  int64_t count_ = 0;
  /// The line of each record, when some line gives none; empty when every line gives one.
  std::vector<size_t> lineOf_;
  DetailRecordConverter converter_;
  RecentRecords recent_;
};

}  // namespace nv

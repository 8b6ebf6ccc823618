#pragma once
// The detail records of one "DetalleVar" block held in memory, converted when asked for instead
// of all at once: a host walking a long block holds the caller's lines and a few records, not a
// converted copy of every line.

#include <cstdint>
#include <memory>
#include <optional>
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
  /// The first "DetalleVar" block of data (named, holding an array) with a line that gives a
  /// record: its name and its lines. Looks no further into a block than its first such line.
  struct Block {
    std::string name;
    Value lines;
  };
  static std::optional<Block> FirstBlock(const Value& data);
  /// The records of FirstBlock; nullptr when there is none.
  static std::shared_ptr<DetailRecordView> OfFirstBlock(const Value& data);

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

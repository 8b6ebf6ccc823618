#pragma once
// Running totals of one field over the runtime detail records, kept from one evaluation to the
// next, so that `Sum(FIELD)` on record n costs one lookup instead of a walk over n records (a
// report that prints a running total on every record would otherwise take time quadratic in its
// records).
//
// A total is only kept for a field whose value on a record depends on that record alone: the
// caller checks that the argument names a variable the surrounding variables do not hold, and the
// cache that every record walked holds it. The totals belong to one list of records (an array, or
// a sequence read from a data file): another list, or one that shrank, starts them afresh;
// records appended to an array are summed as they are reached. The records of a run are not
// changed in place: a host that changes them hands over a new list (or new options), which clears
// the totals.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Value.h"

namespace nv {

class RecordSumCache {
 public:
  /// The value of the field on one record (a hash) as the evaluator gives it, or nothing when the
  /// record does not hold the field.
  using FieldValue = std::function<std::optional<Value>(const Value& record)>;

  void Clear();
  /// The running total of field over records 0 to count - 1 of records (an array or a record
  /// sequence; count at most their number), summed as a walk over the records sums them: numeric
  /// values added in order, other values and records that are no hash skipped. Nil when a record
  /// up to there does not hold the field, or records are neither. valueOf is called once per
  /// record and field while the list stays the same.
  Value Total(const Value& records, size_t count, std::string_view field, const FieldValue& valueOf);

 private:
  struct FieldTotals {
    // totals[i] is the total over records 0 to i.
    std::vector<Value> totals;
    // Set at the first record that does not hold the field: no total from there on.
    bool broken = false;
  };

  Value records_;
  size_t recordCount_ = 0;
  std::unordered_map<std::string, FieldTotals> fields_;
};

}  // namespace nv

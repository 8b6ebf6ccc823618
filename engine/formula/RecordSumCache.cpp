#include "formula/RecordSumCache.h"

#include <algorithm>

#include "Accessors.h"
#include "Runtime.h"
#include "data/RecordSequence.h"
#include "formula/FormulaOperators.h"

namespace nv {

void RecordSumCache::Clear() {
  records_.reset();
  recordCount_ = 0;
  fields_.clear();
}

RecordSumCache::Records RecordSumCache::Of(const Value& records) {
  if (const ArrayPtr* items = records.ArrayRef()) {
    ArrayPtr keep = *items;
    return {keep, keep->size(), [keep](size_t index) { return (*keep)[index]; }};
  }
  if (std::shared_ptr<RecordSequence> sequence = records.AsShared<RecordSequence>()) {
    const auto size = static_cast<size_t>(std::max<int64_t>(0, sequence->Count()));
    return {sequence, size, [sequence](size_t index) { return sequence->At(static_cast<int64_t>(index)); }};
  }
  return {};
}

Value RecordSumCache::Total(const Records& records, size_t count, std::string_view field, const FieldValue& valueOf) {
  if (records.owner == nullptr) return Value();
  if (records.owner != records_ || records.size < recordCount_) {
    Clear();
    records_ = records.owner;
  }
  recordCount_ = records.size;
  count = std::min(count, records.size);
  FieldTotals& totals = fields_[std::string(field)];
  while (totals.totals.size() < count && !totals.broken) {
    const Value record = records.at(totals.totals.size());
    Value running = totals.totals.empty() ? Value::Int(0) : totals.totals.back();
    if (record.IsHash()) {
      const std::optional<Value> value = valueOf(record);
      if (!value) {
        totals.broken = true;
        break;
      }
      if (EsNumerico(*value)) {
        try {
          running = OpAdd(running, FormulaOperators::NumberThroughText(*value));
        } catch (const RuntimeError&) {
        }
      }
    }
    totals.totals.push_back(std::move(running));
  }
  if (totals.totals.size() < count) return Value();
  if (count == 0) return Value::Int(0);
  return FormulaOperators::IntegerWhenIntegral(totals.totals[count - 1]);
}

}  // namespace nv

#include "formula/RecordSumCache.h"

#include <algorithm>

#include "Accessors.h"
#include "Runtime.h"
#include "data/RecordSequence.h"
#include "formula/FormulaOperators.h"

namespace nv {

void RecordSumCache::Clear() {
  records_ = Value();
  recordCount_ = 0;
  fields_.clear();
}

Value RecordSumCache::Total(const Value& records, size_t count, std::string_view field, const FieldValue& valueOf) {
  if (!records.IsArray() && records.As<RecordSequence>() == nullptr) return Value();
  const auto size = static_cast<size_t>(std::max<int64_t>(0, RecordSequence::CountOf(records)));
  if (!records.SameRef(records_) || size < recordCount_) {
    Clear();
    records_ = records;
  }
  recordCount_ = size;
  count = std::min(count, size);
  FieldTotals& totals = fields_[std::string(field)];
  while (totals.totals.size() < count && !totals.broken) {
    const Value record = RecordSequence::HashAt(records, static_cast<int64_t>(totals.totals.size()));
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

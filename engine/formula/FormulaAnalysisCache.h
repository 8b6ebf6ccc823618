#pragma once
// The analyses of the formula texts met so far, kept for the evaluator's life: a report
// evaluates the same few texts over and over, and each is split only once.

#include <string>
#include <string_view>
#include <unordered_map>

#include "HashKeyTable.h"
#include "formula/FormulaAnalysis.h"

namespace nv {

class FormulaAnalysisCache {
 public:
  /// The analysis of the exact text, made on the first request.
  const FormulaAnalysis& Get(std::string_view text);
  /// The number of texts analysed.
  size_t size() const { return analyses_.size(); }
  void clear() { analyses_.clear(); }

 private:
  std::unordered_map<std::string, FormulaAnalysis, StringHash, std::equal_to<>> analyses_;
};

}  // namespace nv

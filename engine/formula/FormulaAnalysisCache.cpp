#include "formula/FormulaAnalysisCache.h"

namespace nv {

const FormulaAnalysis& FormulaAnalysisCache::Get(std::string_view text) {
  if (auto it = analyses_.find(text); it != analyses_.end()) return it->second;
  return analyses_.emplace(std::string(text), FormulaAnalysis::Of(text)).first->second;
}

}  // namespace nv

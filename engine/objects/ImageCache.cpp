#include "objects/ImageCache.h"

#include "Accessors.h"

namespace nv {

const Value* ImageCache::Find(std::string_view sourceType, std::string_view value) const {
  for (const auto& [type, results] : byType_) {
    if (type != sourceType) continue;
    auto found = results.find(value);
    return found == results.end() ? nullptr : &found->second;
  }
  return nullptr;
}

ImageCache::Results* ImageCache::ResultsOf(std::string_view sourceType) {
  for (auto& [type, results] : byType_) {
    if (type == sourceType) return &results;
  }
  byType_.emplace_back(std::string(sourceType), Results());
  return &byType_.back().second;
}

void ImageCache::Store(std::string_view sourceType, std::string_view value, const Value& result) {
  // The key holds the value too, so both count against the room.
  const size_t size = value.size() + ValueString(HGet(result, "dataUri")).size();
  if (size > kMaxCachedBytes - cachedBytes_) return;
  auto [it, inserted] = ResultsOf(sourceType)->try_emplace(std::string(value), result);
  if (inserted) cachedBytes_ += size;
}

}  // namespace nv

#pragma once
// The image results of one run, keyed by the source value and its source type, so that a picture
// shown on every label or row is read and encoded once per run. The execution context holds it and
// drops it when a run starts or ends.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Object.h"
#include "Value.h"

namespace nv {

class ImageCache : public Object {
 public:
  /// The most data-URI bytes kept; results beyond it are resolved again on every use.
  static constexpr size_t kMaxCachedBytes = size_t{256} * 1024 * 1024;

  /// The result stored for a source value under a source type, or null.
  const Value* Find(std::string_view sourceType, std::string_view value) const;
  /// Stores the result of a source value under a source type while the cache has room for it.
  void Store(std::string_view sourceType, std::string_view value, const Value& result);

  std::string_view ClassName() const override { return "ImageCache"; }

 private:
  struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };
  using Results = std::unordered_map<std::string, Value, TextHash, std::equal_to<>>;

  Results* ResultsOf(std::string_view sourceType);

  // Few distinct source types occur in a run, so they are searched in order.
  std::vector<std::pair<std::string, Results>> byType_;
  size_t cachedBytes_ = 0;
};

}  // namespace nv

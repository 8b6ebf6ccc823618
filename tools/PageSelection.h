#pragma once
// The pages a user asks for with --pages: "1,3-5" (1-based, ranges inclusive); empty selects all.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace nv::cli {

class PageSelection {
 public:
  /// Parses a list of page numbers and ranges; nullopt with the reason in error for anything else.
  static std::optional<PageSelection> Parse(const std::string& text, std::string& error);
  /// True when page (1-based) is selected.
  bool Includes(int64_t page) const;
  /// The selected pages of a document of count pages, in document order.
  std::vector<int64_t> PagesOf(int64_t count) const;

 private:
  std::vector<std::pair<int64_t, int64_t>> ranges_;
};

}  // namespace nv::cli

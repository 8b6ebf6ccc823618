#include "PageSelection.h"

#include <charconv>

namespace nv::cli {

namespace {

std::optional<int64_t> PageNumber(std::string_view text) {
  int64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < 1) return std::nullopt;
  return value;
}

}  // namespace

std::optional<PageSelection> PageSelection::Parse(const std::string& text, std::string& error) {
  PageSelection selection;
  if (text.empty()) return selection;
  std::string_view rest(text);
  while (true) {
    size_t comma = rest.find(',');
    std::string_view item = rest.substr(0, comma);
    size_t dash = item.find('-');
    auto first = PageNumber(item.substr(0, dash));
    auto last = dash == std::string_view::npos ? first : PageNumber(item.substr(dash + 1));
    if (!first || !last || *last < *first) {
      error = "--pages: '" + std::string(item) + "' is not a page or a range of pages (1,3-5)";
      return std::nullopt;
    }
    selection.ranges_.emplace_back(*first, *last);
    if (comma == std::string_view::npos) break;
    rest = rest.substr(comma + 1);
  }
  return selection;
}

bool PageSelection::Includes(int64_t page) const {
  if (ranges_.empty()) return true;
  for (const auto& [first, last] : ranges_) {
    if (page >= first && page <= last) return true;
  }
  return false;
}

std::vector<int64_t> PageSelection::PagesOf(int64_t count) const {
  std::vector<int64_t> pages;
  for (int64_t page = 1; page <= count; ++page) {
    if (Includes(page)) pages.push_back(page);
  }
  return pages;
}

}  // namespace nv::cli

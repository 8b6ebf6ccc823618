// Byte-string operations: case, search, cutting, padding and splitting. Positions are 1-based
// and count bytes.
#include "Runtime.h"

namespace nv {

namespace {

// Results longer than this are refused: a formula asking for a gigabyte of blanks is an error,
// not a reason to exhaust memory.
constexpr int64_t kMaxResultLength = 256LL * 1024 * 1024;

void CheckLength(int64_t length, const char* operation) {
  if (length > kMaxResultLength) {
    throw RuntimeError("BASE", 1234, "String overflow: result longer than " + std::to_string(kMaxResultLength),
                       operation);
  }
}

}  // namespace

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return out;
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return out;
}

std::string SubStr(std::string_view text, int64_t start, std::optional<int64_t> count) {
  const int64_t length = static_cast<int64_t>(text.size());
  int64_t from;  // 0-based
  if (start < 0) {
    from = length + start;
    if (from < 0) from = 0;
  } else {
    from = start == 0 ? 0 : start - 1;
  }
  if (from >= length) return "";
  int64_t take = length - from;
  if (count) {
    if (*count <= 0) return "";
    if (*count < take) take = *count;
  }
  return std::string(text.substr(static_cast<size_t>(from), static_cast<size_t>(take)));
}

std::string Left(std::string_view text, int64_t n) {
  if (n <= 0) return "";
  return std::string(text.substr(0, static_cast<size_t>(n)));
}

std::string Right(std::string_view text, int64_t n) {
  if (n <= 0) return "";
  if (static_cast<uint64_t>(n) >= text.size()) return std::string(text);
  return std::string(text.substr(text.size() - static_cast<size_t>(n)));
}

int64_t At(std::string_view needle, std::string_view text) {
  if (needle.empty()) return 0;
  size_t pos = text.find(needle);
  return pos == std::string_view::npos ? 0 : static_cast<int64_t>(pos) + 1;
}

int64_t RAt(std::string_view needle, std::string_view text) {
  if (needle.empty()) return 0;
  size_t pos = text.rfind(needle);
  return pos == std::string_view::npos ? 0 : static_cast<int64_t>(pos) + 1;
}

std::string StrTran(std::string_view text, std::string_view search, std::string_view replacement) {
  if (search.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  for (;;) {
    size_t found = text.find(search, pos);
    if (found == std::string_view::npos) break;
    out.append(text.substr(pos, found - pos));
    out.append(replacement);
    pos = found + search.size();
    CheckLength(static_cast<int64_t>(out.size()), "STRTRAN");
  }
  out.append(text.substr(pos));
  return out;
}

std::string Stuff(std::string_view text, int64_t start, int64_t remove, std::string_view insert) {
  const int64_t length = static_cast<int64_t>(text.size());
  int64_t from = start < 1 ? 0 : start - 1;
  if (from > length) from = length;
  if (remove < 0) remove = 0;
  if (remove > length - from) remove = length - from;
  std::string out(text.substr(0, static_cast<size_t>(from)));
  out.append(insert);
  out.append(text.substr(static_cast<size_t>(from + remove)));
  return out;
}

std::string Replicate(std::string_view text, int64_t n) {
  if (n <= 0 || text.empty()) return "";
  if (n > kMaxResultLength / static_cast<int64_t>(text.size())) CheckLength(kMaxResultLength + 1, "REPLICATE");
  std::string out;
  out.reserve(text.size() * static_cast<size_t>(n));
  for (int64_t i = 0; i < n; ++i) out.append(text);
  return out;
}

std::string Space(int64_t n) {
  if (n <= 0) return "";
  CheckLength(n, "SPACE");
  return std::string(static_cast<size_t>(n), ' ');
}

std::string PadL(std::string_view text, int64_t width) {
  if (width <= 0) return "";
  CheckLength(width, "PADL");
  if (text.size() >= static_cast<uint64_t>(width)) return std::string(text.substr(0, static_cast<size_t>(width)));
  return std::string(static_cast<size_t>(width) - text.size(), ' ') + std::string(text);
}

std::string PadR(std::string_view text, int64_t width) {
  if (width <= 0) return "";
  CheckLength(width, "PADR");
  if (text.size() >= static_cast<uint64_t>(width)) return std::string(text.substr(0, static_cast<size_t>(width)));
  return std::string(text) + std::string(static_cast<size_t>(width) - text.size(), ' ');
}

std::vector<std::string> SplitText(std::string_view text, char delimiter) {
  std::vector<std::string> pieces;
  size_t pos = 0;
  for (;;) {
    size_t found = text.find(delimiter, pos);
    if (found == std::string_view::npos) break;
    pieces.emplace_back(text.substr(pos, found - pos));
    pos = found + 1;
  }
  pieces.emplace_back(text.substr(pos));
  return pieces;
}

bool Contains(std::string_view x, std::string_view y) { return !x.empty() && y.find(x) != std::string_view::npos; }

}  // namespace nv

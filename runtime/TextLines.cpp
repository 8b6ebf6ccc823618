#include "TextLines.h"

#include <algorithm>
#include <cmath>

#include "Runtime.h"

namespace nv {

namespace {

bool IsBlank(std::string_view ch) { return ch == " " || ch == "\t"; }

}  // namespace

int64_t TextLines::CharactersPerLine(double availableMm, double sizePt) {
  double charWidth = std::max(0.1, sizePt) * kMmPorPunto * kFactorAnchoCaracter;
  if (!(availableMm > 0.0)) return kCaracteresSinLimite;
  double perLine = std::floor(availableMm / charWidth);
  if (!(perLine < static_cast<double>(kCaracteresSinLimite))) return kCaracteresSinLimite;
  return std::max<int64_t>(1, static_cast<int64_t>(perLine));
}

std::vector<std::string> TextLines::SplitParagraph(std::string_view text, int64_t n) {
  int64_t length = static_cast<int64_t>(Utf8Length(text));
  if (length <= n) return {std::string(text)};
  n = std::max<int64_t>(1, n);

  std::vector<std::string> chars = Utf8Chars(text);
  std::vector<std::string> pieces;
  int64_t total = static_cast<int64_t>(chars.size());
  size_t byte = 0;
  for (int64_t pos = 0; pos < total;) {
    int64_t take = total - pos;
    if (take > n) {
      take = n;
      // The line breaks after the last blank within reach, so the blank ends the line.
      for (int64_t k = n; k >= 1; --k) {
        if (IsBlank(chars[static_cast<size_t>(pos + k - 1)])) {
          take = k;
          break;
        }
      }
    }
    size_t bytes = 0;
    for (int64_t k = 0; k < take; ++k) bytes += chars[static_cast<size_t>(pos + k)].size();
    pieces.emplace_back(text.substr(byte, bytes));
    byte += bytes;
    pos += take;
  }
  return pieces;
}

std::vector<std::string_view> TextLines::SplitAtLineFeeds(std::string_view text) {
  std::vector<std::string_view> pieces;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      pieces.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  pieces.push_back(text.substr(start));
  return pieces;
}

std::string TextLines::NormalizeLineBreaks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out.push_back('\n');
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

std::vector<TextLines::Line> TextLines::Lines(std::string_view text, double availableMm, double sizePt, bool wrap) {
  std::string normalized = NormalizeLineBreaks(text);
  std::vector<std::string_view> paragraphs = SplitAtLineFeeds(normalized);
  std::vector<Line> lines;
  lines.reserve(paragraphs.size());
  if (!wrap) {
    for (std::string_view paragraph : paragraphs) lines.push_back({std::string(paragraph), true});
    return lines;
  }
  int64_t perLine = CharactersPerLine(availableMm, sizePt);
  for (std::string_view paragraph : paragraphs) {
    std::vector<std::string> pieces = SplitParagraph(paragraph, perLine);
    for (size_t i = 0; i < pieces.size(); ++i) lines.push_back({std::move(pieces[i]), i + 1 == pieces.size()});
  }
  return lines;
}

}  // namespace nv

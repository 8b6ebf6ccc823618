#pragma once
// Text helpers shared by the formula evaluator and library. They work on views, so analysing and
// evaluating a formula copies no text it does not keep. Letter case is ASCII only, as formula
// names and keywords are.

#include <string>
#include <string_view>

namespace nv {

/// The characters the runtime's trim removes at the start of a text.
inline bool IsLeadBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

/// The runtime's trim without copying: leading blanks, tabs, CR and LF, trailing blanks only.
inline std::string_view TrimView(std::string_view s) {
  size_t b = 0;
  while (b < s.size() && IsLeadBlank(s[b])) ++b;
  size_t e = s.size();
  while (e > b && s[e - 1] == ' ') --e;
  return s.substr(b, e - b);
}

inline char UpperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

/// The trimmed text in upper case.
inline std::string UpperTrim(std::string_view s) {
  std::string out(TrimView(s));
  for (char& c : out) c = UpperChar(c);
  return out;
}

/// True when word stands at pos of text, letter case aside.
inline bool StartsWithIgnoreCase(std::string_view text, size_t pos, std::string_view word) {
  if (text.size() - pos < word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    if (UpperChar(text[pos + i]) != UpperChar(word[i])) return false;
  }
  return true;
}

inline bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

}  // namespace nv

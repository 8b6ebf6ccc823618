#include "formula/FormulaSplitter.h"

#include <algorithm>

#include "formula/FormulaText.h"

namespace nv {

namespace {

// Tracks the common splitting rule: quoted runs and the parenthesis depth.
struct Scanner {
  char quote = 0;
  int depth = 0;
  // Feeds one character; returns true when it stands at depth 0 outside quotes and is no quote
  // or parenthesis character itself (so it may split).
  bool Feed(char c) {
    if (quote) {
      if (c == quote) quote = 0;
      return false;
    }
    if (c == '"' || c == '\'') {
      quote = c;
      return false;
    }
    if (c == '(') {
      ++depth;
      return false;
    }
    if (c == ')') {
      if (depth > 0) --depth;
      return false;
    }
    return depth == 0;
  }
  bool AtTop() const { return quote == 0 && depth == 0; }
};

}  // namespace

std::vector<std::string> FormulaSplitter::SepararPorOperadorLogico(std::string_view text, std::string_view op) {
  std::vector<std::string> parts;
  Scanner scan;
  size_t start = 0;
  size_t i = 0;
  while (i < text.size()) {
    if (scan.AtTop() && !op.empty() && StartsWithIgnoreCase(text, i, op)) {
      parts.emplace_back(TrimView(text.substr(start, i - start)));
      i += op.size();
      start = i;
      continue;
    }
    scan.Feed(text[i]);
    ++i;
  }
  parts.emplace_back(TrimView(text.substr(start)));
  return parts;
}

bool FormulaSplitter::SepararComparacion(std::string_view text, std::string& left, std::string& op,
                                         std::string& right) {
  static constexpr std::string_view kOps[] = {">=", "<=", "==", "!=", "<>", ">", "<"};
  Scanner scan;
  for (size_t i = 0; i < text.size(); ++i) {
    if (scan.AtTop()) {
      for (std::string_view candidate : kOps) {
        if (text.compare(i, candidate.size(), candidate) == 0) {
          left = std::string(TrimView(text.substr(0, i)));
          op = std::string(candidate);
          right = std::string(TrimView(text.substr(i + candidate.size())));
          return true;
        }
      }
    }
    scan.Feed(text[i]);
  }
  return false;
}

std::vector<std::string> FormulaSplitter::SepararTopLevel(std::string_view text, std::string_view separators) {
  std::vector<std::string> parts;
  Scanner scan;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (scan.Feed(text[i]) && separators.find(text[i]) != std::string_view::npos) {
      parts.emplace_back(TrimView(text.substr(start, i - start)));
      start = i + 1;
    }
  }
  parts.emplace_back(TrimView(text.substr(start)));
  return parts;
}

std::vector<std::string> FormulaSplitter::SepararPorSuma(std::string_view text) { return SepararTopLevel(text, "+"); }

std::vector<std::string> FormulaSplitter::SepararArgumentos(std::string_view text) {
  if (TrimView(text).empty()) return {};
  return SepararTopLevel(text, ",;");
}

std::vector<std::pair<std::string, std::string>> FormulaSplitter::SepararPorOperadoresAritmeticos(
    std::string_view text, std::string_view operators, bool allowUnaryMinus) {
  std::vector<std::pair<std::string, std::string>> pairs;
  Scanner scan;
  size_t start = 0;
  std::string pendingOp;
  bool met = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (scan.Feed(c) && operators.find(c) != std::string_view::npos) {
      if (allowUnaryMinus && c == '-' && TrimView(text.substr(start, i - start)).empty()) continue;
      pairs.emplace_back(std::string(TrimView(text.substr(start, i - start))), pendingOp);
      pendingOp = std::string(1, c);
      start = i + 1;
      met = true;
    }
  }
  if (!met) return {};
  pairs.emplace_back(std::string(TrimView(text.substr(start))), pendingOp);
  std::erase_if(pairs, [](const auto& p) { return p.first.empty(); });
  return pairs;
}

std::vector<std::pair<std::string, std::string>> FormulaSplitter::SepararPorResta(std::string_view text) {
  return SepararPorOperadoresAritmeticos(text, "-", true);
}

bool FormulaSplitter::EsLiteralTextoCompleto(std::string_view text) {
  if (text.size() < 2) return false;
  char q = text[0];
  if (q != '"' && q != '\'') return false;
  for (size_t i = 1; i < text.size(); ++i) {
    if (text[i] != q) continue;
    if (i + 1 < text.size() && text[i + 1] == q) {
      ++i;
      continue;
    }
    return i == text.size() - 1;
  }
  return false;
}

bool FormulaSplitter::ParentesisExternosEnvuelvenTodo(std::string_view text) {
  Scanner scan;
  for (size_t i = 0; i < text.size(); ++i) {
    scan.Feed(text[i]);
    if (scan.depth == 0 && scan.quote == 0 && i + 1 < text.size()) return false;
  }
  return scan.depth == 0;
}

std::string FormulaSplitter::QuitarParentesisExternos(std::string_view raw) {
  std::string_view text = TrimView(raw);
  while (text.size() >= 2 && text.front() == '(' && text.back() == ')' && ParentesisExternosEnvuelvenTodo(text)) {
    text = TrimView(text.substr(1, text.size() - 2));
  }
  return std::string(text);
}

bool FormulaSplitter::IsIdentifier(std::string_view raw) {
  std::string_view text = TrimView(raw);
  if (text.empty()) return false;
  for (char c : text) {
    bool ok =
        (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '.' || c == '$';
    if (!ok) return false;
  }
  return true;
}

bool FormulaSplitter::EsLlamadaFuncion(std::string_view text) {
  size_t open = text.find('(');
  if (open == std::string_view::npos || open < 1) return false;
  std::string_view trimmed = TrimView(text);
  if (trimmed.empty() || trimmed.back() != ')') return false;
  return IsIdentifier(text.substr(0, open));
}

std::string FormulaSplitter::NormalizarNombreFuncion(std::string_view name) {
  std::string n = UpperTrim(name);
  bool dollar = !n.empty() && n.back() == '$';
  if (dollar) n.pop_back();
  if (n == "MID") return "SUBSTR";
  if (n == "ATRIM") return "ALLTRIM";
  if (n == "FSTR") return "TRANSFORM";
  if (n == "DATE" && dollar) return "DTOC";
  return n;
}

int FormulaSplitter::BooleanWord(std::string_view raw) {
  static constexpr std::string_view kTrue[] = {"TRUE", ".T.", "T", "YES", "SI", "S\xC3\x8D", "1"};
  static constexpr std::string_view kFalse[] = {"FALSE", ".F.", "F", "NO", "0"};
  std::string_view trimmed = TrimView(raw);
  if (trimmed.empty()) return 0;
  if (trimmed.size() > 6) return -1;  // longer than every word
  char buffer[8];
  for (size_t i = 0; i < trimmed.size(); ++i) buffer[i] = UpperChar(trimmed[i]);
  std::string_view text(buffer, trimmed.size());
  for (std::string_view w : kTrue) {
    if (w.substr(0, std::min(w.size(), text.size())) == text && w.size() >= text.size()) return 1;
  }
  for (std::string_view w : kFalse) {
    if (w.substr(0, std::min(w.size(), text.size())) == text && w.size() >= text.size()) return 0;
  }
  return -1;
}

}  // namespace nv

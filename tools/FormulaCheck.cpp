#include "FormulaCheck.h"

#include "Accessors.h"
#include "Runtime.h"
#include "formula/FormulaAnalysis.h"
#include "formula/FormulaSplitter.h"

namespace nv::cli {

namespace {

// Deeper than any formula a person writes; a guard against a text that analyses into itself.
constexpr int kMaxDepth = 200;

}  // namespace

std::vector<FormulaFault> FormulaCheck::Analyse(std::string_view formula, std::vector<std::string>& names) {
  FormulaCheck check(formula, names);
  if (check.CheckBalance()) check.Walk(formula);
  return std::move(check.faults_);
}

// The splitter reads an unclosed quote or parenthesis as running to the end of the formula, which
// hides every operator after it: such a formula is reported at the opening character alone.
bool FormulaCheck::CheckBalance() {
  char quote = 0;
  size_t quoteAt = 0;
  std::vector<size_t> open;
  for (size_t i = 0; i < formula_.size(); ++i) {
    char c = formula_[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
      quoteAt = i;
    } else if (c == '(') {
      open.push_back(i);
    } else if (c == ')') {
      if (open.empty()) {
        faults_.push_back({i + 1, "a closing parenthesis without an opening one"});
        return false;
      }
      open.pop_back();
    }
  }
  if (quote != 0) {
    faults_.push_back({quoteAt + 1, std::string("a text opened by ") + quote + " is never closed"});
    return false;
  }
  if (!open.empty()) {
    faults_.push_back({open.back() + 1, "a parenthesis is never closed"});
    return false;
  }
  return true;
}

void FormulaCheck::Report(std::string_view piece, std::string message) {
  size_t at = formula_.find(piece);
  faults_.push_back({at == std::string_view::npos ? 1 : at + 1, std::move(message)});
}

void FormulaCheck::Walk(std::string_view raw) {
  const std::string text = FormulaSplitter::QuitarParentesisExternos(raw);
  if (text.empty() || depth_ > kMaxDepth) return;
  ++depth_;
  const FormulaAnalysis a = FormulaAnalysis::Of(text);
  using T = FormulaAnalysis::Tipo;
  switch (a.tipo) {
    case T::Literal: break;
    case T::Argumento: Operand(text); break;
    case T::Not: Walk(a.expresion); break;
    case T::Or:
    case T::And:
    case T::Suma:
      for (const std::string& part : a.partes) Walk(part);
      break;
    case T::Comparacion:
      Walk(a.left);
      Walk(a.right);
      break;
    case T::Aritmetica:
      for (const auto& [operand, op] : a.pares) Walk(operand);
      break;
    case T::Funcion:
      if (a.esIf && a.argumentos.size() != 3) {
        Report(text, a.funcion + " takes 3 arguments, got " + std::to_string(a.argumentos.size()));
      } else if (a.slot < 0 && !a.esMotor && !a.esIf) {
        Report(text, "unknown function " + a.funcion);
      }
      for (const std::string& argument : a.argumentos) Walk(argument);
      break;
  }
  --depth_;
}

// The operand forms the evaluator resolves: a quoted text, a number, a logical word, a constant or
// variable name, an "@" name, or a call. Anything else is an invalid expression.
void FormulaCheck::Operand(std::string_view text) {
  if (FormulaSplitter::EsLiteralTextoCompleto(text) || EsTextoNumerico(text) || FormulaSplitter::BooleanWord(text) >= 0) {
    return;
  }
  if (text.size() >= 2 && text.front() == '@' && FormulaSplitter::IsIdentifier(text.substr(1))) {
    names_.emplace_back(text);
    return;
  }
  if (FormulaSplitter::IsIdentifier(text)) {
    names_.emplace_back(AllTrimView(text));
    return;
  }
  Report(text, "cannot be analysed: " + std::string(text));
}

}  // namespace nv::cli

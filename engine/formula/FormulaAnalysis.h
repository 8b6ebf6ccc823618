#pragma once
// The analysis of one formula text: which construct it is and the texts of its pieces. The
// constructs are tried loosest first (or, and, comparison, sum, subtraction, product, call), each
// found by splitting the text at its top-level operators.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Value.h"

namespace nv {

struct FormulaAnalysis {
  enum class Tipo : uint8_t { Literal, Argumento, Not, Or, And, Comparacion, Suma, Aritmetica, Funcion };
  Tipo tipo = Tipo::Argumento;
  std::string expresion;                                   // "not": the negated operand text
  std::vector<std::string> partes;                         // "or", "and", "suma"
  std::string left, op, right;                             // "comparacion"
  std::vector<std::pair<std::string, std::string>> pares;  // "aritmetica": (operand, operator before it)
  std::string funcion, clave;                              // "funcion": normalised name and its key
  std::vector<std::string> argumentos;                     // "funcion": argument texts
  bool esIf = false;                                       // "IF", "IIF" or "COND"
  bool esMotor = false;                                    // an engine function
  int slot = -1;                                           // "funcion": the library slot, -1 for none

  /// The analysis of a text that is already trimmed and stripped of enclosing parentheses.
  static FormulaAnalysis Of(std::string_view text);
  /// The analysis as a hash: "tipo" ("literal", "argumento", "not", "or", "and", "comparacion",
  /// "suma", "aritmetica", "funcion") and the keys of its kind.
  Value AsHash() const;
};

}  // namespace nv

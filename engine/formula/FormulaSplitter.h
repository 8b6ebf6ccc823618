#pragma once
// The splitting rule of the formula language: a formula is cut at operators that stand outside
// quotes and parentheses, and a quoted or parenthesised run is never looked into. These are the
// pure text operations the analysis is built from; none keeps state.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace nv {

class FormulaSplitter {
 public:
  /// The trimmed parts between top-level occurrences of op (letter case aside); the whole text
  /// as one part when op does not occur.
  static std::vector<std::string> SepararPorOperadorLogico(std::string_view text, std::string_view op);
  /// Splits once at the first top-level comparison operator; false when there is none.
  static bool SepararComparacion(std::string_view text, std::string& left, std::string& op, std::string& right);
  /// The trimmed parts between top-level occurrences of any character of separators.
  static std::vector<std::string> SepararTopLevel(std::string_view text, std::string_view separators);
  static std::vector<std::string> SepararPorSuma(std::string_view text);
  /// The argument texts of a call ("," or ";" between them); none for a blank text.
  static std::vector<std::string> SepararArgumentos(std::string_view text);
  /// The (operand, operator before it) pairs at top-level occurrences of operators, empty parts
  /// dropped; empty when no operator occurs. allowUnaryMinus keeps a leading "-" in its operand.
  static std::vector<std::pair<std::string, std::string>> SepararPorOperadoresAritmeticos(std::string_view text,
                                                                                          std::string_view operators,
                                                                                          bool allowUnaryMinus);
  static std::vector<std::pair<std::string, std::string>> SepararPorResta(std::string_view text);

  /// True when the whole text is one quoted literal (a doubled quote stands for itself).
  static bool EsLiteralTextoCompleto(std::string_view text);
  /// The trimmed text without parentheses that enclose all of it, repeatedly.
  static std::string QuitarParentesisExternos(std::string_view text);
  /// True when the parenthesis that opens the text closes at its last character.
  static bool ParentesisExternosEnvuelvenTodo(std::string_view text);
  /// An identifier followed by a parenthesised run that ends the text.
  static bool EsLlamadaFuncion(std::string_view text);
  /// Letters, digits, "_", "." and "$" only, after trimming; not empty.
  static bool IsIdentifier(std::string_view text);
  /// The upper-case name without a final "$", with the aliases (MID, ATRIM, FSTR, DATE$) resolved.
  static std::string NormalizarNombreFuncion(std::string_view name);
  /// -1 no boolean word, 0 false word (or a blank text), 1 true word.
  static int BooleanWord(std::string_view text);
};

}  // namespace nv

#pragma once
// A static look at one formula, without evaluating it: the places the evaluator could not make
// sense of (unclosed quotes and parentheses, operands that are neither literal, variable nor call,
// functions the library does not know) and the variable names it reads.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace nv::cli {

struct FormulaFault {
  /// 1-based byte position in the formula of the piece at fault.
  size_t position = 1;
  std::string message;
};

class FormulaCheck {
 public:
  /// Analyses formula the way the evaluator splits it. Returns its faults, and appends to names
  /// each variable name the formula reads (identifiers and "@" names, as written).
  static std::vector<FormulaFault> Analyse(std::string_view formula, std::vector<std::string>& names);

 private:
  FormulaCheck(std::string_view formula, std::vector<std::string>& names) : formula_(formula), names_(names) {}
  bool CheckBalance();
  void Walk(std::string_view text);
  void Operand(std::string_view text);
  void Report(std::string_view piece, std::string message);

  std::string_view formula_;
  std::vector<std::string>& names_;
  std::vector<FormulaFault> faults_;
  int depth_ = 0;
};

}  // namespace nv::cli

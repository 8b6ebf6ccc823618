#pragma once
// The typed mirror of one node of an executable plan. Plans are handed out as hash trees (their
// documented form); each is mirrored once into these nodes, so that evaluating it reads no hash
// keys and compares no type names.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Value.h"
#include "formula/FormulaOperators.h"

namespace nv {

struct FormulaPlanNode {
  enum class Op : uint8_t { Nil, Constant, Variable, Comparison, And, Or, Not, Sum, If, Engine, Function };
  Op op = Op::Nil;
  ComparisonOp cmp = ComparisonOp::Bad;
  bool resolves = false;  // Variable: a "VAR." or "SUM." name, whose formula text is resolved
  int slot = -1;          // Function: the library slot of name, resolved when the plan is built
  // The index of the last child whose evaluation may run other formulas (-1: none). A child
  // after it may be read in place from the variables, as nothing can change them before the
  // call uses the value.
  int lastImpure = -1;
  // Variable: where name stood in the variables hash last time. Only a hint: it is used only
  // when the key at that position is name itself, so a changed or another hash is harmless.
  mutable uint32_t hint = UINT32_MAX;
  Value valor;                                             // Constant: the value
  std::string name;                                        // Variable, Function, Engine
  std::vector<std::string> args;                           // Engine: the argument texts
  std::vector<std::unique_ptr<FormulaPlanNode>> children;  // operands in order
  Value pin;                                               // keeps the mirrored hash alive
};

}  // namespace nv

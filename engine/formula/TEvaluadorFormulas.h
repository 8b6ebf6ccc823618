#pragma once
// The formula evaluator: turns a formula text of the engine's expression language plus a hash of
// variables into a Value. A formula is analysed by splitting its text at operators that stand
// outside quotes and parentheses, loosest operators first; every failure becomes an error value
// (a text in square brackets) that is returned and remembered as the last error. Nothing raises.
//
// This class is the façade: it holds the state every part shares (options, constants, execution
// state, caches, the last error, the function library) and answers the public operations by
// handing them to its parts, each in a file of its own:
//   FormulaSplitter, FormulaAnalysis, FormulaAnalysisCache  splitting a text and its analysis
//   FormulaInterpreter                                      the interpretive evaluation
//   FormulaPlanCompiler, FormulaPlanNode                    executable plans and their typed mirror
//   FormulaPlanEvaluator                                    the evaluation of a plan
//   EngineFunctions                                         page, record, sum and project functions
//   SimpleAccumulatorPlans                                  the narrow plans of accumulator sums
//   FormulaOperators                                        comparison, sum, numbers through text

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "Hash.h"
#include "Object.h"
#include "Value.h"
#include "formula/EngineFunctions.h"
#include "formula/FormulaAnalysis.h"
#include "formula/FormulaAnalysisCache.h"
#include "formula/FormulaInterpreter.h"
#include "formula/FormulaPlanCompiler.h"
#include "formula/FormulaPlanEvaluator.h"
#include "formula/SimpleAccumulatorPlans.h"

namespace nv {

/// Returns a new hash with the sixteen "VB.COLOR.*" constants ("#rrggbb" texts) in table order.
Value VBColorConstants();
/// Unescapes the inside of a quoted literal: a doubled quote character becomes one, then "\n",
/// "\r", "\t" become LF, CR, TAB and a backslash before any other character gives that character
/// (a final lone backslash stays).
Value VBXUNESCAPEFORMULALITERAL(const Value& text, const Value& quote);
std::string UnescapeFormulaLiteral(std::string_view inside, char quote);

class TFuncFormulas;

class TEvaluadorFormulas : public Object {
 public:
  // ---- Data members (public, documented names) ----
  /// Options hash shared with the execution context ("detectarCircularidad", "hAskStringValues",
  /// "cProjectFilePath", "cProjectPath", "cProjectFileName", "aRegistrosDetalleRuntime", and
  /// "nLimitePasosFormula": the evaluation steps one formula may take, 5,000,000 by default,
  /// past which the formula gives the error value "[Limite de pasos de evaluacion superado: n]").
  Value hOpciones;
  /// Named constants, upper-case keys.
  Value hConstantes;
  /// Names of user-variable or accumulator formulas being resolved right now (recursion guard).
  Value hVariablesResolviendo;
  /// Page and record state read by the engine functions; every default key always exists.
  Value hEstadoEjecucion;
  /// Formula analysis per exact formula text, kept for the evaluator's life.
  FormulaAnalysisCache hFormulaPlanCache;
  /// Executable plan per formula text, or false when the text has no plan.
  Value hExecutablePlanCache;
  /// Value of each resolved user-variable or accumulator formula, keyed by the name as written.
  Value hResolvedVariableCache;
  /// The function library (a TFuncFormulas) or nil.
  Value oFuncFormulas;
  /// Text of the last error value produced; "" when none.
  std::string cLastError;
  bool lCreated = false;

  std::string_view ClassName() const override { return "TEvaluadorFormulas"; }
  bool RespondsTo(std::string_view name) const override;

  // ---- Lifecycle ----
  static std::shared_ptr<TEvaluadorFormulas> New(const Value& hOpciones = Value(),
                                                 const Value& oFuncFormulas = Value());
  std::shared_ptr<TEvaluadorFormulas> Init(const Value& hOpciones = Value(), const Value& oFuncFormulas = Value());
  /// Creates a function library when none was given.
  std::shared_ptr<TEvaluadorFormulas> Create();
  /// Empties every table and ends the function library it holds.
  Value End() override;
  /// Keeps a reference to the caller's options hash and clears the resolved-variable cache.
  std::shared_ptr<TEvaluadorFormulas> SetOpciones(const Value& hOpciones);
  /// Replaces the function library (the previous one is not ended).
  std::shared_ptr<TEvaluadorFormulas> SetFuncFormulas(const Value& oFuncFormulas);
  /// The default execution state overlaid with hEstado; clears the resolved-variable cache.
  std::shared_ptr<TEvaluadorFormulas> SetEstadoEjecucion(const Value& hEstado);
  std::shared_ptr<TEvaluadorFormulas> ClearResolvedVariableCache();

  // ---- Evaluation ----
  /// Clears the last error, then evaluates.
  Value Evaluar(const Value& formula, const Value& hVariables = Value());
  /// The text form of the evaluation (always a text).
  Value EvaluarTexto(const Value& formula, const Value& hVariables = Value());
  Value ResolverTexto(const Value& formula, const Value& hVariables = Value());
  /// Evaluates without resetting the last error; through the executable plan when one exists.
  Value EvaluarFormula(const Value& formula, const Value& hVariables = Value());
  /// True when the last error is not empty (both arguments are ignored).
  Value EsResultadoError(const Value& formula = Value(), const Value& result = Value());
  Value GetLastError();
  Value ResetLastError();

  // ---- Executable plans and simple accumulator plans ----
  /// The executable plan of the formula (a hash tree), or nil when it has none. Cached per text.
  Value CompileFormulaPlan(const Value& formula);
  /// The value of a plan with the variables; nil when plan is not a hash.
  Value EvaluateFormulaPlan(const Value& plan, const Value& hVariables = Value());
  /// The simple accumulator plan (conditions, true operand, false operand) of an "if" plan, or nil.
  Value CompileSimpleAccumulatorPlan(const Value& plan);
  /// True when the simple plan's false operand is the constant 0.
  Value SimpleAccumulatorFalseIsZero(const Value& simplePlan);
  Value EvaluateSimpleAccumulatorCondition(const Value& simplePlan, const Value& hVariables = Value());
  Value EvaluateSimpleAccumulatorValue(const Value& simplePlan, const Value& lCondition,
                                       const Value& hVariables = Value());

  // ---- Conditions ----
  /// The "lVisible" entry of EvaluarCondicion.
  Value CumpleCondicion(const Value& formula, const Value& hVariables = Value());
  /// A hash {"lVisible": logical, "cMotivo": "" | "condicion falsa" | "condicion no valida"}.
  Value EvaluarCondicion(const Value& formula, const Value& hVariables = Value());

  // ---- Analysis and helpers (public for the execution context and tests) ----
  /// The analysis of a text as a hash ("tipo" and the keys of its kind); cached per exact text.
  Value PlanFormula(const Value& text);
  const FormulaAnalysis& Analizar(std::string_view text);
  Value ResolverArgumentoFuncion(const Value& text, const Value& hVariables = Value());
  Value ValorVariable(const Value& name, const Value& hVariables = Value());
  Value ResolveVariableValue(const Value& name, const Value& value, const Value& hVariables = Value());
  Value CompararValores(const Value& a, const Value& op, const Value& b);
  /// true / false for a boolean word, nil for any other text.
  Value ValorBooleanoCondicion(const Value& text);
  Value EsFuncionInternaMotor(const Value& name);
  /// Engine functions (page, record, sums, prompts, project path); arguments are unevaluated texts.
  Value ResolverFuncionInternaMotor(const Value& name, const Value& arguments, const Value& hVariables = Value());
  Value EstadoEjecucionPorDefecto();
  Value ValorATexto(const Value& v);
  Value EsConstante(const Value& text);
  Value ValorConstante(const Value& text);
  Value VariableNoEncontrada(const Value& name);
  /// Sets the last error to the text of message and returns that text.
  Value ErrorValue(const Value& message);
  Value HashMergeVariables(const Value& base, const Value& overlay);

  /// Turns executable plans on or off for EvaluarFormula (on by default); off gives the purely
  /// interpretive evaluation, used to compare the two.
  void SetUsarPlanes(bool on) { lUsarPlanes_ = on; }

  /// How many times a formula has read the page state (page number, page count, last page, pages
  /// by key) since the evaluator was made. A caller compares two readings to learn whether what it
  /// evaluated in between can differ from one page to the next.
  uint64_t PageStateReads() const { return pageStateReads_; }

 private:
  friend class FormulaInterpreter;
  friend class FormulaPlanCompiler;
  friend class FormulaPlanEvaluator;
  friend class EngineFunctions;
  friend class SimpleAccumulatorPlans;

  // Deeper nesting than this is no realistic formula; refusing it keeps a hostile or broken
  // template from exhausting the stack through the recursive analysis.
  static constexpr int kMaxDepth = 200;
  // Counts one level of nesting for the life of a scope, whatever way the scope is left.
  struct DepthGuard {
    int& depth;
    explicit DepthGuard(int& d) : depth(d) { ++depth; }
    ~DepthGuard() { --depth; }
  };

  /// The value of a formula text: through its executable plan when it has one, else
  /// interpretively. The text may carry blanks and enclosing parentheses. Called from outside any
  /// evaluation, it is a top-level evaluation: see BeginEvaluation.
  Value EvalText(std::string_view text, const Value& vars);
  /// One step of an evaluation: counts it against the budget, then evaluates.
  Value EvalStep(std::string_view text, const Value& vars);
  /// Starts a top-level evaluation: the step count starts at 0, the budget is read from the
  /// options ("nLimitePasosFormula", a positive number; kLimitePasosPorDefecto otherwise) and the
  /// engine functions' memo is emptied.
  void BeginEvaluation();
  /// The result of a top-level evaluation, or the budget's error value when it was spent.
  Value EndEvaluation(Value result);
  std::string LimitePasosTexto() const;
  /// Sets the last error to message and returns it as the error value.
  Value ErrorText(std::string message);
  /// The named constant the trimmed, upper-cased text names; null when none.
  const Value* FindConstant(std::string_view text) const;
  /// Calls the library function name (at slot when it is 0 or more) and turns a library error
  /// text or a runtime refusal into an error value. Values is std::span<const Value> or, for
  /// arguments passed by reference, std::span<const Value* const> (both instantiated in the .cpp).
  template <typename Values>
  Value CallLibrary(const std::string& name, Values values, int slot);
  TFuncFormulas* Biblioteca();
  /// Empties every cache of analyses, plans and resolved values.
  void ClearCaches();

  FormulaInterpreter interpreter_{*this};
  FormulaPlanCompiler planCompiler_{*this};
  FormulaPlanEvaluator planEvaluator_{*this};
  EngineFunctions engineFunctions_{*this};
  SimpleAccumulatorPlans accumulatorPlans_{*this};
  // Steps one top-level evaluation may take: far above any real formula (a running sum over
  // a million records takes about three million), yet it ends a runaway one in seconds.
  static constexpr int64_t kLimitePasosPorDefecto = 5'000'000;
  int64_t nPasos_ = 0;
  int64_t nLimitePasos_ = kLimitePasosPorDefecto;
  bool lUsarPlanes_ = true;
  uint64_t pageStateReads_ = 0;
  Object* libRaw_ = nullptr;
  TFuncFormulas* lib_ = nullptr;
  int nProfundidad_ = 0;
};

}  // namespace nv

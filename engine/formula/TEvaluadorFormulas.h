#pragma once
// The formula evaluator: turns a formula text of the engine's expression language plus a hash of
// variables into a Value. A formula is analysed by splitting its text at operators that stand
// outside quotes and parentheses, loosest operators first; every failure becomes an error value
// (a text in square brackets) that is returned and remembered as the last error. Nothing raises.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Hash.h"
#include "Object.h"
#include "Value.h"

namespace nv {

/// Returns a new hash with the sixteen "VB.COLOR.*" constants ("#rrggbb" texts) in table order.
Value VBColorConstants();
/// Unescapes the inside of a quoted literal: a doubled quote character becomes one, then "\n",
/// "\r", "\t" become LF, CR, TAB and a backslash before any other character gives that character
/// (a final lone backslash stays).
Value VBXUNESCAPEFORMULALITERAL(const Value& text, const Value& quote);
std::string UnescapeFormulaLiteral(std::string_view inside, char quote);

/// The analysis of one formula text: which construct it is and the texts of its pieces.
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
};

class TFuncFormulas;

class TEvaluadorFormulas : public Object {
 public:
  // ---- Data members (public, documented names) ----
  /// Options hash shared with the execution context ("detectarCircularidad", "hAskStringValues",
  /// "cProjectFilePath", "cProjectPath", "cProjectFileName", "aRegistrosDetalleRuntime").
  Value hOpciones;
  /// Named constants, upper-case keys.
  Value hConstantes;
  /// Names of user-variable or accumulator formulas being resolved right now (recursion guard).
  Value hVariablesResolviendo;
  /// Page and record state read by the engine functions; every default key always exists.
  Value hEstadoEjecucion;
  /// Formula analysis per exact formula text, kept for the evaluator's life.
  std::unordered_map<std::string, FormulaAnalysis, StringHash, std::equal_to<>> hFormulaPlanCache;
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
  static std::shared_ptr<TEvaluadorFormulas> New(const Value& hOpciones = Value(), const Value& oFuncFormulas = Value());
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

  // Splitters and text tests (pure; quotes and parentheses protect their content).
  static std::vector<std::string> SepararPorOperadorLogico(std::string_view text, std::string_view op);
  /// Splits once at the first top-level comparison operator; false when there is none.
  static bool SepararComparacion(std::string_view text, std::string& left, std::string& op, std::string& right);
  static std::vector<std::string> SepararTopLevel(std::string_view text, std::string_view separators);
  static std::vector<std::string> SepararPorSuma(std::string_view text);
  static std::vector<std::string> SepararArgumentos(std::string_view text);
  static std::vector<std::pair<std::string, std::string>> SepararPorOperadoresAritmeticos(
      std::string_view text, std::string_view operators, bool allowUnaryMinus);
  static std::vector<std::pair<std::string, std::string>> SepararPorResta(std::string_view text);
  static bool EsLiteralTextoCompleto(std::string_view text);
  static std::string QuitarParentesisExternos(std::string_view text);
  static bool ParentesisExternosEnvuelvenTodo(std::string_view text);
  static bool EsLlamadaFuncion(std::string_view text);
  static bool IsIdentifier(std::string_view text);
  static std::string NormalizarNombreFuncion(std::string_view name);
  /// -1 no boolean word, 0 false word, 1 true word.
  static int BooleanWord(std::string_view text);

  /// Turns executable plans on or off for EvaluarFormula (on by default); off gives the purely
  /// interpretive evaluation, used to compare the two.
  void SetUsarPlanes(bool on) { lUsarPlanes_ = on; }

 private:
  Value EvalText(std::string_view text, const Value& vars);
  Value EvalAnalysis(std::string_view text, const FormulaAnalysis& a, const Value& vars);
  Value ResolveOperand(std::string_view text, const Value& vars);
  Value ValorVariableText(std::string_view name, const Value& vars);
  Value ResolveVariableText(std::string_view name, const Value& value, const Value& vars);
  bool CondicionText(std::string_view text, const Value& vars, bool& invalid);
  Value Suma(const std::vector<std::string>& partes, const Value& vars);
  Value EvaluarOperacionAritmetica(const std::vector<std::pair<std::string, std::string>>& pares, const Value& vars);
  Value EvaluarFuncion(std::string_view text, const FormulaAnalysis& a, const Value& vars);
  Value ResolverIIf(std::string_view text, const std::vector<std::string>& args, const Value& vars);
  Value LlamarBiblioteca(const std::string& name, std::span<const Value> values, int slot = -1);
  static bool IsLibraryError(const Value& result);
  TFuncFormulas* Biblioteca();
  Value DateDifference(const Value& a, const Value& b);
  Value Motor(std::string_view key, const std::vector<std::string>& args, const Value& vars);
  static constexpr uint8_t kBad = 0, kGe = 1, kLe = 2, kEq = 3, kNe = 4, kGt = 5, kLt = 6;
  static uint8_t CmpCode(std::string_view op);
  bool CompararCodigo(const Value& a, uint8_t op, const Value& b);
  Value SumValues(std::span<const Value> values);
  Value ErrorText(std::string message);
  const Value* FindConstant(std::string_view text) const;

  // Engine functions.
  Value AskString(const std::vector<std::string>& args, const Value& vars);
  Value ProjectPath(const std::vector<std::string>& args, const Value& vars);
  Value Sum(std::string_view expression, const Value& vars);
  int64_t PageBy(std::string_view key, const Value& vars);
  int64_t TotalPagesBy(std::string_view key, const Value& vars);
  std::string ResolverClavePaginacion(std::string_view key, const Value& vars);
  std::vector<int64_t> PaginasPorClave(const std::string& keyText);
  Value EvaluarExpresionRegistroRelativo(std::string_view expression, const Value& vars, std::string_view record);
  bool GroupChanged(std::string_view expression, const Value& vars, int64_t idx);

  // Plans.
  Value CompileStripped(std::string_view text);
  Value BuildExecutablePlan(std::string_view text);
  Value EvaluateFormulaPlanInternal(const Value& node, const Value& vars);
  bool FormulaPlanTruthy(const Value& v);
  Value BuildSimpleAccumulatorConditions(const Value& node);
  Value BuildSimpleAccumulatorOperand(const Value& node);
  Value EvaluateSimpleAccumulatorOperand(const Value& operand, const Value& vars);

  // Typed mirror of a compiled plan node; the pin keeps the mirrored hash alive.
  struct PlanNode {
    enum class Op : uint8_t { Nil, Constant, Variable, Comparison, And, Or, Not, Sum, If, Engine, Function };
    Op op = Op::Nil;
    uint8_t cmp = 0;
    bool resolves = false;
    int slot = -1;  // Function: the library slot of name, resolved when the plan is built
    // The index of the last child whose evaluation may run other formulas (-1: none). A child
    // after it may be read in place from the variables, as nothing can change them before the
    // call uses the value.
    int lastImpure = -1;
    // Variable: where name stood in the variables hash last time. Only a hint: it is used only
    // when the key at that position is name itself, so a changed or another hash is harmless.
    mutable uint32_t hint = UINT32_MAX;
    Value valor;
    std::string name;
    std::vector<std::string> args;
    std::vector<std::unique_ptr<PlanNode>> children;
    Value pin;
  };
  std::unique_ptr<PlanNode> BuildTyped(const Value& node, bool registerNodes, int depth);
  const PlanNode* RegisterPlan(const Value& plan);
  Value EvalNode(const PlanNode& node, const Value& vars);
  /// The value of a plain variable node found by its exact name, in place; null otherwise.
  const Value* FindPlanVariable(const PlanNode& node, const Value& vars) const;
  bool EvalPlanCondition(const PlanNode& node, const Value& vars);
  bool EvalPlanComparison(const PlanNode& node, const Value& vars);
  template <typename Store>
  const Value& EvalPlanRef(const PlanNode& node, const Value& vars, bool inPlace, Store& store);
  Value SumRefs(std::span<const Value* const> values);
  Value LlamarBibliotecaRefs(const std::string& name, std::span<const Value* const> values, int slot);

  std::unordered_map<const Hash*, const PlanNode*> typedPlans_;
  std::vector<std::unique_ptr<PlanNode>> ownedPlans_;
  // The typed plan per compiled text (null when the text has no plan).
  std::unordered_map<std::string, const PlanNode*, StringHash, std::equal_to<>> planByText_;
  // A direct-mapped memo in front of planByText_, selected by where the text lies and checked
  // by its content: a report evaluates the same few formula values over and over, and comparing
  // a text is cheaper than hashing it. Entries view keys of planByText_ and go with its clear.
  using PlanEntry = std::pair<const std::string, const PlanNode*>;
  const PlanEntry* planMemo_[16] = {};
  const PlanEntry* FindPlanByText(std::string_view text);
  bool lUsarPlanes_ = true;
  Object* libRaw_ = nullptr;
  TFuncFormulas* lib_ = nullptr;
  int nProfundidad_ = 0;
};

}  // namespace nv

#pragma once
// The execution context: the one object layout objects, tables and the execution engines talk to
// while a template runs. It joins a data connector and a formula evaluator with the state of the
// run (options, local variable frames, page and record state, runtime data-variable changes, table
// continuations, accumulators) and collects warnings, discarded objects, the critical composition
// error, the execution mode and the progress callbacks.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Object.h"
#include "Value.h"
#include "run/AccumulatorRuntimePlan.h"
#include "run/ContextoEtiquetas.h"
#include "run/ReceptorAvisos.h"

namespace nv {

class FuenteVariables;
class TEvaluadorFormulas;

class TContextoEjecucion : public Object, public ContextoEtiquetas, public ReceptorAvisos {
 public:
  // ---- Data members, in declaration order ---------------------------------------------------
  /// Data connector (held, never ended by the context); nil when absent.
  Value oConectorDatos;
  /// Formula evaluator (held, never ended by the context); nil when absent.
  Value oEvaluador;
  /// Warnings (texts), oldest first.
  Value aAvisos = Value::NewArray();
  /// Discard records {"id", "tipo", "nombre", "motivo", "condicion"}, in order.
  Value aDescartados = Value::NewArray();
  /// Options of the run, shared by reference with the evaluator.
  Value hOpciones = Value::NewHash();
  /// Stack of local variable frames (hashes), oldest first.
  Value aVariablesLocales = Value::NewArray();
  /// Accumulator values, keys "SUM." + name.
  Value hAcumuladores = Value::NewHash();
  /// Executable plan per accumulator formula text, or false when the text has none.
  Value hAccumulatorFormulaPlans = Value::NewHash();
  /// Prepared accumulator plans, in definition order.
  std::vector<AccumulatorRuntimePlan> aAccumulatorRuntimePlans;
  /// The last complete variable set; nil when it must be rebuilt.
  Value hVariablesCache;
  /// Data variables changed at run time that apply to the current record.
  Value hDataVarRuntimeCache = Value::NewHash();
  /// Number of runtime changes already applied to hDataVarRuntimeCache (ordered case).
  int64_t nDataVarChangeCursor = 0;
  /// Record index for which hDataVarRuntimeCache was built; -1 when none.
  int64_t nDataVarActiveIndex = -1;
  /// Length of the change list when the runtime cache was built; -1 when unknown.
  int64_t nDataVarChangesCount = -1;
  /// Whether the change list is in ascending record order; nil when not yet known.
  Value lDataVarChangesOrdered;
  /// Current page (from 1) and total pages.
  int64_t nPaginaActual = 1;
  int64_t nTotalPaginas = 1;
  /// Current detail record counted from 0 (-1 when none) and the record count of the run.
  int64_t nIndiceRegistro = -1;
  int64_t nTotalRegistros = 0;
  /// Variables of the previous and next detail records.
  Value hRegistroAnterior = Value::NewHash();
  Value hRegistroSiguiente = Value::NewHash();
  /// True when the evaluator already holds the current page and record state.
  bool lEvaluatorStateSynchronized = false;
  /// Highest detail record index marked as consumed; -1 when none.
  int64_t nUltimoRegistroConsumido = -1;
  /// Table continuations {"nRegistro", "nLinea"}, keyed by table id.
  Value hContinuacionesTabla = Value::NewHash();
  /// Critical composition error; "" when none happened.
  std::string cErrorCriticoComposicion;
  /// True between Create and End.
  bool lCreated = false;
  /// True once a progress callback answered false: the run that asked is cancelled. Cleared by
  /// Create and End, and by an engine when it starts a run.
  bool lCancelado = false;
  /// Image results of this run, kept by the image objects (an opaque object, nil until the first
  /// image); dropped by Create and End so that no run sees another run's files.
  Value oCacheImagenes;

  ~TContextoEjecucion() override = default;
  std::string_view ClassName() const override { return "TContextoEjecucion"; }
  bool RespondsTo(std::string_view name) const override;

  // ---- Construction and collaborators -------------------------------------------------------
  /// Builds a context over a connector, an evaluator and an options hash (Init).
  static std::shared_ptr<TContextoEjecucion> New(const Value& oConectorDatos = Value(),
                                                 const Value& oEvaluador = Value(),
                                                 const Value& hOpciones = Value());
  /// Stores the collaborators and the options (a non-hash gives an empty hash); resets all state.
  std::shared_ptr<TContextoEjecucion> Init(const Value& oConectorDatos = Value(),
                                           const Value& oEvaluador = Value(),
                                           const Value& hOpciones = Value());
  /// Readies the context for a run; returns nil and changes nothing without a connector or
  /// without an evaluator.
  std::shared_ptr<TContextoEjecucion> Create();
  /// Drops the collaborators (neither is ended) and empties every member. Returns nil.
  Value End() override;
  /// Replaces the connector and invalidates the variables.
  std::shared_ptr<TContextoEjecucion> SetConectorDatos(const Value& oConectorDatos);
  /// Replaces the evaluator; discards the accumulator plans (only Create prepares them again).
  std::shared_ptr<TContextoEjecucion> SetEvaluador(const Value& oEvaluador);
  /// Replaces the options hash (a non-hash gives an empty hash); discards the runtime plans.
  std::shared_ptr<TContextoEjecucion> SetOpciones(const Value& hOpciones);

  // ---- Variables, records and page state ----------------------------------------------------
  /// Returns the complete variable set (cached until something it depends on changes). Callers
  /// must not change the hash.
  Value GetVariables();
  /// Returns the connector's runtime data hash, or an empty hash without connector.
  Value GetData();
  /// Pushes a local variable frame (the hash itself; a non-hash gives an empty hash). Returns nil.
  Value PushVariablesLocales(const Value& hFrame);
  /// Removes the newest local frame when there is one. Returns nil.
  Value PopVariablesLocales();
  /// Sets the current page and the total (each at least 1) and synchronizes the evaluator.
  std::shared_ptr<TContextoEjecucion> SetEstadoPagina(const Value& nPagina, const Value& nTotal);
  /// Makes hRegistro the current detail record: index from 0, record count, previous and next
  /// records (empty hashes at the ends); pushes it as a local frame. Returns nil.
  Value PushRegistroDetalle(const Value& hRegistro, const Value& nIndice = Value(), const Value& nTotal = Value(),
                            const Value& hAnterior = Value(), const Value& hSiguiente = Value());
  /// Pops one frame and leaves no current record (record state is not a stack). Returns nil.
  Value PopRegistroDetalle() override;
  /// SetEstadoPagina(nPagina, nTotalPaginas) followed by PushRegistroDetalle, as a label run calls
  /// them for every record, with one synchronization of the evaluator instead of two: the second
  /// state replaces every key of the first before anything is evaluated. Returns nil.
  Value EntrarRegistroEtiqueta(int64_t nPagina, int64_t nTotalPaginasRun, const Value& hRegistro, int64_t nIndice,
                               int64_t nTotal, const Value& hAnterior, const Value& hSiguiente) override;
  /// Resets the accumulator values (once skipped when "lOmitirResetInicialAcumuladores" is true).
  std::shared_ptr<TContextoEjecucion> ResetAcumuladores();
  /// Returns the accumulator values hash itself (keys "SUM." + name).
  Value GetAcumuladores();
  /// Marks detail records up to nIndice (from 0) as consumed. Returns nil.
  Value MarcarRegistroDetalleConsumido(const Value& nIndice);
  /// Returns the number of records of this run marked consumed (relative to "nRegistroBase").
  Value GetRegistrosDetalleConsumidosRuntime();
  /// Returns the continuation {"nRegistro", "nLinea"} stored for a table id, else a new empty hash.
  Value GetContinuacionTabla(const Value& cId);
  /// Stores the continuation of a table (both numbers at least 0).
  std::shared_ptr<TContextoEjecucion> SetContinuacionTabla(const Value& cId, const Value& nRegistro,
                                                           const Value& nLinea);
  /// Removes the continuation of a table when present. Returns nil.
  Value ClearContinuacionTabla(const Value& cId);
  /// Returns a copy of all table continuations.
  Value GetContinuacionesTabla();
  /// Sets the named accumulators ("Total" or "SUM.Total") to 0; ignores non-texts and "".
  std::shared_ptr<TContextoEjecucion> ResetAcumuladoresSeleccionados(const Value& aNombres);
  /// Adds the current detail record to every accumulator.
  std::shared_ptr<TContextoEjecucion> AcumularDetalle();

  // ---- Evaluation ---------------------------------------------------------------------------
  /// Returns the formula's value as text; the formula unchanged without evaluator.
  Value EvaluarTexto(const Value& formula);
  /// Returns the formula's value (the evaluator's last error cleared first); the formula
  /// unchanged without evaluator.
  Value EvaluarFormula(const Value& formula);
  /// Returns {"valor", "lError", "cError"}; a failed formula also adds the warning
  /// "Error de formula: " + formula + " -> " + error.
  Value EvaluarFormulaConEstado(const Value& formula);
  /// How many times the evaluator's formulas have read the page state; 0 without an evaluator.
  uint64_t PageStateReads() const;
  /// Returns the executable plan of a formula, or nil without an evaluator that compiles plans.
  Value CompilarPlanFormula(const Value& formula);
  /// Evaluates a compiled plan (or the formula itself when plan is not a hash).
  Value EvaluarPlanFormula(const Value& plan, const Value& formula);
  /// As EvaluarPlanFormula, with the failure state {"valor", "lError", "cError"} and a warning.
  Value EvaluarPlanFormulaConEstado(const Value& plan, const Value& formula);
  /// The failure state of EvaluarPlanFormulaConEstado as a struct, for callers that render one
  /// object per record and need no hash.
  struct EstadoFormula {
    Value valor;
    bool lError = false;
    std::string cError;
  };
  EstadoFormula EvaluarPlanFormulaConEstadoTipado(const Value& plan, const Value& formula);
  /// True when the condition holds; true without evaluator.
  Value CumpleCondicion(const Value& formula);
  /// True exactly when "lVisible" of EvaluarCondicionConEstado is true.
  Value CumpleCondicionConEstado(const Value& formula, const Value& hEstado = Value());
  /// Returns {"lVisible", "cMotivo", "lError", "cError"} for the condition.
  Value EvaluarCondicion(const Value& formula);
  /// Judges the condition under an optional state override (restored afterwards); a condition
  /// that raised an error value is invalid: "lVisible" false, "cMotivo" "condicion no valida".
  Value EvaluarCondicionConEstado(const Value& formula, const Value& hEstado = Value());

  // ---- Warnings, discards, critical error, modes and progress --------------------------------
  /// Stores the first non-empty critical error (trimmed) and adds it as a warning.
  std::shared_ptr<TContextoEjecucion> SetErrorCriticoComposicion(const Value& cError);
  /// True when a critical composition error is stored.
  Value HasErrorCriticoComposicion();
  /// Returns the stored critical composition error ("" when none).
  Value GetErrorCriticoComposicion();
  /// Always true: every layer is active during execution.
  Value CapaActiva(const Value& oObjeto = Value());
  /// Records a discarded object with its reason. Returns nil.
  Value DescartarObjeto(const Value& oObjeto, const Value& cMotivo);
  /// Appends a warning. Returns nil.
  Value AddAviso(const Value& cAviso) override;
  /// Returns the warnings array itself (oldest first).
  Value GetAvisos();
  /// Returns the discard array itself.
  Value GetDescartados();
  /// Returns the options hash itself.
  Value GetOpciones() override;
  /// Returns the option "modoEjecucion" when it is a text, else "real".
  Value GetModoEjecucion();
  /// True when the execution mode is exactly "disenador".
  Value EsModoDisenador();
  /// True when the option "lProgressActive" is exactly true.
  Value TieneProgreso() override;
  /// Reports an examined detail record (from 1); false only when the block answered false.
  Value InformarRegistroExaminado(const Value& nRegistro) override;
  /// Reports the number of pages completed so far; false only when the block answered false.
  Value InformarPaginaGenerada(const Value& nPaginas) override;

  // ---- Internal operations (public so that hosts and tests can drive them) ------------------
  /// Page 1 of 1, no current record, not synchronized, nothing consumed.
  Value ResetEstadoEjecucion();
  /// Sends the page and record state to the evaluator (overlaid by hEstado when a hash).
  Value SincronizarEstadoEvaluador(const Value& hEstado = Value());
  /// Returns the connector's variables, or an empty hash.
  Value VariablesConector();
  /// Returns the runtime data-variable changes that apply to the current record.
  Value VariablesDataVarRuntime();
  /// Empties the runtime data-variable cache and forgets its cursor, index, count and order.
  Value ResetDataVarRuntimeCache();
  /// Returns the connector's data, or an empty hash.
  Value DataConector();
  /// Drops the cached variable set and the evaluator's resolved-variable cache.
  Value InvalidarVariables();
  /// Builds the accumulator plans from option "hAcumVars".
  Value PrepareAccumulatorRuntimePlans();

  /// Returns a new hash: the entries of base whose key does not match (trimmed, upper-cased) a key
  /// of overlay, then every entry of overlay.
  static Value HashMergeVariables(const Value& base, const Value& overlay);
  /// Returns a new hash: every entry of a, then every entry of b (exact keys, b wins).
  static Value HashMerge(const Value& a, const Value& b);
  /// True when accumulation adds the value: a number, or a text whose trimmed form is not empty
  /// and whose leading number is not 0 («12abc» yes, "0" and "abc" no).
  static bool EsAcumulable(const Value& v);
  /// Returns how many accumulator conditions were actually evaluated (not taken from the
  /// per-record condition cache) since Create; a measure for tests and benchmarks.
  int64_t AccumulatorConditionEvaluations() const { return nConditionEvaluations_; }

 private:
  // The evaluator as its class, and the connector as the sources of variables and of data,
  // resolved whenever they change, so that building the variables of each record makes no cast
  // and no responds-to test.
  void RefreshEvaluator();
  void RefreshConector();
  /// Stores the collaborators and the options and empties every other member (Init and End).
  void Reset(const Value& conector, const Value& evaluador, const Value& opciones);
  // The last state hash sent to the evaluator, refilled in place for the next one when nobody
  // else kept it (a label run sends two per record).
  Value syncState_;
  /// The connector variables, the data-variable overlay and each user variable as its formula
  /// text under "VAR.<name>": the start of both variable sets.
  Value BuildBaseVariables();
  Value BuildVariables();
  Value BuildAccumulationVariables();
  Value InformarProgreso(std::string_view option, const Value& number);
  std::shared_ptr<TContextoEjecucion> Self();

  /// The evaluator; null when oEvaluador is not one.
  TEvaluadorFormulas* evaluator_ = nullptr;
  /// The connector when it responds to GetVariables / GetData; else null.
  FuenteVariables* variablesConector_ = nullptr;
  FuenteVariables* datosConector_ = nullptr;
  int64_t nConditionEvaluations_ = 0;
};

}  // namespace nv

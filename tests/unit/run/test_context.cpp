#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "Accessors.h"
#include "Runtime.h"
#include "data/TConectorDatosReg.h"
#include "run/FuenteVariables.h"
#include "run/TContextoEjecucion.h"
#include "formula/TEvaluadorFormulas.h"
#include "Value.h"
#include "layout_test_support.h"

using nv::testing_support::KeyValueLines;

using namespace nv;

namespace {

Value List(std::initializer_list<Value> values) { return Value::FromArray(Array(values)); }

Value H(std::initializer_list<std::pair<const char*, Value>> entries) {
  Value h = Value::NewHash();
  for (const auto& [k, v] : entries) h.Set(k, v);
  return h;
}

Value Def(const char* group, const char* name, const char* type = "texto") {
  return H({{"grupo", Value(group)}, {"nombre", Value(name)}, {"tipo", Value(type)}});
}

std::string Text(const Value& v) { return ValorAString(v); }
double Num(const Value& v) { return ValueDouble(v); }

// A connector, an evaluator and a context over them, ended in reverse order.
struct Harness {
  std::shared_ptr<TConectorDatosReg> connector = TConectorDatosReg::New();
  std::shared_ptr<TEvaluadorFormulas> evaluator;
  std::shared_ptr<TContextoEjecucion> context;

  explicit Harness(const Value& options = Value::NewHash()) {
    connector->Create();
    evaluator = TEvaluadorFormulas::New();
    evaluator->Create();
    context = TContextoEjecucion::New(Value(connector), Value(evaluator), options);
  }
  ~Harness() {
    context->End();
    evaluator->End();
    connector->End();
  }
  void Vars(std::initializer_list<std::pair<Value, Value>> defsAndValues) {
    Value defs = Value::NewArray();
    Value row = Value::NewArray();
    for (const auto& [def, value] : defsAndValues) {
      defs.Append(def);
      row.Append(value);
    }
    connector->SendDataVar(defs, List({row}));
  }
  TContextoEjecucion& Ctx() {
    if (!context->lCreated) context->Create();
    return *context;
  }
};

// Records with DETALLE.TIPO and DETALLE.IMPORTE.
Value Records(std::initializer_list<std::pair<const char*, int>> rows) {
  Value records = Value::NewArray();
  for (const auto& [tipo, importe] : rows) {
    records.Append(H({{"DETALLE.TIPO", Value(tipo)}, {"DETALLE.IMPORTE", Value(importe)}}));
  }
  return records;
}

// Adds every record the way a table does: push, accumulate, pop.
void AccumulateAll(TContextoEjecucion& ctx, const Value& records, std::vector<std::string>* seen = nullptr,
                   const char* watched = nullptr) {
  const int64_t total = static_cast<int64_t>(records.Len());
  for (int64_t i = 0; i < total; ++i) {
    ctx.PushRegistroDetalle(records.Item(static_cast<size_t>(i) + 1), Value(i), Value(total));
    if (seen != nullptr) seen->push_back(Text(ctx.EvaluarFormula(Value(watched))));
    ctx.AcumularDetalle();
    ctx.PopRegistroDetalle();
  }
}

// A source of variables and data that is not a connector class.
class FuenteVariablesDoble : public Object, public FuenteVariables {
 public:
  Value variables = Value::NewHash();
  Value datos = Value::NewHash();
  bool responde = true;
  bool RespondsTo(std::string_view name) const override {
    return (responde && NameIn(name, {"GetVariables", "GetData"})) || Object::RespondsTo(name);
  }
  Value GetVariables() override { return variables; }
  Value GetData() override { return datos; }
};

}  // namespace

TEST(Context, CreateNeedsConnectorAndEvaluator) {
  auto evaluator = TEvaluadorFormulas::New();
  auto connector = TConectorDatosReg::New();
  EXPECT_EQ(TContextoEjecucion::New(Value(), Value(evaluator), Value())->Create(), nullptr);
  EXPECT_EQ(TContextoEjecucion::New(Value(connector), Value(), Value())->Create(), nullptr);
  auto context = TContextoEjecucion::New(Value(connector), Value(evaluator), Value("not options"));
  EXPECT_FALSE(context->lCreated);
  EXPECT_TRUE(context->GetOpciones().IsHash());
  ASSERT_NE(context->Create(), nullptr);
  EXPECT_TRUE(context->lCreated);
  // The options hash is shared with the evaluator by reference.
  EXPECT_TRUE(evaluator->hOpciones.SameRef(context->GetOpciones()));
  context->End();
  EXPECT_FALSE(context->lCreated);
  EXPECT_TRUE(context->oConectorDatos.IsNil());
  EXPECT_TRUE(context->oEvaluador.IsNil());
}

TEST(Context, OptionsOfTheWrongKindCountAsAbsent) {
  Value initial = H({{"SUM.Total", Value(100)}});
  Value options = H({{"nPaginaActualRuntime", Value("3")},
                     {"nTotalPaginasRuntime", Value(7)},
                     {"hAcumuladoresIniciales", initial},
                     {"hContinuacionesTabla", H({{"T1", H({{"nRegistro", Value(4)}, {"nLinea", Value(1)}})}})},
                     {"modoEjecucion", Value(1)}});
  Harness run(options);
  TContextoEjecucion& ctx = run.Ctx();
  EXPECT_EQ(ctx.nPaginaActual, 1);
  EXPECT_EQ(ctx.nTotalPaginas, 7);
  // Initial accumulators are the host's own hash; continuations are a copy.
  EXPECT_TRUE(ctx.GetAcumuladores().SameRef(initial));
  EXPECT_FALSE(ctx.hContinuacionesTabla.SameRef(options["hContinuacionesTabla"]));
  EXPECT_EQ(ValueInt(ctx.GetContinuacionTabla(Value("T1"))["nRegistro"]), 4);
  EXPECT_EQ(Text(ctx.GetModoEjecucion()), "real");

  ctx.SetEstadoPagina(Value(0), Value());
  EXPECT_EQ(ctx.nPaginaActual, 1);
  EXPECT_EQ(ctx.nTotalPaginas, 1);
  ctx.SetEstadoPagina(Value(2.9), Value(-4));
  EXPECT_EQ(ctx.nPaginaActual, 2);
  EXPECT_EQ(ctx.nTotalPaginas, 1);
}

TEST(Context, WithoutEvaluatorEverythingDegrades) {
  auto connector = TConectorDatosReg::New();
  connector->SendDataVar(List({Def("DATOS", "X")}), List({List({"x"})}));
  auto context = TContextoEjecucion::New(Value(connector), Value("no evaluator"), Value());
  ASSERT_NE(context->Create(), nullptr);
  EXPECT_EQ(Text(context->EvaluarFormula(Value("DATOS.X"))), "DATOS.X");
  EXPECT_EQ(Text(context->EvaluarTexto(Value("DATOS.X"))), "DATOS.X");
  EXPECT_TRUE(context->CumpleCondicion(Value(".F.")).AsBool());
  Value state = context->EvaluarFormulaConEstado(Value("DATOS.NO"));
  EXPECT_EQ(Text(state["valor"]), "DATOS.NO");
  EXPECT_FALSE(state["lError"].AsBool());
  Value condition = context->EvaluarCondicionConEstado(Value(".F."), H({{"lLastPageDisponible", Value(false)}}));
  EXPECT_TRUE(condition["lVisible"].AsBool());
  EXPECT_EQ(Text(condition["cMotivo"]), "");
  EXPECT_TRUE(context->CompilarPlanFormula(Value("'a'")).IsNil());
  EXPECT_EQ(context->GetAvisos().Len(), 0u);
  // The variables still come from the connector.
  EXPECT_EQ(Text(HGet(context->GetVariables(), "DATOS.X")), "x");

  // Without connector the variables and the data are empty.
  context->SetConectorDatos(Value());
  EXPECT_EQ(context->GetVariables().Len(), 0u);
  EXPECT_EQ(context->GetData().Len(), 0u);
  context->End();
}

TEST(Context, VariablesAndDataComeFromAnySourceThatOffersThem) {
  auto source = std::make_shared<FuenteVariablesDoble>();
  source->variables = H({{"DATOS.X", Value("x")}});
  source->datos = H({{"clave", Value(1)}});
  auto evaluator = TEvaluadorFormulas::New();
  evaluator->Create();
  auto context = TContextoEjecucion::New(Value(source), Value(evaluator), Value());
  ASSERT_NE(context->Create(), nullptr);
  EXPECT_EQ(Text(context->EvaluarFormula(Value("DATOS.X"))), "x");
  EXPECT_TRUE(context->GetData().SameRef(source->datos));

  // A source that does not respond to the messages is not asked.
  source->responde = false;
  context->SetConectorDatos(Value(source));
  EXPECT_EQ(context->GetVariables().Len(), 0u);
  EXPECT_EQ(context->GetData().Len(), 0u);
  context->End();
  evaluator->End();
}

TEST(Context, VariableSetIsCachedUntilInvalidated) {
  Harness run;
  run.Vars({{Def("DATOS", "CLIENTE"), Value("Dulces Orbanel")}});
  TContextoEjecucion& ctx = run.Ctx();
  Value vars = ctx.GetVariables();
  EXPECT_EQ(Text(HGet(vars, "DATOS.CLIENTE")), "Dulces Orbanel");
  EXPECT_TRUE(ctx.GetVariables().SameRef(vars));
  EXPECT_TRUE(ctx.GetData().SameRef(run.connector->GetData()));

  ctx.PushVariablesLocales(H({{"datos.cliente", Value("otro")}}));
  Value withFrame = ctx.GetVariables();
  EXPECT_FALSE(withFrame.SameRef(vars));
  // A lower-case frame replaces the connector variable; its spelling wins.
  EXPECT_FALSE(withFrame.Has("DATOS.CLIENTE"));
  EXPECT_EQ(Text(HGet(withFrame, "datos.cliente")), "otro");

  ctx.PopVariablesLocales();
  Value after = ctx.GetVariables();
  EXPECT_EQ(Text(HGet(after, "DATOS.CLIENTE")), "Dulces Orbanel");
  // Popping an empty stack changes nothing, not even the cache.
  ctx.PopVariablesLocales();
  EXPECT_TRUE(ctx.GetVariables().SameRef(after));
  ctx.MarcarRegistroDetalleConsumido(Value(0));
  EXPECT_FALSE(ctx.GetVariables().SameRef(after));
}

TEST(Context, UserVariablesAppearAsFormulaTextAndEvaluatedValue) {
  Value options = H({{"hUserVars", H({{"Total", H({{"formula", Value("DATOS.IMPORTE * 2")}, {"tipo", Value("N")}})},
                                      {"Doble", H({{"formula", Value("Total * 2")}})},
                                      {"Vacia", H({{"formula", Value("  ")}})},
                                      {"NoHash", Value("DATOS.IMPORTE")}})}});
  Harness run(options);
  run.Vars({{Def("DATOS", "IMPORTE", "N"), Value(21)}});
  TContextoEjecucion& ctx = run.Ctx();
  Value vars = ctx.GetVariables();
  EXPECT_EQ(Text(HGet(vars, "VAR.Total")), "DATOS.IMPORTE * 2");
  EXPECT_EQ(Num(HGet(vars, "Total")), 42);
  // A user variable can use the ones defined before it.
  EXPECT_EQ(Num(HGet(vars, "Doble")), 84);
  EXPECT_EQ(Text(HGet(vars, "Vacia", Value("absent"))), "");
  EXPECT_FALSE(vars.Has("NoHash"));
  EXPECT_FALSE(vars.Has("VAR.NoHash"));
  EXPECT_EQ(Num(ctx.EvaluarFormula(Value("Total + 1"))), 43);

  // A data variable or a frame of the same bare name keeps its value.
  Harness shadowed(options);
  shadowed.Vars({{Def("DATOS", "IMPORTE", "N"), Value(21)}});
  TContextoEjecucion& ctx2 = shadowed.Ctx();
  ctx2.PushVariablesLocales(H({{"Total", Value("del marco")}}));
  EXPECT_EQ(Text(HGet(ctx2.GetVariables(), "Total")), "del marco");
  EXPECT_EQ(Text(HGet(ctx2.GetVariables(), "VAR.Total")), "DATOS.IMPORTE * 2");
}

TEST(Context, FormulasWithFailureStateAndWarnings) {
  Harness run;
  run.Vars({{Def("OMEMQUERY", "cifc"), Value("")}, {Def("DATOS", "CLIENTE"), Value("X")}});
  TContextoEjecucion& ctx = run.Ctx();
  EXPECT_EQ(Text(ctx.EvaluarFormula(Value("OMEMQUERY.cifc"))), "");
  EXPECT_TRUE(ctx.CumpleCondicion(Value("empty(OMEMQUERY.cifc)")).AsBool());
  EXPECT_FALSE(ctx.CumpleCondicion(Value("not empty(OMEMQUERY.cifc)")).AsBool());

  Value failed = ctx.EvaluarFormulaConEstado(Value("DATOS.NO_EXISTE"));
  EXPECT_TRUE(failed["lError"].AsBool());
  EXPECT_EQ(Text(failed["cError"]), "[Variable no encontrada: DATOS.NO_EXISTE]");
  ASSERT_EQ(ctx.GetAvisos().Len(), 1u);
  EXPECT_EQ(Text(ctx.GetAvisos().Item(1)), "Error de formula: DATOS.NO_EXISTE -> [Variable no encontrada: DATOS.NO_EXISTE]");

  Value literal = ctx.EvaluarFormulaConEstado(Value("\"[ERROR literal del usuario]\""));
  EXPECT_FALSE(literal["lError"].AsBool());
  EXPECT_EQ(Text(literal["valor"]), "[ERROR literal del usuario]");
  EXPECT_EQ(Text(literal["cError"]), "");
  // An earlier failure does not leak into the next formula.
  Value good = ctx.EvaluarFormulaConEstado(Value("DATOS.CLIENTE"));
  EXPECT_FALSE(good["lError"].AsBool());
  EXPECT_EQ(ctx.GetAvisos().Len(), 1u);

  // A compiled plan evaluates like its formula.
  Value plan = ctx.CompilarPlanFormula(Value("DATOS.CLIENTE"));
  ASSERT_TRUE(plan.IsHash());
  EXPECT_EQ(Text(ctx.EvaluarPlanFormula(plan, Value("DATOS.CLIENTE"))), "X");
  Value planned = ctx.EvaluarPlanFormulaConEstado(ctx.CompilarPlanFormula(Value("DATOS.NADA")), Value("DATOS.NADA"));
  EXPECT_TRUE(planned["lError"].AsBool());
  EXPECT_EQ(ctx.GetAvisos().Len(), 2u);
}

TEST(Context, ErroringConditionIsInvalidAndOverrideIsRestored) {
  Harness run;
  TContextoEjecucion& ctx = run.Ctx();
  Value result = ctx.EvaluarCondicionConEstado(Value("DATOS.NO_EXISTE .OR. .T."));
  EXPECT_FALSE(result["lVisible"].AsBool());
  EXPECT_EQ(Text(result["cMotivo"]), "condicion no valida");
  EXPECT_TRUE(result["lError"].AsBool());
  EXPECT_EQ(Text(result["cError"]), "[Variable no encontrada: DATOS.NO_EXISTE]");
  EXPECT_FALSE(ctx.CumpleCondicionConEstado(Value("DATOS.NO_EXISTE .OR. .T.")).AsBool());
  // Conditions add no warning themselves.
  EXPECT_EQ(ctx.GetAvisos().Len(), 0u);

  Value falsa = ctx.EvaluarCondicion(Value("1 > 2"));
  EXPECT_FALSE(falsa["lVisible"].AsBool());
  EXPECT_FALSE(falsa["lError"].AsBool());
  EXPECT_TRUE(ctx.EvaluarCondicion(Value("2 > 1"))["lVisible"].AsBool());

  ctx.SetEstadoPagina(Value(3), Value(3));
  EXPECT_TRUE(ctx.CumpleCondicion(Value("LastPage()")).AsBool());
  Value judged = ctx.EvaluarCondicionConEstado(Value("LastPage()"), H({{"lLastPageDisponible", Value(false)}}));
  EXPECT_FALSE(judged["lVisible"].AsBool());
  EXPECT_FALSE(judged["lError"].AsBool());
  // The next plain evaluation sees the base state again.
  EXPECT_TRUE(ctx.CumpleCondicion(Value("LastPage()")).AsBool());
  EXPECT_TRUE(ctx.lEvaluatorStateSynchronized);
  EXPECT_EQ(Num(ctx.EvaluarFormula(Value("Page()"))), 3);
}

TEST(Context, RecordStateIsNotAStack) {
  Harness run;
  TContextoEjecucion& ctx = run.Ctx();
  Value a = H({{"DETALLE.NOMBRE", Value("A")}});
  Value b = H({{"DETALLE.NOMBRE", Value("B")}});
  ctx.PushRegistroDetalle(a, Value(0), Value(2), Value(), b);
  EXPECT_EQ(ctx.nIndiceRegistro, 0);
  EXPECT_TRUE(ctx.hRegistroSiguiente.SameRef(b));
  ctx.PushRegistroDetalle(b, Value(1), Value(2), a, Value("x"));
  EXPECT_EQ(ctx.nIndiceRegistro, 1);
  EXPECT_EQ(ctx.hRegistroSiguiente.Len(), 0u);
  EXPECT_EQ(Text(HGet(ctx.GetVariables(), "DETALLE.NOMBRE")), "B");
  ctx.PopRegistroDetalle();
  EXPECT_EQ(ctx.nIndiceRegistro, -1);
  EXPECT_EQ(ctx.nTotalRegistros, 0);
  EXPECT_FALSE(ctx.lEvaluatorStateSynchronized);
  ASSERT_EQ(ctx.aVariablesLocales.Len(), 1u);
  EXPECT_TRUE(ctx.aVariablesLocales.Item(1).SameRef(a));
  EXPECT_EQ(Text(HGet(ctx.GetVariables(), "DETALLE.NOMBRE")), "A");

  // The evaluator receives the record state when a record is pushed.
  ctx.PushRegistroDetalle(a, Value(-5), Value(3));
  EXPECT_EQ(ctx.nIndiceRegistro, 0);
  EXPECT_EQ(ValueInt(run.evaluator->hEstadoEjecucion["nIndiceRegistro"]), 0);
  EXPECT_EQ(ValueInt(run.evaluator->hEstadoEjecucion["nTotalRegistros"]), 3);
  EXPECT_TRUE(ctx.lEvaluatorStateSynchronized);
}

TEST(Context, RuntimeDataVariableChangesFollowTheRecord) {
  Value changes = List({H({{"nIndiceDetalle", Value(0)}, {"hVariables", H({{"DATOS.X", Value(1)}})}}),
                        Value("skipped"),
                        H({{"nIndiceDetalle", Value(2)}, {"hVariables", H({{"DATOS.X", Value(2)}})}})});
  Harness run(H({{"aDataVarChangesRuntime", changes}}));
  run.Vars({{Def("DATOS", "X"), Value("original")}, {Def("DATOS", "Y"), Value("y")}});
  TContextoEjecucion& ctx = run.Ctx();
  auto at = [&ctx](int index) {
    ctx.PushRegistroDetalle(Value::NewHash(), Value(index), Value(5));
    std::string x = Text(HGet(ctx.GetVariables(), "DATOS.X"));
    ctx.PopRegistroDetalle();
    return x;
  };
  EXPECT_EQ(at(0), "1");
  EXPECT_EQ(at(1), "1");
  EXPECT_EQ(ctx.nDataVarChangeCursor, 2);
  EXPECT_EQ(at(2), "2");
  EXPECT_EQ(at(3), "2");
  EXPECT_EQ(at(1), "1");
  EXPECT_TRUE(ctx.lDataVarChangesOrdered.AsBool());
  EXPECT_EQ(Text(HGet(ctx.GetVariables(), "DATOS.Y")), "y");

  // An unordered list is rebuilt for every record; the latest applicable change wins.
  Value unordered = List({H({{"nIndiceDetalle", Value(2)}, {"hVariables", H({{"DATOS.X", Value("b")}})}}),
                          H({{"nIndiceDetalle", Value(1)}, {"hVariables", H({{"DATOS.X", Value("a")}})}})});
  ctx.GetOpciones().Set("aDataVarChangesRuntime", unordered);
  EXPECT_EQ(at(0), "original");
  EXPECT_FALSE(ctx.lDataVarChangesOrdered.AsBool());
  EXPECT_EQ(at(1), "a");
  ctx.PushRegistroDetalle(Value::NewHash(), Value(2), Value(5));
  Value vars = ctx.GetVariables();
  // The later change in list order wins.
  EXPECT_EQ(Text(HGet(vars, "DATOS.X")), "a");
  ctx.PopRegistroDetalle();

  // Without a current record the consumed record, then "nRegistroBase", selects the changes.
  ctx.GetOpciones().Set("aDataVarChangesRuntime", changes);
  ctx.GetOpciones().Set("nRegistroBase", Value(2));
  ctx.InvalidarVariables();
  EXPECT_EQ(Text(HGet(ctx.GetVariables(), "DATOS.X")), "2");
  ctx.MarcarRegistroDetalleConsumido(Value(1));
  EXPECT_EQ(Text(HGet(ctx.GetVariables(), "DATOS.X")), "1");
}

TEST(Context, ConsumedRecordsAndTableContinuations) {
  Harness run(H({{"nRegistroBase", Value(10)}}));
  TContextoEjecucion& ctx = run.Ctx();
  EXPECT_EQ(ValueInt(ctx.GetRegistrosDetalleConsumidosRuntime()), 0);
  ctx.MarcarRegistroDetalleConsumido(Value(12));
  ctx.MarcarRegistroDetalleConsumido(Value(11));
  EXPECT_EQ(ctx.nUltimoRegistroConsumido, 12);
  EXPECT_EQ(ValueInt(ctx.GetRegistrosDetalleConsumidosRuntime()), 3);
  ctx.MarcarRegistroDetalleConsumido(Value(5));
  EXPECT_EQ(ValueInt(ctx.GetRegistrosDetalleConsumidosRuntime()), 3);

  ctx.SetContinuacionTabla(Value("T1"), Value(-3), Value(2.7));
  Value stored = ctx.GetContinuacionTabla(Value("T1"));
  EXPECT_EQ(ValueInt(stored["nRegistro"]), 0);
  EXPECT_EQ(ValueInt(stored["nLinea"]), 2);
  Value all = ctx.GetContinuacionesTabla();
  all.Remove("T1");
  EXPECT_EQ(ctx.GetContinuacionTabla(Value("T1")).Len(), 2u);
  ctx.hContinuacionesTabla.Set("T2", Value("not a hash"));
  EXPECT_EQ(ctx.GetContinuacionTabla(Value("T2")).Len(), 0u);
  ctx.ClearContinuacionTabla(Value("T1"));
  ctx.ClearContinuacionTabla(Value("missing"));
  EXPECT_EQ(ctx.GetContinuacionTabla(Value("T1")).Len(), 0u);
}

TEST(Context, AccumulatorsSumDetailRecords) {
  Value options = H({{"hAcumVars", H({{"Total", H({{"formula", Value("DETALLE.IMPORTE")}})},
                                      {"Visto", H({{"formula", Value("SUM.Total")}})}})}});
  Harness run(options);
  TContextoEjecucion& ctx = run.Ctx();
  ctx.ResetAcumuladores();
  std::vector<std::string> seen;
  AccumulateAll(ctx, Records({{"A", 10}, {"B", 20}, {"C", 30}}), &seen, "SUM.Total");
  EXPECT_EQ(Num(ctx.GetAcumuladores()["SUM.Total"]), 60);
  // A formula reading the running value sees the sum of the records before the current one.
  EXPECT_EQ(seen, (std::vector<std::string>{"0", "10", "30"}));
  EXPECT_EQ(Num(ctx.GetAcumuladores()["SUM.Visto"]), 40);
  EXPECT_EQ(Num(HGet(ctx.GetVariables(), "SUM.Total")), 60);

  Value names = List({Value("Total"), Value("SUM.Otro"), Value(5), Value("")});
  ctx.ResetAcumuladoresSeleccionados(names);
  EXPECT_EQ(Num(ctx.GetAcumuladores()["SUM.Total"]), 0);
  EXPECT_TRUE(ctx.GetAcumuladores().Has("SUM.Otro"));
  EXPECT_EQ(ctx.GetAcumuladores().Len(), 3u);
  EXPECT_EQ(Num(HGet(ctx.GetVariables(), "SUM.Total")), 0);
}

TEST(Context, ConditionalAccumulatorsShareOneConditionPerRecord) {
  Value options =
      H({{"hAcumVars", H({{"ImporteA", H({{"formula", Value("IIF(DETALLE.TIPO == 'A', DETALLE.IMPORTE, 0)")}})},
                          {"CuentaA", H({{"formula", Value("IIF(DETALLE.TIPO == 'A', 1, 0)")}})}})}});
  Harness run(options);
  TContextoEjecucion& ctx = run.Ctx();
  ASSERT_EQ(ctx.aAccumulatorRuntimePlans.size(), 2u);
  const AccumulatorRuntimePlan& first = ctx.aAccumulatorRuntimePlans[0];
  EXPECT_EQ(first.key, "SUM.ImporteA");
  EXPECT_FALSE(first.conditionKey.empty());
  EXPECT_EQ(first.conditionKey, ctx.aAccumulatorRuntimePlans[1].conditionKey);

  AccumulateAll(ctx, Records({{"A", 10}, {"B", 20}, {"A", 5}}));
  EXPECT_EQ(Num(ctx.GetAcumuladores()["SUM.ImporteA"]), 15);
  EXPECT_EQ(Num(ctx.GetAcumuladores()["SUM.CuentaA"]), 2);
  EXPECT_EQ(ctx.AccumulatorConditionEvaluations(), 3);
}

TEST(Context, AccumulatorConditionTextsAndNumericValues) {
  Value options = H({{"hAcumVars",
                      H({{"Si", H({{"formula", Value("IIF(DETALLE.C, 1, 100)")}})},
                         {"Valor", H({{"formula", Value("DETALLE.V")}})},
                         {"Calculado", H({{"formula", Value("DETALLE.N * 2")}})}})}});
  Harness run(options);
  TContextoEjecucion& ctx = run.Ctx();
  Value records = Value::NewArray();
  records.Append(H({{"DETALLE.C", Value("SI")}, {"DETALLE.V", Value("12abc")}, {"DETALLE.N", Value(1)}}));
  records.Append(H({{"DETALLE.C", Value("VERDADERO")}, {"DETALLE.V", Value("0")}, {"DETALLE.N", Value(2)}}));
  records.Append(H({{"DETALLE.C", Value("FALSO")}, {"DETALLE.V", Value("abc")}, {"DETALLE.N", Value(3)}}));
  records.Append(H({{"DETALLE.C", Value("")}, {"DETALLE.V", Value(" 1.5")}, {"DETALLE.N", Value(4)}}));
  AccumulateAll(ctx, records);
  EXPECT_EQ(Num(ctx.GetAcumuladores()["SUM.Si"]), 202);
  EXPECT_DOUBLE_EQ(Num(ctx.GetAcumuladores()["SUM.Valor"]), 13.5);
  EXPECT_EQ(Num(ctx.GetAcumuladores()["SUM.Calculado"]), 20);

  // Values that are not numeric by this test add nothing and create no entry.
  Harness other(H({{"hAcumVars", H({{"Nada", H({{"formula", Value("DETALLE.V")}})}})}}));
  TContextoEjecucion& ctx2 = other.Ctx();
  Value none = Value::NewArray();
  none.Append(H({{"DETALLE.V", Value("0")}}));
  none.Append(H({{"DETALLE.V", Value("abc")}}));
  none.Append(H({{"DETALLE.V", Value("DETALLE.NO")}}));
  AccumulateAll(ctx2, none);
  EXPECT_FALSE(ctx2.GetAcumuladores().Has("SUM.Nada"));
  EXPECT_EQ(Num(HGet(ctx2.GetVariables(), "SUM.Nada")), 0);

  EXPECT_TRUE(TContextoEjecucion::EsAcumulable(Value("12abc")));
  EXPECT_TRUE(TContextoEjecucion::EsAcumulable(Value(0)));
  EXPECT_FALSE(TContextoEjecucion::EsAcumulable(Value("0")));
  EXPECT_FALSE(TContextoEjecucion::EsAcumulable(Value("  ")));
  EXPECT_FALSE(TContextoEjecucion::EsAcumulable(Value(true)));
}

TEST(Context, FirstResetCanBeSkippedOnce) {
  Value initial = H({{"SUM.Total", Value(100)}});
  Harness run(H({{"hAcumuladoresIniciales", initial}, {"lOmitirResetInicialAcumuladores", Value(true)}}));
  TContextoEjecucion& ctx = run.Ctx();
  ctx.ResetAcumuladores();
  EXPECT_EQ(Num(ctx.GetAcumuladores()["SUM.Total"]), 100);
  EXPECT_FALSE(ctx.GetOpciones()["lOmitirResetInicialAcumuladores"].AsBool());
  ctx.ResetAcumuladores();
  EXPECT_EQ(ctx.GetAcumuladores().Len(), 0u);
  // The host's hash keeps its values; the context moved on to a new one.
  EXPECT_EQ(Num(initial["SUM.Total"]), 100);
}

TEST(Context, WarningsDiscardsCriticalErrorAndModes) {
  Harness run(H({{"modoEjecucion", Value("Disenador")}}));
  TContextoEjecucion& ctx = run.Ctx();
  EXPECT_FALSE(ctx.EsModoDisenador().AsBool());
  ctx.GetOpciones().Set("modoEjecucion", Value("disenador"));
  EXPECT_TRUE(ctx.EsModoDisenador().AsBool());
  EXPECT_TRUE(ctx.CapaActiva(Value()).AsBool());

  ctx.SetErrorCriticoComposicion(Value(""));
  EXPECT_FALSE(ctx.HasErrorCriticoComposicion().AsBool());
  ctx.SetErrorCriticoComposicion(Value("  x  "));
  ctx.SetErrorCriticoComposicion(Value("y"));
  EXPECT_EQ(Text(ctx.GetErrorCriticoComposicion()), "x");
  ASSERT_EQ(ctx.GetAvisos().Len(), 1u);
  EXPECT_EQ(Text(ctx.GetAvisos().Item(1)), "x");
  ctx.AddAviso(Value("otro"));
  EXPECT_EQ(ctx.GetAvisos().Len(), 2u);

  ctx.DescartarObjeto(Value("ignored"), Value("capa no activa"));
  Value discard = ctx.GetDescartados().Item(1);
  EXPECT_EQ(Text(discard["motivo"]), "capa no activa");
  EXPECT_EQ(Text(discard["id"]), "");
  EXPECT_EQ(Text(HashKeys(discard).Item(5)), "condicion");

  // Create starts over.
  ctx.Create();
  EXPECT_EQ(ctx.GetAvisos().Len(), 0u);
  EXPECT_EQ(ctx.GetDescartados().Len(), 0u);
  EXPECT_FALSE(ctx.HasErrorCriticoComposicion().AsBool());
}

TEST(Context, ProgressBlocksCanCancel) {
  std::vector<int64_t> reported;
  Value cancelAtThree = Value::Block([&reported](std::span<const Value> args) {
    int64_t n = args.empty() ? 0 : ValueInt(args[0]);
    reported.push_back(n);
    return n == 3 ? Value(false) : Value();
  });
  Value options = H({{"bProgressRecord", cancelAtThree}, {"bProgressPage", Value("not a block")}});
  Harness run(options);
  TContextoEjecucion& ctx = run.Ctx();

  // Without "lProgressActive" an engine never reports.
  EXPECT_FALSE(ctx.TieneProgreso().AsBool());
  ctx.GetOpciones().Set("lProgressActive", Value(1));
  EXPECT_FALSE(ctx.TieneProgreso().AsBool());
  ctx.GetOpciones().Set("lProgressActive", Value(true));
  ASSERT_TRUE(ctx.TieneProgreso().AsBool());

  int processed = 0;
  for (int record = 1; record <= 5; ++record) {
    if (!ctx.InformarRegistroExaminado(Value(record)).AsBool()) break;
    ++processed;
  }
  EXPECT_EQ(processed, 2);
  EXPECT_EQ(reported, (std::vector<int64_t>{1, 2, 3}));
  // A non-block disables that report.
  EXPECT_TRUE(ctx.InformarPaginaGenerada(Value(1)).AsBool());
  ctx.GetOpciones().Set("bProgressPage", Value::Block([](std::span<const Value>) { return Value(0); }));
  EXPECT_TRUE(ctx.InformarPaginaGenerada(Value(1)).AsBool());
}

TEST(Context, HashMergeVariablesReplacesNamesInAnyCase) {
  Value base = H({{"A", Value(1)}, {" b", Value(2)}, {"C", Value(3)}});
  Value merged = TContextoEjecucion::HashMergeVariables(base, H({{"B ", Value(20)}, {"a", Value(10)}}));
  Value keys = HashKeys(merged);
  ASSERT_EQ(keys.Len(), 3u);
  EXPECT_EQ(Text(keys.Item(1)), "C");
  EXPECT_EQ(Text(keys.Item(2)), "B ");
  EXPECT_EQ(Text(keys.Item(3)), "a");
  EXPECT_FALSE(merged.SameRef(base));
  EXPECT_EQ(base.Len(), 3u);
}

TEST(Context, FramesReplaceManyVariablesKeepingOrder) {
  Harness run;
  Value defs = Value::NewArray();
  Value row = Value::NewArray();
  for (int i = 0; i < 12; ++i) {
    std::string name = "F" + std::to_string(i);
    defs.Append(Def("DATOS", name.c_str()));
    row.Append(Value(i));
  }
  run.connector->SendDataVar(defs, List({row}));
  TContextoEjecucion& ctx = run.Ctx();
  // A small frame and a large one: both must give the keys of a fresh merge, in its order.
  Value small = H({{"datos.f3", Value("s")}});
  Value large = Value::NewHash();
  for (int i = 11; i >= 2; --i) large.Set("datos.f" + std::to_string(i), Value("l"));
  ctx.PushVariablesLocales(small);
  ctx.PushVariablesLocales(large);
  Value expected = TContextoEjecucion::HashMergeVariables(
      TContextoEjecucion::HashMergeVariables(run.connector->GetVariables(), small), large);
  Value vars = ctx.GetVariables();
  ASSERT_EQ(vars.Len(), expected.Len());
  Value keys = HashKeys(vars), expectedKeys = HashKeys(expected);
  for (size_t i = 1; i <= keys.Len(); ++i) EXPECT_EQ(Text(keys.Item(i)), Text(expectedKeys.Item(i)));
  EXPECT_EQ(Text(keys.Item(1)), "DATOS.F0");
  EXPECT_EQ(Text(HGet(vars, "datos.f3")), "l");
  // The connector's own cached hash is never changed by the merge.
  EXPECT_EQ(run.connector->GetVariables().Len(), 12u);
  ctx.PopVariablesLocales();
  ctx.PopVariablesLocales();
  EXPECT_EQ(ValueInt(HGet(ctx.GetVariables(), "DATOS.F3")), 3);
}

TEST(Context, FramesMatchNamesInAnyCaseWhateverTheirSize) {
  // Frames of up to sixteen fields are matched by list, larger ones by set: both must find names
  // that differ in case and surrounding spaces, and leave the rest of the set alone.
  for (int fields : {3, 16, 17, 40}) {
    Harness run;
    Value defs = Value::NewArray();
    Value row = Value::NewArray();
    for (int i = 0; i < 40; ++i) {
      defs.Append(Def("DATOS", ("F" + std::to_string(i)).c_str()));
      row.Append(Value(i));
    }
    run.connector->SendDataVar(defs, List({row}));
    TContextoEjecucion& ctx = run.Ctx();
    Value frame = Value::NewHash();
    for (int i = 0; i < fields; ++i) frame.Set(" datos.f" + std::to_string(i) + "  ", Value("marco"));
    ctx.PushVariablesLocales(frame);
    Value vars = ctx.GetVariables();
    Value expected = TContextoEjecucion::HashMergeVariables(run.connector->GetVariables(), frame);
    ASSERT_EQ(vars.Len(), expected.Len()) << fields;
    Value keys = HashKeys(vars), expectedKeys = HashKeys(expected);
    for (size_t i = 1; i <= keys.Len(); ++i) EXPECT_EQ(Text(keys.Item(i)), Text(expectedKeys.Item(i))) << fields;
    EXPECT_FALSE(vars.Has("DATOS.F0")) << fields;
    EXPECT_EQ(Text(HGet(vars, " datos.f0  ")), "marco") << fields;
    if (fields < 40) {
      EXPECT_EQ(ValueInt(HGet(vars, "DATOS.F39")), 39) << fields;
    }
  }
}

TEST(Context, RecordFramesGiveTheKeysOfAFreshMergeWhereverTheirFieldsStand) {
  // The connector's variables start with the first record's fields, so a record frame usually
  // overlays the tail of the set exactly; the other cases must merge as before.
  Harness run;
  run.connector->SendDataVar(List({Def("DATOS", "EMPRESA")}), List({List({Value("Orbanel")})}));
  run.connector->SendDataLine(List({Def("LINEAS", "NOMBRE"), Def("LINEAS", "CODIGO", "numero")}),
                              List({List({Value("Ana"), Value(1)}), List({Value("Luis"), Value(2)})}));
  TContextoEjecucion& ctx = run.Ctx();
  const Value base = run.connector->GetVariables();
  ASSERT_EQ(base.Len(), 3u);
  const std::vector<Value> frames = {
      H({{"LINEAS.NOMBRE", Value("Luis")}, {"LINEAS.CODIGO", Value(2)}}),    // the tail, in order
      H({{"LINEAS.CODIGO", Value(3)}, {"LINEAS.NOMBRE", Value("Eva")}}),     // the tail, out of order
      H({{"LINEAS.CODIGO", Value(4)}}),                                      // the last field only
      H({{"lineas.nombre", Value("x")}, {"LINEAS.CODIGO", Value(5)}}),       // a name in another case
      H({{"DATOS.EMPRESA", Value("y")}, {"LINEAS.CODIGO", Value(6)}}),       // an earlier name
      H({{"LINEAS.NOMBRE", Value("z")}, {" lineas.codigo ", Value(7)}}),     // spaces around a name
      H({{"OTRO", Value(1)}, {"LINEAS.CODIGO", Value(8)}}),                  // a new name
      H({{"DATOS.EMPRESA", Value("w")}, {"LINEAS.NOMBRE", Value("v")}, {"LINEAS.CODIGO", Value(9)}}),  // all
  };
  for (size_t i = 0; i < frames.size(); ++i) {
    ctx.PushRegistroDetalle(frames[i], Value(0), Value(2));
    EXPECT_EQ(KeyValueLines(ctx.GetVariables()), KeyValueLines(TContextoEjecucion::HashMergeVariables(base, frames[i]))) << i;
    ctx.PopRegistroDetalle();
    // The connector's own hash is never the one refilled.
    EXPECT_EQ(KeyValueLines(run.connector->GetVariables()), KeyValueLines(base)) << i;
  }
  // A frame that is exactly the tail while an earlier variable has one of its names in another
  // case: both go, as in any merge.
  {
    Harness other;
    other.connector->SendDataVar(List({Def("lineas", "codigo")}), List({List({Value(0)})}));
    other.connector->SendDataLine(List({Def("LINEAS", "CODIGO", "numero")}), List({List({Value(1)})}));
    TContextoEjecucion& second = other.Ctx();
    const Value start = other.connector->GetVariables();
    ASSERT_EQ(start.Len(), 2u);
    Value frame = H({{"LINEAS.CODIGO", Value(2)}});
    second.PushRegistroDetalle(frame, Value(0), Value(1));
    EXPECT_EQ(KeyValueLines(second.GetVariables()), KeyValueLines(TContextoEjecucion::HashMergeVariables(start, frame)));
    EXPECT_EQ(second.GetVariables().Len(), 1u);
  }
  // Two frames: the second overlays the tail the first left.
  ctx.PushVariablesLocales(frames[1]);
  ctx.PushVariablesLocales(frames[0]);
  EXPECT_EQ(KeyValueLines(ctx.GetVariables()),
            KeyValueLines(TContextoEjecucion::HashMergeVariables(TContextoEjecucion::HashMergeVariables(base, frames[1]),
                                                         frames[0])));
}

TEST(Context, LabelRecordStepEqualsPageStateThenRecord) {
  Harness stepwise;
  Harness combined;
  for (Harness* run : {&stepwise, &combined}) {
    run->connector->SendDataLine(List({Def("LINEAS", "NOMBRE")}), List({List({Value("Ana")}), List({Value("Luis")})}));
  }
  TContextoEjecucion& a = stepwise.Ctx();
  TContextoEjecucion& b = combined.Ctx();
  Value records = stepwise.connector->GetRegistrosDetalle();
  Value previous = records.Item(1);
  for (int64_t page : {1, 3, 0}) {
    a.SetEstadoPagina(Value(page), Value(4));
    a.PushRegistroDetalle(records.Item(2), Value(1), Value(2), previous, Value("no hash"));
    b.EntrarRegistroEtiqueta(page, 4, records.Item(2), 1, 2, previous, Value("no hash"));
    EXPECT_EQ(a.nPaginaActual, b.nPaginaActual);
    EXPECT_EQ(a.nTotalPaginas, b.nTotalPaginas);
    EXPECT_EQ(a.nIndiceRegistro, b.nIndiceRegistro);
    EXPECT_EQ(a.nTotalRegistros, b.nTotalRegistros);
    EXPECT_TRUE(b.hRegistroAnterior.SameRef(previous));
    EXPECT_EQ(b.hRegistroSiguiente.Len(), 0u);
    EXPECT_TRUE(b.lEvaluatorStateSynchronized);
    EXPECT_EQ(KeyValueLines(stepwise.evaluator->hEstadoEjecucion), KeyValueLines(combined.evaluator->hEstadoEjecucion));
    EXPECT_EQ(KeyValueLines(a.GetVariables()), KeyValueLines(b.GetVariables()));
    EXPECT_EQ(Text(b.EvaluarFormula(Value("LINEAS.NOMBRE"))), "Luis");
    a.PopRegistroDetalle();
    b.PopRegistroDetalle();
    EXPECT_EQ(a.aVariablesLocales.Len(), b.aVariablesLocales.Len());
  }
}

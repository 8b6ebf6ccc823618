// The execution context on the record loop of a table: 100,000 detail records pushed and popped,
// each accumulated into 5 accumulators and used by 3 formula evaluations. Reports records per
// second.
#include <benchmark/benchmark.h>

#include <string>

#include "Accessors.h"
#include "data/TConectorDatosReg.h"
#include "run/TContextoEjecucion.h"
#include "formula/TEvaluadorFormulas.h"

using namespace nv;

namespace {

constexpr int kRecords = 100000;

Value Formula(const char* text) {
  Value def = Value::NewHash();
  def.Set("formula", Value(text));
  return def;
}

Value Field(const char* group, const char* name, const char* type) {
  Value def = Value::NewHash();
  def.Set("grupo", Value(group));
  def.Set("nombre", Value(name));
  def.Set("tipo", Value(type));
  return def;
}

void BM_RecordLoopWithAccumulators(benchmark::State& state) {
  auto connector = TConectorDatosReg::New();
  Value defs = Value::NewArray();
  defs.Append(Field("DATOS", "CLIENTE", "C"));
  defs.Append(Field("DATOS", "FACTOR", "N"));
  Value row = Value::NewArray();
  row.Append(Value("Dulces Orbanel"));
  row.Append(Value(2));
  Value rows = Value::NewArray();
  rows.Append(row);
  connector->SendDataVar(defs, rows);

  Value records = Value::NewArray();
  records.AsArray().reserve(kRecords);
  for (int i = 0; i < kRecords; ++i) {
    Value record = Value::NewHash();
    record.Set("DETALLE.TIPO", Value(i % 3 == 0 ? "A" : "B"));
    record.Set("DETALLE.IMPORTE", Value(i % 100));
    record.Set("DETALLE.CANTIDAD", Value(i % 7));
    record.Set("DETALLE.NOMBRE", Value("Articulo"));
    records.Append(record);
  }

  Value acumVars = Value::NewHash();
  acumVars.Set("Total", Formula("DETALLE.IMPORTE"));
  acumVars.Set("TotalA", Formula("IIF(DETALLE.TIPO == 'A', DETALLE.IMPORTE, 0)"));
  acumVars.Set("CuentaA", Formula("IIF(DETALLE.TIPO == 'A', 1, 0)"));
  acumVars.Set("Cantidad", Formula("DETALLE.CANTIDAD"));
  acumVars.Set("Doble", Formula("DETALLE.IMPORTE * DATOS.FACTOR"));
  Value options = Value::NewHash();
  options.Set("hAcumVars", acumVars);

  auto evaluator = TEvaluadorFormulas::New();
  evaluator->Create();
  auto context = TContextoEjecucion::New(Value(connector), Value(evaluator), options);
  context->Create();
  Value textFormula("DETALLE.NOMBRE");
  Value textPlan = context->CompilarPlanFormula(textFormula);
  Value totalFormula("SUM.Total");
  Value condition("DETALLE.IMPORTE > 50");

  int64_t processed = 0;
  for (auto _ : state) {
    context->ResetAcumuladores();
    const Value total = Value::Int(kRecords);
    for (int i = 0; i < kRecords; ++i) {
      const Value& record = records.Item(static_cast<size_t>(i) + 1);
      context->PushRegistroDetalle(record, Value::Int(i), total);
      benchmark::DoNotOptimize(context->EvaluarPlanFormulaConEstado(textPlan, textFormula));
      benchmark::DoNotOptimize(context->EvaluarFormula(totalFormula));
      benchmark::DoNotOptimize(context->CumpleCondicion(condition));
      context->AcumularDetalle();
      context->PopRegistroDetalle();
    }
    processed += kRecords;
  }
  state.counters["records_per_s"] = benchmark::Counter(static_cast<double>(processed), benchmark::Counter::kIsRate);
  state.counters["SUM.Total"] = ValueDouble(HGet(context->GetAcumuladores(), "SUM.Total"));
  state.counters["warnings"] = static_cast<double>(context->GetAvisos().Len());
  context->End();
  evaluator->End();
  connector->End();
}
BENCHMARK(BM_RecordLoopWithAccumulators)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

// Formula evaluation throughput: a mix of typical report formulas evaluated interpretively and
// through executable plans, single plans evaluated directly as layout objects do, the library
// calls the mix makes, and detail accumulators summed through their simple plans against the
// same sums evaluated interpretively.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "Accessors.h"
#include "data/TConectorDatosReg.h"
#include "run/TContextoEjecucion.h"
#include "formula/TEvaluadorFormulas.h"
#include "formula/TFuncFormulas.h"
#include "Value.h"

using namespace nv;

namespace {

const std::vector<std::string>& Mix() {
  static const std::vector<std::string> formulas = {
      "DATOS.CLIENTE",
      "'Total: ' + Transform(DATOS.IMPORTE, '@E 9,999.99')",
      "IIF(DATOS.IMPORTE > 1000, 'Alto', 'Bajo')",
      "DToC(DATOS.FECHA)",
  };
  return formulas;
}

Value Variables() {
  Value vars = Value::NewHash();
  vars.Set("DATOS.CLIENTE", "Dulces Orbanel");
  vars.Set("DATOS.IMPORTE", Value(1234.5));
  vars.Set("DATOS.FECHA", "20230115");
  vars.Set("DATOS.GRUPO", "A");
  for (int i = 0; i < 20; ++i) vars.Set("DATOS.CAMPO" + std::to_string(i), i);
  return vars;
}

void RunMix(benchmark::State& state, bool plans) {
  auto ev = TEvaluadorFormulas::New();
  ev->Create();
  ev->SetUsarPlanes(plans);
  Value vars = Variables();
  std::vector<Value> formulas;
  for (const std::string& f : Mix()) formulas.emplace_back(f);
  for (auto _ : state) {
    for (const Value& f : formulas) benchmark::DoNotOptimize(ev->Evaluar(f, vars));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(formulas.size()));
  ev->End();
}

void BM_MixInterpretive(benchmark::State& state) { RunMix(state, false); }
void BM_MixWithPlans(benchmark::State& state) { RunMix(state, true); }

void RunSingle(benchmark::State& state, const char* formula, bool direct) {
  auto ev = TEvaluadorFormulas::New();
  ev->Create();
  ev->SetUsarPlanes(direct);
  Value vars = Variables();
  Value text(formula);
  Value plan = ev->CompileFormulaPlan(text);
  for (auto _ : state) {
    if (direct) {
      benchmark::DoNotOptimize(ev->EvaluateFormulaPlan(plan, vars));
    } else {
      benchmark::DoNotOptimize(ev->Evaluar(text, vars));
    }
  }
  state.SetItemsProcessed(state.iterations());
  ev->End();
}

void BM_VariableInterpretive(benchmark::State& state) { RunSingle(state, "DATOS.CLIENTE", false); }
void BM_VariablePlan(benchmark::State& state) { RunSingle(state, "DATOS.CLIENTE", true); }
void BM_ComparisonInterpretive(benchmark::State& state) { RunSingle(state, "DATOS.GRUPO == 'A'", false); }
void BM_ComparisonPlan(benchmark::State& state) { RunSingle(state, "DATOS.GRUPO == 'A'", true); }

// Each formula of the mix on its own, interpretive (0) or with plans (1).
void BM_MixFormula(benchmark::State& state) {
  auto ev = TEvaluadorFormulas::New();
  ev->Create();
  ev->SetUsarPlanes(state.range(1) == 1);
  Value vars = Variables();
  Value f(Mix()[static_cast<size_t>(state.range(0))]);
  for (auto _ : state) benchmark::DoNotOptimize(ev->Evaluar(f, vars));
  state.SetItemsProcessed(state.iterations());
  ev->End();
}

// The library calls of the mix on their own: a number under a grouping mask and a serial date.
void BM_TransformNumberMask(benchmark::State& state) {
  auto lib = TFuncFormulas::New();
  lib->Create();
  Value amount(1234.5);
  Value mask("@E 9,999.99");
  for (auto _ : state) benchmark::DoNotOptimize(lib->Transform(amount, mask));
  state.SetItemsProcessed(state.iterations());
  lib->End();
}

void BM_DToCSerialText(benchmark::State& state) {
  auto lib = TFuncFormulas::New();
  lib->Create();
  Value date("20230115");
  for (auto _ : state) benchmark::DoNotOptimize(lib->DToC(date));
  state.SetItemsProcessed(state.iterations());
  lib->End();
}

// Accumulators of a detail loop: a plain field, two conditional sums and a count.
const std::vector<std::pair<std::string, std::string>>& Accumulators() {
  static const std::vector<std::pair<std::string, std::string>> list = {
      {"Total", "DETALLE.IMPORTE"},
      {"TotalA", "IIF(DETALLE.TIPO == 'A' .AND. DETALLE.CANTIDAD > 1, DETALLE.IMPORTE, 0)"},
      {"CuentaA", "IIF(DETALLE.TIPO == 'A', 1, 0)"},
      {"Cantidad", "DETALLE.CANTIDAD"},
  };
  return list;
}

Value DetailRecords(int count) {
  Value records = Value::NewArray();
  for (int i = 0; i < count; ++i) {
    Value record = Value::NewHash();
    record.Set("DETALLE.TIPO", Value(i % 3 == 0 ? "A" : "B"));
    record.Set("DETALLE.IMPORTE", Value(i % 100));
    record.Set("DETALLE.CANTIDAD", Value(i % 7));
    records.Append(record);
  }
  return records;
}

// The detail loop of a context whose accumulators are the list above: each record is pushed,
// summed and popped. With simple plans the context sums through them (AcumularDetalle); without,
// each accumulator formula is evaluated interpretively on the record and added up, which is what
// the sums cost when no plan exists. The baseline only pushes and pops, so the cost of summing
// is each case minus the baseline. Items are records.
enum class Summing { None, Interpretive, SimplePlans };

void RunAccumulators(benchmark::State& state, Summing summing) {
  const bool simplePlans = summing == Summing::SimplePlans;
  constexpr int kRecords = 1000;
  auto connector = TConectorDatosReg::New();
  connector->Create();
  Value definitions = Value::NewHash();
  for (const auto& [name, formula] : Accumulators()) {
    Value definition = Value::NewHash();
    definition.Set("formula", Value(formula));
    definitions.Set(name, definition);
  }
  Value options = Value::NewHash();
  options.Set("hAcumVars", definitions);
  auto evaluator = TEvaluadorFormulas::New();
  evaluator->Create();
  evaluator->SetUsarPlanes(simplePlans);
  auto context = TContextoEjecucion::New(Value(connector), Value(evaluator), options);
  context->Create();
  std::vector<Value> formulas;
  for (const auto& entry : Accumulators()) formulas.emplace_back(entry.second);
  Value records = DetailRecords(kRecords);
  const Value total = Value::Int(kRecords);
  double sum = 0.0;
  for (auto _ : state) {
    context->ResetAcumuladores();
    for (int i = 0; i < kRecords; ++i) {
      context->PushRegistroDetalle(records.Item(static_cast<size_t>(i) + 1), Value::Int(i), total);
      if (summing == Summing::SimplePlans) {
        context->AcumularDetalle();
      } else if (summing == Summing::Interpretive) {
        for (const Value& formula : formulas) sum += ValueDouble(context->EvaluarFormula(formula));
      }
      context->PopRegistroDetalle();
    }
  }
  if (simplePlans) sum = ValueDouble(HGet(context->GetAcumuladores(), "SUM.Total"));
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations() * kRecords);
  context->End();
  evaluator->End();
  connector->End();
}

void BM_AccumulatorsBaseline(benchmark::State& state) { RunAccumulators(state, Summing::None); }
void BM_AccumulatorsInterpretive(benchmark::State& state) { RunAccumulators(state, Summing::Interpretive); }
void BM_AccumulatorsSimplePlans(benchmark::State& state) { RunAccumulators(state, Summing::SimplePlans); }

}  // namespace

BENCHMARK(BM_AccumulatorsBaseline);
BENCHMARK(BM_AccumulatorsInterpretive);
BENCHMARK(BM_AccumulatorsSimplePlans);
BENCHMARK(BM_MixFormula)->ArgsProduct({{0, 1, 2, 3}, {0, 1}});
BENCHMARK(BM_MixInterpretive);
BENCHMARK(BM_MixWithPlans);
BENCHMARK(BM_VariableInterpretive);
BENCHMARK(BM_VariablePlan);
BENCHMARK(BM_ComparisonInterpretive);
BENCHMARK(BM_ComparisonPlan);
BENCHMARK(BM_TransformNumberMask);
BENCHMARK(BM_DToCSerialText);

BENCHMARK_MAIN();

// The cost of one formula is bounded: engine functions that evaluate an argument in two scopes or
// once per detail record evaluate it once per scope, running sums of a field come from kept
// totals, and a step budget ends whatever still runs away with an error value. Deep nesting is
// checked under a small budget, so exponential work shows as the budget's error instead of a slow
// test; sums are checked against totals computed here.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "Accessors.h"
#include "Json.h"
#include "Runtime.h"
#include "data/TConectorDatos.h"
#include "formula/TEvaluadorFormulas.h"
#include "run/TContextoEjecucion.h"

using namespace nv;

namespace {

// A formula nesting call around itself depth times: Call(Call(...Call(inner)...)).
std::string Nested(const std::string& call, const std::string& inner, int depth) {
  std::string text = inner;
  for (int i = 0; i < depth; ++i) text = call + "(" + text + ")";
  return text;
}

Value Record(const std::string& key, const Value& value) {
  Value record = Value::NewHash();
  record.Set(key, value);
  return record;
}

class BoundedEvaluation : public ::testing::TestWithParam<bool> {
 protected:
  BoundedEvaluation() {
    ev->SetUsarPlanes(GetParam());
    ev->SetOpciones(options);
  }
  ~BoundedEvaluation() override { ev->End(); }

  // Records 1..count with "DETALLE.X" = position, standing on the last one.
  void UseRecords(int64_t count) {
    Value records = Value::NewArray();
    for (int64_t i = 1; i <= count; ++i) records.Append(Record("DETALLE.X", Value::Int(i)));
    options.Set("aRegistrosDetalleRuntime", records);
    Stand(count - 1, count);
  }
  void Stand(int64_t index, int64_t total, const Value& previous = Value::NewHash()) {
    Value state = Value::NewHash();
    state.Set("nIndiceRegistro", Value::Int(index));
    state.Set("nTotalRegistros", Value::Int(total));
    state.Set("hRegistroAnterior", previous);
    ev->SetEstadoEjecucion(state);
  }
  Value Eval(const std::string& formula) { return ev->Evaluar(Value(formula), vars); }
  std::string LastError() { return ev->GetLastError().AsString(); }

  Value options = Value::NewHash();
  Value vars = Value::NewHash();
  std::shared_ptr<TEvaluadorFormulas> ev = TEvaluadorFormulas::New();
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(PlansAndInterpreter, BoundedEvaluation, ::testing::Bool());

// Every function that evaluates its argument more than once or per record is nested deeply
// under a budget a few thousand steps wide: doubling the work at each level would need billions.
TEST_P(BoundedEvaluation, GroupChangedNestedSixtyDeepEvaluatesEachLevelOncePerScope) {
  options.Set("nLimitePasosFormula", Value::Int(20'000));
  vars.Set("G", "b");
  Stand(1, 3, Record("G", Value("a")));
  for (int depth : {1, 2, 10, 30, 60}) {
    EXPECT_TRUE(Eval(Nested("GroupChanged", "G", depth)).IsTrue()) << depth;
    EXPECT_EQ(LastError(), "") << "depth " << depth;
  }
  vars.Set("G", "a");
  EXPECT_FALSE(Eval(Nested("GroupChanged", "G", 30)).IsTrue());
  EXPECT_EQ(LastError(), "");
}

TEST_P(BoundedEvaluation, LastPageByNestedSixtyDeepEvaluatesItsKeyOnce) {
  options.Set("nLimitePasosFormula", Value::Int(20'000));
  vars.Set("G", "b");
  for (int depth : {1, 2, 10, 30, 60}) {
    EXPECT_TRUE(Eval(Nested("LastPageBy", "G", depth)).IsTrue()) << depth;
    EXPECT_EQ(LastError(), "") << "depth " << depth;
  }
}

TEST_P(BoundedEvaluation, NestedSumsOverTheRuntimeRecordsShareTheirRecordScopes) {
  // Over 10 records each level multiplies by the 10 records walked (the inner sum is the same in
  // every record's scope), so depth d gives 55 * 10^(d-1); walking records per level would take
  // 10^12 evaluations at depth 12.
  options.Set("nLimitePasosFormula", Value::Int(20'000));
  UseRecords(10);
  int64_t expected = 55;
  for (int depth = 1; depth <= 12; ++depth) {
    const Value total = Eval(Nested("Sum", "DETALLE.X", depth));
    EXPECT_EQ(LastError(), "") << "depth " << depth;
    EXPECT_EQ(LiteralText(total), std::to_string(expected)) << "depth " << depth;
    expected *= 10;
  }
}

TEST_P(BoundedEvaluation, SpentBudgetIsTheFormulasErrorValueAndAWarning) {
  UseRecords(200);
  options.Set("nLimitePasosFormula", Value::Int(50));
  // The record walk of an expression takes one step per record at least.
  const Value result = Eval("Sum(DETALLE.X * 2)");
  EXPECT_EQ(ValorAString(result), "[Limite de pasos de evaluacion superado: 50]");
  EXPECT_EQ(LastError(), "[Limite de pasos de evaluacion superado: 50]");
  // A budget that is not a positive number is the default one.
  options.Set("nLimitePasosFormula", Value::Int(0));
  EXPECT_EQ(LiteralText(Eval("Sum(DETALLE.X * 2)")), "40200");
  options.Set("nLimitePasosFormula", Value("x"));
  EXPECT_EQ(LiteralText(Eval("Sum(DETALLE.X * 2)")), "40200");

  // Through the context the failure is a warning naming the formula.
  Value runOptions = Value::NewHash();
  runOptions.Set("nLimitePasosFormula", Value::Int(50));
  runOptions.Set("aRegistrosDetalleRuntime", options["aRegistrosDetalleRuntime"]);
  auto conector = TConectorDatos::New(Value(""));
  conector->Create();
  auto evaluador = TEvaluadorFormulas::New();
  evaluador->Create();
  auto contexto = TContextoEjecucion::New(Value(conector), Value(evaluador), runOptions);
  contexto->Create();
  const Value status = contexto->EvaluarFormulaConEstado(Value("Sum(DETALLE.X * 2)"));
  EXPECT_TRUE(status["lError"].IsTrue());
  std::vector<std::string> warnings;
  for (const Value& warning : contexto->GetAvisos().AsArray()) warnings.push_back(ValueString(warning));
  EXPECT_NE(std::find(warnings.begin(), warnings.end(),
                      "Error de formula: Sum(DETALLE.X * 2) -> [Limite de pasos de evaluacion superado: 50]"),
            warnings.end());
  contexto->End();
  evaluador->End();
  conector->End();
}

// Running sums of a field come from kept totals: at every record they equal the plain total,
// with decimals, numeric texts, values that are not numbers and records that are not hashes.
TEST_P(BoundedEvaluation, KeptRunningSumsEqualThePlainSums) {
  bool decoded = false;
  const Value mixed = DecodeJson(R"([{"X": 1.25}, {"X": "2.5"}, {"X": "abc"}, "no record", {"X": 3},
                                     {"X": -0.05}, {"X": true}, {"X": 10}])",
                                 decoded);
  ASSERT_TRUE(decoded);
  options.Set("aRegistrosDetalleRuntime", mixed);
  const std::vector<std::string> expected = {"1.25", "3.75", "3.75", "3.75", "6.75", "6.70", "6.70", "16.70"};
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t i = 0; i < expected.size(); ++i) {
      Stand(static_cast<int64_t>(i), static_cast<int64_t>(expected.size()));
      EXPECT_EQ(LiteralText(Eval("Sum(X)")), LiteralText(Eval("Sum((X))"))) << i;
      EXPECT_EQ(ValorAString(Eval("Sum(X)")), expected[i]) << "record " << i << " pass " << pass;
    }
  }
  // Outside any record the sum covers every record.
  Stand(-1, 8);
  EXPECT_EQ(ValorAString(Eval("Sum(X)")), "16.70");
}

TEST_P(BoundedEvaluation, KeptRunningSumsFollowChangedRecordsAndShadowingVariables) {
  UseRecords(5);
  EXPECT_EQ(LiteralText(Eval("Sum(DETALLE.X)")), "15");
  // Another array: the totals start afresh.
  Value other = Value::NewArray();
  for (int v : {100, 200, 300, 400, 500}) other.Append(Record("DETALLE.X", Value::Int(v)));
  options.Set("aRegistrosDetalleRuntime", other);
  EXPECT_EQ(LiteralText(Eval("Sum(DETALLE.X)")), "1500");
  // Records appended to the same array are summed when reached.
  other.Append(Record("DETALLE.X", Value::Int(600)));
  Stand(5, 6);
  EXPECT_EQ(LiteralText(Eval("Sum(DETALLE.X)")), "2100");
  // New options clear the totals.
  Value fresh = Value::NewHash();
  Value small = Value::NewArray();
  small.Append(Record("DETALLE.X", Value::Int(7)));
  fresh.Set("aRegistrosDetalleRuntime", small);
  ev->SetOpciones(fresh);
  Stand(0, 1);
  EXPECT_EQ(LiteralText(Eval("Sum(DETALLE.X)")), "7");

  // A record without the field takes the surrounding variable's value, as a plain walk does.
  Value gappy = Value::NewArray();
  gappy.Append(Record("DETALLE.X", Value::Int(1)));
  gappy.Append(Record("OTRO", Value::Int(5)));
  gappy.Append(Record("DETALLE.X", Value::Int(3)));
  fresh.Set("aRegistrosDetalleRuntime", gappy);
  Stand(2, 3);
  vars.Set("DETALLE.X", Value::Int(1000));
  EXPECT_EQ(LiteralText(Eval("Sum(DETALLE.X)")), "1004");
  vars = Value::NewHash();
  EXPECT_EQ(LiteralText(Eval("Sum(DETALLE.X)")), "4");
  EXPECT_EQ(LastError(), "[Variable no encontrada: DETALLE.X]");
}

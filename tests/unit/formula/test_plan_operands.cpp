// Compiled formulas read constants and variables in place and remember where a variable stood in
// the last variables hash. These tests change, swap and rebuild the hashes between evaluations and
// compare every answer and error state with the interpretive evaluation.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Accessors.h"
#include "Runtime.h"
#include "formula/TEvaluadorFormulas.h"

using namespace nv;

namespace {

class PlanOperands : public ::testing::Test {
 protected:
  PlanOperands() {
    planned->Create();
    interpreted->Create();
    interpreted->SetUsarPlanes(false);
  }
  ~PlanOperands() override {
    planned->End();
    interpreted->End();
  }

  // Evaluates with and without plans; both answers and both error states must agree.
  void ExpectSame(const std::string& formula, const Value& vars) {
    Value a = planned->Evaluar(Value(formula), vars);
    Value b = interpreted->Evaluar(Value(formula), vars);
    EXPECT_EQ(LiteralText(a), LiteralText(b)) << formula;
    EXPECT_EQ(planned->GetLastError().AsString(), interpreted->GetLastError().AsString()) << formula;
  }
  std::string Planned(const std::string& formula, const Value& vars) {
    return ValorAString(planned->Evaluar(Value(formula), vars));
  }

  std::shared_ptr<TEvaluadorFormulas> planned = TEvaluadorFormulas::New();
  std::shared_ptr<TEvaluadorFormulas> interpreted = TEvaluadorFormulas::New();
};

const std::vector<std::string>& Formulas() {
  static const std::vector<std::string> formulas = {
      "DATOS.X",
      "Upper(DATOS.X) + DATOS.Y",
      "IIF(DATOS.N > 1000, DATOS.X, DATOS.Y)",
      "'Total: ' + Transform(DATOS.N, '@E 9,999.99')",
      "DATOS.N == DATOS.M .AND. DATOS.X != ''",
  };
  return formulas;
}

}  // namespace

TEST_F(PlanOperands, RememberedPositionsFollowChangedAndSwappedHashes) {
  Value first = Value::NewHash();
  first.Set("DATOS.X", "uno");
  first.Set("DATOS.Y", "dos");
  first.Set("DATOS.N", Value(1234.5));
  first.Set("DATOS.M", Value(1234.5));
  for (const std::string& f : Formulas()) ExpectSame(f, first);
  EXPECT_EQ(Planned("DATOS.X", first), "uno");

  // Another hash with the same names at other positions.
  Value second = Value::NewHash();
  for (int i = 0; i < 10; ++i) second.Set("DATOS.CAMPO" + std::to_string(i), i);
  second.Set("DATOS.M", 7);
  second.Set("DATOS.Y", "tres");
  second.Set("DATOS.N", 7);
  second.Set("DATOS.X", "cuatro");
  for (const std::string& f : Formulas()) ExpectSame(f, second);
  EXPECT_EQ(Planned("DATOS.X", second), "cuatro");

  // The same hash changed in place: a value replaced, entries before the names removed (every
  // later entry moves up), a name removed and then added back at the end.
  second.Set("DATOS.X", "cinco");
  EXPECT_EQ(Planned("DATOS.X", second), "cinco");
  for (int i = 0; i < 10; i += 2) second.Remove("DATOS.CAMPO" + std::to_string(i));
  for (const std::string& f : Formulas()) ExpectSame(f, second);
  second.Remove("DATOS.X");
  EXPECT_EQ(Planned("DATOS.X", second), "[Variable no encontrada: DATOS.X]");
  for (const std::string& f : Formulas()) ExpectSame(f, second);
  // Where the name stood there is now another key, and the name only differs in case.
  second.Set("datos.x", "seis");
  EXPECT_EQ(Planned("DATOS.X", second), "seis");
  for (const std::string& f : Formulas()) ExpectSame(f, second);
  second.Set("DATOS.X", "siete");
  EXPECT_EQ(Planned("DATOS.X", second), "siete");
  for (const std::string& f : Formulas()) ExpectSame(f, second);

  // A hash rebuilt from scratch, variables that are no hash, and back to the first one.
  for (int round = 0; round < 3; ++round) {
    Value fresh = Value::NewHash();
    if (round == 1) fresh.Set("DATOS.PRIMERO", 1);
    fresh.Set("DATOS.X", "ronda " + std::to_string(round));
    fresh.Set("DATOS.Y", round);
    fresh.Set("DATOS.N", round * 1000);
    fresh.Set("DATOS.M", 0);
    for (const std::string& f : Formulas()) ExpectSame(f, fresh);
    EXPECT_EQ(Planned("DATOS.X", fresh), "ronda " + std::to_string(round));
  }
  for (const std::string& f : Formulas()) ExpectSame(f, Value());
  for (const std::string& f : Formulas()) ExpectSame(f, Value("no hash"));
  EXPECT_EQ(Planned("DATOS.X", first), "uno");
}

TEST_F(PlanOperands, ArgumentsInPlaceAroundFormulasThatRunOthers) {
  Value vars = Value::NewHash();
  vars.Set("DATOS.A", 5);
  vars.Set("DATOS.B", "abc");
  vars.Set("DATOS.C", Value(2.5));
  vars.Set("DATOS.S", "  hola  ");
  vars.Set("VAR.U", "DATOS.A + 1");
  vars.Set("VAR.T", "Upper(DATOS.B) + DATOS.S");
  vars.Set("SUM.T", 12);
  Value before = vars.Clone();
  for (const char* f : {
           // More operands than the inline room: the heap route.
           "Max(DATOS.A, 1, 2, 3, 4, 5, 6, DATOS.C)",
           "Max(7, 8, 9, 10, 11, 12, 13, 14, DATOS.A)",
           "DATOS.B + 'a' + 'b' + 'c' + 'd' + 'e' + 'f' + DATOS.S + DATOS.B",
           "StrTran(DATOS.S, 'o', DATOS.B, 1, DATOS.A)",
           // Resolved variables and engine functions between plain operands.
           "Max(VAR.U, DATOS.A, Len(DATOS.S))",
           "DATOS.B + VAR.T + DATOS.B",
           "VAR.U + DATOS.A + SUM.T",
           "IIF(VAR.U > DATOS.A, DATOS.B, DATOS.S)",
           "VAR.U == DATOS.A + 1",
           "DATOS.A < VAR.U .AND. RecNo() == 0",
           "Max(RecNo(), DATOS.A, Page())",
           "Upper(DATOS.NADA) + DATOS.B",
           "Left(DATOS.B, DATOS.NADA)",
           "AllTrim(DATOS.S) + Str(DATOS.C, 6, 2) + DToC(DATOS.B)",
           "Foo(DATOS.A, 'x')",
       }) {
    ExpectSame(f, vars);
    ExpectSame(f, vars);  // again, with the positions remembered
  }
  // Arguments read in place are never changed by the functions that receive them.
  EXPECT_EQ(LiteralText(vars), LiteralText(before));
}

// Two numbers are compared without building their re-read values; the answers must be those of
// the runtime's comparisons on the re-read values, for every operator.
TEST(NumberComparison, AgreesWithTheRuntimeOnReReadNumbers) {
  auto ev = TEvaluadorFormulas::New();
  ev->Create();
  std::vector<Value> numbers = {Value(0),         Value(1),          Value(-1),         Value(1000),
                                Value(1234.5),    Value::Dbl(1234.5, 1), Value::Dbl(1234.50001, 2),
                                Value::Dbl(1000.0, 1), Value::Dbl(999.999, 2), Value::Dbl(-0.004, 2),
                                Value::Dbl(0.0, 0), Value::Dbl(2.675, 2), Value::Int(INT64_C(9007199254740993)),
                                Value::Dbl(9007199254740992.0, 0)};
  auto reRead = [](const Value& v) { return Value(Val(ValorAString(v))); };
  for (const Value& a : numbers) {
    for (const Value& b : numbers) {
      Value x = reRead(a);
      Value y = reRead(b);
      std::string pair = LiteralText(a) + " vs " + LiteralText(b);
      EXPECT_EQ(ev->CompararValores(a, Value("=="), b).AsBool(), ExactEqual(x, y)) << pair;
      EXPECT_EQ(ev->CompararValores(a, Value("!="), b).AsBool(), !ExactEqual(x, y)) << pair;
      EXPECT_EQ(ev->CompararValores(a, Value(">"), b).AsBool(), RtGreater(x, y)) << pair;
      EXPECT_EQ(ev->CompararValores(a, Value("<"), b).AsBool(), RtLess(x, y)) << pair;
      EXPECT_EQ(ev->CompararValores(a, Value(">="), b).AsBool(), RtGreaterEqual(x, y)) << pair;
      EXPECT_EQ(ev->CompararValores(a, Value("<="), b).AsBool(), RtLessEqual(x, y)) << pair;
      EXPECT_FALSE(ev->CompararValores(a, Value("=>"), b).AsBool()) << pair;
    }
  }
  ev->End();
}

TEST_F(PlanOperands, EmptyOperandsOfASumOrAComparisonEvaluateAsTheInterpreterDoes) {
  // An empty operand compiled to false, so "1 +" gave "1false" through its plan and "1" without.
  Value vars = Value::NewHash();
  vars.Set("DATOS.X", "uno");
  for (const std::string formula : {"1 +", "+ 2", "DATOS.X + ", "1 + + 2", "IIF(1 +, 2, 3)",
                                    "<> Upper('a')", "DATOS.X == ", "'' == ", "<= DATOS.NADA"}) {
    ExpectSame(formula, vars);
  }
  EXPECT_EQ(Planned("1 +", vars), "1");
}

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "Accessors.h"
#include "Runtime.h"
#include "TEvaluadorFormulas.h"
#include "TFuncFormulas.h"

using namespace nv;

namespace {

using Splits = std::vector<std::string>;

class Evaluator : public ::testing::Test {
 protected:
  // Without a function library unless a test attaches one, and without executable plans: the
  // interpretive evaluation of the language itself is under test here.
  Evaluator() { ev->SetUsarPlanes(false); }
  std::shared_ptr<TEvaluadorFormulas> ev = TEvaluadorFormulas::New();
  Value vars = Value::NewHash();

  Value Eval(const std::string& formula) { return ev->Evaluar(Value(formula), vars); }
  std::string Text(const std::string& formula) { return ev->ValorATexto(Eval(formula)).AsString(); }
  std::string LastError() { return ev->GetLastError().AsString(); }
  bool Holds(const std::string& formula) { return ev->CumpleCondicion(Value(formula), vars).AsBool(); }
  std::string Tipo(const std::string& text) { return ev->PlanFormula(Value(text))["tipo"].AsString(); }

  // Evaluates with the last error cleared and checks the text form of the result.
  void ExpectEval(const std::string& formula, const std::string& expected, bool expectError = false) {
    EXPECT_EQ(Text(formula), expected) << "formula: " << formula;
    EXPECT_EQ(!LastError().empty(), expectError) << "formula: " << formula << " last error: " << LastError();
  }
};

bool LibraryImplemented() {
  auto lib = TFuncFormulas::New();
  Value r = lib->Ejecutar(Value("UPPER"), Value::FromArray({Value("a")}));
  return r.IsString() && r.AsString() == "A";
}

}  // namespace

TEST(EvaluatorSplitting, LogicalOperatorsIgnoreCaseAndNeedNoBlanks) {
  using E = TEvaluadorFormulas;
  EXPECT_EQ(E::SepararPorOperadorLogico("a.OR.b", ".OR."), (Splits{"a", "b"}));
  EXPECT_EQ(E::SepararPorOperadorLogico("a .or. 'x.OR.y' .Or. (c .OR. d)", ".OR."),
            (Splits{"a", "'x.OR.y'", "(c .OR. d)"}));
  EXPECT_EQ(E::SepararPorOperadorLogico(".OR. a", ".OR."), (Splits{"", "a"}));
  EXPECT_EQ(E::SepararPorOperadorLogico("a", ".AND."), (Splits{"a"}));
  EXPECT_EQ(E::SepararPorOperadorLogico("x .and. \"it's .AND.\" .AND.y", ".AND."),
            (Splits{"x", "\"it's .AND.\"", "y"}));
}

TEST(EvaluatorSplitting, ComparisonSplitsOnceAtFirstOperatorTwoCharactersFirst) {
  std::string l, op, r;
  ASSERT_TRUE(TEvaluadorFormulas::SepararComparacion("a >= b", l, op, r));
  EXPECT_EQ(l + "|" + op + "|" + r, "a|>=|b");
  ASSERT_TRUE(TEvaluadorFormulas::SepararComparacion("a<>b", l, op, r));
  EXPECT_EQ(op, "<>");
  ASSERT_TRUE(TEvaluadorFormulas::SepararComparacion("'a>b' == f(c<d)", l, op, r));
  EXPECT_EQ(l + "|" + op + "|" + r, "'a>b'|==|f(c<d)");
  ASSERT_TRUE(TEvaluadorFormulas::SepararComparacion("a > b <= c", l, op, r));
  EXPECT_EQ(l + "|" + op + "|" + r, "a|>|b <= c");
  EXPECT_FALSE(TEvaluadorFormulas::SepararComparacion("a = b", l, op, r));
  EXPECT_FALSE(TEvaluadorFormulas::SepararComparacion("(a > b)", l, op, r));
}

TEST(EvaluatorSplitting, ArgumentsSumsAndArithmetic) {
  using E = TEvaluadorFormulas;
  EXPECT_EQ(E::SepararArgumentos("1, 'a,b'; f(1,2)"), (Splits{"1", "'a,b'", "f(1,2)"}));
  EXPECT_TRUE(E::SepararArgumentos("   ").empty());
  EXPECT_EQ(E::SepararArgumentos(","), (Splits{"", ""}));
  EXPECT_EQ(E::SepararPorSuma("a + 'b+c' + (d+e)"), (Splits{"a", "'b+c'", "(d+e)"}));

  using Pairs = std::vector<std::pair<std::string, std::string>>;
  EXPECT_TRUE(E::SepararPorResta("-5").empty());
  EXPECT_EQ(E::SepararPorResta("a - b"), (Pairs{{"a", ""}, {"b", "-"}}));
  EXPECT_EQ(E::SepararPorResta("2 * -3"), (Pairs{{"2 *", ""}, {"3", "-"}}));
  EXPECT_EQ(E::SepararPorResta("a - -b"), (Pairs{{"a", ""}, {"-b", "-"}}));
  EXPECT_EQ(E::SepararPorOperadoresAritmeticos("a / b * c", "*/", false), (Pairs{{"a", ""}, {"b", "/"}, {"c", "*"}}));
  // An empty operand is dropped with its pair; the others keep the operator before them.
  EXPECT_EQ(E::SepararPorOperadoresAritmeticos("* 3 / 4", "*/", false), (Pairs{{"3", "*"}, {"4", "/"}}));
  EXPECT_TRUE(E::SepararPorOperadoresAritmeticos("'a*b'", "*/", false).empty());
}

TEST(EvaluatorSplitting, LiteralsParenthesesCallsAndNames) {
  using E = TEvaluadorFormulas;
  EXPECT_TRUE(E::EsLiteralTextoCompleto("'it''s'"));
  EXPECT_TRUE(E::EsLiteralTextoCompleto("\"x\""));
  EXPECT_FALSE(E::EsLiteralTextoCompleto("'a' + 'b'"));
  EXPECT_FALSE(E::EsLiteralTextoCompleto("'"));
  EXPECT_FALSE(E::EsLiteralTextoCompleto("'abc"));

  EXPECT_EQ(E::QuitarParentesisExternos("((a))"), "a");
  EXPECT_EQ(E::QuitarParentesisExternos("( (x) ) "), "x");
  EXPECT_EQ(E::QuitarParentesisExternos("(a) + (b)"), "(a) + (b)");
  EXPECT_EQ(E::QuitarParentesisExternos("(')')"), "')'");
  EXPECT_EQ(E::QuitarParentesisExternos("()"), "");

  EXPECT_TRUE(E::EsLlamadaFuncion("Upper(x)"));
  EXPECT_TRUE(E::EsLlamadaFuncion("Date$()"));
  EXPECT_FALSE(E::EsLlamadaFuncion("(x)"));
  EXPECT_FALSE(E::EsLlamadaFuncion("a b(x)"));
  EXPECT_FALSE(E::EsLlamadaFuncion("f(x) + 1"));
  EXPECT_TRUE(E::IsIdentifier("1abc.$_"));
  EXPECT_FALSE(E::IsIdentifier("@x"));

  EXPECT_EQ(E::NormalizarNombreFuncion(" Mid$ "), "SUBSTR");
  EXPECT_EQ(E::NormalizarNombreFuncion("atrim"), "ALLTRIM");
  EXPECT_EQ(E::NormalizarNombreFuncion("FStr"), "TRANSFORM");
  EXPECT_EQ(E::NormalizarNombreFuncion("Date$"), "DTOC");
  EXPECT_EQ(E::NormalizarNombreFuncion("Date"), "DATE");
  EXPECT_EQ(E::NormalizarNombreFuncion("Upper$"), "UPPER");
}

TEST_F(Evaluator, AnalysisOrderGivesThePrecedence) {
  Value a = ev->PlanFormula(Value("NOT a .AND. b"));
  EXPECT_EQ(a["tipo"].AsString(), "and");
  EXPECT_EQ(a["partes"].Item(1).AsString(), "NOT a");
  EXPECT_EQ(Tipo("NOT a == b"), "not");
  EXPECT_EQ(ev->PlanFormula(Value("NOT a == b"))["expresion"].AsString(), "a == b");
  Value s = ev->PlanFormula(Value("a - b + c"));
  EXPECT_EQ(s["tipo"].AsString(), "suma");
  EXPECT_EQ(s["partes"].Item(1).AsString(), "a - b");
  Value m = ev->PlanFormula(Value("a / b * c"));
  EXPECT_EQ(m["tipo"].AsString(), "aritmetica");
  EXPECT_EQ(m["partes"].Len(), 3u);
  EXPECT_TRUE(m["partes"].Item(1).Item(2).IsNil());
  EXPECT_EQ(m["partes"].Item(3).Item(2).AsString(), "*");
  EXPECT_EQ(Tipo("a and b"), "argumento");
  EXPECT_EQ(Tipo("'x'"), "literal");
  EXPECT_EQ(Tipo("12,5"), "literal");
  EXPECT_EQ(ev->PlanFormula(Value(".NOT.  x"))["expresion"].AsString(), "x");
  EXPECT_EQ(Tipo("!x"), "not");
  Value f = ev->PlanFormula(Value("not(x)"));
  EXPECT_EQ(f["tipo"].AsString(), "funcion");
  EXPECT_EQ(f["clave"].AsString(), "NOT");
  Value call = ev->PlanFormula(Value("Mid$('abcdef', 2, 3)"));
  EXPECT_EQ(call["funcion"].AsString(), "SUBSTR");
  EXPECT_EQ(call["argumentos"].Len(), 3u);
  EXPECT_EQ(ev->PlanFormula(Value("Date()"))["argumentos"].Len(), 0u);

  size_t cached = ev->hFormulaPlanCache.size();
  ev->PlanFormula(Value("a - b + c"));
  EXPECT_EQ(ev->hFormulaPlanCache.size(), cached);
}

TEST_F(Evaluator, LiteralsNumbersWordsAndConstants) {
  ExpectEval("'it''s'", "it's");
  ExpectEval("'a\\tb'", "a\tb");
  ExpectEval("'a\\\\b\\'c'", "a\\b'c");
  ExpectEval("(('x'))", "x");
  ExpectEval("\"[ERROR literal del usuario]\"", "[ERROR literal del usuario]");
  EXPECT_EQ(ValueString(Eval("12.50")), "12.50");
  ExpectEval("1,5", "1");
  ExpectEval("-5", "-5");
  EXPECT_TRUE(Eval("-5").IsNumber());
  ExpectEval(".T.", "true");
  ExpectEval("y", "true");
  ExpectEval("n", "false");
  ExpectEval("VB.Color.Red", "#ff0000");
  ExpectEval("vb.color.whitesmoke", "#f5f5f5");
  ExpectEval("VB.Color.Purple", "[Constante VB.Color no soportada: VB.Color.Purple]", true);
  ExpectEval("CRLF", "\r\n");
  EXPECT_TRUE(Eval("NULL").IsNil());
  EXPECT_EQ(VBXUNESCAPEFORMULALITERAL(Value("a''b\\"), Value("'")).AsString(), "a'b\\");
  EXPECT_EQ(VBXUNESCAPEFORMULALITERAL(Value("\\n\\r\\q"), Value("\"")).AsString(), "\n\rq");
}

TEST_F(Evaluator, BooleanWordsMatchByPrefix) {
  auto word = [&](const char* t) { return ev->ValorBooleanoCondicion(Value(t)); };
  for (const char* t : {"TRUE", "tr", ".", ".t.", "Y", "yes", "S", "si", "S\xC3\x8D", "1"}) {
    EXPECT_TRUE(word(t).IsLogical() && word(t).AsBool()) << t;
  }
  for (const char* t : {"FALSE", "fa", "F", ".F.", "N", "no", "0", "", "  "}) {
    EXPECT_TRUE(word(t).IsLogical() && !word(t).AsBool()) << t;
  }
  for (const char* t : {"10", "YESS", "abc", "s\xC3\xAD", "TRUEX"}) EXPECT_TRUE(word(t).IsNil()) << t;
}

TEST_F(Evaluator, VariablesAreCaseInsensitiveAndUserVariablesResolveOnce) {
  vars.Set("DATOS.CLIENTE", "Dulces Orbanel");
  vars.Set("OMEMQUERY.cifc", "");
  vars.Set("DATOS.A", 2);
  vars.Set("VAR.X", "DATOS.A + 1");
  vars.Set("VAR.Total", "10");
  vars.Set("SUM.Neto", 7);
  ExpectEval("DATOS.CLIENTE", "Dulces Orbanel");
  ExpectEval(" datos.cliente ", "Dulces Orbanel");
  ExpectEval("OMEMQUERY.cifc", "");
  ExpectEval("DATOS.NO_EXISTE", "[Variable no encontrada: DATOS.NO_EXISTE]", true);
  ExpectEval("VAR.X", "3");
  ExpectEval("var.x", "DATOS.A + 1");  // only the upper-case prefix names a formula
  ExpectEval("@Total", "10");
  ExpectEval("@Neto", "7");
  ExpectEval("@Nada", "[Expresion no valida: @Nada]", true);

  // The resolved value is kept until the state changes.
  vars.Set("DATOS.A", 10);
  ExpectEval("VAR.X", "3");
  ev->ClearResolvedVariableCache();
  ExpectEval("VAR.X", "11");
  vars.Set("DATOS.A", 20);
  ev->SetEstadoEjecucion(Value::NewHash());
  ExpectEval("VAR.X", "21");
  EXPECT_TRUE(ev->hVariablesResolviendo.AsHash().empty());
}

TEST_F(Evaluator, SelfReferenceGivesFormulaTextOrCircularMarkWithoutError) {
  vars.Set("VAR.X", "VAR.X");
  vars.Set("VAR.A", "VAR.B");
  vars.Set("VAR.B", "VAR.A");
  ExpectEval("VAR.X", "VAR.X");
  ExpectEval("VAR.A", "VAR.B");
  Value options = Value::NewHash();
  options.Set("detectarCircularidad", true);
  ev->SetOpciones(options);
  ExpectEval("VAR.X", "[Referencia circular: VAR.X]");
  ExpectEval("VAR.A", "[Referencia circular: VAR.A]");
  EXPECT_TRUE(ev->hVariablesResolviendo.AsHash().empty());
}

TEST_F(Evaluator, ComparisonsWithNumericTextsPrefixRuleAndKinds) {
  EXPECT_TRUE(Eval("'001' == '1'").AsBool());
  EXPECT_TRUE(Eval("'ABC' >= 'AB'").AsBool());
  EXPECT_TRUE(Eval("'ABC' <= 'AB'").AsBool());
  EXPECT_FALSE(Eval("'ABC' > 'AB'").AsBool());
  EXPECT_FALSE(Eval("'ABC' == 'AB'").AsBool());
  EXPECT_TRUE(Eval("'AB' < 'ABC'").AsBool());
  EXPECT_FALSE(Eval("5 == 'x'").AsBool());
  EXPECT_TRUE(Eval("5 != 'x'").AsBool());
  EXPECT_TRUE(Eval("5 <> 'x'").AsBool());
  EXPECT_TRUE(Eval("10 > 9").AsBool());
  EXPECT_TRUE(Eval("'10' > '9'").AsBool());  // numeric texts compare as numbers
  EXPECT_TRUE(Eval(".F. < .T.").AsBool());
  // Values without an order never compare, and nothing raises.
  EXPECT_FALSE(Eval("NULL >= NULL").AsBool());
  EXPECT_TRUE(Eval("NULL == NULL").AsBool());
  Value h = Value::NewHash();
  EXPECT_FALSE(ev->CompararValores(h, Value("<="), h).AsBool());
  EXPECT_FALSE(ev->CompararValores(Value(1), Value("=~"), Value(1)).AsBool());
  EXPECT_TRUE(LastError().empty());
}

TEST_F(Evaluator, SumsAddNumbersOrConcatenateText) {
  vars.Set("DATOS.VACIO", "");
  vars.Set("DATOS.EMPRESA", "Norvane");
  ExpectEval("1 + 2", "3");
  ExpectEval("'1' + '2'", "12");
  ExpectEval("'Total: ' + 5", "Total: 5");
  ExpectEval("1 + .T.", "1true");
  ExpectEval("'a' + NULL + 'b'", "ab");
  ExpectEval("DATOS.VACIO+CRLF+DATOS.EMPRESA", "\r\nNorvane");
  ExpectEval("0.1 + 0.2", "0.3");
  EXPECT_EQ(Eval("1.5 + 1.5").AsNumber().isInteger, true);
  ExpectEval("'x' + DATOS.NO_EXISTE", "x[Variable no encontrada: DATOS.NO_EXISTE]", true);
}

TEST_F(Evaluator, ArithmeticReadsNumbersBackThroughTheirText) {
  EXPECT_EQ(ValueString(Eval("10/4")), "2.50");
  ExpectEval("10/2", "5");
  EXPECT_TRUE(Eval("10/2").AsNumber().isInteger);
  ExpectEval("10/0", "0");
  ExpectEval("2*3-1", "5");
  ExpectEval("10/3*3", "9.99");
  ExpectEval("2.5 * 2", "5");
  ExpectEval("10 - 2 - 3", "5");
  ExpectEval("'7' * '6'", "42");
  ExpectEval("2 * -3", "[Expresion no valida: 3]", true);
  ExpectEval("'a' * 2", "[Expresion no valida: 2]", true);
  // Without a function library there is no date difference to fall back on.
  ExpectEval("10 - 'x'", "[Expresion no valida: 'x']", true);
  ExpectEval("a = b", "[Expresion no valida: a = b]", true);
}

TEST_F(Evaluator, IifEvaluatesOnlyTheChosenBranch) {
  vars.Set("DATOS.N", 7);
  ExpectEval("IIF(1 > 0, 'a')", "[Formula IIf no valida: IIF(1 > 0, 'a')]", true);
  ExpectEval("IIF(.T., 1, DATOS.NO_EXISTE)", "1");
  ExpectEval("IIF(.F., DATOS.NO_EXISTE, 2)", "2");
  ExpectEval("IIF(DATOS.N > 5, 'big', 'small')", "big");
  ExpectEval("if(DATOS.N > 50, 'big', 'small')", "small");
  ExpectEval("COND(DATOS.N == 7; 'seven'; 'other')", "seven");
  ExpectEval("IIF(DATOS.N > 5, IIF(DATOS.N > 6, 'x', 'y'), 'z')", "x");
  ExpectEval("IIF(, 'empty holds', 'no')", "empty holds");
  ExpectEval("IIF((DATOS.NO_EXISTE), 1, 2)", "[Formula IIf no valida: IIF((DATOS.NO_EXISTE), 1, 2)]", true);
}

TEST_F(Evaluator, ConditionsAndTheirReasons) {
  vars.Set("DATOS.A", 1);
  vars.Set("DATOS.S", "abc");
  vars.Set("DATOS.EMPTY", "");
  vars.Set("DATOS.N", "N");
  vars.Set("DATOS.ZERO", "0");
  auto cond = [&](const char* f) { return ev->EvaluarCondicion(Value(f), vars); };
  EXPECT_TRUE(cond("")["lVisible"].AsBool());
  EXPECT_EQ(cond("")["cMotivo"].AsString(), "");
  EXPECT_FALSE(cond("NO")["lVisible"].AsBool());
  EXPECT_EQ(cond("NO")["cMotivo"].AsString(), "condicion falsa");
  for (const char* f : {"DATOS.S", "1", "Y", "S", "DATOS.A == 1", "not (DATOS.A == 2)", "NOT DATOS.A == 2"}) {
    EXPECT_TRUE(Holds(f)) << f;
  }
  for (const char* f : {"DATOS.EMPTY", "DATOS.N", "DATOS.ZERO", "0", "DATOS.A == 1 .AND. DATOS.A > 1",
                        "DATOS.A > 1 .OR. DATOS.A < 1", "!DATOS.A == 1"}) {
    EXPECT_FALSE(Holds(f)) << f;
  }
  Value invalid = cond("DATOS.NO_EXISTE");
  EXPECT_FALSE(invalid["lVisible"].AsBool());
  EXPECT_EQ(invalid["cMotivo"].AsString(), "condicion no valida");
  EXPECT_FALSE(ev->CumpleCondicion(Value("'[x]'"), vars).AsBool());
  // An empty part of a conjunction holds in the interpretive evaluation.
  EXPECT_TRUE(Holds("DATOS.A == 1 .AND."));
}

TEST_F(Evaluator, LastErrorIsSetByEveryErrorAndClearedOnlyByEvaluar) {
  EXPECT_EQ(Text("DATOS.NO_EXISTE"), "[Variable no encontrada: DATOS.NO_EXISTE]");
  EXPECT_TRUE(ev->EsResultadoError().AsBool());
  ev->EvaluarFormula(Value("'ok'"), vars);
  EXPECT_TRUE(ev->EsResultadoError().AsBool());  // EvaluarFormula keeps it
  Eval("'ok'");
  EXPECT_FALSE(ev->EsResultadoError().AsBool());

  // Set even where the failing piece is absorbed: a condition part tested false.
  EXPECT_FALSE(Eval("DATOS.NO_EXISTE .AND. .T.").AsBool());
  EXPECT_EQ(LastError(), "[Variable no encontrada: DATOS.NO_EXISTE]");
  ev->ResetLastError();
  EXPECT_EQ(LastError(), "");

  // The last one produced wins.
  EXPECT_EQ(Text("not(x)"), "[Funcion no implementada: NOT]");
  EXPECT_EQ(LastError(), "[Funcion no implementada: NOT]");
  ExpectEval("Foo(1)", "[Funcion no implementada: FOO]", true);
  ExpectEval("Page()", "1");
  EXPECT_EQ(ev->ErrorValue(Value("[boom]")).AsString(), "[boom]");
  EXPECT_EQ(LastError(), "[boom]");
}

TEST_F(Evaluator, NothingRaisesOnHostileInput) {
  std::string deep;
  for (int i = 0; i < 1000; ++i) deep += "f(";
  deep += "1";
  for (int i = 0; i < 1000; ++i) deep += ")";
  EXPECT_TRUE(Eval(deep).IsString());
  EXPECT_FALSE(LastError().empty());
  for (const char* f : {"(", ")", "'", "\"", "((", "'a", "+", "-", "*", "/", ".AND.", ".OR.", "!", "NOT ", ">", "a >",
                        "f(", "f())", "IIF(", "@", "1/", "--1", "1 - - - 1"}) {
    EXPECT_NO_THROW(Eval(f)) << f;
  }
  EXPECT_EQ(ev->Evaluar(Value(12), vars).AsNumber().i, 12);
  EXPECT_EQ(ev->Evaluar(Value("1"), Value(5)).AsNumber().i, 1);
}

TEST_F(Evaluator, LibraryCallsAndErrorTexts) {
  if (!LibraryImplemented()) GTEST_SKIP() << "function library not available yet";
  ev->Create();
  vars.Set("OMEMQUERY.cifc", "");
  vars.Set("DATOS.X", "[funcion x]");
  ExpectEval("Mid$('abcdef', 2, 3)", "bcd");
  ExpectEval("Upper('abc') + '!'", "ABC!");
  ExpectEval("Right('abc', 'x')", "[Funcion Right no valida]", true);
  ExpectEval("Foo(1)", "[Funcion no implementada: FOO]", true);
  ExpectEval("Upper(DATOS.X)", "[FUNCION X]", true);
  EXPECT_TRUE(Holds("empty(OMEMQUERY.cifc)"));
  EXPECT_FALSE(Holds("not empty(OMEMQUERY.cifc)"));
  ExpectEval("'15/01/2023' - '10/01/2023'", "5");
  ExpectEval("'15/01/2023' - 3", "[Expresion no valida: 3]", true);
}

// Every split point must stand outside quotes and at depth 0, and joining the parts back with
// the separator must give the text again.
TEST(EvaluatorSplitting, RandomTextsNeverSplitInsideQuotesOrParentheses) {
  std::mt19937 rng(12345);
  const std::string alphabet = "ab1+,;()'\"-*/><=!";
  auto protectedMask = [](const std::string& t) {
    std::vector<bool> inside(t.size(), false);
    char q = 0;
    int depth = 0;
    for (size_t i = 0; i < t.size(); ++i) {
      char c = t[i];
      if (q) {
        inside[i] = true;
        if (c == q) q = 0;
        continue;
      }
      if (c == '\'' || c == '"') {
        q = c;
        inside[i] = true;
        continue;
      }
      if (c == '(') ++depth;
      if (c == ')' && depth > 0) --depth;
      inside[i] = depth > 0 || c == '(' || c == ')';
    }
    return inside;
  };
  for (int n = 0; n < 3000; ++n) {
    std::string t;
    int len = 1 + static_cast<int>(rng() % 24);
    for (int i = 0; i < len; ++i) t += alphabet[rng() % alphabet.size()];
    std::vector<bool> inside = protectedMask(t);

    Splits parts = TEvaluadorFormulas::SepararTopLevel(t, "+,");
    std::string joined;
    size_t pos = 0;
    for (size_t i = 0; i < parts.size(); ++i) {
      joined += parts[i];
      pos += parts[i].size();
      if (i + 1 < parts.size()) {
        ASSERT_LT(pos, t.size()) << t;
        EXPECT_FALSE(inside[pos]) << t;
        EXPECT_TRUE(t[pos] == '+' || t[pos] == ',') << t;
        joined += t[pos];
        ++pos;
      }
    }
    EXPECT_EQ(joined, t);
    size_t separators = 0;
    for (size_t i = 0; i < t.size(); ++i) separators += (!inside[i] && (t[i] == '+' || t[i] == ',')) ? 1 : 0;
    EXPECT_EQ(parts.size(), separators + 1) << t;

    std::string l, op, r;
    if (TEvaluadorFormulas::SepararComparacion(t, l, op, r)) {
      EXPECT_EQ(l + op + r, t);
      EXPECT_FALSE(inside[l.size()]) << t;
      for (size_t i = 0; i < l.size(); ++i) {
        bool isOp = !inside[i] && (t[i] == '>' || t[i] == '<' || (t[i] == '=' && i + 1 < t.size() && t[i + 1] == '=') ||
                                   (t[i] == '!' && i + 1 < t.size() && t[i + 1] == '='));
        EXPECT_FALSE(isOp) << "earlier operator in " << t;
      }
    }
    auto pairs = TEvaluadorFormulas::SepararPorOperadoresAritmeticos(t, "*/", false);
    for (const auto& [operand, opText] : pairs) {
      EXPECT_NE(operand, "");
      EXPECT_TRUE(t.find(operand) != std::string::npos) << t;
    }
  }
}

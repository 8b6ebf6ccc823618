#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "Accessors.h"
#include "Runtime.h"
#include "formula/FormulaSplitter.h"
#include "formula/TEvaluadorFormulas.h"

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

}  // namespace

TEST(EvaluatorSplitting, LogicalOperatorsIgnoreCaseAndNeedNoBlanks) {
  using E = FormulaSplitter;
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
  ASSERT_TRUE(FormulaSplitter::SepararComparacion("a >= b", l, op, r));
  EXPECT_EQ(l + "|" + op + "|" + r, "a|>=|b");
  ASSERT_TRUE(FormulaSplitter::SepararComparacion("a<>b", l, op, r));
  EXPECT_EQ(op, "<>");
  ASSERT_TRUE(FormulaSplitter::SepararComparacion("'a>b' == f(c<d)", l, op, r));
  EXPECT_EQ(l + "|" + op + "|" + r, "'a>b'|==|f(c<d)");
  ASSERT_TRUE(FormulaSplitter::SepararComparacion("a > b <= c", l, op, r));
  EXPECT_EQ(l + "|" + op + "|" + r, "a|>|b <= c");
  EXPECT_FALSE(FormulaSplitter::SepararComparacion("a = b", l, op, r));
  EXPECT_FALSE(FormulaSplitter::SepararComparacion("(a > b)", l, op, r));
}

TEST(EvaluatorSplitting, ArgumentsSumsAndArithmetic) {
  using E = FormulaSplitter;
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
  using E = FormulaSplitter;
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

    Splits parts = FormulaSplitter::SepararTopLevel(t, "+,");
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
    if (FormulaSplitter::SepararComparacion(t, l, op, r)) {
      EXPECT_EQ(l + op + r, t);
      EXPECT_FALSE(inside[l.size()]) << t;
      for (size_t i = 0; i < l.size(); ++i) {
        bool isOp = !inside[i] && (t[i] == '>' || t[i] == '<' || (t[i] == '=' && i + 1 < t.size() && t[i + 1] == '=') ||
                                   (t[i] == '!' && i + 1 < t.size() && t[i + 1] == '='));
        EXPECT_FALSE(isOp) << "earlier operator in " << t;
      }
    }
    auto pairs = FormulaSplitter::SepararPorOperadoresAritmeticos(t, "*/", false);
    for (const auto& [operand, opText] : pairs) {
      EXPECT_NE(operand, "");
      EXPECT_TRUE(t.find(operand) != std::string::npos) << t;
    }
  }
}

// ---- Engine functions ------------------------------------------------------------------------

namespace {

Value State(std::initializer_list<std::pair<const char*, Value>> entries) {
  Value h = Value::NewHash();
  for (const auto& [k, v] : entries) h.Set(k, v);
  return h;
}

Value Ints(std::initializer_list<int> values) {
  Value a = Value::NewArray();
  for (int v : values) a.Append(v);
  return a;
}

}  // namespace

TEST_F(Evaluator, EachStateStartsFromTheDefaultsAndHeldStatesStayAsTheyWere) {
  auto keysOf = [](const Value& h) {
    std::string keys;
    for (const auto& entry : h.AsHash()) keys += entry.first + ",";
    return keys;
  };
  const std::string defaults = keysOf(ev->EstadoEjecucionPorDefecto());
  Value previous = Value::NewHash();
  ev->SetEstadoEjecucion(State({{"nPaginaActual", 2}, {"lLastPageDisponible", false}, {"hRegistroAnterior", previous}}));
  Value held = ev->hEstadoEjecucion;  // a caller keeping the state it read
  ev->SetEstadoEjecucion(State({{"nIndiceRegistro", 7}}));
  // Keys the new state does not give are back at their defaults, in the default order.
  EXPECT_EQ(keysOf(ev->hEstadoEjecucion), defaults);
  EXPECT_EQ(ValueInt(HGet(ev->hEstadoEjecucion, "nPaginaActual")), 1);
  EXPECT_TRUE(ValueBool(HGet(ev->hEstadoEjecucion, "lLastPageDisponible")));
  EXPECT_EQ(ValueInt(HGet(ev->hEstadoEjecucion, "nIndiceRegistro")), 7);
  EXPECT_FALSE(HGet(ev->hEstadoEjecucion, "hRegistroAnterior").SameRef(previous));
  // The state read before is not changed by the next one.
  EXPECT_EQ(ValueInt(HGet(held, "nPaginaActual")), 2);
  EXPECT_FALSE(ValueBool(HGet(held, "lLastPageDisponible")));
  EXPECT_TRUE(HGet(held, "hRegistroAnterior").SameRef(previous));
  // A key of its own in an override comes after the defaults and is gone with the next state.
  ev->SetEstadoEjecucion(State({{"zPropia", 1}, {"nPaginaActual", 4}}));
  EXPECT_EQ(keysOf(ev->hEstadoEjecucion), defaults + "zPropia,");
  ExpectEval("Page()", "4");
  ev->SetEstadoEjecucion(State({{"nPaginaActual", 5}}));
  EXPECT_EQ(keysOf(ev->hEstadoEjecucion), defaults);
  ExpectEval("Page()", "5");
}

TEST_F(Evaluator, StateKeysGiveTheSameStateInWhateverOrderTheyCome) {
  auto lines = [](const Value& h) {
    std::string out;
    for (const auto& [key, value] : h.AsHash()) {
      std::ostringstream line;
      line << key.view() << "=" << value << ";";
      out += line.str();
    }
    return out;
  };
  Value previous = State({{"A", 1}});
  // The order a context sends, then the same entries reversed, then with keys of its own between.
  ev->SetEstadoEjecucion(State({{"nPaginaActual", 2}, {"nTotalPaginas", 3}, {"lTotalPaginasConocido", false},
                                {"nIndiceRegistro", 4}, {"nTotalRegistros", 5}, {"hRegistroAnterior", previous}}));
  const std::string inOrder = lines(ev->hEstadoEjecucion);
  ev->SetEstadoEjecucion(State({{"hRegistroAnterior", previous}, {"nTotalRegistros", 5}, {"nIndiceRegistro", 4},
                                {"lTotalPaginasConocido", false}, {"nTotalPaginas", 3}, {"nPaginaActual", 2}}));
  EXPECT_EQ(lines(ev->hEstadoEjecucion), inOrder);
  ev->SetEstadoEjecucion(State({{"nPaginaActual", 2}, {"zPropia", 1}, {"nTotalPaginas", 3},
                                {"lTotalPaginasConocido", false}, {"nIndiceRegistro", 4}, {"aOtra", 2},
                                {"nTotalRegistros", 5}, {"hRegistroAnterior", previous}}));
  EXPECT_EQ(lines(ev->hEstadoEjecucion), inOrder + "zPropia=1 (integer);aOtra=2 (integer);");
  EXPECT_TRUE(HGet(ev->hEstadoEjecucion, "hRegistroAnterior").SameRef(previous));
}

TEST_F(Evaluator, PageFunctionsAndTheLastPageRules) {
  ev->SetEstadoEjecucion(State({{"nPaginaActual", 3}, {"nTotalPaginas", 5}}));
  ExpectEval("Page()", "3");
  ExpectEval("TotalPages()", "5");
  ExpectEval("Pages()", "5");
  ExpectEval("LastPage()", "false");
  ev->SetEstadoEjecucion(State({{"nPaginaActual", 5}, {"nTotalPaginas", 5}}));
  ExpectEval("LastPage()", "true");
  ev->SetEstadoEjecucion(State({{"nPaginaActual", 5}, {"nTotalPaginas", 5}, {"lLastPageDisponible", false}}));
  ExpectEval("LastPage()", "false");
  ev->SetEstadoEjecucion(State({{"lTotalPaginasConocido", false}, {"nIndiceRegistro", 3}, {"nTotalRegistros", 5}}));
  ExpectEval("LastPage()", "false");
  ev->SetEstadoEjecucion(State({{"lTotalPaginasConocido", false}, {"nIndiceRegistro", 4}, {"nTotalRegistros", 5}}));
  ExpectEval("LastPage()", "true");
  // Nonsense state falls back to page 1 of 1; the defaults always exist.
  ev->SetEstadoEjecucion(State({{"nPaginaActual", -4}, {"nTotalPaginas", "x"}}));
  ExpectEval("Page()", "1");
  ExpectEval("TotalPages()", "1");
  ev->SetEstadoEjecucion(Value("not a hash"));
  EXPECT_EQ(ev->hEstadoEjecucion.Len(), 9u);
  EXPECT_EQ(ev->ResolverFuncionInternaMotor(Value("foo"), Value::NewArray(), vars).AsString(),
            "[Funcion no implementada: FOO]");
}

TEST_F(Evaluator, PageByCountsThePagesOfAKey) {
  Value byKey = Value::NewHash();
  byKey.Set("A", Ints({2, 3, 3, 5}));
  byKey.Set("H", State({{"aPaginas", Ints({7, 0, -1, 6})}}));
  ev->SetEstadoEjecucion(State({{"nPaginaActual", 3}, {"hPaginacionPorClave", byKey}}));
  ExpectEval("PageBy('A')", "2");
  ExpectEval("TotalPagesBy('A')", "3");
  ExpectEval("LastPageBy('A')", "false");
  ExpectEval("PageBy(' a ')", "2");  // keys are matched trimmed and in any case
  ExpectEval("PageBy('B')", "1");
  ExpectEval("TotalPagesBy('B')", "1");
  ExpectEval("TotalPagesBy('H')", "2");
  ExpectEval("PageBy()", "1");
  // A bare user-variable name serves as the key; the failed lookup stays the last error.
  vars.Set("VAR.K", "'A'");
  ExpectEval("TotalPagesBy(K)", "3", true);
  ev->SetEstadoEjecucion(State({{"nPaginaActual", 4}, {"hPaginacionPorClave", byKey}}));
  ExpectEval("PageBy('A')", "1");
  ev->SetEstadoEjecucion(State({{"nPaginaActual", 5}, {"hPaginacionPorClave", byKey}}));
  ExpectEval("LastPageBy('A')", "true");
}

TEST_F(Evaluator, RecordPositionFunctions) {
  ExpectEval("RecNo()", "0");
  ExpectEval("RecCount()", "0");
  ExpectEval("IsFirstRecord()", "false");
  ev->SetEstadoEjecucion(State({{"nIndiceRegistro", 0}, {"nTotalRegistros", 3}}));
  ExpectEval("RecNo()", "1");
  ExpectEval("RecCount()", "3");
  ExpectEval("IsFirstRecord()", "true");
  ExpectEval("IsLastRecord()", "false");
  ev->SetEstadoEjecucion(State({{"nIndiceRegistro", 2}, {"nTotalRegistros", 3}}));
  ExpectEval("IsLastRecord()", "true");
}

TEST_F(Evaluator, SumOverTheDetailRecordsUpToTheCurrentOne) {
  vars.Set("DETALLE.IMPORTE", 99);
  ExpectEval("Sum(DETALLE.IMPORTE)", "99");  // without records: the current value
  ExpectEval("Sum()", "0");
  Value records = Value::NewArray();
  for (int v : {10, 20, 30}) records.Append(State({{"DETALLE.IMPORTE", v}}));
  records.Append(Value("not a record"));
  Value options = Value::NewHash();
  options.Set("aRegistrosDetalleRuntime", records);
  ev->SetOpciones(options);
  ev->SetEstadoEjecucion(State({{"nIndiceRegistro", 1}}));
  ExpectEval("Sum(DETALLE.IMPORTE)", "30");
  ev->SetEstadoEjecucion(Value::NewHash());
  ExpectEval("Sum(DETALLE.IMPORTE)", "60");
  ExpectEval("Sum(DETALLE.IMPORTE / 4)", "15");
  ExpectEval("Sum(DATOS.TEXTO)", "0", true);
  ev->SetEstadoEjecucion(State({{"nIndiceRegistro", 50}}));
  ExpectEval("Sum(DETALLE.IMPORTE)", "60");
  options.Set("aRegistrosDetalleRuntime", Value::NewArray());
  ExpectEval("Sum(DETALLE.IMPORTE)", "99");
}

TEST_F(Evaluator, PreviousNextAndGroupChanged) {
  vars.Set("DETALLE.IMPORTE", 100);
  vars.Set("DATOS.GRUPO", "ABC");
  ev->SetEstadoEjecucion(State({{"nIndiceRegistro", 0}}));
  EXPECT_TRUE(Eval("Previous(DETALLE.IMPORTE)").IsNil());
  EXPECT_TRUE(Eval("GroupChanged(DETALLE.IMPORTE)").AsBool());
  EXPECT_FALSE(Eval("GroupChanged()").AsBool());

  // The neighbour's fields replace the current ones whatever the case of their names.
  ev->SetEstadoEjecucion(State({{"nIndiceRegistro", 1},
                                {"hRegistroAnterior", State({{"detalle.importe", 10}, {"DATOS.GRUPO", "AB"}})},
                                {"hRegistroSiguiente", State({{"DETALLE.IMPORTE", 7}})}}));
  ExpectEval("Previous(DETALLE.IMPORTE)", "10");
  ExpectEval("Next(DETALLE.IMPORTE)", "7");
  ExpectEval("Previous(DETALLE.IMPORTE) + DETALLE.IMPORTE", "110");
  EXPECT_TRUE(Eval("GroupChanged(DETALLE.IMPORTE)").AsBool());  // 10 then 100
  EXPECT_TRUE(Eval("GroupChanged(DATOS.GRUPO)").AsBool());      // "AB" then "ABC" is a change
  vars.Set("DETALLE.IMPORTE", 10);
  EXPECT_FALSE(Eval("GroupChanged(DETALLE.IMPORTE)").AsBool());
  ev->SetEstadoEjecucion(State({{"nIndiceRegistro", 2}}));
  EXPECT_TRUE(Eval("Next(DETALLE.IMPORTE)").IsNil());
  EXPECT_TRUE(Eval("GroupChanged(DETALLE.IMPORTE)").AsBool());
}

TEST_F(Evaluator, AskStringAndProjectPathReadTheOptions) {
  ExpectEval("AskString('Cliente', .F., 'X', 3)", "X");
  Value options = Value::NewHash();
  options.Set("hAskStringValues", State({{"cliente", "Norte"}}));
  options.Set("cProjectFilePath", "/p/r.lst");
  ev->SetOpciones(options);
  ExpectEval("AskString('Cliente', .F., 'X', 3)", "Nor");
  ExpectEval("AskString('Cliente', .F., 'X')", "Norte");
  ExpectEval("AskString('Otro', .F., 'Defecto', 'x')", "Defecto");
  ExpectEval("ProjectPath()", "/p/");
  ExpectEval("ProjectPath(.T.)", "/p/r.lst");
  ExpectEval("ProjectPath('si')", "/p/r.lst");
  ExpectEval("ProjectPath('abc')", "/p/");
  Value other = Value::NewHash();
  other.Set("cProjectPath", "/q//");
  other.Set("cProjectFileName", "r.lst");
  ev->SetOpciones(other);
  ExpectEval("ProjectPath()", "/q/");
  ExpectEval("ProjectPath(.T.)", "/q/r.lst");
  ev->SetOpciones(Value());
  ExpectEval("ProjectPath(.T.)", "");
}

// ---- Executable plans ---------------------------------------------------------------------------

namespace {

class Plans : public ::testing::Test {
 protected:
  std::shared_ptr<TEvaluadorFormulas> ev = TEvaluadorFormulas::New();
  Value vars = Value::NewHash();
  Value Plan(const std::string& f) { return ev->CompileFormulaPlan(Value(f)); }
  std::string Tipo(const Value& node) { return ValorAString(HGet(node, "tipo")); }
};

}  // namespace

TEST_F(Plans, CompileConstantsVariablesAndRefuseTheRest) {
  Value a = Plan("'a'");
  EXPECT_EQ(Tipo(a), "value");
  EXPECT_EQ(a["valor"].AsString(), "a");
  EXPECT_EQ(a.Len(), 2u);
  Value x = Plan("DATOS.X");
  EXPECT_EQ(Tipo(x), "variable");
  EXPECT_EQ(x["nombre"].AsString(), "DATOS.X");
  EXPECT_TRUE(Plan("((DATOS.X))").SameRef(x));  // outer parentheses removed, cached per text
  EXPECT_EQ(Plan("12.50")["valor"].AsNumber().decimals, 2);
  EXPECT_EQ(Plan("y")["valor"].AsBool(), true);
  EXPECT_EQ(Plan("VB.Color.Red")["valor"].AsString(), "#ff0000");
  EXPECT_TRUE(Plan("NULL")["valor"].IsNil());
  for (const char* f : {"10/2", "@Total", "(1 > 0) .AND. DATOS.A", "a b", "2 - 1", "Upper(1 * 2)", "IIF(1, 2)", ""}) {
    EXPECT_TRUE(Plan(f).IsNil()) << f;
  }
  EXPECT_FALSE(ev->hExecutablePlanCache["10/2"].AsBool());
  EXPECT_TRUE(Plan("10/2").IsNil());
  EXPECT_TRUE(ev->EvaluateFormulaPlan(Value("not a plan"), vars).IsNil());
}

TEST_F(Plans, NodesOfCallsConditionsAndSums) {
  Value up = Plan("Upper(DATOS.X)");
  EXPECT_EQ(Tipo(up), "function");
  EXPECT_EQ(up["name"].AsString(), "UPPER");
  ASSERT_EQ(up["children"].Len(), 1u);
  EXPECT_EQ(Tipo(up["children"].Item(1)), "variable");
  Value page = Plan("Page()");
  EXPECT_EQ(Tipo(page), "engine_function");
  EXPECT_EQ(page["name"].AsString(), "PAGE");
  EXPECT_EQ(page["arguments"].Len(), 0u);
  EXPECT_EQ(Plan("Sum(DATOS.A * 2)")["arguments"].Item(1).AsString(), "DATOS.A * 2");
  Value foo = Plan("Foo(,1)");
  EXPECT_EQ(Tipo(foo), "function");
  ASSERT_EQ(foo["children"].Len(), 2u);
  EXPECT_EQ(Tipo(foo["children"].Item(1)), "value");
  EXPECT_EQ(foo["children"].Item(1)["valor"].AsString(), "");
  Value cond = Plan("DATOS.A > 1 .AND. !DATOS.B .OR. NOT DATOS.C == 'x'");
  EXPECT_EQ(Tipo(cond), "or");
  EXPECT_EQ(Tipo(cond["children"].Item(1)), "and");
  EXPECT_EQ(Tipo(cond["children"].Item(1)["children"].Item(2)), "not");
  EXPECT_EQ(Tipo(cond["children"].Item(2)["child"]), "comparison");
  Value iif = Plan("IIF(DATOS.A, 'x' + DATOS.B, 0)");
  EXPECT_EQ(Tipo(iif), "if");
  EXPECT_EQ(Tipo(iif["true"]), "sum");
  EXPECT_EQ(Plan("DATOS.A .AND.")["children"].Item(2)["valor"].AsBool(), false);
}

TEST_F(Plans, TheTwoDocumentedDifferencesFromTheInterpretiveEvaluation) {
  EXPECT_EQ(ValorAString(ev->Evaluar(Value("IIF(DATOS.NO_EXISTE, 1, 2)"), vars)), "1");
  EXPECT_EQ(ev->GetLastError().AsString(), "[Variable no encontrada: DATOS.NO_EXISTE]");
  EXPECT_EQ(ev->Evaluar(Value("IIF((DATOS.NO_EXISTE), 1, 2)"), vars).AsString(),
            "[Formula IIf no valida: IIF((DATOS.NO_EXISTE), 1, 2)]");
  EXPECT_TRUE(ev->Evaluar(Value("DATOS.NO_EXISTE .OR. .F."), vars).AsBool());
  EXPECT_EQ(ev->GetLastError().AsString(), "[Variable no encontrada: DATOS.NO_EXISTE]");
  vars.Set("DATOS.A", 1);
  EXPECT_FALSE(ev->Evaluar(Value("DATOS.A == 1 .AND."), vars).AsBool());
  EXPECT_TRUE(ev->Evaluar(Value("!"), vars).AsBool());  // the empty operand is false

  ev->SetUsarPlanes(false);
  EXPECT_FALSE(ev->Evaluar(Value("!"), vars).AsBool());  // the empty condition holds
  EXPECT_EQ(ev->Evaluar(Value("IIF(DATOS.NO_EXISTE, 1, 2)"), vars).AsString(),
            "[Formula IIf no valida: IIF(DATOS.NO_EXISTE, 1, 2)]");
  EXPECT_FALSE(ev->Evaluar(Value("DATOS.NO_EXISTE .OR. .F."), vars).AsBool());
  EXPECT_TRUE(ev->Evaluar(Value("DATOS.A == 1 .AND."), vars).AsBool());
}

TEST_F(Plans, EvaluationOfPlansMatchesTheLanguage) {
  vars.Set("DATOS.A", 5);
  vars.Set("datos.b", "abc");
  vars.Set("VAR.U", "DATOS.A * 2");
  Value options = Value::NewHash();
  ev->SetOpciones(options);
  auto eval = [&](const char* f) { return ev->EvaluateFormulaPlan(Plan(f), vars); };
  EXPECT_EQ(eval("DATOS.A").AsNumber().i, 5);
  EXPECT_EQ(eval("DATOS.B").AsString(), "abc");  // case-insensitive fallback
  EXPECT_EQ(eval("VAR.U").AsNumber().i, 10);     // user variable resolved (interpretive inside)
  EXPECT_EQ(eval("'n=' + DATOS.A + .T.").AsString(), "n=5true");
  EXPECT_EQ(eval("DATOS.A + 1.5").AsNumber().d, 6.5);
  EXPECT_TRUE(eval("DATOS.A >= '5'").AsBool());
  EXPECT_EQ(eval("IIF(DATOS.A > 3, 'big', DATOS.NO_EXISTE)").AsString(), "big");
  EXPECT_TRUE(ev->GetLastError().AsString().empty());
  EXPECT_EQ(eval("Foo(1)").AsString(), "[Funcion no implementada: FOO]");
  EXPECT_EQ(eval("DATOS.NADA").AsString(), "[Variable no encontrada: DATOS.NADA]");
  EXPECT_EQ(eval("VB.Color.Nada").AsString(), "[Constante VB.Color no soportada: VB.Color.Nada]");
  // A plan built by hand is evaluated too.
  Value hand = Value::NewHash();
  hand.Set("tipo", "not");
  Value child = Value::NewHash();
  child.Set("tipo", "value");
  child.Set("valor", "NO");
  hand.Set("child", child);
  EXPECT_TRUE(ev->EvaluateFormulaPlan(hand, vars).AsBool());
  Value odd = Value::NewHash();
  odd.Set("tipo", "what");
  EXPECT_TRUE(ev->EvaluateFormulaPlan(odd, vars).IsNil());
  // A context evaluates the branches of an "if" plan on their own.
  Value iif = Plan("IIF(DATOS.A > 3, DATOS.B, 0)");
  iif.Set("_conditionKey", "k");
  EXPECT_TRUE(ev->EvaluateFormulaPlan(iif["condition"], vars).AsBool());
  EXPECT_EQ(ev->EvaluateFormulaPlan(iif["true"], vars).AsString(), "abc");
  EXPECT_TRUE(Plan("IIF(DATOS.A > 3, DATOS.B, 0)").Has("_conditionKey"));
}

TEST_F(Plans, SimpleAccumulatorPlans) {
  Value simple = ev->CompileSimpleAccumulatorPlan(Plan("IIF(DATOS.T == 'A' .AND. DATOS.N > 1, DATOS.I, 0)"));
  ASSERT_TRUE(simple.IsArray());
  ASSERT_EQ(simple.Len(), 3u);
  Value conditions = simple.Item(1);
  ASSERT_EQ(conditions.Len(), 2u);
  EXPECT_EQ(conditions.Item(1).Item(1).Item(2).AsString(), "DATOS.T");
  EXPECT_EQ(conditions.Item(1).Item(2).AsString(), "==");
  EXPECT_EQ(conditions.Item(1).Item(3).Item(2).AsString(), "A");
  EXPECT_EQ(simple.Item(2).Item(1).AsNumber().i, 2);
  EXPECT_EQ(simple.Item(2).Item(2).AsString(), "DATOS.I");
  EXPECT_EQ(simple.Item(3).Item(1).AsNumber().i, 1);
  EXPECT_EQ(simple.Item(3).Item(2).AsNumber().i, 0);
  EXPECT_TRUE(ev->SimpleAccumulatorFalseIsZero(simple).AsBool());

  for (const char* f : {"IIF(VAR.X > 0, 1, 0)", "IIF(Total > 0, 1, 0)", "IIF(DATOS.A, 1, 0)",
                        "IIF(DATOS.A > 0 .OR. DATOS.B > 0, 1, 0)", "IIF(DATOS.A > 0, SUM.X, 0)", "DATOS.A"}) {
    EXPECT_TRUE(ev->CompileSimpleAccumulatorPlan(Plan(f)).IsNil()) << f;
  }
  Value other = ev->CompileSimpleAccumulatorPlan(Plan("IIF(DATOS.T == 'A', DATOS.I, DATOS.J)"));
  ASSERT_TRUE(other.IsArray());
  EXPECT_FALSE(ev->SimpleAccumulatorFalseIsZero(other).AsBool());

  vars.Set("DATOS.T", "A");
  vars.Set("datos.n", "2");
  vars.Set("DATOS.I", 7);
  EXPECT_TRUE(ev->EvaluateSimpleAccumulatorCondition(simple, vars).AsBool());
  EXPECT_EQ(ev->EvaluateSimpleAccumulatorValue(simple, Value(true), vars).AsNumber().i, 7);
  EXPECT_EQ(ev->EvaluateSimpleAccumulatorValue(simple, Value(false), vars).AsNumber().i, 0);
  vars.Set("DATOS.T", "B");
  EXPECT_FALSE(ev->EvaluateSimpleAccumulatorCondition(simple, vars).AsBool());
  // A missing variable is nil here and no error.
  EXPECT_TRUE(ev->EvaluateSimpleAccumulatorValue(other, Value(false), vars).IsNil());
  EXPECT_TRUE(ev->GetLastError().AsString().empty());
  EXPECT_FALSE(ev->EvaluateSimpleAccumulatorCondition(Value::NewArray(), vars).AsBool());
  EXPECT_TRUE(ev->EvaluateSimpleAccumulatorValue(Value(3), Value(true), vars).IsNil());
  EXPECT_FALSE(ev->SimpleAccumulatorFalseIsZero(Value()).AsBool());
}

// Formulas outside the documented differences give the same value and the same error state with
// and without plans.
TEST(PlansDifferential, GeneratedFormulasAgreeWithTheInterpretiveEvaluation) {
  auto planned = TEvaluadorFormulas::New();
  auto interpreted = TEvaluadorFormulas::New();
  planned->Create();
  interpreted->Create();
  interpreted->SetUsarPlanes(false);
  Value vars = Value::NewHash();
  vars.Set("DATOS.A", 5);
  vars.Set("DATOS.B", "abc");
  vars.Set("DATOS.C", Value(2.5));
  vars.Set("DATOS.D", "");
  vars.Set("DATOS.E", "001");
  vars.Set("datos.f", "N");
  vars.Set("VAR.U", "DATOS.A + 1");
  vars.Set("SUM.T", 12);

  std::mt19937 rng(2024);
  auto pick = [&](std::initializer_list<const char*> items) {
    return std::string(items.begin()[rng() % items.size()]);
  };
  std::function<std::string(int)> atom = [&](int) {
    return pick({"DATOS.A", "DATOS.B", "DATOS.C", "DATOS.D", "DATOS.E", "DATOS.F", "VAR.U", "SUM.T", "'abc'", "'AB'",
                 "'5'", "3", "0", "2.50", ".T.", ".F.", "NULL", "VB.Color.Red", "'it''s'", "CRLF"});
  };
  std::function<std::string(int)> expr;
  std::function<std::string(int)> cond = [&](int d) -> std::string {
    if (d <= 0) return atom(d);
    switch (rng() % 6) {
      case 0: return atom(d) + pick({" == ", " != ", " > ", " <= ", " <> ", " >= ", " < "}) + atom(d);
      case 1: return cond(d - 1) + pick({" .AND. ", " .and. ", " .OR. "}) + cond(d - 1);
      case 2: return "NOT " + atom(d) + " == " + atom(d);
      case 3: return "!" + atom(d);
      case 4: return "(" + cond(d - 1) + ")";
      default: return expr(d - 1);
    }
  };
  expr = [&](int d) -> std::string {
    if (d <= 0) return atom(d);
    switch (rng() % 7) {
      case 0: return expr(d - 1) + " + " + expr(d - 1);
      case 1: return "IIF(" + cond(d - 1) + ", " + expr(d - 1) + ", " + expr(d - 1) + ")";
      case 2: return pick({"Upper(", "Len(", "AllTrim(", "Empty("}) + expr(d - 1) + ")";
      case 3: return atom(d) + pick({" * ", " / ", " - "}) + pick({"2", "DATOS.A", "4"});
      case 4: return cond(d - 1);
      case 5: return pick({"RecNo()", "Page()", "Sum(DATOS.A)", "Previous(DATOS.A)"});
      default: return atom(d);
    }
  };
  int compared = 0;
  for (int i = 0; i < 400; ++i) {
    std::string f = expr(3);
    Value a = planned->Evaluar(Value(f), vars);
    std::string errA = planned->GetLastError().AsString();
    Value b = interpreted->Evaluar(Value(f), vars);
    std::string errB = interpreted->GetLastError().AsString();
    // An error inside a condition is where the two evaluations differ by design.
    if (!errA.empty() || !errB.empty()) {
      EXPECT_EQ(errA.empty(), errB.empty()) << f;
      continue;
    }
    ++compared;
    EXPECT_EQ(LiteralText(a), LiteralText(b)) << f;
  }
  EXPECT_GT(compared, 300);
}

// Evaluations without a variables hash read the shared empty hash; none of them may leave
// anything in it for the next caller.
TEST(EvaluatorWithoutVariables, LeavesTheSharedEmptyHashEmpty) {
  auto ev = TEvaluadorFormulas::New();
  ev->Create();
  EXPECT_EQ(ev->Evaluar(Value("'a' + 'b'")).AsString(), "ab");
  EXPECT_EQ(ev->Evaluar(Value("DATOS.X")).AsString(), "[Variable no encontrada: DATOS.X]");
  EXPECT_TRUE(ev->CumpleCondicion(Value("1 == 1")).AsBool());
  EXPECT_TRUE(ev->EvaluateFormulaPlan(ev->CompileFormulaPlan(Value("Upper('x') == 'X'"))).AsBool());
  EXPECT_TRUE(ev->ResolveVariableValue(Value("VAR.T"), Value("1 + 2")).IsNumber());
  EXPECT_EQ(ev->ResolverFuncionInternaMotor(Value("RecNo"), Value::NewArray()).AsNumber().i, 0);
  EXPECT_TRUE(EmptyHash().AsHash().empty());
  ev->End();
}

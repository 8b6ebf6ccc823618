#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Accessors.h"
#include "Runtime.h"
#include "output/TDocumentoRenderizable.h"
#include "run/TMotorPaginacion.h"
#include "Value.h"

using namespace nv;

namespace {

Value Box(const std::string& id, const std::string& texto, double ancho, double alto) {
  Value o = Value::NewHash();
  o.Set("id", id);
  o.Set("tipo", "texto");
  o.Set("texto", texto);
  o.Set("x", Value(12.5));
  o.Set("y", Value::Int(30));
  o.Set("ancho", Value(ancho));
  o.Set("alto", Value(alto));
  o.Set("permiteSaltoPagina", true);
  return o;
}

Value List(std::initializer_list<Value> items) { return Value::FromArray(Array(items)); }

Value Page(double ancho, double alto, const std::string& modo = "fixed") {
  Value p = Value::NewHash();
  p.Set("ancho", Value(ancho));
  p.Set("alto", Value(alto));
  p.Set("modoAlto", modo);
  return p;
}

std::shared_ptr<TMotorPaginacion> Engine() {
  auto engine = TMotorPaginacion::New(Value::NewHash());
  engine->Create();
  return engine;
}

// The texts of the fragments of one object, one per page.
std::vector<std::string> FragmentTexts(const Value& pages) {
  std::vector<std::string> texts;
  for (const Value& page : pages.AsArray()) texts.push_back(ValueString(HGet(page.Item(1), "texto")));
  return texts;
}

std::vector<std::string> Split(TMotorPaginacion& engine, const Value& object) {
  return FragmentTexts(engine.DividirObjetos(List({object})));
}

}  // namespace

TEST(Pagination, SplitsTextThatAllowsBreaksIntoFragmentsPerPage) {
  auto engine = Engine();
  Value text = Box("t", "1\n2\n3\n4\n5", 40, 10);
  Value rect = Value::NewHash();
  rect.Set("tipo", "rectangulo");
  Value other = Box("u", "a\r\nb\rc", 40, 10);
  Value pages = engine->DividirObjetos(List({rect, text, Value("dropped"), other}));

  ASSERT_EQ(pages.Len(), 3u);
  ASSERT_EQ(pages.Item(1).Len(), 3u);
  ASSERT_EQ(pages.Item(2).Len(), 2u);
  ASSERT_EQ(pages.Item(3).Len(), 1u);
  EXPECT_TRUE(pages.Item(1).Item(1).SameRef(rect));

  const char* texts[] = {"1\n2", "3\n4", "5"};
  const char* ids[] = {"t", "t__page_2", "t__page_3"};
  for (size_t k = 1; k <= 3; ++k) {
    const Value& fragment = pages.Item(k).Item(k == 1 ? 2 : 1);
    EXPECT_EQ(ValueString(fragment["texto"]), texts[k - 1]);
    EXPECT_EQ(ValueString(fragment["id"]), ids[k - 1]);
    EXPECT_EQ(ValueString(fragment["idOrigenPaginacion"]), "t");
    EXPECT_EQ(ValueInt(fragment["nPaginaContinuacion"]), static_cast<int64_t>(k));
    EXPECT_DOUBLE_EQ(ValueDouble(fragment["x"]), 12.5);
    EXPECT_EQ(ValueInt(fragment["y"]), 30);
    EXPECT_FALSE(fragment.SameRef(text));
  }
  EXPECT_EQ(LiteralText(pages.Item(3).Item(1)["finalesParrafo"]), "{.T.}");
  EXPECT_EQ(LiteralText(pages.Item(1).Item(2)["finalesParrafo"]), "{.T., .T.}");
  // The unsplit object is untouched.
  EXPECT_EQ(ValueString(text["texto"]), "1\n2\n3\n4\n5");
  EXPECT_FALSE(text.Has("nPaginaContinuacion"));
  // CR LF and lone CR end paragraphs too: three lines in a two-line box.
  EXPECT_EQ(ValueString(pages.Item(1).Item(3)["texto"]), "a\nb");
  EXPECT_EQ(ValueString(pages.Item(2).Item(2)["texto"]), "c");
}

TEST(Pagination, WhatIsNeverSplit) {
  auto engine = Engine();
  Value fits = Box("f", "1\n2", 40, 10);
  Value pages = engine->DividirObjetos(List({fits}));
  ASSERT_EQ(pages.Len(), 1u);
  EXPECT_TRUE(pages.Item(1).Item(1).SameRef(fits));
  EXPECT_FALSE(fits.Has("idOrigenPaginacion"));

  Value notAllowed = Box("n", "1\n2\n3", 40, 10);
  notAllowed.Set("permiteSaltoPagina", Value::Int(1));
  Value otherKind = Box("k", "1\n2\n3", 40, 10);
  otherKind.Set("tipo", "rectangulo");
  Value noHeight = Box("h", "1\n2\n3", 40, 6);
  noHeight.Set("paddingSuperior", Value::Int(3));
  noHeight.Set("paddingInferior", Value::Int(3));
  pages = engine->DividirObjetos(List({notAllowed, otherKind, noHeight}));
  EXPECT_EQ(pages.Len(), 1u);
  EXPECT_EQ(pages.Item(1).Len(), 3u);

  EXPECT_EQ(engine->DividirObjetos(Value("x")).Len(), 1u);
  EXPECT_EQ(engine->DividirObjetos(Value::NewArray()).Item(1).Len(), 0u);

  // Once page breaks are ignored nothing splits until the engine is initialised again.
  Value tall = Box("t", "1\n2\n3\n4\n5", 40, 10);
  engine->SetIgnorarSaltosPagina(true);
  EXPECT_EQ(engine->DividirObjetos(List({tall})).Len(), 1u);
  engine->SetIgnorarSaltosPagina(Value("yes"));
  EXPECT_EQ(engine->DividirObjetos(List({tall})).Len(), 3u);
  engine->SetIgnorarSaltosPagina(true);
  engine->Init(Value());
  EXPECT_EQ(engine->DividirObjetos(List({tall})).Len(), 3u);
}

TEST(Pagination, WordWrapKeepsBlanksAndCutsLongWordsHard) {
  auto engine = Engine();
  // 10 mm wide at 10 pt holds 5 characters; 4 mm high holds one line.
  EXPECT_EQ(Split(*engine, Box("w", "uno dos tres", 10, 4)), (std::vector<std::string>{"uno ", "dos ", "tres"}));
  // 40 mm holds 21 characters: a 43-letter word becomes 21, 21 and 1.
  std::string word(43, 'a');
  EXPECT_EQ(Split(*engine, Box("a", word, 40, 4)),
            (std::vector<std::string>{std::string(21, 'a'), std::string(21, 'a'), "a"}));
  // A blank exactly at the limit stays at the end of the line.
  EXPECT_EQ(Split(*engine, Box("b", "abcd efgh", 10, 4)), (std::vector<std::string>{"abcd ", "efgh"}));
  // Characters, not bytes: six two-byte letters in a five-character line.
  EXPECT_EQ(Split(*engine, Box("u", "\xc3\xb1\xc3\xb1\xc3\xb1\xc3\xb1\xc3\xb1\xc3\xb1", 10, 4)),
            (std::vector<std::string>{"\xc3\xb1\xc3\xb1\xc3\xb1\xc3\xb1\xc3\xb1", "\xc3\xb1"}));
  // Inner margins narrow the line: 14 mm less 4 mm of padding holds 5 characters.
  Value padded = Box("p", "uno dos tres", 14, 4);
  padded.Set("paddingIzquierdo", Value::Int(2));
  padded.Set("paddingDerecho", Value::Int(2));
  EXPECT_EQ(Split(*engine, padded).size(), 3u);

  Value noWrap = Box("n", std::string(100, 'x') + "\nfin", 10, 4);
  noWrap.Set("ajusteLinea", false);
  EXPECT_EQ(Split(*engine, noWrap), (std::vector<std::string>{std::string(100, 'x'), "fin"}));
  Value noWidth = Box("z", std::string(100, 'x'), 0, 4);
  EXPECT_EQ(Split(*engine, noWidth).size(), 1u);

  // Wrapped lines are not paragraph ends; the last piece of each paragraph is.
  Value twoLines = Box("e", "uno dos\nx", 10, 8);
  Value pages = engine->DividirObjetos(List({twoLines}));
  ASSERT_EQ(pages.Len(), 2u);
  EXPECT_EQ(LiteralText(pages.Item(1).Item(1)["finalesParrafo"]), "{.F., .T.}");
}

TEST(Pagination, LineHeightLeadingAndEmptyIds) {
  auto engine = Engine();
  // With 2 pt leading a line is 4.233 mm: two fit 10 mm, three do not.
  Value leading = Box("", "1\n2\n3\n4", 40, 10);
  leading.Set("interlineado", Value::Int(2));
  Value pages = engine->DividirObjetos(List({leading}));
  ASSERT_EQ(pages.Len(), 2u);
  EXPECT_EQ(ValueString(pages.Item(2).Item(1)["id"]), "");
  EXPECT_EQ(ValueString(pages.Item(2).Item(1)["idOrigenPaginacion"]), "");
  // Paragraph spacing applies to paragraph ends only; here every line ends one.
  Value spacing = Box("s", "1\n2\n3\n4", 40, 10);
  spacing.Set("interlineado", Value::Int(0));
  spacing.Set("espaciadoParrafo", Value::Int(8));
  EXPECT_EQ(Split(*engine, spacing).size(), 4u);
  // Padding leaves 7 mm: one 3.528 mm line per fragment, two would need 7.056 mm.
  Value padded = Box("p", "1\n2", 40, 10);
  padded.Set("paddingSuperior", Value::Int(3));
  EXPECT_EQ(Split(*engine, padded).size(), 2u);
  // A line taller than its box still forms a fragment of its own.
  Value big = Box("b", "1\n2", 40, 2);
  big.Set("tamano", Value::Int(20));
  EXPECT_EQ(Split(*engine, big), (std::vector<std::string>{"1", "2"}));
}

TEST(Pagination, FormattedTextRunsAreRecutPerFragment) {
  auto engine = Engine();
  auto run = [](const std::string& text, const char* style) {
    Value r = Value::NewHash();
    r.Set("cText", text);
    r.Set(style, true);
    return r;
  };
  Value formatted = Box("f", "Hola mundo\nadios", 40, 4);
  formatted.Set("tipo", "texto_formateado");
  formatted.Set("runs", List({run("Hola ", "bold"), run("mundo\nadios", "italic")}));
  Value pages = engine->DividirObjetos(List({formatted}));
  ASSERT_EQ(pages.Len(), 2u);
  const Value& runs1 = pages.Item(1).Item(1)["runs"];
  ASSERT_EQ(runs1.Len(), 2u);
  EXPECT_EQ(ValueString(runs1.Item(1)["cText"]), "Hola ");
  EXPECT_TRUE(runs1.Item(1)["bold"].AsBool());
  EXPECT_EQ(ValueString(runs1.Item(2)["cText"]), "mundo");
  EXPECT_TRUE(runs1.Item(2)["italic"].AsBool());
  // Fragment 2 starts after the last character fragment 1 used; the paragraph break between
  // them belongs to neither.
  const Value& runs2 = pages.Item(2).Item(1)["runs"];
  ASSERT_EQ(runs2.Len(), 1u);
  EXPECT_EQ(ValueString(runs2.Item(1)["cText"]), "adios");
  EXPECT_TRUE(runs2.Item(1)["italic"].AsBool());
  // The source runs are not changed.
  EXPECT_EQ(ValueString(formatted["runs"].Item(2)["cText"]), "mundo\nadios");

  // A break inserted by wrapping consumes no run character.
  Value wrapped = Box("w", "uno dos tres", 10, 8);
  wrapped.Set("tipo", "texto_formateado");
  wrapped.Set("runs", List({run("uno dos tres", "bold")}));
  pages = engine->DividirObjetos(List({wrapped}));
  ASSERT_EQ(pages.Len(), 2u);
  EXPECT_EQ(ValueString(pages.Item(1).Item(1)["runs"].Item(1)["cText"]), "uno \ndos ");
  EXPECT_EQ(ValueString(pages.Item(2).Item(1)["runs"].Item(1)["cText"]), "tres");

  // Runs that run out lend their last style to the rest; missing runs give plain pieces.
  Value shortRuns = Box("s", "ab\ncd", 40, 4);
  shortRuns.Set("tipo", "texto_formateado");
  shortRuns.Set("runs", List({run("ab", "bold")}));
  pages = engine->DividirObjetos(List({shortRuns}));
  ASSERT_EQ(pages.Len(), 2u);
  EXPECT_EQ(ValueString(pages.Item(2).Item(1)["runs"].Item(1)["cText"]), "cd");
  EXPECT_TRUE(pages.Item(2).Item(1)["runs"].Item(1)["bold"].AsBool());
  Value plain = Box("q", "ab\ncd", 40, 4);
  plain.Set("tipo", "texto_formateado");
  pages = engine->DividirObjetos(List({plain}));
  EXPECT_EQ(pages.Item(2).Item(1)["runs"].Len(), 1u);
  EXPECT_EQ(ValueString(pages.Item(2).Item(1)["runs"].Item(1)["cText"]), "cd");
  // Plain texts get no runs key.
  EXPECT_FALSE(engine->DividirObjetos(List({Box("t", "1\n2", 40, 4)})).Item(2).Item(1).Has("runs"));
}

TEST(Pagination, PaginarFixedAndContentModes) {
  auto engine = Engine();
  auto doc = engine->Paginar(Page(80, 50), Value::NewArray()).AsShared<TDocumentoRenderizable>();
  ASSERT_TRUE(doc);
  EXPECT_EQ(ValueInt(doc->TotalPaginas()), 1);
  EXPECT_EQ(doc->GetPagina(Value::Int(1))["objetos"].Len(), 0u);
  EXPECT_DOUBLE_EQ(doc->nAncho, 80.0);
  EXPECT_DOUBLE_EQ(doc->nAlto, 50.0);
  EXPECT_EQ(doc->cPaperHeightMode, "fixed");

  doc = engine->Paginar(Page(80, 50, "odd"), List({Box("t", "1\n2\n3\n4\n5", 40, 10)}))
            .AsShared<TDocumentoRenderizable>();
  EXPECT_EQ(ValueInt(doc->TotalPaginas()), 3);
  EXPECT_EQ(ValueInt(doc->TotalObjetos()), 3);

  Value a = Box("a", "1\n2\n3\n4\n5", 40, 20);
  a.Set("y", Value::Int(10));
  Value b = Box("b", "x", 40, 40);
  b.Set("y", Value::Int(5));
  b.Set("sombraTamano", Value::Int(2));
  Value content = Page(80, 50, " Content ");
  content.Set("margenInferiorContinuo", Value::Int(5));
  Value objects = List({a, b, Value("kept")});
  doc = engine->Paginar(content, objects).AsShared<TDocumentoRenderizable>();
  EXPECT_EQ(doc->cPaperHeightMode, "content");
  EXPECT_DOUBLE_EQ(doc->nAlto, 52.0);
  EXPECT_EQ(ValueInt(doc->TotalPaginas()), 1);
  EXPECT_TRUE(doc->GetPagina(Value::Int(1))["objetos"].SameRef(objects));

  doc = engine->Paginar(content, Value::NewArray()).AsShared<TDocumentoRenderizable>();
  EXPECT_DOUBLE_EQ(doc->nAlto, 5.0);
  content.Set("margenInferiorContinuo", Value(-3.0));
  doc = engine->Paginar(content, Value()).AsShared<TDocumentoRenderizable>();
  EXPECT_DOUBLE_EQ(doc->nAlto, 1.0);
  EXPECT_EQ(doc->GetPagina(Value::Int(1))["objetos"].Len(), 0u);

  doc = engine->Paginar(Value(), Value()).AsShared<TDocumentoRenderizable>();
  EXPECT_EQ(doc->nAncho, 0.0);
  EXPECT_EQ(ValueInt(doc->TotalPaginas()), 1);
}

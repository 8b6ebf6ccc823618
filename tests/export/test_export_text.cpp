// Text in PDF output: every word where the engine put it, on the engine's lines and pitch, fonts
// embedded and subset, and the warnings that say when text was substituted, missing or clipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <sstream>

#include "ExportTestSupport.h"
#include "RenderObjectReader.h"
#include "TextLines.h"
#include "TextPainter.h"

using namespace nv;
using namespace nv::exporttest;

namespace {

constexpr double kTolerance = 0.05;



// The words of the PDF that lie inside a box (by their centre).
std::vector<Word> WordsIn(const std::vector<Word>& words, double x, double y, double w, double h) {
  std::vector<Word> inside;
  for (const Word& word : words) {
    double cx = (word.xMin + word.xMax) / 2, cy = (word.yMin + word.yMax) / 2;
    if (cx >= x && cx <= x + w && cy >= y && cy <= y + h) inside.push_back(word);
  }
  return inside;
}

}  // namespace

TEST(ExportText, WordsStayInTheirBoxInOrderOnTheEnginesLines) {
  const std::string address = "Avenida del Puerto 4 Local 2 08002 BARCELONA con una linea larga que parte";
  std::vector<Value> objects = {
      Text("nombre", 3, 2.5, 64, 5, "Ferreteria Lumen 1", R"(,"negrita":true)"),
      Text("direccion", 3, 8, 40, 20, address),
      Text("derecha", 50, 30, 40, 5, "Total: 1.234,50", R"(,"alineacion":"right")"),
      Text("centro", 10, 40, 60, 5, "Pedido preferente", R"(,"alineacion":"centro","paddingIzquierdo":2)"),
  };
  auto exported = Export({Page(objects)}, Pdf(), 100, 60);
  ASSERT_TRUE(exported->result.ok);
  EXPECT_FALSE(exported->HasWarning("text-clipped")) << exported->result.warnings.size();
  std::vector<Word> words = PdfWords(exported->target.Bytes(0));

  struct BoxCase {
    std::string id, text;
    double x, y, w, h;
  };
  for (const BoxCase& c : std::vector<BoxCase>{{"nombre", "Ferreteria Lumen 1", 3, 2.5, 64, 5},
                                               {"direccion", address, 3, 8, 40, 20},
                                               {"derecha", "Total: 1.234,50", 50, 30, 40, 5},
                                               {"centro", "Pedido preferente", 12, 40, 58, 5}}) {
    std::vector<Word> inside = WordsIn(words, c.x, c.y, c.w, c.h);
    std::vector<std::string> found;
    for (const Word& word : inside) {
      found.push_back(word.text);
      EXPECT_GE(word.xMin, c.x - kTolerance) << c.id << " " << word.text;
      EXPECT_LE(word.xMax, c.x + c.w + kTolerance) << c.id << " " << word.text;
    }
    EXPECT_EQ(found, SplitWords(c.text)) << c.id;
  }

  // The wrapped address: its lines fall on the engine's pitch, 9 pt = 3.175 mm.
  std::set<double> lineBottoms;
  for (const Word& word : WordsIn(words, 3, 8, 40, 20)) lineBottoms.insert(std::round(word.yMax * 100) / 100);
  const double pitch = 9 * TextLines::kMmPorPunto;
  std::vector<TextLines::Line> lines = TextLines::Lines(address, 40, 9, true);
  ASSERT_EQ(lineBottoms.size(), lines.size());
  double previous = -1;
  for (double bottom : lineBottoms) {
    if (previous >= 0) {
      EXPECT_NEAR(bottom - previous, pitch, kTolerance);
    }
    previous = bottom;
  }
  // Right alignment ends the last word at the box's right edge.
  std::vector<Word> right = WordsIn(words, 50, 30, 40, 5);
  ASSERT_FALSE(right.empty());
  EXPECT_NEAR(right.back().xMax, 90, 0.3);
}

TEST(ExportText, FontsAreEmbeddedSubsetAndArialIsLiberationSans) {
  auto exported = Export({Page({Text("a", 5, 5, 80, 6, "Arial text"),
                                Text("b", 5, 15, 80, 6, "Courier text", R"(,"fuente":"Courier New")"),
                                Text("c", 5, 25, 80, 6, "Bold text", R"(,"negrita":true)")})},
                         Pdf());
  ASSERT_TRUE(exported->result.ok);
  EXPECT_FALSE(exported->HasWarning("font-substituted"));
  int status = 0;
  std::string fonts = RunOnFile(exported->target.Bytes(0), ".pdf", "pdffonts {}", status);
  ASSERT_EQ(status, 0);
  EXPECT_NE(fonts.find("LiberationSans "), std::string::npos) << fonts;
  EXPECT_NE(fonts.find("LiberationMono"), std::string::npos) << fonts;
  EXPECT_NE(fonts.find("LiberationSans-Bold"), std::string::npos) << fonts;
  EXPECT_EQ(fonts.find("Type 3"), std::string::npos) << fonts;
  std::istringstream lines(fonts);
  std::string line;
  std::getline(lines, line);
  std::getline(lines, line);
  int rows = 0;
  while (std::getline(lines, line)) {
    ++rows;
    EXPECT_NE(line.find("yes yes yes"), std::string::npos) << "embedded, subset, unicode: " << line;
  }
  EXPECT_EQ(rows, 3);
}

TEST(ExportText, UnknownFontWarnsOncePerFamilyAndMissingGlyphsAreCounted) {
  auto exported = Export({Page({Text("u1", 5, 5, 80, 6, "uno", R"(,"fuente":"Nonexistent Grotesk")"),
                                Text("u2", 5, 15, 80, 6, "dos", R"(,"fuente":"Nonexistent Grotesk")"),
                                Text("g", 5, 25, 80, 6, "sin \xf4\x8f\xbf\xbd glifo")})},
                         Pdf());
  int substitutions = 0;
  for (const out::ExportWarning& w : exported->result.warnings) substitutions += w.code == "font-substituted";
  EXPECT_EQ(substitutions, 1);
  EXPECT_TRUE(exported->HasWarning("font-substituted", "u1"));
  EXPECT_TRUE(exported->HasWarning("glyph-missing", "g"));
  std::vector<Word> words = PdfWords(exported->target.Bytes(0));
  ASSERT_GE(words.size(), 2u);
  EXPECT_EQ(words[0].text, "uno");
}

TEST(ExportText, TooWideTextIsCondensedThenClippedAndNeverLeavesItsBox) {
  const std::string capitals = "BARCELONA VALENCIA SEVILLA";
  const std::string wide = "WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW";
  // 26 capitals at 0.52 em fit the engine's line; at 0.60 em they are condensed, not clipped.
  const double capitalsWidth = 26 * 9 * TextLines::kMmPorPunto * TextLines::kFactorAnchoCaracter + 0.5;
  auto exported = Export({Page({Text("caps", 5, 5, capitalsWidth, 5, capitals),
                                Text("ws", 5, 15, 40, 5, wide, R"(,"modoAjusteTexto":"truncate")"),
                                Text("shrunk", 5, 25, 40, 5, wide, R"(,"modoAjusteTexto":"shrink")")})},
                         Pdf());
  EXPECT_FALSE(exported->HasWarning("text-clipped", "caps"));
  EXPECT_TRUE(exported->HasWarning("text-clipped", "ws"));
  EXPECT_FALSE(exported->HasWarning("text-clipped", "shrunk"));
  for (const out::ExportWarning& w : exported->result.warnings) {
    if (w.code == "text-clipped") {
      EXPECT_TRUE(w.contentLost);
    }
  }
  std::vector<Word> words = PdfWords(exported->target.Bytes(0));
  std::vector<Word> caps = WordsIn(words, 5, 5, capitalsWidth, 5);
  ASSERT_EQ(caps.size(), 3u);
  EXPECT_LE(caps[2].xMax, 5 + capitalsWidth + kTolerance);

  // Clipped glyphs still exist in the PDF, but no ink leaves the box: check the pixels.
  auto png = Export({Page({Text("ws", 5, 15, 40, 5, wide, R"(,"modoAjusteTexto":"truncate")")})}, Png(150));
  Image image = ReadPng(png->target.Bytes(1));
  for (int y = 0; y < image.height; ++y) {
    for (int x = static_cast<int>(45.2 / 25.4 * 150); x < image.width; ++x) ASSERT_FALSE(image.Dark(x, y)) << x << "," << y;
  }
}

TEST(ExportText, AdversarialCorpusFitsOrIsClippedAsPredicted) {
  struct Case {
    std::string id, text, extra;
    bool clipped;
  };
  const std::vector<Case> corpus = {
      {"capitals", "MAYUSCULAS ANCHAS", "", false},
      {"digits", "0123456789 0123456789", "", false},
      {"mono", "Courier monospace", R"(,"fuente":"Courier New")", false},
      {"unknown", "Fuente desconocida", R"(,"fuente":"Zapfino Nowhere","familiaPitchFuente":18)", false},
      {"bold", "NEGRITA EN MAYUSCULAS", R"(,"negrita":true)", false},
      {"arabic", "\xd9\x85\xd8\xb1\xd8\xad\xd8\xa8\xd8\xa7 \xd8\xa8\xd9\x83", "", false},
      {"hebrew", "\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d \xd7\xa2\xd7\x95\xd7\x9c\xd7\x9d", "", false},
      {"combining", "Cafe\xcc\x81 nin\xcc\x83o", "", false},
      {"rotated", "Texto girado", R"(,"rotacion":90)", false},
      {"narrow", "WWWWWWWWWWWWWWWWWWWW", R"(,"modoAjusteTexto":"truncate")", true},
  };
  std::vector<Value> objects;
  double y = 3;
  for (const Case& c : corpus) {
    bool rotated = c.id == "rotated";
    objects.push_back(Text(c.id, 5, y, rotated ? 6 : (c.clipped ? 20 : 90), rotated ? 40 : 5, c.text, c.extra));
    y += rotated ? 42 : 6;
  }
  auto exported = Export({Page(objects)}, Pdf(), 100, y + 5);
  ASSERT_TRUE(exported->result.ok);
  for (const Case& c : corpus) EXPECT_EQ(exported->HasWarning("text-clipped", c.id), c.clipped) << c.id;
  EXPECT_TRUE(exported->HasWarning("font-substituted", "unknown"));
  int status = 0;
  std::string text = RunOnFile(exported->target.Bytes(0), ".pdf", "pdftotext {} -", status);
  for (const char* needle : {"MAYUSCULAS", "0123456789", "Courier", "desconocida", "NEGRITA", "girado"}) {
    EXPECT_NE(text.find(needle), std::string::npos) << needle;
  }
}

TEST(ExportText, FragmentsKeepTheirLinesAndVerticalAlignmentPlacesTheBlock) {
  Value fragment = Text("frag", 5, 5, 20, 20, "una linea muy larga que no se parte\nsegunda",
                        R"(,"finalesParrafo":[false,true])");
  out::ExportWarnings warnings;
  out::RenderObjectReader reader(fragment, 1, warnings);
  std::vector<TextLines::Line> lines = out::TextPainter::LinesOf(reader, 20);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].texto, "una linea muy larga que no se parte");
  EXPECT_FALSE(lines[0].finParrafo);

  // Wrapped lines are the engine's: the same as TextLines over the inner width.
  Value wrapped = Text("w", 0, 0, 30, 20, "Calle del Rio 6 41001 SEVILLA ESPANA", R"(,"paddingIzquierdo":2,"paddingDerecho":3)");
  out::RenderObjectReader wrappedReader(wrapped, 1, warnings);
  std::vector<TextLines::Line> expected = TextLines::Lines("Calle del Rio 6 41001 SEVILLA ESPANA", 25, 9, true);
  std::vector<TextLines::Line> got = out::TextPainter::LinesOf(wrappedReader, 25);
  ASSERT_EQ(got.size(), expected.size());
  for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i].texto, expected[i].texto);

  auto exported = Export({Page({Text("bottom", 5, 5, 60, 30, "abajo", R"(,"alineacionVertical":"bottom")"),
                                Text("top", 70, 5, 25, 30, "arriba")})},
                         Pdf());
  std::vector<Word> words = PdfWords(exported->target.Bytes(0));
  ASSERT_EQ(words.size(), 2u);
  const Word& top = words[0].text == "arriba" ? words[0] : words[1];
  const Word& bottom = words[0].text == "abajo" ? words[0] : words[1];
  EXPECT_GT(bottom.yMax, 33.5);
  // Poppler places the descent by the font's bounding box, up to 0.03 em below the engine's line.
  EXPECT_LE(bottom.yMax, 35 + 0.03 * 9 * TextLines::kMmPorPunto);
  EXPECT_LT(top.yMax, 9);
}

TEST(ExportText, FormattedRunsRichTextAndRunsThatDoNotSpellTheText) {
  Value formatted = Text("f", 5, 5, 90, 6, "normal negrita", R"(,"tipo":"texto_formateado","runs":[
      {"cText":"normal "},{"cText":"negrita","lFontBold":true}])");
  Value mismatched = Text("m", 5, 15, 90, 6, "otro texto", R"(,"tipo":"texto_formateado","runs":[{"cText":"distinto"}])");
  Value rich = Obj(R"({"tipo":"texto_enriquecido","id":"rt","x":5,"y":25,"ancho":40,"alto":20,
      "plainContent":"Texto enriquecido que Pango parte en lineas","hasVisibleContent":true,"overflow":"hidden"})");
  auto exported = Export({Page({formatted, mismatched, rich})}, Pdf());
  EXPECT_TRUE(exported->HasWarning("text-runs", "m"));
  EXPECT_FALSE(exported->HasWarning("text-runs", "f"));
  int status = 0;
  std::string fonts = RunOnFile(exported->target.Bytes(0), ".pdf", "pdffonts {}", status);
  EXPECT_NE(fonts.find("LiberationSans-Bold"), std::string::npos) << fonts;
  std::vector<Word> words = PdfWords(exported->target.Bytes(0));
  std::vector<std::string> richWords;
  for (const Word& word : WordsIn(words, 5, 25, 40, 20)) {
    richWords.push_back(word.text);
    EXPECT_LE(word.xMax, 45 + kTolerance) << word.text;
  }
  EXPECT_EQ(richWords, SplitWords("Texto enriquecido que Pango parte en lineas"));
}

TEST(ExportText, CrosstabDrawsLabelsAndSumsInItsGrid) {
  Value crosstab = Obj(R"({"tipo":"crosstab","id":"ct","x":5,"y":5,"ancho":90,"alto":30,
      "filas":{"n":"Norte","s":"Sur"},"columnas":{"2025":"2025","2026":"2026"},
      "celdas":{"n":{"2025":10,"2026":12.5},"s":{"2026":7}}})");
  auto exported = Export({Page({crosstab})}, Pdf());
  EXPECT_TRUE(exported->result.warnings.empty());
  std::vector<Word> words = PdfWords(exported->target.Bytes(0));
  // Grid order: by row, then left to right.
  std::stable_sort(words.begin(), words.end(), [](const Word& a, const Word& b) {
    return std::lround(a.yMax) != std::lround(b.yMax) ? a.yMax < b.yMax : a.xMin < b.xMin;
  });
  std::vector<std::string> texts;
  for (const Word& word : words) {
    texts.push_back(word.text);
    EXPECT_GE(word.xMin, 5 - kTolerance);
    EXPECT_LE(word.xMax, 95 + kTolerance);
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"2025", "2026", "Norte", "10", "12.5", "Sur", "7"}));
}

TEST(ExportText, RichTextHtmlKeepsItsStylesAndLineBreaks) {
  Value rich = Obj(R"({"tipo":"texto_enriquecido","id":"html","x":5,"y":5,"ancho":80,"alto":30,
      "contentFormat":"html","content":"<p>Hola <b>negrita</b> y <i>cursiva</i></p><p>segunda<br>tercera <span style=\"color: #ff0000\">roja</span></p>",
      "plainContent":"Hola negrita y cursiva segunda tercera roja","hasVisibleContent":true,"overflow":"hidden"})");
  auto exported = Export({Page({rich})}, Pdf());
  EXPECT_TRUE(exported->result.warnings.empty());
  int status = 0;
  std::string fonts = RunOnFile(exported->target.Bytes(0), ".pdf", "pdffonts {}", status);
  EXPECT_NE(fonts.find("LiberationSans-Bold"), std::string::npos) << fonts;
  EXPECT_NE(fonts.find("LiberationSans-Italic"), std::string::npos) << fonts;
  std::vector<Word> words = PdfWords(exported->target.Bytes(0));
  std::vector<std::string> texts;
  std::set<long> lines;
  for (const Word& word : words) {
    texts.push_back(word.text);
    lines.insert(std::lround(word.yMax * 10));
  }
  EXPECT_EQ(texts, SplitWords("Hola negrita y cursiva segunda tercera roja"));
  EXPECT_EQ(lines.size(), 3u) << "a paragraph and a line break start new lines";
}

TEST(ExportText, InvalidUtf8IsDrawnWithEveryValidWordAroundIt) {
  // Bytes that are no UTF-8 (a stray continuation byte, a truncated sequence, a NUL) become '?',
  // one for one, so the words after them are still drawn and runs keep their offsets.
  Value text = Text("roto", 3, 5, 90, 6, "placeholder");
  text.Set("texto", Value(std::string("Alfa \xff\xfe Beta \xe2\x82 Gamma ") + std::string(1, '\0') + " Delta"));
  auto exported = Export({Page({text})}, Pdf(), 100, 20);
  ASSERT_TRUE(exported->result.ok);
  std::string drawn;
  for (const Word& word : PdfWords(exported->target.Bytes(0))) drawn += word.text + " ";
  for (const char* expected : {"Alfa", "Beta", "Gamma", "Delta"}) EXPECT_NE(drawn.find(expected), std::string::npos) << drawn;
}

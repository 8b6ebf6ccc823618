// The line rule pagination and the exporter share: its own cases, and the same lines as
// pagination cuts when every page holds one line.
#include <gtest/gtest.h>

#include "Accessors.h"
#include "TextLines.h"
#include "run/TMotorPaginacion.h"

using namespace nv;

namespace {

std::vector<std::string> Texts(const std::vector<TextLines::Line>& lines) {
  std::vector<std::string> texts;
  for (const TextLines::Line& line : lines) texts.push_back(line.texto);
  return texts;
}

// Pagination's fragments of a text in a box one 10 pt line high: one fragment per line.
std::vector<std::string> PaginationLines(const std::string& text, double width, bool wrap) {
  Value object = Value::NewHash();
  object.Set("id", Value("t"));
  object.Set("tipo", Value("texto"));
  object.Set("texto", Value(text));
  object.Set("x", Value::Int(0));
  object.Set("y", Value::Int(0));
  object.Set("ancho", Value(width));
  object.Set("alto", Value::Int(4));
  object.Set("tamano", Value::Int(10));
  object.Set("ajusteLinea", Value(wrap));
  object.Set("permiteSaltoPagina", Value(true));
  auto engine = TMotorPaginacion::New(Value::NewHash());
  engine->Create();
  Value pages = engine->DividirObjetos(Value::FromArray({object}));
  std::vector<std::string> texts;
  for (const Value& page : pages.AsArray()) texts.push_back(ValueString(HGet(page.Item(1), "texto")));
  return texts;
}

}  // namespace

TEST(TextLines, CharactersPerLineAndParagraphCuts) {
  // 10 pt characters are 1.834 mm wide: 10 mm hold 5; no width means no limit.
  EXPECT_EQ(TextLines::CharactersPerLine(10, 10), 5);
  EXPECT_EQ(TextLines::CharactersPerLine(0.5, 10), 1);
  EXPECT_EQ(TextLines::CharactersPerLine(0, 10), TextLines::kCaracteresSinLimite);
  EXPECT_EQ(TextLines::CharactersPerLine(10, 0), TextLines::CharactersPerLine(10, 0.1));
  EXPECT_EQ(TextLines::SplitParagraph("uno dos tres", 5), (std::vector<std::string>{"uno ", "dos ", "tres"}));
  EXPECT_EQ(TextLines::SplitParagraph("abcdefg", 3), (std::vector<std::string>{"abc", "def", "g"}));
  EXPECT_EQ(TextLines::NormalizeLineBreaks("a\r\nb\rc\n"), "a\nb\nc\n");

  std::vector<TextLines::Line> lines = TextLines::Lines("uno dos\r\nx", 10, 10, true);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_FALSE(lines[0].finParrafo);
  EXPECT_TRUE(lines[1].finParrafo);
  EXPECT_TRUE(lines[2].finParrafo);
  EXPECT_EQ(Texts(TextLines::Lines(std::string(30, 'x') + "\nfin", 10, 10, false)),
            (std::vector<std::string>{std::string(30, 'x'), "fin"}));
}

TEST(TextLines, SameLinesAsPagination) {
  struct Case {
    std::string text;
    double width;
    bool wrap;
  };
  for (const Case& c : std::vector<Case>{{"uno dos tres", 10, true},
                                         {std::string(43, 'a'), 40, true},
                                         {"abcd efgh", 10, true},
                                         {"\xc3\xb1\xc3\xb1\xc3\xb1\xc3\xb1\xc3\xb1\xc3\xb1", 10, true},
                                         {"Avenida del Puerto 4\nLocal 2\r\n08002 BARCELONA", 25, true},
                                         {std::string(50, 'x') + "\nfin", 10, false}}) {
    EXPECT_EQ(Texts(TextLines::Lines(c.text, c.width, 10, c.wrap)), PaginationLines(c.text, c.width, c.wrap)) << c.text;
  }
}

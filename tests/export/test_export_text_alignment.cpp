// Justified lines and the decimal tab of texts, read back from the PDF with pdftotext -bbox:
// justified lines end at the inner right edge while a paragraph's last line keeps its alignment,
// numbers line up on their decimal separator, and values that cannot be honoured warn once and
// draw the object's own alignment.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>

#include "DecimalTab.h"
#include "ExportTestSupport.h"
#include "TextLines.h"

using namespace nv;
using namespace nv::exporttest;

namespace {

constexpr double kEdgeTolerance = 0.1;


// The words inside a box (by their centre), grouped into lines by their bottom, top to bottom.
std::vector<std::vector<Word>> LinesIn(const std::vector<Word>& words, double x, double y, double w, double h) {
  std::map<long, std::vector<Word>> lines;
  for (const Word& word : words) {
    double cx = (word.xMin + word.xMax) / 2, cy = (word.yMin + word.yMax) / 2;
    if (cx >= x && cx <= x + w && cy >= y && cy <= y + h) lines[std::lround(word.yMax * 10)].push_back(word);
  }
  std::vector<std::vector<Word>> out;
  for (auto& [bottom, line] : lines) out.push_back(line);
  return out;
}

const std::string kParagraph =
    "La entrega se realiza en horario de manana salvo aviso previo del cliente por escrito y con "
    "tres dias de antelacion sobre la fecha pactada";

}  // namespace

TEST(ExportTextJustified, LinesReachTheRightEdgeExceptEachParagraphsLast) {
  const double x = 5, y = 5, w = 50, h = 40, padding = 2;
  const std::string text = kParagraph + "\nSegundo parrafo corto y final de todo el texto";
  const std::string extra = R"(,"ajustado":true,"paddingIzquierdo":2,"paddingDerecho":2)";
  auto exported = Export({Page({Text("j", x, y, w, h, text, extra)})}, Pdf());
  ASSERT_TRUE(exported->result.ok);
  EXPECT_TRUE(exported->result.warnings.empty());

  std::vector<TextLines::Line> expected = TextLines::Lines(text, w - 2 * padding, 9, true);
  std::vector<std::vector<Word>> lines = LinesIn(PdfWords(exported->target.Bytes(0)), x, y, w, h);
  ASSERT_EQ(lines.size(), expected.size());
  ASSERT_GE(lines.size(), 4u);
  const double left = x + padding, right = x + w - padding;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string joined;
    for (const Word& word : lines[i]) joined += (joined.empty() ? "" : " ") + word.text;
    EXPECT_EQ(joined + " ", expected[i].texto + (expected[i].finParrafo ? " " : "")) << i;
    EXPECT_NEAR(lines[i].front().xMin, left, kEdgeTolerance) << i;
    if (expected[i].finParrafo) {
      EXPECT_LT(lines[i].back().xMax, right - 5) << "a paragraph's last line is not stretched: " << i;
    } else {
      EXPECT_NEAR(lines[i].back().xMax, right, kEdgeTolerance) << "justified line " << i;
    }
    for (const Word& word : lines[i]) EXPECT_LE(word.xMax, right + 0.05) << word.text;
  }
}

TEST(ExportTextJustified, JustifyAlignmentWordsAndRightAlignedLastLines) {
  // "alineacion" justify justifies too; with "ajustado" the last line keeps a right alignment.
  auto exported = Export({Page({Text("word", 5, 5, 40, 25, kParagraph, R"(,"alineacion":"justificado")"),
                                Text("right", 50, 5, 40, 25, kParagraph, R"(,"ajustado":true,"alineacion":"right")"),
                                Text("plain", 5, 32, 40, 25, kParagraph)})},
                         Pdf(), 100, 60);
  EXPECT_TRUE(exported->result.warnings.empty());
  std::vector<Word> words = PdfWords(exported->target.Bytes(0));
  std::vector<std::vector<Word>> justified = LinesIn(words, 5, 5, 40, 25);
  std::vector<std::vector<Word>> right = LinesIn(words, 50, 5, 40, 25);
  std::vector<std::vector<Word>> plain = LinesIn(words, 5, 32, 40, 25);
  ASSERT_GE(justified.size(), 3u);
  ASSERT_EQ(right.size(), justified.size());
  ASSERT_EQ(plain.size(), justified.size());
  EXPECT_NEAR(justified[0].back().xMax, 45, kEdgeTolerance);
  EXPECT_LT(plain[0].back().xMax, 45 - 1) << "left-aligned text is not stretched";
  EXPECT_NEAR(right[0].front().xMin, 50, kEdgeTolerance);
  EXPECT_NEAR(right.back().back().xMax, 90, kEdgeTolerance);
  EXPECT_GT(right.back().front().xMin, 50 + 5) << "the last line is right-aligned, not stretched";
}

TEST(ExportTextJustified, OneWordLinesFragmentsAndTruncatedTextsAreNotStretched) {
  // A line without a space stays as it is; a fragment's line that continues its paragraph on the
  // next page is stretched; one line per paragraph (truncate) leaves nothing to justify.
  auto exported = Export({Page({Text("word", 5, 5, 60, 6, "Supercalifragilistico\nfin", R"(,"ajustado":true)"),
                                Text("frag", 5, 15, 60, 10, "primera linea de un fragmento\ncontinua",
                                     R"(,"ajustado":true,"finalesParrafo":[false,false])"),
                                Text("trunc", 5, 30, 60, 6, "una sola linea", R"(,"ajustado":true,"modoAjusteTexto":"truncate")")})},
                         Pdf());
  std::vector<Word> words = PdfWords(exported->target.Bytes(0));
  std::vector<std::vector<Word>> word = LinesIn(words, 5, 5, 60, 6);
  ASSERT_FALSE(word.empty());
  EXPECT_NEAR(word[0].front().xMin, 5, kEdgeTolerance);
  EXPECT_LT(word[0].front().xMax, 45);
  std::vector<std::vector<Word>> frag = LinesIn(words, 5, 15, 60, 10);
  ASSERT_EQ(frag.size(), 2u);
  EXPECT_NEAR(frag[0].back().xMax, 65, kEdgeTolerance);
  EXPECT_NEAR(frag[1].front().xMin, 5, kEdgeTolerance) << "one word: nothing to widen";
  std::vector<std::vector<Word>> trunc = LinesIn(words, 5, 30, 60, 6);
  ASSERT_EQ(trunc.size(), 1u);
  EXPECT_LT(trunc[0].back().xMax, 40);
}

TEST(ExportTextDecimal, NumbersOfDifferentLengthsLineUpOnTheSeparator) {
  // Tab at 20 mm from the inner left edge (box at 10, padding 2): separators start at 32 mm.
  const double tab = 20, left = 12;
  const std::vector<std::string> amounts = {"1,50", "1234,50", "-87,25", "Total 12.345,75"};
  std::vector<Value> objects;
  double y = 4;
  for (size_t i = 0; i < amounts.size(); ++i, y += 6) {
    objects.push_back(Text("n" + std::to_string(i), 10, y, 50, 5, amounts[i],
                           R"(,"posicionDecimal":20,"paddingIzquierdo":2,"alineacion":"right")"));
  }
  objects.push_back(Text("int", 10, y, 50, 5, "42", R"(,"posicionDecimal":20,"paddingIzquierdo":2)"));
  objects.push_back(Text("label", 10, y + 6, 50, 5, "Sin importe", R"(,"posicionDecimal":20,"paddingIzquierdo":2)"));
  objects.push_back(Text("none", 10, y + 12, 50, 5, "9,99", R"(,"posicionDecimal":-10,"alineacion":"right")"));
  auto exported = Export({Page(objects)}, Pdf());
  EXPECT_TRUE(exported->result.warnings.empty()) << exported->result.warnings.front().message;
  std::vector<Word> words = PdfWords(exported->target.Bytes(0));
  auto line = [&](double top) {
    std::vector<std::vector<Word>> lines = LinesIn(words, 10, top, 50, 5);
    return lines.empty() ? std::vector<Word>{Word{}} : lines[0];
  };
  auto last = [&](double top) { return line(top).back(); };
  // Liberation Sans: a comma 0.278 em and tabular digits 0.556 em wide.
  const double em = 9 * TextLines::kMmPorPunto;
  const double separatorAndTwoDigits = (0.278 + 2 * 0.556) * em;
  for (size_t i = 0; i < amounts.size(); ++i) {
    EXPECT_NEAR(last(4 + 6.0 * i).xMax, left + tab + separatorAndTwoDigits, 0.05) << amounts[i];
  }
  EXPECT_NEAR(last(4 + 6.0 * 4).xMax, left + tab, 0.05) << "a number without separator ends at the tab";
  EXPECT_NEAR(line(4 + 6.0 * 5).front().xMin, 12, kEdgeTolerance) << "a line without digits keeps its alignment";
  EXPECT_NEAR(last(4 + 6.0 * 6).xMax, 60, kEdgeTolerance) << "-10 means no tab";
}

TEST(ExportTextDecimal, ValuesThatCannotBeHonouredWarnOnceAndDrawTheAlignment) {
  std::vector<Value> objects;
  const std::vector<std::pair<std::string, Value>> bad = {
      {"nan", Value::Dbl(std::numeric_limits<double>::quiet_NaN(), 2)},
      {"infinite", Value::Dbl(std::numeric_limits<double>::infinity(), 2)},
      {"negative", Value::Int(-3)},
      {"huge", Value::Dbl(1e12, 0)},
      {"beyond", Value::Int(51)},
      {"text", Value("derecha")},
  };
  double y = 3;
  for (const auto& [id, value] : bad) {
    Value text = Text(id, 10, y, 50, 5, "12,50 y 3,75", R"(,"alineacion":"right")");
    text.Set("posicionDecimal", value);
    objects.push_back(text);
    y += 6;
  }
  // A numeric text is a number, as other numeric keys read it.
  objects.push_back(Text("numeric", 10, y, 50, 5, "7,5", R"(,"posicionDecimal":"10,5")"));
  auto exported = Export({Page(objects)}, Pdf(), 100, 60);
  std::vector<Word> words = PdfWords(exported->target.Bytes(0));
  y = 3;
  for (const auto& [id, value] : bad) {
    EXPECT_TRUE(exported->HasWarning(out::DecimalTab::kWarning, id)) << id;
    std::vector<std::vector<Word>> lines = LinesIn(words, 10, y, 50, 5);
    ASSERT_EQ(lines.size(), 1u) << id;
    EXPECT_NEAR(lines[0].back().xMax, 60, kEdgeTolerance) << id << " draws right-aligned";
    y += 6;
  }
  EXPECT_FALSE(exported->HasWarning(out::DecimalTab::kWarning, "numeric"));
  std::vector<std::vector<Word>> numeric = LinesIn(words, 10, y, 50, 5);
  ASSERT_EQ(numeric.size(), 1u);
  EXPECT_NEAR(numeric[0].back().xMax, 10 + 10.5 + (0.278 + 0.556) * 9 * TextLines::kMmPorPunto, 0.05);
  int counted = 0;
  for (const out::ExportWarning& w : exported->result.warnings) counted += w.code == out::DecimalTab::kWarning;
  EXPECT_EQ(counted, static_cast<int>(bad.size())) << "one warning per object";
}

TEST(ExportTextDecimal, ANumberThatWouldLeaveTheBoxIsMovedBackInside) {
  // At 1 mm the integer digits would start left of the box; near the right edge the decimals
  // would pass it. Both lines are drawn whole inside the box, with a warning.
  auto exported = Export({Page({Text("left", 10, 5, 40, 5, "123456,78", R"(,"posicionDecimal":1)"),
                                Text("right", 10, 15, 40, 5, "5,123456", R"(,"posicionDecimal":39)")})},
                         Pdf());
  EXPECT_TRUE(exported->HasWarning(out::DecimalTab::kWarning, "left"));
  EXPECT_TRUE(exported->HasWarning(out::DecimalTab::kWarning, "right"));
  EXPECT_FALSE(exported->HasWarning("text-clipped"));
  std::vector<Word> words = PdfWords(exported->target.Bytes(0));
  ASSERT_EQ(words.size(), 2u);
  EXPECT_EQ(words[0].text, "123456,78");
  EXPECT_NEAR(words[0].xMin, 10, kEdgeTolerance);
  EXPECT_NEAR(words[1].xMax, 50, kEdgeTolerance);
}

TEST(ExportTextDecimal, TheAnchorIsTheLastNumbersSeparatorOrItsEnd) {
  using Anchor = std::optional<out::DecimalTab::Anchor>;
  auto at = [](std::string_view line) { return out::DecimalTab::AnchorOf(line); };
  auto is = [](Anchor anchor, size_t index, bool trailing) {
    return anchor && anchor->index == index && anchor->trailing == trailing;
  };
  EXPECT_TRUE(is(at("12,50"), 2, false));
  EXPECT_TRUE(is(at("1.234,56 EUR"), 5, false)) << "the last separator of the number";
  EXPECT_TRUE(is(at("Ref. 12"), 6, true)) << "a point not followed by a digit is no separator";
  EXPECT_TRUE(is(at("Total 2026."), 9, true));
  EXPECT_TRUE(is(at(".5"), 0, false));
  EXPECT_TRUE(is(at("de 3,5 a 12"), 10, true)) << "the last number of the line";
  EXPECT_FALSE(at("sin cifras").has_value());
  EXPECT_FALSE(at("").has_value());
}

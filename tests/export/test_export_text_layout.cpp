// Where every word of a text lands in the PDF, read back with pdftotext -bbox: inside its box, on
// the engine's lines in order, and one engine pitch below the line before it, for several sizes,
// line spacings and paragraph spacings; then an adversarial corpus of scripts, fonts and turns in
// which every object either fits with all its words or is one the test predicts to be clipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>

#include "ExportTestSupport.h"
#include "TextLines.h"

using namespace nv;
using namespace nv::exporttest;

namespace {

constexpr double kTolerance = 0.05;
// Liberation Sans (Arial): ascent and descent in em, as the PDF's font descriptor gives them.
constexpr double kAscent = 0.905;
constexpr double kDescent = 0.212;

struct Spacing {
  double size, leading, paragraph;
};



// The words inside a box (by their centre), grouped into lines by their bottom, top to bottom.
std::vector<std::vector<Word>> LinesIn(const std::vector<Word>& words, double x, double y, double w, double h) {
  std::map<long, std::vector<Word>> lines;
  for (const Word& word : words) {
    double cx = (word.xMin + word.xMax) / 2, cy = (word.yMin + word.yMax) / 2;
    if (cx >= x && cx <= x + w && cy >= y && cy <= y + h) lines[std::lround(word.yMax * 20)].push_back(word);
  }
  std::vector<std::vector<Word>> out;
  for (auto& [bottom, line] : lines) out.push_back(line);
  return out;
}

double PitchOf(const Spacing& s, bool paragraphEnd) {
  return std::max(0.1, (s.size + (paragraphEnd ? s.paragraph : s.leading)) * TextLines::kMmPorPunto);
}

const std::string kTwoParagraphs =
    "Recogida en el muelle 4 del puerto antes de las 10 horas con albaran firmado\n"
    "Entregar en recepcion y avisar al responsable de almacen";

}  // namespace

TEST(ExportTextLayout, BaselinesAreOneEnginePitchApartForEverySizeAndSpacing) {
  const std::vector<Spacing> spacings = {{6, 0, 0}, {9, 2, 4}, {9, -1, 0}, {14, 3.5, 1}, {20, 0, 8}};
  const double x = 10, w = 70, padding = 1.5;
  std::vector<Value> objects;
  std::vector<double> tops;
  double y = 4;
  for (size_t i = 0; i < spacings.size(); ++i) {
    const Spacing& s = spacings[i];
    std::vector<TextLines::Line> lines = TextLines::Lines(kTwoParagraphs, w - 2 * padding, s.size, true);
    double block = 0;
    for (const TextLines::Line& line : lines) block += PitchOf(s, line.finParrafo);
    const double h = block + 2 * padding + 1;
    std::ostringstream extra;
    extra << R"(,"tamano":)" << s.size << R"(,"interlineado":)" << s.leading << R"(,"espaciadoParrafo":)" << s.paragraph
          << R"(,"paddingSuperior":1.5,"paddingIzquierdo":1.5,"paddingDerecho":1.5,"paddingInferior":1.5)";
    objects.push_back(Text("t" + std::to_string(i), x, y, w, h, kTwoParagraphs, extra.str()));
    tops.push_back(y);
    y += h + 3;
  }
  auto exported = Export({Page(objects)}, Pdf(), 100, y);
  ASSERT_TRUE(exported->result.ok);
  EXPECT_TRUE(exported->result.warnings.empty()) << exported->result.warnings.front().message;
  std::vector<Word> words = PdfWords(exported->target.Bytes(0));

  for (size_t i = 0; i < spacings.size(); ++i) {
    const Spacing& s = spacings[i];
    const double sizeMm = s.size * TextLines::kMmPorPunto;
    std::vector<TextLines::Line> expected = TextLines::Lines(kTwoParagraphs, w - 2 * padding, s.size, true);
    const double h = (i + 1 < tops.size() ? tops[i + 1] - 3 : y - 3) - tops[i];
    std::vector<std::vector<Word>> lines = LinesIn(words, x, tops[i], w, h);
    ASSERT_EQ(lines.size(), expected.size()) << "size " << s.size;
    double baseline = tops[i] + padding + kAscent / (kAscent + kDescent) * sizeMm;
    for (size_t l = 0; l < lines.size(); ++l) {
      std::vector<std::string> found;
      for (const Word& word : lines[l]) {
        found.push_back(word.text);
        EXPECT_GE(word.xMin, x + padding - kTolerance) << word.text;
        EXPECT_LE(word.xMax, x + w - padding + kTolerance) << word.text;
        EXPECT_NEAR(word.yMax - kDescent * sizeMm, baseline, kTolerance) << "size " << s.size << " line " << l;
      }
      EXPECT_EQ(found, SplitWords(expected[l].texto)) << "size " << s.size << " line " << l;
      baseline += PitchOf(s, expected[l].finParrafo);
    }
    // The last line's descent stays inside the inner box.
    EXPECT_LE(lines.back().back().yMax, tops[i] + h - padding + 0.03 * sizeMm);
  }
}

TEST(ExportTextLayout, AdversarialCorpusFitsWithEveryWordInOrderOrIsPredictedClipped) {
  // Widths in em against the engine's 0.52: text predicted to need more than the 0.80 condensing
  // floor of "wrap" is clipped, anything narrower fits. A turned text measures along its turn.
  int status = 0;
  const bool cjkFont = !RunCommand("fc-list ':charset=6771 8c37'", status).empty();
  struct Case {
    std::string id, text, extra;
    double w, h;
    bool clipped;
    bool rightToLeft = false;
  };
  const std::vector<Case> corpus = {
      {"capitals", "MAYUSCULAS ANCHAS EN UNA CAJA JUSTA", "", 52, 5, false},
      {"digits", "0123456789 9876543210 5555", "", 38, 5, false},
      {"ws", "WWWWWWWW WWWWWWWW", R"(,"modoAjusteTexto":"truncate")", 26, 5, true},
      {"courier", "Courier en su caja", R"(,"fuente":"Courier New")", 30, 5, false},
      {"unknown", "Fuente que no existe", R"(,"fuente":"Zapfino Nowhere","familiaPitchFuente":34)", 40, 5, false},
      {"bold", "NEGRITA MAYUSCULA", R"(,"negrita":true)", 36, 5, false},
      {"arabic", "\xd9\x85\xd8\xb1\xd8\xad\xd8\xa8\xd8\xa7 \xd8\xa8\xd9\x83\xd9\x85", "", 40, 5, false, true},
      {"hebrew", "\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d \xd7\xa2\xd7\x95\xd7\x9c\xd7\x9d", "", 40, 5, false, true},
      {"combining", "Cafe\xcc\x81 nin\xcc\x83o man\xcc\x83" "ana", "", 40, 5, false},
      {"cjk", "\xe6\x9d\xb1\xe4\xba\xac\xe9\x83\xbd\xe6\xb8\x8b\xe8\xb0\xb7\xe5\x8c\xba\xe6\x9d\xb1\xe4\xba\xac", "", 12, 10, true},
  };
  std::vector<Value> objects;
  std::vector<double> tops;
  double y = 3;
  std::vector<double> heights;
  for (const Case& c : corpus) {
    // Tall enough for the engine's lines: a clipped object is clipped across, never below.
    const double h = std::max(c.h, static_cast<double>(TextLines::Lines(c.text, c.w, 9, true).size()) * 9 * TextLines::kMmPorPunto + 0.5);
    objects.push_back(Text(c.id, 5, y, c.w, h, c.text, R"(,"tamano":9)" + c.extra));
    tops.push_back(y);
    heights.push_back(h);
    y += h + 2;
  }
  for (int turn : {90, 180, 270}) {
    objects.push_back(Text("turn" + std::to_string(turn), 70, 3 + (turn / 90 - 1) * 45.0, turn == 180 ? 40 : 6,
                           turn == 180 ? 6 : 40, "Texto girado " + std::to_string(turn), R"(,"tamano":9,"rotacion":)" + std::to_string(turn)));
  }
  auto exported = Export({Page(objects)}, Pdf(), 120, std::max(y, 140.0));
  ASSERT_TRUE(exported->result.ok);
  std::vector<Word> words = PdfWords(exported->target.Bytes(0));
  for (size_t i = 0; i < corpus.size(); ++i) {
    const Case& c = corpus[i];
    EXPECT_EQ(exported->HasWarning("text-clipped", c.id), c.clipped) << c.id;
    if (c.clipped) continue;
    std::vector<std::string> found;
    for (const std::vector<Word>& line : LinesIn(words, 5, tops[i], c.w, heights[i])) {
      for (const Word& word : line) {
        found.push_back(word.text);
        EXPECT_GE(word.xMin, 5 - kTolerance) << c.id << " " << word.text;
        EXPECT_LE(word.xMax, 5 + c.w + kTolerance) << c.id << " " << word.text;
      }
    }
    std::vector<std::string> expected = SplitWords(c.text);
    if (c.rightToLeft) {
      // Poppler lists right-to-left text one glyph at a time in visual order: read backwards, the
      // glyphs spell the words.
      std::string backwards, letters;
      for (auto it = found.rbegin(); it != found.rend(); ++it) backwards += *it;
      for (const std::string& word : expected) letters += word;
      EXPECT_EQ(backwards, letters) << c.id;
    } else {
      EXPECT_EQ(found, expected) << c.id;
    }
  }
  EXPECT_TRUE(exported->HasWarning("font-substituted", "unknown"));
  EXPECT_EQ(exported->HasWarning("glyph-missing", "cjk"), !cjkFont);
  for (int turn : {90, 180, 270}) EXPECT_FALSE(exported->HasWarning("text-clipped", "turn" + std::to_string(turn))) << turn;
  std::string text = RunOnFile(exported->target.Bytes(0), ".pdf", "pdftotext {} -", status);
  for (const char* needle : {"girado 90", "girado 180", "girado 270"}) EXPECT_NE(text.find(needle), std::string::npos) << needle;
}

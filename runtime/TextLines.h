#pragma once
// The engine's line rule for plain text: how many characters fit a line of a box and where a
// paragraph breaks. Pagination measures boxes with it and the exporter draws the same lines, so a
// text prints on as many lines as the page layout reserved for it, on every machine.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nv {

class TextLines {
 public:
  /// Millimetres per typographic point (25.4 / 72 to 15 decimal places).
  static constexpr double kMmPorPunto = 0.352777777777778;
  /// Average character width as a fraction of the font size.
  static constexpr double kFactorAnchoCaracter = 0.52;
  /// Characters per line of a box without usable width.
  static constexpr int64_t kCaracteresSinLimite = 2147483647;

  /// One line as drawn in a box: its text and whether it closes a paragraph.
  struct Line {
    std::string texto;
    bool finParrafo = false;
  };

  /// Returns the characters that fit a line of availableMm millimetres at sizePt points (the size
  /// floored at 0.1): at least 1, kCaracteresSinLimite when the width is not positive.
  static int64_t CharactersPerLine(double availableMm, double sizePt);
  /// Cuts a paragraph into pieces of at most n UTF-8 characters, breaking after a blank when one
  /// lies within reach and cutting hard otherwise. Joining the pieces gives the paragraph back.
  static std::vector<std::string> SplitParagraph(std::string_view text, int64_t n);
  /// The paragraphs of a text split at line feeds (always at least one).
  static std::vector<std::string_view> SplitAtLineFeeds(std::string_view text);
  /// The text with carriage-return/line-feed pairs and lone carriage returns turned into line feeds.
  static std::string NormalizeLineBreaks(std::string_view text);
  /// The visual lines of a text in a box availableMm wide at sizePt points; without wrap, one line
  /// per paragraph.
  static std::vector<Line> Lines(std::string_view text, double availableMm, double sizePt, bool wrap);
};

}  // namespace nv

#pragma once
// The canonical form of a table's sections: every stored or hand-written line, cell, background,
// border, padding, reserved space, zebra pattern and group setting becomes a fully defaulted hash
// with its keys in a fixed order. Each function is pure: it reads any Value (a non-hash counts as
// an empty hash), never writes into its input, and never fails.

#include <string_view>

#include "Value.h"

namespace nv {

class TableNormalizer {
 public:
  /// Millimetres below which no column is made by normalization.
  static constexpr double kMinColumnWidth = 5.0;

  /// True for a text of exactly "#" and six hexadecimal digits (either case).
  static bool IsSixDigitColor(const Value& v);
  /// A flag that defaults to true: false only for the logical false.
  static bool FlagDefaultTrue(const Value& hash, std::string_view key);
  /// A flag that defaults to false: true only for the logical true.
  static bool FlagDefaultFalse(const Value& hash, std::string_view key);
  /// The stored text under key, or "" for anything else.
  static Value TextOrEmpty(const Value& hash, std::string_view key);

  /// "cColor", "cColorFormula", "cFillStyle", "cFillColor2", "cFillColor3", "nFillOpacity" (0..1).
  static Value NormalizeBackground(const Value& background);
  static Value DefaultBackground();
  /// "lTop", "lBottom", "lLeft", "lRight", "lVerticalSeparators", "cColor", "cColorFormula",
  /// "nWidth" (at least 0), "nRounded" (0..100); verticalDefault applies when the key is absent.
  static Value NormalizeLineBorder(const Value& border, bool verticalDefault);
  static Value DefaultLineBorder(bool verticalDefault = true);
  /// "nTop", "nRight", "nBottom", "nLeft", each at least 0 millimetres (padding, reserved space).
  static Value NormalizeBox(const Value& box);
  static Value DefaultBox();
  /// "lTop", "lRight", "lBottom", "lLeft", "cColor", "nWidth".
  static Value NormalizeCellBorder(const Value& border);
  /// {"cType", "hObject"} for a text, rich text, barcode or image content with an object hash;
  /// nil (an empty cell) otherwise.
  static Value NormalizeCellContent(const Value& content);
  /// "nWidth" (the given width), "hContent", "hBackground", "hBorder".
  static Value NormalizeCell(const Value& cell, const Value& width);
  static Value DefaultCell(const Value& width);
  /// "lEnabled", "nPattern", "cColor1", "cColor2", "nColor1Opacity", "nColor2Opacity".
  static Value NormalizeZebraPattern(const Value& zebra);
  /// "cBreakExpression", "aBreakExpressions" (unique non-blank texts, the break expression first),
  /// "lSkipEmptyValues".
  static Value NormalizeGroupSettings(const Value& settings);
  /// The option keys of a line in a section ("header", "detail", "footer", "groupHeader",
  /// "groupFooter"), in their order, as a hash.
  static Value NormalizeLineOptions(const Value& line, std::string_view sectionKey);
  /// The normalized lines of a stored line list, cells fitted to tableWidth millimetres.
  static Value NormalizeLines(const Value& lines, std::string_view sectionKey, bool showGrid, const Value& tableWidth);
  /// One normalized line (1-based position k in its section).
  static Value NormalizeLine(const Value& line, size_t k, std::string_view sectionKey, bool showGrid,
                             const Value& tableWidth);
  /// A complete header line named name, height millimetres tall, holding cells.
  static Value DefaultLine(const Value& name, const Value& height, const Value& cells);
  /// "Linea principal" detail, "Pie" footer, "Cabecera grupo" groupHeader, "Pie grupo"
  /// groupFooter, anything else header.
  static std::string_view SectionKeyFromDefaultName(std::string_view name);
};

}  // namespace nv

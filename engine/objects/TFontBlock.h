#pragma once
// The font of a text and of a barcode's human-readable text: family, size and the four style
// flags, each with the formula that may give it on a render. The text and the barcode object
// derive from it, so the members keep their names on both (text->cFontFamily).

#include <array>
#include <cstdint>
#include <string>

#include "objects/Field.h"
#include "Value.h"

namespace nv {

struct TFontBlock {
  /// Kept as loaded by the barcode; the text loads its text form.
  Value cFontFamily = Value("Arial");
  /// Font size in points, kept as loaded.
  Value nFontSize = Value::Int(12);
  std::string cFontSizeFormula;
  bool lFontBold = false;
  std::string cFontBoldFormula;
  bool lFontItalic = false;
  std::string cFontItalicFormula;
  bool lFontUnderline = false;
  std::string cFontUnderlineFormula;
  bool lFontStrikeout = false;
  std::string cFontStrikeoutFormula;

  /// The style flags of one render, each taken from its formula when that is not blank.
  struct Styles {
    bool bold = false, italic = false, underline = false, strikeout = false;
  };
  /// The font size of one render: nFontSize, or the size formula's number raised to at least 1.
  Value EvaluarTamano(const Value& context) const;
  /// The four flags of one render, a formula giving its logical value (evaluated in the order
  /// bold, italic, underline, strikeout).
  Styles EvaluarEstilos(const Value& context) const;
  /// True when every font formula is blank, so the font needs no context.
  bool FontFormulasBlank() const;

  /// The rows of family, size and size formula for a class T that derives from the block. The
  /// family is read under "cFontFamily", else "cFontName", converted by familyOnLoad (null: as it
  /// is); the formulas are cleared when their key is absent.
  template <class T>
  static constexpr std::array<Field<T>, 3> SizeFields(FieldConversion familyOnLoad, uint8_t drawnBy) {
    using F = Field<T>;
    return {F::Of("cFontFamily", &T::cFontFamily).Alias("cFontName").OnLoad(familyOnLoad).Drawn(drawnBy),
            F::Of("nFontSize", &T::nFontSize).Drawn(drawnBy),
            F::Of("cFontSizeFormula", &T::cFontSizeFormula).ResetWhenAbsent().Drawn(drawnBy)};
  }
  /// The rows of the four style flags and their formulas, in template order.
  template <class T>
  static constexpr std::array<Field<T>, 8> StyleFields(uint8_t drawnBy) {
    using F = Field<T>;
    return {F::Of("lFontBold", &T::lFontBold).Drawn(drawnBy),
            F::Of("cFontBoldFormula", &T::cFontBoldFormula).ResetWhenAbsent().Drawn(drawnBy),
            F::Of("lFontItalic", &T::lFontItalic).Drawn(drawnBy),
            F::Of("cFontItalicFormula", &T::cFontItalicFormula).ResetWhenAbsent().Drawn(drawnBy),
            F::Of("lFontUnderline", &T::lFontUnderline).Drawn(drawnBy),
            F::Of("cFontUnderlineFormula", &T::cFontUnderlineFormula).ResetWhenAbsent().Drawn(drawnBy),
            F::Of("lFontStrikeout", &T::lFontStrikeout).Drawn(drawnBy),
            F::Of("cFontStrikeoutFormula", &T::cFontStrikeoutFormula).ResetWhenAbsent().Drawn(drawnBy)};
  }
};

}  // namespace nv

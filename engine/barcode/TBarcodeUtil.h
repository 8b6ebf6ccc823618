#pragma once
// Turns a content value and a barcode type name into a barcode result: the module string of a
// linear symbol (EAN-13, EAN-8, Code 128, GS1-128), the module matrix of a QR Code or Data Matrix
// symbol, or an error text. Stateless; draws nothing.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Object.h"
#include "Value.h"

namespace nv {

class TBarcodeUtil : public Object {
 public:
  /// Code 128 symbol values with a meaning of their own.
  static constexpr int CODE128_CODE_C = 99;
  static constexpr int CODE128_CODE_B = 100;
  static constexpr int CODE128_FNC1 = 102;
  static constexpr int CODE128_START_B = 104;
  static constexpr int CODE128_START_C = 105;
  static constexpr int CODE128_STOP = 106;

  /// Returns a new, stateless instance.
  static std::shared_ptr<TBarcodeUtil> New();

  std::string_view ClassName() const override { return "TBarcodeUtil"; }
  bool RespondsTo(std::string_view name) const override;

  /// Returns the barcode result of `content` (any value, converted to text, not trimmed) encoded
  /// as `type` (any value naming a supported symbology). Never raises; failures are error results.
  Value Crear(const Value& content, const Value& type);
  /// Returns the canonical type name ("EAN13", "EAN8", "CODE128", "EAN128", "DATAMATRIX", "QR")
  /// for any value, or "" when it names no supported symbology.
  Value NormalizarTipo(const Value& type);

  // Typed entry points for hot paths and checks; the methods above are built on them.
  /// Returns the barcode result, as Crear.
  static Value Create(const Value& content, const Value& type);
  /// Returns the canonical type name of a type text, "" when unsupported.
  static std::string_view CanonicalType(std::string_view type);
  /// Returns the Code 128 symbol values of `text` (start, data, check, stop), or an empty list
  /// when a byte cannot be encoded; `gs1` adds the leading FNC1 and turns byte 29 into FNC1
  /// (group separators before the first other byte are left out).
  static std::vector<int> Code128Values(std::string_view text, bool gs1);
  /// Returns the module string of a list of Code 128 symbol values ("" for a value outside 0-106).
  static std::string Code128Modules(const std::vector<int>& values);
  /// Returns the module string of a Code 128 symbol of `text`, "" when a byte cannot be encoded.
  static std::string Code128Bits(std::string_view text, bool gs1);
  /// Returns the count of consecutive ASCII digits from 1-based position `position` (0 past the end).
  static size_t DigitRun(std::string_view text, size_t position);
  /// Returns the modules of a width pattern: each digit that many "1" at odd 1-based positions,
  /// that many "0" at even positions ("211214" gives "11010010000").
  static std::string PatternBits(std::string_view widths);
  /// Returns the 95-module string of 13 digits / the 67-module string of 8 digits.
  static std::string Ean13Modules(std::string_view digits);
  static std::string Ean8Modules(std::string_view digits);
  /// Returns the check digit (0 to 9) of the first 12 / first 7 digits of a digit text.
  static int Ean13CheckDigit(std::string_view digits);
  static int Ean8CheckDigit(std::string_view digits);

 private:
  Value CrearEAN13(const Value& text);
  Value DigitoControlEAN13(const Value& text);
  Value CrearEAN8(const Value& text);
  Value DigitoControlEAN8(const Value& text);
  Value CrearCode128(const Value& text, const Value& gs1);
  Value Error(const Value& message);
  /// The text of value (an integral number as plain digits) as a string value.
  Value ValorComoTexto(const Value& value);
  Value EsDigitos(const Value& text);
  Value SoloLetrasNumerosAscii(const Value& text);
};

}  // namespace nv

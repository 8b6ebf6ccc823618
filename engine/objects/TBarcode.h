#pragma once
// The barcode object: a box whose content formula is encoded as EAN-13, EAN-8, Code 128, GS1-128,
// QR Code or Data Matrix and rendered as a "barcode" render object that carries the modules, the
// formula's error state, the colours and the options of the human-readable text.

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "objects/Field.h"
#include "objects/TFontBlock.h"
#include "objects/TObjectBase.h"

namespace nv {

class TVBBarcode : public TObjectBase, public TFontBlock {
 public:
  /// Content formula, kept as loaded; the default is the text literal "123456789012" with its
  /// double quotes.
  Value cContent = Value("\"123456789012\"");
  /// Symbology name as loaded ("EAN13", "ean-13", "QR Code"...); the encoder normalises it.
  Value cBarcodeType = Value("EAN13");
  /// The human-readable text is drawn with the symbol.
  bool lShowText = true;
  /// The content value is trimmed before encoding.
  bool lTrimSpaces = false;
  /// Colour of the bars and dark modules, and the formula that may give it.
  Value cColor = Value("#000000");
  Value cColorFormula = Value("");
  // The font of the human-readable text (cFontFamily, nFontSize, the style flags and their
  // formulas) comes from TFontBlock.

  /// Creates a barcode owned by owner (a document, a table, or nil) with every default set.
  static std::shared_ptr<TVBBarcode> New(const Value& owner = Value());
  Value Init(const Value& owner = Value()) override;
  std::shared_ptr<TObjectBase> Create() override;
  /// Clears the owner. Returns nil.
  Value End() override;
  /// Returns the base template hash followed by the barcode keys, each member unchanged.
  Value Save() override;
  /// Reads the base keys, then the barcode keys (exact keys) when data is a hash.
  Value Load(const Value& data) override;
  /// Returns the "barcode" render object (the barcode result extended with the object's keys),
  /// or nil when the object is not visible. Never raises.
  Value GenerarRenderizable(const Value& context) override;

  std::string_view ClassName() const override { return "TVBBarcode"; }
  bool RespondsTo(std::string_view name) const override;

  /// The rows of the barcode's own members, in template order after the base's.
  static std::span<const Field<TVBBarcode>> Fields();

 private:
  /// Returns the content value with its failure state, evaluated through the context.
  Value EvaluarContenido(const Value& context, bool& error, std::string& message);
  /// Returns the barcode result for a content value: a ready result from a formula, or a new one.
  Value ResultadoBarcode(const Value& value);
};

}  // namespace nv

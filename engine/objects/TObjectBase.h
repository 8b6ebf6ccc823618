#pragma once
// The base of every layout object a template can hold: the shared members (identity, geometry,
// visibility, layer, border, fill, shadow, rotation, opacity, condition, padding and the import
// fields), their template hash form, the visibility decision of an execution, colour evaluation
// and the render-object keys common to all object kinds.

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "Object.h"
#include "Value.h"
#include "run/ObjetoComponible.h"

namespace nv {

class TDocument;

/// How EvaluarColor treats colours: Plain passes static colours through and accepts
/// "transparent" from a formula; Normalise always yields "#" plus six lower-case hex digits.
enum class ColorMode { Plain, Normalise };

class TObjectBase : public Object, public ObjetoComponible {
 public:
  // Persisted members, in their template order (the rows of TObjectBaseFields.h). Each keeps the
  // value exactly as loaded; it is converted where it is used.
  Value cId = Value("");
  Value cName = Value("Objeto");
  Value cType = Value("TObjectBase");
  Value nLeft = Value::Int(0);
  Value nTop = Value::Int(0);
  Value nWidth = Value::Int(0);
  Value nHeight = Value::Int(0);
  Value lVisible = Value(true);
  Value lLocked = Value(false);
  Value lSelected = Value(false);
  Value nLayerId = Value::Int(0);
  Value nZIndex = Value::Int(1);
  Value cBorderColor = Value("#000000");
  Value cBorderColorFormula = Value("");
  Value nBorderWidth = Value::Dbl(0.1, 1);
  Value lBorderTop = Value(true);
  Value lBorderRight = Value(true);
  Value lBorderBottom = Value(true);
  Value lBorderLeft = Value(true);
  Value cBackgroundColor = Value("#ffffff");
  Value cBackgroundColorFormula = Value("");
  Value cFillStyle = Value("solid");
  Value nPattern = Value::Int(1);
  Value cFillColor2 = Value("#ffffff");
  Value cFillColor2Formula = Value("");
  Value cFillColor3 = Value("#ffffff");
  Value cFillColor3Formula = Value("");
  Value nFillOpacity = Value::Int(1);
  Value nFillGradientFactor = Value::Int(50);
  Value nRounded = Value::Int(0);
  Value nShadowSize = Value::Int(0);
  Value nShadowTransparency = Value::Int(50);
  Value cShadowColor = Value("#000000");
  Value cShadowColorFormula = Value("");
  Value nRotation = Value::Int(0);
  Value nOpacity = Value::Int(1);
  Value cCondition = Value("");
  Value nPaddingTop = Value::Int(0);
  Value nPaddingRight = Value::Int(0);
  Value nPaddingBottom = Value::Int(0);
  Value nPaddingLeft = Value::Int(0);
  Value nVb12LinkID = Value::Int(0);
  Value nVb12LinkToID = Value::Int(0);
  Value nVb12LinkMode = Value::Int(0);
  Value nVb12GroupId = Value::Int(0);
  Value lVb12WrapBefore = Value(false);
  /// The owner: the document, or the table for a table cell's content object. Not persisted.
  Value oParent;

  /// Creates an object owned by owner (a document, a table, or nil) with every default set.
  static std::shared_ptr<TObjectBase> New(const Value& owner = Value());
  /// Sets the defaults of the class; the base only stores the owner. Returns the object.
  virtual Value Init(const Value& owner = Value());
  /// Finishes construction after Load; the base does nothing. Returns the object.
  virtual std::shared_ptr<TObjectBase> Create();
  /// Clears the owner (and, in subclasses, the caches). Returns nil.
  Value End() override;

  /// Returns nLeft + nWidth in millimetres.
  Value NRight();
  /// Returns nTop + nHeight in millimetres.
  Value NBottom();

  /// Returns a new template hash with the persisted members in declaration order.
  virtual Value Save();
  /// Copies the members whose keys the hash holds (exact keys, values unconverted); a non-hash
  /// changes nothing. Returns the object.
  virtual Value Load(const Value& data);
  /// Same as Save (a hash, not JSON text).
  Value ToJSON();
  /// Same as Load.
  Value FromJSON(const Value& data);

  /// Returns the render object (a hash), a list of them, or nil when nothing is drawn. The base
  /// draws nothing.
  Value GenerarRenderizable(const Value& context) override;

  /// Evaluates a colour formula through the context. An empty formula gives the static colour
  /// (normalised when the flag is true) without using the context. An invalid result adds the
  /// warning "Color no valido en <id>: <formula>" and falls back to the static colour.
  Value EvaluarColor(const Value& context, const Value& formula, const Value& staticColor,
                     const Value& normalise = Value());
  /// Typed form of EvaluarColor.
  std::string EvaluarColor(const Value& context, const Value& formula, const Value& staticColor, ColorMode mode);

  /// True when the object is drawn in this execution: its own flag, the designer layer rules in
  /// design mode, the layer condition, its own condition and the context's active-layer test, in
  /// that order. Every refusal records a discard with its reason on the context.
  Value EsVisibleEnEjecucion(const Value& context);

  std::string_view ClassName() const override { return "TObjectBase"; }
  bool RespondsTo(std::string_view name) const override;

 protected:
  /// Switches off all four border flags (kinds that draw no frame by default).
  void SinBordes();
  /// Returns {"paddingSuperior", "paddingDerecho", "paddingInferior", "paddingIzquierdo"}, each
  /// the padding as a number clamped to at least 0.
  Value PaddingRenderizable();
  /// The four paddings of PaddingRenderizable (top, right, bottom, left) without the hash.
  std::array<Value, 4> PaddingValues() const;
  /// Returns a new render object holding "id", "tipo", "x", "y", "ancho" and "alto", with room
  /// for keyCount keys in all.
  Value NewRender(std::string_view tipo, size_t keyCount);
  /// The render object of a rectangle-like box ("rectangulo", "elipse") with the given rounding;
  /// the five colours are evaluated in plain mode: background, fill 2, fill 3, border, shadow.
  Value BuildBoxRender(const Value& context, std::string_view tipo, const Value& rounded);
  /// Puts "x", "y", "ancho" and "alto" (the geometry members, unconverted).
  void PutPlacementKeys(Hash& hash) const;
  /// Appends "rotacionOriginal", "rotacion", "opacidad", "sombraTamano", "sombraTransparencia",
  /// "sombraColor" (the shadow colour given) and the order keys, as boxes and lines end.
  void PutRotationShadowAndOrderKeys(const Value& render, const std::string& shadow);
  /// Appends "ordenOriginal", "capa", "zIndex".
  void PutOrderKeys(const Value& render);
  /// Appends "colorFondo", "colorBorde", "grosorBorde", the four border sides and "redondeo",
  /// with the colours given.
  void PutFrameKeys(Hash& hash, const std::string& background, const std::string& border) const;
  /// Appends "sombraTamano", "sombraTransparencia" and "sombraColor", with the colour given.
  void PutShadowKeys(Hash& hash, const std::string& shadow) const;
  /// Appends the four padding keys of PaddingRenderizable.
  void PutPaddingKeys(const Value& render);

  /// Adds a warning to the context when it takes one.
  static void AddAvisoTo(const Value& context, const std::string& text);
  /// Evaluates a formula through the context's EvaluarFormula; nil when the context has none.
  static Value EvaluarFormulaEn(const Value& context, const Value& formula);

  /// This object as a Value (an object reference).
  Value Self();

 private:
  Value Documento();
  TDocument* DocumentoPropio() const;
  Value CondicionCapa();
  /// The text of the layer's condition ("" without a document).
  std::string CondicionCapaTexto();
  Value EsVisiblePorCapaEnDisenador();
  Value HashVisible(const Value& result);
  bool Descartar(const Value& context, std::string_view reason);
};

}  // namespace nv

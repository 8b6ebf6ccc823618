#pragma once
// The plain text object: a box whose content is one formula, rendered as a "texto" render object
// with the formula's error state, the text options, the flow-group keys and the common keys.
// Table cells reuse one instance per cell and render it once per record, so the class keeps the
// compiled plan of its formula and, inside a table, a prototype of its style keys.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "objects/Field.h"
#include "objects/TFontBlock.h"
#include "objects/TObjectBase.h"

namespace nv {

class TText : public TObjectBase, public TFontBlock {
 public:
  /// Content formula; the default is the text literal "Texto" with its double quotes.
  std::string cText = "\"Texto\"";
  // The font members (cFontFamily, nFontSize, the style flags and their formulas) come from
  // TFontBlock.
  /// Windows logical-font codes, passed through.
  int64_t nFontOutPrecision = 0;
  int64_t nFontPitchAndFamily = 0;
  /// "truncate", "wrap", "shrink" or "condense".
  std::string cTextFitMode = "wrap";
  /// Lines wrap; Load and Save keep it equal to (cTextFitMode == "wrap").
  bool lTextWrap = true;
  bool lForceWrap = false;
  bool lAllowPageBreak = false;
  /// Extra line spacing and spacing after a paragraph, points.
  Value nLineSpacing = Value::Int(0);
  Value nParagraphSpacing = Value::Int(0);
  /// False: blank paragraphs are removed from the evaluated text.
  bool lKeepEmptyParagraphs = true;
  bool lTextAdjusted = false;
  /// The evaluated text is trimmed.
  bool lTrimSpaces = false;
  /// Name of the text-flow group, "" for none.
  std::string cTextFlowGroup;
  int64_t nTextFlowOrder = 0;
  /// Height of one flow line, millimetres.
  Value nTextFlowLineHeight = Value::Int(0);
  /// "#" plus six lower-case hexadecimal digits.
  std::string cTextColor = "#000000";
  std::string cTextColorFormula;
  /// 0 to 1.
  Value nTextOpacity = Value::Int(1);
  std::string cTextAlign = "left";
  Value nTextDecimalPosition = Value::Int(-10);
  /// "top", "center" or "bottom".
  std::string cTextVerticalAlign = "top";
  std::string cVb12SourceType;
  std::string cVb12SourceJson;
  /// Cache: the executable plan of cText (a hash), false when the context gave none, nil when
  /// not compiled yet.
  Value uTextFormulaPlan;
  /// Cache: the cText the plan was compiled for.
  std::string cTextFormulaPlanSource;
  /// Cache: the style part of the render object for table cells, or nil.
  Value hStaticRenderPrototype;

  /// Creates a text owned by owner (a document, a table, or nil) with every default set.
  static std::shared_ptr<TText> New(const Value& owner = Value());
  Value Init(const Value& owner = Value()) override;
  std::shared_ptr<TObjectBase> Create() override;
  /// Clears the owner and the three caches. Returns nil.
  Value End() override;
  /// Returns the base template hash followed by the text keys (colour, opacity and vertical
  /// alignment normalised); also re-normalises cTextFitMode and lTextWrap in place.
  Value Save() override;
  /// Reads the base keys exactly, then the text keys case-insensitively; discards the caches.
  Value Load(const Value& data) override;
  /// Returns the "texto" render object, or nil when the object is not visible.
  Value GenerarRenderizable(const Value& context) override;

  std::string_view ClassName() const override { return "TText"; }
  bool RespondsTo(std::string_view name) const override;

  /// The rows of the text's own members, in template order after the base's: key, kind, the
  /// conversion on load and save, and whether the render reads the member.
  static std::span<const Field<TText>> Fields();

  /// "bottom", "center" or "top".
  static std::string NormalizarTextVerticalAlign(const Value& value);
  /// "truncate", "wrap", "shrink" or "condense"; anything else "wrap" or "truncate" by wrap.
  static std::string NormalizarTextFitMode(const Value& value, bool wrap);
  /// A number clamped to 0..1 (commas read as points; nil gives 0).
  static Value NormalizarOpacity(const Value& value);

 protected:
  /// The text without its blank lines (joined with LF), unless empty paragraphs are kept.
  std::string NormalizarParrafosVacios(const std::string& text) const;
  /// The number of blank lines of the text (the empty text counts one).
  static int64_t ContarParrafosVacios(const std::string& text);
  /// True for a table cell's content object without style formulas.
  bool CanUseStaticRenderPrototype();
  /// The render object with placeholder dynamic values, built without a context.
  Value BuildStaticRenderPrototype();
  /// Writes the per-render values (id, geometry, text, formula, suppressed height, order).
  Value ApplyDynamicRenderValues(const Value& render, const std::string& text, int64_t count);

  /// The suppressed flow height in millimetres for count blank paragraphs.
  Value AlturaSuprimida(int64_t count);

  /// The render object as BuildRender writes it from scratch, the style evaluated through the
  /// context.
  Value RenderCompleto(const Value& context, const std::string& text, int64_t count, bool error,
                       const std::string& message);
  /// The same render object copied from the render of the last unchanged members, or nil when
  /// the object has a style formula or a member of a kind the copy does not cover. Only the
  /// text, the failure state and the suppressed height are written per render.
  Value RenderDesdeCache(std::string text, int64_t count, bool error, std::string message);

 private:
  struct Style {
    std::string color, background, border, shadow;
    std::array<Value, 4> padding;
    TFontBlock::Styles font;
    Value size;
  };
  /// Makes cTextFitMode one of the four modes (by lTextWrap when it is none) and lTextWrap true
  /// exactly for "wrap".
  void NormalizarAjuste();
  /// Discards the formula plan and the kept renders.
  void DescartarCaches();
  Style EvaluarEstilo(const Value& context);
  Value BuildRender(const Style& style, const std::string& text, int64_t count, bool withError, bool error,
                    const std::string& message);
  /// The render of the last members seen and a copy of every member it was built from; shared
  /// by copies of the object, which is safe because every use compares the members first.
  struct RenderCache;
  std::shared_ptr<RenderCache> renderCache_;
  /// cText as a Value, for the evaluation calls.
  Value formulaText_;
  /// True when no style formula has a non-blank text, so the style needs no context.
  bool StyleFormulasBlank() const;
  /// The render of the current members with placeholder per-render values, refreshed when a
  /// member changed; null when RenderDesdeCache does not apply.
  const Hash* RenderPrototype();
  static Value FillRender(const Hash& prototype, std::string text, Value suppressed, bool error, std::string message);
};

}  // namespace nv

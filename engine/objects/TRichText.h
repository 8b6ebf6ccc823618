#pragma once
// The rich text object: a box whose content formula yields HTML, RTF or plain text holding
// {{ formula }} placeholders. Its "texto_enriquecido" render object carries the interpolated
// content in its format, the same content as an RTF document and as plain text, so a renderer
// uses whichever it supports.
//
// Placeholder values are data: inside HTML content they are escaped as HTML text (an RTF document
// is converted to HTML), inside RTF content as RTF text, and in plain text they stand as they are.
// The format of the content is the template's; it is detected again from the values only when the
// whole content is a single placeholder, since then the content comes entirely from data. A
// template that wants markup from data therefore either makes the content one placeholder
// ({{ DATOS.NOTA_HTML }}) or builds the markup in the content formula itself, whose value is taken
// as markup («"<p>" + DATOS.NOTA_HTML + "</p>"»).

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "objects/Field.h"
#include "objects/RichTextFormat.h"
#include "objects/TObjectBase.h"

namespace nv {

class TRichText : public TObjectBase {
 public:
  /// Content formula, kept as loaded; the default is the text literal of the paragraph
  /// "Texto enriquecido" with its double quotes.
  Value cContent = Value("\"<p>Texto enriquecido</p>\"");
  /// "top", "center" or "bottom".
  std::string cVerticalAlign = "top";
  /// "hidden" or "visible": whether content beyond the box is drawn.
  std::string cOverflow = "hidden";

  /// Creates a rich text owned by owner (a document, a table, or nil) with every default set; the
  /// four border sides stay on.
  static std::shared_ptr<TRichText> New(const Value& owner = Value());
  Value Init(const Value& owner = Value()) override;
  std::shared_ptr<TObjectBase> Create() override;
  /// Clears the content formula and the owner. Returns nil.
  Value End() override;
  /// Returns the base template hash ("cType" "richText") followed by the content formula, the
  /// vertical alignment and the overflow, both normalised.
  Value Save() override;
  /// Reads the base keys, then (from a hash) the content formula through the migration of older
  /// keys and the normalised alignment and overflow. "cType" stays "richText".
  Value Load(const Value& data) override;
  /// Returns the "texto_enriquecido" render object, or nil when the object is not visible. Never
  /// raises: a failing formula shows its error value in the content.
  Value GenerarRenderizable(const Value& context) override;

  std::string_view ClassName() const override { return "TRichText"; }
  bool RespondsTo(std::string_view name) const override;

  /// The rows of the rich text's own members, in template order after the base's.
  static std::span<const Field<TRichText>> Fields();

  /// The content with its placeholders replaced by the evaluator's values (see the file comment).
  static std::string VBRICHTEXTINTERPOLATE(std::string_view content, std::string_view format,
                                           const std::function<Value(std::string_view)>& evaluator) {
    return nv::VBRICHTEXTINTERPOLATE(content, format, evaluator);
  }
  /// The content as plain text; a nil format is detected.
  static std::string VBRICHTEXTPLAINTEXT(const Value& content, const Value& format = Value()) {
    return nv::VBRICHTEXTPLAINTEXT(content, format);
  }
  /// The content formula of a template object hash, from its current key or the keys of older
  /// template versions (a mode, a formula, fixed HTML); the empty-text formula when none applies.
  static Value VBRICHTEXTMIGRATECONTENT(const Value& hash);
  /// The text written as a formula text literal: backslashes doubled, double quotes doubled, CR
  /// and LF as \r and \n, enclosed in double quotes.
  static std::string VBRICHTEXTENCODELITERAL(std::string_view text);
  /// "center" or "bottom" when the lower-cased, trimmed text is exactly that; anything else "top".
  static std::string VBRICHTEXTVERTICALALIGN(const Value& value);
  /// "visible" when the lower-cased text is exactly "visible"; anything else "hidden".
  static std::string NormalizarOverflow(const Value& value);

  /// The content of one render: the content formula's value with its placeholders replaced, and
  /// its format ("rtf", "html" or "text").
  struct Contenido {
    std::string content;
    std::string format;
  };
  /// Evaluates the content formula through the context and interpolates its placeholders.
  Contenido EvaluarContenido(const Value& context) const;
};

}  // namespace nv

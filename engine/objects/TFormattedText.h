#pragma once
// The formatted text: a text object whose content is also given as runs, pieces of text with
// their own formatting, each with its own formula. It renders the text object's render object as
// "texto_formateado" with the evaluated runs added; pagination splits it together with its runs.

#include <memory>
#include <span>
#include <string_view>

#include "objects/Field.h"
#include "objects/TText.h"

namespace nv {

class TFormattedText : public TText {
 public:
  /// The runs, hashes in display order: "cExpression" is the run's formula; every other key is
  /// its formatting as the designer stored it, carried to the render unchanged.
  Value aRichTextRuns = Value::NewArray();

  /// Creates a formatted text owned by owner (a document, a table, or nil) with every default set.
  static std::shared_ptr<TFormattedText> New(const Value& owner = Value());
  Value Init(const Value& owner = Value()) override;
  std::shared_ptr<TObjectBase> Create() override;
  /// Lets go of the runs (a new empty list, so a template hash that shares the loaded list keeps
  /// it), then ends the text. Returns nil.
  Value End() override;
  /// Returns the text's template hash with "cType" "TFormattedText" and the runs appended (the
  /// member's own list).
  Value Save() override;
  /// Reads the text's keys, then the runs under the exact key: a list, anything else an empty
  /// list. "cType" stays "TFormattedText".
  Value Load(const Value& data) override;
  /// Returns the text's render object as "texto_formateado" with "runs", the evaluated copies of
  /// the hash runs, or nil when the object is not visible (then no run is evaluated).
  Value GenerarRenderizable(const Value& context) override;

  std::string_view ClassName() const override { return "TFormattedText"; }
  bool RespondsTo(std::string_view name) const override;

  /// The rows of the formatted text's own members, after the text's.
  static std::span<const Field<TFormattedText>> Fields();

 private:
  /// A deep copy of every hash run with "cText" set to its formula's value; other entries left out.
  Value EvaluarRuns(const Value& context) const;
};

}  // namespace nv

#pragma once
// The line: a stroke drawn with the base border colour and width, with an orientation and a
// stroke style passed to the renderer.

#include <memory>
#include <span>
#include <string_view>

#include "objects/Field.h"
#include "objects/TObjectBase.h"

namespace nv {

class TLine : public TObjectBase {
 public:
  /// "horizontal" or "vertical", kept as loaded.
  Value cOrientation = Value("horizontal");
  /// Stroke style name, kept as loaded.
  Value cLineStyle = Value("solid");

  /// Creates a line owned by owner (a document, a table, or nil) with every default set.
  static std::shared_ptr<TLine> New(const Value& owner = Value());
  Value Init(const Value& owner = Value()) override;
  std::shared_ptr<TObjectBase> Create() override;
  Value End() override;
  /// Returns the base template hash followed by "cOrientation" and "cLineStyle".
  Value Save() override;
  /// Reads the base keys, then "cOrientation" and "cLineStyle" when present (unconverted).
  Value Load(const Value& data) override;
  /// Returns the "linea" render object, or nil when the object is not visible.
  Value GenerarRenderizable(const Value& context) override;

  std::string_view ClassName() const override { return "TLine"; }
  bool RespondsTo(std::string_view name) const override;

  /// The rows of the line's own members, in template order after the base's.
  static std::span<const Field<TLine>> Fields();
};

}  // namespace nv

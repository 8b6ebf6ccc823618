#pragma once
// The rectangle: a box drawn with the base border, background, fill, rounding and shadow. The
// table derives from it and uses its render object as its frame.

#include <memory>
#include <string_view>

#include "objects/TObjectBase.h"

namespace nv {

class TRectangle : public TObjectBase {
 public:
  /// Creates a rectangle owned by owner (a document, a table, or nil) with every default set.
  static std::shared_ptr<TRectangle> New(const Value& owner = Value());
  Value Init(const Value& owner = Value()) override;
  std::shared_ptr<TObjectBase> Create() override;
  Value End() override;
  /// Returns the "rectangulo" render object, or nil when the object is not visible.
  Value GenerarRenderizable(const Value& context) override;

  std::string_view ClassName() const override { return "TRectangle"; }
  bool RespondsTo(std::string_view name) const override;
};

}  // namespace nv

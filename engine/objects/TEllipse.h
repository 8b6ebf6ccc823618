#pragma once
// The ellipse: drawn like a rectangle inside its box, always with rounding 50.

#include <memory>
#include <string_view>

#include "objects/TObjectBase.h"

namespace nv {

class TEllipse : public TObjectBase {
 public:
  /// Creates a ellipse owned by owner (a document, a table, or nil) with every default set.
  static std::shared_ptr<TEllipse> New(const Value& owner = Value());
  Value Init(const Value& owner = Value()) override;
  std::shared_ptr<TObjectBase> Create() override;
  Value End() override;
  /// Returns the "elipse" render object, or nil when the object is not visible.
  Value GenerarRenderizable(const Value& context) override;

  std::string_view ClassName() const override { return "TEllipse"; }
  bool RespondsTo(std::string_view name) const override;
};

}  // namespace nv

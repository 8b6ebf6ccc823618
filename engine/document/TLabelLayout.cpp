#include "document/TLabelLayout.h"

#include <string>
#include <string_view>

#include "Accessors.h"
#include "Runtime.h"
#include "document/Clamp.h"

namespace nv {

Value TLabelLayout::Default() {
  Value layout = Value::NewHash();
  layout.Set("nLabelWidth", Value(70.0));
  layout.Set("nLabelHeight", Value(37.0));
  layout.Set("nColumns", Value::Int(3));
  layout.Set("nRows", Value::Int(8));
  layout.Set("nMarginLeft", Value(0.0));
  layout.Set("nMarginTop", Value(0.0));
  layout.Set("nGapHorizontal", Value(0.0));
  layout.Set("nGapVertical", Value(0.0));
  layout.Set("cFlow", "row");
  layout.Set("cLabelFormat", "manual");
  layout.Set("nPrintOffsetX", Value(0.0));
  layout.Set("nPrintOffsetY", Value(0.0));
  return layout;
}

Value TLabelLayout::Normalizar(const Value& layout) {
  const Value defaults = Default();
  auto read = [&](std::string_view key) { return HGet(layout, key, defaults[key]); };
  Value out = Value::NewHash();
  out.Set("nLabelWidth", NumberAtLeast(read("nLabelWidth"), 1.0));
  out.Set("nLabelHeight", NumberAtLeast(read("nLabelHeight"), 1.0));
  out.Set("nColumns", IntegerAtLeast(read("nColumns"), 1));
  out.Set("nRows", IntegerAtLeast(read("nRows"), 1));
  for (std::string_view key : {"nMarginLeft", "nMarginTop", "nGapHorizontal", "nGapVertical"}) {
    out.Set(key, NumberAtLeast(read(key), 0.0));
  }
  const std::string flow = ValueString(read("cFlow"));
  out.Set("cFlow", flow == "column" ? "column" : "row");
  const std::string format = AllTrim(ValueString(read("cLabelFormat")));
  out.Set("cLabelFormat", format.empty() ? std::string("manual") : format);
  out.Set("nPrintOffsetX", ValueNumber(read("nPrintOffsetX")));
  out.Set("nPrintOffsetY", ValueNumber(read("nPrintOffsetY")));
  return out;
}

TLabelLayout::TLabelLayout(const Value& layout) : layout_(Normalizar(layout)) {
  auto number = [this](std::string_view key) { return ValueDouble(layout_[key]); };
  rows_ = ValueInt(layout_["nRows"]);
  columns_ = ValueInt(layout_["nColumns"]);
  // Absurd row and column counts in a template must not overflow the cell count: it saturates.
  if (__builtin_mul_overflow(rows_, columns_, &cells_)) cells_ = INT64_MAX;
  byColumn_ = layout_["cFlow"].AsString() == "column";
  originX_ = number("nPrintOffsetX") + number("nMarginLeft");
  originY_ = number("nPrintOffsetY") + number("nMarginTop");
  stepX_ = number("nLabelWidth") + number("nGapHorizontal");
  stepY_ = number("nLabelHeight") + number("nGapVertical");
}

std::pair<double, double> TLabelLayout::PosicionCelda(int64_t cell) const {
  const int64_t row = byColumn_ ? cell % rows_ : cell / columns_;
  const int64_t column = byColumn_ ? cell / rows_ : cell % columns_;
  return {originX_ + static_cast<double>(column) * stepX_, originY_ + static_cast<double>(row) * stepY_};
}

}  // namespace nv

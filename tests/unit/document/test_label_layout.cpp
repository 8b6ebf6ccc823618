#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

#include "Accessors.h"
#include "Json.h"
#include "Runtime.h"
#include "document/TLabelLayout.h"
#include "Value.h"

using namespace nv;

namespace {

// 20 x 10 mm labels, 2 columns by 3 rows, margins 5 (left) and 3 (top), gaps 2 and 4, offsets
// 1.5 and -0.5.
Value Sheet(const char* flow) {
  Value layout = Value::NewHash();
  layout.Set("nLabelWidth", Value::Int(20));
  layout.Set("nLabelHeight", Value::Int(10));
  layout.Set("nColumns", Value::Int(2));
  layout.Set("nRows", Value::Int(3));
  layout.Set("nMarginLeft", Value::Int(5));
  layout.Set("nMarginTop", Value::Int(3));
  layout.Set("nGapHorizontal", Value::Int(2));
  layout.Set("nGapVertical", Value::Int(4));
  layout.Set("nPrintOffsetX", Value(1.5));
  layout.Set("nPrintOffsetY", Value(-0.5));
  layout.Set("cFlow", flow);
  return layout;
}

using Corner = std::pair<double, double>;

}  // namespace

TEST(LabelLayoutGrid, RowFlowFillsRowsAndColumnFlowFillsColumns) {
  const TLabelLayout rows(Sheet("row"));
  EXPECT_EQ(rows.CeldasPorHoja(), 6);
  EXPECT_EQ(rows.PosicionCelda(0), (Corner{6.5, 2.5}));
  EXPECT_EQ(rows.PosicionCelda(1), (Corner{28.5, 2.5}));
  EXPECT_EQ(rows.PosicionCelda(2), (Corner{6.5, 16.5}));
  EXPECT_EQ(rows.PosicionCelda(5), (Corner{28.5, 30.5}));

  const TLabelLayout columns(Sheet("column"));
  EXPECT_EQ(columns.PosicionCelda(1), (Corner{6.5, 16.5}));
  EXPECT_EQ(columns.PosicionCelda(2), (Corner{6.5, 30.5}));
  EXPECT_EQ(columns.PosicionCelda(3), (Corner{28.5, 2.5}));
}

TEST(LabelLayoutGrid, ReadsTheNormalisedLayoutOfAnyValue) {
  // Out-of-range settings are clamped before the grid is read: no zero-width cells, no negative
  // margins, no division by zero columns.
  Value bad = Sheet("row");
  bad.Set("nColumns", Value::Int(0));
  bad.Set("nLabelWidth", Value(-3.0));
  bad.Set("nMarginLeft", Value::Int(-7));
  const TLabelLayout clamped(bad);
  EXPECT_EQ(clamped.CeldasPorHoja(), 3);
  EXPECT_EQ(clamped.PosicionCelda(1), (Corner{1.5, 16.5}));
  EXPECT_EQ(ValueDouble(clamped.Layout()["nLabelWidth"]), 1.0);

  // Anything that is not a hash gives the default sheet of 3 x 8 labels of 70 x 37 mm.
  const TLabelLayout defaults(Value("not a layout"));
  EXPECT_EQ(defaults.CeldasPorHoja(), 24);
  EXPECT_EQ(defaults.PosicionCelda(4), (Corner{70.0, 37.0}));
  EXPECT_EQ(defaults.Layout().Len(), 12u);
}

TEST(LabelLayoutGrid, HugeCountsSaturateTheCellCount) {
  Value layout = Sheet("row");
  layout.Set("nColumns", Value::Int(int64_t{1} << 40));
  layout.Set("nRows", Value::Int(int64_t{1} << 40));
  EXPECT_EQ(TLabelLayout(layout).CeldasPorHoja(), INT64_MAX);
}

TEST(LabelLayoutNormalise, LoadedNumbersKeepTheirDecimals) {
  Value layout = DecodeJsonObject(R"j({"nLabelWidth": 63.50, "nGapHorizontal": 2.50, "nPrintOffsetY": "1,25"})j");
  Value out = TLabelLayout::Normalizar(layout);
  EXPECT_EQ(ValueString(out["nLabelWidth"]), "63.50");
  EXPECT_EQ(ValueString(out["nGapHorizontal"]), "2.50");
  EXPECT_DOUBLE_EQ(ValueDouble(out["nPrintOffsetY"]), 1.25);
  EXPECT_EQ(ValueString(out["cLabelFormat"]), "manual");
}

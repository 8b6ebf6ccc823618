#pragma once
// Charts and cross tabulations. A chart render object carries its data, not a picture: "puntos"
// ({"label", "value"} per record) under a "tipo" that is the chart's own kind word, or, for
// "crosstab", "filas" and "columnas" (key -> label, in order) and "celdas" (row key -> column key
// -> sum). Kinds whose word holds "pie", "tarta" or "donut" draw a pie; "line", "linea" or "area"
// a line through the points; any other kind draws bars. Values that are not finite numbers count
// as 0 with a "chart-data" warning. The cross tabulation draws as a grid with the row labels
// first, numbers right-aligned.

#include "ObjectFrame.h"
#include "PaintContext.h"
#include "RenderObjectReader.h"

namespace nv::out {

class ChartPainter {
 public:
  /// True for the render objects this painter draws: "crosstab", or any kind with "puntos".
  static bool IsChart(const RenderObjectReader& reader);
  static void Paint(const PaintContext& ctx, const RenderObjectReader& reader, const ObjectFrame& frame);

 private:
  static void PaintPoints(const PaintContext& ctx, const RenderObjectReader& reader, double w, double h);
  static void PaintCrosstab(const PaintContext& ctx, const RenderObjectReader& reader, double w, double h);
};

}  // namespace nv::out

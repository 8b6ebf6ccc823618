#pragma once
// The chart: turns the detail records of the run into chart data, a list of labelled points or a
// cross tabulation (rows by columns of summed values with optional summary rows and columns). It
// draws nothing; the render object carries the data and a copy of the chart specification.

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "objects/Field.h"
#include "objects/TObjectBase.h"

namespace nv {

class TContextoEjecucion;

class TChart : public TObjectBase {
 public:
  /// Chart kind; "crosstab" builds a cross tabulation, any other kind builds points and is the
  /// render object's "tipo".
  std::string cChartKind = "chart";
  /// Chart specification: formulas and options, also handed (copied) to the renderer.
  Value hChartSpec = Value::NewHash();
  /// Import source description; stored only.
  std::string cVb12SourceJson;

  /// Creates a chart owned by owner (a document, a table, or nil) with every default set.
  static std::shared_ptr<TChart> New(const Value& owner = Value());
  Value Init(const Value& owner = Value()) override;
  std::shared_ptr<TObjectBase> Create() override;
  /// Empties the specification and clears the owner. Returns nil.
  Value End() override;
  /// Returns the base template hash followed by "cChartKind", "hChartSpec" (the member itself)
  /// and "cVb12SourceJson".
  Value Save() override;
  /// Reads the base keys, then the chart keys when data is a hash; absent chart keys reset.
  Value Load(const Value& data) override;
  /// Returns the chart render object, or nil when the object is not visible. The record state of
  /// the context is the same after the call as before it. Never raises.
  Value GenerarRenderizable(const Value& context) override;

  std::string_view ClassName() const override { return "TChart"; }
  bool RespondsTo(std::string_view name) const override;

  /// The rows of the chart's own members, in template order after the base's.
  static std::span<const Field<TChart>> Fields();

 private:
  /// The records of the first detail group of the run's data, as tables see them.
  Value DetailRecords(const Value& data);
  /// {"puntos": [{"label", "value"}...]}, one point per record.
  Value BuildChart(TContextoEjecucion* ctx, const Value& records);
  /// {"filas", "columnas", "celdas", "estilos"} summed over every definition and record.
  Value BuildCrosstab(TContextoEjecucion* ctx, const Value& records);
  std::string StringValue(const Value& value);
  Value NumberValue(const Value& value);
};

}  // namespace nv

#pragma once
// The chart: turns the detail records of the run into chart data, a list of labelled points or a
// cross tabulation (rows by columns of summed values with optional summary rows and columns). It
// draws nothing; the render object carries the data and a copy of the chart definition.

#include <cstdint>
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
  /// Chart chart definition: formulas and options, also handed (copied) to the renderer.
  Value hChartSpec = Value::NewHash();
  /// Import source description; stored only.
  std::string cVb12SourceJson;

  /// Creates a chart owned by owner (a document, a table, or nil) with every default set.
  static std::shared_ptr<TChart> New(const Value& owner = Value());
  Value Init(const Value& owner = Value()) override;
  std::shared_ptr<TObjectBase> Create() override;
  /// Empties the chart definition and clears the owner. Returns nil.
  Value End() override;
  /// Returns the base template hash followed by "cChartKind", "hChartSpec" (the member itself)
  /// and "cVb12SourceJson".
  Value Save() override;
  /// Reads the base keys, then the chart keys when data is a hash; absent chart keys reset.
  Value Load(const Value& data) override;
  /// Returns the chart render object, or nil when the object is not visible. The record state of
  /// the context is the same after the call as before it. Never raises.
  Value GenerarRenderizable(const Value& context) override;
  /// From here until TerminarComposicionRepetida or End, the chart data built from the run's
  /// detail records is kept and reused while what it was built from stays the same.
  void IniciarComposicionRepetida() override;
  /// Drops the kept chart data and stops keeping it.
  void TerminarComposicionRepetida() override;
  /// How many times this chart has built its data (points or cross tabulation) from records.
  int64_t DataBuildCount() const { return dataBuilds_; }

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
  /// The kept data when it was built from this same run data, kind and chart definition, and, if
  /// its formulas read the page state, on this same page.
  bool KeptDataFits(const Value& data, int64_t page) const;
  /// Builds the data from the run's detail records with the context's record state restored after.
  Value BuildData(TContextoEjecucion* ctx, const Value& records);

  // Chart data kept during a repeated composition, with what it was built from.
  struct KeptData {
    bool reuse = false;
    bool valid = false;
    Value sourceData;             // the run data the records were read from (compared by identity)
    std::string kind;
    Value definition;             // a deep copy of the chart definition at build time
    bool readsPage = false;       // whether building it read the page state
    int64_t page = 0;
    Value data;
  };
  KeptData kept_;
  int64_t dataBuilds_ = 0;
};

}  // namespace nv

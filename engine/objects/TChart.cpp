#include "objects/TChart.h"

#include <utility>

#include "Accessors.h"
#include "Runtime.h"
#include "data/TConectorDatos.h"
#include "run/TContextoEjecucion.h"

namespace nv {

namespace {

using F = Field<TChart>;

Value KindOrDefault(const Value& v) { return Value(v.IsNil() ? std::string("chart") : ValorAString(v)); }
Value SpecOrEmpty(const Value& v) { return v.IsHash() ? v : Value::NewHash(); }
Value TextOrEmpty(const Value& v) { return Value(ValorAString(v)); }

// The chart's own members in template order, read under their exact keys; an absent key resets
// its member to the default.
constexpr auto kChartFields = std::to_array<F>({
    F::Of("cChartKind", &TChart::cChartKind).ResetWhenAbsent().OnLoad(KindOrDefault),
    F::Of("hChartSpec", &TChart::hChartSpec).ResetWhenAbsent().OnLoad(SpecOrEmpty),
    F::Of("cVb12SourceJson", &TChart::cVb12SourceJson).ResetWhenAbsent().OnLoad(TextOrEmpty),
});

constexpr std::string_view kEmptyTextFormula = "\"\"";

// The formula text under key of a chart definition hash, or the default.
std::string FormulaOf(const Value& definition, std::string_view key, std::string_view fallback) {
  return ValorAString(HGet(definition, key, Value(fallback)));
}

// A style hash of the chart definition, copied so that the renderer cannot change the template; an
// absent or non-hash style is a new empty hash.
Value StyleOf(const Value& definition, std::string_view key) {
  const Value style = HGet(definition, key);
  return style.IsHash() ? style.Clone() : Value::NewHash();
}

// False when the definition holds the option and its value reads as false. A value of another
// kind than a logical is read tolerantly ("no", 0), never by a wrong-kind operation.
bool SummaryShown(const Value& definition, std::string_view key) {
  const Value shown = HGet(definition, key);
  return shown.IsNil() || ValorALogico(shown);
}

// The value under key of a hash, created as a new empty hash when missing.
Value& HashEntry(Hash& hash, std::string_view key) {
  if (Value* found = hash.Find(key)) return *found;
  hash.Put(key, Value::NewHash());
  return *hash.Find(key);
}

// Saves the record state of a context and puts it back when it goes out of scope, so that a chart
// composed inside a label or a table row leaves the current record as it found it.
class RecordStateGuard {
 public:
  explicit RecordStateGuard(TContextoEjecucion& ctx)
      : ctx_(ctx),
        index_(ctx.nIndiceRegistro),
        total_(ctx.nTotalRegistros),
        previous_(ctx.hRegistroAnterior),
        next_(ctx.hRegistroSiguiente) {}
  ~RecordStateGuard() {
    ctx_.nIndiceRegistro = index_;
    ctx_.nTotalRegistros = total_;
    ctx_.hRegistroAnterior = std::move(previous_);
    ctx_.hRegistroSiguiente = std::move(next_);
    ctx_.lEvaluatorStateSynchronized = false;
    ctx_.SincronizarEstadoEvaluador();
  }
  RecordStateGuard(const RecordStateGuard&) = delete;
  RecordStateGuard& operator=(const RecordStateGuard&) = delete;

 private:
  TContextoEjecucion& ctx_;
  int64_t index_;
  int64_t total_;
  Value previous_;
  Value next_;
};

// Calls visit(i) for every record with that record pushed as the current detail record (index
// from 0, neighbours or empty hashes), popping it afterwards.
template <class Visit>
void ForEachRecord(TContextoEjecucion& ctx, const Value& records, Visit visit) {
  const Array& list = records.AsArray();
  const int64_t count = static_cast<int64_t>(list.size());
  for (size_t i = 0; i < list.size(); ++i) {
    const Value previous = i > 0 ? list[i - 1] : Value::NewHash();
    const Value next = i + 1 < list.size() ? list[i + 1] : Value::NewHash();
    ctx.PushRegistroDetalle(list[i], Value::Int(static_cast<int64_t>(i)), Value::Int(count), previous, next);
    visit(i);
    ctx.PopRegistroDetalle();
  }
}

// True when a and b hold the same kinds and values all the way down (arrays by position, hashes
// by key order and key); objects only when they are the same one, code blocks never.
bool SameContents(const Value& a, const Value& b) {
  if (a.kind() != b.kind()) return false;
  if (a.IsArray()) {
    if (a.Len() != b.Len()) return false;
    const Array& x = a.AsArray();
    const Array& y = b.AsArray();
    for (size_t i = 0; i < x.size(); ++i) {
      if (!SameContents(x[i], y[i])) return false;
    }
    return true;
  }
  if (a.IsHash()) {
    const Hash& x = a.AsHash();
    const Hash& y = b.AsHash();
    if (x.size() != y.size()) return false;
    for (size_t i = 0; i < x.size(); ++i) {
      if (!(x.KeyAt(i) == y.KeyAt(i)) || !SameContents(x.ValueAt(i), y.ValueAt(i))) return false;
    }
    return true;
  }
  if (a.IsObject()) return a.ObjectRaw() == b.ObjectRaw();
  if (a.IsNil() || a.IsLogical() || a.IsNumber() || a.IsString() || a.IsDate() || a.IsTimestamp()) {
    return ExactEqual(a, b);
  }
  return false;  // code blocks and anything else: never taken as the same
}

}  // namespace

std::span<const Field<TChart>> TChart::Fields() { return kChartFields; }

std::shared_ptr<TChart> TChart::New(const Value& owner) {
  auto chart = std::make_shared<TChart>();
  chart->Init(owner);
  return chart;
}

Value TChart::Init(const Value& owner) {
  TObjectBase::Init(owner);
  cName = Value("Grafico");
  cType = Value("TChart");
  cChartKind = "chart";
  hChartSpec = Value::NewHash();
  cVb12SourceJson.clear();
  return Self();
}

std::shared_ptr<TObjectBase> TChart::Create() { return TObjectBase::Create(); }

Value TChart::End() {
  TerminarComposicionRepetida();
  hChartSpec = Value::NewHash();
  TObjectBase::End();
  return Value();
}

Value TChart::Load(const Value& data) {
  TObjectBase::Load(data);
  if (data.IsHash()) LoadFields<TChart>(*this, kChartFields, data, KeyMatch::Exact);
  return Self();
}

Value TChart::Save() {
  Value data = TObjectBase::Save();
  SaveFields<TChart>(*this, kChartFields, data.AsHash());
  return data;
}

std::string TChart::StringValue(const Value& value) { return ValorAString(value); }

Value TChart::NumberValue(const Value& value) { return ValorANumero(value); }

Value TChart::DetailRecords(const Value& data) { return TConectorDatos::RegistrosDetalleVar(data); }

void TChart::IniciarComposicionRepetida() {
  kept_ = KeptData{};
  kept_.reuse = true;
}

void TChart::TerminarComposicionRepetida() { kept_ = KeptData{}; }

// The data is rebuilt unless every input it can read is unchanged. The run data is compared by
// identity: a repeated composition (a label run) composes from a snapshot of its records and nothing
// in the run edits the data, so the same data object means the same records; comparing by contents
// would cost a pass over every record on every label. The kind and the chart definition are
// compared by contents, so an edit between two labels is seen. The page (sheet) number matters only
// when building the data read it (Page(), Pages(), LastPage() or the pages by key, directly or
// through a variable or formula function): otherwise a chart on every label of a run is built once.
// Each formula is evaluated with the chart's own detail record current (record, index, total and
// neighbours), so the label's own record does not reach it. A chart drawn outside a repeated
// composition never keeps anything.
bool TChart::KeptDataFits(const Value& data, int64_t page) const {
  return kept_.valid && data.Identical(kept_.sourceData) && kept_.kind == cChartKind &&
         (!kept_.readsPage || kept_.page == page) && SameContents(hChartSpec, kept_.definition);
}

Value TChart::BuildData(TContextoEjecucion* ctx, const Value& records) {
  ++dataBuilds_;
  if (ctx != nullptr && records.Len() > 0) {
    RecordStateGuard keep(*ctx);
    return cChartKind == "crosstab" ? BuildCrosstab(ctx, records) : BuildChart(ctx, records);
  }
  return cChartKind == "crosstab" ? BuildCrosstab(nullptr, records) : BuildChart(nullptr, records);
}

Value TChart::GenerarRenderizable(const Value& context) {
  if (!ValorALogico(EsVisibleEnEjecucion(context))) return Value();

  TContextoEjecucion* ctx = context.As<TContextoEjecucion>();
  const Value data = ctx != nullptr ? ctx->GetData() : Value::NewHash();
  const int64_t page = ctx != nullptr ? ctx->nPaginaActual : 0;
  Value render;
  if (kept_.reuse && KeptDataFits(data, page)) {
    // A copy: the per-label keys below and the label road's shift change the render object.
    render = kept_.data.Clone();
  } else {
    const uint64_t pageReadsBefore = ctx != nullptr ? ctx->PageStateReads() : 0;
    render = BuildData(ctx, DetailRecords(data));
    if (kept_.reuse) {
      kept_.valid = true;
      kept_.sourceData = data;
      kept_.kind = cChartKind;
      kept_.definition = hChartSpec.Clone();
      kept_.readsPage = ctx != nullptr && ctx->PageStateReads() != pageReadsBefore;
      kept_.page = page;
      kept_.data = render.Clone();
    }
  }

  Hash& h = render.AsHash();
  h.Put("id", cId);
  h.Put("tipo", Value(cChartKind));
  PutPlacementKeys(h);
  h.Put("zIndex", nZIndex);
  h.Put("opacidad", nOpacity);
  h.Put("rotacion", nRotation);
  // A copy: what the renderer does with the chart definition never reaches the template.
  h.Put("spec", hChartSpec.IsHash() ? hChartSpec.Clone() : Value::NewHash());
  return render;
}

Value TChart::BuildChart(TContextoEjecucion* ctx, const Value& records) {
  Value points = Value::NewArray();
  if (ctx != nullptr) {
    const Value category(FormulaOf(hChartSpec, "cCategoryFormula", kEmptyTextFormula));
    const Value amount(FormulaOf(hChartSpec, "cValueFormula", "0"));
    points.AsArray().reserve(records.Len());
    ForEachRecord(*ctx, records, [&](size_t) {
      Value point = Value::NewHash();
      point.Set("label", Value(StringValue(ctx->EvaluarFormula(category))));
      point.Set("value", NumberValue(ctx->EvaluarFormula(amount)));
      points.AsArray().push_back(std::move(point));
    });
  }
  Value result = Value::NewHash();
  result.Set("puntos", points);
  return result;
}

Value TChart::BuildCrosstab(TContextoEjecucion* ctx, const Value& records) {
  Value rows = Value::NewHash();
  Value columns = Value::NewHash();
  Value cells = Value::NewHash();
  Value rowStyles = Value::NewHash();
  Value columnStyles = Value::NewHash();
  Value cellStyles = Value::NewHash();

  const Value listed = HGet(hChartSpec, "aDefinitions");
  const Value definitions = listed.IsArray() ? listed : Value::FromArray({hChartSpec});
  for (size_t d = 1; ctx != nullptr && d <= definitions.Len(); ++d) {
    const Value definition = definitions.Item(d);
    if (!definition.IsHash()) continue;
    const Value rowLevel = NumberValue(HGet(definition, "nRowLevel", Value::Int(0)));
    const Value columnLevel = NumberValue(HGet(definition, "nColumnLevel", Value::Int(0)));
    const bool summaryRow = rowLevel.AsNumber().AsDouble() > 0;
    const bool summaryColumn = columnLevel.AsNumber().AsDouble() > 0;
    if (summaryRow && !SummaryShown(definition, "lShowRowSummary")) continue;
    if (summaryColumn && !SummaryShown(definition, "lShowColumnSummary")) continue;

    const Value rowFormula(FormulaOf(definition, "cRowFormula", kEmptyTextFormula));
    const Value columnFormula(FormulaOf(definition, "cColumnFormula", kEmptyTextFormula));
    const Value cellFormula(FormulaOf(definition, "cCellFormula", ""));
    const Value rowLabelFormula(FormulaOf(definition, "cRowLabelFormula", ""));
    const Value columnLabelFormula(FormulaOf(definition, "cColumnLabelFormula", ""));
    if (IsBlankText(cellFormula.AsString())) continue;
    const bool rowLabelled = !IsBlankText(rowLabelFormula.AsString());
    const bool columnLabelled = !IsBlankText(columnLabelFormula.AsString());
    const std::string summaryRowKey = "__summary_row_" + StringValue(rowLevel);
    const std::string summaryColumnKey = "__summary_col_" + StringValue(columnLevel);
    const Value rowStyle = StyleOf(definition, "hRowStyle");
    const Value columnStyle = StyleOf(definition, "hColumnStyle");
    const Value cellStyle = StyleOf(definition, "hCellStyle");

    ForEachRecord(*ctx, records, [&](size_t) {
      const std::string rowKey = summaryRow ? summaryRowKey : StringValue(ctx->EvaluarFormula(rowFormula));
      const std::string columnKey =
          summaryColumn ? summaryColumnKey : StringValue(ctx->EvaluarFormula(columnFormula));
      const Value amount = NumberValue(ctx->EvaluarFormula(cellFormula));
      std::string rowLabel = rowLabelled ? StringValue(ctx->EvaluarFormula(rowLabelFormula)) : "";
      std::string columnLabel = columnLabelled ? StringValue(ctx->EvaluarFormula(columnLabelFormula)) : "";
      if (IsBlankText(rowLabel)) rowLabel = summaryRow ? "Total" : rowKey;
      if (IsBlankText(columnLabel)) columnLabel = summaryColumn ? "Total" : columnKey;

      // The record is popped by ForEachRecord right after; nothing below evaluates a formula.
      rows.Set(rowKey, Value(std::move(rowLabel)));
      columns.Set(columnKey, Value(std::move(columnLabel)));
      rowStyles.Set(rowKey, rowStyle);
      columnStyles.Set(columnKey, columnStyle);
      Hash& rowCells = HashEntry(cells.AsHash(), rowKey).AsHash();
      HashEntry(cellStyles.AsHash(), rowKey).Set(columnKey, cellStyle);
      const Value* sum = rowCells.Find(columnKey);
      rowCells.Put(columnKey, OpAdd(sum != nullptr ? *sum : Value::Int(0), amount));
    });
  }

  Value styles = Value::NewHash();
  styles.Set("filas", rowStyles);
  styles.Set("columnas", columnStyles);
  styles.Set("celdas", cellStyles);
  Value result = Value::NewHash();
  result.Set("filas", rows);
  result.Set("columnas", columns);
  result.Set("celdas", cells);
  result.Set("estilos", styles);
  return result;
}

bool TChart::RespondsTo(std::string_view name) const {
  return HasFieldNamed<TChart>(kChartFields, name) ||
         NameIn(name, {"New", "Init", "Create", "End", "Save", "Load", "GenerarRenderizable"}) ||
         TObjectBase::RespondsTo(name);
}

}  // namespace nv

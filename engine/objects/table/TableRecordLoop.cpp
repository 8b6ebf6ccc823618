#include "objects/table/TableRecordLoop.h"

#include <algorithm>
#include <cmath>

#include "Accessors.h"
#include "Runtime.h"
#include "objects/table/TTable.h"
#include "objects/table/TableMath.h"
#include "run/TContextoEjecucion.h"

namespace nv {

namespace {

constexpr double kTolerance = TTable::kTableLayoutToleranceMm;

double D(const Value& v) { return TableMath::D(v); }

/// Milliseconds of a timing figure.
Value Ms(double d) { return Value::Dbl(d, 3); }

bool SectionFlag(const Value& sections, std::string_view section, std::string_view key) {
  return HGet(HGet(sections, section), key).IsTrue();
}

bool SectionHasLines(const Value& sections, std::string_view section) {
  return HGet(HGet(sections, section), "aLines").Len() > 0;
}

/// The entries after the first n.
Value DropLeading(const Value& entries, int64_t n) {
  Value rest = Value::NewArray();
  const Array& all = entries.AsArray();
  for (size_t p = static_cast<size_t>(std::max<int64_t>(0, n)); p < all.size(); ++p) rest.Append(all[p]);
  return rest;
}

Value InitialDiagnostics() {
  Value d = Value::NewHash();
  for (std::string_view key : {"nSetupMs", "nRecordLoopMs", "nFinishMs", "nPartitionMs", "nRenderLinesMs",
                               "nCellContentMs", "nAccumulateMs"}) {
    d.Set(key, Value::Dbl(0.0, 1));
  }
  d.Set("nRecordsExamined", Value::Int(0));
  d.Set("nTotalMs", Value::Dbl(0.0, 1));
  return d;
}

}  // namespace

TableRecordLoop::TableRecordLoop(TTable& table, const Value& context)
    : table_(table), context_(context), ctx_(context.As<TContextoEjecucion>()) {}

double TableRecordLoop::Y() const { return D(y_); }
bool TableRecordLoop::Fits(double bottom) const { return bottom <= limit_ + kTolerance; }
bool TableRecordLoop::AtBodyStart() const { return TTable::IsAtBodyStart(Y(), bodyStart_); }

void TableRecordLoop::Warn(const std::string& text) {
  if (ctx_ != nullptr) ctx_->AddAviso(Value(text));
}

Value TableRecordLoop::Render(std::string_view sectionKey, const Value& entries, const Value& recordIndex) {
  return table_.RenderSectionLines(result_, sectionKey, entries, y_, z_, frame_, context_, recordIndex);
}

Value TableRecordLoop::Partition(std::string_view sectionKey, const Value& recordIndex) {
  return table_.PartitionSectionLines(sections_, sectionKey, context_, recordIndex);
}

Value TableRecordLoop::Visible(std::string_view sectionKey, const Value& recordIndex) {
  return Partition(sectionKey, recordIndex).Item(1);
}

Value TableRecordLoop::FooterTop(const Value& footer) const {
  const Value room = TableMath::Sub(ValorANumero(table_.nHeight), TTable::SectionLinesHeight(footer));
  return TableMath::Add(ValorANumero(table_.nTop), TableMath::Max(Value::Int(0), room));
}

Value TableRecordLoop::Run() {
  startMs_ = TableMath::NowMs();
  const Value options = TTable::RuntimeOptions(context_);
  const bool global = HGet(options, "lRegistrosDetalleGlobalRuntime").IsTrue();
  const Value base = HGet(options, "nRegistroBase");
  first_ = global && base.IsNumber() ? std::max<int64_t>(0, ValueInt(base)) : 0;
  progress_ = ctx_ != nullptr && ctx_->TieneProgreso().IsTrue();
  table_.hCellRenderCache = Value::NewHash();
  table_.hPerformanceDiagnostics = InitialDiagnostics();
  if (!ValorALogico(table_.EsVisibleEnEjecucion(context_))) return Value();

  table_.digest_.Watch(ctx_);
  Setup();
  table_.hPerformanceDiagnostics.Set("nSetupMs", Ms(TableMath::NowMs() - startMs_));

  const double loopStart = TableMath::NowMs();
  // The loop makes at least one pass, so a window at or below its first record still shows that
  // record; but without records, or with the first record past the end, there is nothing to show
  // (an empty record would show the connector's first record through its variables). A designer
  // always has records: the samples.
  const int64_t last = first_ < count_ ? std::max(first_ + 1, end_) : first_;
  Step step = Step::Next;
  for (int64_t i = first_; i < last && step == Step::Next; ++i) {
    step = Record(i);
    table_.digest_.Collapse();
  }
  table_.hPerformanceDiagnostics.Set("nRecordLoopMs", Ms(TableMath::NowMs() - loopStart));
  if (step == Step::Cancel) {
    // A cancelled run has no page to show: the caller ends it without a result.
    table_.hCellRenderCache = Value::NewHash();
    return Value();
  }
  Finish();
  table_.digest_.Collapse();
  return result_;
}

void TableRecordLoop::Setup() {
  frame_ = table_.TRectangle::GenerarRenderizable(context_);
  if (frame_.IsHash()) result_.Append(frame_);
  z_ = TableMath::Add(ValorANumero(table_.nZIndex), Value(0.01));
  if (!table_.hNormalizedSectionsCache.IsHash()) table_.hNormalizedSectionsCache = table_.NormalizeSections();
  sections_ = table_.hNormalizedSectionsCache;
  table_.ResolveContinuationKey(context_);
  table_.ResetAcumuladores(context_);

  const Value header = Visible("header", Value());
  const double footerTop = D(FooterTop(Visible("footer", Value())));
  y_ = ValorANumero(table_.nTop);
  y_ = Render("header", header, Value());
  bodyStartValue_ = y_;
  bodyStart_ = Y();
  content_ = table_.cHeightMode == "content";
  limit_ = content_ ? 1000000000.0 : std::max(bodyStart_, footerTop);

  records_ = table_.RecordSource(context_, TTable::RecordWindow::Run);
  count_ = records_->Count();
  const Value window = HGet(TTable::RuntimeOptions(context_), "nRegistroFinRuntime");
  const int64_t windowEnd = window.IsNumber() ? ValueInt(window) : count_;
  end_ = std::min(count_, std::max(first_, windowEnd));

  breakExpression_ = Value(AllTrim(ValueString(HGet(table_.hGroup, "cBreakExpression"))));
  groupExpressions_ = table_.GroupExpressions(sections_, breakExpression_);
  designer_ = TTable::IsDesignerMode(context_);
  const bool groupSections = SectionHasLines(sections_, "groupHeader") || SectionHasLines(sections_, "groupFooter");
  grouping_ = groupExpressions_.Len() > 0 || (designer_ && groupSections);
  skipEmpty_ = HGet(table_.hGroup, "lSkipEmptyValues").IsTrue();
  footerOnEmpty_ = SectionFlag(sections_, "groupFooter", "lAlsoOnEmptyGroup");
}

const std::pair<std::string, bool>& TableRecordLoop::Signature(int64_t g, const Value& record) {
  for (const Memo& m : memo_) {
    if (m.global == g) return m.value;
  }
  Memo& slot = memo_[memoNext_];
  memoNext_ = (memoNext_ + 1) % memo_.size();
  slot.global = g;
  slot.value = {table_.GroupSignature(groupExpressions_, record, context_),
                table_.GroupSignatureIsEmpty(groupExpressions_, record, context_)};
  return slot.value;
}

TableRecordLoop::GroupFacts TableRecordLoop::AnalyseGroup(int64_t i, const Value& record) {
  GroupFacts facts;
  if (!grouping_) return facts;
  facts.previous = table_.AdjacentRuntimeRecord(context_, *records_, i, -1);
  facts.next = table_.AdjacentRuntimeRecord(context_, *records_, i, +1);
  const int64_t g = table_.GlobalRecordIndex(context_, i);
  const auto own = Signature(g, record);
  facts.signature = own.first;
  facts.active = designer_ || !skipEmpty_ || !own.second;
  facts.eligible = facts.active || footerOnEmpty_;
  if (facts.previous.IsHash()) facts.previousSignature = Signature(g - 1, facts.previous).first;
  if (facts.next.IsHash()) {
    const auto next = Signature(g + 1, facts.next);
    facts.nextSignature = next.first;
    const bool nextActive = designer_ || !skipEmpty_ || !next.second;
    facts.nextEligible = nextActive || footerOnEmpty_;
  }
  return facts;
}

void TableRecordLoop::KeepAccumulators() {
  if (ctx_ == nullptr || !snapshot_.accumulators.IsNil()) return;
  snapshot_.accumulators = ctx_->hAcumuladores.IsHash() ? ctx_->hAcumuladores.Clone() : Value::NewHash();
}

void TableRecordLoop::Rollback() {
  Array& all = result_.AsArray();
  if (all.size() > snapshot_.resultSize) {
    all.resize(snapshot_.resultSize);
    table_.borderIndex_.Clear();
  }
  y_ = snapshot_.y;
  groupOpen_ = snapshot_.groupOpen;
  repeated_ = snapshot_.repeated;
  firstDetailY_ = snapshot_.firstDetailY;
  if (ctx_ != nullptr && snapshot_.accumulators.IsHash()) {
    // The values are restored into the context's own hash: a host may hold it.
    if (ctx_->hAcumuladores.IsHash()) {
      ctx_->hAcumuladores.AsHash() = snapshot_.accumulators.AsHash();
    } else {
      ctx_->hAcumuladores = snapshot_.accumulators;
    }
    ctx_->InvalidarVariables();
  }
}

TableRecordLoop::Step TableRecordLoop::StopRecord(int64_t i, int64_t placedLines) {
  if (placedLines > 0) {
    // The detail is drawn and accumulated; only the group footer is left for the next run.
    table_.SetDetailContinuation(context_, i, placedLines);
  } else {
    Rollback();
  }
  table_.PopRecordVariables(context_);
  return Step::Stop;
}

TableRecordLoop::Step TableRecordLoop::CutDetail(int64_t i, const Value& fitting, int64_t offset) {
  if (firstDetailY_.IsNil()) firstDetailY_ = y_;
  Render("detail", fitting, Value::Int(i));
  table_.SetDetailContinuation(context_, i, offset + static_cast<int64_t>(fitting.Len()));
  table_.PopRecordVariables(context_);
  return Step::Stop;
}

TableRecordLoop::Step TableRecordLoop::Record(int64_t i) {
  Value& diagnostics = table_.hPerformanceDiagnostics;
  diagnostics.Set("nRecordsExamined", Value::Int(ValueInt(HGet(diagnostics, "nRecordsExamined")) + 1));
  if (progress_ && ctx_->InformarRegistroExaminado(Value::Int(i + 1)).IsFalse()) return Step::Cancel;
  // Render objects kept by one record's emptiness tests never serve another record.
  table_.hCellRenderCache = Value::NewHash();

  // A position past the end (a window beyond the data) is an empty record, never record 1 again.
  const Value record = i < count_ ? records_->At(i) : Value::NewHash();
  if (!table_.PushRecordVariables(context_, record, i, count_, *records_)) return Step::Stop;
  const Value index = Value::Int(i);

  snapshot_ = Snapshot{result_.Len(), y_, Value(), groupOpen_, repeated_, firstDetailY_};
  forced_ = AtBodyStart();
  // Where a warning of this record says it happened; built only when one is given.
  auto where = [this, i] {
    return " en " + ValueString(table_.cId) + " (registro " + std::to_string(table_.GlobalRecordIndex(context_, i) + 1) +
           ")";
  };

  bool concatenated = false;
  const GroupFacts group = AnalyseGroup(i, record);
  const int64_t offset = table_.DetailContinuationOffset(context_, i);
  const bool continues = offset > 0 || (group.eligible && group.previous.IsHash() &&
                                        group.previousSignature == group.signature);
  const bool opens = group.eligible && !continues;
  const bool closes = group.eligible && (!group.next.IsHash() || !group.nextEligible ||
                                         group.nextSignature != group.signature);

  if (!AtBodyStart() && table_.TableRequestsPageBreakBefore(context_)) return StopRecord(i, 0);

  if (opens) {
    const Value entries = group.active ? table_.GroupBoundaryLines(Visible("groupHeader", index), record,
                                                                    group.previous, breakExpression_, context_)
                                       : Value::NewArray();
    const double height = D(TTable::SectionLinesHeight(entries));
    double nextData = 0;
    if (SectionFlag(sections_, "groupHeader", "lConcatNextDataLine") && entries.Len() > 0) {
      const Value detail = Visible("detail", index);
      if (detail.Len() > 0) {
        nextData = TTable::SectionKeepsTogether(detail)
                       ? D(TTable::SectionLinesHeight(detail))
                       : std::max(0.0, D(ValorANumero(HGet(HGet(detail.Item(1), "line"), "nHeight", Value::Int(8)))));
        if (TTable::SectionRequestsPageBreakBefore(detail, "detail", context_) && !forced_) return StopRecord(i, 0);
        concatenated = true;
      }
    }
    if (TTable::SectionRequestsPageBreakBefore(entries, "groupHeader", context_) && !forced_) return StopRecord(i, 0);
    if (!Fits(Y() + height)) {
      if (!forced_) return StopRecord(i, 0);
      Warn("Cabecera de grupo mas alta que el espacio de la tabla" + where() + ": se coloca igualmente");
    }
    if (nextData > 0 && !Fits(Y() + height + nextData) && !forced_) return StopRecord(i, 0);
    KeepAccumulators();
    table_.ResetLineAcumuladores(entries, context_);
    y_ = Render("groupHeader", entries, index);
    groupOpen_ = true;
  } else if (group.eligible && !groupOpen_) {
    groupOpen_ = true;
  }

  if (group.active && continues && !repeated_ && AtBodyStart()) {
    const Value entries = Visible("groupHeader", index);
    if (TTable::SectionRepeatAsHeader(entries)) {
      if (Fits(Y() + D(TTable::SectionLinesHeight(entries)))) {
        y_ = Render("groupHeaderRepeat", entries, index);
        repeated_ = true;
      } else {
        // Drawn, it would leave no room for the record it announces: the run would never end.
        Warn("Cabecera de grupo repetida mas alta que el espacio de la tabla" + where() + ": no se repite");
      }
    }
  }

  const Value partition = Partition("detail", index);
  const Value hidden = partition.Item(2);
  Value footer = Value::NewArray();
  if (closes) {
    footer = table_.GroupBoundaryLines(Visible("groupFooter", index), record, group.next, breakExpression_, context_);
  }
  const Value detail = offset > 0 ? DropLeading(partition.Item(1), offset) : partition.Item(1);
  const double detailHeight = D(TTable::SectionLinesHeight(detail));
  const bool footerKeeps = TTable::SectionKeepWithPrevious(footer, "groupFooter");
  const bool footerKept = closes && groupOpen_ && footerKeeps;
  const bool footerBreaks = closes && TTable::SectionRequestsPageBreakBefore(footer, "groupFooter", context_);
  if (footerBreaks && footerKept && !forced_) return StopRecord(i, 0);
  const double reserved = footerKept ? D(TTable::SectionLinesHeight(footer)) : 0.0;

  int64_t placed = 0;  // detail lines of this record drawn in this run, counted from its first
  if (detailHeight > 0) {
    if (TTable::SectionRequestsPageBreakBefore(detail, "detail", context_) && !concatenated && !forced_) {
      return StopRecord(i, 0);
    }
    const double available = std::max(0.0, limit_ - Y() - reserved);
    if (!TTable::SectionKeepsTogether(detail)) {
      const Value fitting = TTable::FittingSectionLines(detail, available, AtBodyStart() || forced_);
      if (fitting.Len() < detail.Len()) {
        if (fitting.Len() == 0) return StopRecord(i, 0);
        return CutDetail(i, fitting, offset);
      }
    }
    if (!Fits(Y() + detailHeight + reserved)) {
      if (!forced_) return StopRecord(i, 0);
      const Value fitting = TTable::FittingSectionLines(detail, available, true);
      if (fitting.Len() < detail.Len()) {
        Warn("Bloque de detalle mas alto que el espacio de la tabla" + where() + ": se divide");
        return CutDetail(i, fitting, offset);
      }
      Warn("Bloque de detalle mas alto que el espacio de la tabla" + where() + ": se coloca igualmente");
    }
    if (firstDetailY_.IsNil()) firstDetailY_ = y_;
    y_ = Render("detail", detail, index);
    table_.ClearDetailContinuation(context_);
    KeepAccumulators();
    table_.AcumularDetalle(context_);
    placed = offset + static_cast<int64_t>(detail.Len());
    if (TTable::SectionRequestsPageBreakAfter(detail) &&
        TTable::HasNextLogicalBlockAfterDetail(i, count_, closes, footer) && (!closes || !footerKeeps)) {
      // A group footer still to come is drawn first on the next run, not lost.
      if (closes && footer.Len() > 0) return StopRecord(i, placed);
      table_.MarkRecordConsumed(context_, i);
      table_.PopRecordVariables(context_);
      return Step::Stop;
    }
  } else if (offset == 0 && TTable::SectionForcesAccumulators(hidden)) {
    // With an offset the record's lines were drawn and accumulated by an earlier run.
    KeepAccumulators();
    table_.AcumularDetalle(context_);
  }

  if (closes) {
    if (TTable::SectionRequestsPageBreakBefore(footer, "groupFooter", context_) && !footerKeeps && !forced_) {
      return StopRecord(i, placed);
    }
    if (!Fits(Y() + D(TTable::SectionLinesHeight(footer)))) {
      if (!forced_) return StopRecord(i, placed);
      Warn("Pie de grupo mas alto que el espacio de la tabla" + where() + ": se coloca igualmente");
    }
    table_.hCellRenderCache = Value::NewHash();
    y_ = Render("groupFooter", footer, index);
    KeepAccumulators();
    table_.ResetLineAcumuladores(footer, context_);
    groupOpen_ = false;
    if (TTable::SectionRequestsPageBreakAfter(footer) && i < count_ - 1) {
      if (offset > 0) table_.ClearDetailContinuation(context_);
      table_.MarkRecordConsumed(context_, i);
      table_.PopRecordVariables(context_);
      return Step::Stop;
    }
  }

  if (offset > 0) table_.ClearDetailContinuation(context_);
  table_.MarkRecordConsumed(context_, i);
  table_.PopRecordVariables(context_);
  return Step::Next;
}

void TableRecordLoop::Finish() {
  const double finishStart = TableMath::NowMs();
  table_.hCellRenderCache = Value::NewHash();
  const Value footer = Visible("footer", Value());
  const Value footerTop = FooterTop(footer);
  Value footerY;
  if (content_) {
    footerY = y_;
  } else if (table_.lFooterOnBottom) {
    footerY = footerTop;
  } else {
    footerY = Y() <= D(footerTop) ? y_ : footerTop;
  }
  const Value separatorsFrom = firstDetailY_.IsNil() ? bodyStartValue_ : firstDetailY_;
  table_.RenderFixedSeparators(result_, sections_, separatorsFrom, footerY, z_, frame_, context_);
  y_ = footerY;
  const Value bottom = Render("footer", footer, Value());
  if (content_ && frame_.IsHash() && result_.Len() > 0) {
    Value first = result_.Item(1);
    first.Set("alto", TableMath::Max(Value(0.1), TableMath::Sub(bottom, ValorANumero(table_.nTop))));
    first.Set("modoAlto", Value("content"));
  }
  const double now = TableMath::NowMs();
  table_.hPerformanceDiagnostics.Set("nFinishMs", Ms(now - finishStart));
  table_.hPerformanceDiagnostics.Set("nTotalMs", Ms(now - startMs_));
}

}  // namespace nv

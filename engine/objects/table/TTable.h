#pragma once
// The table: a rectangle that lays out repeating data as sections of lines of cells (a table
// header, a detail block per record, group headers and footers, a table footer). It keeps its
// sections in a canonical, fully defaulted form (TableNormalizer), saves and loads them, and turns
// lines into render objects: line rectangles with their borders, cell backgrounds, cell contents
// rendered by their own layout objects, vertical separators and fixed column rules.
//
// The record loop, the record source, line visibility, groups and the export use the interface
// declared below; the operations they are built from answer their documented empty result until
// they are filled in.

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "data/RecordSequence.h"
#include "objects/Field.h"
#include "objects/TRectangle.h"
#include "objects/table/AdjacentBorderIndex.h"
#include "run/FuenteDiagnosticos.h"
#include "run/NoticeDigest.h"

namespace nv {

class TContextoEjecucion;

class TTable : public TRectangle, public FuenteDiagnosticos {
 public:
  /// The table header section; while a section is normalized, the work slot for that section.
  Value hHeader = Value::NewHash();
  /// The five sections, keyed "header", "detail", "footer", "groupHeader", "groupFooter".
  Value hSections = Value::NewHash();
  /// Group settings: "cBreakExpression", "aBreakExpressions", "lSkipEmptyValues".
  Value hGroup = Value::NewHash();
  /// Formula; a record for which it is true starts on a new page.
  std::string cPageBreakCondition;
  /// Vertical column rules run from the first detail line down to the footer.
  bool lFixedSeparators = false;
  /// The table footer sits at the bottom of the table's box rather than after the last line.
  bool lFooterOnBottom = true;
  /// "fixed": the table keeps its height; "content": it grows with its lines.
  std::string cHeightMode = "fixed";
  /// Layout objects made for cell contents, keyed section|line|cell|type, reused across records.
  Value hCellObjectCache = Value::NewHash();
  /// Render objects of cell contents kept by emptiness tests for the renderer, keyed by the
  /// object key and the record index.
  Value hCellRenderCache = Value::NewHash();
  /// The sections normalized by the last Load, reused by the execution; nil when none.
  Value hNormalizedSectionsCache;
  /// Timing counters of the last execution.
  Value hPerformanceDiagnostics = Value::NewHash();

  /// Millimetres of overflow every fit test accepts.
  static constexpr double kTableLayoutToleranceMm = 0.25;
  /// Millimetres below which normalization makes no column.
  static constexpr double kMinColumnWidth = 5.0;

  // ---- Life cycle and stored form ----------------------------------------------------------------

  /// Creates a table owned by owner (a document or nil) with every default set.
  static std::shared_ptr<TTable> New(const Value& owner = Value());
  /// The rectangle's defaults, then "Tabla", "TTable", 80 x 45 mm, background "#f8fafc" and the
  /// table members' defaults. Returns the object.
  Value Init(const Value& owner = Value()) override;
  /// The base Create, then the header normalized. Returns the object.
  std::shared_ptr<TObjectBase> Create() override;
  /// Ends the cell objects, empties the caches and drops the owner. Returns nil.
  Value End() override;
  /// The base template hash, then "hSections" (normalized afresh), "cPageBreakCondition",
  /// "lFixedSeparators", "lFooterOnBottom", "cHeightMode", "hHeader" and "hGroup".
  Value Save() override;
  /// Reads the base keys and the table keys of data (a hash; anything else only normalizes the
  /// sections held), never writing into data, then normalizes and caches the sections.
  Value Load(const Value& data) override;
  /// The render objects of one page of the table (TableRecordLoop), or nil when it is not
  /// visible or a progress callback cancelled the run.
  Value GenerarRenderizable(const Value& context) override;
  /// The table as plain export data: one column per detail cell, titled from the header, one row
  /// per record with a visible detail line, over every record whatever the run's base.
  Value GenerarDatosExportables(const Value& context);
  /// A copy of the timing counters of the last execution (the execution engine sums them).
  Value GetPerformanceDiagnostics() override;

  // ---- Normalization -------------------------------------------------------------------------------

  /// Normalizes every section in place and returns the normalized sections hash; hHeader,
  /// hSections and hGroup take their normalized forms.
  Value NormalizeSections();
  /// Moves the first non-blank "cPageBreakCondition" of a stored line to the table when the
  /// table has none (header, groupHeader, groupFooter, detail, footer, lines in order).
  void MigrateSectionPageBreakCondition();
  /// The normalized section of a stored one, its key derived from its default name.
  Value NormalizeSection(const Value& section, std::string_view name);
  /// Normalizes the lines of the section held in hHeader (its "cSectionKey", default "header");
  /// hHeader becomes {"aLines": the lines}, which is returned.
  Value NormalizeHeader();
  static Value NormalizeGroupSettings(const Value& settings);
  static Value NormalizeLineAdvancedOptions(const Value& line, std::string_view sectionKey);
  static Value NormalizeZebraPattern(const Value& zebra);
  static Value DefaultHeaderLine(const Value& name, const Value& height, const Value& cells);
  static std::string_view SectionKeyFromDefaultName(std::string_view name);
  static Value DefaultHeaderLineBackground();
  static Value NormalizeHeaderLineBackground(const Value& background);
  static Value DefaultHeaderLineBorder(bool verticalSeparators = true);
  static Value NormalizeHeaderLineBorder(const Value& border, bool verticalSeparators = true);
  static Value DefaultHeaderLinePadding();
  static Value NormalizeHeaderLinePadding(const Value& padding);
  static Value DefaultLineReservedSpace();
  static Value NormalizeLineReservedSpace(const Value& space);
  static Value DefaultHeaderCell(const Value& width);
  static Value NormalizeHeaderCell(const Value& cell, const Value& width);
  static Value DefaultHeaderCellBackground();
  static Value NormalizeHeaderCellBackground(const Value& background);
  static Value NormalizeHeaderCellContent(const Value& content);
  static double TableLayoutToleranceMm() { return kTableLayoutToleranceMm; }
  static double MinColumnWidth() { return kMinColumnWidth; }

  // ---- Rendering -----------------------------------------------------------------------------------

  /// Appends the render objects of the line entries ({"index", "line"}) to result (an array),
  /// starting at y millimetres with line layer z; recordIndex is nil for header and footer
  /// lines. Returns the y below the last line.
  Value RenderSectionLines(const Value& result, std::string_view sectionKey, const Value& entries, const Value& y,
                           const Value& z, const Value& frame, const Value& context, const Value& recordIndex);
  /// Appends the edge rectangle and internal rules of fixed separators between yFrom and yTo.
  void RenderFixedSeparators(const Value& result, const Value& sections, const Value& yFrom, const Value& yTo,
                             const Value& z, const Value& frame, const Value& context);
  /// The sum of the cells' widths, or the table width (at least 0.1) when that sum is 0.
  Value LineRenderWidth(const Value& line, const Value& frame) const;
  /// The left edge of a line width millimetres wide: shifted by reserved space, at the table's
  /// left in group headers, otherwise centred when narrower than the table.
  Value LineRenderLeft(const Value& line, const Value& width, const Value& frame, std::string_view sectionKey) const;
  bool LineUsesFixedVerticalSeparators(std::string_view sectionKey, const Value& line) const;
  Value LineBorderWidth(const Value& border, const Value& frame) const;
  Value LineBorderColor(const Value& border, const Value& frame, const Value& context);
  Value LineBackgroundColor(const Value& background, const Value& context);
  static Value ZebraLineBackgroundColor(const Value& line, int64_t globalIndex, const Value& def);
  static Value ZebraLineFillOpacity(const Value& line, int64_t globalIndex);
  /// The smaller of h / 2 and h x rounding / 200, h the height clamped to 0..table width.
  Value LineBorderRadiusMm(const Value& height, const Value& border) const;
  /// True when the last rectangle of result with a bottom border at x and width ends at y.
  bool PreviousAdjacentBottomBorderExists(const Value& result, const Value& x, const Value& y, const Value& width);
  /// The separator after the cell at 1-based position: the cells' sides when either cell has a
  /// border hash, otherwise the border's "lVerticalSeparators".
  static bool InternalSeparatorEnabled(const Value& cells, size_t position, const Value& border);
  static bool FixedSeparatorInternalEnabled(const Value& cells, size_t position, const Value& border);
  static bool CellBorderDefined(const Value& cells, size_t position);
  static bool FixedSeparatorCellSideEnabled(const Value& cells, size_t position, std::string_view side);
  /// The first detail line with more than one cell, or nil.
  static Value FixedSeparatorDetailLine(const Value& sections);
  Value CellBackgroundRenderizable(const Value& cell, std::string_view sectionKey, int64_t lineIndex,
                                   int64_t cellIndex, const Value& recordIndex, const Value& x, const Value& y,
                                   const Value& w, const Value& h, const Value& z, const Value& context);
  /// The render object of a cell's content, made by the content's own layout object placed in
  /// the cell's box; nil for an empty cell. keep: store a copy for the next render of the same
  /// record (emptiness tests).
  Value CellContentRenderizable(const Value& cell, std::string_view sectionKey, int64_t lineIndex,
                                int64_t cellIndex, const Value& recordIndex, const Value& x, const Value& y,
                                const Value& w, const Value& h, const Value& z, const Value& context, bool keep);
  /// Ends every cached cell object and empties the cache.
  void ClearCellObjectCache();
  std::string LineRenderId(std::string_view sectionKey, const Value& recordIndex, int64_t lineIndex) const;
  std::string CellContentRenderId(std::string_view sectionKey, const Value& recordIndex, int64_t lineIndex,
                                  int64_t cellIndex, std::string_view type) const;
  std::string CellBackgroundRenderId(std::string_view sectionKey, const Value& recordIndex, int64_t lineIndex,
                                     int64_t cellIndex) const;
  std::string VerticalSeparatorRenderId(std::string_view sectionKey, const Value& recordIndex, int64_t lineIndex,
                                        size_t position) const;
  static Value LineaCabeceraRenderizable(const Value& id, const Value& x, const Value& y, const Value& height,
                                         const Value& width, const Value& borderWidth, const Value& layer,
                                         const Value& fill, const Value& borderColor, const Value& border,
                                         const Value& fillOpacity = Value::Int(1), const Value& radiusMm = Value::Int(0));
  static Value TrazoRenderizable(const Value& id, const Value& x, const Value& y, const Value& width,
                                 const Value& height, const Value& layer, const Value& color);
  static Value FixedSeparatorEdgesRenderizable(const Value& id, const Value& x, const Value& y, const Value& width,
                                               const Value& height, const Value& borderWidth, const Value& layer,
                                               const Value& color, bool left, bool right);

  // ---- Records, visibility, groups and the record loop's decisions ---------------------------------

  /// The record list of this run, as an array: the host's runtime list (whole in global mode,
  /// else from the base on), else the connector's detail records, else the sample records in
  /// designer mode.
  Value TablePreviewRecords(const Value& context);
  /// Which records a record source answers: the window of this run, or every record whatever
  /// the base (the export).
  enum class RecordWindow { Run, Whole };
  /// The records TablePreviewRecords lists, read by position: the host's records are not copied.
  std::shared_ptr<RecordSequence> RecordSource(const Value& context, RecordWindow window);
  /// The detail records of a runtime data hash, read in place: the records of the first
  /// "DetalleVar" group that yields any (one per line hash, keyed group + "." + field, empty
  /// field names skipped, typed values unwrapped to their "valor"), else the hashes of the first
  /// fallback key holding some; none otherwise.
  static std::shared_ptr<RecordSequence> RecordSequenceOfData(const Value& data);
  /// The same records as an array.
  static Value RecordsOfData(const Value& data);
  /// Every record of a sequence, in an array.
  static Value ListOf(RecordSequence& records);
  /// The context's options hash, or an empty hash.
  static Value RuntimeOptions(const Value& context);
  static bool IsDesignerMode(const Value& context);
  /// The global 0-based index of the record at loop index i: i in global mode, else base + i.
  int64_t GlobalRecordIndex(const Value& context, int64_t i);
  /// Makes the record current for formulas with its neighbours; false (nothing pushed) when the
  /// context cannot take a record.
  bool PushRecordVariables(const Value& context, const Value& record, int64_t index, int64_t count,
                           RecordSequence& records);
  /// PushRecordVariables with the global index given.
  bool PushRecordAt(const Value& context, const Value& record, int64_t index, int64_t global, int64_t count,
                    RecordSequence& records);
  void PopRecordVariables(const Value& context);
  /// The neighbouring record hash in direction -1 or +1, or nil.
  Value AdjacentRuntimeRecord(const Value& context, RecordSequence& records, int64_t index, int direction);
  void MarkRecordConsumed(const Value& context, int64_t index);
  static std::string NormalizeHashKeyName(const Value& key);
  /// {visible entries, hidden entries}: lines whose condition is false are dropped, suppressed and
  /// empty lines hidden.
  Value PartitionSectionLines(const Value& sections, std::string_view sectionKey, const Value& context,
                              const Value& recordIndex);
  Value VisibleSectionLines(const Value& sections, std::string_view sectionKey, const Value& context,
                            const Value& recordIndex);
  bool TableLineVisible(const Value& line, int64_t lineIndex, std::string_view sectionKey, const Value& context);
  bool TableLineSuppressed(const Value& line, int64_t lineIndex, std::string_view sectionKey, const Value& context);
  bool TableLineIsEmpty(const Value& line, int64_t lineIndex, std::string_view sectionKey, const Value& context,
                        const Value& recordIndex);
  /// False for a non-hash; for "texto" and "barcode" whether the trimmed "texto" is not empty;
  /// true for any other kind.
  static bool RenderizableHasContent(const Value& render);
  bool RuntimeConditionIsTrue(const Value& condition, const Value& context, std::string_view messagePrefix);
  /// True for the reason of an invalid condition: "condicion no valida", with its accents, or
  /// with those accents mis-decoded as Latin-1.
  static bool IsInvalidConditionReason(std::string_view reason);
  /// The reason as a warning reports it: a mis-decoded spelling gets its accents back.
  static std::string ReportedReason(std::string_view reason);
  Value GroupExpressions(const Value& sections, const Value& breakExpression);
  Value GroupValue(const Value& expression, const Value& record, const Value& context);
  std::string GroupSignature(const Value& expressions, const Value& record, const Value& context);
  bool GroupSignatureIsEmpty(const Value& expressions, const Value& record, const Value& context);
  static bool GroupValueIsEmpty(const Value& value);
  static bool GroupValuesEqual(const Value& a, const Value& b);
  Value GroupBoundaryLines(const Value& entries, const Value& record, const Value& other,
                           const Value& breakExpression, const Value& context);
  bool ContinuesRuntimeGroupFromPreviousPage(int64_t index, const Value& expression, const Value& value,
                                             const Value& context);

  /// False when some line's "lKeepTogether" is the logical false.
  static bool SectionKeepsTogether(const Value& entries);
  /// True when some line keeps with the previous block: its "lKeepWithPrevious", or the section's
  /// default when the line has none (true for group footers, false otherwise).
  static bool SectionKeepWithPrevious(const Value& entries, std::string_view sectionKey);
  static bool SectionRequestsPageBreakBefore(const Value& entries, std::string_view sectionKey, const Value& context);
  static bool SectionRequestsPageBreakAfter(const Value& entries);
  static bool SectionForcesAccumulators(const Value& entries);
  static bool SectionRepeatAsHeader(const Value& entries);
  /// The sum of reserved top + "nHeight" (default 8) + reserved bottom, millimetres.
  static Value SectionLinesHeight(const Value& entries);
  /// The longest leading run of entries that fits available millimetres (the first always at
  /// body start).
  static Value FittingSectionLines(const Value& entries, double available, bool atBodyStart);
  static bool HasNextLogicalBlockAfterDetail(int64_t index, int64_t count, bool closesGroup, const Value& footerEntries);
  static bool IsAtBodyStart(double y, double bodyStart);
  bool TableRequestsPageBreakBefore(const Value& context);
  int64_t DetailContinuationOffset(const Value& context, int64_t index);
  void SetDetailContinuation(const Value& context, int64_t index, int64_t lines);
  void ClearDetailContinuation(const Value& context);
  void ResetAcumuladores(const Value& context);
  void ResetLineAcumuladores(const Value& entries, const Value& context);
  void AcumularDetalle(const Value& context);

  /// The formula text of a cell by its content type, "" without one.
  static std::string ExportCellFormula(const Value& cell);
  /// The field name of a plain field reference (after its last point), else "".
  static std::string ExportFieldName(const Value& formula);
  std::string ExportHeaderTitle(const Value& headerCell, const std::string& field, const Value& context);

  /// The key of this table's continuation in the context: its id, or, for a table without an id
  /// or sharing one with an earlier table, the id and its place in the document.
  std::string ContinuationKey() const;
  /// Works out the continuation key for this execution (warning once per run when it differs
  /// from the id).
  void ResolveContinuationKey(const Value& context);
  /// section + " " + cId + "[" + line index + "]", as messages name a line.
  std::string LineReference(std::string_view sectionKey, int64_t lineIndex) const;

  // ---- Utilities shared by the table code -----------------------------------------------------------

  static Value HGet(const Value& hash, std::string_view key, const Value& def = Value());
  static bool HHas(const Value& hash, std::string_view key);
  static Value AsArray(const Value& value);
  static Value AsHash(const Value& value);
  static bool BoolValue(const Value& value);
  static Value NumValue(const Value& value);
  static std::string StringValue(const Value& value);
  static bool ObjHas(const Value& object, std::string_view name);
  static Value HashKeys(const Value& value);

  std::string_view ClassName() const override { return "TTable"; }
  bool RespondsTo(std::string_view name) const override;

  /// The rows of the table's own members, in the order Save writes them after the base's.
  static std::span<const Field<TTable>> Fields();

 private:
  /// One export row: each visible line's cells evaluated, nil for the cells of hidden lines; a
  /// column's type is the type of its first value that is not nil.
  Value ExportRow(const Array& detail, const std::vector<bool>& visible, const std::vector<std::string>& formulas,
                  const Value& columns, TContextoEjecucion& ctx);
  /// The table width as a number (nWidth converted).
  Value TableWidth() const;
  /// The colour of a background or border hash: its colour formula's result, else its "cColor",
  /// when either is a six-digit colour (lower-cased); nil otherwise.
  Value SixDigitColorOf(const Value& colors, const Value& context);
  /// cId + "_" + section key, then "_r" + record index when there is one: the start of every id.
  std::string RenderIdPrefix(std::string_view sectionKey, const Value& recordIndex) const;
  /// Adds elapsed milliseconds to a counter of hPerformanceDiagnostics.
  void AddElapsed(std::string_view counter, double startMs);
  friend class TableRecordLoop;
  /// The render object without "permiteSaltoPagina" and "grupoFlujoTexto" (the same hash when
  /// it has neither).
  Value WithoutFlowKeys(const Value& render);

  /// Answers the adjacent-border test of the result list being built.
  AdjacentBorderIndex borderIndex_;
  /// The key list last seen by WithoutFlowKeys, the positions it keeps and the shape they make:
  /// every record renders its cells with the same keys.
  struct FlowKeyFilter {
    Hash source;
    Hash stripped;
    std::vector<size_t> positions;
  } flowFilter_;
  /// The continuation key when it is not the id; "" otherwise.
  std::string cContinuationKey_;
  /// Folds the warnings and discards repeated record after record into one each with a count.
  NoticeDigest digest_;
};

}  // namespace nv

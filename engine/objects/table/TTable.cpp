#include "objects/table/TTable.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "Accessors.h"
#include "Runtime.h"
#include "objects/ObjectFactory.h"
#include "objects/TObjectBase.h"
#include "objects/table/TableMath.h"
#include "objects/table/TableNormalizer.h"
#include "objects/table/TableRecordLoop.h"
#include "objects/table/TableRenderObjects.h"
#include "data/ArrayRecordSequence.h"
#include "data/DetailRecordView.h"
#include "data/TConectorDatos.h"
#include "document/TDocument.h"
#include "formula/TEvaluadorFormulas.h"
#include "run/TContextoEjecucion.h"

namespace nv {

namespace {

using F = Field<TTable>;
using N = TableNormalizer;

/// A new hash with the entries of a hash (nested values shared), or an empty hash: the table
/// may then add to it without writing into the template it came from.
Value CopyOrEmpty(const Value& v) {
  return v.IsHash() ? Value(std::make_shared<Hash>(v.AsHash())) : Value::NewHash();
}

Value SectionsOnLoad(const Value& v) { return CopyOrEmpty(v); }
Value HeaderOnLoad(const Value& v) { return v.IsHash() ? CopyOrEmpty(v) : Value(); }
Value TextOnLoad(const Value& v) { return v.IsString() ? v : Value(""); }
Value FlagFalseOnLoad(const Value& v) { return Value(v.IsTrue()); }
Value FlagTrueOnLoad(const Value& v) { return Value(!v.IsFalse()); }
Value HeightModeOnLoad(const Value& v) {
  return Value(Lower(AllTrim(ValueString(v))) == "content" ? "content" : "fixed");
}
Value HeightModeOnSave(const Value& v) {
  return Value(v.IsString() && v.AsString() == "content" ? "content" : "fixed");
}
Value GroupNormalised(const Value& v) { return TableNormalizer::NormalizeGroupSettings(v); }

// The table's own members in the order Save writes them. Every stored key takes its default when
// absent; the caches are answered for but never kept.
constexpr auto kTableFields = std::to_array<F>({
    F::Of("hSections", &TTable::hSections).ResetWhenAbsent().OnLoad(SectionsOnLoad),
    F::Of("cPageBreakCondition", &TTable::cPageBreakCondition).ResetWhenAbsent().OnLoad(TextOnLoad),
    F::Of("lFixedSeparators", &TTable::lFixedSeparators).ResetWhenAbsent().OnLoad(FlagFalseOnLoad),
    F::Of("lFooterOnBottom", &TTable::lFooterOnBottom).ResetWhenAbsent().OnLoad(FlagTrueOnLoad),
    F::Of("cHeightMode", &TTable::cHeightMode).ResetWhenAbsent().OnLoad(HeightModeOnLoad).OnSave(HeightModeOnSave),
    F::Of("hHeader", &TTable::hHeader).ResetWhenAbsent().OnLoad(HeaderOnLoad),
    F::Of("hGroup", &TTable::hGroup).ResetWhenAbsent().Normalised(GroupNormalised),
    F::Of("hCellObjectCache", &TTable::hCellObjectCache).NotSaved(),
    F::Of("hCellRenderCache", &TTable::hCellRenderCache).NotSaved(),
    F::Of("hNormalizedSectionsCache", &TTable::hNormalizedSectionsCache).NotSaved(),
    F::Of("hPerformanceDiagnostics", &TTable::hPerformanceDiagnostics).NotSaved(),
});

constexpr std::string_view kSectionKeys[] = {"header", "detail", "footer", "groupHeader", "groupFooter"};

const Value* Find(const Value& hash, std::string_view key) {
  const HashPtr* h = hash.HashRef();
  return h != nullptr ? (*h)->Find(key) : nullptr;
}

/// The hash under key, or null when the value there is not a hash.
const Value* FindHash(const Value& hash, std::string_view key) {
  const Value* v = Find(hash, key);
  return v != nullptr && v->IsHash() ? v : nullptr;
}

/// The number under key of a normalized hash, or def.
Value NumberAt(const Value& hash, std::string_view key, const Value& def) {
  const Value* v = Find(hash, key);
  return v != nullptr ? ValorANumero(*v) : def;
}

bool SideOn(const Value& border, std::string_view key) {
  const Value* v = Find(border, key);
  return v == nullptr || v->IsTrue();
}

/// The "line" of each entry with a true flag under key.
bool AnyLineFlag(const Value& entries, std::string_view key) {
  if (!entries.IsArray()) return false;
  for (const Value& entry : entries.AsArray()) {
    if (const Value* v = Find(HGet(entry, "line"), key); v != nullptr && v->IsTrue()) return true;
  }
  return false;
}

std::string IndexText(const Value& recordIndex) { return std::to_string(ValueInt(recordIndex)); }

}  // namespace

std::span<const Field<TTable>> TTable::Fields() { return kTableFields; }

// ---- Life cycle and stored form ------------------------------------------------------------------

std::shared_ptr<TTable> TTable::New(const Value& owner) {
  auto table = std::make_shared<TTable>();
  table->Init(owner);
  return table;
}

Value TTable::Init(const Value& owner) {
  TRectangle::Init(owner);
  cName = Value("Tabla");
  cType = Value("TTable");
  nWidth = Value::Int(80);
  nHeight = Value::Int(45);
  cBackgroundColor = Value("#f8fafc");
  hHeader = Value::NewHash();
  hSections = Value::NewHash();
  hGroup = Value::NewHash();
  cPageBreakCondition.clear();
  lFixedSeparators = false;
  lFooterOnBottom = true;
  cHeightMode = "fixed";
  hCellObjectCache = Value::NewHash();
  hCellRenderCache = Value::NewHash();
  hNormalizedSectionsCache = Value();
  hPerformanceDiagnostics = Value::NewHash();
  return Self();
}

std::shared_ptr<TObjectBase> TTable::Create() {
  auto self = TRectangle::Create();
  NormalizeHeader();
  return self;
}

Value TTable::End() {
  ClearCellObjectCache();
  hCellRenderCache = Value::NewHash();
  hNormalizedSectionsCache = Value();
  hPerformanceDiagnostics = Value::NewHash();
  borderIndex_.Clear();
  TRectangle::End();
  return Value();
}

Value TTable::Save() {
  const Value sections = NormalizeSections();
  Value data = TRectangle::Save();
  SaveFields<TTable>(*this, kTableFields, data.AsHash());
  // The saved hash is the caller's: it shares nothing the table may change.
  for (std::string_view key : {"hSections", "hHeader", "hGroup"}) data.Set(key, data[key].Clone());
  return data;
}

Value TTable::Load(const Value& data) {
  ClearCellObjectCache();
  hNormalizedSectionsCache = Value();
  TRectangle::Load(data);
  if (data.IsHash()) {
    // The sections and header are copies (SectionsOnLoad, HeaderOnLoad): storing the legacy
    // header among the sections leaves the template as it was.
    LoadFields<TTable>(*this, kTableFields, data, KeyMatch::Exact);
    if (const Value* header = FindHash(hSections, "header")) {
      hHeader = *header;
    } else if (hHeader.IsHash()) {
      hSections.Set("header", hHeader);
    } else {
      hHeader = Value::NewHash();
    }
  }
  hNormalizedSectionsCache = NormalizeSections();
  return Self();
}

Value TTable::GenerarRenderizable(const Value& context) { return TableRecordLoop(*this, context).Run(); }


Value TTable::GetPerformanceDiagnostics() { return hPerformanceDiagnostics.Clone(); }

// ---- Normalization -------------------------------------------------------------------------------

void TTable::MigrateSectionPageBreakCondition() {
  if (!IsBlankText(cPageBreakCondition)) return;
  for (std::string_view key : {"header", "groupHeader", "groupFooter", "detail", "footer"}) {
    const Value* section = FindHash(hSections, key);
    if (section == nullptr && key == "header" && hHeader.IsHash()) section = &hHeader;
    if (section == nullptr) continue;
    const Value* lines = Find(*section, "aLines");
    if (lines == nullptr || !lines->IsArray()) continue;
    for (const Value& line : lines->AsArray()) {
      const Value* condition = Find(line, "cPageBreakCondition");
      if (condition != nullptr && condition->IsString() && !IsBlankText(condition->AsString())) {
        cPageBreakCondition = AllTrim(condition->AsString());
        return;
      }
    }
  }
}

Value TTable::NormalizeSections() {
  MigrateSectionPageBreakCondition();
  if (const Value* header = FindHash(hSections, "header")) hHeader = *header;
  const Value header = NormalizeHeader();
  const Value* stored[4] = {};
  constexpr std::string_view kNames[] = {"Linea principal", "Pie", "Cabecera grupo", "Pie grupo"};
  Value normalized[4];
  for (size_t i = 0; i < 4; ++i) {
    stored[i] = FindHash(hSections, kSectionKeys[i + 1]);
    normalized[i] = NormalizeSection(stored[i] != nullptr ? *stored[i] : Value(), kNames[i]);
  }
  Value sections = Value::NewHash();
  Hash& h = sections.AsHash();
  h.reserve(5);
  h.Put("header", header);
  for (size_t i = 0; i < 4; ++i) h.Put(kSectionKeys[i + 1], normalized[i]);
  hSections = sections;
  hGroup = N::NormalizeGroupSettings(hGroup);
  return hSections;
}

Value TTable::NormalizeSection(const Value& section, std::string_view name) {
  const std::string_view key = N::SectionKeyFromDefaultName(name);
  const Value saved = hHeader;
  Value work = Value::NewHash();
  work.Set("cSectionKey", Value(key));
  const Value* lines = Find(section, "aLines");
  work.Set("aLines", lines != nullptr && lines->IsArray() ? *lines : Value::NewArray());
  work.Set("lShowGrid", Value(N::FlagDefaultTrue(section, "lShowGrid")));
  hHeader = work;
  Value result = NormalizeHeader();
  hHeader = saved;
  if (key == "groupHeader") result.Set("lConcatNextDataLine", Value(N::FlagDefaultFalse(section, "lConcatNextDataLine")));
  if (key == "groupFooter") result.Set("lAlsoOnEmptyGroup", Value(N::FlagDefaultFalse(section, "lAlsoOnEmptyGroup")));
  return result;
}

Value TTable::NormalizeHeader() {
  const Value* key = Find(hHeader, "cSectionKey");
  const std::string sectionKey = key != nullptr && key->IsString() ? key->AsString() : "header";
  const Value* lines = Find(hHeader, "aLines");
  Value normalized = N::NormalizeLines(lines != nullptr ? *lines : Value(), sectionKey,
                                       N::FlagDefaultTrue(hHeader, "lShowGrid"), ValorANumero(nWidth));
  Value section = Value::NewHash();
  section.Set("aLines", normalized);
  hHeader = section;
  return hHeader;
}

Value TTable::NormalizeGroupSettings(const Value& settings) { return N::NormalizeGroupSettings(settings); }
Value TTable::NormalizeLineAdvancedOptions(const Value& line, std::string_view sectionKey) {
  return N::NormalizeLineOptions(line, sectionKey);
}
Value TTable::NormalizeZebraPattern(const Value& zebra) { return N::NormalizeZebraPattern(zebra); }
Value TTable::DefaultHeaderLine(const Value& name, const Value& height, const Value& cells) {
  return N::DefaultLine(name, height, cells);
}
std::string_view TTable::SectionKeyFromDefaultName(std::string_view name) { return N::SectionKeyFromDefaultName(name); }
Value TTable::DefaultHeaderLineBackground() { return N::DefaultBackground(); }
Value TTable::NormalizeHeaderLineBackground(const Value& background) { return N::NormalizeBackground(background); }
Value TTable::DefaultHeaderLineBorder(bool verticalSeparators) { return N::DefaultLineBorder(verticalSeparators); }
Value TTable::NormalizeHeaderLineBorder(const Value& border, bool verticalSeparators) {
  return N::NormalizeLineBorder(border, verticalSeparators);
}
Value TTable::DefaultHeaderLinePadding() { return N::DefaultBox(); }
Value TTable::NormalizeHeaderLinePadding(const Value& padding) { return N::NormalizeBox(padding); }
Value TTable::DefaultLineReservedSpace() { return N::DefaultBox(); }
Value TTable::NormalizeLineReservedSpace(const Value& space) { return N::NormalizeBox(space); }
Value TTable::DefaultHeaderCell(const Value& width) { return N::DefaultCell(width); }
Value TTable::NormalizeHeaderCell(const Value& cell, const Value& width) { return N::NormalizeCell(cell, width); }
Value TTable::DefaultHeaderCellBackground() { return N::DefaultBackground(); }
Value TTable::NormalizeHeaderCellBackground(const Value& background) { return N::NormalizeBackground(background); }
Value TTable::NormalizeHeaderCellContent(const Value& content) { return N::NormalizeCellContent(content); }

// ---- Rendering -----------------------------------------------------------------------------------

Value TTable::TableWidth() const { return ValorANumero(nWidth); }

void TTable::AddElapsed(std::string_view counter, double startMs) {
  const Value* held = Find(hPerformanceDiagnostics, counter);
  const double before = held != nullptr ? TableMath::D(*held) : 0.0;
  hPerformanceDiagnostics.Set(counter, Value::Dbl(before + (TableMath::NowMs() - startMs), 3));
}

Value TTable::LineRenderWidth(const Value& line, const Value& /*frame*/) const {
  Value sum = Value::Int(0);
  if (const Value* cells = Find(line, "aCells"); cells != nullptr && cells->IsArray()) {
    for (const Value& cell : cells->AsArray()) {
      const Value w = NumberAt(cell, "nWidth", Value::Int(0));
      if (TableMath::D(w) > 0) sum = TableMath::Add(sum, w);
    }
  }
  if (TableMath::D(sum) > 0) return sum;
  return TableRenderObjects::AtLeastTenth(TableWidth());
}

Value TTable::LineRenderLeft(const Value& line, const Value& width, const Value& /*frame*/,
                             std::string_view sectionKey) const {
  const Value left = ValorANumero(nLeft);
  const Value* reserved = Find(line, "hReservedSpace");
  if (reserved != nullptr) {
    const Value reservedLeft = NumberAt(*reserved, "nLeft", Value::Int(0));
    if (TableMath::D(reservedLeft) > 0 || TableMath::D(NumberAt(*reserved, "nRight", Value::Int(0))) > 0) {
      return TableMath::Add(left, reservedLeft);
    }
  }
  if (sectionKey == "groupHeader" || sectionKey == "groupHeaderRepeat") return left;
  const Value t = TableRenderObjects::AtLeastTenth(TableWidth());
  if (TableMath::D(width) >= TableMath::D(t)) return left;
  return TableMath::Add(left, TableMath::Half(TableMath::Sub(t, width)));
}

bool TTable::LineUsesFixedVerticalSeparators(std::string_view sectionKey, const Value& line) const {
  if (!lFixedSeparators || sectionKey != "detail") return false;
  const Value* cells = Find(line, "aCells");
  return cells != nullptr && cells->Len() > 1;
}

Value TTable::LineBorderWidth(const Value& border, const Value& /*frame*/) const {
  const Value* width = Find(border, "nWidth");
  return TableRenderObjects::AtLeastTenth(width != nullptr ? ValorANumero(*width) : ValorANumero(nBorderWidth));
}

Value TTable::SixDigitColorOf(const Value& colors, const Value& context) {
  const Value* formula = Find(colors, "cColorFormula");
  const Value color = HGet(colors, "cColor", Value(""));
  if (formula != nullptr && !AllTrim(ValueString(*formula)).empty()) {
    const std::string evaluated = EvaluarColor(context, *formula, color, ColorMode::Plain);
    if (N::IsSixDigitColor(Value(evaluated))) return Value(Lower(evaluated));
  }
  const Value trimmed(AllTrim(ValueString(color)));
  if (N::IsSixDigitColor(trimmed)) return Value(Lower(trimmed.AsString()));
  return Value();
}

Value TTable::LineBackgroundColor(const Value& background, const Value& context) {
  Value color = SixDigitColorOf(background, context);
  return color.IsNil() ? Value("transparent") : color;
}

Value TTable::LineBorderColor(const Value& border, const Value& frame, const Value& context) {
  Value color = SixDigitColorOf(border, context);
  if (!color.IsNil()) return color;
  if (const Value* frameColor = Find(frame, "colorBorde")) return *frameColor;
  return cBorderColor;
}

Value TTable::ZebraLineBackgroundColor(const Value& line, int64_t g, const Value& def) {
  const Value* zebra = Find(line, "hZebraPattern");
  if (zebra == nullptr || !N::FlagDefaultFalse(*zebra, "lEnabled")) return def;
  const Value* color = Find(*zebra, (g + 1) % 2 != 0 ? "cColor1" : "cColor2");
  if (color == nullptr || !N::IsSixDigitColor(*color)) return def;
  return *color;
}

Value TTable::ZebraLineFillOpacity(const Value& line, int64_t g) {
  const Value* zebra = Find(line, "hZebraPattern");
  if (zebra == nullptr || !N::FlagDefaultFalse(*zebra, "lEnabled")) return Value::Int(1);
  const Value opacity = NumberAt(*zebra, (g + 1) % 2 != 0 ? "nColor1Opacity" : "nColor2Opacity", Value::Int(1));
  const double d = TableMath::D(opacity);
  if (!(d >= 0)) return Value::Int(0);
  return d > 1 ? Value::Int(1) : opacity;
}

Value TTable::LineBorderRadiusMm(const Value& height, const Value& border) const {
  double r = TableMath::D(NumberAt(border, "nRounded", Value::Int(0)));
  if (!(r >= 0)) r = 0;
  if (r > 100) r = 100;
  double h = TableMath::D(ValorANumero(height));
  if (!(h >= 0)) h = 0;
  h = std::min(h, TableMath::D(TableWidth()));
  if (r == 0 || h <= 0) return Value::Int(0);
  const Value radius = TableMath::Snap(std::min(h / 2, h * r / 200), 4);
  const double d = radius.AsDouble();
  return d == std::trunc(d) && std::fabs(d) < 9.0e15 ? Value::Int(TruncateToInt64(d)) : radius;
}

bool TTable::PreviousAdjacentBottomBorderExists(const Value& result, const Value& x, const Value& y,
                                                const Value& width) {
  return borderIndex_.BottomBorderEndsAt(result, TableMath::D(x), TableMath::D(y), TableMath::D(width));
}

bool TTable::CellBorderDefined(const Value& cells, size_t position) {
  if (!cells.IsArray() || position < 1 || position > cells.AsArray().size()) return false;
  return FindHash(cells.AsArray()[position - 1], "hBorder") != nullptr;
}

bool TTable::FixedSeparatorCellSideEnabled(const Value& cells, size_t position, std::string_view side) {
  if (!CellBorderDefined(cells, position)) return false;
  const Value* flag = Find(*FindHash(cells.AsArray()[position - 1], "hBorder"), side);
  return flag != nullptr && flag->IsTrue();
}

bool TTable::InternalSeparatorEnabled(const Value& cells, size_t position, const Value& border) {
  if (CellBorderDefined(cells, position) || CellBorderDefined(cells, position + 1)) {
    return FixedSeparatorCellSideEnabled(cells, position, "lRight") ||
           FixedSeparatorCellSideEnabled(cells, position + 1, "lLeft");
  }
  return SideOn(border, "lVerticalSeparators");
}

bool TTable::FixedSeparatorInternalEnabled(const Value& cells, size_t position, const Value& border) {
  return InternalSeparatorEnabled(cells, position, border);
}

Value TTable::FixedSeparatorDetailLine(const Value& sections) {
  const Value* detail = FindHash(sections, "detail");
  const Value* lines = detail != nullptr ? Find(*detail, "aLines") : nullptr;
  if (lines == nullptr || !lines->IsArray()) return Value();
  for (const Value& line : lines->AsArray()) {
    const Value* cells = Find(line, "aCells");
    if (cells != nullptr && cells->IsArray() && cells->Len() > 1) return line;
  }
  return Value();
}

std::string TTable::RenderIdPrefix(std::string_view sectionKey, const Value& recordIndex) const {
  std::string prefix = ValueString(cId) + "_" + std::string(sectionKey);
  if (!recordIndex.IsNil()) prefix += "_r" + IndexText(recordIndex);
  return prefix;
}

std::string TTable::LineRenderId(std::string_view sectionKey, const Value& recordIndex, int64_t lineIndex) const {
  std::string id = RenderIdPrefix(sectionKey, recordIndex);
  return id + "_line_" + std::to_string(lineIndex);
}

std::string TTable::CellContentRenderId(std::string_view sectionKey, const Value& recordIndex, int64_t lineIndex,
                                        int64_t cellIndex, std::string_view type) const {
  std::string id = RenderIdPrefix(sectionKey, recordIndex);
  const std::string_view kind = type == "TImage" ? "image" : type == "TBarcode" ? "barcode" : "text";
  return id + "_" + std::to_string(lineIndex) + "_" + std::to_string(cellIndex) + "_" + std::string(kind);
}

std::string TTable::CellBackgroundRenderId(std::string_view sectionKey, const Value& recordIndex, int64_t lineIndex,
                                           int64_t cellIndex) const {
  std::string id = RenderIdPrefix(sectionKey, recordIndex);
  return id + "_" + std::to_string(lineIndex) + "_" + std::to_string(cellIndex) + "_cell_bg";
}

std::string TTable::VerticalSeparatorRenderId(std::string_view sectionKey, const Value& recordIndex,
                                              int64_t lineIndex, size_t position) const {
  std::string id = RenderIdPrefix(sectionKey, recordIndex);
  return id + "_v_" + std::to_string(lineIndex) + "_" + std::to_string(position);
}

Value TTable::LineaCabeceraRenderizable(const Value& id, const Value& x, const Value& y, const Value& height,
                                        const Value& width, const Value& borderWidth, const Value& layer,
                                        const Value& fill, const Value& borderColor, const Value& border,
                                        const Value& fillOpacity, const Value& radiusMm) {
  const TableRenderObjects::Sides sides{SideOn(border, "lTop"), SideOn(border, "lRight"), SideOn(border, "lBottom"),
                                        SideOn(border, "lLeft")};
  return TableRenderObjects::LineRectangle(id, TableBox{x, y, width, height, layer}, borderWidth, fill, borderColor,
                                           sides, fillOpacity, radiusMm);
}

Value TTable::TrazoRenderizable(const Value& id, const Value& x, const Value& y, const Value& width,
                                const Value& height, const Value& layer, const Value& color) {
  return TableRenderObjects::VerticalRule(id, TableBox{x, y, width, height, layer}, color);
}

Value TTable::FixedSeparatorEdgesRenderizable(const Value& id, const Value& x, const Value& y, const Value& width,
                                              const Value& height, const Value& borderWidth, const Value& layer,
                                              const Value& color, bool left, bool right) {
  return TableRenderObjects::SeparatorEdges(id, TableBox{x, y, width, height, layer}, borderWidth, color, left, right);
}

Value TTable::RenderSectionLines(const Value& result, std::string_view sectionKey, const Value& entries,
                                 const Value& y, const Value& z, const Value& frame, const Value& context,
                                 const Value& recordIndex) {
  const double start = TableMath::NowMs();
  Value top = ValorANumero(y);
  if (!result.IsArray() || !entries.IsArray()) return top;
  const Value overlayLayer = TableMath::Add(z, Value(0.03));
  const bool zebra = sectionKey == "detail" && !recordIndex.IsNil();
  const int64_t globalIndex = zebra ? GlobalRecordIndex(context, ValueInt(recordIndex)) : 0;
  static const Value kDefaultBox = N::DefaultBox();
  static const Value kDefaultBackground = N::DefaultBackground();
  static const Value kDefaultBorder = N::DefaultLineBorder();

  for (const Value& entry : entries.AsArray()) {
    const Value line = HGet(entry, "line");
    const int64_t lineIndex = ValueInt(HGet(entry, "index"));
    const Value* reservedFound = FindHash(line, "hReservedSpace");
    const Value& reserved = reservedFound != nullptr ? *reservedFound : kDefaultBox;
    top = TableMath::Add(top, NumberAt(reserved, "nTop", Value::Int(0)));
    const Value height = NumberAt(line, "nHeight", Value::Int(8));
    const Value width = LineRenderWidth(line, frame);
    const Value left = LineRenderLeft(line, width, frame, sectionKey);

    const Value* backgroundFound = FindHash(line, "hBackground");
    const Value& background = backgroundFound != nullptr ? *backgroundFound : kDefaultBackground;
    const Value* borderFound = FindHash(line, "hBorder");
    const Value& border = borderFound != nullptr ? *borderFound : kDefaultBorder;
    // The line's own border is left as stored; the flags drawn are worked out here.
    const bool fixed = LineUsesFixedVerticalSeparators(sectionKey, line);
    TableRenderObjects::Sides sides{SideOn(border, "lTop"), !fixed && SideOn(border, "lRight"),
                                    SideOn(border, "lBottom"), !fixed && SideOn(border, "lLeft")};
    const bool verticalSeparators = !fixed && SideOn(border, "lVerticalSeparators");

    const Value* paddingFound = FindHash(line, "hPadding");
    const Value& padding = paddingFound != nullptr ? *paddingFound : kDefaultBox;
    const Value borderWidth = LineBorderWidth(border, frame);
    Value fill = LineBackgroundColor(background, context);
    Value fillOpacity = Value::Int(1);
    if (zebra) {
      fill = ZebraLineBackgroundColor(line, globalIndex, fill);
      fillOpacity = ZebraLineFillOpacity(line, globalIndex);
    }
    const Value borderColor = LineBorderColor(border, frame, context);
    if (sides.top && PreviousAdjacentBottomBorderExists(result, left, top, width)) sides.top = false;
    const Value radius = LineBorderRadiusMm(height, border);
    const std::string id = LineRenderId(sectionKey, recordIndex, lineIndex);
    result.Append(TableRenderObjects::LineRectangle(Value(id), TableBox{left, top, width, height, z}, borderWidth,
                                                    fill, borderColor, sides, fillOpacity, radius));

    const Value cellTop = TableMath::Add(top, NumberAt(padding, "nTop", Value::Int(0)));
    const Value cellHeight = TableRenderObjects::AtLeastTenth(TableMath::Sub(
        TableMath::Sub(height, NumberAt(padding, "nTop", Value::Int(0))), NumberAt(padding, "nBottom", Value::Int(0))));
    Value cellLeft = TableMath::Add(left, NumberAt(padding, "nLeft", Value::Int(0)));
    const Value* cellsFound = Find(line, "aCells");
    if (cellsFound != nullptr && cellsFound->IsArray()) {
      const Value& cells = *cellsFound;
      const size_t n = cells.AsArray().size();
      for (size_t j = 1; j <= n; ++j) {
        const Value& cell = cells.AsArray()[j - 1];
        const Value cellWidth = NumberAt(cell, "nWidth", Value::Int(1));
        const auto cellIndex = static_cast<int64_t>(j - 1);
        Value cellBackground = CellBackgroundRenderizable(cell, sectionKey, lineIndex, cellIndex, recordIndex, cellLeft,
                                                          cellTop, cellWidth, cellHeight, z, context);
        if (cellBackground.IsHash()) result.Append(std::move(cellBackground));
        Value content = CellContentRenderizable(cell, sectionKey, lineIndex, cellIndex, recordIndex, cellLeft, cellTop,
                                                cellWidth, cellHeight, z, context, false);
        if (content.IsHash()) result.Append(std::move(content));
        cellLeft = TableMath::Add(cellLeft, cellWidth);
        if (!fixed && j < n) {
          const bool on = CellBorderDefined(cells, j) || CellBorderDefined(cells, j + 1)
                              ? InternalSeparatorEnabled(cells, j, border)
                              : verticalSeparators;
          if (on) {
            result.Append(TableRenderObjects::VerticalRule(
                Value(VerticalSeparatorRenderId(sectionKey, recordIndex, lineIndex, j)),
                TableBox{TableMath::Sub(cellLeft, TableMath::Half(borderWidth)), cellTop, borderWidth, cellHeight,
                         overlayLayer},
                borderColor));
          }
        }
      }
    }

    if (sides.top || sides.right || sides.bottom || sides.left) {
      result.Append(TableRenderObjects::LineRectangle(Value(id + "_border"), TableBox{left, top, width, height, overlayLayer},
                                                      borderWidth, Value("transparent"), borderColor, sides,
                                                      Value::Int(1), radius));
    }
    top = TableMath::Add(top, TableMath::Add(height, NumberAt(reserved, "nBottom", Value::Int(0))));
  }
  AddElapsed("nRenderLinesMs", start);
  return top;
}

void TTable::RenderFixedSeparators(const Value& result, const Value& sections, const Value& yFrom, const Value& yTo,
                                   const Value& z, const Value& frame, const Value& context) {
  if (!lFixedSeparators || !result.IsArray()) return;
  const Value span = TableMath::Sub(ValorANumero(yTo), ValorANumero(yFrom));
  if (!(TableMath::D(span) > kTableLayoutToleranceMm)) return;
  const Value line = FixedSeparatorDetailLine(sections);
  if (line.IsNil()) return;
  const Value border = N::NormalizeLineBorder(HGet(line, "hBorder"), true);
  const Value cells = HGet(line, "aCells");
  const size_t n = cells.AsArray().size();
  const Value padding = N::NormalizeBox(HGet(line, "hPadding"));
  const Value borderWidth = LineBorderWidth(border, frame);
  const Value borderColor = LineBorderColor(border, frame, context);
  const bool left = SideOn(border, "lLeft") || FixedSeparatorCellSideEnabled(cells, 1, "lLeft");
  const bool right = SideOn(border, "lRight") || FixedSeparatorCellSideEnabled(cells, n, "lRight");
  Value total = Value::Int(0);
  for (const Value& cell : cells.AsArray()) total = TableMath::Add(total, NumberAt(cell, "nWidth", Value::Int(0)));
  Value x = TableMath::Add(LineRenderLeft(line, total, frame, ""), NumberAt(padding, "nLeft", Value::Int(0)));
  const Value height = TableRenderObjects::AtLeastTenth(
      TableMath::Add(span, TableMath::Max(Value(0.2), borderWidth)));
  const Value layer = TableMath::Add(z, Value(0.015));
  if (left || right) {
    result.Append(TableRenderObjects::SeparatorEdges(Value(ValueString(cId) + "_fixed_sep_edges"),
                                                     TableBox{x, ValorANumero(yFrom), total, height, layer},
                                                     borderWidth, borderColor, left, right));
  }
  for (size_t j = 1; j <= n; ++j) {
    x = TableMath::Add(x, NumberAt(cells.AsArray()[j - 1], "nWidth", Value::Int(1)));
    if (j < n && InternalSeparatorEnabled(cells, j, border)) {
      result.Append(TableRenderObjects::VerticalRule(
          Value(ValueString(cId) + "_fixed_sep_" + std::to_string(j - 1)),
          TableBox{TableMath::Sub(x, TableMath::Half(borderWidth)), ValorANumero(yFrom), borderWidth, height, layer},
          borderColor));
    }
  }
}

Value TTable::CellBackgroundRenderizable(const Value& cell, std::string_view sectionKey, int64_t lineIndex,
                                         int64_t cellIndex, const Value& recordIndex, const Value& x, const Value& y,
                                         const Value& w, const Value& h, const Value& z, const Value& context) {
  const Value* found = FindHash(cell, "hBackground");
  const Value background = found != nullptr ? *found : N::DefaultBackground();
  const Value color = LineBackgroundColor(background, context);
  if (color.AsString() == "transparent") return Value();
  return TableRenderObjects::CellBackground(Value(CellBackgroundRenderId(sectionKey, recordIndex, lineIndex, cellIndex)),
                                            TableBox{x, y, w, h, TableMath::Add(z, Value(0.01))}, color, background);
}

Value TTable::WithoutFlowKeys(const Value& render) {
  const HashPtr* held = render.HashRef();
  if (held == nullptr) return render;
  const Hash& source = **held;
  // Barcodes and images carry neither key: they pass without disturbing the filter of the texts
  // beside them.
  if (source.Find("permiteSaltoPagina") == nullptr && source.Find("grupoFlujoTexto") == nullptr) return render;
  if (!flowFilter_.source.SameKeys(source)) {
    // A new key list: note which positions survive, once, and the shape they make.
    flowFilter_.positions.clear();
    std::vector<std::string_view> kept;
    for (size_t i = 0; i < source.size(); ++i) {
      const std::string_view key = source.KeyAt(i).view();
      if (key == "permiteSaltoPagina" || key == "grupoFlujoTexto") continue;
      flowFilter_.positions.push_back(i);
      kept.push_back(key);
    }
    flowFilter_.source = Hash::WithKeysOf(source);
    flowFilter_.stripped = Hash::Shape(kept, kept.size());
  }
  HashPtr out = Hash::CopyOfShape(flowFilter_.stripped);
  for (size_t k = 0; k < flowFilter_.positions.size(); ++k) out->ValueAt(k) = source.ValueAt(flowFilter_.positions[k]);
  return Value(std::move(out));
}

Value TTable::CellContentRenderizable(const Value& cell, std::string_view sectionKey, int64_t lineIndex,
                                      int64_t cellIndex, const Value& recordIndex, const Value& x, const Value& y,
                                      const Value& w, const Value& h, const Value& z, const Value& context, bool keep) {
  const Value* content = FindHash(cell, "hContent");
  if (content == nullptr) return Value();
  const Value* typeFound = Find(*content, "cType");
  const std::string type = typeFound != nullptr ? ValueString(*typeFound) : "";
  const Value* stored = FindHash(*content, "hObject");
  if (stored == nullptr || (type != "TText" && type != "richText" && type != "TBarcode" && type != "TImage")) {
    return Value();
  }
  const std::string objectKey =
      std::string(sectionKey) + "|" + std::to_string(lineIndex) + "|" + std::to_string(cellIndex) + "|" + type;
  const std::string renderKey = objectKey + "|" + (recordIndex.IsNil() ? std::string("nil") : IndexText(recordIndex));
  const Value id(CellContentRenderId(sectionKey, recordIndex, lineIndex, cellIndex, type));
  const Value layer = TableMath::Add(z, Value(0.02));

  if (const Value* kept = Find(hCellRenderCache, renderKey)) {
    const Value entry = *kept;
    if (!keep) hCellRenderCache.Remove(renderKey);
    if (!entry.IsHash()) return Value();
    Value copy(std::make_shared<Hash>(entry.AsHash()));
    Hash& hash = copy.AsHash();
    hash.Put("id", id);
    hash.Put("x", x);
    hash.Put("y", y);
    hash.Put("ancho", w);
    hash.Put("alto", h);
    hash.Put("ordenOriginal", layer);
    hash.Put("capa", layer);
    hash.Put("zIndex", layer);
    return copy;
  }

  Value object;
  if (const Value* cached = Find(hCellObjectCache, objectKey)) {
    object = *cached;
  } else {
    Value data(std::make_shared<Hash>(stored->AsHash()));
    data.Set("cType", Value(type));
    data.Set("nLayerId", nLayerId);
    // The cell names the table as its owner without holding it: the table holds its cells, and
    // a strong link back would keep both alive after the last outside reference is dropped.
    object = ObjectFactory::New(type, Value(std::shared_ptr<Object>(std::shared_ptr<Object>(), this)));
    TObjectBase* made = object.As<TObjectBase>();
    if (made == nullptr) return Value();
    made->Load(data);
    made->Create();
    hCellObjectCache.Set(objectKey, object);
  }
  TObjectBase* layout = object.As<TObjectBase>();
  if (layout == nullptr) return Value();
  layout->cId = id;
  layout->nLeft = x;
  layout->nTop = y;
  layout->nWidth = w;
  layout->nHeight = h;
  layout->nZIndex = layer;
  layout->nLayerId = nLayerId;

  const double start = TableMath::NowMs();
  Value render = layout->GenerarRenderizable(context);
  AddElapsed("nCellContentMs", start);
  if (render.IsHash()) {
    // A cell stays in its line: pagination must not split it onto another page, and text-flow
    // reflow must not move or drop it.
    render = WithoutFlowKeys(render);
    if (type == "TText") {
      if (Value* text = render.AsHash().Find("texto"); text != nullptr && text->IsString()) {
        const std::string& s = text->AsString();
        const size_t end = s.find_last_not_of(' ');
        const size_t kept = end == std::string::npos ? 0 : end + 1;
        if (kept != s.size()) *text = Value(s.substr(0, kept));
      }
    }
  }
  if (keep) {
    hCellRenderCache.Set(renderKey, render.IsHash() ? Value(std::make_shared<Hash>(render.AsHash())) : Value(false));
  }
  return render;
}

void TTable::ClearCellObjectCache() {
  if (const HashPtr* cache = hCellObjectCache.HashRef()) {
    for (auto entry : **cache) {
      if (TObjectBase* object = entry.second.As<TObjectBase>()) object->End();
    }
  }
  hCellObjectCache = Value::NewHash();
}

// ---- Records, visibility, groups and the record loop's decisions ---------------------------------

namespace {

/// The sample records a designer shows when a table has no data to preview.
Value SampleRecords() {
  struct Sample {
    const char* code;
    const char* description;
    int64_t quantity;
    Value price;
    Value total;
  };
  const Sample samples[] = {{"1001", "Articulo prueba 1", 1, Value::Dbl(10.5, 1), Value::Dbl(10.5, 1)},
                            {"1002", "Articulo prueba 2", 2, Value::Dbl(5.25, 2), Value::Dbl(10.5, 1)},
                            {"1003", "Articulo prueba 3", 3, Value::Dbl(7.0, 1), Value::Dbl(21.0, 1)},
                            {"1004", "Articulo prueba 4", 4, Value::Dbl(3.5, 1), Value::Dbl(14.0, 1)}};
  Value records = Value::NewArray();
  for (const Sample& sample : samples) {
    Value record = Value::NewHash();
    record.Set("LINEAS_FACTURA.CODIGO_ARTICULO", Value(sample.code));
    record.Set("LINEAS_FACTURA.DESCRIPCION", Value(sample.description));
    record.Set("LINEAS_FACTURA.CANTIDAD", Value::Int(sample.quantity));
    record.Set("LINEAS_FACTURA.PRECIO", sample.price);
    record.Set("LINEAS_FACTURA.TOTAL_LINEA", sample.total);
    records.Append(record);
  }
  return records;
}

constexpr std::string_view kFallbackDataKeys[] = {"lineasTabla", "LINEAS_TABLA", "detalleTabla", "DETALLE_TABLA",
                                                  "detalle",     "DETALLE",      "registros",    "REGISTROS"};

/// The hash entries of a list, or an empty list.
Value HashEntries(const Value& list) {
  Value hashes = Value::NewArray();
  if (!list.IsArray()) return hashes;
  for (const Value& entry : list.AsArray()) {
    if (entry.IsHash()) hashes.Append(entry);
  }
  return hashes;
}

int64_t IntegerOption(const Value& options, std::string_view key, int64_t def) {
  const Value* v = Find(options, key);
  return v != nullptr && v->IsNumber() ? ValueInt(*v) : def;
}

}  // namespace

bool TTable::IsInvalidConditionReason(std::string_view reason) {
  // The reason may arrive spelled with accents, or with those accents mis-decoded as Latin-1.
  return reason == "condicion no valida" || reason == "condici\xC3\xB3n no v\xC3\xA1lida" ||
         reason == "condici\xC3\x83\xC2\xB3n no v\xC3\x83\xC2\xA1lida";
}

std::string TTable::ReportedReason(std::string_view reason) {
  if (reason == "condici\xC3\x83\xC2\xB3n no v\xC3\x83\xC2\xA1lida") return "condici\xC3\xB3n no v\xC3\xA1lida";
  return std::string(reason);
}

Value TTable::RuntimeOptions(const Value& context) {
  TContextoEjecucion* ctx = context.As<TContextoEjecucion>();
  return ctx != nullptr ? ctx->GetOpciones() : Value::NewHash();
}

std::shared_ptr<RecordSequence> TTable::RecordSequenceOfData(const Value& data) {
  if (std::shared_ptr<DetailRecordView> records = DetailRecordView::OfFirstBlock(data)) return records;
  for (std::string_view key : kFallbackDataKeys) {
    Value hashes = HashEntries(HGet(data, key));
    if (hashes.Len() > 0) return std::make_shared<ArrayRecordSequence>(hashes);
  }
  return std::make_shared<ArrayRecordSequence>(Value::NewArray());
}

Value TTable::RecordsOfData(const Value& data) { return ListOf(*RecordSequenceOfData(data)); }

Value TTable::TablePreviewRecords(const Value& context) { return ListOf(*RecordSource(context, RecordWindow::Run)); }

Value TTable::ListOf(RecordSequence& records) {
  Value list = Value::NewArray();
  list.AsArray().reserve(static_cast<size_t>(records.Count()));
  for (int64_t i = 0; i < records.Count(); ++i) list.Append(records.At(i));
  return list;
}

std::shared_ptr<RecordSequence> TTable::RecordSource(const Value& context, RecordWindow window) {
  const Value options = RuntimeOptions(context);
  const Value runtime = HGet(options, "aRegistrosDetalleRuntime");
  const std::shared_ptr<RecordSequence> given = RecordSequence::Of(runtime);
  if (HGet(options, "lSemanticDataRuntime").IsTrue()) {
    return given ? given : std::make_shared<ArrayRecordSequence>(Value::NewArray());
  }
  const int64_t base = window == RecordWindow::Whole ? 0 : std::max<int64_t>(0, IntegerOption(options, "nRegistroBase", 0));
  if (given && given->Count() > base) {
    // The host's records are used as they stand, not copied, in global mode and for a whole
    // export: a host reading them from a file holds only the ones in use.
    if (window == RecordWindow::Whole || HGet(options, "lRegistrosDetalleGlobalRuntime").IsTrue()) return given;
    Value window_ = Value::NewArray();
    for (int64_t p = base; p < given->Count(); ++p) {
      if (Value record = RecordSequence::HashAt(runtime, p); !record.IsNil()) window_.Append(record);
    }
    if (window_.Len() > 0) return std::make_shared<ArrayRecordSequence>(window_);
  }
  TContextoEjecucion* ctx = context.As<TContextoEjecucion>();
  if (ctx != nullptr) {
    std::shared_ptr<RecordSequence> records = RecordSequenceOfData(ctx->GetData());
    if (records->Count() > 0) return records;
  }
  // Invented articles belong in a designer's preview only: a real run without detail data shows
  // no detail lines.
  return std::make_shared<ArrayRecordSequence>(IsDesignerMode(context) ? SampleRecords() : Value::NewArray());
}

bool TTable::IsDesignerMode(const Value& context) {
  TContextoEjecucion* ctx = context.As<TContextoEjecucion>();
  return ctx != nullptr && ctx->EsModoDisenador().IsTrue();
}

int64_t TTable::GlobalRecordIndex(const Value& context, int64_t i) {
  const Value options = RuntimeOptions(context);
  if (HGet(options, "lRegistrosDetalleGlobalRuntime").IsTrue()) return i;
  return std::max<int64_t>(0, IntegerOption(options, "nRegistroBase", 0)) + i;
}

bool TTable::PushRecordVariables(const Value& context, const Value& record, int64_t index, int64_t count,
                                 RecordSequence& records) {
  return PushRecordAt(context, record, index, GlobalRecordIndex(context, index), count, records);
}

bool TTable::PushRecordAt(const Value& context, const Value& record, int64_t index, int64_t global, int64_t count,
                          RecordSequence& records) {
  TContextoEjecucion* ctx = context.As<TContextoEjecucion>();
  if (ctx == nullptr) return false;
  const Value options = ctx->GetOpciones();
  const int64_t total = std::max(count, IntegerOption(options, "nTotalRegistrosRuntime", count));
  const Value runtime = HGet(options, "aRegistrosDetalleRuntime");
  Value previous = RecordSequence::HashAt(runtime, global - 1);
  if (previous.IsNil() && index >= 1 && index <= records.Count()) previous = records.At(index - 1);
  Value next = RecordSequence::HashAt(runtime, global + 1);
  if (next.IsNil() && index + 2 <= records.Count()) next = records.At(index + 1);
  ctx->PushRegistroDetalle(record, Value::Int(global), Value::Int(total),
                           previous.IsNil() ? Value::NewHash() : previous, next.IsNil() ? Value::NewHash() : next);
  return true;
}

void TTable::PopRecordVariables(const Value& context) {
  if (TContextoEjecucion* ctx = context.As<TContextoEjecucion>()) ctx->PopRegistroDetalle();
}

Value TTable::AdjacentRuntimeRecord(const Value& context, RecordSequence& records, int64_t index, int direction) {
  const int64_t global = GlobalRecordIndex(context, index) + direction;
  Value found = RecordSequence::HashAt(HGet(RuntimeOptions(context), "aRegistrosDetalleRuntime"), global);
  const int64_t local = index + direction;
  if (found.IsNil() && local >= 0 && local < records.Count()) found = records.At(local);
  return found.IsHash() ? found : Value();
}

void TTable::MarkRecordConsumed(const Value& context, int64_t index) {
  if (TContextoEjecucion* ctx = context.As<TContextoEjecucion>()) {
    ctx->MarcarRegistroDetalleConsumido(Value::Int(GlobalRecordIndex(context, index)));
  }
}

std::string TTable::NormalizeHashKeyName(const Value& key) { return nv::NormalizeHashKeyName(key); }

Value TTable::PartitionSectionLines(const Value& sections, std::string_view sectionKey, const Value& context,
                                    const Value& recordIndex) {
  const double start = TableMath::NowMs();
  Value visible = Value::NewArray();
  Value hidden = Value::NewArray();
  const Value* lines = Find(HGet(sections, sectionKey), "aLines");
  if (lines != nullptr && lines->IsArray()) {
    const Array& all = lines->AsArray();
    for (size_t p = 0; p < all.size(); ++p) {
      const Value& line = all[p];
      const auto k = static_cast<int64_t>(p);
      if (!TableLineVisible(line, k, sectionKey, context)) continue;
      Value entry = Value::NewHash();
      entry.Set("index", Value::Int(k));
      entry.Set("line", line);
      const bool hide = TableLineSuppressed(line, k, sectionKey, context) ||
                        TableLineIsEmpty(line, k, sectionKey, context, recordIndex);
      (hide ? hidden : visible).Append(std::move(entry));
    }
  }
  AddElapsed("nPartitionMs", start);
  return Value::FromArray({visible, hidden});
}

Value TTable::VisibleSectionLines(const Value& sections, std::string_view sectionKey, const Value& context,
                                  const Value& recordIndex) {
  return PartitionSectionLines(sections, sectionKey, context, recordIndex).Item(1);
}

std::string TTable::LineReference(std::string_view sectionKey, int64_t lineIndex) const {
  return std::string(sectionKey) + " " + ValueString(cId) + "[" + std::to_string(lineIndex) + "]";
}

bool TTable::TableLineVisible(const Value& line, int64_t lineIndex, std::string_view sectionKey, const Value& context) {
  const Value* stored = Find(line, "cConditionFormula");
  const std::string condition = stored != nullptr ? AllTrim(ValueString(*stored)) : "";
  if (condition.empty() || IsDesignerMode(context)) return true;
  TContextoEjecucion* ctx = context.As<TContextoEjecucion>();
  if (ctx == nullptr) return true;
  const Value result = ctx->EvaluarCondicion(Value(condition));
  if (HGet(result, "lVisible").IsTrue()) return true;
  const Value* motive = Find(result, "cMotivo");
  const std::string reason = motive != nullptr ? ValueString(*motive) : "condicion falsa";
  ctx->AddAviso(Value("Linea de tabla " + std::string(sectionKey) + " no visible en " + ValueString(cId) + "[" +
                      std::to_string(lineIndex) + "]: " + ReportedReason(reason)));
  if (IsInvalidConditionReason(reason)) {
    ctx->AddAviso(Value("Condicion no valida en linea de tabla " + LineReference(sectionKey, lineIndex) + ": " + condition));
  }
  return false;
}

bool TTable::RuntimeConditionIsTrue(const Value& condition, const Value& context, std::string_view messagePrefix) {
  const std::string text = AllTrim(ValueString(condition));
  TContextoEjecucion* ctx = context.As<TContextoEjecucion>();
  if (text.empty() || ctx == nullptr || IsDesignerMode(context)) return false;
  const Value result = ctx->EvaluarCondicion(Value(text));
  if (HGet(result, "lVisible").IsTrue()) return true;
  if (IsInvalidConditionReason(ValueString(HGet(result, "cMotivo")))) {
    ctx->AddAviso(Value(std::string(messagePrefix) + ": " + text));
  }
  return false;
}

bool TTable::TableLineSuppressed(const Value& line, int64_t lineIndex, std::string_view sectionKey,
                                 const Value& context) {
  const Value* stored = Find(line, "cSuppressCondition");
  if (stored == nullptr || !stored->IsString() || IsBlankText(stored->AsString())) return false;
  const bool suppressed = RuntimeConditionIsTrue(
      *stored, context, "Condicion de supresion no valida en linea de tabla " + LineReference(sectionKey, lineIndex));
  if (suppressed) {
    if (TContextoEjecucion* ctx = context.As<TContextoEjecucion>()) {
      ctx->AddAviso(Value("Linea de tabla " + std::string(sectionKey) + " suprimida en " + ValueString(cId) + "[" +
                          std::to_string(lineIndex) + "]"));
    }
  }
  return suppressed;
}

bool TTable::TableLineIsEmpty(const Value& line, int64_t lineIndex, std::string_view sectionKey, const Value& context,
                              const Value& recordIndex) {
  const Value* ignore = Find(line, "lIgnoreEmpty");
  if (ignore == nullptr || !ignore->IsTrue() || IsDesignerMode(context)) return false;
  const Value height = TableMath::Max(Value(0.1), NumberAt(line, "nHeight", Value::Int(8)));
  const Value* cells = Find(line, "aCells");
  if (cells == nullptr || !cells->IsArray()) return true;
  const Array& all = cells->AsArray();
  for (size_t j = 0; j < all.size(); ++j) {
    const Value width = TableMath::Max(Value(0.1), NumberAt(all[j], "nWidth", Value::Int(1)));
    const Value render = CellContentRenderizable(all[j], sectionKey, lineIndex, static_cast<int64_t>(j), recordIndex,
                                                 Value::Int(0), Value::Int(0), width, height, Value::Int(0), context,
                                                 true);
    if (RenderizableHasContent(render)) return false;
  }
  return true;
}

bool TTable::RenderizableHasContent(const Value& render) {
  if (!render.IsHash()) return false;
  const Value* tipo = Find(render, "tipo");
  if (tipo != nullptr && tipo->IsString() && (tipo->AsString() == "texto" || tipo->AsString() == "barcode")) {
    return !IsBlankText(ValueString(HGet(render, "texto")));
  }
  return true;
}

Value TTable::GroupExpressions(const Value& sections, const Value& breakExpression) {
  std::vector<std::string> expressions;
  auto add = [&expressions](const std::string& e) {
    if (!e.empty() && std::find(expressions.begin(), expressions.end(), e) == expressions.end()) expressions.push_back(e);
  };
  if (const Value* stored = Find(hGroup, "aBreakExpressions"); stored != nullptr && stored->IsArray()) {
    for (const Value& e : stored->AsArray()) {
      if (e.IsString() && !IsBlankText(e.AsString())) add(e.AsString());
    }
  }
  for (std::string_view key : {"groupHeader", "groupFooter"}) {
    const Value* lines = Find(HGet(sections, key), "aLines");
    if (lines == nullptr || !lines->IsArray()) continue;
    for (const Value& line : lines->AsArray()) add(AllTrim(ValueString(HGet(line, "cGroupExpression"))));
  }
  const std::string first = AllTrim(ValueString(breakExpression));
  if (!first.empty() && std::find(expressions.begin(), expressions.end(), first) == expressions.end()) {
    expressions.insert(expressions.begin(), first);
  }
  Value list = Value::NewArray();
  for (const std::string& e : expressions) list.Append(Value(e));
  return list;
}

Value TTable::GroupValue(const Value& expression, const Value& record, const Value& context) {
  const std::string text = ValueString(expression);
  if (text.empty()) return Value();
  if (const Value* field = Find(record, text)) return *field;
  TContextoEjecucion* ctx = context.As<TContextoEjecucion>();
  if (ctx == nullptr) return Value();
  const bool push = record.IsHash() && record.Len() > 0;
  if (push) ctx->PushVariablesLocales(record);
  Value value;
  try {
    value = ctx->EvaluarFormula(Value(text));
    auto* evaluator = ctx->oEvaluador.As<TEvaluadorFormulas>();
    if (evaluator != nullptr && evaluator->EsResultadoError().IsTrue()) value = Value();
  } catch (const RuntimeError&) {
    value = Value();
  }
  if (push) ctx->PopVariablesLocales();
  return value;
}

std::string TTable::GroupSignature(const Value& expressions, const Value& record, const Value& context) {
  Value values = Value::NewArray();
  if (expressions.IsArray()) {
    for (const Value& e : expressions.AsArray()) values.Append(GroupValue(e, record, context));
  }
  return LiteralText(values);
}

bool TTable::GroupSignatureIsEmpty(const Value& expressions, const Value& record, const Value& context) {
  if (!expressions.IsArray()) return true;
  for (const Value& e : expressions.AsArray()) {
    if (!GroupValueIsEmpty(GroupValue(e, record, context))) return false;
  }
  return true;
}

bool TTable::GroupValueIsEmpty(const Value& value) {
  return value.IsNil() || (value.IsString() && IsBlankText(value.AsString()));
}

bool TTable::GroupValuesEqual(const Value& a, const Value& b) {
  if (a.kind() != b.kind()) return false;
  if (a.IsNil()) return true;
  if (a.IsString() || a.IsNumber() || a.IsDate() || a.IsTimestamp() || a.IsLogical()) return ExactEqual(a, b);
  return false;
}

Value TTable::GroupBoundaryLines(const Value& entries, const Value& record, const Value& other,
                                 const Value& breakExpression, const Value& context) {
  Value kept = Value::NewArray();
  if (!entries.IsArray()) return kept;
  for (const Value& entry : entries.AsArray()) {
    std::string expression = AllTrim(ValueString(HGet(HGet(entry, "line"), "cGroupExpression")));
    if (expression.empty()) expression = AllTrim(ValueString(breakExpression));
    if (expression.empty() || !other.IsHash() ||
        !GroupValuesEqual(GroupValue(Value(expression), record, context), GroupValue(Value(expression), other, context))) {
      kept.Append(entry);
    }
  }
  return kept;
}

bool TTable::ContinuesRuntimeGroupFromPreviousPage(int64_t index, const Value& expression, const Value& value,
                                                   const Value& context) {
  const Value options = RuntimeOptions(context);
  const bool global = HGet(options, "lRegistrosDetalleGlobalRuntime").IsTrue();
  const int64_t base = std::max<int64_t>(0, IntegerOption(options, "nRegistroBase", 0));
  if (index != (global ? base : 0) || base <= 0 || AllTrim(ValueString(expression)).empty()) return false;
  const Value before = RecordSequence::HashAt(HGet(options, "aRegistrosDetalleRuntime"), base - 1);
  if (before.IsNil() || before.Len() == 0) return false;
  return GroupValuesEqual(GroupValue(expression, before, context), value);
}

bool TTable::SectionKeepsTogether(const Value& entries) {
  if (!entries.IsArray()) return true;
  for (const Value& entry : entries.AsArray()) {
    if (const Value* v = Find(HGet(entry, "line"), "lKeepTogether"); v != nullptr && v->IsFalse()) return false;
  }
  return true;
}

bool TTable::SectionKeepWithPrevious(const Value& entries, std::string_view sectionKey) {
  if (!entries.IsArray()) return false;
  // The flag is normalized per line, so it is honoured as stored: a group footer line keeps with
  // its previous block unless it says otherwise; a line without the flag takes its section's
  // default.
  const bool byDefault = sectionKey == "groupFooter";
  for (const Value& entry : entries.AsArray()) {
    const Value* v = Find(HGet(entry, "line"), "lKeepWithPrevious");
    if (v != nullptr ? v->IsTrue() : byDefault) return true;
  }
  return false;
}

bool TTable::SectionRequestsPageBreakBefore(const Value& entries, std::string_view, const Value&) {
  return AnyLineFlag(entries, "lPageBreakBefore");
}
bool TTable::SectionRequestsPageBreakAfter(const Value& entries) { return AnyLineFlag(entries, "lPageBreakAfter"); }
bool TTable::SectionForcesAccumulators(const Value& entries) { return AnyLineFlag(entries, "lForceAccumulators"); }
bool TTable::SectionRepeatAsHeader(const Value& entries) { return AnyLineFlag(entries, "lRepeatAsHeader"); }

namespace {

/// Reserved top + height + reserved bottom of one line, the height at least minHeight.
Value EntryHeight(const Value& line, bool floorAtZero) {
  const Value reserved = HGet(line, "hReservedSpace");
  Value height = NumberAt(line, "nHeight", Value::Int(8));
  if (floorAtZero && TableMath::D(height) < 0) height = Value::Int(0);
  return TableMath::Add(TableMath::Add(NumberAt(reserved, "nTop", Value::Int(0)), height),
                        NumberAt(reserved, "nBottom", Value::Int(0)));
}

}  // namespace

Value TTable::SectionLinesHeight(const Value& entries) {
  Value sum = Value::Int(0);
  if (!entries.IsArray()) return sum;
  for (const Value& entry : entries.AsArray()) sum = TableMath::Add(sum, EntryHeight(HGet(entry, "line"), false));
  return sum;
}

Value TTable::FittingSectionLines(const Value& entries, double available, bool atBodyStart) {
  Value fitting = Value::NewArray();
  if (!entries.IsArray()) return fitting;
  double sum = 0;
  for (const Value& entry : entries.AsArray()) {
    const double height = TableMath::D(EntryHeight(HGet(entry, "line"), true));
    const bool taken = fitting.Len() > 0;
    if (taken && sum + height > available + kTableLayoutToleranceMm) break;
    if (!taken && height > available + kTableLayoutToleranceMm && !atBodyStart) break;
    fitting.Append(entry);
    sum += height;
  }
  return fitting;
}

bool TTable::HasNextLogicalBlockAfterDetail(int64_t index, int64_t count, bool closesGroup, const Value& footerEntries) {
  if (closesGroup && TableMath::D(SectionLinesHeight(footerEntries)) > 0) return true;
  return index < count - 1;
}

bool TTable::IsAtBodyStart(double y, double bodyStart) { return std::fabs(y - bodyStart) <= kTableLayoutToleranceMm; }

bool TTable::TableRequestsPageBreakBefore(const Value& context) {
  const std::string condition = AllTrim(cPageBreakCondition);
  TContextoEjecucion* ctx = context.As<TContextoEjecucion>();
  if (condition.empty() || ctx == nullptr || IsDesignerMode(context)) return false;
  Value state = Value::NewHash();
  state.Set("lLastPageDisponible", Value(false));
  const Value result = ctx->EvaluarCondicionConEstado(Value(condition), state);
  if (HGet(result, "lError").IsTrue()) {
    std::string message = "Condicion de salto no valida en tabla " + ValueString(cId) + ": " + condition;
    const std::string error = ValueString(HGet(result, "cError"));
    if (!error.empty()) message += " -> " + error;
    ctx->SetErrorCriticoComposicion(Value(message));
    return false;
  }
  return HGet(result, "lVisible").IsTrue();
}

int64_t TTable::DetailContinuationOffset(const Value& context, int64_t index) {
  TContextoEjecucion* ctx = context.As<TContextoEjecucion>();
  if (ctx == nullptr) return 0;
  const Value stored = ctx->GetContinuacionTabla(Value(ContinuationKey()));
  const Value* record = Find(stored, "nRegistro");
  if ((record != nullptr ? ValueInt(*record) : -1) != GlobalRecordIndex(context, index)) return 0;
  const Value* line = Find(stored, "nLinea");
  return std::max<int64_t>(0, line != nullptr ? ValueInt(*line) : 0);
}

void TTable::SetDetailContinuation(const Value& context, int64_t index, int64_t lines) {
  if (TContextoEjecucion* ctx = context.As<TContextoEjecucion>()) {
    ctx->SetContinuacionTabla(Value(ContinuationKey()), Value::Int(GlobalRecordIndex(context, index)),
                              Value::Int(lines));
  }
}

void TTable::ClearDetailContinuation(const Value& context) {
  if (TContextoEjecucion* ctx = context.As<TContextoEjecucion>()) ctx->ClearContinuacionTabla(Value(ContinuationKey()));
}

std::string TTable::ContinuationKey() const { return cContinuationKey_.empty() ? ValueString(cId) : cContinuationKey_; }

void TTable::ResolveContinuationKey(const Value& context) {
  // A table's continuation is found by its id. Two tables sharing an id, or a table without one,
  // would resume each other's records: such a table keeps its continuation under the id and its
  // place in the document instead.
  const std::string id = AllTrim(ValueString(cId));
  size_t position = 0;
  bool shared = false;
  if (auto* document = oParent.As<TDocument>()) {
    const Value objects = document->aObjects;
    for (size_t p = 0; p < objects.Len(); ++p) {
      TTable* other = objects.AsArray()[p].As<TTable>();
      if (other == nullptr) continue;
      if (other == this) {
        position = p + 1;
        break;
      }
      if (AllTrim(ValueString(other->cId)) == id) shared = true;
    }
  }
  if (!id.empty() && !shared) {
    cContinuationKey_.clear();
    return;
  }
  cContinuationKey_ = id + "#" + (position > 0 ? std::to_string(position) : "tabla");
  if (TContextoEjecucion* ctx = context.As<TContextoEjecucion>()) {
    ctx->AddAviso(Value("Tabla con id vacio o repetido (" + id + "): su continuacion se guarda como " +
                        cContinuationKey_));
  }
}

void TTable::ResetAcumuladores(const Value& context) {
  if (TContextoEjecucion* ctx = context.As<TContextoEjecucion>()) ctx->ResetAcumuladores();
}

void TTable::ResetLineAcumuladores(const Value& entries, const Value& context) {
  TContextoEjecucion* ctx = context.As<TContextoEjecucion>();
  if (ctx == nullptr || !entries.IsArray()) return;
  for (const Value& entry : entries.AsArray()) {
    const Value* names = Find(HGet(entry, "line"), "aResetAcumuladores");
    if (names == nullptr || !names->IsArray()) continue;
    Value texts = Value::NewArray();
    for (const Value& name : names->AsArray()) {
      if (name.IsString()) texts.Append(name);
    }
    if (texts.Len() > 0) ctx->ResetAcumuladoresSeleccionados(texts);
  }
}

void TTable::AcumularDetalle(const Value& context) {
  TContextoEjecucion* ctx = context.As<TContextoEjecucion>();
  if (ctx == nullptr) return;
  const double start = TableMath::NowMs();
  ctx->AcumularDetalle();
  AddElapsed("nAccumulateMs", start);
}

// ---- Export data ---------------------------------------------------------------------------------

namespace {

/// The cells of every line of a normalized section, in line order then cell order.
std::vector<Value> CellsOf(const Value& sections, std::string_view section) {
  std::vector<Value> cells;
  const Value* lines = Find(HGet(sections, section), "aLines");
  if (lines == nullptr || !lines->IsArray()) return cells;
  for (const Value& line : lines->AsArray()) {
    const Value* found = Find(line, "aCells");
    if (found == nullptr || !found->IsArray()) continue;
    for (const Value& cell : found->AsArray()) cells.push_back(cell);
  }
  return cells;
}

/// The text under the first of the keys that holds one, else "".
std::string FirstText(const Value& hash, std::initializer_list<std::string_view> keys) {
  for (std::string_view key : keys) {
    if (const Value* v = Find(hash, key); v != nullptr && v->IsString()) return v->AsString();
  }
  return "";
}

}  // namespace

Value TTable::GenerarDatosExportables(const Value& context) {
  const Value sections = NormalizeSections();
  const std::vector<Value> headerCells = CellsOf(sections, "header");
  const Value lines = AsArray(HGet(HGet(sections, "detail"), "aLines"));
  const Array& detail = lines.AsArray();

  Value columns = Value::NewArray();
  std::vector<std::string> formulas;
  for (const Value& cell : CellsOf(sections, "detail")) {
    const std::string formula = ExportCellFormula(cell);
    const std::string field = ExportFieldName(Value(formula));
    const size_t position = formulas.size();
    const Value header = position < headerCells.size() ? headerCells[position] : Value();
    Value column = Value::NewHash();
    column.Set("cId", Value("column_" + std::to_string(position + 1)));
    column.Set("cTitle", Value(ExportHeaderTitle(header, field, context)));
    column.Set("cField", Value(field));
    column.Set("cFormula", Value(formula));
    column.Set("cType", Value("U"));
    columns.Append(column);
    formulas.push_back(formula);
  }

  TContextoEjecucion* ctx = context.As<TContextoEjecucion>();
  digest_.Watch(ctx);
  Value rows = Value::NewArray();
  // Every record, whatever the first record of the run a host is at.
  const std::shared_ptr<RecordSequence> records = RecordSource(context, RecordWindow::Whole);
  const int64_t count = records->Count();
  for (int64_t i = 0; i < count && ctx != nullptr; ++i) {
    const Value record = records->At(i);
    if (!record.IsHash() || !PushRecordAt(context, record, i, i, count, *records)) continue;
    std::vector<bool> visible(detail.size());
    bool any = false;
    for (size_t k = 0; k < detail.size(); ++k) {
      const auto index = static_cast<int64_t>(k);
      visible[k] = TableLineVisible(detail[k], index, "detail", context) &&
                   !TableLineSuppressed(detail[k], index, "detail", context);
      any = any || visible[k];
    }
    if (any) rows.Append(ExportRow(detail, visible, formulas, columns, *ctx));
    PopRecordVariables(context);
    digest_.Collapse();
  }

  Value result = Value::NewHash();
  result.Set("cId", cId);
  result.Set("cName", IsBlankText(ValueString(cName)) ? cId : cName);
  result.Set("aColumns", columns);
  result.Set("aRows", rows);
  result.Set("nRecordCount", Value::Int(static_cast<int64_t>(rows.Len())));
  result.Set("lHasGroupHeaders", Value(false));
  result.Set("lHasGroupFooters", Value(false));
  result.Set("lHasTotals", Value(false));
  return result;
}

Value TTable::ExportRow(const Array& detail, const std::vector<bool>& visible, const std::vector<std::string>& formulas,
                        const Value& columns, TContextoEjecucion& ctx) {
  Value row = Value::NewArray(formulas.size());
  size_t column = 0;
  for (size_t k = 0; k < detail.size(); ++k) {
    const Value* cells = Find(detail[k], "aCells");
    const size_t n = cells != nullptr && cells->IsArray() ? cells->Len() : 0;
    for (size_t j = 0; j < n && column < formulas.size(); ++j, ++column) {
      if (!visible[k]) continue;  // a hidden line leaves nil in its columns
      Value value = IsBlankText(formulas[column]) ? Value("") : ctx.EvaluarFormula(Value(formulas[column]));
      Value* type = columns.AsArray()[column].AsHash().Find("cType");
      if (type != nullptr && type->IsString() && type->AsString() == "U" && !value.IsNil()) {
        *type = Value(std::string(1, value.TypeCode()));
      }
      row.AsArray()[column] = std::move(value);
    }
  }
  return row;
}

std::string TTable::ExportCellFormula(const Value& cell) {
  const Value content = HGet(cell, "hContent");
  const Value object = HGet(content, "hObject");
  if (!object.IsHash()) return "";
  const std::string type = ValueString(HGet(content, "cType"));
  if (type == "TText") return FirstText(object, {"cText", "cFormula"});
  if (type == "richText") return FirstText(object, {"cContent", "cText"});
  if (type == "TBarcode") return FirstText(object, {"cContent"});
  if (type == "TImage") return FirstText(object, {"cSource"});
  return "";
}

std::string TTable::ExportFieldName(const Value& formula) {
  const std::string text = AllTrim(ValueString(formula));
  if (text.empty()) return "";
  for (char c : text) {
    const char u = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (!((u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_' || u == '.')) return "";
  }
  const size_t point = text.rfind('.');
  return point == std::string::npos ? text : text.substr(point + 1);
}

std::string TTable::ExportHeaderTitle(const Value& headerCell, const std::string& field, const Value& context) {
  if (!headerCell.IsHash()) return field;
  const std::string formula = ExportCellFormula(headerCell);
  TContextoEjecucion* ctx = context.As<TContextoEjecucion>();
  if (IsBlankText(formula) || ctx == nullptr) return field;
  const Value title = ctx->EvaluarFormula(Value(formula));
  if (title.IsString() && !IsBlankText(title.AsString())) return AllTrim(title.AsString());
  return field;
}

// ---- Utilities -----------------------------------------------------------------------------------

Value TTable::HGet(const Value& hash, std::string_view key, const Value& def) { return nv::HGet(hash, key, def); }
bool TTable::HHas(const Value& hash, std::string_view key) { return nv::HHas(hash, key); }
Value TTable::AsArray(const Value& value) { return value.IsArray() ? value : Value::NewArray(); }
Value TTable::AsHash(const Value& value) { return value.IsHash() ? value : Value::NewHash(); }
bool TTable::BoolValue(const Value& value) { return ValorALogico(value); }
Value TTable::NumValue(const Value& value) { return ValorANumero(value); }
std::string TTable::StringValue(const Value& value) { return ValueString(value); }
bool TTable::ObjHas(const Value& object, std::string_view name) {
  return nv::RespondsTo(object, name) || nv::RespondsTo(object, Upper(name));
}
Value TTable::HashKeys(const Value& value) { return nv::HashKeys(value); }

bool TTable::RespondsTo(std::string_view name) const {
  return HasFieldNamed<TTable>(kTableFields, name) ||
         NameIn(name, {"New", "Init", "Create", "End", "Save", "Load", "GenerarRenderizable",
                       "GenerarDatosExportables", "GetPerformanceDiagnostics", "VisibleSectionLines",
                       "PartitionSectionLines", "RenderSectionLines", "LineRenderWidth", "LineRenderLeft",
                       "LineUsesFixedVerticalSeparators", "RenderFixedSeparators", "FixedSeparatorEdgesRenderizable",
                       "FixedSeparatorInternalEnabled", "PreviousAdjacentBottomBorderExists",
                       "InternalSeparatorEnabled", "CellBorderDefined", "FixedSeparatorCellSideEnabled",
                       "FixedSeparatorDetailLine", "CellBackgroundRenderizable", "CellContentRenderizable",
                       "ClearCellObjectCache", "LineRenderId", "CellContentRenderId", "CellBackgroundRenderId",
                       "VerticalSeparatorRenderId", "TablePreviewRecords", "PushRecordVariables",
                       "PopRecordVariables", "ResetAcumuladores", "ResetLineAcumuladores", "AcumularDetalle",
                       "MarkRecordConsumed", "TableLayoutToleranceMm", "IsAtBodyStart", "SectionKeepWithPrevious",
                       "SectionKeepsTogether", "FittingSectionLines", "DetailContinuationOffset",
                       "SetDetailContinuation", "ClearDetailContinuation", "SectionRepeatAsHeader",
                       "ContinuesRuntimeGroupFromPreviousPage", "SectionRequestsPageBreakBefore",
                       "SectionRequestsPageBreakAfter", "SectionForcesAccumulators",
                       "HasNextLogicalBlockAfterDetail", "TableRequestsPageBreakBefore", "GroupValue",
                       "GroupExpressions", "GroupSignature", "GroupSignatureIsEmpty", "GroupBoundaryLines",
                       "AdjacentRuntimeRecord", "GroupValueIsEmpty", "GroupValuesEqual", "SectionLinesHeight",
                       "MigrateSectionPageBreakCondition", "NormalizeSections", "NormalizeGroupSettings",
                       "NormalizeSection", "NormalizeHeader", "DefaultHeaderLine", "SectionKeyFromDefaultName",
                       "NormalizeLineAdvancedOptions", "NormalizeZebraPattern", "DefaultHeaderLineBackground",
                       "NormalizeHeaderLineBackground", "DefaultHeaderLineBorder", "NormalizeHeaderLineBorder",
                       "DefaultHeaderLinePadding", "NormalizeHeaderLinePadding", "DefaultLineReservedSpace",
                       "NormalizeLineReservedSpace", "DefaultHeaderCell", "NormalizeHeaderCell",
                       "DefaultHeaderCellBackground", "NormalizeHeaderCellBackground", "NormalizeHeaderCellContent",
                       "MinColumnWidth", "LineBorderWidth", "LineBorderColor", "LineBackgroundColor",
                       "ZebraLineBackgroundColor", "ZebraLineFillOpacity", "GlobalRecordIndex", "TableLineVisible",
                       "TableLineSuppressed", "TableLineIsEmpty", "RenderizableHasContent", "RuntimeConditionIsTrue",
                       "LineaCabeceraRenderizable", "LineBorderRadiusMm", "TrazoRenderizable", "HGet", "HHas",
                       "AsArray", "AsHash", "BoolValue", "NumValue", "StringValue", "ObjHas", "HashKeys",
                       "NormalizeHashKeyName", "ExportCellFormula", "ExportFieldName", "ExportHeaderTitle"}) ||
         TRectangle::RespondsTo(name);
}

}  // namespace nv

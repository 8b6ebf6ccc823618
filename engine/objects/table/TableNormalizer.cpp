#include "objects/table/TableNormalizer.h"

#include <cctype>
#include <cmath>
#include <string>

#include "Accessors.h"
#include "Runtime.h"
#include "objects/table/TableMath.h"

namespace nv {

namespace {

const Value* Find(const Value& hash, std::string_view key) {
  const HashPtr* h = hash.HashRef();
  return h != nullptr ? (*h)->Find(key) : nullptr;
}

/// The stored number under key, or def when absent (NumValue: commas read as points, other kinds 0).
Value NumberOr(const Value& hash, std::string_view key, const Value& def) {
  const Value* v = Find(hash, key);
  return v != nullptr ? ValorANumero(*v) : def;
}

Value AtLeast(const Value& n, double low, const Value& lowValue) { return TableMath::D(n) < low ? lowValue : n; }

Value Clamped(const Value& hash, std::string_view key, double high, const Value& def) {
  const Value n = NumberOr(hash, key, def);
  const double d = TableMath::D(n);
  if (!(d >= 0)) return Value::Int(0);
  if (d > high) return Value::Int(static_cast<int64_t>(high));
  return n;
}

Value NewHash(size_t room) {
  Value h = Value::NewHash();
  h.AsHash().reserve(room);
  return h;
}

Value ColorOr(const Value& hash, std::string_view key, std::string_view def) {
  const Value* v = Find(hash, key);
  if (v != nullptr && TableNormalizer::IsSixDigitColor(*v)) return Value(Lower(v->AsString()));
  return Value(def);
}

}  // namespace

bool TableNormalizer::IsSixDigitColor(const Value& v) {
  const std::string* s = v.StringRef();
  if (s == nullptr || s->size() != 7 || (*s)[0] != '#') return false;
  for (size_t i = 1; i < 7; ++i) {
    if (!std::isxdigit(static_cast<unsigned char>((*s)[i]))) return false;
  }
  return true;
}

bool TableNormalizer::FlagDefaultTrue(const Value& hash, std::string_view key) {
  const Value* v = Find(hash, key);
  return v == nullptr || !v->IsFalse();
}

bool TableNormalizer::FlagDefaultFalse(const Value& hash, std::string_view key) {
  const Value* v = Find(hash, key);
  return v != nullptr && v->IsTrue();
}

Value TableNormalizer::TextOrEmpty(const Value& hash, std::string_view key) {
  const Value* v = Find(hash, key);
  return v != nullptr && v->IsString() ? *v : Value("");
}

Value TableNormalizer::NormalizeBackground(const Value& b) {
  auto textOr = [&](std::string_view key, std::string_view def) {
    const Value* v = Find(b, key);
    return v != nullptr && v->IsString() ? *v : Value(def);
  };
  Value out = NewHash(6);
  Hash& h = out.AsHash();
  h.Put("cColor", textOr("cColor", ""));
  h.Put("cColorFormula", textOr("cColorFormula", ""));
  h.Put("cFillStyle", textOr("cFillStyle", "solid"));
  h.Put("cFillColor2", textOr("cFillColor2", "#ffffff"));
  h.Put("cFillColor3", textOr("cFillColor3", "#ffffff"));
  h.Put("nFillOpacity", Clamped(b, "nFillOpacity", 1, Value::Int(1)));
  return out;
}

Value TableNormalizer::DefaultBackground() { return NormalizeBackground(Value()); }

Value TableNormalizer::NormalizeLineBorder(const Value& b, bool verticalDefault) {
  Value out = NewHash(9);
  Hash& h = out.AsHash();
  h.Put("lTop", Value(FlagDefaultTrue(b, "lTop")));
  h.Put("lBottom", Value(FlagDefaultTrue(b, "lBottom")));
  h.Put("lLeft", Value(FlagDefaultTrue(b, "lLeft")));
  h.Put("lRight", Value(FlagDefaultTrue(b, "lRight")));
  h.Put("lVerticalSeparators",
        Value(Find(b, "lVerticalSeparators") != nullptr ? FlagDefaultTrue(b, "lVerticalSeparators") : verticalDefault));
  h.Put("cColor", TextOrEmpty(b, "cColor"));
  h.Put("cColorFormula", TextOrEmpty(b, "cColorFormula"));
  h.Put("nWidth", AtLeast(NumberOr(b, "nWidth", Value::Int(0)), 0, Value::Int(0)));
  h.Put("nRounded", Clamped(b, "nRounded", 100, Value::Int(0)));
  return out;
}

Value TableNormalizer::DefaultLineBorder(bool verticalDefault) { return NormalizeLineBorder(Value(), verticalDefault); }

Value TableNormalizer::NormalizeBox(const Value& b) {
  Value out = NewHash(4);
  Hash& h = out.AsHash();
  for (std::string_view key : {"nTop", "nRight", "nBottom", "nLeft"}) {
    h.Put(key, AtLeast(NumberOr(b, key, Value::Int(0)), 0, Value::Int(0)));
  }
  return out;
}

Value TableNormalizer::DefaultBox() { return NormalizeBox(Value()); }

Value TableNormalizer::NormalizeCellBorder(const Value& b) {
  Value out = NewHash(6);
  Hash& h = out.AsHash();
  h.Put("lTop", Value(FlagDefaultTrue(b, "lTop")));
  h.Put("lRight", Value(FlagDefaultTrue(b, "lRight")));
  h.Put("lBottom", Value(FlagDefaultTrue(b, "lBottom")));
  h.Put("lLeft", Value(FlagDefaultTrue(b, "lLeft")));
  h.Put("cColor", TextOrEmpty(b, "cColor"));
  h.Put("nWidth", AtLeast(NumberOr(b, "nWidth", Value::Int(0)), 0, Value::Int(0)));
  return out;
}

Value TableNormalizer::NormalizeCellContent(const Value& content) {
  if (!content.IsHash()) return Value();
  const std::string type = ValueString(HGet(content, "cType"));
  const Value* object = Find(content, "hObject");
  // Rich text contents are admitted with the other kinds: the rich text object, the renderer
  // and the export all take them.
  if (type != "TText" && type != "TBarcode" && type != "TImage" && type != "richText") return Value();
  if (object == nullptr || !object->IsHash()) return Value();
  Value out = NewHash(2);
  out.AsHash().Put("cType", Value(type));
  out.AsHash().Put("hObject", *object);
  return out;
}

Value TableNormalizer::NormalizeCell(const Value& cell, const Value& width) {
  Value out = NewHash(4);
  Hash& h = out.AsHash();
  h.Put("nWidth", width);
  h.Put("hContent", NormalizeCellContent(HGet(cell, "hContent")));
  h.Put("hBackground", NormalizeBackground(HGet(cell, "hBackground")));
  h.Put("hBorder", NormalizeCellBorder(HGet(cell, "hBorder")));
  return out;
}

Value TableNormalizer::DefaultCell(const Value& width) { return NormalizeCell(Value(), width); }

Value TableNormalizer::NormalizeZebraPattern(const Value& z) {
  Value out = NewHash(6);
  Hash& h = out.AsHash();
  h.Put("lEnabled", Value(FlagDefaultFalse(z, "lEnabled")));
  const Value pattern(IntPart(NumberOr(z, "nPattern", Value::Int(0)).AsNumber()));
  h.Put("nPattern", TableMath::D(pattern) < 0 ? Value::Int(0) : pattern);
  h.Put("cColor1", ColorOr(z, "cColor1", "#ffffff"));
  h.Put("cColor2", ColorOr(z, "cColor2", "#f3f4f6"));
  h.Put("nColor1Opacity", Clamped(z, "nColor1Opacity", 1, Value::Int(1)));
  h.Put("nColor2Opacity", Clamped(z, "nColor2Opacity", 1, Value::Int(1)));
  return out;
}

Value TableNormalizer::NormalizeGroupSettings(const Value& settings) {
  const Value breakExpression = TextOrEmpty(settings, "cBreakExpression");
  Value list = Value::NewArray();
  Array& items = list.AsArray();
  auto listed = [&](const std::string& text) {
    for (const Value& item : items) {
      if (item.AsString() == text) return true;
    }
    return false;
  };
  const std::string& first = breakExpression.AsString();
  if (!IsBlankText(first)) items.push_back(breakExpression);
  if (const Value* stored = Find(settings, "aBreakExpressions"); stored != nullptr && stored->IsArray()) {
    for (const Value& entry : stored->AsArray()) {
      if (entry.IsString() && !IsBlankText(entry.AsString()) && !listed(entry.AsString())) items.push_back(entry);
    }
  }
  Value out = NewHash(3);
  Hash& h = out.AsHash();
  h.Put("cBreakExpression", breakExpression);
  h.Put("aBreakExpressions", list);
  h.Put("lSkipEmptyValues", Value(FlagDefaultFalse(settings, "lSkipEmptyValues")));
  return out;
}

Value TableNormalizer::NormalizeLineOptions(const Value& line, std::string_view key) {
  const bool detail = key == "detail";
  const bool groupHeader = key == "groupHeader";
  const bool groupFooter = key == "groupFooter";
  Value out = NewHash(11);
  Hash& h = out.AsHash();
  h.Put("lKeepTogether", Value(FlagDefaultTrue(line, "lKeepTogether")));
  h.Put("lIgnoreEmpty", Value(FlagDefaultFalse(line, "lIgnoreEmpty")));
  h.Put("lPageBreakBefore", Value(FlagDefaultFalse(line, "lPageBreakBefore")));
  h.Put("cSuppressCondition", TextOrEmpty(line, "cSuppressCondition"));
  if (detail || groupFooter || key == "footer") h.Put("lPageBreakAfter", Value(FlagDefaultFalse(line, "lPageBreakAfter")));
  if (groupHeader || groupFooter) {
    h.Put("cGroupExpression", TextOrEmpty(line, "cGroupExpression"));
    h.Put("lKeepWithPrevious", Value(groupFooter ? FlagDefaultTrue(line, "lKeepWithPrevious")
                                                 : FlagDefaultFalse(line, "lKeepWithPrevious")));
    Value resets = Value::NewArray();
    if (const Value* stored = Find(line, "aResetAcumuladores"); stored != nullptr && stored->IsArray()) {
      for (const Value& entry : stored->AsArray()) {
        if (entry.IsString()) resets.Append(entry);
      }
    }
    h.Put("aResetAcumuladores", resets);
  }
  if (groupHeader) h.Put("lRepeatAsHeader", Value(FlagDefaultFalse(line, "lRepeatAsHeader")));
  if (detail) {
    h.Put("lForceAccumulators", Value(FlagDefaultFalse(line, "lForceAccumulators")));
    h.Put("hZebraPattern", NormalizeZebraPattern(HGet(line, "hZebraPattern")));
  }
  return out;
}

Value TableNormalizer::NormalizeLine(const Value& line, size_t k, std::string_view sectionKey, bool showGrid,
                                     const Value& tableWidth) {
  const Value padding = NormalizeBox(HGet(line, "hPadding"));
  const Value reserved = NormalizeBox(HGet(line, "hReservedSpace"));
  const Hash& p = padding.AsHash();
  const Hash& r = reserved.AsHash();

  // Cells: the stored list, or one cell as wide as the table.
  Value stored = HGet(line, "aCells");
  if (!stored.IsArray() || stored.AsArray().empty()) {
    Value only = NewHash(1);
    only.AsHash().Put("nWidth", tableWidth);
    stored = Value::FromArray({only});
  }

  Value available = TableMath::Sub(TableMath::Sub(TableMath::Sub(TableMath::Sub(tableWidth, *r.Find("nLeft")),
                                                                  *r.Find("nRight")),
                                                   *p.Find("nLeft")),
                                   *p.Find("nRight"));
  if (TableMath::D(available) < kMinColumnWidth) available = Value(kMinColumnWidth);
  const double avail = TableMath::D(available);

  Value cells = Value::NewArray();
  Array& list = cells.AsArray();
  list.reserve(stored.AsArray().size());
  Value sum = Value::Int(0);
  for (const Value& cell : stored.AsArray()) {
    Value w = ValorANumero(HGet(cell, "nWidth", Value::Int(0)));
    if (TableMath::D(w) > 0) {
      if (TableMath::D(w) < 0.1) w = Value(0.1);
    } else {
      w = Value(kMinColumnWidth);
    }
    list.push_back(NormalizeCell(cell, w));
    sum = TableMath::Add(sum, w);
  }

  const double total = TableMath::D(sum);
  bool adjust = std::fabs(total - avail) <= 0.01;
  if (total - avail > 0.01 && avail > 0) {
    // Shrunk widths are rounded to tenths of a millimetre; the last cell takes the remainder.
    sum = Value::Int(0);
    for (Value& cell : list) {
      Value& w = cell.AsHash().ValueAt(0);
      w = TableMath::Round(Value(TableMath::D(w) * avail / total), 1);
      sum = TableMath::Add(sum, w);
    }
    adjust = true;
  }
  if (adjust) {
    const Value difference = TableMath::Sub(available, sum);
    if (std::fabs(TableMath::D(difference)) > 0.000001) {
      Value& last = list.back().AsHash().ValueAt(0);
      last = TableMath::Add(last, difference);
      if (TableMath::D(last) < 0.1) last = Value(0.1);
    }
  }

  Value out = NewHash(19);
  Hash& h = out.AsHash();
  const Value* name = Find(line, "cName");
  h.Put("cName", name != nullptr ? Value(ValueString(*name)) : Value("Cabecera " + std::to_string(k)));
  h.Put("nHeight", AtLeast(NumberOr(line, "nHeight", Value::Int(8)), 1.0, Value(1.0)));
  h.Put("cConditionFormula", TextOrEmpty(line, "cConditionFormula"));
  const Value options = NormalizeLineOptions(line, sectionKey);
  for (const auto& [optionKey, option] : options.AsHash()) h.Put(optionKey.view(), option);
  h.Put("hBackground", NormalizeBackground(HGet(line, "hBackground")));
  h.Put("hBorder", NormalizeLineBorder(HGet(line, "hBorder"), showGrid));
  h.Put("hPadding", padding);
  h.Put("hReservedSpace", reserved);
  h.Put("aCells", cells);
  return out;
}

Value TableNormalizer::NormalizeLines(const Value& lines, std::string_view sectionKey, bool showGrid,
                                      const Value& tableWidth) {
  Value out = Value::NewArray();
  if (!lines.IsArray()) return out;
  Array& list = out.AsArray();
  list.reserve(lines.AsArray().size());
  size_t k = 0;
  for (const Value& line : lines.AsArray()) list.push_back(NormalizeLine(line, ++k, sectionKey, showGrid, tableWidth));
  return out;
}

Value TableNormalizer::DefaultLine(const Value& name, const Value& height, const Value& cells) {
  Value out = NewHash(12);
  Hash& h = out.AsHash();
  h.Put("cName", name);
  h.Put("nHeight", height);
  h.Put("cConditionFormula", Value(""));
  const Value options = NormalizeLineOptions(Value(), "header");
  for (const auto& [optionKey, option] : options.AsHash()) h.Put(optionKey.view(), option);
  h.Put("hBackground", DefaultBackground());
  h.Put("hBorder", DefaultLineBorder());
  h.Put("hPadding", DefaultBox());
  h.Put("hReservedSpace", DefaultBox());
  h.Put("aCells", cells);
  return out;
}

std::string_view TableNormalizer::SectionKeyFromDefaultName(std::string_view name) {
  if (name == "Linea principal") return "detail";
  if (name == "Pie") return "footer";
  if (name == "Cabecera grupo") return "groupHeader";
  if (name == "Pie grupo") return "groupFooter";
  return "header";
}

}  // namespace nv

#include "formula/TFuncFormulas.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "Accessors.h"
#include "Hash.h"
#include "Runtime.h"
#include "barcode/TBarcodeUtil.h"
#include "formula/FormulaText.h"

namespace nv {

namespace {

const Value& NilValue() {
  static const Value nil;
  return nil;
}

const Value& EmptyText() {
  static const Value empty("");
  return empty;
}

// The positional arguments of one call; a missing argument reads as nil or as the default the
// function table gives it.
// A compiled formula hands over references to its argument values (refs) instead of a list of
// copies (values); exactly one of the two is used.
struct Args {
  std::span<const Value> values;
  std::span<const Value* const> refs = {};
  bool byRef = false;

  size_t Size() const { return byRef ? refs.size() : values.size(); }
  const Value& At0(size_t index0) const { return byRef ? *refs[index0] : values[index0]; }
  const Value& operator[](size_t index1) const { return index1 <= Size() ? At0(index1 - 1) : NilValue(); }
  const Value& Or(size_t index1, const Value& def) const { return index1 <= Size() ? At0(index1 - 1) : def; }
};

Value NoValida(std::string_view function) { return Value("[Funcion " + std::string(function) + " no valida]"); }

// Truncates toward zero into the int64 range (NaN gives 0), so that huge or broken numbers can
// never reach undefined conversions.
int64_t TruncToInt(const Number& n) {
  if (n.isInteger) return n.i;
  double t = std::trunc(n.d);
  if (std::isnan(t)) return 0;
  if (t >= 9.2e18) return std::numeric_limits<int64_t>::max();
  if (t <= -9.2e18) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(t);
}

// "number of x": the leading-numeric-prefix reading of the text of x. An integer number reads
// back as itself, so it skips the text round trip.
Number NumberOf(const Value& x) {
  if (x.IsNumber()) return TFuncFormulas::NumberThroughText(x.AsNumber());
  return nv::Val(ValorAString(x));
}

int64_t IntegerOf(const Value& x) { return TruncToInt(NumberOf(x)); }

int64_t Clamp(int64_t v, int64_t low, int64_t high) { return v < low ? low : (v > high ? high : v); }

// A field wider than this is no layout width but a runaway argument; it is capped so that a
// formula cannot make the engine allocate gigabytes of blanks.
constexpr int64_t kMaxFieldWidth = 10000;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads a run of exactly the given characters as digits; nullopt when any is no digit.
std::optional<int> DigitsAt(std::string_view text, size_t from, size_t count) {
  if (from + count > text.size() || count == 0) return std::nullopt;
  int value = 0;
  for (size_t i = from; i < from + count; ++i) {
    if (!IsDigit(text[i])) return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

// The leading whole number of one part of a visible date; nullopt when the part does not start
// with a digit after its blanks (an empty year is no year 2000).
std::optional<int64_t> LeadingWholeNumber(std::string_view part) {
  size_t pos = 0;
  while (pos < part.size() && (part[pos] == ' ' || part[pos] == '\t')) ++pos;
  if (pos >= part.size() || !IsDigit(part[pos])) return std::nullopt;
  // A plain run of digits is its own number; reading it directly spares the text copy and
  // strtoll of Val. A decimal point (or a run long enough to overflow) takes the general reading.
  int64_t value = 0;
  size_t end = pos;
  while (end < part.size() && IsDigit(part[end]) && end - pos < 18) value = value * 10 + (part[end++] - '0');
  if (end == part.size() || (part[end] != '.' && !IsDigit(part[end]))) return value;
  return TruncToInt(nv::Val(part.substr(pos)));
}

// The eight digits of a serial date text ("YYYYMMDD") with the blanks AllTrim removes around
// them; false for any other shape.
bool SerialDigits(std::string_view text, std::string_view& digits) {
  std::string_view v = text;
  if (v.size() != 8 || v.front() == ' ' || v.front() == '\t' || v.front() == '\r' || v.front() == '\n' ||
      v.back() == ' ') {
    v = AllTrimView(text);
    if (v.size() != 8) return false;
  }
  for (char c : v) {
    if (c < '0' || c > '9') return false;
  }
  digits = v;
  return true;
}

int DigitsValue(std::string_view digits, size_t from, size_t count) {
  int value = 0;
  for (size_t i = from; i < from + count; ++i) value = value * 10 + (digits[i] - '0');
  return value;
}

// The date of eight serial digits: the empty date when they name no day.
nv::Date SerialDate(std::string_view digits) {
  return MakeDate(DigitsValue(digits, 0, 4), DigitsValue(digits, 4, 2), DigitsValue(digits, 6, 2));
}

// Writes the value as exactly `width` decimal digits with leading zeros.
char* PutDigits(char* out, int value, int width) {
  for (int i = width - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return out + width;
}

const int32_t kFirstDay = MakeDate(1, 1, 1).day;
const int32_t kLastDay = MakeDate(9999, 12, 31).day;

std::string TwoDigitsDate(nv::Date d, bool longYear) {
  if (d.IsEmpty()) return longYear ? "  /  /    " : "  /  /  ";
  int year = 0, month = 0, day = 0;
  SplitDate(d, year, month, day);
  // Dates of the years 1 to 9999 always have this shape; writing the digits directly is several
  // times cheaper than snprintf, which stays for anything else.
  if (year >= 0 && year <= 9999 && month >= 0 && month <= 99 && day >= 0 && day <= 99) {
    char text[10];
    char* out = PutDigits(text, day, 2);
    *out++ = '/';
    out = PutDigits(out, month, 2);
    *out++ = '/';
    out = longYear ? PutDigits(out, year, 4) : PutDigits(out, year % 100, 2);
    return std::string(text, static_cast<size_t>(out - text));
  }
  char buffer[32];
  if (longYear) {
    std::snprintf(buffer, sizeof buffer, "%02d/%02d/%04d", day, month, year);
  } else {
    std::snprintf(buffer, sizeof buffer, "%02d/%02d/%02d", day, month, year % 100);
  }
  return buffer;
}

// Two values the runtime can order against each other without failing.
bool Orderable(const Value& a, const Value& b) {
  if (a.kind() != b.kind()) return false;
  switch (a.kind()) {
    case Kind::Number:
    case Kind::String:
    case Kind::Date:
    case Kind::Timestamp:
    case Kind::Logical: return true;
    default: return false;
  }
}

Value MaxOf(const Args& values) {
  if (values.Size() == 0) return Value();
  Value best = values.At0(0);
  for (size_t i = 1; i < values.Size(); ++i) {
    const Value& v = values.At0(i);
    if (best.IsNil()) {
      if (!v.IsNil()) best = v;
    } else if (Orderable(best, v) && RtGreater(v, best)) {
      best = v;
    }
  }
  return best;
}

// Characters [offset, offset + count) of UTF-8 text, offset counted from 0; count nullopt takes
// the rest.
std::string Utf8Slice(std::string_view text, int64_t offset, std::optional<int64_t> count) {
  if (offset < 0) offset = 0;
  int64_t length = static_cast<int64_t>(Utf8Length(text));
  if (offset >= length) return "";
  int64_t take = length - offset;
  if (count) {
    if (*count <= 0) return "";
    take = std::min(take, *count);
  }
  return Utf8SubStr(text, offset + 1, take);
}

std::string Trimmed(const Value& x) { return nv::AllTrim(ValorAString(x)); }

bool ContainsAtE(std::string_view text) {
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] == '@' && (text[i + 1] == 'E' || text[i + 1] == 'e')) return true;
  }
  return false;
}

std::string NumericTemplate(std::string_view mask) {
  std::string m = nv::AllTrim(mask);
  if (StartsWithIgnoreCase(m, 0, "@E")) return nv::AllTrim(std::string_view(m).substr(2));
  return m;
}

int MaskDecimals(std::string_view maskTemplate) {
  size_t dot = maskTemplate.rfind('.');
  size_t comma = maskTemplate.rfind(',');
  size_t p = std::string_view::npos;
  if (dot != std::string_view::npos) p = dot;
  if (comma != std::string_view::npos && (p == std::string_view::npos || comma > p)) p = comma;
  if (p == std::string_view::npos) return 0;
  int count = 0;
  for (size_t i = p + 1; i < maskTemplate.size(); ++i) {
    char c = maskTemplate[i];
    if (c == '0' || c == '#' || c == '9') ++count;
  }
  return count;
}

bool MaskUsesThousands(std::string_view maskTemplate) {
  return maskTemplate.find('.') != std::string_view::npos && maskTemplate.find(',') != std::string_view::npos;
}

bool IsDateMask(std::string_view mask) { return mask == "99/99/99" || mask == "99/99/9999"; }

std::string PadToTemplate(std::string text, std::string_view maskTemplate) {
  if (text.size() < maskTemplate.size()) text.insert(0, maskTemplate.size() - text.size(), ' ');
  return text;
}

char SeparatorChar(const Value& v) {
  std::string s = ValorAString(v);
  return s.empty() ? '\0' : s[0];
}

}  // namespace

// ---- Lifecycle -----------------------------------------------------------------------------------

namespace {

using Method = Value (*)(TFuncFormulas&, const Args&);

struct FunctionEntry {
  std::string_view name;    // the upper-case name a formula calls
  std::string_view method;  // the documented method name
  Method call;
};

// The callable functions in their documented order, each with its argument defaults.
const FunctionEntry kFunctions[] = {
    {"ABS", "Abs", [](TFuncFormulas& f, const Args& a) { return f.Abs(a[1]); }},
    {"ADDDAYS", "AddDays", [](TFuncFormulas& f, const Args& a) { return f.AddDays(a[1], a[2]); }},
    {"ALLTRIM", "AllTrim", [](TFuncFormulas& f, const Args& a) { return f.AllTrim(a.Or(1, EmptyText())); }},
    {"AT", "At", [](TFuncFormulas& f, const Args& a) { return f.At(a.Or(1, EmptyText()), a[2]); }},
    {"BARCODE", "Barcode", [](TFuncFormulas& f, const Args& a) { return f.Barcode(a[1], a[2]); }},
    {"CHR", "Chr", [](TFuncFormulas& f, const Args& a) { return f.Chr(a[1]); }},
    {"CONTAINS", "Contains", [](TFuncFormulas& f, const Args& a) { return f.Contains(a.Or(1, EmptyText()), a[2]); }},
    {"CTOD", "CToD", [](TFuncFormulas& f, const Args& a) { return f.CToD(a.Or(1, EmptyText())); }},
    {"DATE", "Date", [](TFuncFormulas& f, const Args&) { return f.Date(); }},
    {"DATEYMD", "DateYMD", [](TFuncFormulas& f, const Args& a) { return f.DateYMD(a[1], a[2], a[3]); }},
    {"DOW", "Dow", [](TFuncFormulas& f, const Args& a) { return f.Dow(a[1]); }},
    {"DTOC", "DToC", [](TFuncFormulas& f, const Args& a) { return f.DToC(a[1]); }},
    {"DTOS", "DToS", [](TFuncFormulas& f, const Args& a) { return f.DToS(a[1]); }},
    {"EMPTY", "Empty", [](TFuncFormulas& f, const Args& a) { return f.Empty(a[1]); }},
    {"EXP10", "Exp10", [](TFuncFormulas& f, const Args& a) { return f.Exp10(a[1]); }},
    {"HB_MEMOREAD", "hb_MemoRead", [](TFuncFormulas& f, const Args& a) { return f.hb_MemoRead(a.Or(1, EmptyText())); }},
    {"HOUR", "Hour", [](TFuncFormulas& f, const Args& a) { return f.Hour(a[1]); }},
    {"INT", "Int", [](TFuncFormulas& f, const Args& a) { return f.Int(a[1]); }},
    {"ISNULL", "IsNull", [](TFuncFormulas& f, const Args& a) { return f.IsNull(a[1]); }},
    {"LEFT", "Left", [](TFuncFormulas& f, const Args& a) { return f.Left(a.Or(1, EmptyText()), a[2]); }},
    {"LEN", "Len", [](TFuncFormulas& f, const Args& a) { return f.Len(a.Or(1, EmptyText())); }},
    {"LOADFILE", "LoadFile",
     [](TFuncFormulas& f, const Args& a) { return f.LoadFile(a.Or(1, EmptyText()), a.Or(2, EmptyText())); }},
    {"LOWER", "Lower", [](TFuncFormulas& f, const Args& a) { return f.Lower(a.Or(1, EmptyText())); }},
    {"LTRIM", "LTrim", [](TFuncFormulas& f, const Args& a) { return f.LTrim(a.Or(1, EmptyText())); }},
    {"MAX", "Max", [](TFuncFormulas&, const Args& a) { return MaxOf(a); }},
    {"MONTH", "Month", [](TFuncFormulas& f, const Args& a) { return f.Month(a[1]); }},
    {"NOW", "Now", [](TFuncFormulas& f, const Args&) { return f.Now(); }},
    {"NULL", "NULL", [](TFuncFormulas& f, const Args&) { return f.Null(); }},
    {"RAT", "RAt", [](TFuncFormulas& f, const Args& a) { return f.RAt(a.Or(1, EmptyText()), a[2]); }},
    {"STRPOS", "StrPos",
     [](TFuncFormulas& f, const Args& a) {
       static const Value one(1);
       return f.StrPos(a.Or(1, EmptyText()), a[2], a.Or(3, one));
     }},
    {"RIGHT", "Right", [](TFuncFormulas& f, const Args& a) { return f.Right(a.Or(1, EmptyText()), a[2]); }},
    {"RGB", "RGB", [](TFuncFormulas& f, const Args& a) { return f.RGB(a[1], a[2], a[3]); }},
    {"ROUND", "Round",
     [](TFuncFormulas& f, const Args& a) {
       static const Value zero(0);
       return f.Round(a[1], a.Or(2, zero));
     }},
    {"RTRIM", "RTrim", [](TFuncFormulas& f, const Args& a) { return f.RTrim(a.Or(1, EmptyText())); }},
    {"STOD", "SToD", [](TFuncFormulas& f, const Args& a) { return f.SToD(a.Or(1, EmptyText())); }},
    {"STR", "Str", [](TFuncFormulas& f, const Args& a) { return f.Str(a[1], a[2], a[3]); }},
    {"STRTRAN", "StrTran",
     [](TFuncFormulas& f, const Args& a) {
       static const Value one(1);
       return f.StrTran(a.Or(1, EmptyText()), a[2], a.Or(3, EmptyText()), a.Or(4, one), a[5]);
     }},
    {"SUBSTR", "SubStr", [](TFuncFormulas& f, const Args& a) { return f.SubStr(a.Or(1, EmptyText()), a[2], a[3]); }},
    {"TRANSFORM", "Transform", [](TFuncFormulas& f, const Args& a) { return f.Transform(a[1], a[2]); }},
    {"UPPER", "Upper", [](TFuncFormulas& f, const Args& a) { return f.Upper(a.Or(1, EmptyText())); }},
    {"VAL", "Val", [](TFuncFormulas& f, const Args& a) { return f.Val(a.Or(1, EmptyText())); }},
    {"YEAR", "Year", [](TFuncFormulas& f, const Args& a) { return f.Year(a[1]); }},
};

static_assert(std::size(kFunctions) == 42);

// Name to table position; equal to scanning the table in order because the names are distinct.
const std::unordered_map<std::string_view, size_t>& FunctionIndex() {
  static const auto index = [] {
    std::unordered_map<std::string_view, size_t> map;
    for (size_t i = 0; i < std::size(kFunctions); ++i) map.emplace(kFunctions[i].name, i);
    return map;
  }();
  return index;
}

}  // namespace

std::shared_ptr<TFuncFormulas> TFuncFormulas::New() {
  auto library = std::make_shared<TFuncFormulas>();
  library->Init();
  return library;
}

std::shared_ptr<TFuncFormulas> TFuncFormulas::Init() {
  hFunciones = Value::NewHash();
  for (const FunctionEntry& entry : kFunctions) hFunciones.Set(entry.name, Value(entry.method));
  hTransformPlanCache = Value::NewHash();
  transformPlans_.clear();
  lastMaskValid_ = false;
  lastPlan_ = nullptr;
  lCreated = false;
  return std::static_pointer_cast<TFuncFormulas>(shared_from_this());
}

std::shared_ptr<TFuncFormulas> TFuncFormulas::Create() {
  lCreated = true;
  return std::static_pointer_cast<TFuncFormulas>(shared_from_this());
}

Value TFuncFormulas::End() {
  hFunciones = Value::NewHash();
  hTransformPlanCache = Value::NewHash();
  transformPlans_.clear();
  lastMaskValid_ = false;
  lastPlan_ = nullptr;
  lCreated = false;
  return Value();
}

bool TFuncFormulas::RespondsTo(std::string_view name) const {
  if (FunctionIndex().count(nv::Upper(name)) != 0) return true;
  return NameIn(name, {"New",
                       "Init",
                       "Create",
                       "End",
                       "Ejecutar",
                       "hFunciones",
                       "hTransformPlanCache",
                       "lCreated",
                       "DateDifference",
                       "Null",
                       "ArgAt",
                       "NormalizarComponenteColor",
                       "ResolverRutaFichero",
                       "FechaDesdeValor",
                       "FechaDesdeTextoSerial",
                       "FechaDesdeTextoVisible",
                       "FechaValida",
                       "FormatearFechaVisible",
                       "FormatearFechaVisibleLarga",
                       "LongitudTexto",
                       "SubTexto",
                       "ContarDecimalesMascara",
                       "MascaraUsaMiles",
                       "ExtraerPlantillaNumericaTransform",
                       "AjustarAnchoMascaraNumerica",
                       "AplicarSeparadorMiles",
                       "EsMascaraFecha",
                       "FormatearFechaConMascara",
                       "NumeroATexto",
                       "MaxArray",
                       "ExtraerNumeroInicial"}) ||
         Object::RespondsTo(name);
}

// ---- Dispatch --------------------------------------------------------------------------------------

Value TFuncFormulas::Ejecutar(const Value& name, const Value& values) {
  std::string text = ValorAString(name);
  if (const ArrayPtr* list = values.ArrayRef()) return Ejecutar(text, std::span<const Value>(**list));
  return Ejecutar(text, std::span<const Value>());
}

namespace {

// The table position of the function a name calls, -1 when none has that name.
int FindFunction(std::string_view name) {
  // The evaluator already hands over trimmed upper-case names; only other callers pay for the
  // normalisation.
  bool normal = !name.empty() && name.front() != ' ' && name.back() != ' ' &&
                std::none_of(name.begin(), name.end(), [](char c) { return (c >= 'a' && c <= 'z') || c == '\t'; });
  std::string normalised;
  std::string_view key = name;
  if (!normal) {
    normalised = nv::Upper(nv::AllTrim(name));
    key = normalised;
  }
  const auto& index = FunctionIndex();
  auto it = index.find(key);
  return it == index.end() ? -1 : static_cast<int>(it->second);
}

}  // namespace

int TFuncFormulas::FunctionSlot(std::string_view name) { return FindFunction(name); }

Value TFuncFormulas::EjecutarSlot(int slot, std::span<const Value> values) {
  if (slot < 0 || static_cast<size_t>(slot) >= std::size(kFunctions)) return Value();
  return kFunctions[static_cast<size_t>(slot)].call(*this, Args{values});
}

Value TFuncFormulas::EjecutarSlot(int slot, std::span<const Value* const> values) {
  if (slot < 0 || static_cast<size_t>(slot) >= std::size(kFunctions)) return Value();
  return kFunctions[static_cast<size_t>(slot)].call(*this, Args{{}, values, true});
}

Value TFuncFormulas::Ejecutar(std::string_view name, std::span<const Value> values) {
  int slot = FindFunction(name);
  if (slot < 0) return Value("[Funcion no implementada: " + std::string(name) + "]");
  return kFunctions[static_cast<size_t>(slot)].call(*this, Args{values});
}

// ---- Text functions ------------------------------------------------------------------------------

Value TFuncFormulas::AllTrim(const Value& x) { return Value(nv::AllTrim(ValorAString(x))); }
Value TFuncFormulas::LTrim(const Value& x) { return Value(nv::LTrim(ValorAString(x))); }
Value TFuncFormulas::RTrim(const Value& x) { return Value(nv::RTrim(ValorAString(x))); }
Value TFuncFormulas::Upper(const Value& x) { return Value(nv::Upper(ValorAString(x))); }
Value TFuncFormulas::Lower(const Value& x) { return Value(nv::Lower(ValorAString(x))); }

Value TFuncFormulas::At(const Value& needle, const Value& text) {
  return Value::Int(nv::At(ValorAString(needle), ValorAString(text)));
}

Value TFuncFormulas::RAt(const Value& needle, const Value& text) {
  return Value::Int(nv::RAt(ValorAString(needle), ValorAString(text)));
}

Value TFuncFormulas::StrPos(const Value& text, const Value& search, const Value& n) {
  std::string t = ValorAString(text);
  std::string s = ValorAString(search);
  if (nv::AllTrim(s).empty() || !nv::EsNumerico(n)) return Value::Int(-1);
  int64_t occurrences = IntegerOf(n);
  if (occurrences < 1) return Value::Int(-1);
  size_t start = 0;
  size_t match = std::string::npos;
  for (int64_t i = 0; i < occurrences; ++i) {
    match = start <= t.size() ? t.find(s, start) : std::string::npos;
    if (match == std::string::npos) return Value::Int(-1);
    start = match + s.size();
  }
  return Value::Int(static_cast<int64_t>(match));
}

Value TFuncFormulas::Chr(const Value& code) {
  if (!nv::EsNumerico(code) || NumberOf(code).AsDouble() < 0) return NoValida("Chr");
  return Value(nv::Chr(IntegerOf(code)));
}

Value TFuncFormulas::Contains(const Value& text, const Value& part) {
  if (text.IsNil() || part.IsNil()) return Value(false);
  std::string p = ValorAString(part);
  if (nv::AllTrim(p).empty()) return Value(true);
  return Value(ValorAString(text).find(p) != std::string::npos);
}

Value TFuncFormulas::Empty(const Value& x) {
  switch (x.kind()) {
    case Kind::Nil: return Value(true);
    case Kind::Logical: return Value(!x.AsBool());
    case Kind::String: return Value(nv::AllTrim(x.AsString()).empty());
    case Kind::Number: return Value(x.AsNumber().AsDouble() == 0);
    case Kind::Array:
    case Kind::Hash: return Value(x.Len() == 0);
    default: return Value(false);
  }
}

Value TFuncFormulas::IsNull(const Value& x) { return Value(x.IsNil()); }

Value TFuncFormulas::Left(const Value& text, const Value& n) {
  if (!nv::EsNumerico(n)) return NoValida("Left");
  return Value(Utf8Slice(ValorAString(text), 0, IntegerOf(n)));
}

Value TFuncFormulas::Right(const Value& text, const Value& n) {
  if (!nv::EsNumerico(n)) return NoValida("Right");
  std::string t = ValorAString(text);
  int64_t count = IntegerOf(n);
  if (count <= 0) return Value("");
  int64_t length = static_cast<int64_t>(Utf8Length(t));
  if (count >= length) return Value(std::move(t));
  return Value(Utf8Slice(t, length - count, count));
}

Value TFuncFormulas::Len(const Value& x) { return Value::Int(static_cast<int64_t>(Utf8Length(ValorAString(x)))); }

Value TFuncFormulas::StrTran(const Value& text, const Value& search, const Value& replacement, const Value& start,
                             const Value& count) {
  std::string t = ValorAString(text);
  std::string s = ValorAString(search);
  if (s.empty()) return Value(std::move(t));
  std::string r = ValorAString(replacement);
  int64_t remaining = -1;  // -1: every occurrence
  if (!count.IsNil()) {
    remaining = std::max<int64_t>(0, IntegerOf(count));
    if (remaining == 0) return Value(std::move(t));
  }
  int64_t first = std::max<int64_t>(1, IntegerOf(start));
  size_t pos = static_cast<size_t>(std::min<int64_t>(first - 1, static_cast<int64_t>(t.size())));
  std::string out = t.substr(0, pos);
  while (remaining != 0) {
    size_t found = t.find(s, pos);
    if (found == std::string::npos) break;
    out.append(t, pos, found - pos);
    out += r;
    pos = found + s.size();
    if (remaining > 0) --remaining;
  }
  out.append(t, pos, std::string::npos);
  return Value(std::move(out));
}

Value TFuncFormulas::SubStr(const Value& text, const Value& start, const Value& count) {
  if (!nv::EsNumerico(start) || (!count.IsNil() && !nv::EsNumerico(count))) return NoValida("SubStr");
  std::string t = ValorAString(text);
  int64_t s = IntegerOf(start);
  int64_t offset;
  if (s >= 0) {
    offset = std::max<int64_t>(s, 1) - 1;
  } else {
    offset = std::max<int64_t>(0, static_cast<int64_t>(Utf8Length(t)) + s);
  }
  std::optional<int64_t> take;
  if (!count.IsNil()) take = IntegerOf(count);
  return Value(Utf8Slice(t, offset, take));
}

// ---- Numbers ----------------------------------------------------------------------------------------

Value TFuncFormulas::Abs(const Value& x) {
  if (!nv::EsNumerico(x)) return NoValida("Abs");
  return Value(AbsNumber(x.IsNumber() ? x.AsNumber() : NumberOf(x)));
}

Value TFuncFormulas::Exp10(const Value& x) {
  if (!nv::EsNumerico(x)) return NoValida("Exp10");
  double result = std::pow(10.0, NumberOf(x).AsDouble());
  // Beyond the double range the number would print as "inf"; that is no usable result.
  if (!std::isfinite(result)) return NoValida("Exp10");
  if (result == std::floor(result) && result < 9.2e18) return Value::Int(static_cast<int64_t>(result));
  return Value::Dbl(result, result == std::floor(result) ? 0 : 2);
}

Value TFuncFormulas::Int(const Value& x) {
  if (!nv::EsNumerico(x)) return NoValida("Int");
  return Value(IntPart(NumberOf(x)));
}

Value TFuncFormulas::Round(const Value& x, const Value& decimals) {
  if (!nv::EsNumerico(x) || !nv::EsNumerico(decimals)) return NoValida("Round");
  // Beyond these the double carries no more digits (or nothing survives), so the clamp changes
  // no result and keeps the scaling finite.
  int d = static_cast<int>(Clamp(IntegerOf(decimals), -20, 30));
  Number v = RoundNumber(NumberOf(x), d);
  if (d <= 0) return Value(IntPart(v));
  return Value(Number::Double(v.AsDouble(), d));
}

Value TFuncFormulas::Str(const Value& x, const Value& width, const Value& decimals) {
  int64_t w = width.IsNil() ? 10 : std::min(IntegerOf(width), kMaxFieldWidth);
  int d = decimals.IsNil() ? 0 : static_cast<int>(Clamp(IntegerOf(decimals), 0, 30));
  if (w <= 0) return Value("");
  if (x.IsNil() || (x.IsString() && nv::AllTrim(x.AsString()).empty())) return Value(nv::Space(w));
  if (!nv::EsNumerico(x)) return NoValida("Str");
  std::string t = NumberText(NumberOf(x), d);
  if (static_cast<int64_t>(t.size()) > w) return Value(std::string(static_cast<size_t>(w), '*'));
  return Value(nv::PadL(t, w));
}

Value TFuncFormulas::Val(const Value& x) { return Value(nv::Val(LeadingNumberText(ValorAString(x)))); }

Value TFuncFormulas::RGB(const Value& red, const Value& green, const Value& blue) {
  if (red.IsNil() || green.IsNil() || blue.IsNil()) return NoValida("RGB");
  std::string out = "#";
  for (const Value* component : {&red, &green, &blue}) {
    out += nv::Lower(NumToHex(NormalizarComponenteColor(*component).AsNumber().i, 2));
  }
  return Value(std::move(out));
}

Value TFuncFormulas::Max(std::span<const Value> values) { return MaxOf(Args{values}); }

Value TFuncFormulas::Null() { return Value(); }

// ---- Masks ------------------------------------------------------------------------------------------

namespace {
bool FastMaskedNumber(const Number& n, int decimals, char decimalChar, char thousandsChar, size_t width,
                      std::string& out);
}  // namespace

const TFuncFormulas::TransformPlan& TFuncFormulas::PlanFor(const std::string& mask) {
  auto found = transformPlans_.find(mask);
  if (found != transformPlans_.end()) return found->second;
  TransformPlan plan;
  plan.cMask = NumericTemplate(mask);
  plan.nDecimals = MaskDecimals(plan.cMask);
  bool european = ContainsAtE(mask);
  plan.cDecimal = european ? ',' : '.';
  plan.cThousands = MaskUsesThousands(plan.cMask) ? (european ? '.' : ',') : '\0';
  plan.lDateMask = IsDateMask(mask);
  plan.lLongDate = mask == "99/99/9999";

  Value entry = Value::NewHash();
  entry.Set("cMask", Value(plan.cMask));
  entry.Set("nDecimals", Value(plan.nDecimals));
  entry.Set("cDecimal", Value(std::string(1, plan.cDecimal)));
  entry.Set("cThousands", Value(plan.cThousands ? std::string(1, plan.cThousands) : std::string()));
  entry.Set("lDateMask", Value(plan.lDateMask));
  if (!hTransformPlanCache.IsHash()) hTransformPlanCache = Value::NewHash();
  hTransformPlanCache.Set(mask, entry);
  return transformPlans_.emplace(mask, std::move(plan)).first->second;
}

const TFuncFormulas::TransformPlan* TFuncFormulas::PlanForMaskValue(const Value& mask) {
  if (mask.IsString() && lastMaskValid_ && mask.AsString() == lastMaskText_) return lastPlan_;
  std::string m = Trimmed(mask);
  const TransformPlan* plan = m.empty() ? nullptr : &PlanFor(m);
  // Plans live in node-based map entries, so the pointer stays valid until the map is cleared.
  if (mask.IsString()) {
    lastMaskText_ = mask.AsString();
    lastPlan_ = plan;
    lastMaskValid_ = true;
  }
  return plan;
}

Value TFuncFormulas::Transform(const Value& value, const Value& mask) {
  if (value.IsNil() || mask.IsNil()) return NoValida("Transform");
  const TransformPlan* found = PlanForMaskValue(mask);
  if (found == nullptr) return Value(ValorAString(value));
  const TransformPlan& plan = *found;
  if (plan.lDateMask) {
    nv::Date d = DateFromValue(value);
    if (!d.IsEmpty()) return Value(plan.lLongDate ? LongVisibleDate(d) : VisibleDate(d));
  }
  if (!nv::EsNumerico(value)) return Value(ValorAString(value));
  Number n = value.IsNumber() ? value.AsNumber() : NumberOf(value);
  if (std::string fast; FastMaskedNumber(n, plan.nDecimals, plan.cDecimal, plan.cThousands, plan.cMask.size(), fast)) {
    return Value(std::move(fast));
  }
  std::string t = plan.nDecimals > 0 ? NumberText(n, plan.nDecimals) : nv::AllTrim(TransformTwelveNines(n));
  if (plan.cDecimal != '.') std::replace(t.begin(), t.end(), '.', plan.cDecimal);
  if (plan.cThousands) t = GroupThousands(t, plan.cDecimal, plan.cThousands);
  return Value(PadToTemplate(std::move(t), plan.cMask));
}

Value TFuncFormulas::ContarDecimalesMascara(const Value& maskTemplate) {
  return Value(MaskDecimals(ValorAString(maskTemplate)));
}

Value TFuncFormulas::MascaraUsaMiles(const Value& maskTemplate) { return Value(MaskUsesThousands(ValorAString(maskTemplate))); }

Value TFuncFormulas::ExtraerPlantillaNumericaTransform(const Value& mask) { return Value(NumericTemplate(ValorAString(mask))); }

Value TFuncFormulas::AjustarAnchoMascaraNumerica(const Value& text, const Value& maskTemplate) {
  return Value(PadToTemplate(ValorAString(text), ValorAString(maskTemplate)));
}

Value TFuncFormulas::AplicarSeparadorMiles(const Value& text, const Value& decimalChar, const Value& thousandsChar) {
  return Value(GroupThousands(ValorAString(text), SeparatorChar(decimalChar), SeparatorChar(thousandsChar)));
}

Value TFuncFormulas::EsMascaraFecha(const Value& mask) { return Value(IsDateMask(ValorAString(mask))); }

Value TFuncFormulas::FormatearFechaConMascara(const Value& date, const Value& mask) {
  nv::Date d = date.IsDate() ? date.AsDate() : nv::Date{};
  return Value(ValorAString(mask) == "99/99/9999" ? LongVisibleDate(d) : VisibleDate(d));
}

Value TFuncFormulas::NumeroATexto(const Value& n, const Value& decimals) {
  return Value(NumberText(NumberOf(n), static_cast<int>(Clamp(IntegerOf(decimals), 0, 30))));
}

namespace {

// Scaled values below this keep an exact integer part and a fraction good to about 2^-12.
constexpr double kFastScaledLimit = 1099511627776.0;  // 2^40

// The rounded digits of a fixed text: digits[begin, end) with integerDigits of them before the
// decimal point (at least one), and whether a minus sign goes first.
struct FixedDigits {
  char digits[32];
  const char* begin = nullptr;
  const char* end = nullptr;
  size_t integerDigits = 0;
  bool negative = false;
};

// The digits of the fixed text of x at `decimals` places, rounded half away from zero, as
// RoundHalfAway plus "%.*f" give it, without their decimal-text round trip and printf. The general
// route rounds the shortest decimal text of x; that text lies within half an ulp of x, so both
// roundings agree unless the scaled value lies very near a half. Such values, large values and
// many decimals return false and take the general route.
bool FastFixedDigits(double x, int decimals, FixedDigits& out) {
  static constexpr double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};
  if (decimals < 0 || decimals > 8 || !std::isfinite(x)) return false;
  double scaled = std::fabs(x) * kPow10[decimals];
  if (!(scaled < kFastScaledLimit)) return false;
  double whole = std::floor(scaled);
  double fraction = scaled - whole;
  if (std::fabs(fraction - 0.5) < 1e-3) return false;
  uint64_t units = static_cast<uint64_t>(whole) + (fraction > 0.5 ? 1 : 0);

  // The digits of the units with at least one integer digit: 5 units at 2 decimals is "005".
  size_t d = static_cast<size_t>(decimals);
  char* end = std::to_chars(out.digits + d + 1, out.digits + sizeof out.digits, units).ptr;
  char* begin = out.digits + d + 1;
  while (static_cast<size_t>(end - begin) <= d) *--begin = '0';
  out.begin = begin;
  out.end = end;
  out.integerDigits = static_cast<size_t>(end - begin) - d;
  out.negative = x < 0 && units != 0;  // a value that rounds to zero shows no sign
  return true;
}

bool FastFixedText(double x, int decimals, std::string& out) {
  FixedDigits f;
  if (!FastFixedDigits(x, decimals, f)) return false;
  char text[40];
  char* p = text;
  if (f.negative) *p++ = '-';
  p = std::copy(f.begin, f.begin + f.integerDigits, p);
  if (decimals > 0) {
    *p++ = '.';
    p = std::copy(f.begin + f.integerDigits, f.end, p);
  }
  out.assign(text, static_cast<size_t>(p - text));
  return true;
}

// The text Transform gives a number under a mask with decimals, composed in one pass: the sign,
// the integer digits grouped in threes by thousandsChar (0 for none), decimalChar and the
// decimals, left-padded with blanks to width. The same text as NumberText, the decimal character
// replacement, GroupThousands and the padding one after the other; false when NumberText would
// take its general route.
bool FastMaskedNumber(const Number& n, int decimals, char decimalChar, char thousandsChar, size_t width,
                      std::string& out) {
  FixedDigits f;
  if (decimals <= 0 || !FastFixedDigits(n.AsDouble(), decimals, f)) return false;
  char text[64];
  char* p = text;
  if (f.negative) *p++ = '-';
  for (size_t i = 0; i < f.integerDigits; ++i) {
    if (i > 0 && thousandsChar && (f.integerDigits - i) % 3 == 0) *p++ = thousandsChar;
    *p++ = f.begin[i];
  }
  *p++ = decimalChar;
  p = std::copy(f.begin + f.integerDigits, f.end, p);
  size_t length = static_cast<size_t>(p - text);
  if (length >= width) {
    out = std::string(text, length);
  } else {
    out = std::string(width, ' ');
    std::memcpy(out.data() + (width - length), text, length);
  }
  return true;
}

}  // namespace

std::string TFuncFormulas::NumberText(const Number& n, int decimals) {
  int d = static_cast<int>(Clamp(decimals, 0, 30));
  std::string fast;
  if (n.isInteger && d == 0) return std::to_string(n.i);
  if (FastFixedText(n.AsDouble(), d, fast)) return fast;
  return nv::AllTrim(nv::Str(n, 30, d));
}

Number TFuncFormulas::NumberThroughText(const Number& n) {
  if (n.isInteger) return n;
  // Report data repeats the same few amounts; a small direct-mapped memo of the text reading
  // spares printing and re-reading each of them.
  struct Entry {
    uint64_t bits = 0;
    uint8_t decimals = 0;
    bool used = false;
    Number result;
  };
  thread_local Entry memo[64];
  uint64_t bits;
  static_assert(sizeof bits == sizeof n.d);
  std::memcpy(&bits, &n.d, sizeof bits);
  size_t slot = static_cast<size_t>((bits ^ (bits >> 29) ^ (bits >> 47) ^ n.decimals) & 63);
  Entry& e = memo[slot];
  if (e.used && e.bits == bits && e.decimals == n.decimals) return e.result;
  Number result = nv::Val(nv::ValorAString(Value(n)));
  e = Entry{bits, n.decimals, true, result};
  return result;
}

std::string TFuncFormulas::GroupThousands(std::string_view text, char decimalChar, char thousandsChar) {
  std::string out;
  size_t pos = 0;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    out += text[0];
    pos = 1;
  }
  size_t decimalAt = decimalChar ? text.find(decimalChar, pos) : std::string_view::npos;
  std::string_view integerPart = text.substr(pos, decimalAt == std::string_view::npos ? text.npos : decimalAt - pos);
  size_t digits = static_cast<size_t>(std::count_if(integerPart.begin(), integerPart.end(), IsDigit));
  size_t seen = 0;
  for (char c : integerPart) {
    if (IsDigit(c)) {
      // A separator goes before each digit that starts a group of three, counted from the right.
      if (seen > 0 && thousandsChar && (digits - seen) % 3 == 0) out += thousandsChar;
      ++seen;
    }
    out += c;
  }
  if (decimalAt != std::string_view::npos) out.append(text.substr(decimalAt));
  return out;
}

std::string TFuncFormulas::LeadingNumberText(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t' || text[pos] == '\r' || text[pos] == '\n')) ++pos;
  size_t begin = pos;
  bool digit = false;
  bool point = false;
  for (; pos < text.size(); ++pos) {
    char c = text[pos];
    if ((c == '+' || c == '-') && pos == begin) continue;
    if (IsDigit(c)) {
      digit = true;
      continue;
    }
    if (c == '.' && !point) {
      point = true;
      continue;
    }
    break;
  }
  if (!digit) return "0";
  return std::string(text.substr(begin, pos - begin));
}

Value TFuncFormulas::ExtraerNumeroInicial(const Value& text) { return Value(LeadingNumberText(ValorAString(text))); }

Value TFuncFormulas::NormalizarComponenteColor(const Value& x) { return Value::Int(Clamp(IntegerOf(x), 0, 255)); }

Value TFuncFormulas::MaxArray(const Value& values) {
  const ArrayPtr* list = values.ArrayRef();
  if (list == nullptr) return Value();
  return MaxOf(Args{std::span<const Value>(**list)});
}

// ---- Conversions and paths --------------------------------------------------------------------

Value TFuncFormulas::ArgAt(const Value& values, const Value& n, const Value& def) {
  const ArrayPtr* list = values.ArrayRef();
  if (list == nullptr || !n.IsNumber()) return def;
  int64_t index = TruncToInt(n.AsNumber());
  if (index < 1 || index > static_cast<int64_t>((*list)->size())) return def;
  return (**list)[static_cast<size_t>(index - 1)];
}

Value TFuncFormulas::LongitudTexto(const Value& text) {
  return Value::Int(static_cast<int64_t>(Utf8Length(ValorAString(text))));
}

Value TFuncFormulas::SubTexto(const Value& text, const Value& offset, const Value& count) {
  std::optional<int64_t> take;
  if (!count.IsNil()) take = IntegerOf(count);
  return Value(Utf8Slice(ValorAString(text), IntegerOf(offset), take));
}

Value TFuncFormulas::ResolverRutaFichero(const Value& path) {
  std::string p = Trimmed(path);
  if (p.empty()) return Value("");
  std::vector<std::string> candidates = {p, "public/" + p};
  if (StartsWithIgnoreCase(p, 0, "public/")) candidates.push_back("public/" + p.substr(7));
  const std::string separator(PathSeparator());
  for (std::string& candidate : candidates) {
    if (separator != "/") candidate = nv::StrTran(candidate, "/", separator);
    if (FileExists(candidate)) return Value(candidate);
  }
  return Value("");
}

Value TFuncFormulas::LoadFile(const Value& path, const Value& fallback) {
  std::string found = ResolverRutaFichero(path).AsString();
  if (found.empty()) return Value(ValorAString(fallback));
  return Value(ReadBinaryFile(found));
}

Value TFuncFormulas::hb_MemoRead(const Value& path) { return LoadFile(path, EmptyText()); }

Value TFuncFormulas::Barcode(const Value& content, const Value& type) {
  if (content.IsNil() || type.IsNil()) {
    Value result = Value::NewHash();
    result.Set("tipo", Value("barcode"));
    result.Set("error", Value("Funcion Barcode no valida"));
    return result;
  }
  return TBarcodeUtil::New()->Crear(content, type);
}

// ---- Dates ------------------------------------------------------------------------------------------

nv::Date TFuncFormulas::DateFromSerialText(std::string_view text) {
  std::string t = nv::AllTrim(text);
  if (t.size() < 7) return nv::Date{};
  auto year = DigitsAt(t, 0, 4);
  auto month = DigitsAt(t, 4, 2);
  auto day = DigitsAt(t, 6, t.size() >= 8 ? 2 : 1);
  if (!year || !month || !day) return nv::Date{};
  return MakeDate(*year, *month, *day);
}

nv::Date TFuncFormulas::DateFromVisibleText(std::string_view text) {
  // Exactly three parts between two "/"; views of the trimmed text, no copies.
  std::string_view t = AllTrimView(text);
  size_t first = t.find('/');
  if (first == std::string_view::npos) return nv::Date{};
  size_t second = t.find('/', first + 1);
  if (second == std::string_view::npos || t.find('/', second + 1) != std::string_view::npos) return nv::Date{};
  auto day = LeadingWholeNumber(t.substr(0, first));
  auto month = LeadingWholeNumber(t.substr(first + 1, second - first - 1));
  auto year = LeadingWholeNumber(t.substr(second + 1));
  if (!day || !month || !year) return nv::Date{};
  int64_t y = *year < 100 ? *year + 2000 : *year;
  if (*day > 31 || *month > 12 || y > 9999) return nv::Date{};
  return MakeDate(static_cast<int>(y), static_cast<int>(*month), static_cast<int>(*day));
}

nv::Date TFuncFormulas::DateFromValue(const Value& v) {
  if (v.IsDate()) return v.AsDate();
  // A timestamp's generic text puts the month first; its own day number is the date it means.
  if (v.IsTimestamp()) return nv::Date{v.AsTimestamp().day};
  // Serial texts of eight digits are the usual date fields; they read directly from the text.
  // Any other shape takes the general reading below, which gives the same date for these.
  if (v.IsString()) {
    if (std::string_view digits; SerialDigits(v.AsString(), digits)) return SerialDate(digits);
  }
  std::string t = Trimmed(v);
  if (t.size() == 8 && t.find('/') == std::string::npos && nv::Val(t).AsDouble() > 0) {
    nv::Date d = DateFromSerialText(t);
    if (!d.IsEmpty()) return d;
  }
  return DateFromVisibleText(t);
}

std::string TFuncFormulas::VisibleDate(nv::Date d) { return TwoDigitsDate(d, false); }
std::string TFuncFormulas::LongVisibleDate(nv::Date d) { return TwoDigitsDate(d, true); }

Value TFuncFormulas::FechaDesdeValor(const Value& v) { return Value(DateFromValue(v)); }
Value TFuncFormulas::FechaDesdeTextoSerial(const Value& text) { return Value(DateFromSerialText(ValorAString(text))); }
Value TFuncFormulas::FechaDesdeTextoVisible(const Value& text) { return Value(DateFromVisibleText(ValorAString(text))); }
Value TFuncFormulas::FechaValida(const Value& date) { return Value(date.IsDate() && !date.AsDate().IsEmpty()); }

Value TFuncFormulas::FormatearFechaVisible(const Value& date) {
  return Value(VisibleDate(date.IsDate() ? date.AsDate() : nv::Date{}));
}

Value TFuncFormulas::FormatearFechaVisibleLarga(const Value& date) {
  return Value(LongVisibleDate(date.IsDate() ? date.AsDate() : nv::Date{}));
}

namespace {

// Runs format on the date read from v, or answers the function's error text.
template <typename Format>
Value WithDate(const Value& v, std::string_view function, Format format) {
  nv::Date d = TFuncFormulas::DateFromValue(v);
  if (d.IsEmpty()) return NoValida(function);
  return format(d);
}

}  // namespace

Value TFuncFormulas::Date() { return Value(VisibleDate(Today())); }
Value TFuncFormulas::Now() { return Value(VisibleDate(Today())); }

Value TFuncFormulas::CToD(const Value& text) {
  nv::Date d = text.IsString() ? DateFromVisibleText(text.AsString()) : DateFromVisibleText(ValorAString(text));
  if (d.IsEmpty()) return NoValida("CToD");
  return Value(VisibleDate(d));
}

Value TFuncFormulas::SToD(const Value& text) {
  nv::Date d = DateFromSerialText(ValorAString(text));
  if (d.IsEmpty()) return NoValida("SToD");
  return Value(VisibleDate(d));
}

Value TFuncFormulas::DateYMD(const Value& year, const Value& month, const Value& day) {
  if (!nv::EsNumerico(year) || !nv::EsNumerico(month) || !nv::EsNumerico(day)) return NoValida("DateYMD");
  int64_t y = IntegerOf(year), m = IntegerOf(month), d = IntegerOf(day);
  // Parts that do not fit their serial positions cannot name a date.
  if (y < 0 || y > 9999 || m < 0 || m > 99 || d < 0 || d > 99) return NoValida("DateYMD");
  char serial[16];
  std::snprintf(serial, sizeof serial, "%04d%02d%02d", static_cast<int>(y), static_cast<int>(m), static_cast<int>(d));
  nv::Date date = DateFromSerialText(serial);
  if (date.IsEmpty()) return NoValida("DateYMD");
  return Value(VisibleDate(date));
}

Value TFuncFormulas::AddDays(const Value& date, const Value& n) {
  if (!nv::EsNumerico(n)) return NoValida("AddDays");
  nv::Date d = DateFromValue(date);
  if (d.IsEmpty()) return NoValida("AddDays");
  int64_t days = IntegerOf(n);
  // A result outside the years 1 to 9999 has no visible date.
  if (days > kLastDay - d.day || days < kFirstDay - d.day) return NoValida("AddDays");
  return Value(VisibleDate(nv::Date{static_cast<int32_t>(d.day + days)}));
}

Value TFuncFormulas::DateDifference(const Value& a, const Value& b) {
  nv::Date first = DateFromValue(a);
  nv::Date second = DateFromValue(b);
  if (first.IsEmpty() || second.IsEmpty()) return Value();
  return Value::Int(static_cast<int64_t>(first.day) - second.day);
}

Value TFuncFormulas::Dow(const Value& date) {
  return WithDate(date, "Dow", [](nv::Date d) { return Value::Int(nv::Dow(d)); });
}

Value TFuncFormulas::Month(const Value& date) {
  return WithDate(date, "Month", [](nv::Date d) { return Value::Int(nv::Month(d)); });
}

Value TFuncFormulas::Year(const Value& date) {
  return WithDate(date, "Year", [](nv::Date d) { return Value::Int(nv::Year(d)); });
}

Value TFuncFormulas::DToC(const Value& date) {
  // The usual date field is an eight-digit serial text: once it names a valid date, its digits
  // are the day, month and year to show, so they are rearranged without the day number.
  if (std::string_view v; date.IsString() && SerialDigits(date.AsString(), v)) {
    if (SerialDate(v).IsEmpty()) return NoValida("DToC");
    const char text[10] = {v[6], v[7], '/', v[4], v[5], '/', v[0], v[1], v[2], v[3]};
    return Value(std::string(text, sizeof text));
  }
  return WithDate(date, "DToC", [](nv::Date d) { return Value(LongVisibleDate(d)); });
}

Value TFuncFormulas::DToS(const Value& date) {
  return WithDate(date, "DToS", [](nv::Date d) { return Value(DateToSerial(d)); });
}

Value TFuncFormulas::Hour(const Value& x) {
  if (x.IsNil() || (x.IsString() && nv::AllTrim(x.AsString()).empty())) {
    return Value::Int(nv::Now().ms / 3600000);
  }
  if (x.IsTimestamp()) {
    double fraction = x.AsTimestamp().ms / 86400000.0;
    return Value::Int(static_cast<int64_t>(std::floor(fraction * 24 + 0.0000001)));
  }
  if (x.IsDate()) return Value::Int(0);
  std::string t = Trimmed(x);
  size_t blank = t.rfind(' ');
  if (blank != std::string::npos) t = nv::AllTrim(std::string_view(t).substr(blank + 1));
  std::vector<std::string> pieces = SplitText(t, ':');
  if (pieces.size() < 2 || !nv::EsNumerico(Value(pieces[0]))) return NoValida("Hour");
  double hour = nv::Val(pieces[0]).AsDouble();
  if (hour < 0 || hour > 23) return NoValida("Hour");
  return Value::Int(static_cast<int64_t>(hour));
}

}  // namespace nv

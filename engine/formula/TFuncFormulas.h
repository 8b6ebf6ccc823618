#pragma once
// The function library of the formula language: text, number, date, mask, colour, file and
// barcode functions called by name. No function raises for a bad argument; each answers its own
// error text ("[Funcion Left no valida]") or its documented default.

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

#include "Object.h"
#include "Value.h"

namespace nv {

class TFuncFormulas : public Object {
 public:
  /// Registry of the callable names: upper-case function name to method name, in table order.
  Value hFunciones;
  /// Parsed masks of Transform, keyed by the trimmed mask text; each entry a hash with "cMask",
  /// "nDecimals", "cDecimal", "cThousands" and "lDateMask". Grows for the library's life.
  Value hTransformPlanCache;
  /// True between Create and End.
  bool lCreated = false;

  /// Returns a new library after Init.
  static std::shared_ptr<TFuncFormulas> New();
  /// Fills hFunciones, empties the mask cache, lCreated false.
  std::shared_ptr<TFuncFormulas> Init();
  /// Sets lCreated; returns the library.
  std::shared_ptr<TFuncFormulas> Create();
  /// Empties the registry and the mask cache; lCreated false. Returns nil.
  Value End() override;

  std::string_view ClassName() const override { return "TFuncFormulas"; }
  bool RespondsTo(std::string_view name) const override;

  /// Runs the function called name (trimmed and upper-cased here as well) with the evaluated
  /// arguments of the array values (a non-array counts as no arguments). An unknown name gives
  /// "[Funcion no implementada: " + name as passed + "]".
  Value Ejecutar(const Value& name, const Value& values);
  /// The same for callers that hold the arguments in a contiguous list.
  Value Ejecutar(std::string_view name, std::span<const Value> values);
  /// The position of the function name would call (normalised as Ejecutar does), -1 when no
  /// function has that name. Lets a compiled formula resolve its call once.
  static int FunctionSlot(std::string_view name);
  /// Runs the function at slot (from FunctionSlot, 0 or more) as Ejecutar runs it by name.
  Value EjecutarSlot(int slot, std::span<const Value> values);
  /// The same with the arguments given by reference (every pointer non-null), so a compiled
  /// formula passes its constants and variables without copying them.
  Value EjecutarSlot(int slot, std::span<const Value* const> values);

  // ---- The callable functions, in table order. Dates are returned as visible date texts
  // ("15/01/23"); date arguments accept a date value, a serial text or a visible text. ----

  /// Absolute value of a number or numeric text; "[Funcion Abs no valida]" otherwise.
  Value Abs(const Value& x);
  /// The date plus the integer of n days as a visible date; "[Funcion AddDays no valida]".
  Value AddDays(const Value& date, const Value& n);
  /// The text without leading blanks, tabs, CR, LF and trailing blanks.
  Value AllTrim(const Value& x);
  /// 1-based byte position of the first occurrence of needle in text, 0 when absent or empty.
  Value At(const Value& needle, const Value& text);
  /// 1-based byte position of the last occurrence of needle in text, 0 when absent or empty.
  Value RAt(const Value& needle, const Value& text);
  /// 0-based byte position of the n-th non-overlapping occurrence of search in text; -1 when
  /// search is blank, n is not numeric or below 1, or there are fewer occurrences.
  Value StrPos(const Value& text, const Value& search, const Value& n = Value(1));
  /// The barcode result hash for content in the symbology type; the failure is inside the hash.
  Value Barcode(const Value& content, const Value& type);
  /// The one-byte text of the integer of code modulo 256; "[Funcion Chr no valida]" when code is
  /// not numeric or negative.
  Value Chr(const Value& code);
  /// false when either is nil; true when part is blank; else whether part occurs in text.
  Value Contains(const Value& text, const Value& part);
  /// The visible date read from a day/month/year text; "[Funcion CToD no valida]".
  Value CToD(const Value& text);
  /// Today's date as a visible date.
  Value Date();
  /// The date of year, month and day as a visible date; "[Funcion DateYMD no valida]".
  Value DateYMD(const Value& year, const Value& month, const Value& day);
  /// Days from b to a (a - b); nil when either does not read as a date. Used by the evaluator for
  /// subtraction of dates; not callable from formulas.
  static Value DateDifference(const Value& a, const Value& b);
  /// Day of week, 1 Sunday to 7 Saturday; "[Funcion Dow no valida]".
  Value Dow(const Value& date);
  /// The long visible date ("15/01/2023"); "[Funcion DToC no valida]".
  Value DToC(const Value& date);
  /// The serial date text ("20230115"); "[Funcion DToS no valida]".
  Value DToS(const Value& date);
  /// true for nil, a false logical, a blank text, 0, an empty array or hash; false otherwise
  /// (dates included).
  Value Empty(const Value& x);
  /// 10 raised to the number of x, an integer when integral; "[Funcion Exp10 no valida]".
  Value Exp10(const Value& x);
  /// LoadFile(path, "").
  Value hb_MemoRead(const Value& path);
  /// Hour of the day 0..23 of a time text, timestamp or the clock; "[Funcion Hour no valida]".
  Value Hour(const Value& x = Value());
  /// The integer part of x; "[Funcion Int no valida]".
  Value Int(const Value& x);
  /// Whether x is nil.
  Value IsNull(const Value& x);
  /// The first integer-of-n characters (UTF-8) of the text; "[Funcion Left no valida]".
  Value Left(const Value& text, const Value& n);
  /// Number of UTF-8 characters of the text of x.
  Value Len(const Value& x);
  /// The whole content of the file found for path (see ResolverRutaFichero), else the text of
  /// fallback.
  Value LoadFile(const Value& path, const Value& fallback = Value(""));
  /// The text with A to Z lower-cased.
  Value Lower(const Value& x);
  /// The text without leading blanks, tabs, CR and LF.
  Value LTrim(const Value& x);
  /// The largest of the values; nil without values. Never fails: see MaxArray.
  Value Max(std::span<const Value> values);
  /// Month 1..12; "[Funcion Month no valida]".
  Value Month(const Value& date);
  /// Today's date as a visible date (no time of day).
  Value Now();
  /// nil (the formula function NULL).
  Value Null();
  /// The last integer-of-n characters (UTF-8); "[Funcion Right no valida]".
  Value Right(const Value& text, const Value& n);
  /// "#rrggbb" in lower-case hexadecimal, each component clamped to 0..255;
  /// "[Funcion RGB no valida]" when any component is nil.
  Value RGB(const Value& red, const Value& green, const Value& blue);
  /// x rounded half away from zero to the integer of decimals places (negative: tens, hundreds);
  /// "[Funcion Round no valida]".
  Value Round(const Value& x, const Value& decimals = Value(0));
  /// The text without trailing blanks.
  Value RTrim(const Value& x);
  /// The visible date of a serial date text; "[Funcion SToD no valida]".
  Value SToD(const Value& text);
  /// The number right-aligned in width (default 10) with decimals (default 0); width asterisks
  /// on overflow; "[Funcion Str no valida]" when x is not numeric (nil and blank give blanks).
  Value Str(const Value& x, const Value& width = Value(), const Value& decimals = Value());
  /// Replaces occurrences of search from byte position start (default 1); count nil replaces
  /// all, else at most count.
  Value StrTran(const Value& text, const Value& search, const Value& replacement = Value(""),
                const Value& start = Value(1), const Value& count = Value());
  /// Characters (UTF-8) from start (1-based; 0 as 1; negative from the end), at most count;
  /// "[Funcion SubStr no valida]".
  Value SubStr(const Value& text, const Value& start, const Value& count = Value());
  /// The value formatted with a number or date mask; "[Funcion Transform no valida]" when value or
  /// mask is nil. Texts pass through numeric masks unchanged; long results are never cut.
  Value Transform(const Value& value, const Value& mask);
  /// The text with a to z upper-cased.
  Value Upper(const Value& x);
  /// The leading number of the text ("  12.5kg" gives 12.5, "abc" 0).
  Value Val(const Value& x);
  /// The year; "[Funcion Year no valida]".
  Value Year(const Value& date);

  // ---- Shared routines (dates, masks, numbers, paths). The text of a value and the numeric
  // test are the runtime's ValorAString and EsNumerico (Accessors.h). ----

  /// The n-th element (from 1) of an array, else def.
  static Value ArgAt(const Value& values, const Value& n, const Value& def = Value());
  /// The integer of x clamped to 0..255.
  static Value NormalizarComponenteColor(const Value& x);
  /// The first existing file among path, "public/" + path and, for a path beginning with
  /// "public/" in any case, "public/" + the rest; "" when none exists or path is blank.
  static Value ResolverRutaFichero(const Value& path);
  /// A date value unchanged (a timestamp gives its date); otherwise the date of its text as a
  /// serial text (8 characters, no "/") or a visible text; the empty date when unreadable.
  static Value FechaDesdeValor(const Value& v);
  /// The date of "YYYYMMDD" (at least 7 characters); the empty date when invalid.
  static Value FechaDesdeTextoSerial(const Value& text);
  /// The date of "day/month/year" (years below 100 plus 2000); the empty date when invalid.
  static Value FechaDesdeTextoVisible(const Value& text);
  /// true for a date value that is not the empty date.
  static Value FechaValida(const Value& date);
  /// "DD/MM/YY" and "DD/MM/YYYY" of a date value.
  static Value FormatearFechaVisible(const Value& date);
  static Value FormatearFechaVisibleLarga(const Value& date);
  /// Number of UTF-8 characters.
  static Value LongitudTexto(const Value& text);
  /// Characters from 0-based offset; count nil gives the rest, count <= 0 gives "".
  static Value SubTexto(const Value& text, const Value& offset, const Value& count = Value());
  /// Digits ("0", "#", "9") after the later of the last "." and the last ","; 0 without either.
  static Value ContarDecimalesMascara(const Value& maskTemplate);
  /// true when the template holds both "." and ",".
  static Value MascaraUsaMiles(const Value& maskTemplate);
  /// The trimmed mask without a leading "@E" (any case), trimmed again.
  static Value ExtraerPlantillaNumericaTransform(const Value& mask);
  /// text left-padded with blanks to the length of the template; never cut.
  static Value AjustarAnchoMascaraNumerica(const Value& text, const Value& maskTemplate);
  /// Groups the integer part of a number text in threes ("1234567,5" gives "1.234.567,5").
  static Value AplicarSeparadorMiles(const Value& text, const Value& decimalChar, const Value& thousandsChar);
  /// true for exactly "99/99/99" or "99/99/9999".
  static Value EsMascaraFecha(const Value& mask);
  /// The long visible date for "99/99/9999", the visible date for any other mask.
  static Value FormatearFechaConMascara(const Value& date, const Value& mask);
  /// The number with exactly decimals decimals, "." as point, no blanks.
  static Value NumeroATexto(const Value& n, const Value& decimals);
  /// The largest value of an array (the first of equal maxima); nil for a non-array or an empty
  /// one. A nil maximum so far gives way to any later value; values that cannot be ordered
  /// against the maximum so far (a number against a text) are passed over.
  static Value MaxArray(const Value& values);
  /// The leading number of text as a text: skips blanks, tabs, CR, LF; a sign only first, digits
  /// and one "."; "0" when no digit was taken.
  static Value ExtraerNumeroInicial(const Value& text);

  // ---- Typed forms of the shared routines for hot paths ----

  /// The date read from any value as FechaDesdeValor does.
  static nv::Date DateFromValue(const Value& v);
  static nv::Date DateFromSerialText(std::string_view text);
  static nv::Date DateFromVisibleText(std::string_view text);
  static std::string VisibleDate(nv::Date d);
  static std::string LongVisibleDate(nv::Date d);
  /// The number as text with exactly `decimals` decimals (0..30), no blanks.
  static std::string NumberText(const Number& n, int decimals);
  static std::string GroupThousands(std::string_view text, char decimalChar, char thousandsChar);
  static std::string LeadingNumberText(std::string_view text);
  /// The number its own text reads back as (Val of ValorAString), which is how formulas see a
  /// number; remembered per double and decimals, so repeated numbers skip the text round trip.
  static Number NumberThroughText(const Number& n);

 private:
  // The parsed form of one mask, mirrored into hTransformPlanCache for inspection.
  struct TransformPlan {
    std::string cMask;
    int nDecimals = 0;
    char cDecimal = '.';
    char cThousands = 0;  // 0 when the template does not group thousands
    bool lDateMask = false;
    bool lLongDate = false;
  };
  const TransformPlan& PlanFor(const std::string& mask);
  const TransformPlan* PlanForMaskValue(const Value& mask);

  std::unordered_map<std::string, TransformPlan> transformPlans_;
  // The mask text as passed in the last call and its plan (null when that mask was blank): a
  // report formats column after column with one mask, so most calls skip trimming and hashing.
  std::string lastMaskText_;
  const TransformPlan* lastPlan_ = nullptr;
  bool lastMaskValid_ = false;
};

}  // namespace nv

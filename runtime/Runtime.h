#pragma once
// The runtime library: the operations on Value the engine is written against. Numbers to text,
// trimming, string search, comparisons, rounding, dates, lists, files and serialization. Each
// operation raises RuntimeError only for the failures named on it.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Value.h"

namespace nv {

// ---- Numbers to text and back -------------------------------------------------------------

/// Returns the default numeric text form: right-aligned in a field of at least 10 positions for
/// the integer part (20 for integers of more than 10 digits), plus point and decimals, rounded to
/// the number's display decimals (halves away from zero).
std::string Str(const Number& n);
/// Returns the number in a field of `width` with 0 decimals, or `width` "*" when it does not fit.
std::string Str(const Number& n, int width);
/// Returns the number in a field of `width` with `decimals` decimals, "*" on overflow.
std::string Str(const Number& n, int width, int decimals);
/// Returns Str(n, width) with the leading blanks turned into "0" (a minus sign first).
std::string StrZero(const Number& n, int width, int decimals = 0);
/// Returns the default numeric text form without its leading blanks ("80", "2.50", "-3").
std::string NumToText(const Number& n);
/// Reads the leading numeric prefix: blanks, optional sign, digits, optional "." and digits.
/// Nothing readable gives 0. Decimals are the digits read after the point.
Number Val(std::string_view text);
/// Returns the generic text form ("NIL", ".T.", "01/15/23", "" for arrays and hashes...).
std::string GenericText(const Value& v);
/// Returns the literal-expression text form ("\"a\"", "12", ".T.", "0d20230115", "{1, 2}",
/// "{\"k\"=>1}", "{=>}"). Equal forms mean equal values for signatures and cache keys.
std::string LiteralText(const Value& v);
/// Returns the number as upper-case hexadecimal, zero-padded to width (width 2 gives the low byte).
std::string NumToHex(int64_t n, int width = 0);
/// Reads hexadecimal text of either case; an invalid text gives 0.
int64_t HexToNum(std::string_view text);
/// The picture of twelve 9s: rounded to an integer, right-aligned in 12, or twelve "*".
std::string TransformTwelveNines(const Number& n);

// ---- Characters and encodings -----------------------------------------------------------------

/// Returns the one-byte string of code modulo 256.
std::string Chr(int64_t code);
/// Returns the code of the first byte, 0 for "".
int Asc(std::string_view text);
/// Converts a Windows-1252 byte string to UTF-8.
std::string Win1252ToUtf8(std::string_view text);
/// Encodes one Unicode code point as UTF-8 bytes.
std::string Utf8Encode(uint32_t codePoint);
/// Returns the number of UTF-8 characters (a byte that starts no sequence counts as one).
size_t Utf8Length(std::string_view text);
/// Returns `count` characters from 1-based character position `start` (the SubStr rules).
std::string Utf8SubStr(std::string_view text, int64_t start, int64_t count);
/// Splits UTF-8 text into its characters (each a byte string).
std::vector<std::string> Utf8Chars(std::string_view text);
/// Base64 of RFC 4648 with "=" padding; decoding skips nothing and gives "" for invalid input.
std::string Base64Encode(std::string_view bytes);
std::string Base64Decode(std::string_view text);

// ---- Trimming and emptiness ---------------------------------------------------------------------

/// The view of text that AllTrim keeps: without leading blanks, tabs, CR and LF and without
/// trailing blanks. Points into text.
std::string_view AllTrimView(std::string_view text);
/// Removes leading blanks, tabs, CR and LF, and trailing blanks only.
std::string AllTrim(std::string_view text);
std::string LTrim(std::string_view text);
/// Removes trailing blanks only.
std::string RTrim(std::string_view text);
/// True for nil, blank strings, 0, false, empty arrays and hashes and the empty date.
bool IsEmpty(const Value& v);
/// True when AllTrim leaves nothing: the text holds only blanks, tabs, CR and LF.
inline bool IsBlankText(std::string_view text) { return text.find_first_not_of(" \t\r\n") == std::string_view::npos; }

// ---- String operations (bytes, 1-based) ------------------------------------------------------------

std::string SubStr(std::string_view text, int64_t start, std::optional<int64_t> count = std::nullopt);
std::string Left(std::string_view text, int64_t n);
std::string Right(std::string_view text, int64_t n);
/// Position of the first / last occurrence, 0 when absent or when the needle is "".
int64_t At(std::string_view needle, std::string_view text);
int64_t RAt(std::string_view needle, std::string_view text);
std::string StrTran(std::string_view text, std::string_view search, std::string_view replacement);
std::string Stuff(std::string_view text, int64_t start, int64_t remove, std::string_view insert);
std::string Replicate(std::string_view text, int64_t n);
std::string Space(int64_t n);
/// Left-pads with blanks to width; a longer text is cut to its first width bytes.
std::string PadL(std::string_view text, int64_t width);
std::string PadR(std::string_view text, int64_t width);
std::string Upper(std::string_view text);
std::string Lower(std::string_view text);
/// Splits at a one-byte delimiter; empty pieces are kept (the empty text gives one empty piece).
std::vector<std::string> SplitText(std::string_view text, char delimiter);

// ---- Comparisons ---------------------------------------------------------------------------------------

/// Exact equality: same kind and same value (numbers by value, strings byte for byte).
bool ExactEqual(const Value& a, const Value& b);
/// The ordering comparisons. Strings compare over the length of the right operand when it is
/// shorter (a prefix compares equal). Numbers, dates, timestamps and logicals by value; nil
/// equals nil. Raises RuntimeError for kinds that cannot be compared.
bool RtNotEqual(const Value& a, const Value& b);
bool RtLess(const Value& a, const Value& b);
bool RtLessEqual(const Value& a, const Value& b);
bool RtGreater(const Value& a, const Value& b);
bool RtGreaterEqual(const Value& a, const Value& b);
/// `x $ y`: true when x occurs in y; false when x is "".
bool Contains(std::string_view x, std::string_view y);
/// The first 1-based position whose element matches (strings by the prefix rule, a code block as a
/// predicate), 0 when none.
int64_t AScan(const Value& list, const Value& what);

// ---- Arithmetic with the display-decimal rules ---------------------------------------------------
// Each raises RuntimeError for wrong kinds; division and remainder by zero raise too.

/// Numbers add; strings concatenate; date + number gives a later date.
Value OpAdd(const Value& a, const Value& b);
/// Numbers subtract; date - number gives an earlier date; date - date gives days; strings join.
Value OpSub(const Value& a, const Value& b);
Value OpMul(const Value& a, const Value& b);
/// Always a double with 2 decimals, also 10 / 2.
Value OpDiv(const Value& a, const Value& b);
/// Remainder with the sign of the dividend, a double with 2 decimals.
Value OpMod(const Value& a, const Value& b);
Value OpPow(const Value& a, const Value& b);
/// The remainder function: the sign of the divisor, a double with 2 decimals.
Value ModFunc(const Value& a, const Value& b);
Value OpNegate(const Value& a);
/// Rounds to d decimals, halves away from zero; negative d rounds to tens, hundreds...
Number RoundNumber(const Number& n, int d);
double RoundHalfAway(double x, int d);
/// Truncation toward zero, 0 decimals.
Number IntPart(const Number& n);
Number AbsNumber(const Number& n);

// ---- Dates and clocks ---------------------------------------------------------------------------------------

/// Day number of a calendar date; an invalid date gives the empty date.
Date MakeDate(int year, int month, int day);
/// Splits a real date into year, month, day (all 0 for the empty date).
void SplitDate(Date d, int& year, int& month, int& day);
Date Today();
Timestamp Now();
/// The time of day as "HH:MM:SS".
std::string TimeText();
/// Milliseconds of a steady clock, for durations.
int64_t MillisecondClock();
/// "YYYYMMDD", eight blanks for the empty date.
std::string DateToSerial(Date d);
/// Reads "YYYYMMDD"; an invalid or blank text gives the empty date.
Date SerialToDate(std::string_view text);
int Year(Date d);
int Month(Date d);
int Day(Date d);
/// 1 = Sunday ... 7 = Saturday; 0 for the empty date.
int Dow(Date d);
/// Days since the start of the day-number scale, with the time as fraction.
double TimestampToDays(Timestamp t);

// ---- Lists ---------------------------------------------------------------------------------------------

/// Resizes an array (new slots nil, shrinking drops the tail).
void ASize(const Value& array, size_t n);
/// The last element, nil for an empty array or another kind.
Value ATail(const Value& array);
/// Sorts ascending (strings by the prefix ordering, numbers by value), stable.
void ASort(const Value& array);

// ---- Files ---------------------------------------------------------------------------------------------

/// True when path can name a file: not empty and free of NUL, CR and LF. Every file operation
/// below refuses any other path (a NUL would otherwise cut the name short at the system call).
bool IsUsablePath(std::string_view path);
/// Outcome of a bounded read: the bytes, no readable regular file, or a file over the limit.
enum class FileReadStatus { Ok, Missing, TooLarge };
/// Reads a regular file whole into bytes when it holds at most maxBytes bytes; bytes is empty
/// unless the status is Ok. A FIFO, device or directory is Missing and is never opened.
FileReadStatus ReadBinaryFileLimited(const std::string& path, size_t maxBytes, std::string& bytes);
/// Reads a whole file; a missing file gives "". Removes one trailing byte 26 (templates, data).
std::string ReadTextFile(const std::string& path);
/// Reads a whole file unchanged; a missing file gives "".
std::string ReadBinaryFile(const std::string& path);
/// Writes a whole file; true on success.
bool WriteFile(const std::string& path, std::string_view bytes);
/// True for an existing regular file.
bool FileExists(const std::string& path);
bool DeleteFile(const std::string& path);
/// Creates a uniquely named empty file (mode 0600) in the system temporary directory (TMPDIR, else
/// /tmp): prefix, six random characters, then the extension (a "." is added when it has none).
/// Returns its full path, or "" on failure. A "/" in prefix or extension becomes "_".
std::string CreateTempFile(std::string_view prefix, std::string_view extension);
/// Everything up to and including the last "/".
std::string DirPart(std::string_view path);
/// The platform's path separator "/".
std::string_view PathSeparator();
/// The line terminator of console output, CR LF.
std::string_view LineTerminator();

// ---- Serialization ----------------------------------------------------------------------------------

/// Serializes nil, logicals, numbers with their decimals, strings, dates, timestamps, arrays and
/// hashes (in key order) losslessly. Objects and code blocks become nil.
std::string Serialize(const Value& v);
/// A growable byte buffer Serialize can reuse from one call to the next.
struct SerializeBuffer {
  std::unique_ptr<char[]> data;
  size_t capacity = 0;
};
/// Serializes into buffer, growing it when needed; the bytes stay valid until the buffer is used again.
std::string_view Serialize(const Value& v, SerializeBuffer& buffer);
/// Reads Serialize's bytes back; malformed input gives std::nullopt.
std::optional<Value> Deserialize(std::string_view bytes);

}  // namespace nv

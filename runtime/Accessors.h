#pragma once
// The tolerant accessors and converters: none raises for a wrong kind, each substitutes its
// documented default. One function per behaviour; each engine class calls the variant it uses.

#include <string>
#include <string_view>

#include "Value.h"

namespace nv {

/// The value stored under key when hash is a hash holding key (a stored nil is returned as nil);
/// otherwise def.
Value HGet(const Value& hash, std::string_view key, const Value& def = Value());
/// Stores value under key when hash is a hash; returns hash as it came.
const Value& HSet(const Value& hash, std::string_view key, Value value);
/// The keys of a hash in order (an array of strings), empty for any other kind.
Value HashKeys(const Value& hash);
bool HHas(const Value& hash, std::string_view key);
/// One shared empty hash for callers that stand in for "no hash given" (variables, options). It is
/// sealed (Hash::Seal): writing to it raises a RuntimeError instead of filling it for every other
/// caller, and reading it costs what reading any empty hash costs.
const Value& EmptyHash();

/// nil "", strings unchanged, numbers their trimmed text with their decimals ("5.00"), true "1",
/// false "", other kinds their trimmed generic text. Layout objects use this as their ValorAString.
std::string ValueString(const Value& v);
/// As ValueString, except that an integral number prints as plain digits ("5" for 10 / 2).
std::string ValorAString(const Value& v);
/// nil "", strings unchanged, anything else its trimmed generic text (".T." for true).
std::string ValorAStringGeneric(const Value& v);

/// Numbers unchanged; strings with "," as "." read by the leading-numeric-prefix rule; true 1,
/// false 0; other kinds 0.
Value ValueNumber(const Value& v);
/// As ValueNumber, except that logicals give 0.
Value ValorANumero(const Value& v);
/// The same two as doubles.
double ValueDouble(const Value& v);
double ValorADouble(const Value& v);
/// Integer parts (truncation toward zero) of ValueNumber / ValorANumero.
int64_t ValueInt(const Value& v);
/// The integer part of d, saturated at the int64 limits; 0 for NaN and infinities. Converting a
/// double out of range straight to an integer is undefined, so every such conversion goes here.
int64_t TruncateToInt64(double d);
int64_t ValorAEntero(const Value& v);
/// Logicals unchanged; numbers true when not 0; strings true when their trimmed lower-case text is
/// non-empty and occurs in "1.true.t.si.y.yes"; other kinds false.
bool ValueBool(const Value& v);
inline bool ValorALogico(const Value& v) { return ValueBool(v); }

/// A string unchanged; nil ""; other kinds their trimmed literal-expression text with outer double
/// quotes removed.
std::string NormalizeHashKeyName(const Value& key);

/// Exact key only (the execution context's lookup).
Value HashGetExact(const Value& hash, std::string_view key, const Value& def = Value());
bool HashHasKeyExact(const Value& hash, std::string_view key);
/// Exact key, then the first key whose trimmed upper-case text equals the trimmed upper-case
/// wanted key (the formula evaluator's lookup).
Value HashGetFormula(const Value& hash, std::string_view key, const Value& def = Value());
bool HashHasKeyFormula(const Value& hash, std::string_view key);
/// Exact key, then the upper-cased key, then the first key whose lower-cased text equals the
/// lower-cased wanted key, no trimming (the text object's lookup).
Value HashGetText(const Value& hash, std::string_view key, const Value& def = Value());
bool HashHasKeyText(const Value& hash, std::string_view key);
/// The value HashGetText finds, in place; null when the key is absent.
const Value* FindHashKeyText(const Value& hash, std::string_view key);

/// The formula library's numeric test: a number, or a trimmed non-empty text of digits, "+"/"-" in
/// first position, "." and ",", with at least one digit.
bool EsNumerico(const Value& v);
/// EsNumerico's test on a text, without building a Value.
bool EsTextoNumerico(std::string_view text);
/// The first len(prefix) bytes of text equal prefix (an empty prefix always matches).
bool StartsWith(std::string_view text, std::string_view prefix);

}  // namespace nv

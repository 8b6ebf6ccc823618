#pragma once
// JSON text to Value through RapidJSON's SAX reader, and Value to JSON text through its Writer.

#include <string>
#include <string_view>

#include "Value.h"

namespace nv {

/// Decodes JSON text. Objects become hashes in document order (a repeated key keeps its first
/// place and its last value), integers stay integers (beyond 64 bits they become doubles), other
/// numbers keep as many decimals as fraction digits written, counted after an exponent moves the
/// point (1.5e-3 has 4). Strings stay UTF-8 bytes; a leading byte order mark is skipped. Any
/// failure, nesting deeper than 1000, or a value that is not an object gives an empty hash.
Value DecodeJsonObject(std::string_view text);
/// Decodes any JSON value; sets ok to false (and returns nil) when the text does not decode, with
/// the parser's byte offset and message in error.
Value DecodeJson(std::string_view text, bool& ok, std::string* error = nullptr);
/// Reads a JSON file into a hash; an empty path, a missing or empty file, invalid text or a value
/// that is not an object give an empty hash.
Value ReadJsonFile(const std::string& path);
/// Writes a value as JSON: nil null, logicals booleans, integers integers, other numbers in their
/// shortest exact form, strings as UTF-8 (invalid sequences become U+FFFD), dates "YYYY-MM-DD",
/// timestamps "YYYY-MM-DDTHH:MM:SS.mmm", objects and code blocks null.
std::string EncodeJson(const Value& v, bool pretty = false);

}  // namespace nv

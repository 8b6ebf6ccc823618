#pragma once
// The colour texts layout objects and documents accept: "#" plus six hexadecimal digits, and the
// two ways a colour member is normalised before it reaches a renderer.

#include <string>
#include <string_view>

#include "Value.h"

namespace nv {

/// True when text is exactly "#" followed by six hexadecimal digits, in any case.
bool IsHexColor(std::string_view text);

/// The trimmed, lower-cased text of value when it is a six-digit colour, else "#000000".
std::string NormalizeHexColor(const Value& value);

/// A text colour: the trimmed, lower-cased text of value when it is a six-digit colour, "#abc"
/// with its digits doubled, and "#000000" for anything else, including the transparent forms
/// ("transparent", "#rrggbb00", "rgba(..., 0)"): text is never drawn invisible.
std::string NormalizeTextColor(const Value& value);

}  // namespace nv

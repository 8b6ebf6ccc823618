#pragma once
// Text handed to Pango must be valid UTF-8: Pango warns on standard error and may drop what
// follows a bad byte. Render objects come from outside, so their texts are repaired first.

#include <string>

namespace nv::out {

/// The text with every byte that does not belong to a valid UTF-8 sequence (a NUL included)
/// replaced by '?'. One byte for one byte, so byte offsets into the text (formatted runs) stay
/// where they were.
std::string RepairUtf8(std::string text);

}  // namespace nv::out

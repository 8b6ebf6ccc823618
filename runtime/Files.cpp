// Whole-file reads and writes, temporary files and paths.
#include "Runtime.h"

namespace nv {

std::string_view PathSeparator() { return "/"; }
std::string_view LineTerminator() { return "\r\n"; }

}  // namespace nv

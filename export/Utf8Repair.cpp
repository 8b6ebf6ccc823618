#include "Utf8Repair.h"

#include <glib.h>

namespace nv::out {

std::string RepairUtf8(std::string text) {
  size_t from = 0;
  const char* end = nullptr;
  while (from < text.size() &&
         !g_utf8_validate(text.data() + from, static_cast<gssize>(text.size() - from), &end)) {
    const auto bad = static_cast<size_t>(end - text.data());
    text[bad] = '?';
    from = bad + 1;
  }
  return text;
}

}  // namespace nv::out

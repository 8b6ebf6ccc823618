// The JSON reader into values: any bytes either fail to decode or give a value whose writing
// reads back. Writing is lossy only where the bytes are: invalid UTF-8 is written as U+FFFD, so two
// keys that differ in invalid bytes alone become one. Once written, the text is a fixed point:
// read and written again, it is the same text byte for byte.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Json.h"
#include "Runtime.h"
#include "FuzzSession.h"

using namespace nv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  bool ok = false;
  const Value first = DecodeJson(text, ok);
  DecodeJsonObject(text);
  if (!ok) return 0;
  const std::string written = EncodeJson(first);
  bool again = false;
  const Value second = DecodeJson(written, again);
  fuzz::Require(again, "written JSON reads back");
  const std::string rewritten = EncodeJson(second);
  bool third = false;
  const Value fixed = DecodeJson(rewritten, third);
  fuzz::Require(third && EncodeJson(fixed) == rewritten, "written JSON read and written again is the same text");
  EncodeJson(second, true);
  return 0;
}

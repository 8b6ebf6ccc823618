// The rich text readers and converters over arbitrary content: format recognition, RTF read as
// HTML, HTML and plain text written as RTF, formula interpolation and plain-text extraction. The
// first input byte picks the declared format, the rest is the content; the RTF the writer makes
// is read again. The scanners must take every input without a fault and in bounded time.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzSession.h"
#include "objects/RichTextFormat.h"

using namespace nv;

namespace {

constexpr std::array<std::string_view, 4> kFormats = {"rtf", "html", "text", ""};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 16 * 1024) return -1;
  const std::string_view format = kFormats[data[0] % kFormats.size()];
  const std::string content(reinterpret_cast<const char*>(data) + 1, size - 1);
  const Value contentValue(content);
  const Value formatValue{std::string(format)};

  VBRICHTEXTDETECTFORMAT(contentValue);
  VBRICHTEXTNORMALIZEINPUT(contentValue);
  VBRICHTEXTDECODEENTITIES(content);
  VBRICHTEXTRTFTOHTML(contentValue);
  VBRICHTEXTRTFFONTS(content);
  VBRICHTEXTRTFCOLORS(content);
  VBRICHTEXTHTMLTORTF(content);
  VBRICHTEXTNORMALIZECOLOR(content);
  VBRICHTEXTCSSVALUES(content, "color");
  const std::string rtf = VBRICHTEXTTORTF(contentValue, formatValue);
  VBRICHTEXTRTFTOHTML(Value(rtf));
  VBRICHTEXTPLAINTEXT(contentValue, formatValue);
  VBRICHTEXTINTERPOLATE(content, format, [](std::string_view formula) { return Value(std::string(formula)); });
  return 0;
}

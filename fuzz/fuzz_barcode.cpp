// Barcode encoding for every type name: the first input byte picks the type name (the canonical
// names, their spellings and names that are none), the rest is the content. A result that is not
// an error must decode, read by an independent reader (zxing-cpp), to the text it encodes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Accessors.h"
#include "FuzzSession.h"
#include "barcode/TBarcodeUtil.h"
#include "../tests/unit/BarcodeReader.h"

using namespace nv;

namespace {

constexpr std::array<std::string_view, 10> kTypeNames = {"EAN13",      "EAN8", "CODE128", "EAN128",  "GS1-128",
                                                         "DATAMATRIX", "QR",   "qr code", "ean-13", "PDF417"};

ZXing::BarcodeFormat FormatOf(std::string_view canonical) {
  if (canonical == "EAN13") return ZXing::BarcodeFormat::EAN13;
  if (canonical == "EAN8") return ZXing::BarcodeFormat::EAN8;
  if (canonical == "QR") return ZXing::BarcodeFormat::QRCode;
  if (canonical == "DATAMATRIX") return ZXing::BarcodeFormat::DataMatrix;
  return ZXing::BarcodeFormat::Code128;
}

std::optional<reader::Decoded> Read(const Value& result, std::string_view canonical) {
  if (HHas(result, "matriz")) {
    const int quiet = canonical == "QR" ? 4 : 2;
    return reader::Decode(reader::RenderMatrix(reader::RowsOf(HGet(result, "matriz")), quiet, 3), FormatOf(canonical));
  }
  const std::string bits = ValueString(HGet(result, "bits"));
  const int left = static_cast<int>(ValueInt(HGet(result, "margenIzquierdoModulos")));
  const int right = static_cast<int>(ValueInt(HGet(result, "margenDerechoModulos")));
  return reader::Decode(reader::RenderLinear(bits, left, right, 2, 20), FormatOf(canonical));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 400) return -1;
  const std::string_view typeName = kTypeNames[data[0] % kTypeNames.size()];
  const std::string content(reinterpret_cast<const char*>(data) + 1, size - 1);
  const Value result = TBarcodeUtil::Create(Value(content), Value(std::string(typeName)));
  fuzz::Require(ValueString(HGet(result, "tipo")) == "barcode", "every result is a barcode result");
  if (HHas(result, "error")) return 0;
  const std::string_view canonical = TBarcodeUtil::CanonicalType(typeName);
  const std::optional<reader::Decoded> decoded = Read(result, canonical);
  fuzz::Require(decoded.has_value(), "a barcode result decodes");
  std::string text = ValueString(HGet(result, "texto"));
  if (canonical == "EAN128") {
    // Leading group separators of GS1 content are not encoded: they separate nothing.
    text.erase(0, text.find_first_not_of('\x1d'));
    // GS1 data starts with the digits of an application identifier; after a single letter a
    // reader takes a separator for an application marker, so only GS1-shaped content is compared.
    if (TBarcodeUtil::DigitRun(text, 1) < 2) return 0;
  }
  fuzz::Require(decoded->bytes == text, "a barcode result decodes to its text");
  return 0;
}

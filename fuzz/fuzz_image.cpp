// Image resolution of arbitrary values: the first input byte picks the source type, the rest is
// the image value (a path, a data URI or image bytes). Files are never read: the file reader is
// replaced by one that serves the value itself as the contents of any path, so paths and contents
// are both fuzzed and no input reaches the file system. Every result is a complete image result.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Accessors.h"
#include "FuzzSession.h"
#include "objects/TImageUtil.h"

using namespace nv;

namespace {

constexpr std::array<std::string_view, 4> kSourceTypes = {"auto", "datos", "archivo", ""};

std::string servedContents;

FileReadStatus ServeInput(const std::string&, size_t maxBytes, std::string& bytes) {
  if (servedContents.size() > maxBytes) return FileReadStatus::TooLarge;
  bytes = servedContents;
  return FileReadStatus::Ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return -1;
  static const TImageUtil::FileReader installed = TImageUtil::SetFileReader(ServeInput);
  (void)installed;
  const std::string_view sourceType = kSourceTypes[data[0] % kSourceTypes.size()];
  const std::string value(reinterpret_cast<const char*>(data) + 1, size - 1);
  servedContents = value;
  auto util = TImageUtil::New();
  util->SetMaxFileBytes(size % 2 == 0 ? 1024 : TImageUtil::kDefaultMaxFileBytes);
  const Value result = util->Resolver(Value(value), Value(std::string(sourceType)));
  fuzz::Require(result.IsHash(), "an image result is a hash");
  const bool failed = !ValueString(HGet(result, "error")).empty();
  const bool hasUri = !ValueString(HGet(result, "dataUri")).empty();
  fuzz::Require(failed != hasUri, "an image result has either its data URI or its error");
  return 0;
}

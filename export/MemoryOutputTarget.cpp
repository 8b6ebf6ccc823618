#include "MemoryOutputTarget.h"

namespace nv::out {

std::ostream* MemoryOutputTarget::Open(int64_t index, std::string&) {
  std::ostringstream& stream = streams_[index];
  stream.str("");
  stream.clear();
  return &stream;
}

bool MemoryOutputTarget::Close(int64_t, std::string&) { return true; }

std::string MemoryOutputTarget::Bytes(int64_t index) const {
  auto found = streams_.find(index);
  return found == streams_.end() ? std::string() : found->second.str();
}

}  // namespace nv::out

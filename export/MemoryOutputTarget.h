#pragma once
// An output target that keeps every stream in memory, for tests, fuzzing and callers that send
// the bytes elsewhere themselves.

#include <map>
#include <sstream>
#include <string>

#include "OutputTarget.h"

namespace nv::out {

class MemoryOutputTarget : public OutputTarget {
 public:
  std::ostream* Open(int64_t index, std::string& error) override;
  bool Close(int64_t index, std::string& error) override;
  /// The bytes written for index ("" when it was never opened).
  std::string Bytes(int64_t index) const;
  /// Number of streams opened.
  size_t Count() const { return streams_.size(); }

 private:
  std::map<int64_t, std::ostringstream> streams_;
};

}  // namespace nv::out

#pragma once
// Where an export writes its bytes: one stream for a PDF (index 0), one stream per page for SVG
// and PNG (index = the page's 1-based number).

#include <cstdint>
#include <ostream>
#include <string>

namespace nv::out {

class OutputTarget {
 public:
  virtual ~OutputTarget() = default;
  /// Returns the stream for index, or null with a message naming the file in error.
  virtual std::ostream* Open(int64_t index, std::string& error) = 0;
  /// Flushes and closes the stream of index; false with a message naming the file in error.
  virtual bool Close(int64_t index, std::string& error) = 0;
};

}  // namespace nv::out

#pragma once
// Output files of a drawn export. A PDF is one file ("-" is standard output). SVG and PNG write a
// file per page: a name with %d or %0Nd takes the page number; otherwise, when more than one page
// is written, "-0001" goes before the extension.

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "OutputTarget.h"

namespace nv::cli {

class FileOutputTarget : public out::OutputTarget {
 public:
  /// pattern is the --output name; pageCount the pages that will be written.
  FileOutputTarget(std::string pattern, int64_t pageCount);
  std::ostream* Open(int64_t index, std::string& error) override;
  bool Close(int64_t index, std::string& error) override;
  /// The file name of index (0 for a PDF, else the page's position among the written pages).
  std::string NameOf(int64_t index) const;
  /// The files written, in order.
  const std::vector<std::string>& Written() const { return written_; }

 private:
  std::string pattern_;
  int64_t pageCount_;
  std::unique_ptr<std::ofstream> file_;
  std::string current_;
  std::vector<std::string> written_;
};

}  // namespace nv::cli

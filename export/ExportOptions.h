#pragma once
// What an export is asked for and what it answers.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ExportWarnings.h"

namespace nv::out {

enum class Format { Pdf, Svg, Png };

struct ExportOptions {
  Format format = Format::Pdf;
  /// PNG resolution (0 = 300); for PDF and SVG the printer's dots per inch barcodes snap to (0 = exact).
  double dpi = 0;
  /// The PDF creation date in seconds since 1970; nothing = now.
  std::optional<int64_t> creationTime;
  /// Font folders added to the private font configuration.
  std::vector<std::string> fontDirs;
  /// False: fontDirs only, for output that does not depend on the machine's fonts.
  bool systemFonts = true;
  int pngCompression = 3;
  size_t imageCacheBytes = size_t{64} << 20;
};

struct ExportResult {
  bool ok = true;
  std::string error;
  int64_t pages = 0;
  std::vector<ExportWarning> warnings;
};

}  // namespace nv::out

#pragma once
// Writes a rendered document in the format the command line asks for: JSON, written page by page
// as the document is read, or PDF, SVG or PNG drawn page by page by the exporter. Either way only
// one page is held at a time, however long the document.

#include <cstdint>
#include <functional>
#include <string>

#include "CommandLine.h"
#include "ExportOptions.h"
#include "Value.h"

namespace nv::cli {

/// A rendered document as the writers read it.
struct RenderedPages {
  double ancho = 0;
  double alto = 0;
  std::string modoAlto = "fixed";
  int64_t count = 0;
  /// Page n (1-based) as {"objetos": [...]}.
  std::function<Value(int64_t)> pagina;
  /// The run's warnings, discarded objects and timing (nil when drawing a saved render).
  Value avisos;
  Value descartados;
  Value rendimiento;
};

class RenderOutput {
 public:
  static constexpr int kExitOk = 0;
  static constexpr int kExitOutputError = 1;
  static constexpr int kExitContentLost = 3;

  /// Objects a run holds in memory before its pages go to the spool, unless the options say
  /// otherwise. A label holds about 5 KiB of render objects, so this keeps a run near 10 MB of
  /// pages; spooling them costs less than a tenth of drawing them.
  static constexpr int64_t kDefaultSpoolObjectLimit = 2000;

  /// Sets the run option "nAutoSpoolObjectLimit" to the default when the options do not set it.
  static void SetDefaultSpoolLimit(const Value& options);
  /// The format to write: --format when given, else the --output extension (.pdf, .svg, .png,
  /// .json), else "json".
  static std::string FormatFor(const Invocation& inv);
  /// Writes the document as inv says; returns the exit code (messages on standard error).
  static int Write(const RenderedPages& doc, const Invocation& inv);

 private:
  static bool WriteJson(const RenderedPages& doc, const Invocation& inv);
  static out::ExportResult Draw(const RenderedPages& doc, const Invocation& inv, out::Format format);
  static bool WriteReport(const RenderedPages& doc, const Invocation& inv, const out::ExportResult* result);
  static Value WarningsValue(const out::ExportResult& result);
};

}  // namespace nv::cli

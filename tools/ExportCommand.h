#pragma once
// `norvane export RENDERED.json`: draws a saved render (the JSON `norvane render` writes) without
// running the engine.

#include "CommandLine.h"

namespace nv::cli {

class ExportCommand {
 public:
  /// Reads the saved render and writes it as inv asks; returns the exit code.
  static int Run(const Invocation& inv);
};

}  // namespace nv::cli

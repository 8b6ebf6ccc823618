#pragma once
// `norvane check`: reads a template (and optionally its data), runs the template checks and prints
// the problems as lines or JSON.

#include "CommandLine.h"

namespace nv::cli {

/// Exit codes: 0 when no problem was found, 1 when some were (or an input file is bad).
int RunCheck(const Invocation& inv);

}  // namespace nv::cli

#pragma once
// The engine's name and version, shown by the command-line program.

#include <string_view>

namespace nv {

/// Returns the engine version, "MAJOR.MINOR.PATCH".
std::string_view EngineVersion();

}  // namespace nv

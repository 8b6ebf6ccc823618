#include "version/Version.h"

namespace nv {

std::string_view EngineVersion() { return "0.1.0"; }

}  // namespace nv

#include "HashKey.h"

#include <ostream>

namespace nv {

std::ostream& operator<<(std::ostream& out, const HashKey& key) { return out << key.view(); }

}  // namespace nv

#pragma once
// Lower bounds for numeric template settings, shared by the document and its label layout.

#include <cstdint>

#include "Value.h"

namespace nv {

/// max(floor, the number of v), keeping the loaded number (and its display decimals) when it is in
/// range. A comparison that fails (NaN) counts as out of range and gives floor.
Value NumberAtLeast(const Value& v, double floor);
/// max(floor, the integer part of v), an integer.
Value IntegerAtLeast(const Value& v, int64_t floor);

}  // namespace nv

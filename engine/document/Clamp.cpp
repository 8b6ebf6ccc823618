#include "document/Clamp.h"

#include "Accessors.h"

namespace nv {

Value NumberAtLeast(const Value& v, double floor) {
  Value n = ValueNumber(v);
  if (!(ValueDouble(n) >= floor)) return Value(floor);
  return n;
}

Value IntegerAtLeast(const Value& v, int64_t floor) {
  int64_t n = ValueInt(v);
  return Value::Int(n < floor ? floor : n);
}

}  // namespace nv

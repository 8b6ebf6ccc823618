#include "Object.h"

namespace nv {

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

bool Object::NameIn(std::string_view name, std::initializer_list<std::string_view> names) {
  for (std::string_view candidate : names) {
    if (EqualsIgnoreCase(name, candidate)) return true;
  }
  return false;
}

bool Object::RespondsTo(std::string_view name) const { return NameIn(name, {"End", "ClassName"}); }

bool RespondsTo(const Value& v, std::string_view name) {
  Object* o = v.ObjectRaw();
  return o != nullptr && o->RespondsTo(name);
}

}  // namespace nv

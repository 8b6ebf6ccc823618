#pragma once
// The root of every engine class. Classes are held by shared_ptr and answer the responds-to test
// from their own list of method and member names merged with their base's.

#include <initializer_list>
#include <memory>
#include <string_view>

#include "Value.h"

namespace nv {

class Object : public std::enable_shared_from_this<Object> {
 public:
  virtual ~Object() = default;
  /// Returns the class name ("TText", ...).
  virtual std::string_view ClassName() const { return "Object"; }
  /// True when the class has a method or member of that name (compared case-insensitively).
  virtual bool RespondsTo(std::string_view name) const;
  /// Releases what the object holds; safe to call more than once.
  virtual Value End() { return Value(); }

 protected:
  /// True when name equals one of names, ignoring ASCII case.
  static bool NameIn(std::string_view name, std::initializer_list<std::string_view> names);
};

/// True when v is an object that responds to name (false for any other kind).
bool RespondsTo(const Value& v, std::string_view name);

/// Case-insensitive ASCII comparison.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace nv

#pragma once
// The dynamic value every record of the engine is made of: templates, runtime data, render
// objects, pages, options and warnings are trees of Value.

#include <bit>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "HashKey.h"

namespace nv {

class Value;
class Hash;
class Object;

using Array = std::vector<Value>;
using ArrayPtr = std::shared_ptr<Array>;
using HashPtr = std::shared_ptr<Hash>;
using ObjectPtr = std::shared_ptr<Object>;
using CodeBlock = std::function<Value(std::span<const Value>)>;
using BlockPtr = std::shared_ptr<const CodeBlock>;
/// Texts are immutable and shared by the copies of a value, which keeps a value at 24 bytes: a
/// render object holds dozens of values and is copied once per label.
using StringPtr = std::shared_ptr<const std::string>;

/// The kinds of Value, in the order of their one-letter codes "U L N C D T A H O B".
enum class Kind : uint8_t { Nil, Logical, Number, String, Date, Timestamp, Array, Hash, Object, Block };

/// Returns the readable name of a kind ("nil", "number", ...), used in error messages.
std::string_view to_string(Kind kind);

/// A number: an int64 or a double, plus the count of decimals its text form shows. `i` holds an
/// integer and `d` a double; the two share their storage, so only the one `isInteger` names holds
/// the number.
struct Number {
  union {
    int64_t i = 0;
    double d;
  };
  bool isInteger = true;
  uint8_t decimals = 0;

  /// Returns the value as a double (exact for integers up to 2^53).
  double AsDouble() const { return isInteger ? static_cast<double>(i) : d; }
  /// The 8 bytes of the stored integer or double, for exact comparisons.
  uint64_t Bits() const { return std::bit_cast<uint64_t>(i); }
  static Number Integer(int64_t v) {
    Number n;
    n.i = v;
    return n;
  }
  static Number Double(double v, int decimals) {
    Number n;
    n.d = v;
    n.isInteger = false;
    n.decimals = static_cast<uint8_t>(decimals < 0 ? 0 : (decimals > 30 ? 30 : decimals));
    return n;
  }
};

/// A calendar date as a Julian day number; day 0 is the empty date.
struct Date {
  int32_t day = 0;
  bool IsEmpty() const { return day == 0; }
};

/// A date plus milliseconds of the day.
struct Timestamp {
  int32_t day = 0;
  int32_t ms = 0;
};

/// The error a runtime operation raises for a wrong kind, a missing key read by plain indexing,
/// an out-of-range index or division by zero. Engine code never lets one escape for bad input.
class RuntimeError : public std::exception {
 public:
  RuntimeError(std::string subsystem, int subcode, std::string description, std::string operation);
  const char* what() const noexcept override { return description_.c_str(); }
  const std::string& Subsystem() const { return subsystem_; }
  int SubCode() const { return subcode_; }
  const std::string& Description() const { return description_; }
  const std::string& Operation() const { return operation_; }
  /// Returns the names of the call frames where the error was raised, innermost first, up to
  /// main (at most 40; frames without a symbol name are left out). Names are resolved on the
  /// first call, so an error that is caught and dropped costs only the capture of addresses.
  const std::vector<std::string>& Frames() const;

 private:
  std::string subsystem_;
  int subcode_;
  std::string description_;
  std::string operation_;
  std::vector<void*> addresses_;
  mutable std::vector<std::string> frames_;
  mutable bool framesResolved_ = false;
};

/// Raises a RuntimeError of the base subsystem for an operation applied to the wrong kind:
/// "expected number, got date".
[[noreturn]] void ThrowWrongKind(std::string_view operation, Kind expected, Kind got);

class Value {
 public:
  Value() = default;
  Value(std::nullptr_t) {}
  template <typename B>
    requires std::same_as<B, bool>
  Value(B b) : data_(b) {}
  template <typename I>
    requires(std::integral<I> && !std::same_as<I, bool> && !std::same_as<I, char>)
  Value(I n) : data_(Number::Integer(static_cast<int64_t>(n))) {}
  /// A double carries as many decimals as its shortest exact text shows, at least 1 (5.0 has 1,
  /// 2.822 has 3), as a decimal literal written in engine code would.
  Value(double d);
  Value(Number n) : data_(n) {}
  Value(const char* s) : data_(MakeString(std::string(s))) {}
  Value(std::string s) : data_(MakeString(std::move(s))) {}
  Value(std::string_view s) : data_(MakeString(std::string(s))) {}
  Value(const HashKey& key) : data_(MakeString(key.str())) {}
  Value(Date d) : data_(d) {}
  Value(Timestamp t) : data_(t) {}
  Value(ArrayPtr a) : data_(std::move(a)) {}
  Value(HashPtr h) : data_(std::move(h)) {}
  Value(ObjectPtr o) : data_(std::move(o)) {}
  Value(BlockPtr b) : data_(std::move(b)) {}
  template <typename T>
    requires std::derived_from<T, Object>
  Value(std::shared_ptr<T> o) : data_(ObjectPtr(std::move(o))) {}

  /// A double number with an explicit count of display decimals.
  static Value Dbl(double d, int decimals) { return Value(Number::Double(d, decimals)); }
  static Value Int(int64_t n) { return Value(Number::Integer(n)); }
  /// A new empty hash / array (an array of n nil elements).
  static Value NewHash();
  static Value NewArray(size_t n = 0);
  static Value FromArray(Array items);
  static Value Block(CodeBlock fn);

  Kind kind() const { return static_cast<Kind>(data_.index()); }
  /// Returns the one-letter kind code: 'U', 'L', 'N', 'C', 'D', 'T', 'A', 'H', 'O' or 'B'.
  char TypeCode() const;

  bool IsNil() const { return kind() == Kind::Nil; }
  bool IsLogical() const { return kind() == Kind::Logical; }
  bool IsNumber() const { return kind() == Kind::Number; }
  bool IsString() const { return kind() == Kind::String; }
  bool IsDate() const { return kind() == Kind::Date; }
  bool IsTimestamp() const { return kind() == Kind::Timestamp; }
  bool IsArray() const { return kind() == Kind::Array; }
  bool IsHash() const { return kind() == Kind::Hash; }
  bool IsObject() const { return kind() == Kind::Object; }
  bool IsBlock() const { return kind() == Kind::Block; }
  /// The strict logical tests: true only for the logical true (false) itself; any other kind,
  /// however truthy its text, answers false.
  bool IsTrue() const { return IsLogical() && std::get<bool>(data_); }
  bool IsFalse() const { return IsLogical() && !std::get<bool>(data_); }

  // Checked access: each raises RuntimeError when the kind is wrong.
  bool AsBool() const;
  const Number& AsNumber() const;
  double AsDouble() const { return AsNumber().AsDouble(); }
  const std::string& AsString() const;
  Date AsDate() const;
  Timestamp AsTimestamp() const;
  Array& AsArray() const;
  Hash& AsHash() const;
  const ObjectPtr& AsObject() const;
  const CodeBlock& AsBlock() const;

  /// Returns the shared pointer of an array / hash / object, or null for another kind.
  const ArrayPtr* ArrayRef() const { return std::get_if<ArrayPtr>(&data_); }
  const HashPtr* HashRef() const { return std::get_if<HashPtr>(&data_); }
  /// Returns the number / string held, or null for another kind: inline access for hot loops.
  const Number* NumberRef() const { return std::get_if<Number>(&data_); }
  const std::string* StringRef() const {
    const StringPtr* s = std::get_if<StringPtr>(&data_);
    return s != nullptr ? s->get() : nullptr;
  }
  Object* ObjectRaw() const;
  /// Returns the object cast to T, or null when this is not an object of that class.
  template <typename T>
  T* As() const { return dynamic_cast<T*>(ObjectRaw()); }
  template <typename T>
  std::shared_ptr<T> AsShared() const {
    if (auto* o = std::get_if<ObjectPtr>(&data_)) return std::dynamic_pointer_cast<T>(*o);
    return nullptr;
  }

  // Hash operations. Plain indexing of a missing key raises RuntimeError; Set adds or replaces.
  Value& operator[](std::string_view key) const;
  void Set(std::string_view key, Value v) const;
  bool Has(std::string_view key) const;
  /// Removes a key from a hash (nothing when absent or not a hash).
  void Remove(std::string_view key) const;

  // Array operations, 1-based. Item raises RuntimeError when out of range.
  Value& Item(size_t index1) const;
  void Append(Value v) const;
  /// Returns the element count of an array, key count of a hash, byte length of a string, else 0.
  size_t Len() const;

  /// Copies nested arrays and hashes recursively; objects and code blocks are shared.
  Value Clone() const;

  /// Calls a code block with the arguments; raises RuntimeError when this is not a code block.
  Value Call(std::span<const Value> args = {}) const;

  /// True when both are the same array / hash / object reference.
  bool SameRef(const Value& other) const;
  /// True when both are of the same kind and every reading of them gives the same result:
  /// scalars with equal content (numbers also by integer flag, decimals and the bits of the
  /// double), arrays, hashes, objects and code blocks by reference. For caches that keep a copy
  /// of their inputs.
  bool Identical(const Value& other) const noexcept {
    if (data_.index() != other.data_.index()) return false;
    switch (kind()) {
      case Kind::Nil: return true;
      case Kind::Logical: return *std::get_if<bool>(&data_) == *std::get_if<bool>(&other.data_);
      case Kind::Number: {
        const Number& a = *std::get_if<Number>(&data_);
        const Number& b = *std::get_if<Number>(&other.data_);
        return a.isInteger == b.isInteger && a.decimals == b.decimals && a.Bits() == b.Bits();
      }
      case Kind::String: {
        const StringPtr& a = *std::get_if<StringPtr>(&data_);
        const StringPtr& b = *std::get_if<StringPtr>(&other.data_);
        return a == b || *a == *b;
      }
      case Kind::Date: return std::get_if<Date>(&data_)->day == std::get_if<Date>(&other.data_)->day;
      case Kind::Timestamp: {
        const Timestamp& a = *std::get_if<Timestamp>(&data_);
        const Timestamp& b = *std::get_if<Timestamp>(&other.data_);
        return a.day == b.day && a.ms == b.ms;
      }
      case Kind::Array: return *std::get_if<ArrayPtr>(&data_) == *std::get_if<ArrayPtr>(&other.data_);
      case Kind::Hash: return *std::get_if<HashPtr>(&data_) == *std::get_if<HashPtr>(&other.data_);
      case Kind::Object: return *std::get_if<ObjectPtr>(&data_) == *std::get_if<ObjectPtr>(&other.data_);
      case Kind::Block: return *std::get_if<BlockPtr>(&data_) == *std::get_if<BlockPtr>(&other.data_);
    }
    return false;
  }

 private:
  // The empty text is shared by every value that holds it.
  static StringPtr MakeString(std::string s);

  std::variant<std::monostate, bool, Number, StringPtr, Date, Timestamp, ArrayPtr, HashPtr, ObjectPtr,
               BlockPtr>
      data_;
};

static_assert(sizeof(Number) == 16, "a number fits the 16 bytes of a value's payload");
static_assert(sizeof(Value) == 24, "values are copied in bulk: keep them small");

/// Writes a readable form for test failures and logs: the literal-expression text, with numbers
/// marked as integer or as double with their display decimals.
std::ostream& operator<<(std::ostream& os, const Value& v);

}  // namespace nv

#include "Hash.h"

#include "Value.h"

#include <execinfo.h>

#include <charconv>
#include <cmath>
#include <cxxabi.h>
#include <cstdlib>
#include <ostream>

#include "Object.h"
#include "Runtime.h"

namespace nv {

std::string_view to_string(Kind kind) {
  switch (kind) {
    case Kind::Nil: return "nil";
    case Kind::Logical: return "logical";
    case Kind::Number: return "number";
    case Kind::String: return "string";
    case Kind::Date: return "date";
    case Kind::Timestamp: return "timestamp";
    case Kind::Array: return "array";
    case Kind::Hash: return "hash";
    case Kind::Object: return "object";
    case Kind::Block: return "code block";
  }
  return "unknown";
}

namespace {

// Turns one backtrace_symbols line "binary(mangled+0x1f) [0x...]" into a procedure name without
// its parameter list ("nv::OpDiv"); "" when the frame has no symbol.
std::string FrameName(const char* symbol) {
  std::string line(symbol);
  auto open = line.find('(');
  auto plus = line.find('+', open == std::string::npos ? 0 : open);
  if (open == std::string::npos || plus == std::string::npos || plus == open + 1) return "";
  std::string mangled = line.substr(open + 1, plus - open - 1);
  int status = 0;
  char* demangled = abi::__cxa_demangle(mangled.c_str(), nullptr, nullptr, &status);
  std::string name = status == 0 && demangled ? demangled : mangled;
  std::free(demangled);
  if (name.size() > 6 && name.compare(name.size() - 6, 6, " const") == 0) name.resize(name.size() - 6);
  if (!name.empty() && name.back() == ')') {
    int depth = 0;
    for (size_t i = name.size(); i-- > 0;) {
      if (name[i] == ')') ++depth;
      if (name[i] == '(' && --depth == 0) {
        name.resize(i);
        break;
      }
    }
  }
  return name;
}

}  // namespace

RuntimeError::RuntimeError(std::string subsystem, int subcode, std::string description, std::string operation)
    : subsystem_(std::move(subsystem)), subcode_(subcode), description_(std::move(description)),
      operation_(std::move(operation)) {
  void* addresses[64];
  int count = backtrace(addresses, 64);
  // Frame 0 is this constructor; the listing starts at the operation that raised.
  if (count > 1) addresses_.assign(addresses + 1, addresses + count);
}

const std::vector<std::string>& RuntimeError::Frames() const {
  if (framesResolved_) return frames_;
  framesResolved_ = true;
  if (addresses_.empty()) return frames_;
  char** symbols = backtrace_symbols(addresses_.data(), static_cast<int>(addresses_.size()));
  if (!symbols) return frames_;
  for (size_t i = 0; i < addresses_.size() && frames_.size() < 40; ++i) {
    std::string name = FrameName(symbols[i]);
    // The error's own constructors are not where it was raised.
    if (name.empty() || name.rfind("nv::RuntimeError::", 0) == 0) continue;
    frames_.push_back(name);
    if (name == "main") break;  // what lies beyond is the C runtime
  }
  std::free(symbols);
  return frames_;
}

void ThrowWrongKind(std::string_view operation, Kind expected, Kind got) {
  throw RuntimeError("BASE", 1001,
                     "expected " + std::string(to_string(expected)) + ", got " + std::string(to_string(got)),
                     std::string(operation));
}

namespace {

// The decimals of the shortest fixed-notation text of d when it has at most six, or -1. A
// k-decimal text m / 10^k reads back as d exactly when the (correctly rounded) division gives d;
// below 2^40 the scaled product is within far less than 0.5 of m, so rounding it finds m.
int FewDecimals(double d) {
  static constexpr double kPow10[] = {1.0, 10.0, 100.0, 1000.0, 10000.0, 100000.0, 1000000.0};
  constexpr double kExactLimit = 1099511627776.0;  // 2^40
  if (!(std::fabs(d) < kExactLimit)) return -1;    // also refuses NaN
  for (int k = 0; k <= 6; ++k) {
    const double scaled = d * kPow10[k];
    if (!(std::fabs(scaled) < kExactLimit)) return -1;
    if (std::nearbyint(scaled) / kPow10[k] == d) return k;
  }
  return -1;
}

}  // namespace

Value::Value(double d) {
  // The shortest fixed-notation text that reads back as d gives the decimals a literal shows.
  if (int few = FewDecimals(d); few >= 0) {
    data_ = Number::Double(d, few == 0 ? 1 : few);
    return;
  }
  char buffer[400];
  int decimals = 1;
  auto result = std::to_chars(buffer, buffer + sizeof buffer, d, std::chars_format::fixed);
  if (result.ec == std::errc()) {
    std::string_view text(buffer, static_cast<size_t>(result.ptr - buffer));
    if (auto point = text.find('.'); point != std::string_view::npos) {
      decimals = static_cast<int>(text.size() - point - 1);
    }
  }
  data_ = Number::Double(d, decimals);
}

StringPtr Value::MakeString(std::string s) {
  if (s.empty()) {
    static const StringPtr empty = std::make_shared<const std::string>();
    return empty;
  }
  return std::make_shared<const std::string>(std::move(s));
}

Value Value::NewHash() { return Value(std::make_shared<Hash>()); }
Value Value::NewArray(size_t n) { return Value(std::make_shared<Array>(n)); }
Value Value::FromArray(Array items) { return Value(std::make_shared<Array>(std::move(items))); }
Value Value::Block(CodeBlock fn) { return Value(std::make_shared<const CodeBlock>(std::move(fn))); }

char Value::TypeCode() const {
  static constexpr char codes[] = {'U', 'L', 'N', 'C', 'D', 'T', 'A', 'H', 'O', 'B'};
  return codes[data_.index()];
}

bool Value::AsBool() const {
  if (auto* b = std::get_if<bool>(&data_)) return *b;
  ThrowWrongKind("logical", Kind::Logical, kind());
}
const Number& Value::AsNumber() const {
  if (auto* n = std::get_if<Number>(&data_)) return *n;
  ThrowWrongKind("number", Kind::Number, kind());
}
const std::string& Value::AsString() const {
  if (auto* s = std::get_if<StringPtr>(&data_)) return **s;
  ThrowWrongKind("string", Kind::String, kind());
}
Date Value::AsDate() const {
  if (auto* d = std::get_if<Date>(&data_)) return *d;
  ThrowWrongKind("date", Kind::Date, kind());
}
Timestamp Value::AsTimestamp() const {
  if (auto* t = std::get_if<Timestamp>(&data_)) return *t;
  ThrowWrongKind("timestamp", Kind::Timestamp, kind());
}
Array& Value::AsArray() const {
  if (auto* a = std::get_if<ArrayPtr>(&data_)) return **a;
  ThrowWrongKind("array", Kind::Array, kind());
}
Hash& Value::AsHash() const {
  if (auto* h = std::get_if<HashPtr>(&data_)) return **h;
  ThrowWrongKind("hash", Kind::Hash, kind());
}
const ObjectPtr& Value::AsObject() const {
  if (auto* o = std::get_if<ObjectPtr>(&data_)) return *o;
  ThrowWrongKind("object", Kind::Object, kind());
}
const CodeBlock& Value::AsBlock() const {
  if (auto* b = std::get_if<BlockPtr>(&data_)) return **b;
  ThrowWrongKind("code block", Kind::Block, kind());
}
Object* Value::ObjectRaw() const {
  if (auto* o = std::get_if<ObjectPtr>(&data_)) return o->get();
  return nullptr;
}

Value& Value::operator[](std::string_view key) const {
  Value* found = AsHash().Find(key);
  if (!found) throw RuntimeError("BASE", 1132, "Bound error: key not found \"" + std::string(key) + "\"", "[]");
  return *found;
}
void Value::Set(std::string_view key, Value v) const { AsHash().Put(key, std::move(v)); }
bool Value::Has(std::string_view key) const {
  auto* h = std::get_if<HashPtr>(&data_);
  return h && (*h)->Find(key) != nullptr;
}
void Value::Remove(std::string_view key) const {
  if (auto* h = std::get_if<HashPtr>(&data_)) (*h)->Erase(key);
}

Value& Value::Item(size_t index1) const {
  Array& a = AsArray();
  if (index1 < 1 || index1 > a.size()) {
    throw RuntimeError("BASE", 1132, "Bound error: array index " + std::to_string(index1), "array access");
  }
  return a[index1 - 1];
}
void Value::Append(Value v) const { AsArray().push_back(std::move(v)); }

size_t Value::Len() const {
  switch (kind()) {
    case Kind::Array: return std::get<ArrayPtr>(data_)->size();
    case Kind::Hash: return std::get<HashPtr>(data_)->size();
    case Kind::String: return std::get<StringPtr>(data_)->size();
    default: return 0;
  }
}

Value Value::Clone() const {
  if (auto* a = std::get_if<ArrayPtr>(&data_)) {
    auto copy = std::make_shared<Array>();
    copy->reserve((*a)->size());
    for (const Value& item : **a) copy->push_back(item.Clone());
    return Value(std::move(copy));
  }
  if (auto* h = std::get_if<HashPtr>(&data_)) {
    // Copying the map keeps its lookup index, so no key is hashed again; only nested lists and
    // hashes need copies of their own.
    auto copy = std::make_shared<Hash>(**h);
    for (auto it = copy->begin(); it != copy->end(); ++it) {
      if (it->second.IsArray() || it->second.IsHash()) it.value() = it->second.Clone();
    }
    return Value(std::move(copy));
  }
  return *this;
}

std::ostream& operator<<(std::ostream& os, const Value& v) {
  if (v.IsNumber()) {
    const Number& n = v.AsNumber();
    os << NumToText(n);
    return n.isInteger ? os << " (integer)" : os << " (double, " << int(n.decimals) << " decimals)";
  }
  if (v.IsObject()) return os << "{ OBJECT " << (v.ObjectRaw() ? v.ObjectRaw()->ClassName() : "null") << " }";
  return os << LiteralText(v);
}

Value Value::Call(std::span<const Value> args) const { return AsBlock()(args); }

bool Value::SameRef(const Value& other) const {
  if (kind() != other.kind()) return false;
  if (auto* a = std::get_if<ArrayPtr>(&data_)) return *a == std::get<ArrayPtr>(other.data_);
  if (auto* h = std::get_if<HashPtr>(&data_)) return *h == std::get<HashPtr>(other.data_);
  if (auto* o = std::get_if<ObjectPtr>(&data_)) return *o == std::get<ObjectPtr>(other.data_);
  if (auto* b = std::get_if<BlockPtr>(&data_)) return *b == std::get<BlockPtr>(other.data_);
  return false;
}

}  // namespace nv

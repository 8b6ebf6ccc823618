#include "Accessors.h"

#include <cmath>
#include <cstdio>
#include <cstdint>

#include "Hash.h"
#include "Object.h"
#include "Runtime.h"

namespace nv {

const Value& EmptyHash() {
  static const Value empty = [] {
    Value hash = Value::NewHash();
    hash.AsHash().Seal();
    return hash;
  }();
  return empty;
}

Value HGet(const Value& hash, std::string_view key, const Value& def) {
  if (const HashPtr* h = hash.HashRef()) {
    if (const Value* found = (*h)->Find(key)) return *found;
  }
  return def;
}

const Value& HSet(const Value& hash, std::string_view key, Value value) {
  if (const HashPtr* h = hash.HashRef()) (*h)->Put(key, std::move(value));
  return hash;
}

Value HashKeys(const Value& hash) {
  Value keys = Value::NewArray();
  if (const HashPtr* h = hash.HashRef()) {
    keys.AsArray().reserve((*h)->size());
    for (const auto& entry : **h) keys.Append(Value(entry.first));
  }
  return keys;
}

bool HHas(const Value& hash, std::string_view key) { return hash.Has(key); }


std::string ValueString(const Value& v) {
  switch (v.kind()) {
    case Kind::Nil: return "";
    case Kind::String: return v.AsString();
    case Kind::Number: return AllTrim(Str(v.AsNumber()));
    case Kind::Logical: return v.AsBool() ? "1" : "";
    default: return AllTrim(GenericText(v));
  }
}

std::string ValorAString(const Value& v) {
  if (v.IsNumber()) {
    const Number& n = v.AsNumber();
    if (n.isInteger) return std::to_string(n.i);
    double d = n.d;
    if (std::isfinite(d) && d == std::trunc(d)) {
      if (d > -9.2e18 && d < 9.2e18) return std::to_string(static_cast<int64_t>(d));
      char buffer[400];
      std::snprintf(buffer, sizeof buffer, "%.0f", d);
      return buffer;
    }
  }
  return ValueString(v);
}

std::string ValorAStringGeneric(const Value& v) {
  if (v.IsNil()) return "";
  if (v.IsString()) return v.AsString();
  return AllTrim(GenericText(v));
}

namespace {

Value NumberFromText(const std::string& text) {
  std::string dotted = text;
  for (char& c : dotted) {
    if (c == ',') c = '.';
  }
  return Value(Val(dotted));
}

}  // namespace

Value ValueNumber(const Value& v) {
  switch (v.kind()) {
    case Kind::Number: return v;
    case Kind::String: return NumberFromText(v.AsString());
    case Kind::Logical: return Value::Int(v.AsBool() ? 1 : 0);
    default: return Value::Int(0);
  }
}

Value ValorANumero(const Value& v) { return v.IsLogical() ? Value::Int(0) : ValueNumber(v); }

double ValueDouble(const Value& v) { return ValueNumber(v).AsDouble(); }
double ValorADouble(const Value& v) { return ValorANumero(v).AsDouble(); }

namespace {

int64_t Truncate(const Value& number) {
  const Number& n = number.AsNumber();
  return n.isInteger ? n.i : TruncateToInt64(n.d);
}

}  // namespace

int64_t TruncateToInt64(double d) {
  if (!std::isfinite(d)) return 0;
  if (d >= 9.2e18) return INT64_MAX;
  if (d <= -9.2e18) return INT64_MIN;
  return static_cast<int64_t>(d);
}

int64_t ValueInt(const Value& v) { return Truncate(ValueNumber(v)); }
int64_t ValorAEntero(const Value& v) { return Truncate(ValorANumero(v)); }

bool ValueBool(const Value& v) {
  switch (v.kind()) {
    case Kind::Logical: return v.AsBool();
    case Kind::Number: return v.AsDouble() != 0;
    case Kind::String: {
      std::string text = Lower(AllTrim(v.AsString()));
      return !text.empty() && std::string_view("1.true.t.si.y.yes").find(text) != std::string_view::npos;
    }
    default: return false;
  }
}

std::string NormalizeHashKeyName(const Value& key) {
  if (key.IsString()) return key.AsString();
  if (key.IsNil()) return "";
  std::string text = AllTrim(LiteralText(key));
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
  return text;
}

namespace {

std::string TrimUpper(std::string_view s) { return Upper(AllTrim(s)); }

const Value* FindFormulaKey(const Value& hash, std::string_view key) {
  const HashPtr* h = hash.HashRef();
  if (!h) return nullptr;
  if (const Value* exact = (*h)->Find(key)) return exact;
  std::string wanted = TrimUpper(key);
  for (const auto& entry : **h) {
    if (TrimUpper(entry.first) == wanted) return &entry.second;
  }
  return nullptr;
}

}  // namespace

const Value* FindHashKeyText(const Value& hash, std::string_view key) {
  const HashPtr* h = hash.HashRef();
  if (!h) return nullptr;
  if (const Value* exact = (*h)->Find(key)) return exact;
  // Template keys are short: the upper-cased form is built on the stack. Most lookups are of keys
  // a template leaves out, so the miss path allocates nothing.
  char buffer[64];
  if (key.size() <= sizeof buffer) {
    for (size_t i = 0; i < key.size(); ++i) {
      const char c = key[i];
      buffer[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
    }
    if (const Value* upper = (*h)->Find(std::string_view(buffer, key.size()))) return upper;
  } else if (const Value* upper = (*h)->Find(Upper(key))) {
    return upper;
  }
  for (const auto& entry : **h) {
    if (EqualsIgnoreCase(entry.first, key)) return &entry.second;
  }
  return nullptr;
}

Value HashGetExact(const Value& hash, std::string_view key, const Value& def) { return HGet(hash, key, def); }
bool HashHasKeyExact(const Value& hash, std::string_view key) { return hash.Has(key); }

Value HashGetFormula(const Value& hash, std::string_view key, const Value& def) {
  const Value* found = FindFormulaKey(hash, key);
  return found ? *found : def;
}
bool HashHasKeyFormula(const Value& hash, std::string_view key) { return FindFormulaKey(hash, key) != nullptr; }

Value HashGetText(const Value& hash, std::string_view key, const Value& def) {
  const Value* found = FindHashKeyText(hash, key);
  return found ? *found : def;
}
bool HashHasKeyText(const Value& hash, std::string_view key) { return FindHashKeyText(hash, key) != nullptr; }

bool EsNumerico(const Value& v) {
  if (v.IsNumber()) return true;
  return v.IsString() && EsTextoNumerico(v.AsString());
}

bool EsTextoNumerico(std::string_view raw) {
  // Trimmed without a copy: the formula evaluator runs this test on every literal it compiles.
  const std::string_view text = AllTrimView(raw);
  if (text.empty()) return false;
  bool digit = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if ((c == '+' || c == '-') && i == 0) {
    } else if (c != '.' && c != ',') {
      return false;
    }
  }
  return digit;
}

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

}  // namespace nv

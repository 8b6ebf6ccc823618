#pragma once
// One row per member of a layout object: its template key, its C++ member, the renders that read
// it, and what Load and Save do with it. A class lists its rows once; Load, Save, RespondsTo, the
// text's render cache and the tests are loops over the rows, so a new member is one new row.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "Hash.h"
#include "Object.h"
#include "Value.h"

namespace nv {

/// The C++ type of the member a row describes.
enum class FieldKind : uint8_t { Value, Text, Integer, Flag };

/// The object renders that read a member: a change to it must reach the next render of each.
enum DrawnBy : uint8_t {
  kDrawnByNone = 0,
  kDrawnByText = 1,
  kDrawnByRectangle = 2,
  kDrawnByEllipse = 4,
  kDrawnByLine = 8,
  kDrawnByBarcode = 16,
  kDrawnByBox = kDrawnByRectangle | kDrawnByEllipse,
  kDrawnByAll = kDrawnByText | kDrawnByBox | kDrawnByLine | kDrawnByBarcode,
};

/// How Load finds a row's key in a template hash: exactly, or by the text object's lookup
/// (exact, upper-cased, then any case).
enum class KeyMatch : uint8_t { Exact, AnyCase };

/// A conversion applied to a value read by Load or written by Save.
using FieldConversion = Value (*)(const Value&);

template <class T>
struct Field {
  using Owner = T;
  std::string_view key;
  FieldKind kind = FieldKind::Value;
  Value T::*value = nullptr;
  std::string T::*text = nullptr;
  int64_t T::*integer = nullptr;
  bool T::*flag = nullptr;
  /// The renders that read the member (DrawnBy bits).
  uint8_t drawnBy = kDrawnByNone;
  /// Written by Save and read by Load; false for the caches a class answers for but never keeps.
  bool saved = true;
  /// Load sets the member from nil when the key is absent, instead of keeping it.
  bool resetWhenAbsent = false;
  /// A second key Load reads when the first is absent, "" for none.
  std::string_view alias;
  /// Applied to the loaded value before it is stored by kind; null: stored as the kind takes it
  /// (a Value unchanged, a text by ValueString, an integer by ValorAEntero, a flag by ValorALogico).
  FieldConversion onLoad = nullptr;
  /// Applied to the member's value before Save writes it; null: written unchanged.
  FieldConversion onSave = nullptr;

  /// The row of a member of T or of one of its bases, its kind taken from the member's type.
  template <class M, class Declaring>
  static constexpr Field Of(std::string_view key, M Declaring::*declared) {
    static_assert(std::is_base_of_v<Declaring, T>, "the member belongs to T or a base of T");
    M T::*member = declared;
    Field row{};
    row.key = key;
    if constexpr (std::is_same_v<M, Value>) {
      row.kind = FieldKind::Value;
      row.value = member;
    } else if constexpr (std::is_same_v<M, std::string>) {
      row.kind = FieldKind::Text;
      row.text = member;
    } else if constexpr (std::is_same_v<M, int64_t>) {
      row.kind = FieldKind::Integer;
      row.integer = member;
    } else {
      static_assert(std::is_same_v<M, bool>, "a row holds a Value, std::string, int64_t or bool member");
      row.kind = FieldKind::Flag;
      row.flag = member;
    }
    return row;
  }

  constexpr Field Drawn(uint8_t by) const { return With([&](Field& f) { f.drawnBy = by; }); }
  constexpr Field ResetWhenAbsent() const { return With([](Field& f) { f.resetWhenAbsent = true; }); }
  constexpr Field Alias(std::string_view other) const { return With([&](Field& f) { f.alias = other; }); }
  constexpr Field OnLoad(FieldConversion c) const { return With([&](Field& f) { f.onLoad = c; }); }
  constexpr Field OnSave(FieldConversion c) const { return With([&](Field& f) { f.onSave = c; }); }
  /// The same normaliser on load and on save.
  constexpr Field Normalised(FieldConversion c) const {
    return With([&](Field& f) { f.onLoad = c; f.onSave = c; });
  }
  constexpr Field NotSaved() const { return With([](Field& f) { f.saved = false; }); }

  /// The same row for a class derived from T (its members reached through the derived class).
  template <class D>
  constexpr Field<D> For() const {
    Field<D> row{};
    row.key = key;
    row.kind = kind;
    row.drawnBy = drawnBy;
    row.saved = saved;
    row.resetWhenAbsent = resetWhenAbsent;
    row.alias = alias;
    row.onLoad = onLoad;
    row.onSave = onSave;
    row.value = value;
    row.text = text;
    row.integer = integer;
    row.flag = flag;
    return row;
  }

  /// The member of object as a Value.
  Value Get(const T& object) const {
    switch (kind) {
      case FieldKind::Value: return object.*value;
      case FieldKind::Text: return Value(object.*text);
      case FieldKind::Integer: return Value::Int(object.*integer);
      case FieldKind::Flag: return Value(object.*flag);
    }
    return Value();
  }

  /// Stores a value in the member of object, converted to the member's kind.
  void Set(T& object, const Value& v) const;

 private:
  template <class Change>
  constexpr Field With(Change change) const {
    Field row = *this;
    change(row);
    return row;
  }
};

// The conversions by kind, shared by every row.
std::string FieldText(const Value& v);
int64_t FieldInteger(const Value& v);
bool FieldFlag(const Value& v);

template <class T>
void Field<T>::Set(T& object, const Value& v) const {
  switch (kind) {
    case FieldKind::Value: object.*value = v; return;
    case FieldKind::Text: object.*text = FieldText(v); return;
    case FieldKind::Integer: object.*integer = FieldInteger(v); return;
    case FieldKind::Flag: object.*flag = FieldFlag(v); return;
  }
}

/// The rows of several lists as one array, in order.
template <class T, size_t... N>
constexpr std::array<Field<T>, (N + ...)> JoinFields(const std::array<Field<T>, N>&... parts) {
  std::array<Field<T>, (N + ...)> all{};
  size_t next = 0;
  ((std::copy(parts.begin(), parts.end(), all.begin() + next), next += N), ...);
  return all;
}

/// The rows of a base class's list, for a derived class.
template <class D, class B, size_t N>
constexpr std::array<Field<D>, N> FieldsFor(const std::array<Field<B>, N>& rows) {
  std::array<Field<D>, N> out{};
  for (size_t i = 0; i < N; ++i) out[i] = rows[i].template For<D>();
  return out;
}

/// Finds key (then the alias) in a template hash (a hash value); null when neither is there.
const Value* FindFieldKey(const Value& data, std::string_view key, std::string_view alias, KeyMatch match);

/// Appends every saved row's key and value to hash, in row order.
template <class T>
void SaveFields(const T& object, std::span<const Field<T>> rows, Hash& hash) {
  for (const Field<T>& row : rows) {
    if (!row.saved) continue;
    hash.Put(row.key, row.onSave != nullptr ? row.onSave(row.Get(object)) : row.Get(object));
  }
}

/// Sets every saved row whose key (or alias) data holds; a row that resets when absent is set
/// from nil. data must be a hash.
template <class T>
void LoadFields(T& object, std::span<const Field<T>> rows, const Value& data, KeyMatch match) {
  const Value absent;
  for (const Field<T>& row : rows) {
    if (!row.saved) continue;
    const Value* found = FindFieldKey(data, row.key, row.alias, match);
    if (found == nullptr) {
      if (!row.resetWhenAbsent) continue;
      found = &absent;
    }
    if (row.onLoad != nullptr) {
      row.Set(object, row.onLoad(*found));
    } else {
      row.Set(object, *found);
    }
  }
}

/// True when a row is named name, in any case.
template <class T>
bool HasFieldNamed(std::span<const Field<T>> rows, std::string_view name) {
  for (const Field<T>& row : rows) {
    if (EqualsIgnoreCase(name, row.key)) return true;
  }
  return false;
}

// The member pointer of one kind held by a row.
template <FieldKind K, class T>
struct MemberPointer;
template <class T>
struct MemberPointer<FieldKind::Value, T> {
  static constexpr Value T::*Of(const Field<T>& row) { return row.value; }
};
template <class T>
struct MemberPointer<FieldKind::Text, T> {
  static constexpr std::string T::*Of(const Field<T>& row) { return row.text; }
};
template <class T>
struct MemberPointer<FieldKind::Integer, T> {
  static constexpr int64_t T::*Of(const Field<T>& row) { return row.integer; }
};
template <class T>
struct MemberPointer<FieldKind::Flag, T> {
  static constexpr bool T::*Of(const Field<T>& row) { return row.flag; }
};

template <FieldKind K, uint8_t DrawnBits, class T, size_t N>
constexpr size_t CountDrawn(const std::array<Field<T>, N>& rows) {
  size_t count = 0;
  for (const Field<T>& row : rows) count += (row.kind == K && (row.drawnBy & DrawnBits) != 0) ? 1 : 0;
  return count;
}

/// The member pointers of kind K read by the renders in DrawnBits, in row order, gathered at
/// compile time for the loops that compare members without looking at the rows.
template <FieldKind K, uint8_t DrawnBits, const auto& Rows>
constexpr auto DrawnMembers() {
  using Row = typename std::remove_cvref_t<decltype(Rows)>::value_type;
  using Access = MemberPointer<K, typename Row::Owner>;
  std::array<decltype(Access::Of(Rows[0])), CountDrawn<K, DrawnBits>(Rows)> out{};
  size_t next = 0;
  for (const Row& row : Rows) {
    if (row.kind == K && (row.drawnBy & DrawnBits) != 0) out[next++] = Access::Of(row);
  }
  return out;
}

}  // namespace nv

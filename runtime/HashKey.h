#pragma once
// The key of a Hash: an immutable byte string. Keys up to 30 bytes (every key the engine writes,
// and nearly every field name) are stored inline, so copying a key copies its bytes and
// allocates nothing; longer keys are kept on the heap. A render object carries dozens of keys
// and is copied from a prototype for every label, which made key allocation a dominant cost.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <string>
#include <string_view>

namespace nv {

class HashKey {
 public:
  /// The longest key stored without a heap allocation.
  static constexpr size_t kInlineCapacity = 30;

  HashKey() noexcept { std::memset(raw_, 0, sizeof raw_); }
  HashKey(std::string_view text) { Assign(text); }
  HashKey(const std::string& text) { Assign(text); }
  HashKey(const char* text) { Assign(std::string_view(text)); }
  HashKey(const HashKey& other) { CopyFrom(other); }
  HashKey(HashKey&& other) noexcept { Take(other); }
  HashKey& operator=(const HashKey& other) {
    if (this != &other) {
      Release();
      CopyFrom(other);
    }
    return *this;
  }
  HashKey& operator=(HashKey&& other) noexcept {
    if (this != &other) {
      Release();
      Take(other);
    }
    return *this;
  }
  ~HashKey() { Release(); }

  const char* data() const noexcept { return IsInline() ? raw_ : HeapBytes(); }
  size_t size() const noexcept { return IsInline() ? static_cast<uint8_t>(raw_[kTagByte]) : HeapSize(); }
  bool empty() const noexcept { return size() == 0; }
  std::string_view view() const noexcept { return std::string_view(data(), size()); }
  std::string str() const { return std::string(view()); }
  const char* c_str() const noexcept { return data(); }  // always NUL-terminated

  operator std::string_view() const noexcept { return view(); }
  operator std::string() const { return str(); }

  friend bool operator==(const HashKey& a, const HashKey& b) noexcept {
    if (a.IsInline() && b.IsInline()) return a.SameInlineBytes(b);
    return a.view() == b.view();
  }
  friend bool operator==(const HashKey& a, std::string_view b) noexcept { return a.view() == b; }
  friend bool operator==(const HashKey& a, const std::string& b) noexcept { return a.view() == b; }
  friend bool operator==(const HashKey& a, const char* b) noexcept { return a.view() == b; }
  friend auto operator<=>(const HashKey& a, const HashKey& b) noexcept { return a.view() <=> b.view(); }

  friend std::string operator+(const HashKey& a, std::string_view b) { return Join(a.view(), b); }
  friend std::string operator+(std::string_view a, const HashKey& b) { return Join(a, b.view()); }
  friend std::string operator+(const HashKey& a, const std::string& b) { return Join(a.view(), b); }
  friend std::string operator+(const std::string& a, const HashKey& b) { return Join(a, b.view()); }
  friend std::string operator+(const HashKey& a, const char* b) { return Join(a.view(), b); }
  friend std::string operator+(const char* a, const HashKey& b) { return Join(a, b.view()); }

 private:
  // Inline form: the text in raw_[0..30] followed by zero bytes, its size in raw_[31]. Heap form: the
  // pointer and the size at the start, kHeapTag in raw_[31]. Fields are read and written with
  // memcpy, so the bytes never change their type.
  static constexpr size_t kTagByte = kInlineCapacity + 1;
  static constexpr char kHeapTag = static_cast<char>(0xff);

  bool IsInline() const noexcept { return raw_[kTagByte] != kHeapTag; }
  // Inline keys keep every byte past their text zero, so two are equal exactly when all 32 bytes
  // are: four word comparisons instead of a length check and a library call.
  bool SameInlineBytes(const HashKey& other) const noexcept {
    uint64_t a[4], b[4];
    std::memcpy(a, raw_, sizeof a);
    std::memcpy(b, other.raw_, sizeof b);
    return ((a[0] ^ b[0]) | (a[1] ^ b[1]) | (a[2] ^ b[2]) | (a[3] ^ b[3])) == 0;
  }
  char* HeapBytes() const noexcept {
    char* bytes;
    std::memcpy(&bytes, raw_, sizeof bytes);
    return bytes;
  }
  size_t HeapSize() const noexcept {
    size_t size;
    std::memcpy(&size, raw_ + sizeof(char*), sizeof size);
    return size;
  }

  void Assign(std::string_view text) {
    if (text.size() <= kInlineCapacity) {
      std::memset(raw_, 0, sizeof raw_);
      std::memcpy(raw_, text.data(), text.size());
      raw_[kTagByte] = static_cast<char>(text.size());
    } else {
      char* bytes = new char[text.size() + 1];
      std::memcpy(bytes, text.data(), text.size());
      bytes[text.size()] = '\0';
      const size_t size = text.size();
      std::memcpy(raw_, &bytes, sizeof bytes);
      std::memcpy(raw_ + sizeof(char*), &size, sizeof size);
      raw_[kTagByte] = kHeapTag;
    }
  }
  void CopyFrom(const HashKey& other) {
    if (other.IsInline()) {
      std::memcpy(raw_, other.raw_, sizeof raw_);  // one fixed-size move, whatever the length
    } else {
      Assign(other.view());
    }
  }
  void Take(HashKey& other) noexcept {
    std::memcpy(raw_, other.raw_, sizeof raw_);
    std::memset(other.raw_, 0, sizeof other.raw_);
  }
  void Release() noexcept {
    if (!IsInline()) delete[] HeapBytes();
  }
  static std::string Join(std::string_view a, std::string_view b) {
    std::string joined;
    joined.reserve(a.size() + b.size());
    joined.append(a);
    joined.append(b);
    return joined;
  }

  alignas(8) char raw_[kInlineCapacity + 2];
};

static_assert(sizeof(HashKey) == 32, "a key takes the room of a std::string");

std::ostream& operator<<(std::ostream& out, const HashKey& key);

}  // namespace nv

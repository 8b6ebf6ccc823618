// A compact binary form of Value for pages spooled to temporary files by the same process.
// Each value is one tag byte followed by its payload; integers are little-endian, lengths and
// counts are unsigned LEB128, so the form is independent of the host's struct layout.
// A page holds many render objects with the same keys in the same order. Both sides number the
// first hashes of at least kMinShapeKeys keys in the order they end (after their contents); a
// later hash with exactly the keys of one of them is written as that number and its values only,
// and read back as a copy of the remembered keys filled in by position, without hashing a key.
// In such a hash, a scalar equal to the one at the same position of the previous hash of that
// shape is written as the single byte kSame: objects of one kind mostly share their style values.
#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

#include "Hash.h"
#include "Runtime.h"

namespace nv {

namespace {

enum Tag : char {
  kNil = 'U',
  kFalse = 'F',
  kTrue = 'L',
  kInteger = 'I',
  kDouble = 'N',
  kString = 'C',
  kDate = 'D',
  kTimestamp = 'T',
  kArray = 'A',
  kHash = 'H',
  kHashOfShape = 'K',
  kSame = 'S',
};

// Values that kSame may stand for: copying them shares nothing between hashes.
bool IsScalar(const Value& v) {
  switch (v.kind()) {
    case Kind::Nil:
    case Kind::Logical:
    case Kind::Number:
    case Kind::String:
    case Kind::Date:
    case Kind::Timestamp: return true;
    default: return false;
  }
}

// Hashes with fewer keys are written whole: matching them would save little.
constexpr size_t kMinShapeKeys = 4;
// Key shapes remembered per serialized value; a page has a handful of object kinds.
constexpr size_t kMaxShapes = 16;

// Nesting deeper than this is not produced by the engine; the bound keeps malformed input from
// exhausting the stack.
constexpr int kMaxDepth = 512;

// The longest unsigned LEB128 form of a 64-bit count.
constexpr size_t kMaxCountBytes = 10;

// Writes into a growing raw buffer through a cursor: a page holds thousands of short keys and
// numbers, and a capacity check plus a library call per byte or field dominated the cost of
// spooling. The buffer is not zero-filled as it grows, and a caller that serializes page after
// page passes the same buffer each time, so it grows only until it fits the largest page.
class Writer {
 public:
  explicit Writer(SerializeBuffer& buffer) : buffer_(buffer.data), capacity_(buffer.capacity) {
    if (capacity_ < kInitialCapacity) {
      buffer_.reset(new char[kInitialCapacity]);
      capacity_ = kInitialCapacity;
    }
  }

  std::string_view Bytes() const { return std::string_view(buffer_.get(), pos_); }

  // The number of a remembered shape with exactly the keys of hash, or -1. The last hash written
  // with a shape has its keys, so it stands for the shape.
  int ShapeOf(const Hash& hash) {
    if (hash.size() < kMinShapeKeys) return -1;
    // Consecutive objects of a page are mostly of one kind: try the last match first.
    if (lastShape_ >= 0 && LastOfShape(lastShape_).SameKeys(hash)) return lastShape_;
    for (size_t i = 0; i < lastOfShape_.size(); ++i) {
      if (static_cast<int>(i) != lastShape_ && lastOfShape_[i]->SameKeys(hash)) return lastShape_ = static_cast<int>(i);
    }
    return -1;
  }
  // Remembers the shape of a hash written whole, once its contents are written.
  void Remember(const Hash& hash) {
    if (hash.size() >= kMinShapeKeys && lastOfShape_.size() < kMaxShapes) lastOfShape_.push_back(&hash);
  }
  // The hash last written with a remembered shape; then its successor.
  const Hash& LastOfShape(int shape) const { return *lastOfShape_[static_cast<size_t>(shape)]; }
  void SetLastOfShape(int shape, const Hash& hash) { lastOfShape_[static_cast<size_t>(shape)] = &hash; }

  // Room for n more bytes; returns where they go.
  char* Room(size_t n) {
    if (capacity_ - pos_ < n) Grow(n);
    return buffer_.get() + pos_;
  }
  void Advance(char* end) { pos_ = static_cast<size_t>(end - buffer_.get()); }

  void Byte(char c) {
    char* p = Room(1);
    *p = c;
    Advance(p + 1);
  }
  // A tag, then the LEB128 form of n.
  void TagCount(char tag, uint64_t n) {
    char* p = Room(1 + kMaxCountBytes);
    *p++ = tag;
    Advance(EncodeCount(p, n));
  }
  // A tag, then the low `bytes` bytes of bits, least significant first.
  void TagFixed(char tag, uint64_t bits, int bytes) {
    char* p = Room(1 + 8);
    *p++ = tag;
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(p, &bits, static_cast<size_t>(bytes));  // the low bytes come first in memory
      p += bytes;
    } else {
      for (int i = 0; i < bytes; ++i) *p++ = static_cast<char>((bits >> (8 * i)) & 0xff);
    }
    Advance(p);
  }
  // A number: its tag, its 8 bytes and its decimals, with one check for room.
  void NumberField(char tag, uint64_t bits, uint8_t decimals) {
    char* p = Room(1 + 8 + 1);
    *p++ = tag;
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(p, &bits, 8);
      p += 8;
    } else {
      for (int i = 0; i < 8; ++i) *p++ = static_cast<char>((bits >> (8 * i)) & 0xff);
    }
    *p++ = static_cast<char>(decimals);
    Advance(p);
  }
  // The LEB128 length, then the bytes.
  void Text(std::string_view s) {
    char* p = EncodeCount(Room(kMaxCountBytes + s.size()), s.size());
    CopyBytes(p, s.data(), s.size());
    Advance(p + s.size());
  }

 private:
  // Keys and most texts are a few bytes long: two overlapping fixed-size moves copy them without
  // a library call; longer ones go to memcpy.
  static void CopyBytes(char* to, const char* from, size_t n) {
    if (n >= 8 && n <= 16) {
      uint64_t head, tail;
      std::memcpy(&head, from, 8);
      std::memcpy(&tail, from + n - 8, 8);
      std::memcpy(to, &head, 8);
      std::memcpy(to + n - 8, &tail, 8);
    } else if (n >= 4 && n < 8) {
      uint32_t head, tail;
      std::memcpy(&head, from, 4);
      std::memcpy(&tail, from + n - 4, 4);
      std::memcpy(to, &head, 4);
      std::memcpy(to + n - 4, &tail, 4);
    } else if (n < 4) {
      for (size_t i = 0; i < n; ++i) to[i] = from[i];
    } else {
      std::memcpy(to, from, n);
    }
  }

  static char* EncodeCount(char* p, uint64_t n) {
    if (n < 0x80) {  // every key and nearly every text
      *p++ = static_cast<char>(n);
      return p;
    }
    do {
      uint8_t byte = n & 0x7f;
      n >>= 7;
      *p++ = static_cast<char>(n ? byte | 0x80 : byte);
    } while (n);
    return p;
  }

  void Grow(size_t n) {
    const size_t capacity = std::max(capacity_ * 2, pos_ + n);
    std::unique_ptr<char[]> larger(new char[capacity]);
    std::memcpy(larger.get(), buffer_.get(), pos_);
    buffer_ = std::move(larger);
    capacity_ = capacity;
  }

  static constexpr size_t kInitialCapacity = 256;
  std::unique_ptr<char[]>& buffer_;
  size_t& capacity_;
  size_t pos_ = 0;
  // Per shape, the hash of the value being serialized last written with it (the value outlives
  // the writer's use of them).
  std::vector<const Hash*> lastOfShape_;
  int lastShape_ = -1;
};

void WriteContainer(Writer& out, const Value& v);

// Scalars are written in line: a page is mostly scalars, and a call per value cost more than
// writing most of them.
inline void Write(Writer& out, const Value& v) {
  switch (v.kind()) {
    case Kind::Logical: out.Byte(v.AsBool() ? kTrue : kFalse); return;
    case Kind::Number: {
      const Number& n = *v.NumberRef();
      uint64_t bits;
      if (n.isInteger) {
        bits = static_cast<uint64_t>(n.i);
      } else {
        std::memcpy(&bits, &n.d, sizeof bits);
      }
      out.NumberField(n.isInteger ? kInteger : kDouble, bits, n.decimals);
      return;
    }
    case Kind::String:
      out.Byte(kString);
      out.Text(*v.StringRef());
      return;
    case Kind::Date:
      out.TagFixed(kDate, static_cast<uint32_t>(v.AsDate().day), 4);
      return;
    case Kind::Timestamp: {
      const uint64_t day = static_cast<uint32_t>(v.AsTimestamp().day);
      const uint64_t ms = static_cast<uint32_t>(v.AsTimestamp().ms);
      out.TagFixed(kTimestamp, day | (ms << 32), 8);
      return;
    }
    case Kind::Array:
    case Kind::Hash: WriteContainer(out, v); return;
    default:
      // Objects and code blocks live only in memory; a page never carries them.
      out.Byte(kNil);
      return;
  }
}

void WriteContainer(Writer& out, const Value& v) {
  if (const ArrayPtr* array = v.ArrayRef()) {
    out.TagCount(kArray, (*array)->size());
    for (const Value& item : **array) Write(out, item);
    return;
  }
  const Hash& hash = **v.HashRef();
  const int shape = out.ShapeOf(hash);
  if (shape >= 0) {
    out.TagCount(kHashOfShape, static_cast<uint64_t>(shape));
    const Hash& before = out.LastOfShape(shape);
    for (size_t i = 0; i < hash.size(); ++i) {
      const Value& value = hash.ValueAt(i);
      if (IsScalar(value) && value.Identical(before.ValueAt(i))) {
        out.Byte(kSame);
      } else {
        Write(out, value);
      }
    }
    out.SetLastOfShape(shape, hash);
    return;
  }
  out.TagCount(kHash, hash.size());
  for (const auto& [key, item] : hash) {
    out.Text(key);
    Write(out, item);
  }
  out.Remember(hash);
}

class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}

  bool AtEnd() const { return pos_ == bytes_.size(); }

  bool Read(Value& out, int depth) {
    if (depth > kMaxDepth || pos_ >= bytes_.size()) return false;
    char tag = bytes_[pos_++];
    switch (tag) {
      case kNil: out = Value(); return true;
      case kFalse: out = Value(false); return true;
      case kTrue: out = Value(true); return true;
      case kInteger:
      case kDouble: {
        uint64_t bits;
        if (!Fixed(bits, 8) || pos_ >= bytes_.size()) return false;
        uint8_t decimals = static_cast<uint8_t>(bytes_[pos_++]);
        Number n;
        n.isInteger = tag == kInteger;
        n.decimals = decimals;
        if (n.isInteger) {
          n.i = static_cast<int64_t>(bits);
        } else {
          std::memcpy(&n.d, &bits, sizeof bits);
        }
        out = Value(n);
        return true;
      }
      case kString: {
        std::string_view s;
        if (!String(s)) return false;
        out = Value(std::string(s));
        return true;
      }
      case kDate: {
        uint64_t day;
        if (!Fixed(day, 4)) return false;
        out = Value(Date{static_cast<int32_t>(static_cast<uint32_t>(day))});
        return true;
      }
      case kTimestamp: {
        uint64_t day, ms;
        if (!Fixed(day, 4) || !Fixed(ms, 4)) return false;
        out = Value(Timestamp{static_cast<int32_t>(static_cast<uint32_t>(day)),
                              static_cast<int32_t>(static_cast<uint32_t>(ms))});
        return true;
      }
      case kArray: {
        uint64_t count;
        // Every element takes at least one byte, which bounds a forged count.
        if (!Count(count) || count > bytes_.size() - pos_) return false;
        auto items = std::make_shared<Array>();
        items->resize(count);
        for (Value& item : *items) {
          if (!Read(item, depth + 1)) return false;
        }
        out = Value(std::move(items));
        return true;
      }
      case kHash: {
        uint64_t count;
        if (!Count(count) || count > (bytes_.size() - pos_) / 2) return false;
        auto hash = std::make_shared<Hash>();
        hash->reserve(count);
        for (uint64_t i = 0; i < count; ++i) {
          std::string_view key;
          Value item;
          if (!String(key) || !Read(item, depth + 1)) return false;
          hash->Put(key, std::move(item));
        }
        // A repeated key makes fewer entries than written: such a hash is never a shape.
        if (hash->size() == count) Remember(hash);
        out = Value(std::move(hash));
        return true;
      }
      case kHashOfShape: {
        uint64_t shape;
        if (!Count(shape) || shape >= shapes_.size()) return false;
        HashPtr hash = Hash::CopyOfShape(shapes_[shape]);
        // Every value takes at least one byte, which bounds what a forged stream can make.
        if (hash->size() > bytes_.size() - pos_) return false;
        const Hash& previous = *lastOfShape_[shape];
        for (size_t i = 0; i < hash->size(); ++i) {
          Value& value = hash->ValueAt(i);
          if (pos_ < bytes_.size() && bytes_[pos_] == kSame) {
            const Value& before = previous.ValueAt(i);
            if (!IsScalar(before)) return false;
            ++pos_;
            value = before;
          } else if (!Read(value, depth + 1)) {
            return false;
          }
        }
        lastOfShape_[shape] = hash;
        out = Value(std::move(hash));
        return true;
      }
      default: return false;
    }
  }

 private:
  bool Fixed(uint64_t& out, int bytes) {
    if (bytes_.size() - pos_ < static_cast<size_t>(bytes)) return false;
    out = 0;
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(&out, bytes_.data() + pos_, static_cast<size_t>(bytes));
      pos_ += static_cast<size_t>(bytes);
    } else {
      for (int i = 0; i < bytes; ++i) out |= static_cast<uint64_t>(static_cast<uint8_t>(bytes_[pos_++])) << (8 * i);
    }
    return true;
  }

  bool Count(uint64_t& out) {
    out = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      if (pos_ >= bytes_.size()) return false;
      uint8_t byte = static_cast<uint8_t>(bytes_[pos_++]);
      out |= static_cast<uint64_t>(byte & 0x7f) << shift;
      if (!(byte & 0x80)) return true;
    }
    return false;
  }

  bool String(std::string_view& out) {
    uint64_t length;
    if (!Count(length) || length > bytes_.size() - pos_) return false;
    out = bytes_.substr(pos_, length);
    pos_ += length;
    return true;
  }

  // Keeps the keys of a hash read whole, numbered as the writer numbered it.
  void Remember(const HashPtr& hash) {
    if (hash->size() < kMinShapeKeys || shapes_.size() >= kMaxShapes) return;
    shapes_.push_back(Hash::WithKeysOf(*hash));
    lastOfShape_.push_back(hash);
  }

  std::string_view bytes_;
  size_t pos_ = 0;
  std::vector<Hash> shapes_;
  // The hash last read with each shape: what kSame refers to.
  std::vector<HashPtr> lastOfShape_;
};

}  // namespace

std::string_view Serialize(const Value& v, SerializeBuffer& buffer) {
  Writer writer(buffer);
  Write(writer, v);
  return writer.Bytes();
}

std::string Serialize(const Value& v) {
  SerializeBuffer buffer;
  return std::string(Serialize(v, buffer));
}

std::optional<Value> Deserialize(std::string_view bytes) {
  Reader reader(bytes);
  Value v;
  if (!reader.Read(v, 0) || !reader.AtEnd()) return std::nullopt;
  return v;
}

}  // namespace nv

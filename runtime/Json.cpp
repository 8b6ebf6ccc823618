// JSON text to Value through RapidJSON's SAX reader, and Value to JSON text through its writer.
#include "Json.h"

#include <rapidjson/error/en.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/reader.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

#include "Hash.h"
#include "Runtime.h"

namespace nv {

namespace {

// Deeper documents are refused: the values they would build are freed recursively, and no
// template or data file comes near this.
constexpr size_t kMaxJsonDepth = 1000;

// Numbers arrive as their written text so that "12.50" keeps two display decimals and "5"
// stays an integer.
Value NumberFromJsonText(std::string_view text) {
  size_t point = text.find('.');
  size_t exponent = text.find_first_of("eE");
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (point == std::string_view::npos && exponent == std::string_view::npos) {
    int64_t i = 0;
    auto result = std::from_chars(first, last, i);
    if (result.ec == std::errc() && result.ptr == last) return Value::Int(i);
  }
  long decimals = 0;
  if (point != std::string_view::npos) {
    size_t end = exponent == std::string_view::npos ? text.size() : exponent;
    decimals = static_cast<long>(end - point - 1);
  }
  if (exponent != std::string_view::npos) {
    // An exponent moves the point: 1.5e-3 shows as 0.0015 (4 decimals), 1.25e1 as 12.5.
    std::string_view digits = text.substr(exponent + 1);
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    long shift = 0;
    auto parsed = std::from_chars(digits.data(), digits.data() + digits.size(), shift);
    if (parsed.ec != std::errc()) shift = digits.front() == '-' ? -1000 : 1000;
    decimals = std::clamp(decimals - shift, 0L, 30L);
  }
  double d = 0;
  // The reader has validated the syntax, so the only failure left is range: an exponent too
  // large gives the infinity of its sign, one too small gives zero.
  if (std::from_chars(first, last, d).ec == std::errc::result_out_of_range) {
    bool tiny = exponent != std::string_view::npos && text.find('-', exponent) != std::string_view::npos;
    d = tiny ? 0.0 : HUGE_VAL;
    if (text.front() == '-') d = -d;
  }
  return Value::Dbl(d, decimals);
}

class ValueBuilder : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, ValueBuilder> {
 public:
  bool Null() { return Add(Value()); }
  bool Bool(bool b) { return Add(Value(b)); }
  bool RawNumber(const char* text, rapidjson::SizeType length, bool) {
    return Add(NumberFromJsonText(std::string_view(text, length)));
  }
  bool String(const char* text, rapidjson::SizeType length, bool) {
    return Add(Value(std::string(text, length)));
  }
  bool Key(const char* text, rapidjson::SizeType length, bool) {
    stack_.back().key.assign(text, length);
    return true;
  }
  bool StartObject() {
    if (stack_.size() >= kMaxJsonDepth) return false;
    auto hash = std::make_shared<Hash>();
    Frame frame;
    frame.hash = hash.get();
    frame.container = Value(std::move(hash));
    stack_.push_back(std::move(frame));
    return true;
  }
  bool EndObject(rapidjson::SizeType) { return Close(); }
  bool StartArray() {
    if (stack_.size() >= kMaxJsonDepth) return false;
    auto array = std::make_shared<Array>();
    Frame frame;
    frame.array = array.get();
    frame.container = Value(std::move(array));
    stack_.push_back(std::move(frame));
    return true;
  }
  bool EndArray(rapidjson::SizeType) { return Close(); }

  Value TakeRoot() { return std::move(root_); }

 private:
  struct Frame {
    Value container;
    Array* array = nullptr;
    Hash* hash = nullptr;
    std::string key;
  };

  // Kept out of line: inlined into every callback it only grows the reader loop (and GCC 12
  // then reports a spurious maybe-uninitialized on the moved variant).
  [[gnu::noinline]] bool Add(Value&& v) {
    if (stack_.empty()) {
      root_ = std::move(v);
      return true;
    }
    Frame& top = stack_.back();
    if (top.array) {
      top.array->push_back(std::move(v));
    } else {
      // A repeated key keeps its first position and takes the last value.
      top.hash->Put(top.key, std::move(v));
      top.key.clear();
    }
    return true;
  }

  bool Close() {
    Value done = std::move(stack_.back().container);
    stack_.pop_back();
    return Add(std::move(done));
  }

  std::vector<Frame> stack_;
  Value root_;
};

// ---- Writing ----------------------------------------------------------------------------------

// Returns the length of the valid UTF-8 sequence starting at s[i], or 0 when it is invalid
// (overlong forms, surrogates and code points above U+10FFFF are invalid).
size_t ValidSequenceLength(std::string_view s, size_t i) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char c = byte(i);
  if (c < 0x80) return 1;
  size_t length;
  uint32_t lowest;
  uint32_t cp;
  if (c >= 0xC2 && c <= 0xDF) {
    length = 2, lowest = 0x80, cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    length = 3, lowest = 0x800, cp = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    length = 4, lowest = 0x10000, cp = c & 0x07;
  } else {
    return 0;
  }
  if (i + length > s.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    unsigned char next = byte(i + k);
    if ((next & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (next & 0x3F);
  }
  if (cp < lowest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return length;
}

// Returns the text with every invalid UTF-8 byte replaced by U+FFFD, so that the writer always
// produces valid JSON from byte strings of unknown origin.
std::string ValidUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    size_t length = ValidSequenceLength(s, i);
    if (length == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      out.append(s.substr(i, length));
      i += length;
    }
  }
  return out;
}

bool IsValidUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    size_t length = ValidSequenceLength(s, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

template <typename Writer>
void WriteString(Writer& writer, std::string_view s, bool key) {
  if (IsValidUtf8(s)) {
    key ? writer.Key(s.data(), static_cast<rapidjson::SizeType>(s.size()))
        : writer.String(s.data(), static_cast<rapidjson::SizeType>(s.size()));
    return;
  }
  std::string valid = ValidUtf8(s);
  key ? writer.Key(valid.data(), static_cast<rapidjson::SizeType>(valid.size()))
      : writer.String(valid.data(), static_cast<rapidjson::SizeType>(valid.size()));
}

std::string IsoDate(int32_t day) {
  int y, m, d;
  SplitDate(Date{day}, y, m, d);
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", y, m, d);
  return buffer;
}

template <typename Writer>
void WriteValue(Writer& writer, const Value& v) {
  switch (v.kind()) {
    case Kind::Logical: writer.Bool(v.AsBool()); return;
    case Kind::Number: {
      const Number& n = v.AsNumber();
      if (n.isInteger) {
        writer.Int64(n.i);
        return;
      }
      if (!std::isfinite(n.d)) {
        writer.Null();
        return;
      }
      // The shortest text that reads back as the same double.
      char buffer[64];
      auto result = std::to_chars(buffer, buffer + sizeof buffer, n.d);
      writer.RawValue(buffer, static_cast<size_t>(result.ptr - buffer), rapidjson::kNumberType);
      return;
    }
    case Kind::String: WriteString(writer, v.AsString(), false); return;
    case Kind::Date: {
      if (v.AsDate().IsEmpty()) {
        writer.Null();
        return;
      }
      std::string text = IsoDate(v.AsDate().day);
      writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
      return;
    }
    case Kind::Timestamp: {
      Timestamp t = v.AsTimestamp();
      if (t.day == 0) {
        writer.Null();
        return;
      }
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "T%02d:%02d:%02d.%03d", t.ms / 3600000 % 100, t.ms / 60000 % 60,
                    t.ms / 1000 % 60, t.ms % 1000);
      std::string text = IsoDate(t.day) + buffer;
      writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
      return;
    }
    case Kind::Array:
      writer.StartArray();
      for (const Value& item : v.AsArray()) WriteValue(writer, item);
      writer.EndArray();
      return;
    case Kind::Hash:
      writer.StartObject();
      for (const auto& [key, item] : v.AsHash()) {
        WriteString(writer, key, true);
        WriteValue(writer, item);
      }
      writer.EndObject();
      return;
    default: writer.Null(); return;
  }
}

}  // namespace

Value DecodeJson(std::string_view text, bool& ok, std::string* error) {
  // A leading UTF-8 byte order mark, as some editors write, is not part of the document.
  if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  // A raw NUL byte is never valid JSON text; refusing it here also keeps the in-place parse
  // below from taking it for the end of the text.
  if (text.find('\0') != std::string_view::npos) {
    ok = false;
    if (error) *error = "offset " + std::to_string(text.find('\0')) + ": NUL byte in the text";
    return Value();
  }
  // Parsing a private copy in place decodes strings where they lie instead of through the
  // reader's own buffer.
  std::string buffer(text);
  rapidjson::InsituStringStream stream(buffer.data());
  ValueBuilder builder;
  rapidjson::Reader reader;
  constexpr unsigned kFlags =
      rapidjson::kParseInsituFlag | rapidjson::kParseNumbersAsStringsFlag | rapidjson::kParseIterativeFlag;
  rapidjson::ParseResult result = reader.Parse<kFlags>(stream, builder);
  ok = !result.IsError();
  if (!ok) {
    if (error) {
      *error = "offset " + std::to_string(result.Offset()) + ": " + rapidjson::GetParseError_En(result.Code());
    }
    return Value();
  }
  return builder.TakeRoot();
}

Value DecodeJsonObject(std::string_view text) {
  bool ok = false;
  Value v = DecodeJson(text, ok);
  return ok && v.IsHash() ? v : Value::NewHash();
}

Value ReadJsonFile(const std::string& path) {
  if (path.empty()) return Value::NewHash();
  return DecodeJsonObject(ReadTextFile(path));
}

std::string EncodeJson(const Value& v, bool pretty) {
  rapidjson::StringBuffer buffer;
  if (pretty) {
    rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(buffer);
    WriteValue(writer, v);
  } else {
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    WriteValue(writer, v);
  }
  return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace nv

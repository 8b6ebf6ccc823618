// Single bytes, Windows-1252 and UTF-8 text, and Base64.
#include "Runtime.h"

namespace nv {

std::string Chr(int64_t code) {
  int64_t byte = code % 256;
  if (byte < 0) byte += 256;
  return std::string(1, static_cast<char>(static_cast<unsigned char>(byte)));
}

int Asc(std::string_view text) { return text.empty() ? 0 : static_cast<unsigned char>(text[0]); }

std::string Utf8Encode(uint32_t cp) {
  // Surrogates and values beyond Unicode have no UTF-8 form.
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  std::string out;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return out;
}

std::string Win1252ToUtf8(std::string_view text) {
  // Code points of bytes 0x80 to 0x9F; the five bytes the code page leaves undefined keep their
  // own value, as the C1 control characters.
  static constexpr uint16_t kHigh[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out += c;
    } else if (byte < 0xA0) {
      out += Utf8Encode(kHigh[byte - 0x80]);
    } else {
      out += Utf8Encode(byte);
    }
  }
  return out;
}

namespace {

// Length of the character starting at text[i]: the whole sequence when its lead byte and
// continuation bytes are well formed, else 1 (a byte that starts no sequence is a character).
size_t CharLength(std::string_view text, size_t i) {
  auto lead = static_cast<unsigned char>(text[i]);
  size_t length = lead < 0xC2 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 1;
  if (length == 1 || i + length > text.size()) return 1;
  for (size_t k = 1; k < length; ++k) {
    if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 1;
  }
  return length;
}

}  // namespace

size_t Utf8Length(std::string_view text) {
  size_t count = 0;
  for (size_t i = 0; i < text.size(); ++count) {
    i += static_cast<unsigned char>(text[i]) < 0x80 ? 1 : CharLength(text, i);
  }
  return count;
}

std::vector<std::string> Utf8Chars(std::string_view text) {
  std::vector<std::string> chars;
  chars.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    size_t length = CharLength(text, i);
    chars.emplace_back(text.substr(i, length));
    i += length;
  }
  return chars;
}

std::string Utf8SubStr(std::string_view text, int64_t start, int64_t count) {
  const int64_t length = static_cast<int64_t>(Utf8Length(text));
  int64_t from = start < 0 ? std::max<int64_t>(0, length + start) : (start == 0 ? 0 : start - 1);
  if (from >= length || count <= 0) return "";
  int64_t take = std::min(count, length - from);
  size_t begin = 0;
  for (int64_t k = 0; k < from; ++k) begin += CharLength(text, begin);
  size_t end = begin;
  for (int64_t k = 0; k < take; ++k) end += CharLength(text, end);
  return std::string(text.substr(begin, end - begin));
}

namespace {

constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Digit(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

std::string Base64Encode(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    uint32_t block = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16 |
                     static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8 |
                     static_cast<unsigned char>(bytes[i + 2]);
    out += kBase64Alphabet[block >> 18];
    out += kBase64Alphabet[(block >> 12) & 63];
    out += kBase64Alphabet[(block >> 6) & 63];
    out += kBase64Alphabet[block & 63];
  }
  size_t rest = bytes.size() - i;
  if (rest > 0) {
    uint32_t block = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
    if (rest == 2) block |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
    out += kBase64Alphabet[block >> 18];
    out += kBase64Alphabet[(block >> 12) & 63];
    out += rest == 2 ? kBase64Alphabet[(block >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::string Base64Decode(std::string_view text) {
  // Up to two "=" may close the text; unpadded text whose length leaves 2 or 3 is accepted too.
  size_t padding = 0;
  while (padding < text.size() && padding < 3 && text[text.size() - 1 - padding] == '=') ++padding;
  if (padding > 2) return "";
  std::string_view digits = text.substr(0, text.size() - padding);
  size_t partial = digits.size() % 4;
  if (partial == 1 || (padding > 0 && partial == 0) || (partial == 3 && padding > 1)) return "";
  std::string out;
  out.reserve(digits.size() / 4 * 3 + 2);
  uint32_t block = 0;
  int filled = 0;
  for (char c : digits) {
    int digit = Base64Digit(c);
    if (digit < 0) return "";
    block = block << 6 | static_cast<uint32_t>(digit);
    if (++filled == 4) {
      out += static_cast<char>(block >> 16);
      out += static_cast<char>((block >> 8) & 0xFF);
      out += static_cast<char>(block & 0xFF);
      block = 0;
      filled = 0;
    }
  }
  if (filled == 2) {
    out += static_cast<char>(block >> 4);
  } else if (filled == 3) {
    out += static_cast<char>(block >> 10);
    out += static_cast<char>((block >> 2) & 0xFF);
  }
  return out;
}

}  // namespace nv

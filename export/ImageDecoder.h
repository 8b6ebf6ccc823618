#pragma once
// Decodes the base64 "dataUri" of image render objects into cairo surfaces, by "mime": PNG through
// cairo's reader, JPEG through libjpeg-turbo (its bytes also kept, so a PDF embeds the JPEG
// unchanged; EXIF orientation is not applied), GIF's first frame through giflib, WebP through
// libwebp. Other types (such as SVG) are not decoded. Decoded surfaces are kept in a cache bounded in bytes, keyed by a hash and the
// length of the URI, so one logo on every label is decoded once and written to a PDF once.

#include <cairo.h>

#include <cstdint>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>

namespace nv::out {

class ImageDecoder {
 public:
  enum class Status { Ok, Unsupported, Broken };

  explicit ImageDecoder(size_t cacheBytes);
  ~ImageDecoder();
  ImageDecoder(const ImageDecoder&) = delete;
  ImageDecoder& operator=(const ImageDecoder&) = delete;

  /// The surface of a data URI (owned by the decoder, valid until the next Decode), or null with
  /// status Unsupported (a MIME type not decoded) or Broken (bytes that do not decode).
  cairo_surface_t* Decode(std::string_view dataUri, std::string_view mime, Status& status);

 private:
  struct Entry {
    uint64_t key = 0;
    cairo_surface_t* surface = nullptr;
    size_t bytes = 0;
  };
  static cairo_surface_t* DecodePng(const std::string& bytes);
  static cairo_surface_t* DecodeJpeg(const std::string& bytes);
  /// The first frame, with its transparent colour.
  static cairo_surface_t* DecodeGif(const std::string& bytes);
  static cairo_surface_t* DecodeWebp(const std::string& bytes);
  void Evict();

  size_t cacheBytes_;
  size_t heldBytes_ = 0;
  std::list<Entry> entries_;  // most recently used first
  std::unordered_map<uint64_t, std::list<Entry>::iterator> index_;
};

}  // namespace nv::out

#include "ImageDecoder.h"

#include <gif_lib.h>
#include <turbojpeg.h>
#include <webp/decode.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "Runtime.h"

namespace nv::out {

namespace {

uint64_t Fnv1a(std::string_view text) {
  uint64_t hash = 1469598103934665603ull;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return hash ^ (static_cast<uint64_t>(text.size()) * 0x9E3779B97F4A7C15ull);
}

struct PngSource {
  const std::string* bytes;
  size_t offset = 0;
};

cairo_status_t ReadPng(void* closure, unsigned char* data, unsigned int length) {
  auto* source = static_cast<PngSource*>(closure);
  if (source->offset + length > source->bytes->size()) return CAIRO_STATUS_READ_ERROR;
  std::memcpy(data, source->bytes->data() + source->offset, length);
  source->offset += length;
  return CAIRO_STATUS_SUCCESS;
}

void FreeString(void* data) { delete static_cast<std::string*>(data); }

// The payload of "data:<mime>;base64,<payload>", or the text itself when it has no header.
std::string_view Payload(std::string_view uri) {
  size_t comma = uri.find(',');
  if (uri.starts_with("data:") && comma != std::string_view::npos) return uri.substr(comma + 1);
  return uri;
}

}  // namespace

ImageDecoder::ImageDecoder(size_t cacheBytes) : cacheBytes_(cacheBytes) {}

ImageDecoder::~ImageDecoder() {
  for (Entry& entry : entries_) cairo_surface_destroy(entry.surface);
}

cairo_surface_t* ImageDecoder::DecodePng(const std::string& bytes) {
  PngSource source{&bytes};
  cairo_surface_t* surface = cairo_image_surface_create_from_png_stream(ReadPng, &source);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return nullptr;
  }
  return surface;
}

cairo_surface_t* ImageDecoder::DecodeJpeg(const std::string& bytes) {
  tjhandle handle = tjInitDecompress();
  if (handle == nullptr) return nullptr;
  int width = 0, height = 0, subsampling = 0, colorspace = 0;
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto size = static_cast<unsigned long>(bytes.size());
  cairo_surface_t* surface = nullptr;
  if (tjDecompressHeader3(handle, data, size, &width, &height, &subsampling, &colorspace) == 0 && width > 0 &&
      height > 0 && width <= 32767 && height <= 32767) {
    surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_surface_flush(surface);
    // cairo's RGB24 is a native-endian 32-bit word per pixel: BGRX bytes on little-endian machines.
    if (tjDecompress2(handle, data, size, cairo_image_surface_get_data(surface), width,
                      cairo_image_surface_get_stride(surface), height, TJPF_BGRX, 0) != 0) {
      cairo_surface_destroy(surface);
      surface = nullptr;
    } else {
      cairo_surface_mark_dirty(surface);
      auto* kept = new std::string(bytes);
      cairo_surface_set_mime_data(surface, CAIRO_MIME_TYPE_JPEG, reinterpret_cast<const unsigned char*>(kept->data()),
                                  kept->size(), FreeString, kept);
    }
  }
  tjDestroy(handle);
  return surface;
}

cairo_surface_t* ImageDecoder::DecodeWebp(const std::string& bytes) {
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  int width = 0, height = 0;
  if (!WebPGetInfo(data, bytes.size(), &width, &height) || width <= 0 || height <= 0 || width > 32767 ||
      height > 32767) {
    return nullptr;
  }
  WebPDecoderConfig config;
  if (!WebPInitDecoderConfig(&config)) return nullptr;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cairo_surface_flush(surface);
  // Premultiplied BGRA on little-endian machines is cairo's ARGB32 layout.
  config.output.colorspace = MODE_bgrA;
  config.output.is_external_memory = 1;
  config.output.u.RGBA.rgba = cairo_image_surface_get_data(surface);
  config.output.u.RGBA.stride = cairo_image_surface_get_stride(surface);
  config.output.u.RGBA.size = static_cast<size_t>(config.output.u.RGBA.stride) * static_cast<size_t>(height);
  const bool ok = WebPDecode(data, bytes.size(), &config) == VP8_STATUS_OK;
  WebPFreeDecBuffer(&config.output);
  if (!ok) {
    cairo_surface_destroy(surface);
    return nullptr;
  }
  cairo_surface_mark_dirty(surface);
  return surface;
}

namespace {

struct GifSource {
  const std::string* bytes;
  size_t offset = 0;
};

int ReadGif(GifFileType* gif, GifByteType* out, int length) {
  auto* source = static_cast<GifSource*>(gif->UserData);
  size_t available = source->bytes->size() - source->offset;
  size_t count = std::min(available, static_cast<size_t>(std::max(0, length)));
  std::memcpy(out, source->bytes->data() + source->offset, count);
  source->offset += count;
  return static_cast<int>(count);
}

}  // namespace

cairo_surface_t* ImageDecoder::DecodeGif(const std::string& bytes) {
  GifSource source{&bytes};
  int error = 0;
  GifFileType* gif = DGifOpen(&source, ReadGif, &error);
  if (gif == nullptr) return nullptr;
  cairo_surface_t* surface = nullptr;
  if (DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0 && gif->SWidth > 0 && gif->SHeight > 0 &&
      gif->SWidth <= 32767 && gif->SHeight <= 32767) {
    const SavedImage& frame = gif->SavedImages[0];
    const ColorMapObject* colors = frame.ImageDesc.ColorMap != nullptr ? frame.ImageDesc.ColorMap : gif->SColorMap;
    GraphicsControlBlock control{};
    control.TransparentColor = NO_TRANSPARENT_COLOR;
    DGifSavedExtensionToGCB(gif, 0, &control);
    if (colors != nullptr) {
      // The first frame alone, on a transparent canvas of the screen's size.
      surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, gif->SWidth, gif->SHeight);
      cairo_surface_flush(surface);
      unsigned char* pixels = cairo_image_surface_get_data(surface);
      const int stride = cairo_image_surface_get_stride(surface);
      const GifImageDesc& desc = frame.ImageDesc;
      for (int y = 0; y < desc.Height; ++y) {
        const int row = desc.Top + y;
        if (row < 0 || row >= gif->SHeight) continue;
        auto* line = reinterpret_cast<uint32_t*>(pixels + static_cast<ptrdiff_t>(row) * stride);
        for (int x = 0; x < desc.Width; ++x) {
          const int column = desc.Left + x;
          if (column < 0 || column >= gif->SWidth) continue;
          const int index = frame.RasterBits[static_cast<size_t>(y) * static_cast<size_t>(desc.Width) + static_cast<size_t>(x)];
          if (index == control.TransparentColor || index >= colors->ColorCount) continue;
          const GifColorType& c = colors->Colors[index];
          line[column] = 0xFF000000u | (static_cast<uint32_t>(c.Red) << 16) | (static_cast<uint32_t>(c.Green) << 8) | c.Blue;
        }
      }
      cairo_surface_mark_dirty(surface);
    }
  }
  DGifCloseFile(gif, &error);
  return surface;
}

void ImageDecoder::Evict() {
  while (heldBytes_ > cacheBytes_ && entries_.size() > 1) {
    Entry& last = entries_.back();
    heldBytes_ -= last.bytes;
    index_.erase(last.key);
    cairo_surface_destroy(last.surface);
    entries_.pop_back();
  }
}

cairo_surface_t* ImageDecoder::Decode(std::string_view dataUri, std::string_view mime, Status& status) {
  const uint64_t key = Fnv1a(dataUri);
  if (auto found = index_.find(key); found != index_.end()) {
    entries_.splice(entries_.begin(), entries_, found->second);
    status = Status::Ok;
    return entries_.front().surface;
  }
  cairo_surface_t* (*decode)(const std::string&) = nullptr;
  if (mime.find("png") != std::string_view::npos) decode = DecodePng;
  if (mime.find("jpeg") != std::string_view::npos || mime.find("jpg") != std::string_view::npos) decode = DecodeJpeg;
  if (mime.find("gif") != std::string_view::npos) decode = DecodeGif;
  if (mime.find("webp") != std::string_view::npos) decode = DecodeWebp;
  if (decode == nullptr) {
    status = Status::Unsupported;
    return nullptr;
  }
  std::string bytes = Base64Decode(Payload(dataUri));
  cairo_surface_t* surface = bytes.empty() ? nullptr : decode(bytes);
  if (surface == nullptr) {
    status = Status::Broken;
    return nullptr;
  }
  // One id per distinct image lets a PDF write it once however often it is drawn.
  std::string uniqueId = std::to_string(key) + "-" + std::to_string(dataUri.size());
  auto* id = new std::string(uniqueId);
  cairo_surface_set_mime_data(surface, CAIRO_MIME_TYPE_UNIQUE_ID, reinterpret_cast<const unsigned char*>(id->data()),
                              id->size(), FreeString, id);
  Entry entry{key, surface,
              static_cast<size_t>(cairo_image_surface_get_stride(surface)) *
                  static_cast<size_t>(cairo_image_surface_get_height(surface))};
  heldBytes_ += entry.bytes;
  entries_.push_front(entry);
  index_[key] = entries_.begin();
  Evict();
  status = Status::Ok;
  return surface;
}

}  // namespace nv::out

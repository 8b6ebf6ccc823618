#pragma once
// Test-only: renders barcode modules with their quiet zone to a greyscale bitmap and decodes it
// with an independent reader (zxing-cpp), so that the encoders are checked against the standard
// as a scanner sees it.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Value.h"

#ifndef ZX_USE_UTF8
#define ZX_USE_UTF8
#endif
#include <ZXing/ReadBarcode.h>

namespace nv::reader {

/// A greyscale image, one byte per pixel (0 black, 255 white).
struct Bitmap {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;
};

/// Renders rows of "0"/"1" modules with `quiet` light modules on every side, `scale` pixels a module.
inline Bitmap RenderMatrix(const std::vector<std::string>& rows, int quiet, int scale) {
  Bitmap image;
  const int n = static_cast<int>(rows.size());
  const int columns = n == 0 ? 0 : static_cast<int>(rows[0].size());
  image.width = (columns + 2 * quiet) * scale;
  image.height = (n + 2 * quiet) * scale;
  image.pixels.assign(static_cast<size_t>(image.width) * static_cast<size_t>(image.height), 255);
  for (int r = 0; r < n; ++r) {
    for (int c = 0; c < columns; ++c) {
      if (rows[static_cast<size_t>(r)][static_cast<size_t>(c)] != '1') continue;
      for (int y = 0; y < scale; ++y) {
        const size_t line = static_cast<size_t>((r + quiet) * scale + y) * static_cast<size_t>(image.width);
        for (int x = 0; x < scale; ++x) image.pixels[line + static_cast<size_t>((c + quiet) * scale + x)] = 0;
      }
    }
  }
  return image;
}

/// Renders a linear module string `height` pixels tall with the given quiet zones in modules.
inline Bitmap RenderLinear(const std::string& bits, int leftQuiet, int rightQuiet, int scale, int height) {
  Bitmap image;
  image.width = (static_cast<int>(bits.size()) + leftQuiet + rightQuiet) * scale;
  image.height = height;
  image.pixels.assign(static_cast<size_t>(image.width) * static_cast<size_t>(height), 255);
  for (size_t i = 0; i < bits.size(); ++i) {
    if (bits[i] != '1') continue;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < scale; ++x) {
        image.pixels[static_cast<size_t>(y * image.width) + (i + static_cast<size_t>(leftQuiet)) * static_cast<size_t>(scale) +
                     static_cast<size_t>(x)] = 0;
      }
    }
  }
  return image;
}

/// Returns the rows of a list Value of row texts.
inline std::vector<std::string> RowsOf(const Value& list) {
  std::vector<std::string> rows;
  if (!list.IsArray()) return rows;
  for (const Value& row : list.AsArray()) rows.push_back(row.IsString() ? row.AsString() : std::string());
  return rows;
}

/// What the reader found: the raw content bytes and the symbology identifier ("]Q1", "]C1"...).
struct Decoded {
  std::string bytes;
  std::string symbology;
};

/// Decodes the single symbol of `format` in the image; nothing when the reader finds none.
inline std::optional<Decoded> Decode(const Bitmap& image, ZXing::BarcodeFormat format) {
  ZXing::ImageView view(image.pixels.data(), image.width, image.height, ZXing::ImageFormat::Lum);
  ZXing::DecodeHints hints;
  hints.setFormats(format);
  hints.setTryHarder(true);
  const ZXing::Result result = ZXing::ReadBarcode(view, hints);
  if (!result.isValid()) return std::nullopt;
  const ZXing::ByteArray& raw = result.bytes();
  return Decoded{std::string(raw.begin(), raw.end()), result.symbologyIdentifier()};
}

}  // namespace nv::reader

#pragma once
// Writes an RGB PNG row by row to a stream through libpng, with the resolution in "pHYs" and no
// time chunk, so a page can be drawn in bands and the same pixels give the same bytes.

#include <png.h>

#include <cstdint>
#include <ostream>

namespace nv::out {

class PngWriter {
 public:
  explicit PngWriter(std::ostream& out);
  ~PngWriter();
  PngWriter(const PngWriter&) = delete;
  PngWriter& operator=(const PngWriter&) = delete;

  /// Writes the header of a width x height image at dpi dots per inch; false on failure.
  bool Begin(uint32_t width, uint32_t height, double dpi, int compression);
  /// Writes the next row: width RGB triplets.
  bool WriteRow(const uint8_t* rgb);
  /// Writes the end of the image; false when any write failed.
  bool End();

 private:
  static void Write(png_structp png, png_bytep data, png_size_t length);
  static void Flush(png_structp png);

  std::ostream& out_;
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
  bool failed_ = false;
};

}  // namespace nv::out

#include "PngWriter.h"

#include <cmath>
#include <csetjmp>

namespace nv::out {

namespace {

[[noreturn]] void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnWarning(png_structp, png_const_charp) {}

}  // namespace

PngWriter::PngWriter(std::ostream& out) : out_(out) {
  png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
  if (png_ != nullptr) info_ = png_create_info_struct(png_);
  if (png_ == nullptr || info_ == nullptr) failed_ = true;
}

PngWriter::~PngWriter() {
  if (png_ != nullptr) png_destroy_write_struct(&png_, info_ != nullptr ? &info_ : nullptr);
}

void PngWriter::Write(png_structp png, png_bytep data, png_size_t length) {
  auto* self = static_cast<PngWriter*>(png_get_io_ptr(png));
  self->out_.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(length));
  if (!self->out_) png_error(png, "write failed");
}

void PngWriter::Flush(png_structp png) { static_cast<PngWriter*>(png_get_io_ptr(png))->out_.flush(); }

bool PngWriter::Begin(uint32_t width, uint32_t height, double dpi, int compression) {
  if (failed_) return false;
  if (setjmp(png_jmpbuf(png_))) {
    failed_ = true;
    return false;
  }
  png_set_write_fn(png_, this, Write, Flush);
  png_set_compression_level(png_, compression);
  png_set_IHDR(png_, info_, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  const auto perMetre = static_cast<png_uint_32>(std::lround(dpi / 0.0254));
  png_set_pHYs(png_, info_, perMetre, perMetre, PNG_RESOLUTION_METER);
  png_write_info(png_, info_);
  return true;
}

bool PngWriter::WriteRow(const uint8_t* rgb) {
  if (failed_) return false;
  if (setjmp(png_jmpbuf(png_))) {
    failed_ = true;
    return false;
  }
  png_write_row(png_, const_cast<png_bytep>(rgb));
  return true;
}

bool PngWriter::End() {
  if (failed_) return false;
  if (setjmp(png_jmpbuf(png_))) {
    failed_ = true;
    return false;
  }
  png_write_end(png_, nullptr);
  out_.flush();
  return static_cast<bool>(out_);
}

}  // namespace nv::out

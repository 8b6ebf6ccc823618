#pragma once
// Test-only helpers of the export tests: render objects from JSON text, an export into memory, a
// PNG read back into pixels with its header figures, and the poppler tools run as child
// processes on a written PDF.

#include <png.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "Accessors.h"
#include "BarcodeReader.h"
#include "Exporter.h"
#include "Json.h"
#include "MemoryOutputTarget.h"
#include "Runtime.h"

namespace nv::exporttest {

/// One render object from JSON text.
inline Value Obj(std::string_view json) { return DecodeJsonObject(json); }

/// A text render object in Arial 9 pt; extra adds or replaces keys (a later key wins).
inline Value Text(const std::string& id, double x, double y, double w, double h, const std::string& text,
                  const std::string& extra = "") {
  std::string json = R"({"tipo":"texto","id":")" + id + R"(","x":)" + std::to_string(x) + R"(,"y":)" +
                     std::to_string(y) + R"(,"ancho":)" + std::to_string(w) + R"(,"alto":)" + std::to_string(h) +
                     R"(,"texto":)" + EncodeJson(Value(text)) + R"(,"fuente":"Arial","tamano":9)" + extra + "}";
  return Obj(json);
}

/// The words of a text, split at white space.
inline std::vector<std::string> SplitWords(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

/// A page holding the objects.
inline Value Page(std::vector<Value> objects) {
  Value page = Value::NewHash();
  page.Set("objetos", Value::FromArray(std::move(objects)));
  return page;
}

struct Exported {
  out::ExportResult result;
  out::MemoryOutputTarget target;

  bool HasWarning(std::string_view code, std::string_view id = {}) const {
    for (const out::ExportWarning& w : result.warnings) {
      if (w.code == code && (id.empty() || w.id == id)) return true;
    }
    return false;
  }
};

/// Exports pages of w x h millimetres in the format of options.
inline std::unique_ptr<Exported> Export(const std::vector<Value>& pages, out::ExportOptions options, double w = 100,
                                        double h = 60, std::string_view mode = "fixed") {
  auto exported = std::make_unique<Exported>();
  if (!options.creationTime) options.creationTime = 0;
  out::Exporter exporter(options, exported->target);
  exporter.Begin(w, h, mode);
  for (const Value& page : pages) exporter.AddPage(page);
  exported->result = exporter.Finish();
  return exported;
}

inline out::ExportOptions Png(double dpi) {
  out::ExportOptions options;
  options.format = out::Format::Png;
  options.dpi = dpi;
  return options;
}

inline out::ExportOptions Pdf() { return out::ExportOptions{}; }

/// RGB pixels of a PNG, with the figures of its header chunks.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;
  uint32_t pixelsPerMetre = 0;
  bool hasTime = false;

  const uint8_t* At(int x, int y) const { return &rgb[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3]; }
  /// The pixel at a point given in millimetres at dpi.
  const uint8_t* AtMm(double x, double y, double dpi) const {
    return At(static_cast<int>(x / 25.4 * dpi), static_cast<int>(y / 25.4 * dpi));
  }
  bool Dark(int x, int y) const { return At(x, y)[0] + At(x, y)[1] + At(x, y)[2] < 3 * 128; }
  reader::Bitmap Gray() const {
    reader::Bitmap bitmap{width, height, {}};
    bitmap.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (size_t i = 0; i < bitmap.pixels.size(); ++i) {
      bitmap.pixels[i] = static_cast<uint8_t>((rgb[i * 3] + rgb[i * 3 + 1] + rgb[i * 3 + 2]) / 3);
    }
    return bitmap;
  }
  /// The part of the image inside a box given in millimetres at dpi, widened by margin pixels.
  reader::Bitmap Crop(double x, double y, double w, double h, double dpi, int margin = 0) const {
    reader::Bitmap full = Gray();
    int x0 = std::max(0, static_cast<int>(x / 25.4 * dpi) - margin), y0 = std::max(0, static_cast<int>(y / 25.4 * dpi) - margin);
    int x1 = std::min(width, static_cast<int>((x + w) / 25.4 * dpi) + margin);
    int y1 = std::min(height, static_cast<int>((y + h) / 25.4 * dpi) + margin);
    reader::Bitmap crop{x1 - x0, y1 - y0, {}};
    for (int yy = y0; yy < y1; ++yy) {
      for (int xx = x0; xx < x1; ++xx) crop.pixels.push_back(full.pixels[static_cast<size_t>(yy) * static_cast<size_t>(width) + static_cast<size_t>(xx)]);
    }
    return crop;
  }
};

inline uint32_t BigEndian(const std::string& bytes, size_t at) {
  return (static_cast<uint32_t>(static_cast<uint8_t>(bytes[at])) << 24) |
         (static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 1])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 2])) << 8) | static_cast<uint8_t>(bytes[at + 3]);
}

/// Reads a PNG; an image of width 0 when it does not decode.
inline Image ReadPng(const std::string& bytes) {
  Image image;
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&png, bytes.data(), bytes.size())) return image;
  png.format = PNG_FORMAT_RGB;
  image.rgb.resize(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, image.rgb.data(), 0, nullptr)) return Image{};
  image.width = static_cast<int>(png.width);
  image.height = static_cast<int>(png.height);
  for (size_t at = 8; at + 8 <= bytes.size();) {
    uint32_t length = BigEndian(bytes, at);
    std::string type = bytes.substr(at + 4, 4);
    if (type == "pHYs") image.pixelsPerMetre = BigEndian(bytes, at + 8);
    if (type == "tIME") image.hasTime = true;
    at += 12 + length;
  }
  return image;
}

/// Runs a shell command and returns its standard output; the exit code in status.
inline std::string RunCommand(const std::string& command, int& status) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    status = -1;
    return out;
  }
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  int raw = pclose(pipe);
  status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}

/// A word as pdftotext -bbox places it, in millimetres.
struct Word {
  std::string text;
  double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
};

/// The words of a PDF's first page with their boxes.
inline std::vector<Word> PdfWords(const std::string& pdf) {
  std::string path = CreateTempFile("norvane_export_", ".pdf");
  WriteFile(path, pdf);
  int status = 0;
  std::string html = RunCommand("pdftotext -f 1 -l 1 -bbox '" + path + "' - 2>/dev/null", status);
  DeleteFile(path);
  std::vector<Word> words;
  static const std::regex word(R"re(<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="([0-9.]+)" yMax="([0-9.]+)">([^<]*)</word>)re");
  const double mm = 25.4 / 72.0;
  for (auto it = std::sregex_iterator(html.begin(), html.end(), word); it != std::sregex_iterator(); ++it) {
    words.push_back({(*it)[5].str(), std::stod((*it)[1].str()) * mm, std::stod((*it)[2].str()) * mm,
                     std::stod((*it)[3].str()) * mm, std::stod((*it)[4].str()) * mm});
  }
  return words;
}

/// Runs a poppler tool (or another program) on the bytes written to a temporary file with the
/// given extension; "{}" in the command is the file.
inline std::string RunOnFile(const std::string& bytes, const std::string& extension, const std::string& command,
                             int& status) {
  std::string path = CreateTempFile("norvane_export_", extension);
  WriteFile(path, bytes);
  std::string line = std::regex_replace(command, std::regex("\\{\\}"), "'" + path + "'");
  std::string out = RunCommand(line, status);
  DeleteFile(path);
  return out;
}

}  // namespace nv::exporttest

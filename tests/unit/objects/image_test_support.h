#pragma once
// A private temporary folder for the image tests, made the working directory while a test runs
// (resolution reads paths relative to it), and a file reader that counts the reads it passes on.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "Runtime.h"
#include "objects/TImageUtil.h"

namespace nv::testing_support {

// The leading bytes of each recognised format, padded to a plausible small file.
inline std::string PngBytes() { return std::string("\x89PNG\r\n\x1a\n", 8) + std::string("\0\0\0\rIHDR", 8) + "rest"; }
inline std::string JpegBytes() { return std::string("\xFF\xD8\xFF\xE0", 4) + "JFIF"; }
inline std::string WebpBytes() { return std::string("RIFF\x10\0\0\0WEBPVP8 ", 16); }

inline int& FileReads() {
  static int reads = 0;
  return reads;
}

inline FileReadStatus CountingReader(const std::string& path, size_t maxBytes, std::string& bytes) {
  ++FileReads();
  return ReadBinaryFileLimited(path, maxBytes, bytes);
}

class ImageFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/nv_image_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder = pattern;
    previous = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    FileReads() = 0;
    previousReader = TImageUtil::SetFileReader(&CountingReader);
  }
  void TearDown() override {
    TImageUtil::SetFileReader(previousReader);
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(folder);
  }

  /// Writes bytes to a path relative to the folder, creating its directories; returns the path.
  std::string Write(const std::string& relative, const std::string& bytes) {
    std::filesystem::path path = std::filesystem::path(folder) / relative;
    std::filesystem::create_directories(path.parent_path());
    EXPECT_TRUE(WriteFile(path.string(), bytes));
    return path.string();
  }

  std::string folder;
  std::filesystem::path previous;
  TImageUtil::FileReader previousReader = nullptr;
};

}  // namespace nv::testing_support

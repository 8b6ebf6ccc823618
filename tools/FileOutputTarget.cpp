#include "FileOutputTarget.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <regex>

namespace nv::cli {

FileOutputTarget::FileOutputTarget(std::string pattern, int64_t pageCount)
    : pattern_(std::move(pattern)), pageCount_(pageCount) {}

std::string FileOutputTarget::NameOf(int64_t index) const {
  if (index == 0 || pattern_ == "-") return pattern_;
  static const std::regex placeholder("%(0([1-9]))?d");
  std::smatch match;
  if (std::regex_search(pattern_, match, placeholder)) {
    int width = match[2].matched ? std::stoi(match[2].str()) : 0;
    char number[32];
    std::snprintf(number, sizeof number, "%0*lld", width, static_cast<long long>(index));
    return match.prefix().str() + number + match.suffix().str();
  }
  if (pageCount_ <= 1) return pattern_;
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, "-%04lld", static_cast<long long>(index));
  size_t slash = pattern_.find_last_of('/');
  size_t dot = pattern_.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return pattern_ + suffix;
  return pattern_.substr(0, dot) + suffix + pattern_.substr(dot);
}

std::ostream* FileOutputTarget::Open(int64_t index, std::string& error) {
  current_ = NameOf(index);
  if (current_ == "-") return &std::cout;
  file_ = std::make_unique<std::ofstream>(current_, std::ios::binary | std::ios::trunc);
  if (!*file_) {
    error = current_ + ": cannot be written (" + std::strerror(errno) + ")";
    return nullptr;
  }
  return file_.get();
}

bool FileOutputTarget::Close(int64_t, std::string& error) {
  bool ok = true;
  if (current_ == "-") {
    ok = static_cast<bool>(std::cout.flush());
  } else if (file_) {
    file_->close();
    ok = !file_->fail();
    file_.reset();
  }
  if (!ok) {
    error = current_ + ": cannot be written";
    return false;
  }
  written_.push_back(current_);
  return true;
}

}  // namespace nv::cli

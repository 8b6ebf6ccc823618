#include "output/PageSpool.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "Runtime.h"

namespace nv {

PageSpool::PageSpool(std::string_view prefix, int64_t fileLimit)
    : prefix_(prefix), fileLimit_(fileLimit > 0 ? fileLimit : kDefaultFileLimit) {}

PageSpool::~PageSpool() { DeleteAll(); }

bool PageSpool::WriteAt(int fd, std::string_view bytes, int64_t offset) {
  const char* data = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    ssize_t written = ::pwrite(fd, data, left, static_cast<off_t>(offset));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    left -= static_cast<size_t>(written);
    offset += written;
  }
  return true;
}

bool PageSpool::StartFile() {
  std::string path = CreateTempFile(prefix_, "");
  if (path.empty()) return false;
  int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) {
    DeleteFile(path);
    return false;
  }
  files_.insert(path);
  currentPath_ = std::move(path);
  currentFd_ = fd;
  currentEnd_ = 0;
  return true;
}

bool PageSpool::CurrentStillNamed() const {
  // Pages written to a file someone removed could never be read back by its name.
  struct stat info {};
  return currentFd_ >= 0 && ::fstat(currentFd_, &info) == 0 && info.st_nlink > 0;
}

void PageSpool::CloseCurrent() {
  if (currentFd_ >= 0) ::close(currentFd_);
  currentFd_ = -1;
  currentPath_.clear();
  currentEnd_ = 0;
}

std::optional<PageSpool::Slice> PageSpool::Append(std::string_view bytes) {
  const auto size = static_cast<int64_t>(bytes.size());
  const bool full = currentEnd_ > 0 && currentEnd_ + size > fileLimit_;
  if (currentFd_ < 0 || full || !CurrentStillNamed()) {
    CloseCurrent();
    if (!StartFile()) return std::nullopt;
  }
  if (!WriteAt(currentFd_, bytes, currentEnd_)) {
    // A file that holds no page yet is removed; otherwise the partial page is cut off again (should
    // that fail, its bytes only sit unread behind the last whole page). The next page tries a
    // fresh file: the failure may belong to this one (its size limit, say).
    const std::string path = currentPath_;
    if (currentEnd_ == 0) {
      CloseCurrent();
      DeleteFile(path);
      files_.erase(path);
    } else {
      [[maybe_unused]] const int cut = ::ftruncate(currentFd_, static_cast<off_t>(currentEnd_));
      CloseCurrent();
    }
    return std::nullopt;
  }
  Slice slice{currentPath_, currentEnd_, size};
  currentEnd_ += size;
  return slice;
}

std::optional<PageSpool::Slice> PageSpool::Overwrite(const Slice& slice, std::string_view bytes) {
  const auto size = static_cast<int64_t>(bytes.size());
  if (!Owns(slice.path) || slice.offset < 0 || size > slice.bytes) return std::nullopt;
  const bool current = slice.path == currentPath_;
  if (current && !CurrentStillNamed()) return std::nullopt;
  int fd = current ? currentFd_ : ::open(slice.path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  // Only a slice inside the file is rewritten: a stub edited to point elsewhere cannot make the
  // spool write past the pages it holds.
  struct stat info {};
  const bool inside = ::fstat(fd, &info) == 0 && slice.offset <= info.st_size && slice.bytes <= info.st_size - slice.offset;
  const bool written = inside && WriteAt(fd, bytes, slice.offset);
  if (!current) ::close(fd);
  if (!written) return std::nullopt;
  return Slice{slice.path, slice.offset, size};
}

std::optional<std::string> PageSpool::Read(const Slice& slice) const {
  if (!Owns(slice.path) || slice.offset < 0 || slice.bytes < 0) return std::nullopt;
  int fd = ::open(slice.path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  // The slice comes from a stub anyone can edit: never size a buffer beyond what the file holds.
  struct stat info {};
  if (::fstat(fd, &info) != 0 || slice.offset > info.st_size || slice.bytes > info.st_size - slice.offset) {
    ::close(fd);
    return std::nullopt;
  }
  std::string bytes(static_cast<size_t>(slice.bytes), '\0');
  size_t got = 0;
  while (got < bytes.size()) {
    const auto at = static_cast<off_t>(slice.offset + static_cast<int64_t>(got));
    ssize_t n = ::pread(fd, bytes.data() + got, bytes.size() - got, at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  if (got < bytes.size()) return std::nullopt;
  return bytes;
}

void PageSpool::DeleteAll() {
  CloseCurrent();
  for (const std::string& path : files_) DeleteFile(path);
  files_.clear();
}

}  // namespace nv

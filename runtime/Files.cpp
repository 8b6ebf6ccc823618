// Whole-file reads and writes, temporary files and paths.
#include "Runtime.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

namespace nv {

namespace {

// True when path names a regular file; a FIFO, device or directory is never opened, so a read
// cannot block on it.
bool IsRegularFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Reads a regular file whole when it holds at most maxBytes bytes. The file is checked before it
// is opened and opened non-blocking, so a name swapped for a FIFO in between cannot block either.
FileReadStatus ReadWhole(const std::string& path, size_t maxBytes, std::string& bytes) {
  bytes.clear();
  if (!IsUsablePath(path) || !IsRegularFile(path)) return FileReadStatus::Missing;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return FileReadStatus::Missing;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return FileReadStatus::Missing;
  }
  if (static_cast<uint64_t>(info.st_size) > maxBytes) {
    ::close(fd);
    return FileReadStatus::TooLarge;
  }
  bytes.reserve(static_cast<size_t>(info.st_size));
  FileReadStatus status = FileReadStatus::Ok;
  char buffer[65536];
  for (;;) {
    ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      status = FileReadStatus::Missing;
      break;
    }
    if (got == 0) break;
    // A file that grows while it is read is held to the same limit.
    if (bytes.size() + static_cast<size_t>(got) > maxBytes) {
      status = FileReadStatus::TooLarge;
      break;
    }
    bytes.append(buffer, static_cast<size_t>(got));
  }
  ::close(fd);
  if (status != FileReadStatus::Ok) bytes.clear();
  return status;
}

std::string ReadWhole(const std::string& path) {
  std::string bytes;
  ReadWhole(path, std::numeric_limits<size_t>::max(), bytes);
  return bytes;
}

std::string TempDirectory() {
  const char* dir = std::getenv("TMPDIR");
  std::string path = dir && *dir ? dir : "/tmp";
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

bool IsUsablePath(std::string_view path) {
  return !path.empty() && path.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
}

FileReadStatus ReadBinaryFileLimited(const std::string& path, size_t maxBytes, std::string& bytes) {
  return ReadWhole(path, maxBytes, bytes);
}

std::string ReadTextFile(const std::string& path) {
  std::string bytes = ReadWhole(path);
  // Files written by older tools may end with the byte 26 end-of-file mark.
  if (!bytes.empty() && bytes.back() == '\x1a') bytes.pop_back();
  return bytes;
}

std::string ReadBinaryFile(const std::string& path) { return ReadWhole(path); }

bool WriteFile(const std::string& path, std::string_view bytes) {
  if (!IsUsablePath(path)) return false;
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const char* data = bytes.data();
  size_t left = bytes.size();
  bool ok = true;
  while (left > 0) {
    ssize_t written = ::write(fd, data, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      ok = false;
      break;
    }
    data += written;
    left -= static_cast<size_t>(written);
  }
  if (::close(fd) != 0) ok = false;
  return ok;
}

bool FileExists(const std::string& path) {
  return IsUsablePath(path) && IsRegularFile(path);
}

bool DeleteFile(const std::string& path) { return IsUsablePath(path) && ::unlink(path.c_str()) == 0; }

std::string CreateTempFile(std::string_view prefix, std::string_view extension) {
  // A prefix must not lead the file out of the temporary directory.
  std::string safePrefix;
  for (char c : prefix) safePrefix += c == '/' ? '_' : c;
  std::string suffix;
  if (!extension.empty()) {
    if (extension.front() != '.') suffix = ".";
    for (char c : extension) suffix += c == '/' ? '_' : c;
  }
  std::string pattern = TempDirectory() + "/" + safePrefix + "XXXXXX" + suffix;
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  // mkstemps creates the file exclusively with mode 0600, so no other user can read spooled pages.
  int fd = ::mkstemps(buffer.data(), static_cast<int>(suffix.size()));
  if (fd < 0) return "";
  ::close(fd);
  return std::string(buffer.data());
}

std::string DirPart(std::string_view path) {
  size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? "" : std::string(path.substr(0, slash + 1));
}

std::string_view PathSeparator() { return "/"; }
std::string_view LineTerminator() { return "\r\n"; }

}  // namespace nv

#pragma once
// The temporary files a rendered document spools its pages into. Pages are appended one after
// another to a spool file, which is replaced by a fresh one once it has grown past a size limit:
// creating and deleting a file per page costs far more on a disk file system than writing the
// page itself, and a long run of labels spools thousands of pages.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace nv {

class PageSpool {
 public:
  /// Where one stored page lies: its file, the byte offset in it and the byte count.
  struct Slice {
    std::string path;
    int64_t offset = 0;
    int64_t bytes = 0;
  };

  /// Size past which the next page goes to a new file.
  static constexpr int64_t kDefaultFileLimit = int64_t{64} << 20;

  /// Spool files are created in the system temporary directory, their names beginning with prefix.
  explicit PageSpool(std::string_view prefix, int64_t fileLimit = kDefaultFileLimit);
  PageSpool(const PageSpool&) = delete;
  PageSpool& operator=(const PageSpool&) = delete;
  /// Deletes every spool file.
  ~PageSpool();

  /// Appends bytes to the current spool file, starting a new file first when there is none yet or
  /// the current one is full. Nothing is lost on failure: a partial write is cut off again, so the
  /// pages already in the file stay readable; a file left empty is deleted.
  std::optional<Slice> Append(std::string_view bytes);
  /// Writes bytes over a slice of a file of this spool when they fit in it; returns the slice now
  /// holding them, or nothing when they do not fit or cannot be written.
  std::optional<Slice> Overwrite(const Slice& slice, std::string_view bytes);
  /// The bytes of a slice; nothing when the file is not this spool's or cannot be read whole.
  std::optional<std::string> Read(const Slice& slice) const;
  /// True when path names a spool file this spool created and has not deleted.
  bool Owns(const std::string& path) const { return files_.count(path) > 0; }
  /// Closes the current file and deletes every spool file.
  void DeleteAll();
  /// Number of spool files held.
  size_t FileCount() const { return files_.size(); }

 private:
  bool StartFile();
  void CloseCurrent();
  /// True while the current file is open and still has a name in the file system.
  bool CurrentStillNamed() const;
  /// Writes all of bytes at offset; false when the file takes fewer.
  static bool WriteAt(int fd, std::string_view bytes, int64_t offset);

  std::string prefix_;
  int64_t fileLimit_;
  std::unordered_set<std::string> files_;
  std::string currentPath_;
  int currentFd_ = -1;
  int64_t currentEnd_ = 0;
};

}  // namespace nv

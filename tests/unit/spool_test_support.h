#pragma once
// A private temporary directory for the spooling tests.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace nv::testing_support {

// Points TMPDIR at a fresh private directory for one test, so spool files can be counted exactly.
class SpoolDir {
 public:
  SpoolDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "norvane_spool_XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    path_ = mkdtemp(buffer.data());
    const char* old = std::getenv("TMPDIR");
    hadOld_ = old != nullptr;
    if (old) old_ = old;
    setenv("TMPDIR", path_.c_str(), 1);
  }
  ~SpoolDir() {
    if (hadOld_) setenv("TMPDIR", old_.c_str(), 1);
    else unsetenv("TMPDIR");
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& Path() const { return path_; }
  int SpoolFiles() const {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
      if (entry.path().filename().string().rfind("vbk_ir_", 0) == 0) ++count;
    }
    return count;
  }

 private:
  std::string path_;
  std::string old_;
  bool hadOld_ = false;
};

}  // namespace nv::testing_support

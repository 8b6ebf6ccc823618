#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "PageSpool.h"
#include "Runtime.h"

using namespace nv;

namespace {

// A private temporary directory for one test, made the process's TMPDIR while the test runs.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "norvane_pagespool_XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    path_ = mkdtemp(buffer.data());
    const char* old = std::getenv("TMPDIR");
    if (old) old_ = old;
    hadOld_ = old != nullptr;
    setenv("TMPDIR", path_.c_str(), 1);
  }
  ~TempDir() {
    if (hadOld_) setenv("TMPDIR", old_.c_str(), 1);
    else unsetenv("TMPDIR");
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  size_t Files() const {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(path_)) ++count;
    return count;
  }

 private:
  std::string path_;
  std::string old_;
  bool hadOld_ = false;
};

std::string Page(int n) { return "page " + std::to_string(n) + std::string(static_cast<size_t>(n % 7) * 13, '#'); }

}  // namespace

TEST(PageSpool, PagesFillFilesUpToTheLimitAndReadBackExactly) {
  TempDir dir;
  PageSpool spool("vbk_ir_", 100);
  std::vector<PageSpool::Slice> slices;
  for (int n = 0; n < 40; ++n) {
    auto slice = spool.Append(Page(n));
    ASSERT_TRUE(slice) << n;
    slices.push_back(*slice);
  }
  // Each file holds whole pages and stays within the limit unless one page alone exceeds it.
  EXPECT_GT(spool.FileCount(), 5u);
  EXPECT_EQ(dir.Files(), spool.FileCount());
  for (const auto& slice : slices) {
    EXPECT_TRUE(spool.Owns(slice.path));
    EXPECT_LE(slice.offset + slice.bytes, 100);
  }
  for (int n = 0; n < 40; ++n) EXPECT_EQ(spool.Read(slices[static_cast<size_t>(n)]).value_or("?"), Page(n));

  // A page larger than the limit gets a file of its own.
  std::string big(250, 'b');
  auto bigSlice = spool.Append(big);
  ASSERT_TRUE(bigSlice);
  EXPECT_EQ(bigSlice->offset, 0);
  EXPECT_EQ(spool.Read(*bigSlice).value_or("?"), big);
  auto after = spool.Append("next");
  ASSERT_TRUE(after);
  EXPECT_NE(after->path, bigSlice->path);

  spool.DeleteAll();
  EXPECT_EQ(dir.Files(), 0u);
  EXPECT_FALSE(spool.Read(slices[0]));
}

TEST(PageSpool, OverwriteOnlyInsideItsOwnSliceAndFiles) {
  TempDir dir;
  PageSpool spool("vbk_ir_");
  auto a = spool.Append("aaaaaaaa");
  auto b = spool.Append("bbbbbbbb");
  ASSERT_TRUE(a && b);
  auto shorter = spool.Overwrite(*a, "xyz");
  ASSERT_TRUE(shorter);
  EXPECT_EQ(shorter->bytes, 3);
  EXPECT_EQ(spool.Read(*shorter).value_or("?"), "xyz");
  EXPECT_EQ(spool.Read(*b).value_or("?"), "bbbbbbbb");
  EXPECT_FALSE(spool.Overwrite(*shorter, "wxyz"));  // longer than its slice now

  // Slices naming files the spool did not create, or reaching outside a file, are refused.
  std::string foreign = CreateTempFile("other_", "");
  ASSERT_TRUE(WriteFile(foreign, "keep"));
  EXPECT_FALSE(spool.Read({foreign, 0, 4}));
  EXPECT_FALSE(spool.Overwrite({foreign, 0, 4}, "gone"));
  EXPECT_EQ(ReadBinaryFile(foreign), "keep");
  EXPECT_FALSE(spool.Read({b->path, 12, 8}));
  EXPECT_FALSE(spool.Overwrite({b->path, 12, 8}, "x"));
  EXPECT_FALSE(spool.Read({b->path, -1, 2}));

  // The spool deletes its own files when it goes, and nothing else.
  const std::string path = a->path;
  {
    PageSpool other("vbk_ir_");
    ASSERT_TRUE(other.Append("z"));
  }
  EXPECT_EQ(dir.Files(), 2u);
  spool.DeleteAll();
  EXPECT_FALSE(FileExists(path));
  EXPECT_TRUE(FileExists(foreign));
}

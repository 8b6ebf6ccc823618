#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "output/PageSpool.h"
#include "Runtime.h"
#include "spool_test_support.h"

using namespace nv;
using nv::testing_support::SpoolDir;

namespace {

std::string Page(int n) { return "page " + std::to_string(n) + std::string(static_cast<size_t>(n % 7) * 13, '#'); }

}  // namespace

TEST(PageSpool, PagesFillFilesUpToTheLimitAndReadBackExactly) {
  SpoolDir dir;
  PageSpool spool("vbk_ir_", 100);
  std::vector<PageSpool::Slice> slices;
  for (int n = 0; n < 40; ++n) {
    auto slice = spool.Append(Page(n));
    ASSERT_TRUE(slice) << n;
    slices.push_back(*slice);
  }
  // Each file holds whole pages and stays within the limit unless one page alone exceeds it.
  EXPECT_GT(spool.FileCount(), 5u);
  EXPECT_EQ(static_cast<size_t>(dir.SpoolFiles()), spool.FileCount());
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
  EXPECT_EQ(dir.SpoolFiles(), 0);
  EXPECT_FALSE(spool.Read(slices[0]));
}

TEST(PageSpool, OverwriteOnlyInsideItsOwnSliceAndFiles) {
  SpoolDir dir;
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
  EXPECT_EQ(dir.SpoolFiles(), 1);
  spool.DeleteAll();
  EXPECT_FALSE(FileExists(path));
  EXPECT_TRUE(FileExists(foreign));
}

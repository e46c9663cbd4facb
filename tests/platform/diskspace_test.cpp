#include "platform/diskspace.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace zq {
namespace {

TEST(StatvfsDiskSpace, ReadsTheFileSystemOfAFolderAndFailsForAMissingOne) {
  StatvfsDiskSpace disk;
  DiskFigures f;
  const char* tmp = std::getenv("TMPDIR");
  ASSERT_TRUE(disk.Query(tmp != nullptr ? tmp : "/tmp", f));
  EXPECT_GT(f.totalBytes, 0u);
  EXPECT_LE(f.freeBytes, f.totalBytes);
  DiskFigures untouched{1, 2};
  EXPECT_FALSE(disk.Query("/no/such/folder/zq", untouched));
  EXPECT_EQ(untouched.totalBytes, 1u);
  EXPECT_EQ(untouched.freeBytes, 2u);
}

}  // namespace
}  // namespace zq

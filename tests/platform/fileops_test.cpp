#include "platform/fileops.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/support/platform/temp_dir.h"

namespace zq {
namespace {

using testing::TempDir;

TEST(RenameNoReplace, NeverReplacesAnExistingFile) {
  TempDir dir;
  dir.Write("2510090200.mp3", "repeated hour");
  dir.Write("2510090200a2510090300.mp3", "first hour");
  std::string error;
  EXPECT_FALSE(RenameNoReplace(dir / "2510090200.mp3", dir / "2510090200a2510090300.mp3", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(dir.Read("2510090200a2510090300.mp3"), "first hour");
  EXPECT_EQ(dir.Read("2510090200.mp3"), "repeated hour");

  EXPECT_TRUE(RenameNoReplace(dir / "2510090200.mp3", dir / "2510090200a2510090310.mp3"));
  EXPECT_EQ(dir.Read("2510090200a2510090310.mp3"), "repeated hour");
  EXPECT_FALSE(FileExists(dir / "2510090200.mp3"));
  EXPECT_FALSE(RenameNoReplace(dir / "missing.mp3", dir / "x.mp3"));
}

TEST(CopyFileReplacing, ReplacesTheTargetAndNeverLeavesAPartialCopyUnderAnyName) {
  TempDir src, dst;
  src.Write("a.mp3", std::string(300000, 'x'));
  dst.Write("a.mp3", "old");
  ASSERT_TRUE(CopyFileReplacing(src / "a.mp3", dst / "a.mp3"));
  EXPECT_EQ(dst.Read("a.mp3"), std::string(300000, 'x'));
  EXPECT_FALSE(std::filesystem::exists(dst / "a.mp3.part"));

  std::string error;
  EXPECT_FALSE(CopyFileReplacing(src / "a.mp3", dst / "no/folder/a.mp3", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(CopyFileReplacing(src / "missing.mp3", dst / "b.mp3"));
  EXPECT_FALSE(std::filesystem::exists(dst / "b.mp3"));
  EXPECT_FALSE(std::filesystem::exists(dst / "b.mp3.part"));
}

TEST(ListFolder, ListsMatchingEntriesWithTheirAgeHiddenOnesAndFolders) {
  TempDir dir;
  dir.Write("1.mp3", "");
  dir.Write(".hidden.MP3", "");
  dir.Write("2.wav", "");
  std::filesystem::create_directory(dir / "x.mp3");
  auto entries = ListFolder(dir.path(), ".mp3");
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, ".hidden.MP3");
  EXPECT_EQ(entries[1].name, "1.mp3");
  EXPECT_EQ(entries[2].name, "x.mp3");
  EXPECT_TRUE(entries[2].isDirectory);
  EXPECT_FALSE(entries[1].isDirectory);
  EXPECT_GT(entries[1].modified, EncodeDate(2020, 1, 1));
  EXPECT_EQ(ListFolder(dir / "missing").size(), 0u);
  EXPECT_EQ(ListFolder(dir.path()).size(), 4u);
}

TEST(FileOps, FoldersArePathsJoinedWithASlash) {
  TempDir dir;
  EXPECT_TRUE(EnsureFolder(dir / "Zelto/Quelvar/Audio"));
  EXPECT_TRUE(std::filesystem::is_directory(dir / "Zelto/Quelvar/Audio"));
  dir.Write("file", "");
  EXPECT_FALSE(EnsureFolder(dir / "file"));
  EXPECT_EQ(JoinPath("/a/b", "c.mp3"), "/a/b/c.mp3");
  EXPECT_EQ(JoinPath("/a/b/", "c.mp3"), "/a/b/c.mp3");
  EXPECT_EQ(JoinPath("", "c.mp3"), "c.mp3");
  EXPECT_EQ(ExecutableFolder().back() == '/', false);
  EXPECT_TRUE(std::filesystem::exists(ExecutableFolder() + "/platform_tests"));
  EXPECT_TRUE(DeleteFile(dir / "file"));
  EXPECT_FALSE(DeleteFile(dir / "file"));
}

}  // namespace
}  // namespace zq

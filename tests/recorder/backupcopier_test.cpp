#include "recorder/backupcopier.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/platform/temp_dir.h"

namespace zq {
namespace {

TEST(BackupCopier, CopiesInOrderOffTheCallersThreadAndFinishesBeforeItGoes) {
  testing::TempDir src, dst;
  std::vector<std::string> done;
  std::thread::id copierThread;
  {
    BackupCopier copier;
    copier.OnCopied = [&](const std::string& to, bool ok) {
      done.push_back(std::filesystem::path(to).filename().string() + (ok ? "" : ":failed"));
      copierThread = std::this_thread::get_id();
    };
    for (int i = 0; i < 5; ++i) {
      src.Write(std::to_string(i) + ".mp3", std::string(100000, static_cast<char>('a' + i)));
      copier.Enqueue(src / (std::to_string(i) + ".mp3"), dst / (std::to_string(i) + ".mp3"));
    }
    copier.Enqueue(src / "missing.mp3", dst / "missing.mp3");
    copier.Enqueue(src / "0.mp3", dst / "no/folder/0.mp3");
  }  // destruction waits for every copy asked for
  EXPECT_EQ(done, (std::vector<std::string>{"0.mp3", "1.mp3", "2.mp3", "3.mp3", "4.mp3",
                                            "missing.mp3:failed", "0.mp3:failed"}));
  EXPECT_NE(copierThread, std::this_thread::get_id());
  EXPECT_EQ(dst.Read("4.mp3"), std::string(100000, 'e'));
  EXPECT_FALSE(std::filesystem::exists(dst / "missing.mp3"));
}

}  // namespace
}  // namespace zq

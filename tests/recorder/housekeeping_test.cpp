#include "recorder/housekeeping.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <filesystem>

#include "platform/fileops.h"
#include "tests/support/platform/manual_time.h"
#include "tests/support/platform/temp_dir.h"

namespace zq {
namespace {

using testing::TempDir;

// Writes a file whose last modification lies `ageSeconds` before now.
void WriteAged(const TempDir& dir, const std::string& name, std::int64_t ageSeconds) {
  dir.Write(name, "x");
  ASSERT_TRUE(testing::SetModified(dir / name, std::time(nullptr) - ageSeconds));
}

TDateTime Now() {
  return FromUnixLocal(std::time(nullptr));
}

TEST(RetentionPass, DeletesRecordingsOlderThanTheRetentionAndNothingElse) {
  constexpr std::int64_t kDay = 86400;
  TempDir dir;
  WriteAged(dir, "old.mp3", 30 * kDay + 60);           // 30 days and one minute
  WriteAged(dir, "young.mp3", 29 * kDay + 23 * 3600);  // 29 days 23 hours
  WriteAged(dir, "old.wav", 40 * kDay);
  std::filesystem::create_directory(dir / "x.mp3");
  DeleteOldRecordings(dir.path(), 30, Now(), "");
  EXPECT_EQ(testing::SortedNames(dir.path()),
            (std::vector<std::string>{"old.wav", "x.mp3", "young.mp3"}));
}

TEST(RetentionPass, DaysZeroDeletesEverythingButTheSegmentBeingWrittenAndFutureFiles) {
  TempDir dir;
  WriteAged(dir, "2512091405a2512091415.mp3", 60);
  WriteAged(dir, "2512091415.mp3", 0);
  WriteAged(dir, "future.mp3", -3600);
  const auto deleted = DeleteOldRecordings(dir.path(), 0, Now() + 1.0 / 86400, "2512091415.mp3");
  EXPECT_EQ(deleted, (std::vector<std::string>{"2512091405a2512091415.mp3"}));
  EXPECT_EQ(testing::SortedNames(dir.path()),
            (std::vector<std::string>{"2512091415.mp3", "future.mp3"}));
  EXPECT_TRUE(DeleteOldRecordings(dir / "missing", 0, Now(), "").empty());
}

TEST(DiskDisplay, ShowsMegabytesAndTheOccupiedShareRoundedHalfToEven) {
  testing::FakeDiskSpace disk;
  const std::uint64_t mb = 1024 * 1024;
  disk.Set(500000 * mb, 200000 * mb + mb - 1);  // the odd bytes do not make a megabyte
  const DiskDisplay d = ReadDiskDisplay(disk, "/srv/audio");
  EXPECT_TRUE(d.known);
  EXPECT_EQ(d.freeMB, 200000);
  EXPECT_EQ(d.totalMB, 500000);
  EXPECT_EQ(d.occupiedPercent, 60);
  EXPECT_EQ(OccupiedPercent(1000, 875), 12);  // 12.5
  EXPECT_EQ(OccupiedPercent(1000, 865), 14);  // 13.5
  EXPECT_EQ(OccupiedPercent(0, 0), 0) << "a disk that reads 0 MB";
  disk.failing = true;
  EXPECT_FALSE(ReadDiskDisplay(disk, "/srv/audio").known);
}

TEST(FreeSpaceGuard, PicksTheOldestFinishedSegmentByAgeNotByName) {
  TempDir dir;
  WriteAged(dir, "0101100005a0101100015.mp3", 5000);  // oldest of the finished, first of the day
  WriteAged(dir, "3112092355a0101100005.mp3", 4000);
  WriteAged(dir, "0101100015.mp3", 9000);            // running (the one being written)
  WriteAged(dir, "notes.mp3", 9999);                 // not a segment
  WriteAged(dir, "0101090000a0101090010.mp3", 100);  // named earliest, written last
  EXPECT_EQ(OldestFinishedSegment(dir.path(), "0101100015.mp3"), "0101100005a0101100015.mp3");
  EXPECT_EQ(OldestFinishedSegment(dir.path(), "0101100005a0101100015.mp3"),
            "3112092355a0101100005.mp3");
  TempDir empty;
  EXPECT_EQ(OldestFinishedSegment(empty.path(), ""), "");
}

TEST(LeftoverSegments, AreFinishedAtTheirLastWriteWithoutReplacingAnything) {
  TempDir dir;
  dir.Write("2512091405.mp3", "crashed");
  ASSERT_TRUE(
      testing::SetModified(dir / "2512091405.mp3", testing::LocalTime(2009, 12, 25, 14, 13)));
  dir.Write("2612091000.mp3", "being written");
  dir.Write("2712091000.mp3", "blocked");
  ASSERT_TRUE(
      testing::SetModified(dir / "2712091000.mp3", testing::LocalTime(2009, 12, 27, 10, 10)));
  dir.Write("2712091000a2712091010.mp3", "already there");

  dir.Write("2712091000a2712091010-2.mp3", "there too");

  auto done = FinishLeftoverSegments(dir.path(), "2612091000.mp3");
  std::sort(done.begin(), done.end());
  // A finished name that is taken gets the first free "-N" form.
  EXPECT_EQ(done,
            (std::vector<std::string>{"2512091405a2512091413.mp3", "2712091000a2712091010-3.mp3"}));
  EXPECT_EQ(dir.Read("2512091405a2512091413.mp3"), "crashed");
  EXPECT_EQ(dir.Read("2712091000a2712091010.mp3"), "already there");
  EXPECT_EQ(dir.Read("2712091000a2712091010-2.mp3"), "there too");
  EXPECT_EQ(dir.Read("2712091000a2712091010-3.mp3"), "blocked");
  EXPECT_FALSE(std::filesystem::exists(dir / "2712091000.mp3"));
  EXPECT_EQ(dir.Read("2612091000.mp3"), "being written");

  // A segment that is not there is not finished under any name.
  EXPECT_EQ(FinishSegmentFile(dir.path(), "2812091000.mp3", "2812091000", "2812091010"), "");
  EXPECT_EQ(testing::SortedNames(dir.path()).size(), 5u);
}

}  // namespace
}  // namespace zq

#include "player/locator.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/segments.h"
#include "tests/support/platform/temp_dir.h"

namespace zq {
namespace {

using testing::TempDir;

// A folder of recordings: files (empty, the locator reads names only) and, for names ending
// in "/", folders.
void Fill(const TempDir& dir, const std::vector<std::string>& entries) {
  for (const std::string& e : entries) {
    if (!e.empty() && e.back() == '/')
      ASSERT_EQ(::mkdir((dir / e).c_str(), 0755), 0) << e;
    else
      dir.Write(e, "");
  }
}

TEST(Locator, PatternsAndOrderIgnoreCaseAndLeaveOutFoldersAndHiddenNames) {
  struct Match {
    const char *name, *pattern;
    bool matches;
  };
  const Match matches[] = {
      {"2512091400a2512091410.mp3", "251209*a251209*.mp3", true},
      {"2512091400A2512091410.MP3", "251209*a251209*.mp3", true},
      {"2512091400a2512091410-2.mp3", "251209*a251209*.mp3", true},
      {"2412092355a2512090005.mp3", "251209*a251209*.mp3", false},
      {"2512091400.mp3", "251209*a251209*.mp3", false},
      {"2512091400a2512091410.mp3.part", "251209*a251209*.mp3", false},
      {"2512091400a2512091410.mp3", "25?209*", true},
      {"a", "*a*", true},
      {"", "*", true},
      {"", "?", false},
  };
  for (const Match& m : matches)
    EXPECT_EQ(MatchesPattern(m.name, m.pattern), m.matches) << m.name << " " << m.pattern;

  TempDir dir;
  Fill(dir,
       {"2512091410a2512091420.mp3", "2512091400A2512091410.MP3", "2512091400a2512091400-2.mp3",
        "2512091400a2512091400-10.mp3", "2512091400a2512091400.mp3", ".2512091300a2512091310.mp3",
        "2512091200a2512091210.mp3/", "2512091405.mp3"});
  EXPECT_EQ(ListMatching(dir.path(), "251209*a251209*.mp3"),
            (std::vector<std::string>{"2512091400a2512091400.mp3", "2512091400a2512091400-2.mp3",
                                      "2512091400a2512091400-10.mp3", "2512091400A2512091410.MP3",
                                      "2512091410a2512091420.mp3"}))
      << "a name's -N copies after it, in the order they were recorded";
  EXPECT_TRUE(ListMatching(dir / "missing", "*").empty());
}

TEST(Locator, PlayFindsTheSegmentCoveringTheMinuteAlsoAcrossMidnight) {
  struct Case {
    const char* what;
    std::vector<std::string> entries;
    int year, month, day, hour, minute;
    TLocateResult result;
    const char* file;  // chosen
    bool midnight;     // found by a search across midnight
  };
  const std::vector<std::string> day = {"2512091400a2512091410.mp3", "2512091410a2512091420.mp3",
                                        "2512091430a2512091440.mp3"};
  const std::vector<std::string> crossing = {"2412092355a2512090010.mp3",
                                             "2512092350a2612090005.mp3"};
  const Case cases[] = {
      {"inside", day, 2009, 12, 25, 14, 7, lrFound, "2512091400a2512091410.mp3", false},
      {"on a shared minute the earlier wins", day, 2009, 12, 25, 14, 10, lrFound,
       "2512091400a2512091410.mp3", false},
      {"at the end", day, 2009, 12, 25, 14, 20, lrFound, "2512091410a2512091420.mp3", false},
      {"in a gap", day, 2009, 12, 25, 14, 25, lrNotFound, "", false},
      {"an empty day", day, 2009, 12, 26, 14, 5, lrNotFound, "", false},
      {"00:03 in the segment from the day before",
       {"2412092355a2512090005.mp3"},
       2009,
       12,
       25,
       0,
       3,
       lrFound,
       "2412092355a2512090005.mp3",
       true},
      {"23:58 in the segment into the next day",
       {"2512092355a2612090005.mp3"},
       2009,
       12,
       25,
       23,
       58,
       lrFound,
       "2512092355a2612090005.mp3",
       true},
      {"00:20 inside a long crossing segment",
       {"2412092330a2512090030.mp3"},
       2009,
       12,
       25,
       0,
       20,
       lrNotFound,
       "",
       false},
      {"00:10 in", crossing, 2009, 12, 25, 0, 10, lrFound, "2412092355a2512090010.mp3", true},
      {"00:11 out", crossing, 2009, 12, 25, 0, 11, lrNotFound, "", false},
      {"23:50 in", crossing, 2009, 12, 25, 23, 50, lrFound, "2512092350a2612090005.mp3", true},
      {"23:49 out", crossing, 2009, 12, 25, 23, 49, lrNotFound, "", false},
      {"a new year",
       {"3112092355a0101100005.mp3"},
       2010,
       1,
       1,
       0,
       3,
       lrFound,
       "3112092355a0101100005.mp3",
       true},
      {"after a leap day",
       {"2902122355a0103120005.mp3"},
       2012,
       3,
       1,
       0,
       5,
       lrFound,
       "2902122355a0103120005.mp3",
       true},
      {"a running name is never played",
       {"2512091405.mp3"},
       2009,
       12,
       25,
       14,
       7,
       lrNotFound,
       "",
       false},
      {"a folder named like a segment is passed over",
       {"2512091400a2512091410.mp3/", "2512091400a2512091410-2.mp3"},
       2009,
       12,
       25,
       14,
       5,
       lrFound,
       "2512091400a2512091410-2.mp3",
       false},
      {".MP3",
       {"2512091400A2512091410.MP3"},
       2009,
       12,
       25,
       14,
       5,
       lrFound,
       "2512091400A2512091410.MP3",
       false},
      {"a stray name fitting the pattern is passed over",
       {"251209-copia-a251209.mp3", "2512092460a2512092470.mp3", "2512091400a2512091410.mp3"},
       2009,
       12,
       25,
       14,
       5,
       lrFound,
       "2512091400a2512091410.mp3",
       false},
      {"the midnight search skips a stray name too",
       {"241209-x-a251209.mp3", "2412092355a2512090005.mp3"},
       2009,
       12,
       25,
       0,
       3,
       lrFound,
       "2412092355a2512090005.mp3",
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    Fill(dir, c.entries);
    TSegmentLocator l;
    l.SelectedFile = "left from before";
    l.MidnightMode = true;
    EXPECT_EQ(l.Request(dir.path(), EncodeDate(c.year, c.month, c.day), c.hour, c.minute),
              c.result);
    EXPECT_EQ(l.SelectedFile, c.file);
    EXPECT_EQ(l.MidnightMode, c.midnight);
    EXPECT_TRUE(l.UserPlay);
    EXPECT_EQ(FormatLongTime(l.TargetTime), FormatLongTime(EncodeTime(c.hour, c.minute, 0)));
    if (c.result == lrFound) {
      TDateTime start, end;
      ASSERT_TRUE(SegmentTimes(c.file, start, end));
      EXPECT_EQ(l.SegmentStart, start);
      EXPECT_EQ(l.SegmentEnd, end);
    }
  }
}

TEST(Locator, AFolderThatIsNotThereIsSaidBeforeAnySearch) {
  TempDir dir;
  dir.Write("file", "");
  for (const std::string& folder : {dir / "missing", dir / "file", std::string()}) {
    TSegmentLocator l;
    l.SelectedFile = "kept";
    EXPECT_EQ(l.Request(folder, EncodeDate(2009, 12, 25), 14, 5), lrNoFolder) << folder;
    EXPECT_EQ(l.SelectedFile, "kept");
    EXPECT_TRUE(l.UserPlay);
  }
}

TEST(Locator, TheContinuationTakesTheNextSegmentOfTheDayAfterTheOneJustPlayed) {
  struct Case {
    const char* what;
    std::vector<std::string> entries;
    const char* finished;  // just played
    const char* next;      // empty: playback ends
  };
  const Case cases[] = {
      {"the next file",
       {"2512091400a2512091410.mp3", "2512091410a2512091420.mp3"},
       "2512091400a2512091410.mp3",
       "2512091410a2512091420.mp3"},
      {"over a gap",
       {"2512091400a2512091410.mp3", "2512091430a2512091440.mp3"},
       "2512091400a2512091410.mp3",
       "2512091430a2512091440.mp3"},
      {"the day's end",
       {"2512091400a2512091410.mp3", "2512092350a2612090000.mp3", "2612090000a2612090010.mp3"},
       "2512091400a2512091410.mp3",
       ""},
      {"a stop and a start in one minute does not loop",
       {"2512091410a2512091410.mp3", "2512091410a2512091410-2.mp3", "2512091410a2512091420.mp3"},
       "2512091410a2512091410.mp3",
       "2512091410a2512091410-2.mp3"},
      {"... and goes on to the next after its copies",
       {"2512091410a2512091410.mp3", "2512091410a2512091410-2.mp3", "2512091410a2512091420.mp3"},
       "2512091410a2512091410-2.mp3",
       "2512091410a2512091420.mp3"},
      {"the segment into the next day does not lead back to the day's start",
       {"2512090005a2512090015.mp3", "2512092355a2612090005.mp3"},
       "2512092355a2612090005.mp3",
       ""},
      {"the segment from the day before leads into the day",
       {"2412092355a2512090005.mp3", "2512090005a2512090015.mp3"},
       "2412092355a2512090005.mp3",
       "2512090005a2512090015.mp3"},
      {"a stray name after it is passed over",
       {"2512091400a2512091410.mp3", "2512091410a25120914xx.mp3", "2512091420a2512091430.mp3"},
       "2512091400a2512091410.mp3",
       "2512091420a2512091430.mp3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    Fill(dir, c.entries);
    TSegmentLocator l;
    l.SelectedFile = c.finished;
    ASSERT_TRUE(SegmentTimes(c.finished, l.SegmentStart, l.SegmentEnd));
    const TDateTime end = l.SegmentEnd;
    EXPECT_EQ(l.Continue(dir.path(), EncodeDate(2009, 12, 25), c.finished), *c.next != '\0');
    EXPECT_EQ(l.SelectedFile, c.next);
    EXPECT_EQ(l.TargetTime, end);
  }
}

}  // namespace
}  // namespace zq

#include "platform/segments.h"

#include <gtest/gtest.h>

namespace zq {
namespace {

TEST(SegmentNames, AreCutFromTheDateAndTimeTexts) {
  struct Case {
    TDateTime at;
    const char* stem;
  };
  const Case cases[] = {
      {EncodeDateTime(2009, 12, 25, 14, 5, 0), "2512091405"},
      {EncodeDateTime(2009, 12, 31, 23, 55, 59, 999), "3112092355"},
      {EncodeDateTime(2010, 1, 1, 0, 5, 0), "0101100005"},
      {EncodeDateTime(2026, 12, 10, 9, 0, 30), "1012260900"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(NameStem(c.at), c.stem);
  EXPECT_EQ(RunningName("2512091405"), "2512091405.mp3");
  EXPECT_EQ(FinishedName("3112092355", "0101100005"), "3112092355a0101100005.mp3");
  EXPECT_EQ(FinishedName("2512091405", "2512091405", 2), "2512091405a2512091405-2.mp3");

  struct NameCase {
    const char* name;
    bool running, finished;
  };
  const NameCase names[] = {
      {"2512091405.mp3", true, false},
      {"2512091405a2512091415.mp3", false, true},
      {"251209140.mp3", false, false},
      {"2512091405.MP3", false, false},
      {"2512091405a251209141.mp3", false, false},
      {"x512091405.mp3", false, false},
      {"2512091405b2512091415.mp3", false, false},
      {"2512091405.mp3.part", false, false},
      {"2512091405a2512091415-2.mp3", false, true},
      {"2512091405a2512091415-12.mp3", false, true},
      {"2512091405a2512091415-.mp3", false, false},
      {"2512091405a2512091415-2x.mp3", false, false},
      {"2512091405a2512091415_2.mp3", false, false},
  };
  for (const auto& n : names) {
    EXPECT_EQ(IsRunningSegmentName(n.name), n.running) << n.name;
    EXPECT_EQ(IsFinishedSegmentName(n.name), n.finished) << n.name;
  }
}

TEST(SegmentNames, ThePlayerReadsTheDayTextAndTheStartAndEndTimes) {
  EXPECT_EQ(DayText(EncodeDate(2009, 12, 25)), "251209");
  EXPECT_EQ(DayText(EncodeDateTime(2010, 1, 1, 23, 59, 59)), "010110");
  EXPECT_EQ(DayText(EncodeDate(2012, 3, 1) - 1), "290212");

  struct Case {
    const char* name;
    bool read;
    int startHour, startMinute, endHour, endMinute;
  };
  const Case cases[] = {
      {"2512091405a2512091415.mp3", true, 14, 5, 14, 15},
      {"3112092355a0101100005.mp3", true, 23, 55, 0, 5},
      {"2512091405a2512091405-2.mp3", true, 14, 5, 14, 5},  // the suffix of a name taken
      {"2512091405A2512091415.MP3", true, 14, 5, 14, 15},
      {"2512092400a2512092410.mp3", false, 0, 0, 0, 0},  // not a time of day
      {"2512091460a2512091510.mp3", false, 0, 0, 0, 0},
      {"2512091405a2512091475.mp3", false, 0, 0, 0, 0},
      {"251209xx05a2512091415.mp3", false, 0, 0, 0, 0},
      {"2512091405a25120914.mp3", false, 0, 0, 0, 0},
      {"2512091405.mp3", false, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    TDateTime start = -1, end = -1;
    EXPECT_EQ(SegmentTimes(c.name, start, end), c.read) << c.name;
    if (c.read) {
      EXPECT_EQ(FormatLongTime(start), FormatLongTime(EncodeTime(c.startHour, c.startMinute, 0)))
          << c.name;
      EXPECT_EQ(FormatLongTime(end), FormatLongTime(EncodeTime(c.endHour, c.endMinute, 0)))
          << c.name;
    } else {
      EXPECT_EQ(start, -1) << c.name << ": nothing written";
      EXPECT_EQ(end, -1) << c.name;
    }
  }
}

}  // namespace
}  // namespace zq

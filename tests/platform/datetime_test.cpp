#include "platform/datetime.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace zq {
namespace {

struct DateCase {
  int y, m, d;
  double serial;
};

TEST(DateTime, EncodesDaysFromTheEpochAndDecodesThemBack) {
  const DateCase cases[] = {
      {1899, 12, 30, 0},     {1899, 12, 31, 1},    {1900, 1, 1, 2},
      {1900, 3, 1, 61},      {2000, 2, 29, 36585}, {2009, 12, 25, 40172},
      {2009, 12, 31, 40178}, {2010, 1, 1, 40179},  {2026, 12, 10, 46366},
  };
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(EncodeDate(c.y, c.m, c.d), c.serial) << c.y << "-" << c.m << "-" << c.d;
    const DateParts p = DecodeDate(c.serial + 0.75);
    EXPECT_EQ(p.year, c.y);
    EXPECT_EQ(p.month, c.m);
    EXPECT_EQ(p.day, c.d);
  }
}

TEST(DateTime, RefusesDatesAndTimesThatDoNotExist) {
  EXPECT_THROW(EncodeDate(2009, 2, 29), std::invalid_argument);
  EXPECT_THROW(EncodeDate(2009, 13, 1), std::invalid_argument);
  EXPECT_THROW(EncodeDate(2009, 0, 1), std::invalid_argument);
  EXPECT_NO_THROW(EncodeDate(2008, 2, 29));
  EXPECT_THROW(EncodeTime(24, 0, 0), std::invalid_argument);
  EXPECT_THROW(EncodeTime(0, 60, 0), std::invalid_argument);
  EXPECT_THROW(EncodeTime(0, 0, 0, 1000), std::invalid_argument);
}

TEST(DateTime, FormatsTheShortDateAndTheLongTime) {
  const TDateTime t = EncodeDateTime(2009, 12, 25, 14, 5, 9, 999);
  EXPECT_EQ(FormatShortDate(t), "25/12/2009");
  EXPECT_EQ(FormatLongTime(t), "14:05:09");
  EXPECT_EQ(FormatLongTime(EncodeTime(0, 0, 0)), "00:00:00");
  EXPECT_EQ(FormatLongTime(EncodeTime(23, 59, 59, 999)), "23:59:59");
  EXPECT_EQ(FormatShortDate(EncodeDate(2010, 1, 1) + EncodeTime(0, 5, 0)), "01/01/2010");
}

TEST(DateTime, DecodingRoundsToTheMillisecondSoSumsOfSpansLandOnTheirMinute) {
  // Ten minutes added sixty times over a day boundary, as the recorder adds spans.
  TDateTime t = EncodeDateTime(2009, 12, 31, 23, 55, 0);
  for (int i = 0; i < 60; ++i)
    t += EncodeTime(0, 10, 0) / 60.0;
  EXPECT_EQ(FormatShortDate(t), "01/01/2010");
  EXPECT_EQ(FormatLongTime(t), "00:05:00");
  // A hair below midnight is midnight of the next day, never 23:59:59.
  EXPECT_EQ(FormatLongTime(EncodeDate(2009, 12, 31) + 0.99999999999), "00:00:00");
  EXPECT_EQ(FormatShortDate(EncodeDate(2009, 12, 31) + 0.99999999999), "01/01/2010");
  const TimeParts p = DecodeTime(EncodeTime(12, 34, 56, 789));
  EXPECT_EQ(p.hour, 12);
  EXPECT_EQ(p.minute, 34);
  EXPECT_EQ(p.second, 56);
  EXPECT_EQ(p.msec, 789);
  EXPECT_DOUBLE_EQ(DateOf(40172.75), 40172);
  EXPECT_DOUBLE_EQ(TimeOf(40172.75), 0.75);
}

TEST(DateTime, LocalTimeConversionKeepsTheBrokenDownFields) {
  std::tm tm{};
  tm.tm_year = 109;
  tm.tm_mon = 11;
  tm.tm_mday = 25;
  tm.tm_hour = 14;
  tm.tm_min = 5;
  tm.tm_sec = 60;  // a leap second reads as :59
  const TDateTime t = FromLocalTm(tm);
  EXPECT_EQ(FormatShortDate(t), "25/12/2009");
  EXPECT_EQ(FormatLongTime(t), "14:05:59");
}

}  // namespace
}  // namespace zq

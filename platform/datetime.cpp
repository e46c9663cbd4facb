#include "platform/datetime.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace zq {
namespace {

bool IsLeapYear(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return (m == 2 && IsLeapYear(y)) ? 29 : kDays[m - 1];
}

// Serial day number of a date of the proleptic Gregorian calendar (Howard Hinnant's algorithm);
// only differences of two such numbers are used.
std::int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe);
}

const std::int64_t kEpochDays = DaysFromCivil(1899, 12, 30);

DateParts CivilFromDays(std::int64_t z) {
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  DateParts p;
  p.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  p.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  p.year = static_cast<int>(yoe + era * 400 + (p.month <= 2));
  return p;
}

// Whole milliseconds since the epoch, split into the day and the millisecond of that day.
void Split(TDateTime value, std::int64_t& day, std::int64_t& msOfDay) {
  const auto total =
      static_cast<std::int64_t>(std::llround(value * static_cast<double>(kMSecsPerDay)));
  day = total / kMSecsPerDay;
  msOfDay = total % kMSecsPerDay;
  if (msOfDay < 0) {
    msOfDay += kMSecsPerDay;
    --day;
  }
}

}  // namespace

TDateTime EncodeDate(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month))
    throw std::invalid_argument("Invalid argument to date encode");
  return static_cast<double>(DaysFromCivil(year, month, day) - kEpochDays);
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
  if (hour < 0 || hour >= 24 || minute < 0 || minute >= 60 || second < 0 || second >= 60 ||
      msec < 0 || msec >= 1000)
    throw std::invalid_argument("Invalid argument to time encode");
  const std::int64_t ms = ((hour * 60LL + minute) * 60 + second) * 1000 + msec;
  return static_cast<double>(ms) / static_cast<double>(kMSecsPerDay);
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec) {
  return EncodeDate(year, month, day) + EncodeTime(hour, minute, second, msec);
}

DateParts DecodeDate(TDateTime value) {
  std::int64_t day, ms;
  Split(value, day, ms);
  return CivilFromDays(day + kEpochDays);
}

TimeParts DecodeTime(TDateTime value) {
  std::int64_t day, ms;
  Split(value, day, ms);
  TimeParts t;
  t.msec = static_cast<int>(ms % 1000);
  ms /= 1000;
  t.second = static_cast<int>(ms % 60);
  ms /= 60;
  t.minute = static_cast<int>(ms % 60);
  t.hour = static_cast<int>(ms / 60);
  return t;
}

TDateTime DateOf(TDateTime value) {
  std::int64_t day, ms;
  Split(value, day, ms);
  return static_cast<double>(day);
}

TDateTime TimeOf(TDateTime value) {
  std::int64_t day, ms;
  Split(value, day, ms);
  return static_cast<double>(ms) / static_cast<double>(kMSecsPerDay);
}

std::string FormatShortDate(TDateTime value) {
  const DateParts d = DecodeDate(value);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", d.day, d.month, d.year);
  return buf;
}

std::string FormatLongTime(TDateTime value) {
  const TimeParts t = DecodeTime(value);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  return buf;
}

TDateTime FromLocalTm(const std::tm& tm, int msec) {
  return EncodeDateTime(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                        tm.tm_sec > 59 ? 59 : tm.tm_sec, msec);
}

TDateTime FromUnixLocal(std::time_t seconds, int msec) {
  std::tm tm{};
  if (localtime_r(&seconds, &tm) == nullptr) throw std::runtime_error("localtime_r failed");
  return FromLocalTm(tm, msec);
}

}  // namespace zq

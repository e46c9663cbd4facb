#pragma once
// Date-time values as both programs use them: a double counting days since 30 December 1899
// (midnight), with the time of day as the fraction. Differences of two values are spans in days.
// All functions are pure and may be called from any thread.

#include <cstdint>
#include <ctime>
#include <string>

namespace zq {

using TDateTime = double;

inline constexpr double kHoursPerDay = 24.0;
inline constexpr double kSecsPerDay = 86400.0;
inline constexpr std::int64_t kMSecsPerDay = 86400000;

struct DateParts {
  int year = 1899, month = 12, day = 30;
};
struct TimeParts {
  int hour = 0, minute = 0, second = 0, msec = 0;
};

// Throws std::invalid_argument for a date that does not exist (31/02, month 13, year 0 ...).
TDateTime EncodeDate(int year, int month, int day);
// Throws std::invalid_argument unless 0 <= h < 24, 0 <= n < 60, 0 <= s < 60, 0 <= ms < 1000.
TDateTime EncodeTime(int hour, int minute, int second, int msec = 0);
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                         int msec = 0);

// Decoding rounds the value to the nearest millisecond first, so 0.999999999 of a day is the next
// midnight and never 23:59:59.999 by a floating-point hair.
DateParts DecodeDate(TDateTime value);
TimeParts DecodeTime(TDateTime value);

TDateTime DateOf(TDateTime value);  // the day, time of day dropped
TDateTime TimeOf(TDateTime value);  // the time-of-day fraction only

// The short date "dd/MM/yyyy" (25/12/2009) and the long time "hh:mm:ss" with a 24-hour hour.
std::string FormatShortDate(TDateTime value);
std::string FormatLongTime(TDateTime value);

// Conversions with the system's local time (the time zone of the process, daylight saving
// included). FromLocalTm reads the broken-down fields as they stand.
TDateTime FromLocalTm(const std::tm& tm, int msec = 0);
TDateTime FromUnixLocal(std::time_t seconds, int msec = 0);

}  // namespace zq

#include "platform/segments.h"

#include <stdexcept>

namespace zq {
namespace {

bool Digits(const std::string& s, std::size_t from, std::size_t count) {
  for (std::size_t i = from; i < from + count; ++i)
    if (i >= s.size() || s[i] < '0' || s[i] > '9') return false;
  return true;
}

bool EndsWithMp3(const std::string& s, std::size_t at) {
  return s.size() == at + 4 && s.compare(at, 4, ".mp3") == 0;
}

}  // namespace

std::string NameStem(TDateTime moment) {
  const std::string time = FormatLongTime(moment);  // hh:mm:ss
  return DayText(moment) + time.substr(0, 2) + time.substr(3, 2);
}

std::string RunningName(const std::string& startStem) {
  return startStem + ".mp3";
}

std::string FinishedName(const std::string& startStem, const std::string& endStem, int copy) {
  return startStem + "a" + endStem + (copy > 1 ? "-" + std::to_string(copy) : "") + ".mp3";
}

bool IsRunningSegmentName(const std::string& n) {
  return Digits(n, 0, 10) && EndsWithMp3(n, 10);
}

bool IsFinishedSegmentName(const std::string& n) {
  if (!Digits(n, 0, 10) || n.size() <= 10 || n[10] != 'a' || !Digits(n, 11, 10)) return false;
  if (EndsWithMp3(n, 21)) return true;
  std::size_t end = 22;
  while (n.size() > 21 && n[21] == '-' && Digits(n, end, 1))
    ++end;
  return end > 22 && EndsWithMp3(n, end);
}

std::string DayText(TDateTime date) {
  const std::string text = FormatShortDate(date);  // dd/MM/yyyy
  return text.substr(0, 2) + text.substr(3, 2) + text.substr(8, 2);
}

bool SegmentTimes(const std::string& n, TDateTime& start, TDateTime& end) {
  if (!Digits(n, 6, 4) || !Digits(n, 17, 4)) return false;
  const auto field = [&](std::size_t at) { return (n[at] - '0') * 10 + (n[at + 1] - '0'); };
  try {
    const TDateTime s = EncodeTime(field(6), field(8), 0);
    const TDateTime e = EncodeTime(field(17), field(19), 0);
    start = s;
    end = e;
    return true;
  } catch (const std::invalid_argument&) {
    return false;  // 25:00, 14:60
  }
}

}  // namespace zq

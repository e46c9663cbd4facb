#include "recorder/segments.h"

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
  const std::string date = FormatShortDate(moment);  // dd/MM/yyyy
  const std::string time = FormatLongTime(moment);   // hh:mm:ss
  return date.substr(0, 2) + date.substr(3, 2) + date.substr(8, 2) + time.substr(0, 2) +
         time.substr(3, 2);
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

std::string KbpsText(int formato) {
  static const char* const kKbps[14] = {"32",  "40",  "48",  "56",  "64",  "80",  "96",
                                        "112", "128", "160", "192", "224", "256", "320"};
  return formato >= 0 && formato < 14 ? kKbps[formato] : "";
}

std::string FormatText(int formato, bool stereo) {
  return std::string(20, ' ') + "MP3" + ": " + KbpsText(formato) + " Kbps, " +
         (stereo ? "Stereo" : "Mono");
}

}  // namespace zq

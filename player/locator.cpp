#include "player/locator.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>

#include "platform/fileops.h"
#include "platform/segments.h"

namespace zq {
namespace {

char Lower(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool TextLess(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return Lower(x) < Lower(y); });
}

bool SameText(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return Lower(x) == Lower(y); });
}

// A finished name with "-N" before ".mp3" is the N-th segment of that name: it sorts as that
// name, after its plain form (1) and in the order of N, as they were recorded.
std::string PlainForm(const std::string& name, int& copy) {
  copy = 1;
  if (name.size() < 27 || name[21] != '-') return name;
  const std::size_t dot = name.size() - 4;
  if (!SameText(name.substr(dot), ".mp3") || dot - 22 > 6) return name;
  int n = 0;
  for (std::size_t i = 22; i < dot; ++i) {
    if (name[i] < '0' || name[i] > '9') return name;
    n = n * 10 + (name[i] - '0');
  }
  copy = n;
  return name.substr(0, 21) + name.substr(dot);
}

// Ascending text order without regard to case (the copies of one name as above); the case breaks
// ties, so the order is total.
bool NameLess(const std::string& a, const std::string& b) {
  int copyA, copyB;
  const std::string plainA = PlainForm(a, copyA), plainB = PlainForm(b, copyB);
  if (TextLess(plainA, plainB)) return true;
  if (TextLess(plainB, plainA)) return false;
  if (copyA != copyB) return copyA < copyB;
  return a < b;
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

bool MatchesPattern(const std::string& name, const std::string& pattern) {
  // Greedy, stepping back to the last "*" on a mismatch.
  std::size_t n = 0, p = 0, star = std::string::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || Lower(pattern[p]) == Lower(name[n]))) {
      ++n;
      ++p;
    } else if (star != std::string::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*')
    ++p;
  return p == pattern.size();
}

std::vector<std::string> ListMatching(const std::string& folder, const std::string& pattern) {
  std::vector<std::string> names;
  for (const FolderEntry& e : ListFolder(folder))
    if (!e.isDirectory && !e.name.empty() && e.name[0] != '.' && MatchesPattern(e.name, pattern))
      names.push_back(e.name);
  std::sort(names.begin(), names.end(), NameLess);
  return names;
}

void TSegmentLocator::FindSegment(const std::string& folder, const std::string& pattern,
                                  TFindMode mode, const std::string& finished) {
  TargetTime = mode == fmRequest ? EncodeTime(RequestHour, RequestMinute, 0) : SegmentEnd;
  for (const std::string& name : ListMatching(folder, pattern)) {
    // Only what follows the segment just played: otherwise a segment that starts and ends in
    // one minute would be taken again and again, and the one that crosses midnight would lead
    // back to the start of the day.
    if (mode == fmContinue && !NameLess(finished, name)) continue;
    TDateTime start, end;
    if (!SegmentTimes(name, start, end)) continue;
    SegmentStart = start;
    SegmentEnd = end;
    // Whole minutes: the times are read to the minute, the target is given to the minute.
    const bool take = mode == fmContinue ? SegmentStart >= TargetTime
                                         : MidnightMode || (SegmentStart <= TargetTime &&
                                                            TargetTime <= SegmentEnd);
    if (take) {
      SelectedFile = name;
      return;
    }
  }
}

TLocateResult TSegmentLocator::Request(const std::string& folder, TDateTime day, int hour,
                                       int minute) {
  UserPlay = true;
  if (!IsFolder(folder)) return lrNoFolder;
  SelectedFile.clear();
  // A search across midnight left unfinished by an earlier "Play" says nothing about this one.
  MidnightMode = false;
  RequestHour = hour;
  RequestMinute = minute;
  const std::string d = DayText(day);
  FindSegment(folder, d + "*a" + d + "*.mp3", fmRequest);
  if (FileExists(JoinPath(folder, SelectedFile))) return lrFound;
  if (hour == 0 && minute <= 10) {
    MidnightMode = true;
    FindSegment(folder, DayText(day - 1) + "*a" + d + "*.mp3", fmRequest);
  }
  if (hour == 23 && minute >= 50) {
    MidnightMode = true;
    FindSegment(folder, d + "*a" + DayText(day + 1) + "*.mp3", fmRequest);
  }
  if (FileExists(JoinPath(folder, SelectedFile))) return lrFound;
  MidnightMode = false;
  return lrNotFound;
}

bool TSegmentLocator::Continue(const std::string& folder, TDateTime day,
                               const std::string& finished) {
  SelectedFile.clear();
  const std::string d = DayText(day);
  FindSegment(folder, d + "*a" + d + "*.mp3", fmContinue, finished);
  return FileExists(JoinPath(folder, SelectedFile));
}

}  // namespace zq

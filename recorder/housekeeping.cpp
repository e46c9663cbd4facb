#include "recorder/housekeeping.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "platform/fileops.h"
#include "platform/segments.h"

namespace zq {
namespace {

// More segments of one start and end minute than a recorder can make.
constexpr int kMaxCopies = 999;

}  // namespace

std::vector<std::string> DeleteOldRecordings(const std::string& folder, int days, TDateTime now,
                                             const std::string& exclude) {
  std::vector<std::string> deleted;
  const TDateTime limit = now - days;
  for (const FolderEntry& e : ListFolder(folder, ".mp3")) {
    if (e.isDirectory || e.name == exclude || e.modified > limit) continue;
    if (DeleteFile(JoinPath(folder, e.name))) deleted.push_back(e.name);
  }
  return deleted;
}

int OccupiedPercent(int totalMB, int freeMB) {
  if (totalMB == 0) return 0;
  const double share = static_cast<double>(totalMB - freeMB) * 100.0 / totalMB;
  return static_cast<int>(std::nearbyint(share));  // the default rounding: halves to even
}

DiskDisplay ReadDiskDisplay(const DiskSpace& disk, const std::string& folder) {
  DiskDisplay d;
  DiskFigures f;
  if (!disk.Query(folder, f)) return d;
  const auto mb = [](std::uint64_t bytes) {
    const std::uint64_t v = bytes / 1024 / 1024;
    return static_cast<int>(std::min<std::uint64_t>(v, std::numeric_limits<int>::max()));
  };
  d.known = true;
  d.totalMB = mb(f.totalBytes);
  d.freeMB = mb(f.freeBytes);
  d.occupiedPercent = OccupiedPercent(d.totalMB, d.freeMB);
  return d;
}

std::string OldestFinishedSegment(const std::string& folder, const std::string& exclude) {
  std::string oldest;
  std::int64_t oldestNs = 0;
  for (const FolderEntry& e : ListFolder(folder, ".mp3")) {
    if (e.isDirectory || e.name == exclude || !IsFinishedSegmentName(e.name)) continue;
    if (oldest.empty() || e.modifiedNs < oldestNs ||
        (e.modifiedNs == oldestNs && e.name < oldest)) {
      oldest = e.name;
      oldestNs = e.modifiedNs;
    }
  }
  return oldest;
}

std::string FinishSegmentFile(const std::string& folder, const std::string& runningName,
                              const std::string& startStem, const std::string& endStem) {
  const std::string from = JoinPath(folder, runningName);
  struct stat st {};
  if (::stat(from.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};  // not a segment
  for (int copy = 1; copy <= kMaxCopies; ++copy) {
    const std::string name = FinishedName(startStem, endStem, copy);
    const std::string to = JoinPath(folder, name);
    if (RenameNoReplace(from, to)) return name;
    // Only a taken name is worth another try.
    if (::lstat(to.c_str(), &st) != 0) return {};
  }
  return {};
}

std::string FinishLeftoverSegment(const std::string& folder, const std::string& runningName) {
  if (!IsRunningSegmentName(runningName)) return {};
  struct stat st {};
  if (::stat(JoinPath(folder, runningName).c_str(), &st) != 0) return {};
  const TDateTime modified =
      FromUnixLocal(st.st_mtim.tv_sec, static_cast<int>(st.st_mtim.tv_nsec / 1000000));
  return FinishSegmentFile(folder, runningName, runningName.substr(0, 10), NameStem(modified));
}

std::vector<std::string> FinishLeftoverSegments(const std::string& folder,
                                                const std::string& exclude) {
  std::vector<std::string> finished;
  for (const FolderEntry& e : ListFolder(folder, ".mp3")) {
    if (e.isDirectory || e.name == exclude) continue;
    const std::string name = FinishLeftoverSegment(folder, e.name);
    if (!name.empty()) finished.push_back(name);
  }
  return finished;
}

}  // namespace zq

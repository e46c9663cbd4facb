#pragma once
// Keeping the recording folder in bounds: the retention pass, the disk figures, the free-space
// guard's choice of file, and finishing segments a crash left under their running name. Pure
// file-system logic; the window decides when each runs.

#include <string>
#include <vector>

#include "platform/datetime.h"
#include "platform/diskspace.h"

namespace zq {

// Deletes every "*.mp3" file of `folder` (not folders) last modified at or before
// now - days, except `exclude` (the segment being written, which Linux would let us delete).
// A file that cannot be deleted is left; the pass goes on. Returns the names deleted.
std::vector<std::string> DeleteOldRecordings(const std::string& folder, int days, TDateTime now,
                                             const std::string& exclude);

struct DiskDisplay {
  bool known = false;  // the query succeeded
  int totalMB = 0;
  int freeMB = 0;
  int occupiedPercent = 0;  // rounded to nearest, halves to even; 0 for a disk of 0 MB
};
DiskDisplay ReadDiskDisplay(const DiskSpace& disk, const std::string& folder);
// The percentage alone, for a total and a free figure in MB.
int OccupiedPercent(int totalMB, int freeMB);

// The file the free-space guard deletes: the oldest finished segment of `folder` by modification
// time (never `exclude`, never a file that is not a finished segment). Empty when there is none.
std::string OldestFinishedSegment(const std::string& folder, const std::string& exclude);

// Gives the running segment `runningName` of `folder` its finished name from `startStem` and
// `endStem`, or when a file has that name the first free of its "-2", "-3" ... forms: every
// segment stays findable and no file is replaced. The name given; empty when the rename failed
// for another reason (the segment missing, the folder not writable).
std::string FinishSegmentFile(const std::string& folder, const std::string& runningName,
                              const std::string& startStem, const std::string& endStem);

// Finishes the segments a crash or a power cut left under their running name (ten digits and
// ".mp3"): each is finished (as above) with its start and the stem of its last modification.
// `exclude` is the segment being written. Returns the new names.
std::vector<std::string> FinishLeftoverSegments(const std::string& folder,
                                                const std::string& exclude);
// The same for one running name; the new name, or empty when it could not be finished.
std::string FinishLeftoverSegment(const std::string& folder, const std::string& runningName);

}  // namespace zq

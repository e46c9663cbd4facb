#pragma once
// The recording locator: which finished segment in the folder of recordings covers a chosen
// date, hour and minute (also across midnight), and which one follows the segment that has just
// been played. It reads only names (platform/segments.h); the state is the player window's,
// shared with the playback controller. Main thread only (it lists the folder).
//
// Names are listed from the folder by a pattern ("*" any run of characters, "?" any one), without
// regard to case, as the system's file search matched them; folders and names beginning with "."
// are left out, and the rest are sorted in ascending text order without regard to case, a
// finished name's "-2", "-3" ... copies (segments that took a name already taken) right after it
// in that order. A name whose time fields are not valid times (a stray file that fits the
// pattern) is passed over.

#include <string>
#include <vector>

#include "platform/datetime.h"

namespace zq {

enum TFindMode { fmRequest, fmContinue };

enum TLocateResult { lrFound, lrNoFolder, lrNotFound };

bool MatchesPattern(const std::string& name, const std::string& pattern);
// The files of `folder` whose names match `pattern`, sorted as above; empty for a folder that
// cannot be read.
std::vector<std::string> ListMatching(const std::string& folder, const std::string& pattern);

struct TSegmentLocator {
  // The segment chosen by the last search (its name, without the folder); empty when none.
  std::string SelectedFile;
  // The moment looked for, and the start and end read from the name examined last (the chosen
  // one after a successful search). Times of day.
  TDateTime TargetTime = 0;
  TDateTime SegmentStart = 0;
  TDateTime SegmentEnd = 0;
  // A search across midnight is under way; the file being opened was chosen by "Play".
  bool MidnightMode = false;
  bool UserPlay = false;
  // The hour and minute of the last request, as the spinners showed them at "Play".
  int RequestHour = 0;
  int RequestMinute = 0;

  // Walks the names of `folder` matching `pattern` and takes the first that fits: in request
  // mode the one whose start and end enclose TargetTime (any one while MidnightMode is set), in
  // continue mode the first that starts at or after the end of `finished` (SegmentEnd) among the
  // names sorting after `finished`. TargetTime is set first: the request's hour and minute, or
  // SegmentEnd. When none fits, SelectedFile keeps its value.
  void FindSegment(const std::string& folder, const std::string& pattern, TFindMode mode,
                   const std::string& finished = {});

  // The search of "Play" for `day` at `hour`:`minute`: the segments that began and ended that
  // day, then, within ten minutes of midnight, the one that crosses it. lrFound leaves the
  // choice in SelectedFile, an existing file of `folder`.
  TLocateResult Request(const std::string& folder, TDateTime day, int hour, int minute);
  // The continuation's search after `finished` among the segments that began and ended on
  // `day`: true when SelectedFile names an existing file (SelectedFile is empty otherwise).
  bool Continue(const std::string& folder, TDateTime day, const std::string& finished);
};

}  // namespace zq

#pragma once
// Segment file names, shared with the player: DDMMYYhhnn.mp3 while a segment is written, and
// DDMMYYhhnn + "a" + DDMMYYhhnn + ".mp3" (start, end) when it is finished. A finished segment
// whose name was taken already (two segments within one minute, the hour the autumn clock change
// repeats) gets "-2", "-3" ... before ".mp3": the player's day patterns (DDMMYY*aDDMMYY*.mp3)
// find it and read its start and end like any other. The format text.

#include <string>

#include "platform/datetime.h"

namespace zq {

// The ten digits DDMMYYhhnn of a moment, cut from its date text "dd/MM/yyyy" (characters 1-2,
// 4-5, 9-10) and its time text hh:mm:ss (characters 1-2, 4-5).
std::string NameStem(TDateTime moment);
std::string RunningName(const std::string& startStem);  // stem + ".mp3"
// `copy` 1 is the plain name; 2 and above add "-<copy>".
std::string FinishedName(const std::string& startStem, const std::string& endStem, int copy = 1);

// Exactly ten digits and ".mp3": a segment still being written (or left so by a crash).
bool IsRunningSegmentName(const std::string& fileName);
// Ten digits, "a", ten digits, optionally "-" and digits, ".mp3".
bool IsFinishedSegmentName(const std::string& fileName);

// The kbps text of a "Formato" index ("32" .. "320"); empty for any other index.
std::string KbpsText(int formato);
// Twenty blanks, "MP3: ", the kbps, " Kbps, ", then "Stereo" or "Mono".
std::string FormatText(int formato, bool stereo);

}  // namespace zq

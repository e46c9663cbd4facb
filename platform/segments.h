#pragma once
// Segment file names, written by the recorder and read by the player: DDMMYYhhnn.mp3 while a
// segment is written, and DDMMYYhhnn + "a" + DDMMYYhhnn + ".mp3" (start, end) when it is
// finished. A finished segment whose name was taken already (two segments within one minute,
// the hour the autumn clock change repeats) gets "-2", "-3" ... before ".mp3": the player's day
// patterns (DDMMYY*aDDMMYY*.mp3) find it and read its start and end like any other. Pure
// functions, any thread.

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

// The day text DDMMYY of a date, as the names carry it: its "dd/MM/yyyy" text reduced to
// characters 1-2, 4-5 and 9-10.
std::string DayText(TDateTime date);

// The start and end times of day read from a finished name (or any name matched by a day
// pattern): hour and minute at characters 7-8 and 9-10 and at 18-19 and 20-21, seconds zero.
// False, and nothing written, when the name is shorter or a field is not a valid time.
bool SegmentTimes(const std::string& fileName, TDateTime& start, TDateTime& end);

}  // namespace zq

#pragma once
// The format text of the recorder's window: the bit rate and the channels of the recording.

#include <string>

namespace zq {

// The kbps text of a "Formato" index ("32" .. "320"); empty for any other index.
std::string KbpsText(int formato);
// Twenty blanks, "MP3: ", the kbps, " Kbps, ", then "Stereo" or "Mono".
std::string FormatText(int formato, bool stereo);

}  // namespace zq

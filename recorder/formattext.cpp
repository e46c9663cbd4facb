#include "recorder/formattext.h"

namespace zq {

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

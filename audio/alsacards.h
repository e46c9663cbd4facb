#pragma once
// The one walk of the sound cards that numbers the input devices, shared by the wave input and
// the mixer so that one device number means one card for both: 0 is the system's default input
// (the "default" device, named kAlsaDefaultInputName), 1 .. n the cards that capture, in ALSA's
// order. There are no devices at all when no card captures and the default input does not open.

#include <string>
#include <vector>

namespace zq {

inline constexpr const char* kAlsaDefaultInputName = "Default input";

struct AlsaCaptureCard {
  std::string id;    // the card's id, as in "hw:CARD=<id>"
  int device = 0;    // its first capture device
  std::string name;  // the card's name
};

// Every card with a capture device, on its first one.
std::vector<AlsaCaptureCard> AlsaCaptureCards();
// Whether the "default" capture device opens.
bool AlsaDefaultCaptureOpens();

}  // namespace zq

#pragma once
// The mixer back-end over ALSA's simple mixer elements.
//
// Mixers are numbered as the wave input numbers its devices (audio/alsacards.h): 0 is the
// "default" control (what the sound server offers when there is one), k the card of wave-input
// device k, opened as "hw:CARD=<id>"; the same count and the same names. There is no mapper
// (the capability query for -1 answers 2), and wave-input device k belongs to mixer k. The list
// is read once, when the back-end is made. Lines and controls are those of alsamixermodel.h.
//
// An open mixer is watched on the main loop: a value change reports a control change for every
// control of that element, an information change a line change, an element added or removed the
// "elements changed" notification. A mixer that goes away (a card pulled, the sound server gone)
// is taken off the loop at once, closed and reported as "elements changed"; from then on it finds
// nothing. Queries on a mixer that is not open load the card for the call; one that cannot be
// loaded answers "no driver" (6, not found).

#include <memory>

#include "mixer/mixerops.h"

namespace zq {

std::unique_ptr<TMMMixerOps> MakeAlsaMixerOps();

}  // namespace zq

#pragma once
// The player window's settings of its controls, in one place for the window, the gallery and the
// tests.
//
// Hour and minute spinners: 15 x 25 digits, two of them, lime on black over green, the panel
// sunken by one pixel, Space 2, the spin button without a frame: a 29 x 27 panel, a 50 x 27
// control, arrows 13 and 14 pixels high. Range 0 ... maxValue.
//
// Position slider: 252 x 13, no outer bevel, only a 5-pixel black border, the groove sunken by
// one pixel around 5 pixels of FFDFDF (FF8080 while focused), a 7 x 18 red thumb, range 0 ... 100:
// the track is 242 x 3 at (5, 5), the groove rows 3 to 9, the thumb rows -3 to 14, clipped.

#include <cstdint>

namespace zq {

class TMMLEDSpin;
class TMMSlider;

void SetUpPlayerSpinner(TMMLEDSpin& spin, std::int64_t maxValue);
void SetUpPlayerSlider(TMMSlider& slider);

}  // namespace zq

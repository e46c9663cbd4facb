#pragma once
// The level page: the recorder's two level bars over their scale and its two needle meters, each
// pair at rest, on a tone (-10 dB left, -3 dB right), just after the tone (marks and peak needles
// held) and at overload; then small vertical, reversed and symmetric bars. Its geometry is fixed
// so that a test can look at the pairs in the screenshot.

#include "displays/recorderlook.h"

namespace zq::gallery::levels {

constexpr int kWidth = 620;
constexpr int kHeight = 640;
// The states, one row each from the top.
enum State { kRest, kTone, kHeld, kOverload, kStateCount };
constexpr int kRowTop = 30, kRowPitch = 100;
// In each row: the levels (254 x 24 over 253 x 24, no bevel) and their scale below them, and the
// needles (138 x 65 and 137 x 65, a 2-pixel bevel) side by side.
constexpr int kLevelX = 10, kLevelW1 = kRecorderLevelWidth[0], kLevelW2 = kRecorderLevelWidth[1],
              kLevelH = kRecorderLevelHeight, kLevelGap = 2;
constexpr int kScaleH = 12;
constexpr int kNeedleX = 300, kNeedleW1 = kRecorderNeedleWidth[0],
              kNeedleW2 = kRecorderNeedleWidth[1], kNeedleH = kRecorderNeedleHeight, kNeedleGap = 6;
constexpr int RowY(int state) {
  return kRowTop + state * kRowPitch;
}

}  // namespace zq::gallery::levels

#pragma once
// The recorder window's settings of its level bars, their scale and its needle meters, as its
// form gives them, in one place for the window, the gallery, the tests and the benchmarks.
// Sizes: the bars are 254 x 24 (left) and 253 x 24 (right) without a bevel, 127 spots each; the
// needles 138 x 65 and 137 x 65 inside a 2-pixel bevel, so a 134 x 61 face. Main thread.

#include "displays/mmlevel.h"
#include "displays/mmlevelscale.h"
#include "displays/mmmeter.h"

namespace zq {

constexpr int kRecorderLevelWidth[2] = {254, 253};
constexpr int kRecorderLevelHeight = 24;
constexpr int kRecorderNeedleWidth[2] = {138, 137};
constexpr int kRecorderNeedleHeight = 65;

// Colours, zones, dots, input layout (16-bit stereo, 99 frames: 396-byte blocks), decay and
// marks of a bar; `channel` is chLeft or chRight. The size is the caller's.
void ApplyRecorderLevel(TMMCustomLevel& level, TMMChannel channel);
// Point2 80 and an invisible tick scale of 11 ticks, every fifth long, 7 pixels.
void ApplyRecorderLevelScale(TMMLevelScale& scale);
// Tick colour, needle geometry, input layout (16-bit stereo, 20 frames: 80-byte blocks), decay,
// peak fall, caption font and the 2-pixel bevel of a needle meter.
void ApplyRecorderMeter(TMMCustomMeter& meter, TMMChannel channel);

}  // namespace zq

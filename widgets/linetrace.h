#pragma once
// The pixels of a one-pixel line, shared by the widget canvas and the pixel surfaces so that both
// draw the same line.

#include <algorithm>
#include <cstdint>

#include "widgets/graphics.h"

namespace zq {

// Calls plot(x, y) for every pixel of the line from (x1, y1) to (x2, y2) that lies inside clip, in
// order from the start; the end point is not plotted. The line steps along its major axis; at
// step i the minor coordinate is the start's plus Floor((2 * minor * i + major) / (2 * major)), so
// a tie moves toward the end point. Clipping is computed, not searched: a line far longer than
// the clip costs only the pixels inside it.
template <class Plot>
void TraceLine(int x1, int y1, int x2, int y2, const TRect& clip, Plot&& plot) {
  using I = std::int64_t;
  using W = __int128;
  if (clip.IsEmpty()) return;
  const I dx = I{x2} - x1, dy = I{y2} - y1;
  const I adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  const bool xMajor = adx >= ady;
  const I steps = std::max(adx, ady);
  if (steps == 0) return;
  const I minor = std::min(adx, ady);
  const int sa = (xMajor ? dx : dy) < 0 ? -1 : 1;
  const int sb = (xMajor ? dy : dx) < 0 ? -1 : 1;
  const I a0 = xMajor ? x1 : y1, b0 = xMajor ? y1 : x1;
  const I aLo = xMajor ? clip.Left : clip.Top, aHi = xMajor ? clip.Right : clip.Bottom;
  const I bLo = xMajor ? clip.Top : clip.Left, bHi = xMajor ? clip.Bottom : clip.Right;

  // Steps [iLo, iHi) whose major coordinate lies inside.
  I iLo = 0, iHi = steps;
  if (sa > 0) {
    iLo = std::max(iLo, aLo - a0);
    iHi = std::min(iHi, aHi - a0);
  } else {
    iLo = std::max(iLo, a0 - aHi + 1);
    iHi = std::min(iHi, a0 - aLo + 1);
  }
  // Minor offsets [mLo, mHi) that lie inside; the offset never decreases along the line.
  const I mLo = sb > 0 ? bLo - b0 : b0 - bHi + 1;
  const I mHi = sb > 0 ? bHi - b0 : b0 - bLo + 1;
  const W twoSteps = W{2} * steps;
  auto firstStepReaching = [&](I m) -> I {  // the first step whose minor offset is >= m
    if (m <= 0) return 0;
    if (minor == 0) return steps;
    const W num = twoSteps * m - steps, den = W{2} * minor;
    const W q = (num + den - 1) / den;
    return q > steps ? steps : static_cast<I>(q);
  };
  iLo = std::max(iLo, firstStepReaching(mLo));
  iHi = std::min(iHi, firstStepReaching(mHi));
  if (iLo >= iHi) return;

  const W start = W{2} * minor * iLo + steps;
  I m = static_cast<I>(start / twoSteps);
  I rem = static_cast<I>(start % twoSteps);
  const I inc = 2 * minor, wrap = 2 * steps;
  I a = a0 + sa * iLo;
  for (I i = iLo; i < iHi; ++i) {
    const I b = b0 + sb * m;
    if (xMajor)
      plot(static_cast<int>(a), static_cast<int>(b));
    else
      plot(static_cast<int>(b), static_cast<int>(a));
    a += sa;
    rem += inc;
    if (rem >= wrap) {
      rem -= wrap;
      ++m;
    }
  }
}

}  // namespace zq

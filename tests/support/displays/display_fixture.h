#pragma once
// What the level, needle and scale tests share: a shown top-level window on the offscreen
// platform to put displays in, a frame pacer over a manual clock, a shared timer the test ticks,
// blocks of PCM at a chosen raw level, and the pixels of a display's surface.

#include <QApplication>
#include <QWidget>
#include <cstdint>
#include <cstring>
#include <vector>

#include "audio/mmtimer.h"
#include "displays/framepacer.h"
#include "displays/levelcore.h"
#include "displays/mmdibcanvas.h"
#include "tests/support/platform/manual_time.h"
#include "tests/support/qt_app.h"

namespace zq::testing {

class DisplayFixture {
 public:
  DisplayFixture() { window.resize(640, 480); }
  void Show() {
    window.show();
    QApplication::processEvents();
  }
  // One frame time passes and the updates it asked for are painted.
  void Frame() {
    time.Advance(std::chrono::microseconds(FramePacer::kFrameMicros));
    QApplication::processEvents();
  }
  void Tick(int ticks) {
    for (int i = 0; i < ticks; ++i)
      peaks.Tick();
  }

  ZqApplication& app = QtApp();  // before any widget
  ManualTime time;
  FramePacer pacer{time};
  TMMSharedTimer peaks{TMMSharedTimer::TickSource::Manual};
  QWidget window;
};

// A block of `frames` 16-bit frames (mono or stereo) whose first frame holds `left` and `right`
// and the rest silence.
inline std::vector<std::int16_t> Block(int frames, bool stereo, std::int16_t left,
                                       std::int16_t right = 0) {
  std::vector<std::int16_t> b(static_cast<std::size_t>(frames) * (stereo ? 2 : 1));
  b[0] = left;
  if (stereo) b[1] = right;
  return b;
}

// The smallest raw level that MapLevel puts at `position` or beyond.
inline std::int16_t RawAt(std::int64_t position, int sensitivity, std::int64_t full,
                          double floorRatio = 0.000001) {
  for (int r = 0; r <= 32767; ++r)
    if (MapLevel(r, sensitivity, true, full, floorRatio) >= position)
      return static_cast<std::int16_t>(r);
  return 32767;
}

// Every device value of a surface, row by row.
inline std::vector<std::int32_t> Pixels(TMMDIBCanvas& s) {
  std::vector<std::int32_t> p;
  s.BeginDraw();
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x)
      p.push_back(s.GetPixel(x, y));
  s.EndDraw();
  return p;
}

inline std::uint32_t Device(TMMDIBCanvas& s, TColor color) {
  s.BeginDraw();
  const std::uint32_t v = s.MapColor(color);
  s.EndDraw();
  return v;
}

}  // namespace zq::testing

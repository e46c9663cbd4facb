#pragma once
// FramePacer: the one frame clock the signal displays share. A display whose state changed asks
// for a frame (RequestFrame) instead of painting; the first request arms a single-shot timer of
// the timer seam for one frame time (16.7 ms, about 60 frames a second), and when it fires every
// display that asked gets one update(), so any number of blocks between two frames cost one paint
// each. Nothing is armed while no display waits.
//
// Main thread only. The pacer does not own the displays: it keeps guarded pointers, so a display
// destroyed while waiting is simply skipped, and a display never calls its pacer from its
// destructor. The pacer must outlive the requests it is given (the window or the gallery makes it
// before the displays and hands it to their constructors).

#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/timers.h"

namespace zq {

class FramePacer {
 public:
  static constexpr std::int64_t kFrameMicros = 16667;

  // timers: the timer seam (Services::timers); not owned.
  explicit FramePacer(TimerService& timers);
  ~FramePacer();
  FramePacer(const FramePacer&) = delete;
  FramePacer& operator=(const FramePacer&) = delete;

  // display->update() at the next frame; asking again before it changes nothing.
  void RequestFrame(QWidget* display);
  // Displays waiting for the next frame.
  int Waiting() const { return static_cast<int>(waiting_.size()); }

 private:
  void Frame();

  std::unique_ptr<Timer> timer_;
  std::vector<QPointer<QWidget>> waiting_;
};

}  // namespace zq

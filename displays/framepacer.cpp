#include "displays/framepacer.h"

#include <algorithm>
#include <utility>

namespace zq {

FramePacer::FramePacer(TimerService& timers) : timer_(timers.CreateTimer()) {
  timer_->SetSingleShot(true);
  timer_->SetIntervalMicros(kFrameMicros);
  timer_->SetOnTimer([this] { Frame(); });
}

FramePacer::~FramePacer() = default;

void FramePacer::RequestFrame(QWidget* display) {
  if (display == nullptr) return;
  if (std::find(waiting_.begin(), waiting_.end(), display) != waiting_.end()) return;
  waiting_.emplace_back(display);
  timer_->Start();  // already counting when others wait
}

void FramePacer::Frame() {
  // Requests made while the displays update wait for the next frame.
  std::vector<QPointer<QWidget>> due;
  due.swap(waiting_);
  for (const QPointer<QWidget>& display : due)
    if (display != nullptr) display->update();
}

}  // namespace zq

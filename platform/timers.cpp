#include "platform/timers.h"

#include <QObject>
#include <QTimer>
#include <stdexcept>

namespace zq {

void Timer::SetInterval(std::int64_t ms) {
  if (ms < 0 || ms > kMaxIntervalMs) throw std::out_of_range("timer interval out of range");
  SetIntervalMicros(ms * 1000);
}

void Timer::SetIntervalMicros(std::int64_t us) {
  if (us < 0 || us > kMaxIntervalMs * 1000) throw std::out_of_range("timer interval out of range");
  if (us == intervalUs_) return;
  intervalUs_ = us;
  if (enabled_) Rearm();
}

void Timer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Rearm();
}

void Timer::Rearm() {
  Disarm();
  if (enabled_ && intervalUs_ > 0) Arm(intervalUs_, singleShot_);
}

void Timer::Fire() {
  if (!enabled_) return;
  if (singleShot_) {
    enabled_ = false;
    Disarm();
  }
  // Copy: the callback may replace itself or destroy this timer.
  Callback callback = callback_;
  if (callback) callback();
}

namespace {

class QtTimer final : public Timer {
 public:
  QtTimer() {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Fire(); });
  }

 protected:
  void Arm(std::int64_t intervalUs, bool singleShot) override {
    timer_.setSingleShot(singleShot);
    timer_.start(static_cast<int>((intervalUs + 999) / 1000));
  }
  void Disarm() override { timer_.stop(); }

 private:
  QTimer timer_;
};

}  // namespace

std::unique_ptr<Timer> QtTimerService::CreateTimer() {
  return std::make_unique<QtTimer>();
}

}  // namespace zq

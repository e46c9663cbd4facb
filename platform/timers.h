#pragma once
// The timer seam. A Timer behaves as the programs' window timers did: it fires its callback on
// the main thread every Interval() milliseconds while enabled (or once, when single-shot);
// enabling counts a full interval from that moment; an interval of 0 never fires.
// Timers are created, changed and destroyed on the main thread only. The callback may change or
// destroy its own timer.

#include <cstdint>
#include <functional>
#include <memory>

namespace zq {

class Timer {
 public:
  using Callback = std::function<void()>;
  // The largest interval a timer takes, in milliseconds (about 24.8 days).
  static constexpr std::int64_t kMaxIntervalMs = 2147483647;

  virtual ~Timer() = default;
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  void SetOnTimer(Callback callback) { callback_ = std::move(callback); }

  // Milliseconds, 0 .. kMaxIntervalMs; std::out_of_range otherwise. A changed interval restarts
  // the countdown of an enabled timer.
  void SetInterval(std::int64_t ms);
  std::int64_t Interval() const { return intervalUs_ / 1000; }
  // The same in microseconds, for pacing finer than a millisecond. The programs' timers round up
  // to whole milliseconds; the manual double keeps microseconds.
  void SetIntervalMicros(std::int64_t us);
  std::int64_t IntervalMicros() const { return intervalUs_; }

  void SetSingleShot(bool singleShot) { singleShot_ = singleShot; }
  bool SingleShot() const { return singleShot_; }

  // Enabling an enabled timer changes nothing; disabling then enabling restarts the countdown.
  void SetEnabled(bool enabled);
  bool Enabled() const { return enabled_; }
  void Start() { SetEnabled(true); }
  void Restart() {
    SetEnabled(false);
    SetEnabled(true);
  }
  void Stop() { SetEnabled(false); }

 protected:
  Timer() = default;
  // Implementations: start counting intervalUs (> 0) from now; fire every interval until Disarm,
  // or once when single-shot.
  virtual void Arm(std::int64_t intervalUs, bool singleShot) = 0;
  virtual void Disarm() = 0;
  // Called by the implementation each time the timer is due. A single-shot timer is disabled
  // before its callback runs, so the callback may enable it again.
  void Fire();

 private:
  void Rearm();

  Callback callback_;
  std::int64_t intervalUs_ = 1000000;
  bool singleShot_ = false;
  bool enabled_ = false;
};

class TimerService {
 public:
  virtual ~TimerService() = default;
  // A new timer: disabled, interval 1000 ms, periodic.
  virtual std::unique_ptr<Timer> CreateTimer() = 0;
};

// Timers over QTimer (precise timer type) on the thread that creates them; needs a running Qt
// event loop to fire.
class QtTimerService final : public TimerService {
 public:
  std::unique_ptr<Timer> CreateTimer() override;
};

}  // namespace zq

#pragma once
// The shared periodic timer: one 25 ms tick serves any number of clients, each at its own
// interval (at least 25 ms, in steps of 25). The process-wide service runs its tick on a thread
// of its own (steady clock, fixed schedule, so no drift accumulates); it starts with the first
// registration and stops with the last unregistration.
//
// Client procedures run on the timer's thread while the service's lock is held: they do little
// (move a peak countdown, set a flag) and never change the client list; doing so from inside a
// procedure throws std::logic_error. Register, suspend, resume and unregister may be called from
// any other thread; they wait for a tick in progress to finish.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace zq {

struct TMMTimerClient;
using TMMTimerProc = std::function<void(TMMTimerClient* client, void* owner)>;

class TMMSharedTimer {
 public:
  static constexpr int kPeriodMs = 25;
  enum class TickSource { Thread, Manual };

  // Manual: no thread is ever started and ticks come only from Tick(), for tests.
  explicit TMMSharedTimer(TickSource source = TickSource::Thread);
  ~TMMSharedTimer();  // stops a running timer
  TMMSharedTimer(const TMMSharedTimer&) = delete;
  TMMSharedTimer& operator=(const TMMSharedTimer&) = delete;

  // Null when the timer thread cannot be started (the registration is then undone).
  TMMTimerClient* RegisterClient(int intervalMs, int suspendCount, TMMTimerProc proc, void* owner);
  // Suspend: the count goes up and the elapsed time is cleared. Resume: down to 0 at the least.
  void SuspendClient(TMMTimerClient* client);
  void ResumeClient(TMMTimerClient* client);
  // Ignored for null, or for a client that is not registered here.
  void UnregisterClient(TMMTimerClient* client);

  // One tick of 25 ms: every client that is not suspended gains 25 ms; one whose elapsed time
  // reaches its interval is called and starts counting again. A tick that begins while another
  // runs does nothing.
  void Tick();

  int ClientCount() const;
  bool Running() const;  // the tick thread is running

 private:
  void StartThread();
  void StopThread();
  void Run();
  void CheckNotInTick() const;

  const TickSource source_;
  mutable std::mutex lock_;  // the client list and the tick
  std::mutex controlLock_;   // starting and stopping the thread
  std::condition_variable wake_;
  std::mutex wakeLock_;
  bool stop_ = false;
  std::thread thread_;
  std::atomic<std::thread::id> tickThread_{};  // the thread inside Tick, while one runs
  TMMTimerClient* head_ = nullptr;
  int count_ = 0;
  std::atomic<std::int32_t> reentry_{0};
};

// The process-wide service.
TMMSharedTimer& SharedTimer();

}  // namespace zq

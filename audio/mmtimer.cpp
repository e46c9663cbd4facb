#include "audio/mmtimer.h"

#include <chrono>
#include <stdexcept>
#include <system_error>

namespace zq {

struct TMMTimerClient {
  int interval;
  void* owner;
  TMMTimerProc proc;
  int suspendCount;
  int elapsed;
  TMMTimerClient* next;
};

TMMSharedTimer::TMMSharedTimer(TickSource source) : source_(source) {}

TMMSharedTimer::~TMMSharedTimer() {
  StopThread();
  std::lock_guard guard(lock_);
  while (head_ != nullptr) {
    TMMTimerClient* next = head_->next;
    delete head_;
    head_ = next;
  }
  count_ = 0;
}

void TMMSharedTimer::CheckNotInTick() const {
  if (tickThread_.load() == std::this_thread::get_id())
    throw std::logic_error("shared timer clients cannot change the client list from a tick");
}

TMMTimerClient* TMMSharedTimer::RegisterClient(int intervalMs, int suspendCount, TMMTimerProc proc,
                                               void* owner) {
  CheckNotInTick();
  std::lock_guard control(controlLock_);
  if (ClientCount() == 0 && source_ == TickSource::Thread) {
    try {
      StartThread();
    } catch (const std::system_error&) {
      return nullptr;
    }
  }
  auto* client = new TMMTimerClient{intervalMs < kPeriodMs ? kPeriodMs : intervalMs,
                                    owner,
                                    std::move(proc),
                                    suspendCount,
                                    0,
                                    nullptr};
  std::lock_guard guard(lock_);
  TMMTimerClient** tail = &head_;
  while (*tail != nullptr)
    tail = &(*tail)->next;
  *tail = client;
  ++count_;
  return client;
}

void TMMSharedTimer::SuspendClient(TMMTimerClient* client) {
  if (client == nullptr) return;
  CheckNotInTick();
  std::lock_guard guard(lock_);
  if (count_ == 0) return;
  ++client->suspendCount;
  client->elapsed = 0;
}

void TMMSharedTimer::ResumeClient(TMMTimerClient* client) {
  if (client == nullptr) return;
  CheckNotInTick();
  std::lock_guard guard(lock_);
  if (count_ == 0) return;
  if (client->suspendCount > 0) --client->suspendCount;
}

void TMMSharedTimer::UnregisterClient(TMMTimerClient* client) {
  if (client == nullptr) return;
  CheckNotInTick();
  std::lock_guard control(controlLock_);
  bool last = false;
  {
    std::lock_guard guard(lock_);
    if (count_ == 0) return;
    TMMTimerClient** link = &head_;
    while (*link != nullptr && *link != client)
      link = &(*link)->next;
    if (*link == nullptr) return;
    *link = client->next;
    delete client;
    last = --count_ == 0;
    if (last) head_ = nullptr;
  }
  // The lock is released first: the thread may be waiting for it to run a tick.
  if (last) StopThread();
}

void TMMSharedTimer::Tick() {
  if (reentry_.fetch_add(1) == 0) {
    std::lock_guard guard(lock_);
    tickThread_ = std::this_thread::get_id();
    for (TMMTimerClient* c = head_; c != nullptr; c = c->next) {
      if (c->suspendCount != 0) continue;
      c->elapsed += kPeriodMs;
      if (c->elapsed >= c->interval) {
        c->elapsed = 0;
        // Nothing may escape onto the timer thread: a failing client is skipped this tick.
        try {
          if (c->proc) c->proc(c, c->owner);
        } catch (...) {
        }
      }
    }
    tickThread_ = std::thread::id{};
  }
  reentry_.fetch_sub(1);
}

int TMMSharedTimer::ClientCount() const {
  std::lock_guard guard(lock_);
  return count_;
}

bool TMMSharedTimer::Running() const {
  return thread_.joinable();
}

void TMMSharedTimer::StartThread() {
  if (thread_.joinable()) return;
  {
    std::lock_guard w(wakeLock_);
    stop_ = false;
  }
  thread_ = std::thread([this] { Run(); });
}

void TMMSharedTimer::StopThread() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard w(wakeLock_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void TMMSharedTimer::Run() {
  using clock = std::chrono::steady_clock;
  constexpr auto period = std::chrono::milliseconds(kPeriodMs);
  auto next = clock::now() + period;
  for (;;) {
    {
      std::unique_lock w(wakeLock_);
      if (wake_.wait_until(w, next, [this] { return stop_; })) return;
    }
    Tick();
    // A fixed schedule: the next tick is due one period after the last one was due. After a long
    // stall (a suspended machine) the missed ticks are skipped, not delivered in a burst.
    next += period;
    const auto now = clock::now();
    if (now > next + period) next = now + period;
  }
}

TMMSharedTimer& SharedTimer() {
  static TMMSharedTimer timer;
  return timer;
}

}  // namespace zq

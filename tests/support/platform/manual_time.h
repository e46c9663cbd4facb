#pragma once
// Test doubles of the platform seams: a manual clock with timers that fire only when the test
// advances time, a main-thread queue the test drains, and recorders of operator messages and of
// the addresses given the browser.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/services.h"

namespace zq::testing {

// Clock and timer service in one: time stands still until Advance, which moves the wall clock
// and the monotonic clock together and fires every timer that falls due on the way, at its due
// time, in due order. Timers fire on the thread that calls Advance. Now() and MonotonicMicros()
// may be read from any thread.
class ManualTime final : public Clock, public TimerService {
 public:
  explicit ManualTime(TDateTime start = EncodeDateTime(2009, 12, 25, 14, 5, 0));
  ~ManualTime() override;

  TDateTime Now() const override;
  std::int64_t MonotonicMicros() const override { return mono_.load(); }
  std::unique_ptr<Timer> CreateTimer() override;

  // Moves the wall clock alone (a clock change); the monotonic clock and the timers keep going.
  void SetNow(TDateTime now);
  void Advance(std::chrono::microseconds span);
  void AdvanceMs(std::int64_t ms) { Advance(std::chrono::milliseconds(ms)); }
  void AdvanceSeconds(double s) {
    Advance(std::chrono::microseconds(static_cast<std::int64_t>(s * 1e6)));
  }
  // Advances to the next due timer and fires it; false (and nothing moves) when none is armed.
  bool FireNext();

  int ArmedTimers() const { return static_cast<int>(entries_.size()); }
  std::optional<std::int64_t> NextDueMicros() const;

 private:
  class ManualTimer;
  struct Entry {
    ManualTimer* timer;
    std::int64_t due;
    std::int64_t interval;
    bool singleShot;
    std::uint64_t order;  // arming order breaks ties
  };
  void ArmTimer(ManualTimer* t, std::int64_t intervalUs, bool singleShot);
  void DisarmTimer(ManualTimer* t);
  Entry* Earliest();
  void FireEntry(Entry e);

  std::atomic<std::int64_t> mono_{0};
  std::atomic<double> wallBase_;  // wall clock at monotonic 0
  std::vector<Entry> entries_;
  std::uint64_t nextOrder_ = 0;
  std::vector<ManualTimer*> timers_;
};

// Posted calls wait in a queue until the test runs them. The thread that made it is the main
// thread.
class QueuedMainThread final : public MainThread {
 public:
  QueuedMainThread() : owner_(std::this_thread::get_id()) {}
  void Post(std::function<void()> call) override;
  bool IsCurrent() const override { return std::this_thread::get_id() == owner_; }
  void ProcessPending() override;
  // Runs rounds until the queue is empty; returns the number of calls run.
  int RunUntilEmpty();
  // Waits up to `timeout` for a posted call to arrive, then runs what is pending; false on timeout.
  bool WaitAndRun(std::chrono::milliseconds timeout);
  std::size_t Pending() const;

 private:
  std::thread::id owner_;
  mutable std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<std::function<void()>> queue_;
};

class RecordedMessages final : public OperatorMessages {
 public:
  enum class Kind { Message, Error };
  struct Shown {
    Kind kind;
    std::string text;
    std::string caption;
  };
  void ShowMessage(const std::string& text, const std::string& caption = {}) override {
    shown.push_back({Kind::Message, text, caption});
  }
  void ShowError(const std::string& text) override { shown.push_back({Kind::Error, text, {}}); }
  std::vector<std::string> Texts() const;
  std::vector<Shown> shown;
};

// Records the addresses it is asked to open; `refusing` makes it answer as a desktop that could
// not open them.
class RecordedBrowser final : public WebBrowser {
 public:
  bool Open(const std::string& url) override {
    opened.push_back(url);
    return !refusing;
  }
  std::vector<std::string> opened;
  bool refusing = false;
};

// Disk figures set by the test: one answer for every folder, or per folder (the longest folder
// that is a prefix of the path asked wins); `failing` makes every query fail.
class FakeDiskSpace final : public DiskSpace {
 public:
  bool Query(const std::string& folder, DiskFigures& out) const override;
  void Set(std::uint64_t totalBytes, std::uint64_t freeBytes) { all = {totalBytes, freeBytes}; }
  void SetFor(const std::string& folder, std::uint64_t totalBytes, std::uint64_t freeBytes);
  DiskFigures all{100ull << 30, 50ull << 30};
  bool failing = false;
  mutable std::vector<std::string> queried;

 private:
  std::vector<std::pair<std::string, DiskFigures>> perFolder_;
  mutable std::mutex mutex_;
};

// The doubles together, and the services that point at them.
struct TestPlatform {
  ManualTime time;
  QueuedMainThread mainThread;
  RecordedMessages messages;
  FakeDiskSpace disk;
  RecordedBrowser browser;
  Services services() { return Services{&time, &time, &mainThread, &messages, &disk, &browser}; }
};

}  // namespace zq::testing

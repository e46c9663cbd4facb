#include "tests/support/platform/manual_time.h"

#include <algorithm>

namespace zq::testing {

class ManualTime::ManualTimer final : public Timer {
 public:
  explicit ManualTimer(ManualTime* owner) : owner_(owner) {}
  ~ManualTimer() override {
    if (owner_ == nullptr) return;
    owner_->DisarmTimer(this);
    Forget();
  }
  void Detach() { owner_ = nullptr; }
  void Due() { Fire(); }

 protected:
  void Arm(std::int64_t intervalUs, bool singleShot) override {
    if (owner_ != nullptr) owner_->ArmTimer(this, intervalUs, singleShot);
  }
  void Disarm() override {
    if (owner_ != nullptr) owner_->DisarmTimer(this);
  }

 private:
  void Forget() {
    auto& v = owner_->timers_;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
  }
  ManualTime* owner_;
};

ManualTime::ManualTime(TDateTime start) : wallBase_(start) {}

ManualTime::~ManualTime() {
  for (ManualTimer* t : timers_)
    t->Detach();
}

TDateTime ManualTime::Now() const {
  return wallBase_.load() + static_cast<double>(mono_.load()) / (kSecsPerDay * 1e6);
}

void ManualTime::SetNow(TDateTime now) {
  wallBase_.store(now - static_cast<double>(mono_.load()) / (kSecsPerDay * 1e6));
}

std::unique_ptr<Timer> ManualTime::CreateTimer() {
  auto t = std::make_unique<ManualTimer>(this);
  timers_.push_back(t.get());
  return t;
}

void ManualTime::ArmTimer(ManualTimer* t, std::int64_t intervalUs, bool singleShot) {
  DisarmTimer(t);
  entries_.push_back({t, mono_.load() + intervalUs, intervalUs, singleShot, nextOrder_++});
}

void ManualTime::DisarmTimer(ManualTimer* t) {
  entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                [t](const Entry& e) { return e.timer == t; }),
                 entries_.end());
}

ManualTime::Entry* ManualTime::Earliest() {
  Entry* best = nullptr;
  for (Entry& e : entries_)
    if (best == nullptr || e.due < best->due || (e.due == best->due && e.order < best->order))
      best = &e;
  return best;
}

std::optional<std::int64_t> ManualTime::NextDueMicros() const {
  std::optional<std::int64_t> due;
  for (const Entry& e : entries_)
    if (!due || e.due < *due) due = e.due;
  return due;
}

void ManualTime::FireEntry(Entry e) {
  mono_.store(e.due);
  // A periodic timer's next turn is counted from this due time, before the callback runs, so a
  // callback that stops or re-arms the timer overrides it.
  for (Entry& x : entries_)
    if (x.timer == e.timer && x.order == e.order) {
      if (e.singleShot)
        DisarmTimer(e.timer);
      else
        x.due += x.interval;
      break;
    }
  e.timer->Due();
}

void ManualTime::Advance(std::chrono::microseconds span) {
  const std::int64_t target = mono_.load() + std::max<std::int64_t>(span.count(), 0);
  for (;;) {
    Entry* e = Earliest();
    if (e == nullptr || e->due > target) break;
    FireEntry(*e);
  }
  mono_.store(target);
}

bool ManualTime::FireNext() {
  Entry* e = Earliest();
  if (e == nullptr) return false;
  FireEntry(*e);
  return true;
}

void QueuedMainThread::Post(std::function<void()> call) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(call));
  }
  posted_.notify_all();
}

void QueuedMainThread::ProcessPending() {
  std::deque<std::function<void()>> round;
  {
    std::lock_guard lock(mutex_);
    round.swap(queue_);
  }
  for (auto& call : round)
    call();
}

int QueuedMainThread::RunUntilEmpty() {
  int n = 0;
  for (;;) {
    std::deque<std::function<void()>> round;
    {
      std::lock_guard lock(mutex_);
      round.swap(queue_);
    }
    if (round.empty()) return n;
    for (auto& call : round)
      call(), ++n;
  }
}

bool QueuedMainThread::WaitAndRun(std::chrono::milliseconds timeout) {
  {
    std::unique_lock lock(mutex_);
    if (!posted_.wait_for(lock, timeout, [this] { return !queue_.empty(); })) return false;
  }
  ProcessPending();
  return true;
}

std::size_t QueuedMainThread::Pending() const {
  std::lock_guard lock(mutex_);
  return queue_.size();
}

bool FakeDiskSpace::Query(const std::string& folder, DiskFigures& out) const {
  std::lock_guard lock(mutex_);
  queried.push_back(folder);
  if (failing) return false;
  std::size_t best = 0;
  out = all;
  for (const auto& [prefix, figures] : perFolder_)
    if (folder.compare(0, prefix.size(), prefix) == 0 && prefix.size() >= best) {
      best = prefix.size();
      out = figures;
    }
  return true;
}

void FakeDiskSpace::SetFor(const std::string& folder, std::uint64_t totalBytes,
                           std::uint64_t freeBytes) {
  std::lock_guard lock(mutex_);
  perFolder_.emplace_back(folder, DiskFigures{totalBytes, freeBytes});
}

std::vector<std::string> RecordedMessages::Texts() const {
  std::vector<std::string> texts;
  for (const Shown& s : shown)
    texts.push_back(s.text);
  return texts;
}

}  // namespace zq::testing

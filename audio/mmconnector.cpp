#include "audio/mmconnector.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace zq {
namespace {

constexpr int kKindFirst[] = {0, 2, 4, 6, 8, 12};
constexpr int kKindSlots[] = {2, 2, 2, 2, 4, 2};
constexpr int kMaxPauseBufferSize = 8191;

template <class T>
T& Need(T* service, const char* what) {
  if (service == nullptr) throw std::invalid_argument(std::string("connector needs ") + what);
  return *service;
}

// A sample of the triggering signal: the sample of a mono frame, the mean of a stereo one.
std::int32_t TriggerSample(const std::uint8_t* frame, bool wide, bool stereo) {
  if (!wide) return stereo ? (frame[0] + frame[1]) / 2 : frame[0];
  std::int16_t s[2] = {0, 0};
  std::memcpy(s, frame, stereo ? 4 : 2);
  return stereo ? (s[0] + s[1]) / 2 : s[0];
}

}  // namespace

std::atomic<bool> TMMConnector::enterIdle_{false};

int TriggerSearch(const TWaveFormatEx& format, const void* data, int length, int level,
                  TMMTriggerMode mode) {
  if (mode == tmNone || data == nullptr || length <= 0) return -1;
  const bool wide = format.wBitsPerSample == 16;
  const bool stereo = format.nChannels == 2;
  if ((!wide && format.wBitsPerSample != 8) || (!stereo && format.nChannels != 1)) return -1;
  const int frame = (wide ? 2 : 1) * (stereo ? 2 : 1);
  const int frames = length / frame;
  const std::int64_t percent = mode == tmDownFlank ? -static_cast<std::int64_t>(level) : level;
  const std::int64_t threshold = wide ? percent * 327 : percent * 127 / 100 + 128;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  std::int64_t prev = frames > 0 ? TriggerSample(bytes, wide, stereo) : 0;
  for (int i = 1; i < frames; ++i) {
    const std::int64_t cur = TriggerSample(bytes + i * frame, wide, stereo);
    const bool crossed = mode == tmUpFlank ? prev < threshold && threshold <= cur
                                           : prev > threshold && threshold >= cur;
    if (crossed) return i * frame;
    prev = cur;
  }
  return -1;
}

TMMConnector::TMMConnector(const Services& services, TMMComponent* owner,
                           TMMSharedTimer* pauseTimer)
    : TMMDSPComponent(owner),
      clock_(Need(services.clock, "a clock")),
      mainThread_(Need(services.mainThread, "the main thread")),
      messages_(Need(services.messages, "operator messages")),
      pauseTimer_(pauseTimer != nullptr ? *pauseTimer : SharedTimer()) {
  timer_ = Need(services.timers, "timers").CreateTimer();
  timer_->SetSingleShot(true);
  timer_->SetOnTimer([this] { RunDue(); });
}

TMMConnector::~TMMConnector() {
  Destroying();
  ChainStopped();
  for (TMMDisplayFeed* feed : slots_)
    if (feed != nullptr) std::erase(feed->connectors_, this);
  slots_ = {};
  timer_.reset();
  alive_.reset();
}

// ---- Properties -------------------------------------------------------------------------------

void TMMConnector::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  if (Designing() || value) return;
  timer_->Stop();
  {
    std::lock_guard lock(lock_);
    kinds_ = {};
  }
  ResetDisplays();
}

void TMMConnector::SetAutoTrigger(bool value) {
  if (value == autoTrigger_) return;
  autoTrigger_ = value;
  if (!Designing()) Schedule();
}

void TMMConnector::SetSynchronize(bool value) {
  if (value == synchronize_) return;
  synchronize_ = value;
  Schedule();
}

void TMMConnector::SetSpeed(int value) {
  speed_ = std::clamp(value, 1, kMaxSpeed);
}

void TMMConnector::SetRealTime(bool value) {
  if (Opened()) throw EMMConnectorError("Change to property while device was open");
  realTime_ = value;
}

// ---- Slots ------------------------------------------------------------------------------------

TMMConnector::Kind TMMConnector::KindOf(int slot) {
  int k = kKindCount - 1;
  while (slot < kKindFirst[k])
    --k;
  return static_cast<Kind>(k);
}

bool TMMConnector::Holds(const TMMDisplayFeed* feed) const {
  return std::find(slots_.begin(), slots_.end(), feed) != slots_.end();
}

void TMMConnector::SetSlot(int slot, TMMDisplayFeed* value) {
  TMMDisplayFeed* old = slots_[slot];
  if (value == old) return;
  const Kind kind = KindOf(slot);
  // The two-slot kinds start at even slots, so the other slot of the pair is slot ^ 1.
  if (value != nullptr && kKindSlots[kind] == 2 && slots_[slot ^ 1] == value) return;
  {
    std::lock_guard lock(lock_);
    slots_[slot] = value;
    kinds_[kind].pending = false;
  }
  if (old != nullptr && !Holds(old)) std::erase(old->connectors_, this);
  if (value == nullptr) return;
  auto& holders = value->connectors_;
  if (std::find(holders.begin(), holders.end(), this) == holders.end()) holders.push_back(this);
  UpdateDisplayFormats();
}

void TMMConnector::FeedDestroyed(TMMDisplayFeed* feed) {
  std::lock_guard lock(lock_);
  std::replace(slots_.begin(), slots_.end(), feed, static_cast<TMMDisplayFeed*>(nullptr));
}

template <class F>
void TMMConnector::ForEachDisplay(F&& f) {
  std::lock_guard lock(lock_);
  // One display's refusal does not keep the others from their call; the first error is raised.
  std::exception_ptr failure;
  for (TMMDisplayFeed* feed : slots_) {
    if (feed == nullptr) continue;
    try {
      f(*feed);
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }
  if (failure) std::rethrow_exception(failure);
}

void TMMConnector::UpdateDisplayFormats() {
  const TWaveFormatEx* format = running_ ? &workFormat_ : WaveFormat();
  if (IsValidPCMFormat(format))
    ForEachDisplay([format](TMMDisplayFeed& d) { d.SetFormat(format); });
}

void TMMConnector::ResetDisplays() {
  ForEachDisplay([](TMMDisplayFeed& d) { d.ResetDisplay(); });
}

template <class F>
void TMMConnector::Reported(F&& f) {
  try {
    f();
  } catch (...) {
    Report(std::current_exception());
  }
}

void TMMConnector::Report(std::exception_ptr e) {
  if (!mainThread_.IsCurrent()) {
    std::string text = "Unknown exception";
    try {
      std::rethrow_exception(e);
    } catch (const std::exception& x) {
      text = x.what();
    } catch (...) {
    }
    OperatorMessages* messages = &messages_;
    mainThread_.Post([messages, text] { messages->ShowError(text); });
    return;
  }
  // While an error box is up its own event loop may run further passes; one box at a time.
  if (reporting_) return;
  reporting_ = true;
  struct Clear {
    bool& flag;
    ~Clear() { flag = false; }
  } clear{reporting_};
  try {
    std::rethrow_exception(e);
  } catch (...) {
    messages_.HandleCurrentException();
  }
}

// ---- Chain ------------------------------------------------------------------------------------

void TMMConnector::SetWaveFormat(const TWaveFormatEx* format) {
  TMMDSPComponent::SetWaveFormat(format);
  Reported([this] { UpdateDisplayFormats(); });
}

void TMMConnector::ChainStarted() {
  TMMDSPComponent::ChainStarted();
  const TWaveFormatEx* format = WaveFormat();
  const int capacity = BufferSize();
  // Without a converter only PCM the displays can take is fed; anything else leaves the
  // connector idle for this run while buffers still pass on.
  if (Designing() || running_ || !IsValidPCMFormat(format) || capacity <= 0) return;
  {
    std::lock_guard lock(lock_);
    workFormat_ = *format;
    capacity_ = capacity;
    valid_ = 0;
    work_ = std::make_unique<std::uint8_t[]>(capacity);
    silence_ = format->wBitsPerSample == 8 ? 128 : 0;
    kinds_ = {};
    spectrograms_ = {};
  }
  running_ = true;
  Reported([this] { UpdateDisplayFormats(); });
}

void TMMConnector::ChainPaused() {
  if (!Designing() && running_ && !paused_) {
    paused_ = true;
    {
      std::lock_guard lock(lock_);
      std::memset(work_.get(), silence_, capacity_);
    }
    if (realTime_) {
      const int size = BufferSize();
      const int interval =
          size <= kMaxPauseBufferSize ? BytesToMs(WaveFormat(), size) : TMMSharedTimer::kPeriodMs;
      pauseClient_ = pauseTimer_.RegisterClient(
          interval, 0, [this](TMMTimerClient*, void*) { PauseTick(); }, this);
      // Without the client the displays only freeze during the pause; the recording goes on.
      if (pauseClient_ == nullptr)
        Report(std::make_exception_ptr(EMMConnectorError("Not enough timers available")));
    }
  }
  TMMDSPComponent::ChainPaused();
}

void TMMConnector::ChainRestarted() {
  if (paused_) {
    paused_ = false;
    pauseTimer_.UnregisterClient(pauseClient_);
    pauseClient_ = nullptr;
  }
  TMMDSPComponent::ChainRestarted();
}

void TMMConnector::ChainStopped() {
  if (!Designing() && running_) {
    running_ = false;
    paused_ = false;
    pauseTimer_.UnregisterClient(pauseClient_);
    pauseClient_ = nullptr;
    pauseTickAt_ = -1;
    timer_->Stop();
    {
      std::lock_guard lock(lock_);
      work_.reset();
      capacity_ = valid_ = 0;
      kinds_ = {};
      spectrograms_ = {};
    }
    if (refreshOnStop_) Reported([this] { ResetDisplays(); });
  }
  TMMDSPComponent::ChainStopped();
}

void TMMConnector::BufferReady(PWaveHdr lpWaveHdr) {
  const bool copied = lpWaveHdr != nullptr && Copy(lpWaveHdr->lpData, lpWaveHdr->dwBytesRecorded);
  TMMDSPComponent::BufferReady(lpWaveHdr);
  if (copied) FeedAfterCopy();
}

void TMMConnector::FillBuffer(PWaveHdr lpWaveHdr, bool& moreBuffers) {
  TMMDSPComponent::FillBuffer(lpWaveHdr, moreBuffers);
  if (lpWaveHdr != nullptr && Copy(lpWaveHdr->lpData, lpWaveHdr->dwBytesRecorded)) FeedAfterCopy();
}

// ---- Copy and delivery ------------------------------------------------------------------------

bool TMMConnector::Copy(const char* data, std::uint32_t count) {
  if (!enabled_ || paused_ || !running_ || data == nullptr) return false;
  const std::int64_t arrival = clock_.MonotonicMicros();
  {
    std::lock_guard lock(lock_);
    if (work_ == nullptr) return false;
    valid_ =
        static_cast<int>(std::min<std::uint32_t>(count, static_cast<std::uint32_t>(capacity_)));
    std::memcpy(work_.get(), data, static_cast<std::size_t>(valid_));
    RestartBlocks(arrival);
  }
  return true;
}

void TMMConnector::FeedAfterCopy() {
  if (!autoTrigger_) return;
  if (realTime_)
    RequestWake();
  else  // without RealTime the displays are fed here, once the buffer has gone on
    Reported([this] { DeliveryPass(); });
}

void TMMConnector::RestartBlocks(std::int64_t arrival) {
  arrival_ = arrival;
  for (int k = 0; k < kKindCount; ++k) {
    const auto first = slots_.begin() + kKindFirst[k];
    const bool attached = std::any_of(first, first + kKindSlots[k],
                                      [](const TMMDisplayFeed* f) { return f != nullptr; });
    kinds_[k] = {attached, 0};
  }
  for (int i = 0; i < 2; ++i)
    spectrograms_[i] = {slots_[kSpectrogram1 + i] != nullptr, 0};
}

std::int64_t TMMConnector::Due(int offset) const {
  return arrival_ + static_cast<std::int64_t>(offset) * 1000000 / workFormat_.nAvgBytesPerSec;
}

bool TMMConnector::Ready(int offset, std::int64_t now) const {
  return !synchronize_ || now >= Due(offset);
}

int TMMConnector::WholeFramesAtLeastOne(int bytes) const {
  const int frame = workFormat_.nBlockAlign;
  return std::max(bytes - bytes % frame, frame);
}

int TMMConnector::LargestBlock(Kind kind) const {
  int n = 0;
  for (int i = kKindFirst[kind]; i < kKindFirst[kind] + kKindSlots[kind]; ++i)
    if (slots_[i] != nullptr) n = std::max(n, slots_[i]->BlockBytes());
  return n;
}

void TMMConnector::Feed(Kind kind, int offset) {
  // Slots are read afresh for every display: one may have gone during the block before.
  for (int i = kKindFirst[kind]; i < kKindFirst[kind] + kKindSlots[kind]; ++i)
    if (slots_[i] != nullptr) slots_[i]->ProcessData(work_.get() + offset);
}

void TMMConnector::DeliveryPass() {
  if (!enabled_ || !running_) return;
  std::exception_ptr failure;
  {
    std::lock_guard lock(lock_);
    if (work_ == nullptr || inPass_) return;
    inPass_ = true;
    const std::int64_t now = clock_.MonotonicMicros();
    for (int k = 0; k < kKindCount; ++k) {
      if (!kinds_[k].pending) continue;
      try {
        Deliver(static_cast<Kind>(k), now);
      } catch (...) {
        // A failing display ends its kind for this buffer, so it does not fail once per block.
        kinds_[k].pending = false;
        if (!failure) failure = std::current_exception();
      }
    }
    inPass_ = false;
  }
  if (failure) Report(failure);
  if (OnTrigger) OnTrigger(this);
}

void TMMConnector::Deliver(Kind kind, std::int64_t now) {
  if (kind == kScopes) return DeliverScopes(now);
  if (kind == kSpectrograms) return DeliverSpectrograms(now);
  KindState& s = kinds_[kind];
  while (s.pending) {
    const int n = LargestBlock(kind);
    if (n <= 0 || s.offset > valid_ - n) {
      s.pending = false;  // no whole block left: the tail is not shown
      break;
    }
    if (!Ready(s.offset, now)) break;
    const int offset = s.offset;
    s.offset += n;
    Feed(kind, offset);
  }
}

void TMMConnector::DeliverScopes(std::int64_t now) {
  KindState& s = kinds_[kScopes];
  while (s.pending) {
    const int n = LargestBlock(kScopes);
    if (n <= 0 || s.offset > valid_ - n) {
      s.pending = false;
      break;
    }
    if (!Ready(s.offset, now)) break;
    int offset = s.offset;
    const TMMTriggerMode mode = triggerMode_;
    if (mode != tmNone && !paused_) {
      const int t =
          TriggerSearch(workFormat_, work_.get() + offset, valid_ - offset, triggerLevel_, mode);
      if (t > 0) offset += t;
    }
    // A chart-recorder scope that scrolls by itself moves on a quarter of its block per update.
    int step = n;
    const TMMScopeFeed* first = Oscope1() != nullptr ? Oscope1() : Oscope2();
    if (first != nullptr && first->Scroll() && first->Accelerate())
      step = std::max(first->FFTLength() / 4, 1) * (first->BitLength() + 1) * (first->Mode() + 1);
    s.offset = offset + step;
    if (offset > valid_ - n) {
      s.pending = false;
      break;
    }
    Feed(kScopes, offset);
  }
}

void TMMConnector::DeliverSpectrograms(std::int64_t now) {
  for (int i = 0; i < 2; ++i) {
    KindState& s = spectrograms_[i];
    while (s.pending) {
      TMMSpectrogramFeed* feed = Get<TMMSpectrogramFeed>(kSpectrogram1 + i);
      const int n = feed != nullptr ? feed->BlockBytes() : 0;
      if (n <= 0 || s.offset > valid_ - n) {
        s.pending = false;
        break;
      }
      if (!Ready(s.offset, now)) break;
      const int offset = s.offset;
      s.offset += feed->Scroll() ? WholeFramesAtLeastOne(n / 4) : n;
      feed->ProcessData(work_.get() + offset);
    }
  }
  kinds_[kSpectrograms].pending = spectrograms_[0].pending || spectrograms_[1].pending;
}

std::optional<std::int64_t> TMMConnector::NextDue() const {
  std::optional<std::int64_t> due;
  auto consider = [&](int offset) {
    const std::int64_t d = synchronize_ ? Due(offset) : arrival_;
    if (!due || d < *due) due = d;
  };
  for (int k = 0; k < kKindCount; ++k) {
    if (!kinds_[k].pending) continue;
    if (k != kSpectrograms) {
      consider(kinds_[k].offset);
      continue;
    }
    for (const KindState& s : spectrograms_)
      if (s.pending) consider(s.offset);
  }
  return due;
}

// ---- Pacing -----------------------------------------------------------------------------------

void TMMConnector::RunDue() {
  const std::int64_t tick = pauseTickAt_.exchange(-1);
  if (tick >= 0 && paused_) {
    std::lock_guard lock(lock_);
    if (work_ != nullptr) RestartBlocks(tick);
  }
  if (Delivering() && autoTrigger_) Reported([this] { DeliveryPass(); });
  Schedule();
}

void TMMConnector::Schedule() {
  std::optional<std::int64_t> due;
  if (Delivering() && autoTrigger_) {
    std::lock_guard lock(lock_);
    if (work_ != nullptr) due = NextDue();
  }
  timer_->Stop();
  if (!due) return;
  const std::int64_t wait = *due - clock_.MonotonicMicros();
  if (wait <= 0) {
    RequestWake();  // became due while the pass ran: let other events in first
    return;
  }
  timer_->SetIntervalMicros(std::min(wait, Timer::kMaxIntervalMs * 1000));
  timer_->Start();
}

void TMMConnector::RequestWake() {
  if (wakePosted_.exchange(true)) return;
  std::weak_ptr<int> alive = alive_;
  try {
    mainThread_.Post([this, alive] {
      if (alive.expired()) return;
      wakePosted_ = false;
      RunDue();
    });
  } catch (...) {
    wakePosted_ = false;
    throw;
  }
}

void TMMConnector::PauseTick() {
  pauseTickAt_ = clock_.MonotonicMicros();
  RequestWake();
}

void TMMConnector::Trigger() {
  if (!enabled_ || !running_ || autoTrigger_ || triggerPosted_) return;
  if (mainThread_.IsCurrent()) {
    DeliveryPass();
    return;
  }
  if (triggerPosted_.exchange(true)) return;
  std::weak_ptr<int> alive = alive_;
  mainThread_.Post([this, alive] {
    if (alive.expired()) return;
    // Cleared whatever the pass finds, so a stale trigger never blocks the next one.
    triggerPosted_ = false;
    Reported([this] { DeliveryPass(); });
  });
}

}  // namespace zq

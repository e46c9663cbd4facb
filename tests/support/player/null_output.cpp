#include "tests/support/player/null_output.h"

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "platform/errortext.h"

namespace zq::testing {

NullOutput::NullOutput(const Clock* clock, double bufferSeconds)
    : clock_(clock), bufferSeconds_(bufferSeconds) {}

void NullOutput::RefuseOpen(int code) {
  std::lock_guard guard(lock_);
  refuse_ = code;
}

void NullOutput::LoseAfter(std::int64_t frames, int code) {
  std::lock_guard guard(lock_);
  loseAfter_ = frames;
  loseCode_ = code;
}

void NullOutput::SetPausable(bool pausable) {
  std::lock_guard guard(lock_);
  pausable_ = pausable;
}

std::vector<std::int16_t> NullOutput::Played() {
  std::lock_guard guard(lock_);
  Advance();
  return played_;
}

std::int64_t NullOutput::PlayedFrames() {
  std::lock_guard guard(lock_);
  Advance();
  return playedFrames_;
}

std::uint64_t NullOutput::Poke() {
  std::uint64_t poke;
  {
    std::lock_guard guard(lock_);
    wake_ = true;
    poke = ++wakes_;
  }
  woken_.notify_all();
  return poke;
}

bool NullOutput::Settled(std::uint64_t poke) const {
  std::lock_guard guard(lock_);
  return enteredAfter_ >= poke;
}

std::int64_t NullOutput::Written() const {
  std::lock_guard guard(lock_);
  return written_;
}

std::vector<std::string> NullOutput::Events() const {
  std::lock_guard guard(lock_);
  return events_;
}

std::string NullOutput::ErrorText(int code) const {
  return SystemErrorText(-code);
}

int NullOutput::Open(long rate, int channels) {
  std::lock_guard guard(lock_);
  if (open_) events_.push_back("close");
  Empty();
  open_ = false;
  if (refuse_ != 0) return refuse_;
  open_ = true;
  rate_ = rate;
  channels_ = channels;
  capacity_ = static_cast<std::int64_t>(bufferSeconds_ * static_cast<double>(rate));
  events_.push_back("open " + std::to_string(rate) + " " + std::to_string(channels));
  return 0;
}

void NullOutput::Close() {
  std::lock_guard guard(lock_);
  if (!open_) return;
  Advance();
  Empty();
  open_ = false;
  events_.push_back("close");
}

long NullOutput::Write(const std::int16_t* pcm, long frames) {
  std::lock_guard guard(lock_);
  if (!open_) return -EBADFD;
  Advance();
  if (loseAfter_ >= 0 && written_ >= loseAfter_) return loseCode_;
  if (dry_) return -EPIPE;
  std::int64_t n = frames;
  if (clock_ != nullptr) n = std::min(n, capacity_ - Queued());
  if (loseAfter_ >= 0) n = std::min(n, loseAfter_ - written_);
  if (n <= 0) return 0;
  const std::size_t samples = static_cast<std::size_t>(n * channels_);
  written_ += n;
  if (clock_ == nullptr) {
    played_.insert(played_.end(), pcm, pcm + samples);
    playedFrames_ += n;
    return static_cast<long>(n);
  }
  queue_.insert(queue_.end(), pcm, pcm + samples);
  if (!running_) {
    running_ = true;
    startMicros_ = clock_->MonotonicMicros();
    playedSinceStart_ = 0;
  }
  return static_cast<long>(n);
}

int NullOutput::Recover(int code) {
  std::lock_guard guard(lock_);
  if (code != -EPIPE && code != -ESTRPIPE) return code;
  Empty();
  events_.push_back("recover");
  return 0;
}

int NullOutput::Delay(long& frames) {
  std::lock_guard guard(lock_);
  frames = 0;
  if (!open_) return 0;
  Advance();
  if (loseAfter_ >= 0 && written_ >= loseAfter_) return loseCode_;
  frames = static_cast<long>(Queued());
  return 0;
}

int NullOutput::Drop() {
  std::lock_guard guard(lock_);
  Advance();
  Empty();
  events_.push_back("drop");
  return 0;
}

int NullOutput::Pause(bool hold) {
  std::lock_guard guard(lock_);
  if (!pausable_) return -ENOSYS;
  if (!running_ || paused_ == hold) return 0;
  Advance();
  const std::int64_t now = clock_ != nullptr ? clock_->MonotonicMicros() : 0;
  if (hold)
    pausedMicros_ = now;
  else
    startMicros_ += now - pausedMicros_;  // the paused span is not playing time
  paused_ = hold;
  events_.push_back(hold ? "pause" : "resume");
  return 0;
}

void NullOutput::Wait(int timeoutMs, bool forRoom) {
  // The test's clock moves without telling anyone: look again every millisecond.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::unique_lock guard(lock_);
  enteredAfter_ = consumed_;
  for (;;) {
    if (wake_) break;
    if (forRoom && open_) {
      Advance();
      if (clock_ == nullptr || Queued() < capacity_ || dry_) break;
    }
    if (std::chrono::steady_clock::now() >= deadline) break;
    woken_.wait_for(guard, std::chrono::milliseconds(1));
  }
  if (wake_) consumed_ = wakes_;
  wake_ = false;
}

void NullOutput::Wake() {
  Poke();
}

void NullOutput::Advance() {
  if (clock_ == nullptr || !running_ || paused_) return;
  const std::int64_t due =
      (clock_->MonotonicMicros() - startMicros_) * rate_ / 1000000 - playedSinceStart_;
  if (due <= 0) return;
  const std::int64_t n = std::min(due, Queued());
  const auto end = queue_.begin() + static_cast<std::ptrdiff_t>(n * channels_);
  played_.insert(played_.end(), queue_.begin(), end);
  queue_.erase(queue_.begin(), end);
  playedSinceStart_ += n;
  playedFrames_ += n;
  if (due > n) {  // time went on with nothing left to play
    running_ = false;
    dry_ = true;
  }
}

void NullOutput::Empty() {
  queue_.clear();
  running_ = paused_ = dry_ = false;
}

}  // namespace zq::testing

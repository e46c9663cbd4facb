#pragma once
// A sound device with nothing behind it, for the media control's tests: it plays what it is given
// at once, or at the pace of a clock (the test's ManualTime), keeps every sample it played in
// order, and fails on demand.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "player/playbackoutput.h"

namespace zq::testing {

class NullOutput final : public TPlaybackOutput {
 public:
  // Without a clock every frame written is played at once. With one, `bufferSeconds` of frames
  // fit in the device and are played as the clock's monotonic time moves from the first write
  // on; a device left with nothing while time moves runs dry, and its next write is an underrun
  // (-EPIPE).
  explicit NullOutput(const Clock* clock = nullptr, double bufferSeconds = 0.5);

  // Faults, from any thread: every Open fails with `code`; or once `frames` frames have been
  // written in all, the device is lost (writes and delays fail with `code`); or no pausing.
  void RefuseOpen(int code);
  void LoseAfter(std::int64_t frames, int code);
  void SetPausable(bool pausable);

  // What happened up to the clock's time, from any thread.
  std::vector<std::int16_t> Played();  // every sample played, interleaved, in order
  std::int64_t PlayedFrames();
  std::int64_t Written() const;  // frames written in all
  // "open <rate> <channels>", "close", "drop", "pause", "resume", "recover", in order.
  std::vector<std::string> Events() const;
  // Wakes the playback thread (as Wake) and returns a number for Settled.
  std::uint64_t Poke();
  // Whether the playback thread has gone through a whole round of its work since Poke gave
  // `poke`: it has begun a wait after one that the poke ended.
  bool Settled(std::uint64_t poke) const;

  std::string Name() const override { return "null"; }
  std::string ErrorText(int code) const override;
  int Open(long rate, int channels) override;
  void Close() override;
  long Write(const std::int16_t* pcm, long frames) override;
  int Recover(int code) override;
  int Delay(long& frames) override;
  int Drop() override;
  int Pause(bool hold) override;
  void Wait(int timeoutMs, bool forRoom) override;
  void Wake() override;

 private:
  void Advance();  // plays what is due; lock held
  void Empty();    // lock held
  std::int64_t Queued() const { return static_cast<std::int64_t>(queue_.size()) / channels_; }

  const Clock* clock_;
  const double bufferSeconds_;
  mutable std::mutex lock_;
  std::condition_variable woken_;
  bool wake_ = false;
  std::uint64_t wakes_ = 0;         // Wake calls
  std::uint64_t consumed_ = 0;      // the wakes seen by a wait so far
  std::uint64_t enteredAfter_ = 0;  // consumed_ when the last wait began
  int refuse_ = 0;
  std::int64_t loseAfter_ = -1;
  int loseCode_ = 0;
  bool pausable_ = true;

  bool open_ = false;
  long rate_ = 0;
  int channels_ = 1;
  std::int64_t capacity_ = 0;
  std::deque<std::int16_t> queue_;
  bool running_ = false, paused_ = false, dry_ = false;
  std::int64_t startMicros_ = 0, pausedMicros_ = 0, playedSinceStart_ = 0;
  std::int64_t written_ = 0;
  std::int64_t playedFrames_ = 0;
  std::vector<std::int16_t> played_;
  std::vector<std::string> events_;
};

}  // namespace zq::testing

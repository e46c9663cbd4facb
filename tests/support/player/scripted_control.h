#pragma once
// A media control the test drives, for the player's window logic: it records every call made to
// it, opens, joins and fails only when told, and its position is what the test says is heard.

#include <string>
#include <vector>

#include "player/mediacontrol.h"

namespace zq::testing {

class ScriptedControl final : public TMediaControl {
 public:
  // Every call that changes something, in order: "open <path>", "seek <seconds>", "run",
  // "pause", "stop", "next <path>" (an empty path drops the queue).
  std::vector<std::string> calls;

  // The test's side. The file being opened is open, `duration` seconds long: OnOpenComplete.
  // False when no open is under way.
  bool CompleteOpen(double duration);
  // The open under way fails: the control stops, the queue goes, OnError.
  bool FailOpen();
  // The queued file's first sample is heard: it is the file, `duration` long, at 0: OnNextFile.
  bool JoinNext(double duration);
  // The queued file cannot be opened: the queue goes, the file plays on, OnError.
  bool FailNext();
  // The device is lost: the control stops where it was, the queue goes, OnError.
  void LoseDevice();
  // The sample being heard, in seconds (held to 0 .. Duration).
  void Hear(double seconds);
  // To the end, the last sample heard.
  void HearEnd() { Hear(duration_); }
  bool Opening() const { return opening_; }

  const std::string& FileName() const override { return fileName_; }
  void SetFileName(const std::string& path) override;
  double Duration() const override { return open_ ? duration_ : 0; }
  double CurrentPosition() const override { return open_ ? position_ : 0; }
  void SetCurrentPosition(double seconds) override;
  double SelectionEnd() const override { return Duration(); }
  void Run() override;
  void Pause() override;
  void Stop() override;
  TMoviePlayState PlayState() const override { return state_; }
  const std::string& NextFileName() const override { return next_; }
  void SetNextFileName(const std::string& path) override;

 private:
  void Fire(const TMovieEvent& event) {
    if (event) event(this);
  }

  std::string fileName_, next_;
  bool opening_ = false, open_ = false;
  double duration_ = 0, position_ = 0;
  TMoviePlayState state_ = mpStopped;
};

}  // namespace zq::testing

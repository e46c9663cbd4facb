#include "tests/support/player/scripted_control.h"

#include <algorithm>
#include <sstream>

namespace zq::testing {

bool ScriptedControl::CompleteOpen(double duration) {
  if (!opening_) return false;
  opening_ = false;
  open_ = true;
  duration_ = duration;
  position_ = 0;
  Fire(OnOpenComplete);
  return true;
}

bool ScriptedControl::FailOpen() {
  if (!opening_) return false;
  opening_ = false;
  state_ = mpStopped;
  next_.clear();
  Fire(OnError);
  return true;
}

bool ScriptedControl::JoinNext(double duration) {
  if (!open_ || next_.empty()) return false;
  fileName_ = next_;
  next_.clear();
  duration_ = duration;
  position_ = 0;
  Fire(OnNextFile);
  return true;
}

bool ScriptedControl::FailNext() {
  if (next_.empty()) return false;
  next_.clear();
  Fire(OnError);
  return true;
}

void ScriptedControl::LoseDevice() {
  state_ = mpStopped;
  next_.clear();
  Fire(OnError);
}

void ScriptedControl::Hear(double seconds) {
  position_ = std::clamp(seconds, 0.0, duration_);
}

void ScriptedControl::SetFileName(const std::string& path) {
  calls.push_back("open " + path);
  fileName_ = path;
  next_.clear();
  open_ = false;
  opening_ = !path.empty();
  state_ = path.empty() ? mpStopped : mpRunning;
}

void ScriptedControl::SetCurrentPosition(double seconds) {
  if (!open_) return;
  std::ostringstream text;
  text << "seek " << seconds;
  calls.push_back(text.str());
  Hear(seconds);
}

void ScriptedControl::Run() {
  calls.push_back("run");
  if (open_ || opening_) state_ = mpRunning;
}

void ScriptedControl::Pause() {
  calls.push_back("pause");
  if (open_ || opening_) state_ = mpPaused;
}

void ScriptedControl::Stop() {
  calls.push_back("stop");
  opening_ = false;
  next_.clear();
  position_ = 0;
  state_ = mpStopped;
}

void ScriptedControl::SetNextFileName(const std::string& path) {
  if ((!open_ && !opening_) || path == next_) return;
  calls.push_back("next " + path);
  next_ = path;
}

}  // namespace zq::testing

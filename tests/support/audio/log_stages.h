#pragma once
// Stages for chain tests: each writes what it receives into a shared log as "name:event".

#include <string>
#include <vector>

#include "audio/mmdspobj.h"

namespace zq::testing {

using Log = std::vector<std::string>;

class LogStage : public TMMDSPComponent {
 public:
  LogStage(std::string name, Log* log, bool publishesInput = true, bool publishesOutput = true)
      : publishesInput_(publishesInput), publishesOutput_(publishesOutput), log_(log) {
    SetName(std::move(name));
  }
  ~LogStage() override { Destroying(); }

  bool Publishes(std::string_view p) const override {
    return (p == "Input" && publishesInput_) || (p == "Output" && publishesOutput_);
  }
  void ChainOpened() override {
    Note("open");
    TMMDSPComponent::ChainOpened();
  }
  void ChainClosed() override {
    Note("close");
    TMMDSPComponent::ChainClosed();
  }
  void ChainStarted() override {
    Note("start");
    TMMDSPComponent::ChainStarted();
  }
  void ChainPaused() override {
    Note("pause");
    TMMDSPComponent::ChainPaused();
  }
  void ChainRestarted() override {
    Note("restart");
    TMMDSPComponent::ChainRestarted();
  }
  void ChainStopped() override {
    Note("stop");
    TMMDSPComponent::ChainStopped();
  }
  void BufferReady(PWaveHdr h) override {
    Note("buffer:" + std::to_string(h->dwBytesRecorded));
    TMMDSPComponent::BufferReady(h);
  }

 protected:
  void Note(const std::string& what) {
    if (log_ != nullptr && !InState(csDestroying)) log_->push_back(Name() + ":" + what);
  }

 private:
  bool publishesInput_, publishesOutput_;
  Log* log_;
};

// A sound device with nothing behind it, for the chain walk.
class LogDevice : public TMMCustomSoundComponent {
 public:
  LogDevice(std::string name, Log* log, bool publishesInput = false) : log_(log) {
    SetName(std::move(name));
    publishesInput_ = publishesInput;
  }
  ~LogDevice() override { Destroying(); }

  bool Publishes(std::string_view p) const override {
    return p == "Output" || (p == "Input" && publishesInput_);
  }
  void ChainOpened() override {
    Note("open");
    TMMCustomSoundComponent::ChainOpened();
  }
  void ChainClosed() override {
    Note("close");
    TMMCustomSoundComponent::ChainClosed();
  }
  void ChainStarted() override {
    Note("start");
    TMMCustomSoundComponent::ChainStarted();
  }
  void ChainPaused() override {
    Note("pause");
    TMMCustomSoundComponent::ChainPaused();
  }
  void ChainRestarted() override {
    Note("restart");
    TMMCustomSoundComponent::ChainRestarted();
  }
  void ChainStopped() override {
    Note("stop");
    TMMCustomSoundComponent::ChainStopped();
  }

  void SetNumBuffers(int v) override { numBuffers_ = v; }
  int NumBuffers() const override { return numBuffers_; }
  void SetDeviceID(TMMDeviceId v) override { id_ = v; }
  TMMDeviceId DeviceID() const override { return id_; }
  void SetProductName(const std::string&) override {}
  std::string ProductName() const override { return "log device"; }
  void SetCallBackMode(TMMCBMode m) override { mode_ = m; }
  TMMCBMode CallBackMode() const override { return mode_; }

 private:
  void Note(const std::string& what) {
    if (log_ != nullptr && !InState(csDestroying)) log_->push_back(Name() + ":" + what);
  }
  Log* log_;
  bool publishesInput_ = false;
  int numBuffers_ = 10;
  TMMDeviceId id_ = 0;
  TMMCBMode mode_ = cmWindow;
};

}  // namespace zq::testing

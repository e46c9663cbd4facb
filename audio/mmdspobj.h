#pragma once
// The stage chain. Stages link through Input and Output; the stream format travels from the head
// to the tail, each stage keeping its own copy; the sound device at the head drives the life
// cycle (open, start, pause, restart, stop, close) along the chain and pushes every filled buffer
// down it with BufferReady.
//
// Threads: links, formats and life-cycle notifications change on the main thread. BufferReady
// runs on whatever thread the device delivers from (the main thread in the recorder); a stage
// that hands the data to another thread copies it before returning. The header passed to
// BufferReady is lent for the call only.
//
// Links are plain pointers cleared by free notification, so destroying a linked stage never
// leaves a dangling link. Refused links (self, loops, a peer without the property) are ignored.

#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

#include "audio/mmsystem.h"
#include "audio/mmutils.h"
#include "platform/mmobject.h"

namespace zq {

class TMMCustomSoundComponent;
class TMMDSPComponent;

using TMMBufferEvent = std::function<void(TMMDSPComponent* sender, PWaveHdr lpWaveHdr)>;

class TMMNonVisualComponent : public TMMComponent {
 public:
  using TMMComponent::TMMComponent;
};

class TMMCustomDSPComponent : public TMMNonVisualComponent {
 public:
  using TMMNonVisualComponent::TMMNonVisualComponent;
};

class TMMDSPComponent : public TMMCustomDSPComponent {
 public:
  static constexpr int kDefaultBufferSize = 2048;
  static constexpr std::size_t kMaxLinkName = 20;

  explicit TMMDSPComponent(TMMComponent* owner = nullptr);
  ~TMMDSPComponent() override;

  virtual void PropagateFormat();
  // Run by every registered stage when `stage` is about to take a new link on the given side.
  virtual void PeerLinkChanged(TMMDSPComponent* stage, bool outputSide, std::string_view name);

  virtual void SetInput(TMMDSPComponent* value);
  virtual TMMDSPComponent* Input() const { return input_; }
  virtual void SetOutput(TMMDSPComponent* value);
  virtual TMMDSPComponent* Output() const { return output_; }

  // Writing a pointer other than the stage's own stops a started stage and stores a copy; then
  // the stage's record is offered downstream (also when the pointer was the stage's own).
  virtual void SetWaveFormat(const TWaveFormatEx* format);
  virtual const TWaveFormatEx* WaveFormat() const { return format_.get(); }

  // The effective size (whole frames, fixed at open) while opened, the nominal size otherwise.
  virtual int BufferSize() const;
  virtual void SetBufferSize(int size);

  virtual void InputFormatChanged(const TWaveFormatEx* format);
  virtual void ChainOpened();
  virtual void ChainClosed();
  virtual void ChainStarted();
  virtual void ChainPaused();
  virtual void ChainRestarted();
  virtual void ChainStopped();
  // Two further chain notifications that no stage of this system raises.
  virtual void ChainReserved1() {}
  virtual void ChainReserved2() {}
  // Fires OnBufferReady, then passes the header to Output. An override does its own work first
  // and then calls this.
  virtual void BufferReady(PWaveHdr lpWaveHdr);
  // The pull direction: passed on to Input. No stage of this system starts a pull.
  virtual void FillBuffer(PWaveHdr lpWaveHdr, bool& moreBuffers);
  virtual void SetInputLink(TMMDSPComponent* stage, std::string_view name);
  virtual void SetOutputLink(TMMDSPComponent* stage, std::string_view name);
  // V may feed this stage: not this stage, V publishes Output, and V is not already downstream.
  virtual bool AcceptsInput(TMMDSPComponent* v) const;
  // V may follow this stage: not this stage, V publishes Input, and V is not already upstream.
  virtual bool AcceptsOutput(TMMDSPComponent* v) const;

  // Which link properties the class publishes ("Input", "Output"). Both by default; a device at
  // the head of a chain publishes only Output.
  virtual bool Publishes(std::string_view property) const;
  // A sound device answers itself; passive stages answer null.
  virtual TMMCustomSoundComponent* AsSoundComponent() { return nullptr; }

  bool Opened() const { return opened_; }
  bool Started() const { return started_; }
  bool Paused() const { return paused_; }
  const std::string& InputLinkName() const { return inputLinkName_; }
  const std::string& OutputLinkName() const { return outputLinkName_; }

  TMMBufferEvent OnBufferReady;

 protected:
  void Notification(TMMComponent* component, TOperation operation) override;
  void Loaded() override;
  bool Busy() const { return InState(csLoading | csReading | csDestroying); }

  int nominalBufferSize_ = kDefaultBufferSize;
  int effectiveBufferSize_ = kDefaultBufferSize;

 private:
  // The published link property `name` of this stage; null when not published or unset.
  TMMDSPComponent* LinkProperty(std::string_view name) const;
  static void Broadcast(TMMDSPComponent* stage, bool outputSide, std::string_view name);

  TMMDSPComponent* input_ = nullptr;
  TMMDSPComponent* output_ = nullptr;
  WaveFormatPtr format_;
  bool opened_ = false;
  bool started_ = false;
  bool paused_ = false;
  std::string inputLinkName_;
  std::string outputLinkName_;
};

enum TMMCBMode { cmWindow, cmCallback, cmThread };
using TMMDeviceId = int;

// A stage that is a sound device. It walks the chain with the life-cycle notifications: opening
// and starting reach the stages from the head toward the tail; stopping and closing reach a
// downstream device before the passive stages.
class TMMCustomSoundComponent : public TMMDSPComponent {
 public:
  using TMMDSPComponent::TMMDSPComponent;

  TMMCustomSoundComponent* AsSoundComponent() override { return this; }

  void ChainOpened() override;
  void ChainClosed() override;
  void ChainStarted() override;
  void ChainPaused() override;
  void ChainRestarted() override;
  void ChainStopped() override;

  virtual void SetNumBuffers(int value) = 0;
  virtual int NumBuffers() const = 0;
  virtual void SetDeviceID(TMMDeviceId value) = 0;
  virtual TMMDeviceId DeviceID() const = 0;
  virtual void SetProductName(const std::string& value) = 0;
  virtual std::string ProductName() const = 0;
  virtual void SetCallBackMode(TMMCBMode value) = 0;
  virtual TMMCBMode CallBackMode() const = 0;

 private:
  TMMDSPComponent* ChainStart();
  // Calls `notify` on each stage from the start to the first other device (not on this one).
  template <class F>
  void WalkPassive(F notify, bool includeNextDevice);
  TMMDSPComponent* NextDevice();
};

// A thread of the multimedia classes: Execute runs on it; Terminate asks it to end; WaitFor joins.
class TMMThreadEx {
 public:
  TMMThreadEx() = default;
  virtual ~TMMThreadEx();
  TMMThreadEx(const TMMThreadEx&) = delete;
  TMMThreadEx& operator=(const TMMThreadEx&) = delete;

  // Starts the thread; std::system_error when the system refuses one.
  void Resume();
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }
  // Joins the thread (after Terminate, or when Execute ends by itself). Not from the thread itself.
  void WaitFor();
  bool Running() const { return thread_.joinable(); }
  std::thread::native_handle_type Handle() { return thread_.native_handle(); }

 protected:
  virtual void Execute() = 0;

 private:
  std::thread thread_;
  std::atomic<bool> terminated_{false};
};

// The thread that serves a sound device, given at construction.
class TMMDSPThread : public TMMThreadEx {
 public:
  explicit TMMDSPThread(TMMCustomSoundComponent& device) : device_(device) {}
  TMMCustomSoundComponent& Device() const { return device_; }

 private:
  TMMCustomSoundComponent& device_;
};

}  // namespace zq

#pragma once
// TMMConnector: a passive stage that lets the captured stream be watched. Every buffer passes on
// to Output unchanged; while the stream runs, the connector keeps a copy of the latest buffer and
// feeds it, block by block and each block no earlier than its real time, to up to fourteen
// displays (audio/mmdisplayfeed.h) in six kinds: levels, meters, scopes, lights, spectra,
// spectrograms (that is also the order of a delivery pass; slots go in index order).
//
// Threads.
// - Properties, slots, the chain notifications and timed delivery: main thread.
// - BufferReady / FillBuffer: the thread the capture delivers on. There the connector only
//   copies the buffer into its work buffer under its lock, stamps the arrival time and wakes the
//   main thread; all display work happens later in a delivery pass. With RealTime False the pass
//   instead runs right there, after the buffer has gone on to Output.
// - Trigger: any thread (another thread's trigger is posted to the main thread).
// - The pause client runs on the shared timer's thread and only leaves a time stamp and a wake.
//
// Pacing. The block at byte offset o of a buffer is due Trunc(1e6 * o / bytes-per-second) us
// after the buffer arrived (with Synchronize; without it every block is due at once). After each
// pass the connector arms one single-shot timer for the earliest due block, so an idle connector
// costs nothing; a pass delivers every block already due. A new buffer replaces the old one:
// blocks not yet delivered are dropped, never shown late past the next buffer. A block that no
// longer fits in the valid bytes (the partial tail) is not shown. Speed and EnterIdle are kept as
// properties but no longer steer anything: passes are timed by the blocks themselves.
//
// Failures. A display's exception in a pass goes to the application's exception handler (the
// operator-message service), never into the capture path; so do display errors raised by chain
// notifications (format, start, stop). A non-PCM input (no converter here) or a PCM format the
// displays cannot take leaves the connector idle for that run while buffers still pass on.
//
// Ownership: the connector owns its work buffer and its timers; displays are plain pointers,
// cleared when a display is destroyed. The connector must be destroyed on the main thread.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>

#include "audio/mmdisplayfeed.h"
#include "audio/mmdspobj.h"
#include "audio/mmtimer.h"
#include "platform/services.h"

namespace zq {

class EMMConnectorError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum TMMTriggerMode { tmNone, tmUpFlank, tmDownFlank };

// The oscilloscope trigger: the byte distance from `data` to the first frame after a crossing of
// the threshold (TriggerLevel percent of full scale; negated for tmDownFlank), or -1 when there
// is none. tmUpFlank wants s[i] < threshold <= s[i+1], tmDownFlank s[i] > threshold >= s[i+1].
// Stereo data triggers on the mean of both channels, the trace a scope shows by default, and the
// result is always on a frame boundary. Any thread.
int TriggerSearch(const TWaveFormatEx& format, const void* data, int length, int level,
                  TMMTriggerMode mode);

class TMMConnector : public TMMDSPComponent {
 public:
  using TNotifyEvent = std::function<void(TMMConnector* sender)>;
  static constexpr int kMaxSpeed = 5000;

  // Uses the services' clock, timers, main thread and messages; the pause client registers on
  // `pauseTimer` (the process-wide shared timer when null). std::invalid_argument when a service
  // is missing.
  explicit TMMConnector(const Services& services, TMMComponent* owner = nullptr,
                        TMMSharedTimer* pauseTimer = nullptr);
  ~TMMConnector() override;

  bool Enabled() const { return enabled_; }
  // False resets every display and drops the blocks still due; True while running starts
  // feeding again with the next buffer.
  void SetEnabled(bool value);
  bool AutoConvert() const { return autoConvert_; }
  void SetAutoConvert(bool value) { autoConvert_ = value; }  // no converter here: stored only
  // False: blocks are delivered only by Trigger.
  bool AutoTrigger() const { return autoTrigger_; }
  void SetAutoTrigger(bool value);
  bool Synchronize() const { return synchronize_; }
  void SetSynchronize(bool value);
  int Speed() const { return speed_; }
  void SetSpeed(int value);  // clamped to 1 .. 5000
  TMMTriggerMode TriggerMode() const { return triggerMode_; }
  void SetTriggerMode(TMMTriggerMode value) { triggerMode_ = value; }
  int TriggerLevel() const { return triggerLevel_; }
  void SetTriggerLevel(int value) { triggerLevel_ = value; }
  bool RefreshOnStop() const { return refreshOnStop_; }
  void SetRefreshOnStop(bool value) { refreshOnStop_ = value; }
  bool RealTime() const { return realTime_; }
  // EMMConnectorError "Change to property while device was open" while the stage is opened.
  void SetRealTime(bool value);
  // Shared by all connectors.
  static bool EnterIdle() { return enterIdle_; }
  static void SetEnterIdle(bool value) { enterIdle_ = value; }

  // Display slots. A display already in the other slot of a two-slot kind is refused (nothing
  // changes); the same spectrum may sit in several spectrum slots and is then fed once per slot.
  // A change holds back the kind until the next buffer and sends the format to every display.
  TMMLevelFeed* Level1() const { return Get<TMMLevelFeed>(kLevel1); }
  void SetLevel1(TMMLevelFeed* v) { SetSlot(kLevel1, v); }
  TMMLevelFeed* Level2() const { return Get<TMMLevelFeed>(kLevel1 + 1); }
  void SetLevel2(TMMLevelFeed* v) { SetSlot(kLevel1 + 1, v); }
  TMMMeterFeed* Meter1() const { return Get<TMMMeterFeed>(kMeter1); }
  void SetMeter1(TMMMeterFeed* v) { SetSlot(kMeter1, v); }
  TMMMeterFeed* Meter2() const { return Get<TMMMeterFeed>(kMeter1 + 1); }
  void SetMeter2(TMMMeterFeed* v) { SetSlot(kMeter1 + 1, v); }
  TMMScopeFeed* Oscope1() const { return Get<TMMScopeFeed>(kOscope1); }
  void SetOscope1(TMMScopeFeed* v) { SetSlot(kOscope1, v); }
  TMMScopeFeed* Oscope2() const { return Get<TMMScopeFeed>(kOscope1 + 1); }
  void SetOscope2(TMMScopeFeed* v) { SetSlot(kOscope1 + 1, v); }
  TMMLightFeed* Light1() const { return Get<TMMLightFeed>(kLight1); }
  void SetLight1(TMMLightFeed* v) { SetSlot(kLight1, v); }
  TMMLightFeed* Light2() const { return Get<TMMLightFeed>(kLight1 + 1); }
  void SetLight2(TMMLightFeed* v) { SetSlot(kLight1 + 1, v); }
  TMMSpectrumFeed* Spectrum1() const { return Get<TMMSpectrumFeed>(kSpectrum1); }
  void SetSpectrum1(TMMSpectrumFeed* v) { SetSlot(kSpectrum1, v); }
  TMMSpectrumFeed* Spectrum2() const { return Get<TMMSpectrumFeed>(kSpectrum1 + 1); }
  void SetSpectrum2(TMMSpectrumFeed* v) { SetSlot(kSpectrum1 + 1, v); }
  TMMSpectrumFeed* Spectrum3() const { return Get<TMMSpectrumFeed>(kSpectrum1 + 2); }
  void SetSpectrum3(TMMSpectrumFeed* v) { SetSlot(kSpectrum1 + 2, v); }
  TMMSpectrumFeed* Spectrum4() const { return Get<TMMSpectrumFeed>(kSpectrum1 + 3); }
  void SetSpectrum4(TMMSpectrumFeed* v) { SetSlot(kSpectrum1 + 3, v); }
  TMMSpectrogramFeed* Spectrogram1() const { return Get<TMMSpectrogramFeed>(kSpectrogram1); }
  void SetSpectrogram1(TMMSpectrogramFeed* v) { SetSlot(kSpectrogram1, v); }
  TMMSpectrogramFeed* Spectrogram2() const { return Get<TMMSpectrogramFeed>(kSpectrogram1 + 1); }
  void SetSpectrogram2(TMMSpectrogramFeed* v) { SetSlot(kSpectrogram1 + 1, v); }

  // A delivery pass on demand, for AutoTrigger False while the stream runs: at once on the main
  // thread, posted to it from any other thread (at most one posted trigger waits at a time).
  void Trigger();

  // Fired after every delivery pass, on the thread that ran it, with the lock released.
  TNotifyEvent OnTrigger;

  void SetWaveFormat(const TWaveFormatEx* format) override;
  void ChainStarted() override;
  void ChainPaused() override;
  void ChainRestarted() override;
  void ChainStopped() override;
  void BufferReady(PWaveHdr lpWaveHdr) override;
  void FillBuffer(PWaveHdr lpWaveHdr, bool& moreBuffers) override;

 private:
  friend class TMMDisplayFeed;
  enum Kind { kLevels, kMeters, kScopes, kLights, kSpectra, kSpectrograms, kKindCount };
  enum Slot {
    kLevel1 = 0,
    kMeter1 = 2,
    kOscope1 = 4,
    kLight1 = 6,
    kSpectrum1 = 8,
    kSpectrogram1 = 12,
    kSlotCount = 14
  };
  struct KindState {
    bool pending = false;
    int offset = 0;
  };

  template <class Feed>
  Feed* Get(int slot) const {
    return static_cast<Feed*>(slots_[slot]);
  }
  void SetSlot(int slot, TMMDisplayFeed* value);
  static Kind KindOf(int slot);
  bool Holds(const TMMDisplayFeed* feed) const;
  void FeedDestroyed(TMMDisplayFeed* feed);  // from the display's destructor

  bool Designing() const { return InState(csDesigning); }
  bool Delivering() const { return running_ && enabled_ && realTime_; }
  // SetFormat / ResetDisplay on every display in slot order.
  template <class F>
  void ForEachDisplay(F&& f);
  void UpdateDisplayFormats();
  void ResetDisplays();
  // Runs f; a display error is handed to the exception handler instead of the caller.
  template <class F>
  void Reported(F&& f);
  void Report(std::exception_ptr e);

  // Copies under the lock; false when nothing was taken (disabled, paused, idle).
  bool Copy(const char* data, std::uint32_t count);
  // After the buffer went on: wake the main thread, or with RealTime False run the pass here.
  void FeedAfterCopy();
  // Under the lock: every kind with displays starts again at offset 0 of a buffer arrived then.
  void RestartBlocks(std::int64_t arrival);
  void DeliveryPass();
  void Deliver(Kind kind, std::int64_t now);
  void DeliverScopes(std::int64_t now);
  void DeliverSpectrograms(std::int64_t now);
  void Feed(Kind kind, int offset);
  int LargestBlock(Kind kind) const;
  std::int64_t Due(int offset) const;
  bool Ready(int offset, std::int64_t now) const;
  int WholeFramesAtLeastOne(int bytes) const;
  std::optional<std::int64_t> NextDue() const;

  // Main thread: the pacing timer fired or a wake arrived.
  void RunDue();
  void Schedule();
  // Any thread: RunDue soon on the main thread (at most one wake waits at a time).
  void RequestWake();
  void PauseTick();

  Clock& clock_;
  MainThread& mainThread_;
  OperatorMessages& messages_;
  TMMSharedTimer& pauseTimer_;
  std::unique_ptr<Timer> timer_;  // single-shot, armed for the earliest due block
  // Posted calls hold a weak reference and do nothing once the connector is gone.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);

  std::atomic<bool> enabled_{true};
  bool autoConvert_ = true;
  std::atomic<bool> autoTrigger_{true};
  std::atomic<bool> synchronize_{true};
  int speed_ = kMaxSpeed;
  std::atomic<TMMTriggerMode> triggerMode_{tmNone};
  std::atomic<int> triggerLevel_{0};
  bool refreshOnStop_ = true;
  std::atomic<bool> realTime_{true};
  static std::atomic<bool> enterIdle_;

  std::atomic<bool> running_{false};
  std::atomic<bool> paused_{false};  // feeding silence
  std::atomic<bool> wakePosted_{false};
  std::atomic<bool> triggerPosted_{false};
  std::atomic<std::int64_t> pauseTickAt_{-1};  // arrival time left by the pause client
  TMMTimerClient* pauseClient_ = nullptr;
  bool inPass_ = false;
  bool reporting_ = false;

  // Guarded by lock_: the slots, the work buffer and the read state. Recursive, so a display
  // may touch the connector's slots from inside a block.
  mutable std::recursive_mutex lock_;
  std::array<TMMDisplayFeed*, kSlotCount> slots_{};
  TWaveFormatEx workFormat_{};
  std::unique_ptr<std::uint8_t[]> work_;
  int capacity_ = 0;
  int valid_ = 0;
  std::uint8_t silence_ = 0;
  std::int64_t arrival_ = 0;
  std::array<KindState, kKindCount> kinds_{};
  std::array<KindState, 2> spectrograms_{};  // own read positions of the two spectrogram slots
};

}  // namespace zq

#pragma once
// A capture back-end for tests and benchmarks: a signal generator behind the device operation
// table, with faults on demand, and the device bound to it.
//
// Buffers are handed back in one of three ways: when the test asks (Deliver, on the test's
// thread), paced to a clock (a timer of the given service hands back each buffer once the clock
// says its frames are due), or as fast as they are queued (a thread of its own). One stream at a
// time. Every operation and delivery takes the back-end's lock and notifications are made under
// it, so once Stop, Reset or Close has returned nothing more comes for what they handed back.

#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "audio/mmwavein.h"

namespace zq::testing {

enum class ScriptedSignal {
  Silence,
  Sine,  // every channel the same tone
  Ramp,  // every frame carries its number (see RampFrame), so gaps and repeats show
};

// The frame number the ramp wrote into a frame: the low bits of the number, spread over the
// frame's samples (16-bit stereo holds 32 bits: left the low half, right the high half).
std::uint32_t RampFrame(const char* frame, const TWaveFormatEx& format);

// One device of the scripted system: its name and the supported-format flags it reports.
struct ScriptedDevice {
  std::string name = "Scripted input";
  std::uint32_t formats = kWaveFormatsAll;
};

class ScriptedWaveIn final : public TMMWaveInOps {
 public:
  enum class Op { Open, Close, PrepareHeader, UnprepareHeader, AddBuffer, Start, Stop, Reset };

  explicit ScriptedWaveIn(std::vector<ScriptedDevice> devices = {ScriptedDevice{}});
  ~ScriptedWaveIn() override;

  void SetSignal(ScriptedSignal signal, double hz = 1000.0, double amplitude = 0.5);

  // Faults. Fail: the operation fails with `code` from now on (0: it works again); a failing
  // Close still ends the stream. The others fire once.
  void Fail(Op op, int code);
  void RefuseFormats(bool refuse);                           // the query open rejects every format
  void WithholdOpenNotice(bool withhold);                    // the open notification never comes
  void GoneAfter(int buffers, int code = -ENODEV);           // then the device vanishes mid-stream
  void OverrunAfter(int buffers, std::uint32_t framesLost);  // then frames are lost once

  // Fills and hands back up to `buffers` queued buffers now, on the calling thread; returns how
  // many it handed back. Nothing happens unless the stream is started.
  int Deliver(int buffers = 1);
  // Puts `frames` into the buffer at the head of the queue without handing it back (a stop then
  // returns it with what it holds).
  void FillPartially(int frames);
  // From the next Start on, a timer ticking every `tickMs` on `timers` hands back each buffer
  // once `clock` says its frames have been captured. Main thread.
  void PaceTo(Clock& clock, TimerService& timers, int tickMs = 5);
  // A thread of its own hands back every queued buffer as soon as the stream runs.
  void RunFree();

  bool IsOpen() const;
  bool Running() const;
  int Queued() const;
  int Prepared() const;  // headers prepared and not yet unprepared
  int Opens() const;
  std::uint64_t FramesDelivered() const;  // frames in the buffers handed back since Open

  // TMMWaveInOps
  int GetNumDevs() override;
  int GetDevCaps(int id, TWaveInCaps& caps) override;
  std::string GetErrorText(int code) override;
  int Open(TWaveInHandle& handle, int id, const TWaveFormatEx& format, TMMWaveInSink* sink,
           bool query) override;
  int Close(TWaveInHandle handle) override;
  int PrepareHeader(TWaveInHandle handle, PWaveHdr header) override;
  int UnprepareHeader(TWaveInHandle handle, PWaveHdr header) override;
  int AddBuffer(TWaveInHandle handle, PWaveHdr header) override;
  int Start(TWaveInHandle handle) override;
  int Stop(TWaveInHandle handle) override;
  int Reset(TWaveInHandle handle) override;

 private:
  int Failing(Op op) const;
  bool Current(TWaveInHandle handle) const;
  bool DeliverOne();  // lock held
  void Generate(char* data, std::uint32_t frames);
  PWaveHdr PopHead();
  void Tick();
  void Halt();  // lock held: stop running and pacing

  const std::vector<ScriptedDevice> devices_;
  mutable std::mutex lock_;
  std::condition_variable changed_;
  std::map<Op, int> failing_;
  bool refuseFormats_ = false, withholdOpen_ = false;
  int goneAfter_ = -1, goneCode_ = -ENODEV;
  int overrunAfter_ = -1;
  std::uint32_t overrunFrames_ = 0;

  ScriptedSignal signal_ = ScriptedSignal::Ramp;
  double hz_ = 1000.0, amplitude_ = 0.5;

  TMMWaveInSink* sink_ = nullptr;
  TWaveInHandle handle_ = 0;
  int opens_ = 0;
  TWaveFormatEx format_{};
  bool running_ = false, failed_ = false;
  std::deque<PWaveHdr> queue_;
  std::set<PWaveHdr> prepared_;
  std::uint64_t frame_ = 0, framesDelivered_ = 0;

  Clock* clock_ = nullptr;
  TimerService* timers_ = nullptr;
  int tickMs_ = 5;
  std::unique_ptr<Timer> timer_;
  std::int64_t paceOrigin_ = 0;  // monotonic microseconds at which paced frame 0 was due
  std::uint64_t pacedFrames_ = 0;

  std::thread freeRunner_;
  bool quit_ = false;
};

// The device over a scripted back-end, for tests and benchmarks.
class TScriptedWaveIn final : public TMMCustomWaveIn {
 public:
  explicit TScriptedWaveIn(const Services& services,
                           std::vector<ScriptedDevice> devices = {ScriptedDevice{}});
  TScriptedWaveIn(const Services& services, std::unique_ptr<ScriptedWaveIn> script)
      : TScriptedWaveIn(services, script.release()) {}
  ScriptedWaveIn& Script() { return *script_; }

 private:
  TScriptedWaveIn(const Services& services, ScriptedWaveIn* script);
  ScriptedWaveIn* script_;  // owned by the device
};

}  // namespace zq::testing

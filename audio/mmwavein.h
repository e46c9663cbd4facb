#pragma once
// The wave input device: the head of the recorder's chain. It keeps a ring of capture buffers
// queued at a capture back-end; each buffer the back-end hands back filled goes to OnBufferReady
// and down the chain (Output), then back to the back-end. It also drives the chain's life cycle
// (open, start, pause, restart, stop, close).
//
// TMMCustomWaveIn holds all the behaviour and calls the system only through its device operation
// table (TMMWaveInOps). TMMWaveIn binds the ALSA back-end into it; tests bind a scripted one.

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "audio/mmdspobj.h"
#include "platform/services.h"

namespace zq {

// Every failure of the wave input device; what() is the text the operator is shown.
class EMMWaveInError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// The device state is a set of these flags. The back-end's open and close notifications set it
// to exactly {wsOpen} or exactly {wsClosed}; Start adds wsRecording, Pause adds wsPaused.
enum TMMWaveInState : unsigned {
  wsClosed = 1u << 0,
  wsOpen = 1u << 1,
  wsRecording = 1u << 2,
  wsPaused = 1u << 3,
};
using TMMWaveInStates = unsigned;

// A pool of memory blocks that outlives the opens of the device using it, so that reopening with
// the same buffer size allocates nothing. Every operation takes the pool's lock, so any thread
// may call it. The pool owns every block it hands out; FreeBlock only returns it to the pool.
class TMMAllocator {
 public:
  TMMAllocator() = default;
  ~TMMAllocator() { FreeAll(); }
  TMMAllocator(const TMMAllocator&) = delete;
  TMMAllocator& operator=(const TMMAllocator&) = delete;

  // An unused block of exactly `size` bytes, else the first unused one that is larger, else a
  // new zero-filled block. Null when memory runs out. A reused block keeps its old contents.
  void* AllocBlock(std::size_t size);
  // Marks the block unused and sets `address` to null; null is ignored.
  void FreeBlock(void*& address);
  // Releases every block, from the last to the first. No block may be in use.
  void FreeAll();

  std::size_t BlockCount() const;

 private:
  struct Record {
    void* block;
    std::size_t size;
    int useCount;
  };
  mutable std::mutex lock_;
  std::vector<Record> records_;
};

// An open stream of a back-end; 0 means none.
using TWaveInHandle = std::uintptr_t;

// Supported-format flags of a device: mono 8-bit, stereo 8-bit, mono 16-bit, stereo 16-bit at
// 11025 Hz (bits 0..3), 22050 Hz (bits 4..7) and 44100 Hz (bits 8..11).
inline constexpr std::uint32_t kWaveFormat1M08 = 0x001;
inline constexpr std::uint32_t kWaveFormat4S16 = 0x800;
inline constexpr std::uint32_t kWaveFormatsAll = 0xFFF;

struct TWaveInCaps {
  std::string productName;
  std::uint32_t driverVersion = 0;
  std::uint32_t formats = 0;  // kWaveFormat* flags
};

// What a back-end reports about an open stream. Each call carries the stream's handle. They may
// come on the back-end's own thread or on the calling thread inside an operation (the open
// notification inside Open, the close notification inside Close, the buffers handed back inside
// Stop and Reset). Implementations only record or pass on: they never call the back-end.
class TMMWaveInSink {
 public:
  virtual void WaveInOpened(TWaveInHandle handle) = 0;
  virtual void WaveInClosed(TWaveInHandle handle) = 0;
  // A buffer handed back: WHDR_DONE set, dwBytesRecorded the bytes captured into it.
  virtual void WaveInData(TWaveInHandle handle, PWaveHdr header) = 0;
  // Capture fell behind and went on; `framesLost` frames of sound are missing.
  virtual void WaveInOverrun(TWaveInHandle handle, std::uint64_t framesLost) = 0;
  // The device went away or failed for good (code as for GetErrorText). The stream captures no
  // more; Stop, Reset and Close still work, and the buffers still queued come back on Reset.
  virtual void WaveInFailed(TWaveInHandle handle, int code) = 0;

 protected:
  ~TMMWaveInSink() = default;
};

// The device operation table: the whole contract between the device and a capture back-end.
// Results are 0 for success or a negative error code that GetErrorText explains.
//
// Threads: the device calls every operation from the main thread, except that AddBuffer, Stop
// and Reset may also come from the thread that delivers buffers (cmThread). Once Stop, Reset or
// Close has returned, no buffer of the stream is still being filled or about to be reported.
// Headers stay owned by the device: the back-end only borrows a queued one (it may use lpNext
// and reserved while the header is queued) and gives it back through WaveInData.
class TMMWaveInOps {
 public:
  virtual ~TMMWaveInOps() = default;

  // Read once, when the device is created.
  virtual int GetNumDevs() = 0;
  // id -1 .. count - 1; -1 is the system's default device.
  virtual int GetDevCaps(int id, TWaveInCaps& caps) = 0;
  // Empty when the back-end has no text for the code.
  virtual std::string GetErrorText(int code) = 0;

  // query: only test whether the device records `format`; nothing is opened, `handle` and
  // `sink` are not used. Otherwise opens a stream reporting to `sink`, which must outlive it.
  virtual int Open(TWaveInHandle& handle, int id, const TWaveFormatEx& format, TMMWaveInSink* sink,
                   bool query) = 0;
  // Ends the stream whatever its state; queued headers are forgotten, not touched. The handle is
  // invalid afterwards even when the result is an error.
  virtual int Close(TWaveInHandle handle) = 0;
  virtual int PrepareHeader(TWaveInHandle handle, PWaveHdr header) = 0;
  // Fails for a header that is still queued.
  virtual int UnprepareHeader(TWaveInHandle handle, PWaveHdr header) = 0;
  // Queues a prepared header for filling (dwBytesRecorded starts at 0).
  virtual int AddBuffer(TWaveInHandle handle, PWaveHdr header) = 0;
  // Start capturing into the queued headers; harmless when running.
  virtual int Start(TWaveInHandle handle) = 0;
  // Stop capturing; the header being filled comes back with what it holds (if anything), the
  // other queued headers stay queued. Harmless when stopped.
  virtual int Stop(TWaveInHandle handle) = 0;
  // Stop capturing and hand back every queued header.
  virtual int Reset(TWaveInHandle handle) = 0;
};

class TMMCustomWaveIn;

// The thread that delivers buffers in cmThread. Created and ended by the device (Open, Close).
class TMMWaveInThread final : public TMMDSPThread {
 public:
  explicit TMMWaveInThread(TMMCustomWaveIn& device);
  ~TMMWaveInThread() override;
  // Starts the thread and waits up to 5 s for it to be ready; false when it did not come up.
  bool Launch();
  // Asks the thread to end once the buffer in hand is delivered, and waits for it.
  void Finish();
  // Sets the thread's nice value; false when the system refuses (raising it needs the
  // privilege), which leaves the thread as it was: priority is advice.
  bool ApplyPriority(TThreadPriority priority);
  bool IsCurrent() const;

 protected:
  void Execute() override;

 private:
  TMMCustomWaveIn& waveIn_;
  std::mutex lock_;
  std::condition_variable readyChanged_;
  bool ready_ = false;
  std::atomic<int> tid_{0};
};

// The device. All operations and property writers are for the main thread, with one exception:
// Stop and Close may be called from inside OnBufferReady on whatever thread delivers; they then
// finish after the handler has returned (through a call posted to the main thread).
//
// Open on an open device closes it first; Start and Pause open a closed device first; Stop before
// Start, Restart without Pause and Close on a closed device do nothing. Stop called from a button
// or a timer is complete when it returns: every queued buffer is back, the chain has been told,
// OnStop has run. Buffers the device filled before a stop still reach the chain; the buffers it
// hands back empty because of the stop do not.
//
// Delivery: in cmWindow every filled buffer is handled on the main thread through
// Services::mainThread (the device's own queued calls); in cmThread on the device's worker
// thread, so OnBufferReady and the chain's BufferReady run there. cmCallback is refused.
// OnBufferReady receives the header for the call only: the device owns it. A failure
// while delivering (a stage throws, the device vanishes) fires OnError, closes the device and
// shows the message through Services::messages; the next Open tries the device again.
//
// Every failure goes through Error: OnError fires, then EMMWaveInError is thrown. Texts of failed
// system calls are the operation's prefix ("WaveInOpen:" ...), LF, CR, and the system's text.
// Overruns are not failures: the back-end recovers, Overruns()/LostFrames() count them, and the
// frames lost go down the chain as silence of the same length (up to kMaxSilenceSeconds per
// overrun), in their place between the buffers, so every later sample keeps its place in time.
// The silence passes through OnBufferReady like any buffer; SilenceFrames() counts it.
class TMMCustomWaveIn : public TMMCustomSoundComponent, private TMMWaveInSink {
 public:
  using TNotifyEvent = std::function<void(TMMCustomWaveIn* sender)>;
  static constexpr int kMaxBuffers = 500;
  static constexpr int kMinBufferSize = 32;
  static constexpr int kMinSampleRate = 8000;
  static constexpr int kMaxSampleRate = 100000;
  // A longer loss is a machine that stood still (suspended), not an overrun: only this much of
  // it is filled, so that filling it cannot stall the chain.
  static constexpr int kMaxSilenceSeconds = 60;

  // `services` needs mainThread and messages. The device owns `ops` and reads the device count
  // from it here.
  TMMCustomWaveIn(TMMComponent* owner, const Services& services, std::unique_ptr<TMMWaveInOps> ops);
  ~TMMCustomWaveIn() override;

  // The head of a chain: it has no Input.
  bool Publishes(std::string_view property) const override { return property == "Output"; }
  bool AcceptsInput(TMMDSPComponent*) const override { return false; }

  // Writers refused while open: "Change to property while device was open".
  void SetNumBuffers(int value) override;  // ignored for <= 1, at most 500
  int NumBuffers() const override { return numBuffers_; }
  // -1 is the system's default device; outside -1 .. count - 1 stores -2 (Open then fails).
  void SetDeviceID(TMMDeviceId value) override;
  TMMDeviceId DeviceID() const override { return deviceId_; }
  void SetProductName(const std::string&) override {}  // read only
  std::string ProductName() const override { return productName_; }
  void SetCallBackMode(TMMCBMode value) override;
  TMMCBMode CallBackMode() const override { return callBackMode_; }
  void SetBufferSize(int size) override;  // at least 32; empties the pool
  // Closes the device first; a valid PCM record also sets Mode, BitLength and SampleRate.
  void SetWaveFormat(const TWaveFormatEx* format) override;

  TMMMode Mode() const { return mode_; }
  void SetMode(TMMMode value);  // mMono or mStereo
  TMMBits BitLength() const { return bits_; }
  void SetBitLength(TMMBits value);
  int SampleRate() const { return sampleRate_; }
  void SetSampleRate(int value);  // kept within 8000 .. 100000
  TMMTimeFormats TimeFormat() const { return timeFormat_; }
  void SetTimeFormat(TMMTimeFormats value);
  // The recording limit in TimeFormat units; 0 or less is none. When the limit is reached the
  // last buffer is cut to it and the device stops by itself.
  int MaxRecordTime() const { return maxRecordTime_.load(); }
  void SetMaxRecordTime(int value);
  TThreadPriority Priority() const { return priority_; }
  void SetPriority(TThreadPriority value);  // the worker thread's (cmThread)

  TMMWaveInStates State() const { return state_.load(); }
  int DeviceCount() const { return numDevs_; }
  std::uint32_t DriverVersion() const { return driverVersion_; }
  int LastResult() const { return lastResult_.load(); }
  // Since the last Start.
  std::uint64_t Overruns() const { return overruns_.load(); }
  std::uint64_t LostFrames() const { return lostFrames_.load(); }
  std::uint64_t SilenceFrames() const { return silenceFrames_.load(); }

  // Fires OnError, then throws EMMWaveInError(message).
  virtual void Error(const std::string& message);
  virtual void Open();
  // A failure shows only as OnError; the device is released in any case.
  virtual void Close();
  virtual void Start();
  virtual void Pause();
  virtual void Restart();
  virtual void Stop();

  TNotifyEvent OnOpen, OnStart, OnPause, OnRestart, OnStop, OnClose, OnError;

 protected:
  // Counts the bytes since Start and cuts the buffer at the recording limit; then the chain.
  void BufferReady(PWaveHdr lpWaveHdr) override;

 private:
  friend class TMMWaveInThread;

  // A header handed back by the back-end (or, header null, a failure notice or the frames an
  // overrun lost), kept in arrival order until it is delivered: the stand-in for the messages
  // posted to a hidden window.
  struct Returned {
    TWaveInHandle handle;
    PWaveHdr header;
    int failure;
    bool byReset;  // handed back because of Reset, not filled
    std::uint64_t lost = 0;
  };
  struct Mailbox {
    TMMCustomWaveIn* device;
    std::mutex lock;
    std::condition_variable changed;
    std::array<Returned, 2 * kMaxBuffers + 2> ring{};  // each header, a loss before it
    std::size_t head = 0, count = 0;
    bool drainPosted = false;  // cmWindow: a drain call is on its way to the main thread
    bool quit = false;         // cmThread: the worker is asked to end
  };

  // TMMWaveInSink
  void WaveInOpened(TWaveInHandle handle) override;
  void WaveInClosed(TWaveInHandle handle) override;
  void WaveInData(TWaveInHandle handle, PWaveHdr header) override;
  void WaveInOverrun(TWaveInHandle handle, std::uint64_t framesLost) override;
  void WaveInFailed(TWaveInHandle handle, int code) override;

  void Push(const Returned& r);
  bool Pop(Returned& r);
  void ClearMailbox();
  // cmWindow: deliver everything that has come back, on the main thread.
  void Drain();
  // cmThread: the worker's loop.
  void RunWorker();
  void Deliver(const Returned& r);
  void DeliverBuffer(TWaveInHandle session, PWaveHdr header, bool byReset);
  void DeliverSilence(TWaveInHandle session, std::uint64_t frames);
  // The end of a delivery: the handler count down, and a stop asked for inside it posted.
  void LeaveHandler(TWaveInHandle session);
  // Main thread: a failure notice of the current stream.
  void ReportFailure(TWaveInHandle handle, int code);
  // Runs `call` on the main thread later, if this device still exists and `handle` is still its
  // stream; an exception it throws closes the device and is shown to the operator.
  void PostToMain(TWaveInHandle handle, std::function<void()> call);
  void CloseAndShow(std::exception_ptr e);

  std::string PlatformError(const std::string& prefix, int code);
  void Check(int result, const char* prefix);
  void RefuseWhileOpen();
  bool TestFormat(TMMDeviceId id, const TWaveFormatEx* format);
  void RebuildFormat();
  void ComputeByteLimit();
  int QueueBuffer(TWaveInHandle session, PWaveHdr header);  // lock_ held
  bool WaitFor(const std::function<bool()>& done, bool processMessages);
  bool SomeoneDelivers() const;
  void EndOfStop();
  void StartWorker();
  void StopWorker();
  void Fire(const TNotifyEvent& event);

  Services services_;
  std::unique_ptr<TMMWaveInOps> ops_;
  std::shared_ptr<Mailbox> mailbox_;
  TMMAllocator allocator_;
  std::unique_ptr<TMMWaveInThread> worker_;

  int numDevs_ = 0;
  TMMDeviceId deviceId_ = 0;
  std::string productName_;
  std::uint32_t driverVersion_ = 0;
  std::atomic<int> lastResult_{0};
  int numBuffers_ = 10;
  TMMMode mode_ = mMono;
  TMMBits bits_ = b8Bit;
  int sampleRate_ = 11025;
  TMMTimeFormats timeFormat_ = tfByte;
  std::atomic<int> maxRecordTime_{-1};
  TMMCBMode callBackMode_ = cmWindow;
  TThreadPriority priority_ = tpHigher;
  TWaveFormatEx pcm_{};

  std::atomic<TMMWaveInStates> state_{wsClosed};
  std::atomic<TWaveInHandle> handle_{0};
  std::array<PWaveHdr, kMaxBuffers> buffers_{};
  PWaveHdr silence_ = nullptr;  // lent to the chain for the silence of an overrun

  // Delivery bookkeeping. `lock_` serialises the stop sequence with delivery on another thread.
  std::mutex lock_;
  std::atomic<std::int32_t> byteLimit_{INT32_MAX};
  std::int64_t bytesDelivered_ = 0;
  int queued_ = 0;
  std::atomic<int> inHandler_{0};
  std::atomic<bool> stopping_{false}, resetting_{false}, stopPending_{false};
  bool stopPosted_ = false, closePending_ = false, closing_ = false;
  std::atomic<bool> workerDead_{false};
  std::atomic<std::uint64_t> overruns_{0}, lostFrames_{0}, silenceFrames_{0};
};

// The wave input device on ALSA: 0 is the system's default input ("default"), 1 .. n each
// sound card's first capture device; -1 is the default input too.
class TMMWaveIn final : public TMMCustomWaveIn {
 public:
  explicit TMMWaveIn(TMMComponent* owner = nullptr, const Services& services = DefaultServices());
};

}  // namespace zq

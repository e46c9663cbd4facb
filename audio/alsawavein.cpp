#include "audio/alsawavein.h"

#include <alsa/asoundlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "audio/alsacards.h"

namespace zq {
namespace {

constexpr unsigned kPeriodMicros = 10000;  // how often the capture thread wakes
constexpr unsigned kRingMicros = 500000;   // what the device holds while no buffer is queued
constexpr int kWatchdogMillis = 1000;      // a silent device is checked for disconnection

struct Endpoint {
  std::string pcm;
  std::string product;
};

snd_pcm_format_t SampleFormat(const TWaveFormatEx& f) {
  if (f.wBitsPerSample == 8) return SND_PCM_FORMAT_U8;
  if (f.wBitsPerSample == 16) return SND_PCM_FORMAT_S16_LE;
  return SND_PCM_FORMAT_UNKNOWN;
}

bool Usable(const TWaveFormatEx& f) {
  return f.wFormatTag == WAVE_FORMAT_PCM && SampleFormat(f) != SND_PCM_FORMAT_UNKNOWN &&
         f.nChannels >= 1 && f.nSamplesPerSec > 0 &&
         f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8;
}

// Whether the device can record `f` exactly: access, sample format, channels and rate.
int TestFormat(snd_pcm_t* pcm, const TWaveFormatEx& f) {
  snd_pcm_hw_params_t* hw;
  snd_pcm_hw_params_alloca(&hw);
  int r = snd_pcm_hw_params_any(pcm, hw);
  if (r >= 0) r = snd_pcm_hw_params_test_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED);
  if (r >= 0) r = snd_pcm_hw_params_test_format(pcm, hw, SampleFormat(f));
  if (r >= 0) r = snd_pcm_hw_params_test_channels(pcm, hw, f.nChannels);
  if (r >= 0) r = snd_pcm_hw_params_test_rate(pcm, hw, f.nSamplesPerSec, 0);
  return r < 0 ? r : 0;
}

// One open capture stream and its thread. The main thread touches the PCM only while the capture
// thread is parked (not filling), so the two never use it at once.
class AlsaStream {
 public:
  AlsaStream(snd_pcm_t* pcm, const TWaveFormatEx& f, TMMWaveInSink* sink)
      : pcm_(pcm), sink_(sink), frameBytes_(f.nBlockAlign), rate_(f.nSamplesPerSec) {}

  ~AlsaStream() {
    if (thread_.joinable()) {
      {
        std::lock_guard guard(lock_);
        quit_ = true;
      }
      Interrupt();
      changed_.notify_all();
      thread_.join();
    }
    if (wakeFd_ >= 0) ::close(wakeFd_);
    if (status_ != nullptr) snd_pcm_status_free(status_);
    if (pcm_ != nullptr) snd_pcm_close(pcm_);
  }

  TWaveInHandle Handle() const { return reinterpret_cast<TWaveInHandle>(this); }

  // Main thread, once: hardware set-up, the descriptors to wait on, and the capture thread.
  int Setup(const TWaveFormatEx& f) {
    snd_pcm_hw_params_t* hw;
    snd_pcm_hw_params_alloca(&hw);
    unsigned rate = f.nSamplesPerSec, period = kPeriodMicros, ring = kRingMicros;
    int r = snd_pcm_hw_params_any(pcm_, hw);
    if (r >= 0) r = snd_pcm_hw_params_set_access(pcm_, hw, SND_PCM_ACCESS_RW_INTERLEAVED);
    if (r >= 0) r = snd_pcm_hw_params_set_format(pcm_, hw, SampleFormat(f));
    if (r >= 0) r = snd_pcm_hw_params_set_channels(pcm_, hw, f.nChannels);
    if (r >= 0) r = snd_pcm_hw_params_set_rate(pcm_, hw, rate, 0);
    if (r >= 0) r = snd_pcm_hw_params_set_period_time_near(pcm_, hw, &period, nullptr);
    if (r >= 0) r = snd_pcm_hw_params_set_buffer_time_near(pcm_, hw, &ring, nullptr);
    if (r >= 0) r = snd_pcm_hw_params(pcm_, hw);
    if (r >= 0) r = snd_pcm_hw_params_get_buffer_size(hw, &ringFrames_);
    if (r < 0) return r;

    const int count = snd_pcm_poll_descriptors_count(pcm_);
    if (count <= 0) return count < 0 ? count : -EINVAL;
    pcmFds_ = static_cast<unsigned>(count);
    fds_.assign(pcmFds_ + 1, pollfd{});
    r = snd_pcm_poll_descriptors(pcm_, fds_.data(), pcmFds_);
    if (r < 0) return r;
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) return -errno;
    fds_[pcmFds_] = {wakeFd_, POLLIN, 0};
    r = snd_pcm_status_malloc(&status_);
    if (r < 0) return r;
    try {
      thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error& e) {
      return -e.code().value();
    }
    return 0;
  }

  int AddBuffer(PWaveHdr h) {
    if (!(h->dwFlags & WHDR_PREPARED) || h->dwBufferLength < frameBytes_) return -EINVAL;
    {
      std::lock_guard guard(lock_);
      if (h->dwFlags & WHDR_INQUEUE) return -EINVAL;
      h->dwBytesRecorded = 0;
      h->dwFlags = (h->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
      h->lpNext = nullptr;
      (tail_ != nullptr ? tail_->lpNext : head_) = h;
      tail_ = h;
    }
    changed_.notify_all();
    return 0;
  }

  int Start() {
    {
      std::lock_guard guard(lock_);
      if (failed_ != 0) return failed_;
      if (running_) return 0;
    }
    int r = 0;
    if (snd_pcm_state(pcm_) == SND_PCM_STATE_SETUP) r = snd_pcm_prepare(pcm_);
    if (r >= 0 && snd_pcm_state(pcm_) == SND_PCM_STATE_PREPARED) r = snd_pcm_start(pcm_);
    if (r < 0) return r;
    {
      std::lock_guard guard(lock_);
      running_ = true;
    }
    changed_.notify_all();
    return 0;
  }

  // The header being filled comes back with what it holds; the rest stay queued.
  int Stop() {
    const int r = Park();
    PWaveHdr partial = nullptr;
    {
      std::lock_guard guard(lock_);
      if (head_ != nullptr && head_->dwBytesRecorded > 0) partial = Unlink();
    }
    if (partial != nullptr) sink_->WaveInData(Handle(), partial);
    return r;
  }

  int Reset() {
    const int r = Park();
    for (;;) {
      PWaveHdr h;
      {
        std::lock_guard guard(lock_);
        if (head_ == nullptr) break;
        h = Unlink();
      }
      sink_->WaveInData(Handle(), h);
    }
    return r;
  }

  int Unprepare(PWaveHdr h) {
    std::lock_guard guard(lock_);
    if (h->dwFlags & WHDR_INQUEUE) return -EBUSY;
    h->dwFlags &= ~WHDR_PREPARED;
    return 0;
  }

  // Main thread, last: the stream is gone afterwards whatever the result.
  int Close() {
    {
      std::lock_guard guard(lock_);
      quit_ = true;
      running_ = false;
    }
    Interrupt();
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
    head_ = tail_ = nullptr;  // forgotten, not touched: the device owns them
    const int r = snd_pcm_close(pcm_);
    pcm_ = nullptr;
    return r < 0 ? r : 0;
  }

  TMMWaveInSink* Sink() const { return sink_; }

 private:
  // Stops the capture thread from filling and waits until it has let go of the PCM and of its
  // header; then stops the device. A stream that has failed has nothing left to stop.
  int Park() {
    {
      std::unique_lock guard(lock_);
      running_ = false;
      interrupt_ = true;
      Interrupt();
      changed_.wait(guard, [this] { return !busy_; });
      interrupt_ = false;
      if (failed_ != 0) return 0;
    }
    std::uint64_t ignored;
    if (::read(wakeFd_, &ignored, sizeof ignored) < 0 && errno != EAGAIN) return -errno;
    const int r = snd_pcm_drop(pcm_);
    return r < 0 ? r : 0;
  }

  // Wakes the capture thread from its wait. Only a full counter refuses the write, and a full
  // counter wakes the thread as well; the wait's watchdog covers anything else.
  void Interrupt() {
    if (wakeFd_ < 0) return;
    const std::uint64_t one = 1;
    const ssize_t written = ::write(wakeFd_, &one, sizeof one);
    static_cast<void>(written);
  }

  PWaveHdr Unlink() {  // lock_ held, head_ not null
    PWaveHdr h = head_;
    head_ = h->lpNext;
    if (head_ == nullptr) tail_ = nullptr;
    h->lpNext = nullptr;
    h->dwFlags = (h->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    return h;
  }

  // The capture thread.
  void Run() {
    for (;;) {
      PWaveHdr h;
      {
        std::unique_lock guard(lock_);
        busy_ = false;
        changed_.notify_all();
        changed_.wait(guard, [this] {
          return quit_ || (running_ && !interrupt_ && head_ != nullptr && failed_ == 0);
        });
        if (quit_) return;
        h = head_;
        busy_ = true;
      }
      const int r = Fill(h);
      if (r > 0) {
        {
          std::lock_guard guard(lock_);
          if (head_ == h) Unlink();
        }
        sink_->WaveInData(Handle(), h);
        // An overrun that cut h short: its loss follows what h holds.
        if (lostAfter_ > 0) sink_->WaveInOverrun(Handle(), std::exchange(lostAfter_, 0));
      } else if (r < 0) {
        {
          std::lock_guard guard(lock_);
          failed_ = r;
          running_ = false;
        }
        sink_->WaveInFailed(Handle(), r);
      }
    }
  }

  // Fills h from where it stands: 1 when full, 0 when interrupted, or the error that ends capture.
  int Fill(PWaveHdr h) {
    const snd_pcm_uframes_t total = h->dwBufferLength / frameBytes_;
    snd_pcm_uframes_t got = h->dwBytesRecorded / frameBytes_;
    while (got < total) {
      if (interrupt_) return 0;
      const snd_pcm_sframes_t n = snd_pcm_readi(pcm_, h->lpData + got * frameBytes_, total - got);
      if (n > 0) {
        got += static_cast<snd_pcm_uframes_t>(n);
        h->dwBytesRecorded = static_cast<std::uint32_t>(got * frameBytes_);
        continue;
      }
      int r = static_cast<int>(n);
      if (n == 0 || n == -EAGAIN) {
        r = Wait();
      } else if (n == -EPIPE || n == -ESTRPIPE) {
        std::uint64_t lost = 0;
        r = Recover(r, lost);
        if (r < 0) return r;
        // The loss lies between what h holds and what comes next: h goes back at once, short,
        // and the loss is reported after it (an empty h just goes on filling).
        if (got > 0) {
          lostAfter_ = lost;
          return 1;
        }
        sink_->WaveInOverrun(Handle(), lost);
      }
      if (r < 0) return r;
    }
    return 1;
  }

  int Wait() {
    for (pollfd& p : fds_)
      p.revents = 0;
    const int n = ::poll(fds_.data(), fds_.size(), kWatchdogMillis);
    if (n < 0) return errno == EINTR ? 0 : -errno;
    if (n == 0) return snd_pcm_state(pcm_) == SND_PCM_STATE_DISCONNECTED ? -ENODEV : 0;
    if (fds_[pcmFds_].revents != 0) {
      std::uint64_t ignored;
      if (::read(wakeFd_, &ignored, sizeof ignored) < 0 && errno != EAGAIN) return -errno;
    }
    unsigned short revents = 0;
    const int r = snd_pcm_poll_descriptors_revents(pcm_, fds_.data(), pcmFds_, &revents);
    if (r < 0) return r;
    if ((revents & (POLLERR | POLLHUP | POLLNVAL)) &&
        snd_pcm_state(pcm_) == SND_PCM_STATE_DISCONNECTED)
      return -ENODEV;
    return 0;
  }

  // Overrun or suspend: the frames in the ring and those that came while capture stood still are
  // lost (`lost`). Capture goes on.
  int Recover(int err, std::uint64_t& lost) {
    lost = ringFrames_;
    if (snd_pcm_status(pcm_, status_) >= 0) {
      snd_htimestamp_t stopped, now;
      snd_pcm_status_get_trigger_htstamp(status_, &stopped);
      snd_pcm_status_get_htstamp(status_, &now);
      const long long stoodNs =
          (now.tv_sec - stopped.tv_sec) * 1000000000LL + (now.tv_nsec - stopped.tv_nsec);
      if (stopped.tv_sec != 0 && stoodNs > 0)
        lost += static_cast<std::uint64_t>(stoodNs) * rate_ / 1000000000ULL;
    }
    int r = snd_pcm_recover(pcm_, err, 1);
    if (r >= 0 && snd_pcm_state(pcm_) == SND_PCM_STATE_PREPARED) r = snd_pcm_start(pcm_);
    return r < 0 ? r : 0;
  }

  snd_pcm_t* pcm_;
  TMMWaveInSink* sink_;
  const unsigned frameBytes_;
  const unsigned rate_;
  snd_pcm_uframes_t ringFrames_ = 0;
  snd_pcm_status_t* status_ = nullptr;
  std::vector<pollfd> fds_;
  unsigned pcmFds_ = 0;
  int wakeFd_ = -1;
  std::thread thread_;

  std::mutex lock_;
  std::condition_variable changed_;
  PWaveHdr head_ = nullptr, tail_ = nullptr;  // the queue, linked through lpNext
  bool running_ = false;
  bool busy_ = false;  // the capture thread holds head_ (filling it or handing it over)
  bool quit_ = false;
  int failed_ = 0;
  std::atomic<bool> interrupt_{false};
  std::uint64_t lostAfter_ = 0;  // capture thread: an overrun to report after the buffer it cut
};

AlsaStream* Stream(TWaveInHandle handle) {
  return reinterpret_cast<AlsaStream*>(handle);
}

class AlsaWaveIn final : public TMMWaveInOps {
 public:
  int GetNumDevs() override {
    endpoints_.clear();
    const std::vector<AlsaCaptureCard> cards = AlsaCaptureCards();
    if (cards.empty() && !AlsaDefaultCaptureOpens()) return 0;
    endpoints_.push_back({"default", kAlsaDefaultInputName});
    for (const AlsaCaptureCard& c : cards)
      endpoints_.push_back({"plughw:CARD=" + c.id + ",DEV=" + std::to_string(c.device), c.name});
    return static_cast<int>(endpoints_.size());
  }

  int GetDevCaps(int id, TWaveInCaps& caps) override {
    const Endpoint* e = Find(id);
    if (e == nullptr) return -ENODEV;
    caps.productName = e->product;
    caps.driverVersion = SND_LIB_VERSION;
    caps.formats = kWaveFormatsAll;
    return 0;
  }

  std::string GetErrorText(int code) override { return code < 0 ? snd_strerror(code) : ""; }

  int Open(TWaveInHandle& handle, int id, const TWaveFormatEx& format, TMMWaveInSink* sink,
           bool query) override {
    const Endpoint* e = Find(id);
    if (e == nullptr) return -ENODEV;
    if (!Usable(format) || (!query && sink == nullptr)) return -EINVAL;
    snd_pcm_t* pcm = nullptr;
    int r = snd_pcm_open(&pcm, e->pcm.c_str(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK);
    if (r < 0) return r;
    if (query) {
      r = TestFormat(pcm, format);
      snd_pcm_close(pcm);
      return r;
    }
    std::unique_ptr<AlsaStream> stream;
    try {
      stream = std::make_unique<AlsaStream>(pcm, format, sink);
    } catch (const std::bad_alloc&) {
      snd_pcm_close(pcm);
      return -ENOMEM;
    }
    r = stream->Setup(format);
    if (r < 0) return r;
    handle = stream.release()->Handle();
    sink->WaveInOpened(handle);
    return 0;
  }

  int Close(TWaveInHandle handle) override {
    if (handle == 0) return -EBADFD;
    std::unique_ptr<AlsaStream> stream(Stream(handle));
    TMMWaveInSink* sink = stream->Sink();
    const int r = stream->Close();
    stream.reset();
    sink->WaveInClosed(handle);
    return r;
  }

  int PrepareHeader(TWaveInHandle handle, PWaveHdr header) override {
    if (handle == 0) return -EBADFD;
    header->dwFlags |= WHDR_PREPARED;
    return 0;
  }
  int UnprepareHeader(TWaveInHandle handle, PWaveHdr header) override {
    return handle == 0 ? -EBADFD : Stream(handle)->Unprepare(header);
  }
  int AddBuffer(TWaveInHandle handle, PWaveHdr header) override {
    return handle == 0 ? -EBADFD : Stream(handle)->AddBuffer(header);
  }
  int Start(TWaveInHandle handle) override {
    return handle == 0 ? -EBADFD : Stream(handle)->Start();
  }
  int Stop(TWaveInHandle handle) override { return handle == 0 ? -EBADFD : Stream(handle)->Stop(); }
  int Reset(TWaveInHandle handle) override {
    return handle == 0 ? -EBADFD : Stream(handle)->Reset();
  }

 private:
  const Endpoint* Find(int id) const {
    if (id == -1) id = 0;
    if (id < 0 || id >= static_cast<int>(endpoints_.size())) return nullptr;
    return &endpoints_[static_cast<std::size_t>(id)];
  }

  std::vector<Endpoint> endpoints_;
};

}  // namespace

std::unique_ptr<TMMWaveInOps> MakeAlsaWaveInOps() {
  return std::make_unique<AlsaWaveIn>();
}

TMMWaveIn::TMMWaveIn(TMMComponent* owner, const Services& services)
    : TMMCustomWaveIn(owner, services, MakeAlsaWaveInOps()) {}

}  // namespace zq

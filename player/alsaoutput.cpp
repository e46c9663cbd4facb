#include <alsa/asoundlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <vector>

#include "player/playbackoutput.h"

namespace zq {
namespace {

constexpr unsigned kRingMicros = 500000;   // what the device holds: the thread's slack
constexpr unsigned kPeriodMicros = 50000;  // how much room wakes the thread

class AlsaPlayback final : public TPlaybackOutput {
 public:
  explicit AlsaPlayback(std::string device)
      : device_(std::move(device)), wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
  ~AlsaPlayback() override {
    Close();
    if (wakeFd_ >= 0) ::close(wakeFd_);
  }

  std::string Name() const override { return device_; }
  std::string ErrorText(int code) const override { return snd_strerror(code); }

  int Open(long rate, int channels) override {
    Close();
    snd_pcm_t* pcm = nullptr;
    int r = snd_pcm_open(&pcm, device_.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (r < 0) return r;
    pcm_ = pcm;
    r = Setup(static_cast<unsigned>(rate), static_cast<unsigned>(channels));
    if (r < 0) Close();
    return r < 0 ? r : 0;
  }

  void Close() override {
    if (pcm_ == nullptr) return;
    snd_pcm_close(pcm_);  // nothing to do about a failure: the handle is gone either way
    pcm_ = nullptr;
    fds_.clear();
  }

  long Write(const std::int16_t* pcm, long frames) override {
    if (pcm_ == nullptr) return -EBADFD;
    const snd_pcm_sframes_t n = snd_pcm_writei(pcm_, pcm, static_cast<snd_pcm_uframes_t>(frames));
    if (n == -EAGAIN) return 0;
    return static_cast<long>(n);
  }

  int Recover(int code) override {
    if (pcm_ == nullptr) return -EBADFD;
    const int r = snd_pcm_recover(pcm_, code, 1);
    return r < 0 ? r : 0;
  }

  int Delay(long& frames) override {
    frames = 0;
    if (pcm_ == nullptr) return 0;
    switch (snd_pcm_state(pcm_)) {
      case SND_PCM_STATE_XRUN:  // played out
      case SND_PCM_STATE_SETUP:
        return 0;
      case SND_PCM_STATE_DISCONNECTED:
        return -ENODEV;
      default:
        break;
    }
    snd_pcm_sframes_t d = 0;
    const int r = snd_pcm_delay(pcm_, &d);
    if (r == -EPIPE) return 0;
    if (r < 0) return r;
    frames = d > 0 ? static_cast<long>(d) : 0;
    return 0;
  }

  int Drop() override {
    if (pcm_ == nullptr) return 0;
    int r = snd_pcm_drop(pcm_);
    if (r >= 0) r = snd_pcm_prepare(pcm_);
    return r < 0 ? r : 0;
  }

  int Pause(bool hold) override {
    if (pcm_ == nullptr) return 0;
    if (!canPause_) return -ENOSYS;
    const snd_pcm_state_t state = snd_pcm_state(pcm_);
    // Nothing is playing before the first write (or after a drop): nothing to hold.
    if (state != (hold ? SND_PCM_STATE_RUNNING : SND_PCM_STATE_PAUSED)) return 0;
    const int r = snd_pcm_pause(pcm_, hold ? 1 : 0);
    return r < 0 ? r : 0;
  }

  void Wait(int timeoutMs, bool forRoom) override {
    const snd_pcm_state_t state = pcm_ != nullptr ? snd_pcm_state(pcm_) : SND_PCM_STATE_OPEN;
    const bool device =
        forRoom && (state == SND_PCM_STATE_RUNNING || state == SND_PCM_STATE_PREPARED);
    waitFds_.assign(device ? fds_.begin() : fds_.end(), fds_.end());
    if (wakeFd_ >= 0) waitFds_.push_back({wakeFd_, POLLIN, 0});
    if (waitFds_.empty()) {
      ::usleep(static_cast<useconds_t>(timeoutMs) * 1000);
      return;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() < 0) return;
      for (pollfd& p : waitFds_)
        p.revents = 0;
      if (::poll(waitFds_.data(), waitFds_.size(), static_cast<int>(left.count())) <= 0) return;
      if (wakeFd_ >= 0 && waitFds_.back().revents != 0) {
        std::uint64_t ignored;
        // Only EAGAIN can fail it (another wait took the count), which leaves nothing to do.
        [[maybe_unused]] const ssize_t n = ::read(wakeFd_, &ignored, sizeof ignored);
        return;
      }
      // A plug-in's descriptors may stir without room: only room or an error ends the wait.
      unsigned short revents = 0;
      if (snd_pcm_poll_descriptors_revents(pcm_, waitFds_.data(),
                                           static_cast<unsigned>(fds_.size()), &revents) < 0 ||
          (revents & (POLLOUT | POLLERR | POLLHUP | POLLNVAL)) != 0)
        return;
    }
  }

  void Wake() override {
    if (wakeFd_ < 0) return;
    const std::uint64_t one = 1;
    // Only a full counter refuses the write, and a full counter wakes the waiter as well.
    if (::write(wakeFd_, &one, sizeof one) < 0) return;
  }

 private:
  int Setup(unsigned rate, unsigned channels) {
    snd_pcm_hw_params_t* hw;
    snd_pcm_hw_params_alloca(&hw);
    unsigned ring = kRingMicros, period = kPeriodMicros;
    int r = snd_pcm_hw_params_any(pcm_, hw);
    if (r >= 0) r = snd_pcm_hw_params_set_access(pcm_, hw, SND_PCM_ACCESS_RW_INTERLEAVED);
    if (r >= 0) r = snd_pcm_hw_params_set_format(pcm_, hw, SND_PCM_FORMAT_S16);
    if (r >= 0) r = snd_pcm_hw_params_set_channels(pcm_, hw, channels);
    if (r >= 0) r = snd_pcm_hw_params_set_rate(pcm_, hw, rate, 0);
    if (r >= 0) r = snd_pcm_hw_params_set_buffer_time_near(pcm_, hw, &ring, nullptr);
    if (r >= 0) r = snd_pcm_hw_params_set_period_time_near(pcm_, hw, &period, nullptr);
    if (r >= 0) r = snd_pcm_hw_params(pcm_, hw);
    if (r < 0) return r;
    canPause_ = snd_pcm_hw_params_can_pause(hw) != 0;
    snd_pcm_uframes_t periodFrames = 0;
    r = snd_pcm_hw_params_get_period_size(hw, &periodFrames, nullptr);
    if (r < 0) return r;

    // Playback starts with the first frame written, and the thread wakes for a period's room.
    snd_pcm_sw_params_t* sw;
    snd_pcm_sw_params_alloca(&sw);
    r = snd_pcm_sw_params_current(pcm_, sw);
    if (r >= 0) r = snd_pcm_sw_params_set_start_threshold(pcm_, sw, 1);
    if (r >= 0) r = snd_pcm_sw_params_set_avail_min(pcm_, sw, periodFrames);
    if (r >= 0) r = snd_pcm_sw_params(pcm_, sw);
    if (r < 0) return r;

    const int count = snd_pcm_poll_descriptors_count(pcm_);
    if (count <= 0) return count < 0 ? count : -EINVAL;
    fds_.assign(static_cast<std::size_t>(count), pollfd{});
    r = snd_pcm_poll_descriptors(pcm_, fds_.data(), static_cast<unsigned>(count));
    return r < 0 ? r : 0;
  }

  const std::string device_;
  const int wakeFd_;
  snd_pcm_t* pcm_ = nullptr;
  bool canPause_ = false;
  std::vector<pollfd> fds_;
  std::vector<pollfd> waitFds_;
};

}  // namespace

std::unique_ptr<TPlaybackOutput> MakeAlsaPlaybackOutput(const std::string& device) {
  return std::make_unique<AlsaPlayback>(device);
}

}  // namespace zq

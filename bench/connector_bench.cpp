// The connector feeding the recorder's set of displays (two levels and two needles of 80-byte
// blocks, a spectrum of 256-byte blocks, a scope of 1092-byte blocks) from 4096-byte buffers of
// 44100 Hz 16-bit stereo, in real time on a Qt event loop with the programs' own timers.
//
// A capture thread fills a ring of buffers on the capture schedule and posts each to the main
// thread, which passes it down device -> connector -> encoder stand-in, as the recorder's wave
// input does. Every block carries its frame index (left) and buffer number (right), so a display
// knows when it was due and measures how late it came.
//
// Prints, one per line:
//   pacing_median_us, pacing_p99_us  lateness of deliveries after their due time
//   connector_cpu_percent            the main thread's CPU share of one core with the connector
//                                    feeding, less the baseline
//   baseline_cpu_percent             the same stream passing through with the connector disabled
//   wakeups_per_second, blocks_per_second, early_blocks (blocks before their time: always 0)
// Goals: median under 1000 us, p99 under 3000 us, connector CPU under 0.5 %.
// Usage: connector_bench [seconds, default 60]

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>
#include <vector>

#include "audio/mmconnector.h"
#include "platform/services.h"
#include "tests/support/audio/feed_recorder.h"
#include "tests/support/audio/log_stages.h"

namespace {

using namespace zq;
using namespace zq::testing;

constexpr int kBufferBytes = 4096;
constexpr int kFrames = kBufferBytes / 4;
constexpr int kRing = 20;  // buffers queued at the sound card
constexpr double kBytesPerSecond = 176400;

double ThreadCpuSeconds() {
  timespec ts{};
  if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts) != 0) {
    std::perror("clock_gettime(CLOCK_THREAD_CPUTIME_ID)");
    std::exit(1);
  }
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// CPU time spent on the main thread inside the calls the connector schedules (its timer and its
// posted wakes): the connector's own work, without the event loop's sleeping and waking.
struct WorkClock {
  template <class F>
  void Measure(F&& f) {
    const double t0 = ThreadCpuSeconds();
    f();
    seconds += ThreadCpuSeconds() - t0;
  }
  double seconds = 0;
};

class MeasuredTimer final : public Timer {
 public:
  MeasuredTimer(std::unique_ptr<Timer> inner, WorkClock& work) : inner_(std::move(inner)) {
    inner_->SetOnTimer([this, &work] { work.Measure([this] { Fire(); }); });
  }

 protected:
  void Arm(std::int64_t intervalUs, bool singleShot) override {
    inner_->SetSingleShot(singleShot);
    inner_->SetIntervalMicros(intervalUs);
    inner_->Start();
  }
  void Disarm() override { inner_->Stop(); }

 private:
  std::unique_ptr<Timer> inner_;
};

class MeasuredTimers final : public TimerService {
 public:
  MeasuredTimers(TimerService& inner, WorkClock& work) : inner_(inner), work_(work) {}
  std::unique_ptr<Timer> CreateTimer() override {
    return std::make_unique<MeasuredTimer>(inner_.CreateTimer(), work_);
  }

 private:
  TimerService& inner_;
  WorkClock& work_;
};

class MeasuredMainThread final : public MainThread {
 public:
  MeasuredMainThread(MainThread& inner, WorkClock& work) : inner_(inner), work_(work) {}
  void Post(std::function<void()> call) override {
    inner_.Post([this, call = std::move(call)] { work_.Measure(call); });
  }
  bool IsCurrent() const override { return inner_.IsCurrent(); }
  void ProcessPending() override { inner_.ProcessPending(); }

 private:
  MainThread& inner_;
  WorkClock& work_;
};

struct Phase {
  double mainPercent;  // the main thread's CPU share of one core
  double workPercent;  // of which inside the connector's own calls
  double seconds;
};

class Bench {
 public:
  explicit Bench(Services& services)
      : services_(services),
        timers_(*services.timers, work_),
        mainThread_(*services.mainThread, work_),
        connectorServices_{services.clock, &timers_, &mainThread_, services.messages,
                           services.disk},
        connector_(connectorServices_),
        levels_{LevelRecorder("Level1", services.clock, 80),
                LevelRecorder("Level2", services.clock, 80)},
        meters_{MeterRecorder("Meter1", services.clock, 80),
                MeterRecorder("Meter2", services.clock, 80)},
        spectrum_("Spectrum1", services.clock, 256),
        scope_("Oscope1", services.clock, 1092) {
    lateness_.reserve(16u << 20);
    auto watch = [this](auto& display) {
      display.keep = false;
      display.onData = [this](const std::uint8_t* p) { Measure(p); };
    };
    watch(levels_[0]);
    watch(levels_[1]);
    watch(meters_[0]);
    watch(meters_[1]);
    watch(spectrum_);
    watch(scope_);

    TWaveFormatEx cd{};
    BuildPCMFormat(cd, 16, 2, 44100);
    TMMConnector::SetEnterIdle(false);  // as the recorder's form sets it
    device_.SetOutput(&connector_);
    connector_.SetOutput(&encoder_);
    connector_.SetLevel1(&levels_[0]);
    connector_.SetLevel2(&levels_[1]);
    connector_.SetMeter1(&meters_[0]);
    connector_.SetMeter2(&meters_[1]);
    connector_.SetSpectrum1(&spectrum_);
    connector_.SetOscope1(&scope_);
    connector_.OnTrigger = [this](TMMConnector*) { ++passes_; };
    device_.SetBufferSize(kBufferBytes);
    device_.SetWaveFormat(&cd);
    device_.ChainOpened();
    device_.ChainStarted();
    for (auto& b : ring_)
      b.resize(kBufferBytes);
  }

  ~Bench() {
    device_.ChainStopped();
    device_.ChainClosed();
  }

  // The stream for `seconds`: with the connector feeding, disabled, or disabled with an empty
  // precise timer waking the loop every millisecond instead.
  enum Mode { kFeeding, kPassing, kMillisecondTimer };
  Phase Run(double seconds, Mode mode) {
    connector_.SetEnabled(mode == kFeeding);
    std::unique_ptr<Timer> tick;
    if (mode == kMillisecondTimer) {
      tick = services_.timers->CreateTimer();
      tick->SetInterval(1);
      tick->SetSingleShot(true);
      tick->SetOnTimer([&tick] { tick->Start(); });  // re-armed from its callback, as pacing is
      tick->Start();
    }
    lateness_.clear();
    passes_ = 0;
    work_.seconds = 0;
    std::atomic<bool> stop{false};
    const double cpu0 = ThreadCpuSeconds();
    const auto wall0 = std::chrono::steady_clock::now();
    std::thread capture([&] { Capture(stop); });
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    const double cpu = ThreadCpuSeconds() - cpu0;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    stop = true;
    capture.join();
    tick.reset();
    QCoreApplication::processEvents();  // what the capture posted last
    return {100.0 * cpu / wall, 100.0 * work_.seconds / wall, wall};
  }

  std::vector<std::int32_t>& Lateness() { return lateness_; }
  long Passes() const { return passes_; }

 private:
  // The capture thread: fills the next ring buffer when its sound is complete and posts it.
  void Capture(const std::atomic<bool>& stop) {
    const auto start = std::chrono::steady_clock::now();
    for (long k = 1; !stop; ++k) {
      const auto due =
          start + std::chrono::nanoseconds(std::llround(k * kBufferBytes * 1e9 / kBytesPerSecond));
      std::this_thread::sleep_until(due);
      const int seq = static_cast<int>(k % kRing);
      std::vector<char>& b = ring_[seq];
      for (int f = 0; f < kFrames; ++f) {
        const std::int16_t s[2] = {static_cast<std::int16_t>(f), static_cast<std::int16_t>(seq)};
        std::memcpy(b.data() + f * 4, s, 4);
      }
      services_.mainThread->Post([this, seq] { Deliver(seq); });
    }
  }

  // Main thread: what the wave input does with a filled buffer.
  void Deliver(int seq) {
    TWaveHdr hdr{};
    hdr.lpData = ring_[seq].data();
    hdr.dwBufferLength = hdr.dwBytesRecorded = kBufferBytes;
    arrival_[seq] = services_.clock->MonotonicMicros();
    device_.BufferReady(&hdr);
  }

  void Measure(const std::uint8_t* p) {
    std::int16_t s[2];
    std::memcpy(s, p, 4);
    const std::int64_t due = arrival_[s[1]] + static_cast<std::int64_t>(s[0]) * 4 * 1000000 /
                                                  static_cast<std::int64_t>(kBytesPerSecond);
    lateness_.push_back(static_cast<std::int32_t>(services_.clock->MonotonicMicros() - due));
  }

  Services& services_;
  WorkClock work_;
  MeasuredTimers timers_;
  MeasuredMainThread mainThread_;
  Services connectorServices_;
  LogDevice device_{"capture", nullptr};
  TMMConnector connector_;
  LogStage encoder_{"encoder", nullptr};
  std::array<LevelRecorder, 2> levels_;
  std::array<MeterRecorder, 2> meters_;
  SpectrumRecorder spectrum_;
  ScopeRecorder scope_;
  std::array<std::vector<char>, kRing> ring_;
  std::array<std::int64_t, kRing> arrival_{};
  std::vector<std::int32_t> lateness_;
  long passes_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const double seconds = argc > 1 ? std::atof(argv[1]) : 60;
  if (!(seconds > 0)) {
    std::fprintf(stderr, "usage: %s [seconds]\n", argv[0]);
    return 2;
  }
  Bench bench(DefaultServices());
  const double baselineSeconds = std::min(seconds, 10.0);
  const Phase passing = bench.Run(baselineSeconds, Bench::kPassing);
  const Phase timer = bench.Run(baselineSeconds, Bench::kMillisecondTimer);
  const Phase feeding = bench.Run(seconds, Bench::kFeeding);

  std::vector<std::int32_t>& late = bench.Lateness();
  if (late.empty()) {
    std::fprintf(stderr, "no block was delivered\n");
    return 1;
  }
  std::sort(late.begin(), late.end());
  std::printf("pacing_median_us=%d\n", late[late.size() / 2]);
  std::printf("pacing_p99_us=%d\n", late[late.size() * 99 / 100]);
  std::printf("connector_cpu_percent=%.3f\n", feeding.workPercent);
  std::printf("main_thread_cpu_percent=%.3f\n", feeding.mainPercent - passing.mainPercent);
  std::printf("baseline_passing_cpu_percent=%.3f\n", passing.mainPercent);
  std::printf("baseline_ms_timer_cpu_percent=%.3f\n", timer.mainPercent - passing.mainPercent);
  std::printf("wakeups_per_second=%.0f\n", static_cast<double>(bench.Passes()) / feeding.seconds);
  std::printf("blocks_per_second=%.0f\n", static_cast<double>(late.size()) / feeding.seconds);
  std::printf("early_blocks=%ld\n", static_cast<long>(std::count_if(late.begin(), late.end(),
                                                                    [](int v) { return v < 0; })));
  return 0;
}

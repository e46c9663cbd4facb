// The recorder's four meters (two level bars, two needles) shown offscreen and fed 60 s of 44100
// Hz stereo noise under a moving envelope, as fast as it goes, in the recorder's blocks (bars
// 396 bytes, needles 80), in the order the connector delivers them; the frame pacer runs over a
// manual clock advanced with the audio, so frames come at the rate they would, and the shared
// timer ticks every 25 ms of audio. In the same run LAME's encoder encodes the same PCM at
// 64 kbps: the cost a meter pair may be compared with.
//
// Prints, one per line:
//   level_block_ns, needle_block_ns   one update of one bar / one needle (CPU time, measured over
//                                     a pass of that kind's blocks alone)
//   level_paint_ns, needle_paint_ns   one frame's paint of one bar / one needle
//   lame_buffer_ns                    LAME's CPU time per 4096-byte buffer
//   meters_cpu_percent                the four meters' share of one core while shown: their
//                                     updates and the frames they cause, Qt's part included (the
//                                     harness alone, run the same way without the meters, less)
//   levels_vs_lame, needles_vs_lame   a pair's updates and paints per 4096-byte buffer over LAME's
//   hidden_cpu_percent                the same share with the meters hidden (goal: nothing)
//   frames_per_second                 frames a display was painted in, per second of audio
//   bar_fall_ms, needle_fall_ms       audio time a bar / needle takes to fall from full scale
//                                     to rest after the sound stops (decay only, blocks back to
//                                     back)
// Goal: each _vs_lame at most 0.2.
// Usage: meters_bench [seconds, default 60]

#include <QApplication>
#include <QWidget>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "bench/lame_baseline.h"
#include "displays/framepacer.h"
#include "displays/recorderlook.h"
#include "tests/support/platform/manual_time.h"
#include "tests/support/qt_app.h"

namespace {

using namespace zq;
using zq::bench::Fail;
using zq::bench::Seconds;

constexpr int kRate = 44100;
constexpr int kBufferBytes = 4096;
constexpr int kFrameBytes = 4;

struct Spent {
  double seconds = 0;
  std::int64_t count = 0;
  double Ns() const { return count > 0 ? seconds / static_cast<double>(count) * 1e9 : 0; }
};

double Cpu() {
  return Seconds(CLOCK_THREAD_CPUTIME_ID);
}

// A display whose paints are timed.
template <class Display>
class Timed : public Display {
 public:
  Timed(FramePacer& pacer, TMMSharedTimer* peaks, QWidget* parent, Spent& paints)
      : Display(pacer, peaks, parent), paints_(paints) {}

 protected:
  void paintEvent(QPaintEvent* event) override {
    const double t0 = Cpu();
    Display::paintEvent(event);
    paints_.seconds += Cpu() - t0;
    ++paints_.count;
  }

 private:
  Spent& paints_;
};

// Noise under an envelope that swells and fades over a few seconds, differently on each channel,
// now and then into overload.
std::vector<std::int16_t> Noise(double seconds) {
  const auto frames = static_cast<std::size_t>(seconds * kRate);
  std::vector<std::int16_t> pcm(2 * frames);
  std::mt19937 random(20090101);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  for (std::size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    for (int c = 0; c < 2; ++c) {
      const double envelope =
          0.55 + 0.5 * std::sin(2 * std::numbers::pi * t / (3.0 + c)) * std::sin(0.37 * t + c);
      const double v = std::clamp(envelope * unit(random), -1.0, 1.0);
      pcm[2 * i + c] = static_cast<std::int16_t>(std::lround(v * 32767));
    }
  }
  return pcm;
}

class Bench {
 public:
  Bench() {
    window_.resize(560, 100);
    for (int i = 0; i < 2; ++i) {
      const TMMChannel channel = i == 0 ? chLeft : chRight;
      levels_[i] = new Timed<TMMLevel>(pacer_, &peaks_, &window_, levelPaints_);
      ApplyRecorderLevel(*levels_[i], channel);
      levels_[i]->SetBounds(0, 26 * i, kRecorderLevelWidth[i], kRecorderLevelHeight);
      meters_[i] = new Timed<TMMMeter>(pacer_, &peaks_, &window_, needlePaints_);
      ApplyRecorderMeter(*meters_[i], channel);
      meters_[i]->SetBounds(270 + 140 * i, 0, kRecorderNeedleWidth[i], kRecorderNeedleHeight);
    }
    window_.show();
    QApplication::processEvents();
  }

  // Feeds the PCM in 4096-byte buffers, each buffer's blocks in the order and at the times the
  // connector delivers them (the bars take 10 blocks of 396 bytes, the needles 51 of 80, the
  // tails not shown), the clock advancing block by block and a frame painted whenever the pacer
  // calls for one. Without `feed` only the harness runs (time, ticks, frames): the baseline.
  // Returns the thread's CPU seconds.
  double Run(const std::vector<std::int16_t>& pcm, bool feed) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(pcm.data());
    const std::size_t total = pcm.size() * 2;
    const int levelBlock = levels_[0]->BlockBytes(), needleBlock = meters_[0]->BlockBytes();
    const std::int64_t sliceUs = std::int64_t{needleBlock} * 1000000 / (kRate * kFrameBytes);
    const double t0 = Cpu();
    for (std::size_t buffer = 0; buffer + kBufferBytes <= total; buffer += kBufferBytes) {
      const std::uint8_t* data = bytes + buffer;
      int levelAt = 0;
      for (int at = 0; at + needleBlock <= kBufferBytes; at += needleBlock) {
        for (; feed && levelAt + levelBlock <= kBufferBytes && levelAt <= at; levelAt += levelBlock)
          for (TMMLevel* l : levels_)
            l->ProcessData(data + levelAt);
        if (feed)
          for (TMMMeter* m : meters_)
            m->ProcessData(data + at);
        const bool waiting = pacer_.Waiting() > 0;
        time_.Advance(std::chrono::microseconds(sliceUs));
        if (waiting && pacer_.Waiting() == 0) QApplication::processEvents();  // a frame
        if (time_.MonotonicMicros() >= nextTickUs_) {
          peaks_.Tick();
          nextTickUs_ += 25000;
        }
      }
    }
    return Cpu() - t0;
  }

  // One kind's updates alone, block after block: CPU nanoseconds per update of one display.
  template <class Display>
  double Updates(Display* const (&displays)[2], const std::vector<std::int16_t>& pcm) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(pcm.data());
    const std::size_t total = pcm.size() * 2;
    const int block = displays[0]->BlockBytes();
    std::int64_t updates = 0;
    const double t0 = Cpu();
    for (std::size_t buffer = 0; buffer + kBufferBytes <= total; buffer += kBufferBytes)
      for (int at = 0; at + block <= kBufferBytes; at += block)
        for (Display* d : displays) {
          d->ProcessData(bytes + buffer + at);
          ++updates;
        }
    const double spent = Cpu() - t0;
    QApplication::processEvents();
    return spent / static_cast<double>(updates) * 1e9;
  }
  double LevelUpdates(const std::vector<std::int16_t>& pcm) { return Updates(levels_, pcm); }
  double NeedleUpdates(const std::vector<std::int16_t>& pcm) { return Updates(meters_, pcm); }

  // Milliseconds of audio, in blocks of the recorder's size, from a full-scale block until the
  // display falls back to rest through its decay: how fast it falls at that block size.
  template <class Display, class Reading>
  double Fall(Display* display, Reading&& reading) {
    const int block = display->BlockBytes();
    std::vector<std::int16_t> loud(static_cast<std::size_t>(block) / 2, 32767), quiet(loud.size());
    display->ResetDisplay();
    display->ProcessData(loud.data());
    int updates = 0;
    while (reading(display) > 0 && updates < 1000000) {
      display->ProcessData(quiet.data());
      ++updates;
    }
    display->ResetDisplay();
    return updates * static_cast<double>(block) * 1000 / (kRate * kFrameBytes);
  }
  double BarFall() {
    return Fall(levels_[0], [](TMMLevel* l) { return l->BarLength(); });
  }
  double NeedleFall() {
    return Fall(meters_[0], [](TMMMeter* m) { return m->NeedleValue(); });
  }

  void Hide() {
    window_.hide();
    QApplication::processEvents();
  }
  Spent& LevelPaints() { return levelPaints_; }
  Spent& NeedlePaints() { return needlePaints_; }

 private:
  testing::ManualTime time_;
  FramePacer pacer_{time_};
  TMMSharedTimer peaks_{TMMSharedTimer::TickSource::Manual};
  std::int64_t nextTickUs_ = 25000;
  Spent levelPaints_, needlePaints_;
  QWidget window_;
  TMMLevel* levels_[2] = {};
  TMMMeter* meters_[2] = {};
};

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
  if (seconds <= 0) Fail("usage: meters_bench [seconds]");
  zq::testing::QtApp();
  const std::vector<std::int16_t> pcm = Noise(seconds);

  Bench bench;
  const double levelBlockNs = bench.LevelUpdates(pcm);
  const double needleBlockNs = bench.NeedleUpdates(pcm);
  const double barFall = bench.BarFall(), needleFall = bench.NeedleFall();
  bench.LevelPaints() = bench.NeedlePaints() = {};
  const double harness = bench.Run(pcm, false);
  const double shown = bench.Run(pcm, true);
  const Spent levelPaints = bench.LevelPaints(), needlePaints = bench.NeedlePaints();
  bench.Hide();
  const double hidden = bench.Run(pcm, true);

  // LAME on the same PCM.
  const char* tmp = std::getenv("TMPDIR");
  const zq::bench::fs::path dir = zq::bench::fs::path(tmp != nullptr ? tmp : "/tmp");
  const auto raw = dir / "meters_bench.raw", mp3 = dir / "meters_bench.mp3",
             log = dir / "meters_bench.log";
  zq::bench::WriteRaw(raw, pcm);
  const zq::bench::Cost lame = zq::bench::EncodeWithLame(raw, mp3, log);
  for (const auto& p : {raw, mp3, log})
    zq::bench::fs::remove(p);

  const double buffers = std::floor(static_cast<double>(pcm.size() * 2) / kBufferBytes);
  const double audio = buffers * kBufferBytes / (kRate * kFrameBytes);
  const double lameBufferNs = lame.cpu / buffers * 1e9;
  // Per buffer a pair takes 10 bar updates (51 needle updates) each, and the frames that fell in
  // it: about 1.4 at 60 frames a second.
  const double framesPerBuffer = static_cast<double>(levelPaints.count) / 2 / buffers;
  const double levelsPerBuffer = 2 * (10 * levelBlockNs + framesPerBuffer * levelPaints.Ns());
  const double needlesPerBuffer = 2 * (51 * needleBlockNs + framesPerBuffer * needlePaints.Ns());

  std::printf("level_block_ns=%.0f\n", levelBlockNs);
  std::printf("needle_block_ns=%.0f\n", needleBlockNs);
  std::printf("level_paint_ns=%.0f\n", levelPaints.Ns());
  std::printf("needle_paint_ns=%.0f\n", needlePaints.Ns());
  std::printf("lame_buffer_ns=%.0f\n", lameBufferNs);
  std::printf("meters_cpu_percent=%.3f\n", (shown - harness) / audio * 100);
  std::printf("levels_vs_lame=%.3f\n", levelsPerBuffer / lameBufferNs);
  std::printf("needles_vs_lame=%.3f\n", needlesPerBuffer / lameBufferNs);
  std::printf("hidden_cpu_percent=%.4f\n", (hidden - harness) / audio * 100);
  std::printf("frames_per_second=%.1f\n", static_cast<double>(levelPaints.count) / 2 / audio);
  std::printf("bar_fall_ms=%.1f\n", barFall);
  std::printf("needle_fall_ms=%.1f\n", needleFall);
  return 0;
}

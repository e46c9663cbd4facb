// The cost of the MP3 encoder stage against LAME's own command-line encoder, in the same run:
// 600 s of 44100 Hz stereo PCM at 64 kbps, the stage fed in 4096-byte buffers as the capture
// feeds it, `lame` given the same PCM as a raw file, both at LAME's default quality, simple
// stereo, no tag, no ReplayGain analysis and the output at the input's rate. Each side runs
// several times, alternately; the best CPU time of each counts (the machine is shared, and CPU
// time is what the encoding costs). Prints the throughputs and encode_ratio_vs_lame (ours /
// lame's; 1 means the stage adds nothing to the encoder's own cost).

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "audio/mmblade.h"
#include "bench/lame_baseline.h"
#include "tests/support/audio/log_stages.h"

namespace {

using namespace zq::bench;

constexpr int kSeconds = 600;
constexpr std::uint32_t kRate = 44100;
constexpr std::size_t kBufferBytes = 4096;
constexpr int kRounds = 3;

// Something like programme material: a chord whose pitch drifts, a beat, and a little noise.
std::vector<std::int16_t> Programme(std::size_t frames) {
  std::vector<std::int16_t> pcm(frames * 2);
  std::uint32_t noise = 12345;
  for (std::size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double drift = 1 + 0.05 * std::sin(2 * M_PI * t / 37);
    const double beat = 0.6 + 0.4 * std::fabs(std::sin(2 * M_PI * t * 2));
    for (int c = 0; c < 2; ++c) {
      double v = 0;
      for (int h = 1; h <= 5; ++h)
        v += std::sin(2 * M_PI * (220 + 110 * c) * h * drift * t + h) / h;
      noise = noise * 1664525u + 1013904223u;
      v = 0.25 * beat * v + 0.02 * (static_cast<double>(noise >> 8) / (1 << 24) - 0.5);
      pcm[i * 2 + c] = static_cast<std::int16_t>(std::clamp(v, -1.0, 1.0) * 32000);
    }
  }
  return pcm;
}

Cost EncodeWithStage(std::vector<std::int16_t>& pcm, const fs::path& out) {
  zq::testing::LogDevice device("device", nullptr);
  zq::TMMMP3Encoder encoder;  // the program's services: statvfs before every write
  zq::TWaveFormatEx format{};
  zq::BuildPCMFormat(format, 16, 2, kRate);
  device.SetOutput(&encoder);
  device.SetWaveFormat(&format);
  device.SetBufferSize(kBufferBytes);
  encoder.SetBitrate(zq::br64);
  fs::remove(out);  // the stage never replaces a file
  encoder.SetFileName(out.string());

  const double cpu0 = Seconds(CLOCK_PROCESS_CPUTIME_ID), wall0 = Seconds(CLOCK_MONOTONIC);
  device.ChainOpened();
  device.ChainStarted();
  char* data = reinterpret_cast<char*>(pcm.data());
  const std::size_t total = pcm.size() * 2;
  for (std::size_t at = 0; at < total; at += kBufferBytes) {
    zq::TWaveHdr h{};
    h.lpData = data + at;
    h.dwBufferLength = kBufferBytes;
    h.dwBytesRecorded = static_cast<std::uint32_t>(std::min(kBufferBytes, total - at));
    device.BufferReady(&h);
  }
  device.ChainStopped();
  device.ChainClosed();
  return {Seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0, Seconds(CLOCK_MONOTONIC) - wall0};
}

}  // namespace

int main() {
  std::string tmpl = (fs::temp_directory_path() / "zq-mp3bench-XXXXXX").string();
  if (mkdtemp(tmpl.data()) == nullptr) Fail(std::string("mkdtemp: ") + std::strerror(errno));
  const fs::path dir = tmpl;
  std::vector<std::int16_t> pcm = Programme(static_cast<std::size_t>(kSeconds) * kRate);
  WriteRaw(dir / "in.raw", pcm);

  Cost ours, theirs;
  for (int round = 0; round < kRounds; ++round) {
    const Cost a = EncodeWithStage(pcm, dir / "stage.mp3");
    const Cost b = EncodeWithLame(dir / "in.raw", dir / "lame.mp3", dir / "lame.log");
    ours = {std::min(ours.cpu, a.cpu), std::min(ours.wall, a.wall)};
    theirs = {std::min(theirs.cpu, b.cpu), std::min(theirs.wall, b.wall)};
  }
  // The same settings give the same stream: proof that both sides did the same work.
  const bool same = Contents(dir / "stage.mp3") == Contents(dir / "lame.mp3");
  std::error_code ec;
  fs::remove_all(dir, ec);

  std::printf("audio_seconds=%d rounds=%d\n", kSeconds, kRounds);
  std::printf("stage_cpu_s=%.3f stage_wall_s=%.3f stage_throughput=%.1fx_realtime\n", ours.cpu,
              ours.wall, kSeconds / ours.cpu);
  std::printf("lame_cpu_s=%.3f lame_wall_s=%.3f lame_throughput=%.1fx_realtime\n", theirs.cpu,
              theirs.wall, kSeconds / theirs.cpu);
  std::printf("same_mp3_bytes=%s\n", same ? "yes" : "no");
  std::printf("encode_ratio_vs_lame=%.4f\n", theirs.cpu / ours.cpu);
  return 0;
}

// The recorder's CPU share while it records, against LAME's command-line encoder on the same
// audio, in the same run. The built program runs from a temporary folder with its own cfg.ini
// (64 kbps, auto-record on) while a 1 kHz tone plays into the null sink "air" of the PulseAudio
// server that ./dev bench starts; after a warm-up its CPU time over a stretch of recording is
// read from /proc. Then lame encodes the same length of the same tone. Prints both as percent of
// one core and their ratio (recorder / lame: what capture, connector, files and window add).

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <sstream>
#include <thread>

#include "bench/lame_baseline.h"
#include "tests/support/audio/onair.h"
#include "tests/support/program.h"

namespace {

using namespace zq::bench;

constexpr int kWarmUpSeconds = 5;
constexpr int kSeconds = 60;

// User plus system CPU seconds of a process, from /proc/<pid>/stat.
double ProcessCpu(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(in, line)) Fail("cannot read /proc/" + std::to_string(pid) + "/stat");
  std::istringstream fields(line.substr(line.rfind(')') + 2));
  std::string f;
  long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> f; ++i) {
    if (i == 14) utime = std::stol(f);
    if (i == 15) stime = std::stol(f);
  }
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace

int main() {
  if (std::getenv("PULSE_SERVER") == nullptr) Fail("no PulseAudio server: run it from ./dev bench");
  std::string tmpl = (fs::temp_directory_path() / "zq-recbench-XXXXXX").string();
  if (mkdtemp(tmpl.data()) == nullptr) Fail(std::string("mkdtemp: ") + std::strerror(errno));
  const fs::path dir = tmpl;
  std::ostringstream cfg;
  cfg << "[Gravacao]\nFormato=4\n[Geral]\nPlaca=0\nLocal=" << (dir / "Audio").string()
      << "\nAutoGravar=S\nMB Livres=0\nDiasRec=30\nTempoRec=60\nCopia=N\nLocalCopia=\n"
         "Prioridade=N\nControle=0\n";
  if (!zq::testing::InstallProgram(ZQ_RECORDER_PATH, dir.string(), cfg.str()))
    Fail("cannot install the recorder in " + dir.string());

  const std::string tone = zq::testing::WriteToneWav(kWarmUpSeconds + kSeconds + 10);
  const pid_t player = zq::testing::PlayOnAir(tone);
  if (player == 0) Fail("cannot start paplay");
  const pid_t recorder = zq::testing::StartInstalled(dir.string(), "ZeltoQuelvar");
  if (recorder == 0) Fail("cannot start the recorder");
  std::this_thread::sleep_for(std::chrono::seconds(kWarmUpSeconds));
  const double cpu0 = ProcessCpu(recorder), wall0 = Seconds(CLOCK_MONOTONIC);
  std::this_thread::sleep_for(std::chrono::seconds(kSeconds));
  const double cpu = ProcessCpu(recorder) - cpu0, wall = Seconds(CLOCK_MONOTONIC) - wall0;
  kill(recorder, SIGTERM);
  const int exitCode = zq::testing::WaitExit(recorder, 30);
  zq::testing::StopChild(player);

  // The same audio for lame: the tone as raw PCM, as long as the stretch measured.
  std::vector<std::int16_t> pcm(static_cast<std::size_t>(kSeconds) * 44100 * 2);
  for (std::size_t i = 0; i < pcm.size() / 2; ++i)
    pcm[2 * i] = pcm[2 * i + 1] = static_cast<std::int16_t>(
        std::lround(16000.0 * std::sin(2.0 * std::numbers::pi * 1000.0 * i / 44100)));
  WriteRaw(dir / "in.raw", pcm);
  const Cost lame = EncodeWithLame(dir / "in.raw", dir / "lame.mp3", dir / "lame.log");
  std::error_code ec;
  fs::remove(tone, ec);
  fs::remove_all(dir, ec);

  const double ours = 100.0 * cpu / wall, theirs = 100.0 * lame.cpu / kSeconds;
  std::printf("recorder_cpu_s=%.3f over %.1f s of recording\n", cpu, wall);
  std::printf("recorder_cpu_percent=%.2f\n", ours);
  std::printf("lame_cpu_percent=%.2f (lame_cpu_s=%.3f for %d s of the same audio)\n", theirs,
              lame.cpu, kSeconds);
  std::printf("recorder_vs_lame=%.2f\n", ours / theirs);
  return exitCode == 0 ? 0 : 1;
}

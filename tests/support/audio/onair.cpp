#include "tests/support/audio/onair.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <numbers>

extern char** environ;

namespace zq::testing {

std::string WriteToneWav(double seconds, double hz) {
  constexpr std::uint32_t kRate = 44100;
  const char* tmp = std::getenv("TMPDIR");
  const std::string path = std::string(tmp != nullptr ? tmp : "/tmp") + "/zq-tone-" +
                           std::to_string(getpid()) + "-" + std::to_string(std::lround(hz)) +
                           ".wav";
  const auto frames = static_cast<std::uint32_t>(seconds * kRate);
  const std::uint32_t dataBytes = frames * 4;
  std::ofstream out(path, std::ios::binary);
  auto u32 = [&](std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [&](std::uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
  out.write("RIFF", 4);
  u32(36 + dataBytes);
  out.write("WAVEfmt ", 8);
  u32(16);
  u16(1);
  u16(2);
  u32(kRate);
  u32(kRate * 4);
  u16(4);
  u16(16);
  out.write("data", 4);
  u32(dataBytes);
  for (std::uint32_t i = 0; i < frames; ++i) {
    const auto s = static_cast<std::int16_t>(
        std::lround(16000.0 * std::sin(2.0 * std::numbers::pi * hz * i / kRate)));
    u16(static_cast<std::uint16_t>(s));
    u16(static_cast<std::uint16_t>(s));
  }
  return out ? path : std::string();
}

pid_t PlayOnAir(const std::string& file) {
  std::string prog = "paplay", dash = "-d", sink = "air", name = file;
  char* argv[] = {prog.data(), dash.data(), sink.data(), name.data(), nullptr};
  pid_t pid = 0;
  return posix_spawnp(&pid, "paplay", nullptr, nullptr, argv, environ) == 0 ? pid : 0;
}

void StopChild(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
}

}  // namespace zq::testing

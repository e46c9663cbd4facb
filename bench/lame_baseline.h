#pragma once
// What the benchmarks share: failing loudly, clocks, raw PCM files, and LAME's command-line
// encoder run on raw PCM as the baseline an encoding is measured against (started without a
// shell; ./dev bench installs it).

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern char** environ;

namespace zq::bench {

namespace fs = std::filesystem;

struct Cost {
  double cpu = 1e300;   // seconds
  double wall = 1e300;  // seconds
};

[[noreturn]] inline void Fail(const std::string& what) {
  std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, what.c_str());
  std::exit(1);
}

inline double Seconds(clockid_t clock) {
  timespec t{};
  if (clock_gettime(clock, &t) != 0) Fail(std::string("clock_gettime: ") + std::strerror(errno));
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

inline void WriteRaw(const fs::path& path, const std::vector<std::int16_t>& pcm) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) Fail("open " + path.string() + ": " + std::strerror(errno));
  const char* p = reinterpret_cast<const char*>(pcm.data());
  std::size_t left = pcm.size() * 2;
  while (left > 0) {
    const ssize_t w = ::write(fd, p, left);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) Fail("write " + path.string() + ": " + std::strerror(w < 0 ? errno : ENOSPC));
    p += w;
    left -= static_cast<std::size_t>(w);
  }
  if (::close(fd) != 0) Fail("close " + path.string() + ": " + std::strerror(errno));
}

inline std::vector<char> Contents(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  if (!in) Fail("cannot read " + p.string());
  return {std::istreambuf_iterator<char>(in), {}};
}

// Raw 44100 Hz stereo 16-bit PCM to MP3 at 64 kbps with the settings the stage uses: LAME's
// default quality, simple stereo, CBR, original bit off, output at the input's rate, the Info
// tag written over its first frame, no ReplayGain analysis. lame's own messages go to `log`, shown only when it fails.
inline Cost EncodeWithLame(const fs::path& raw, const fs::path& out, const fs::path& log) {
  const std::string in = raw.string(), to = out.string();
  const char* argv[] = {"lame",
                        "--quiet",
                        "-r",
                        "-s",
                        "44.1",
                        "--bitwidth",
                        "16",
                        "--signed",
                        "--little-endian",
                        "-m",
                        "s",
                        "-b",
                        "64",
                        "--cbr",
                        "-o",
                        "--resample",
                        "44.1",
                        "--noreplaygain",
                        in.c_str(),
                        to.c_str(),
                        nullptr};
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0 ||
      posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(),
                                       O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644) != 0)
    Fail("posix_spawn_file_actions");
  const double wall0 = Seconds(CLOCK_MONOTONIC);
  pid_t pid = 0;
  const int e =
      posix_spawnp(&pid, "lame", &actions, nullptr, const_cast<char* const*>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (e != 0) Fail(std::string("cannot start lame (./dev bench installs it): ") + std::strerror(e));
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0)
    if (errno != EINTR) Fail(std::string("wait4: ") + std::strerror(errno));
  const double wall = Seconds(CLOCK_MONOTONIC) - wall0;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    const std::vector<char> said = Contents(log);
    Fail("lame failed: " + std::string(said.begin(), said.end()));
  }
  auto secs = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; };
  return {secs(usage.ru_utime) + secs(usage.ru_stime), wall};
}

}  // namespace zq::bench

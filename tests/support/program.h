#pragma once
// Running a built program the way a user would, for whole-program tests and benchmarks: a copy
// of it in a folder of its own (it reads the cfg.ini beside it), started with that folder as its
// home and runtime folder and Qt on the offscreen platform. Never through a shell.

#include <sys/types.h>

#include <string>

namespace zq::testing {

// Copies `program` into `dir`, makes `dir`/run (the runtime folder) and writes `cfg` as
// `dir`/cfg.ini. False when any step fails.
bool InstallProgram(const std::string& program, const std::string& dir, const std::string& cfg);
// Starts `dir`/`name` on Qt's offscreen platform; 0 when it cannot be started.
pid_t StartInstalled(const std::string& dir, const std::string& name);

// How a program meets the machine's display when started with StartWithDisplay.
struct DisplayEnvironment {
  std::string display;         // DISPLAY; empty: unset
  std::string waylandDisplay;  // WAYLAND_DISPLAY; empty: unset
};
// Starts `dir`/`name` with no platform chosen for it (QT_QPA_PLATFORM unset) and the display
// variables of `env`, its standard error going to the file `errPath`; 0 when it cannot start.
pid_t StartWithDisplay(const std::string& dir, const std::string& name,
                       const DisplayEnvironment& env, const std::string& errPath);
// Waits up to `seconds` for the child to end: its exit status (128 for a signal), or -1 while it
// still runs.
int WaitExit(pid_t pid, int seconds);

}  // namespace zq::testing

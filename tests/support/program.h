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
// Starts `dir`/`name`; 0 when it cannot be started.
pid_t StartInstalled(const std::string& dir, const std::string& name);
// Waits up to `seconds` for the child to end: its exit status (128 for a signal), or -1 while it
// still runs.
int WaitExit(pid_t pid, int seconds);

}  // namespace zq::testing

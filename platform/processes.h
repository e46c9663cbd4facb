#pragma once
// The running processes, read from /proc, and raising one to real-time scheduling. Behind an
// interface so that tests can offer a list of their own. Any thread.

#include <sys/types.h>

#include <string>
#include <vector>

namespace zq {

struct ProcessEntry {
  pid_t pid = 0;
  // The executable's file name (the last part of its path); empty when unknown.
  std::string exeFile;
};

class ProcessTable {
 public:
  virtual ~ProcessTable() = default;
  // Every process in the order the system lists them. False when the list cannot be read;
  // `out` then holds the entries read so far.
  virtual bool Snapshot(std::vector<ProcessEntry>& out) const = 0;
  // Real-time round-robin scheduling for every thread of the process. False when the system
  // refuses it for any thread (no right to change it, the process gone).
  virtual bool RaiseToRealtime(pid_t pid) const = 0;
};

class ProcProcessTable final : public ProcessTable {
 public:
  // The real-time priority given (1 lowest .. 99): above every ordinary program, below the
  // system's own real-time work.
  static constexpr int kRealtimePriority = 10;
  bool Snapshot(std::vector<ProcessEntry>& out) const override;
  bool RaiseToRealtime(pid_t pid) const override;
};

}  // namespace zq

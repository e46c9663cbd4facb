#include "platform/processes.h"

#include <dirent.h>
#include <sched.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace zq {
namespace {

bool IsNumber(const char* s) {
  if (*s == '\0') return false;
  for (; *s != '\0'; ++s)
    if (!std::isdigit(static_cast<unsigned char>(*s))) return false;
  return true;
}

std::string BaseName(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The executable's name: the link /proc/<pid>/exe where it can be read, else the first word of
// the command line, else the kernel's short name; empty for a process that has none of these.
std::string ExeFileOf(const std::string& dir) {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink((dir + "/exe").c_str(), buf, sizeof buf - 1);
  if (n > 0) {
    std::string target(buf, static_cast<std::size_t>(n));
    const std::string deleted = " (deleted)";
    if (target.size() > deleted.size() &&
        target.compare(target.size() - deleted.size(), deleted.size(), deleted) == 0)
      target.resize(target.size() - deleted.size());
    return BaseName(target);
  }
  std::ifstream cmd(dir + "/cmdline", std::ios::binary);
  std::string argv0;
  if (cmd && std::getline(cmd, argv0, '\0') && !argv0.empty()) return BaseName(argv0);
  std::ifstream comm(dir + "/comm");
  std::string name;
  if (comm && std::getline(comm, name)) return name;
  return {};
}

}  // namespace

bool ProcProcessTable::Snapshot(std::vector<ProcessEntry>& out) const {
  DIR* d = ::opendir("/proc");
  if (d == nullptr) return false;
  while (dirent* e = ::readdir(d)) {
    if (!IsNumber(e->d_name)) continue;
    ProcessEntry p;
    p.pid = static_cast<pid_t>(std::strtol(e->d_name, nullptr, 10));
    p.exeFile = ExeFileOf(std::string("/proc/") + e->d_name);
    out.push_back(std::move(p));
  }
  ::closedir(d);
  return true;
}

bool ProcProcessTable::RaiseToRealtime(pid_t pid) const {
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  DIR* d = ::opendir(tasks.c_str());
  if (d == nullptr) return false;
  sched_param param{};
  param.sched_priority = kRealtimePriority;
  bool ok = true, any = false;
  while (dirent* e = ::readdir(d)) {
    if (!IsNumber(e->d_name)) continue;
    any = true;
    const auto tid = static_cast<pid_t>(std::strtol(e->d_name, nullptr, 10));
    if (::sched_setscheduler(tid, SCHED_RR, &param) != 0) ok = false;
  }
  ::closedir(d);
  return ok && any;
}

}  // namespace zq

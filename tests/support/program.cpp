#include "tests/support/program.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

extern char** environ;

namespace zq::testing {

namespace fs = std::filesystem;

bool InstallProgram(const std::string& program, const std::string& dir, const std::string& cfg) {
  std::error_code ec;
  const fs::path to = fs::path(dir) / fs::path(program).filename();
  if (!fs::copy_file(program, to, fs::copy_options::overwrite_existing, ec)) return false;
  if (::chmod(to.c_str(), 0755) != 0) return false;
  fs::create_directories(fs::path(dir) / "run", ec);
  if (::chmod((fs::path(dir) / "run").c_str(), 0700) != 0) return false;
  std::ofstream ini(fs::path(dir) / "cfg.ini", std::ios::binary);
  ini << cfg;
  return static_cast<bool>(ini);
}

namespace {

bool Named(const char* entry, const char* name) {
  const std::size_t n = std::strlen(name);
  return std::strncmp(entry, name, n) == 0 && entry[n] == '=';
}

// The environment of this process with `set` in place of the variables it names, and `unset`
// left out.
std::vector<std::string> Environment(const std::vector<std::string>& set,
                                     const std::vector<const char*>& unset) {
  std::vector<std::string> env = set;
  for (char** e = environ; *e != nullptr; ++e) {
    bool replaced = false;
    for (const std::string& s : set)
      replaced = replaced || Named(*e, s.substr(0, s.find('=')).c_str());
    for (const char* u : unset)
      replaced = replaced || Named(*e, u);
    if (!replaced) env.emplace_back(*e);
  }
  return env;
}

pid_t Spawn(const std::string& dir, const std::string& name, std::vector<std::string> env,
            const std::string& errPath) {
  std::vector<char*> envp;
  for (auto& e : env)
    envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string program = dir + "/" + name;
  char* argv[] = {program.data(), nullptr};
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return 0;
  if (!errPath.empty() &&
      posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                       0644) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return 0;
  }
  pid_t pid = 0;
  const int r = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  return r == 0 ? pid : 0;
}

}  // namespace

pid_t StartInstalled(const std::string& dir, const std::string& name) {
  return Spawn(
      dir, name,
      Environment({"QT_QPA_PLATFORM=offscreen", "HOME=" + dir, "XDG_RUNTIME_DIR=" + dir + "/run"},
                  {}),
      {});
}

pid_t StartWithDisplay(const std::string& dir, const std::string& name,
                       const DisplayEnvironment& env, const std::string& errPath) {
  std::vector<std::string> set = {"HOME=" + dir, "XDG_RUNTIME_DIR=" + dir + "/run"};
  std::vector<const char*> unset = {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"};
  if (!env.display.empty()) set.push_back("DISPLAY=" + env.display);
  if (!env.waylandDisplay.empty()) set.push_back("WAYLAND_DISPLAY=" + env.waylandDisplay);
  return Spawn(dir, name, Environment(set, unset), errPath);
}

int WaitExit(pid_t pid, int seconds) {
  for (int i = 0;; ++i) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    if (i >= seconds * 10) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

}  // namespace zq::testing

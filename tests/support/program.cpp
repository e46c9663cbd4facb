#include "tests/support/program.h"

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

pid_t StartInstalled(const std::string& dir, const std::string& name) {
  std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen", "HOME=" + dir,
                                  "XDG_RUNTIME_DIR=" + dir + "/run"};
  for (char** e = environ; *e != nullptr; ++e)
    if (std::strncmp(*e, "HOME=", 5) != 0 && std::strncmp(*e, "XDG_RUNTIME_DIR=", 16) != 0 &&
        std::strncmp(*e, "QT_QPA_PLATFORM=", 16) != 0)
      env.emplace_back(*e);
  std::vector<char*> envp;
  for (auto& e : env)
    envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string program = dir + "/" + name;
  char* argv[] = {program.data(), nullptr};
  pid_t pid = 0;
  return posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, envp.data()) == 0 ? pid : 0;
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

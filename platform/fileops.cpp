#include "platform/fileops.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace zq {
namespace {

bool Fail(std::string* error, int err) {
  if (error != nullptr) *error = std::strerror(err);
  return false;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// Flushes and closes fd, then renames tmp to path; removes tmp on any failure.
bool FinishTemp(int fd, const std::string& tmp, const std::string& path, std::string* error) {
  int err = 0;
  if (::fsync(fd) != 0) err = errno;
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && ::rename(tmp.c_str(), path.c_str()) != 0) err = errno;
  if (err != 0) {
    ::unlink(tmp.c_str());
    return Fail(error, err);
  }
  return true;
}

bool EndsWithNoCase(const std::string& s, const std::string& suffix) {
  if (suffix.size() > s.size()) return false;
  for (std::size_t i = 0; i < suffix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(s[s.size() - suffix.size() + i])) !=
        std::tolower(static_cast<unsigned char>(suffix[i])))
      return false;
  return true;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, const std::string& content, mode_t mode,
                         std::string* error) {
  std::string tmp = path + ".XXXXXX";
  const int fd = ::mkstemp(tmp.data());
  if (fd < 0) return Fail(error, errno);
  if (::fchmod(fd, mode) != 0 || !WriteAll(fd, content.data(), content.size())) {
    const int err = errno;
    ::close(fd);
    ::unlink(tmp.c_str());
    return Fail(error, err);
  }
  return FinishTemp(fd, tmp, path, error);
}

bool RenameNoReplace(const std::string& from, const std::string& to, std::string* error) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return Fail(error, errno);
  // A file system without the no-replace rename: a hard link fails when the name exists.
  if (::link(from.c_str(), to.c_str()) != 0) return Fail(error, errno);
  if (::unlink(from.c_str()) != 0) {
    const int err = errno;
    ::unlink(to.c_str());
    return Fail(error, err);
  }
  return true;
}

bool CopyFileReplacing(const std::string& from, const std::string& to, std::string* error) {
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return Fail(error, errno);
  const std::string tmp = to + ".part";
  const int out = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) {
    const int err = errno;
    ::close(in);
    return Fail(error, err);
  }
  char buf[1 << 16];
  for (;;) {
    const ssize_t n = ::read(in, buf, sizeof buf);
    if (n == 0) break;
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || !WriteAll(out, buf, static_cast<std::size_t>(n))) {
      const int err = errno;
      ::close(in);
      ::close(out);
      ::unlink(tmp.c_str());
      return Fail(error, err);
    }
  }
  ::close(in);
  return FinishTemp(out, tmp, to, error);
}

bool DeleteFile(const std::string& path, std::string* error) {
  if (::unlink(path.c_str()) != 0) return Fail(error, errno);
  return true;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool EnsureFolder(const std::string& path, std::string* error) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  if (std::filesystem::is_directory(path)) return true;
  return Fail(error, ec ? ec.value() : ENOTDIR);
}

std::vector<FolderEntry> ListFolder(const std::string& folder, const std::string& suffix) {
  std::vector<FolderEntry> entries;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (!suffix.empty() && !EndsWithNoCase(name, suffix)) continue;
    struct stat st {};
    if (::stat(it->path().c_str(), &st) != 0) continue;  // gone meanwhile
    FolderEntry e;
    e.name = name;
    e.isDirectory = S_ISDIR(st.st_mode);
    e.modifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    e.modified = FromUnixLocal(st.st_mtim.tv_sec, static_cast<int>(st.st_mtim.tv_nsec / 1000000));
    entries.push_back(std::move(e));
  }
  return entries;
}

std::string ExecutableFolder() {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  std::string path(buf, static_cast<std::size_t>(n));
  const auto slash = path.rfind('/');
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

}  // namespace zq

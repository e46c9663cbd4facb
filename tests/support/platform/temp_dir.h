#pragma once
// A fresh folder under the system's temporary folder for one test, removed with everything in it.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/datetime.h"

namespace zq::testing {

// Sets a file's last modification (and access) time; false when the system refuses.
inline bool SetModified(const std::string& path, std::time_t when) {
  timespec times[2] = {{when, 0}, {when, 0}};
  return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}
// A local date and time as the system counts it.
inline std::time_t LocalTime(int year, int month, int day, int hour, int minute) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}
// The system's time of a local date-time value (to the second).
inline std::time_t UnixOf(TDateTime t) {
  const DateParts d = DecodeDate(t);
  const TimeParts h = DecodeTime(t);
  return LocalTime(d.year, d.month, d.day, h.hour, h.minute) + h.second;
}

// The names of a folder's entries, sorted; empty for a folder that cannot be read.
inline std::vector<std::string> SortedNames(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "zq-test-XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  void Write(const std::string& name, const std::string& content) const {
    std::ofstream(path_ + "/" + name, std::ios::binary) << content;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(path_ + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  std::string path_;
};

}  // namespace zq::testing

#include "platform/profile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/fileops.h"

namespace zq {
namespace {

struct Lines {
  std::vector<std::string> text;  // without their line endings
  std::string eol = "\n";
  bool finalEol = true;
};

bool ReadLines(const std::string& path, Lines& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::stringstream ss;
  ss << in.rdbuf();
  const std::string all = ss.str();
  out.text.clear();
  std::size_t crlf = 0, lf = 0, start = 0;
  while (start < all.size()) {
    std::size_t nl = all.find('\n', start);
    if (nl == std::string::npos) {
      out.text.push_back(all.substr(start));
      out.finalEol = false;
      break;
    }
    std::size_t end = nl;
    if (end > start && all[end - 1] == '\r') {
      --end;
      ++crlf;
    } else {
      ++lf;
    }
    out.text.push_back(all.substr(start, end - start));
    start = nl + 1;
  }
  out.eol = crlf > lf ? "\r\n" : "\n";
  return true;
}

std::string Trim(const std::string& s) {
  const char* ws = " \t\r\f\v";
  const auto b = s.find_first_not_of(ws);
  if (b == std::string::npos) return {};
  const auto e = s.find_last_not_of(ws);
  return s.substr(b, e - b + 1);
}

bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// "[name]" gives true and the name.
bool SectionOf(const std::string& line, std::string& name) {
  const std::string t = Trim(line);
  if (t.size() < 2 || t.front() != '[') return false;
  const auto close = t.find(']');
  if (close == std::string::npos) return false;
  name = Trim(t.substr(1, close - 1));
  return true;
}

// "key=value" gives true, the key and the raw value.
bool KeyOf(const std::string& line, std::string& key, std::string& value) {
  const auto eq = line.find('=');
  if (eq == std::string::npos) return false;
  key = Trim(line.substr(0, eq));
  value = line.substr(eq + 1);
  return !key.empty();
}

// The range [begin, end) of the section's lines after its header; begin == npos when absent.
void FindSection(const Lines& l, const std::string& section, std::size_t& begin, std::size_t& end) {
  begin = end = std::string::npos;
  std::string name;
  for (std::size_t i = 0; i < l.text.size(); ++i) {
    if (!SectionOf(l.text[i], name)) continue;
    if (begin != std::string::npos) {
      end = i;
      return;
    }
    if (SameText(name, section)) begin = i + 1;
  }
  if (begin != std::string::npos) end = l.text.size();
}

// Replaces the key's line (keeping the key as the file spells it), or adds it at the end of its
// section, or adds the section at the end of the file.
void SetLine(Lines& l, const std::string& section, const std::string& key,
             const std::string& value) {
  std::size_t b, e;
  FindSection(l, section, b, e);
  if (b == std::string::npos) {
    l.text.push_back("[" + section + "]");
    l.text.push_back(key + "=" + value);
    return;
  }
  std::string k, v;
  std::size_t found = std::string::npos, lastKey = b;
  for (std::size_t i = b; i < e; ++i) {
    if (!KeyOf(l.text[i], k, v)) continue;
    lastKey = i + 1;
    if (found == std::string::npos && SameText(k, key)) found = i;
  }
  if (found != std::string::npos) {
    const std::string& line = l.text[found];
    l.text[found] = line.substr(0, line.find('=')) + "=" + value;
  } else {
    l.text.insert(l.text.begin() + static_cast<std::ptrdiff_t>(lastKey), key + "=" + value);
  }
}

// An advisory lock held over a read-modify-write of a file, so that two programs writing their
// own keys at once never lose each other's: the rename replaces the file itself, so the lock is
// taken on its folder. Released when closed.
class FolderLock {
 public:
  explicit FolderLock(const std::string& file) {
    const auto slash = file.rfind('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : file.substr(0, slash);
    fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) return;
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno == EINTR) continue;
      ::close(fd_);
      fd_ = -1;
      return;
    }
  }
  ~FolderLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
  Lines l;
  if (!ReadLines(fileName_, l)) return defaultValue;
  std::size_t b, e;
  FindSection(l, section, b, e);
  if (b == std::string::npos) return defaultValue;
  std::string k, v;
  for (std::size_t i = b; i < e; ++i) {
    if (!KeyOf(l.text[i], k, v) || !SameText(k, key)) continue;
    v = Trim(v);
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    return v;
  }
  return defaultValue;
}

bool TIniFile::SectionExists(const std::string& section) const {
  Lines l;
  if (!ReadLines(fileName_, l)) return false;
  std::size_t b, e;
  FindSection(l, section, b, e);
  return b != std::string::npos;
}

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const {
  Lines l;
  if (!ReadLines(fileName_, l)) return false;
  std::size_t b, e;
  FindSection(l, section, b, e);
  if (b == std::string::npos) return false;
  std::string k, v;
  for (std::size_t i = b; i < e; ++i)
    if (KeyOf(l.text[i], k, v) && SameText(k, key)) return true;
  return false;
}

void TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value) {
  WriteStrings({{section, key, value}});
}

void TIniFile::WriteStrings(const std::vector<TIniValue>& values) {
  const std::string failure = "Unable to write to " + fileName_;
  const FolderLock lock(fileName_);
  if (!lock.Held()) throw EIniFileException(failure);
  Lines l;
  struct stat st {};
  const bool exists = ::stat(fileName_.c_str(), &st) == 0;
  if (exists) {
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(fileName_.c_str(), W_OK) != 0)
      throw EIniFileException(failure);
    if (!ReadLines(fileName_, l)) throw EIniFileException(failure);
  }
  for (const TIniValue& v : values)
    SetLine(l, v.section, v.key, v.value);

  std::string out;
  for (std::size_t i = 0; i < l.text.size(); ++i) {
    out += l.text[i];
    if (i + 1 < l.text.size() || l.finalEol) out += l.eol;
  }
  if (!WriteFileAtomically(fileName_, out, exists ? (st.st_mode & 07777) : 0644))
    throw EIniFileException(failure);
}

}  // namespace zq

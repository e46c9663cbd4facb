#pragma once
// The disk-space seam: the size and the free space of the file system that holds a folder, as
// the caller may use it (statvfs f_bavail: space reserved for root does not count). Any thread.

#include <cstdint>
#include <string>

namespace zq {

struct DiskFigures {
  std::uint64_t totalBytes = 0;
  std::uint64_t freeBytes = 0;  // free for the caller
};

class DiskSpace {
 public:
  virtual ~DiskSpace() = default;
  // False (and `out` untouched) when the folder cannot be queried: it does not exist, or the
  // system refuses.
  virtual bool Query(const std::string& folder, DiskFigures& out) const = 0;
};

class StatvfsDiskSpace final : public DiskSpace {
 public:
  bool Query(const std::string& folder, DiskFigures& out) const override;
};

}  // namespace zq

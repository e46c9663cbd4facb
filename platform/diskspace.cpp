#include "platform/diskspace.h"

#include <sys/statvfs.h>

namespace zq {

bool StatvfsDiskSpace::Query(const std::string& folder, DiskFigures& out) const {
  struct statvfs s {};
  if (statvfs(folder.c_str(), &s) != 0) return false;
  const std::uint64_t unit = s.f_frsize != 0 ? s.f_frsize : s.f_bsize;
  out.totalBytes = static_cast<std::uint64_t>(s.f_blocks) * unit;
  out.freeBytes = static_cast<std::uint64_t>(s.f_bavail) * unit;
  return true;
}

}  // namespace zq

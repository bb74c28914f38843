#include "platform/disk_space.h"

#include <sys/statvfs.h>

namespace zephra {

std::optional<std::uint64_t> freeDiskSpace(const std::string& path) {
  struct statvfs fs {};
  if (::statvfs(path.c_str(), &fs) != 0) return std::nullopt;
  // f_bavail: what is left for users other than root.
  return static_cast<std::uint64_t>(fs.f_bavail) * static_cast<std::uint64_t>(fs.f_frsize);
}

}  // namespace zephra

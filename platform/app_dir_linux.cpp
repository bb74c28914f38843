#include "platform/app_dir.h"

#include <climits>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace zephra {

std::string executableDir() {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) throw std::runtime_error("Cannot determine the program's folder");
  std::string path(buf, static_cast<size_t>(n));
  return path.substr(0, path.rfind('/') + 1);
}

}  // namespace zephra

#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace zephra {

std::string instanceLockPath(const std::string& dataDir) {
  // FNV-1a: stable across builds, so two versions of the server still exclude each other.
  std::uint64_t hash = 14695981039346656037ull;
  for (const unsigned char c : std::filesystem::absolute(dataDir).lexically_normal().string()) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  char name[64];
  std::snprintf(name, sizeof name, "zephra-server-%016llx.lock", static_cast<unsigned long long>(hash));
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime == '/') return (std::filesystem::path(runtime) / name).string();
  std::error_code ec;
  const std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
  return ((ec ? std::filesystem::path("/tmp") : temp) /
          ("zephra-server-" + std::to_string(::getuid()) + "-" + std::string(name + 14)))
      .string();
}

std::string secretFallbackPath(const std::string& dataDir) {
  std::string path = instanceLockPath(dataDir);
  return path.substr(0, path.size() - std::string_view(".lock").size()) + ".secret";
}

InstanceLock::InstanceLock(const std::string& path) {
  m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (m_fd < 0) throw std::system_error(errno, std::generic_category(), "open " + path);
  if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
    m_held = true;
  } else if (errno != EWOULDBLOCK) {
    const int saved = errno;
    ::close(m_fd);
    m_fd = -1;
    throw std::system_error(saved, std::generic_category(), "lock " + path);
  }
}

InstanceLock::~InstanceLock() {
  if (m_fd >= 0) ::close(m_fd);  // closing releases the lock
}

}  // namespace zephra

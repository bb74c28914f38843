// One server per data folder: an exclusive flock on a file there. The kernel drops the lock when
// the process dies, however it dies, so a crash never leaves a stale lock behind. Per-OS
// implementation beside this header.
#pragma once

#include <string>

namespace zephra {

// Where the lock for the server of `dataDir` lives: the user's runtime folder ($XDG_RUNTIME_DIR,
// private to the user and always writable), else the temporary folder with the user id in the
// name; never the application folder, which may be read only. The name is derived from the
// data folder's absolute path, so each data folder has its own.
std::string instanceLockPath(const std::string& dataDir);

// Where the server of `dataDir` keeps its page secret when the data folder cannot be written:
// beside its lock, in the user's private runtime folder, named from the same path.
std::string secretFallbackPath(const std::string& dataDir);

class InstanceLock {
 public:
  // Tries to take the lock at `path` (creating the file). Check held() afterwards. Throws
  // std::system_error when the file cannot be opened at all.
  explicit InstanceLock(const std::string& path);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // False when another process holds it.
  bool held() const { return m_held; }

 private:
  int m_fd = -1;
  bool m_held = false;
};

}  // namespace zephra

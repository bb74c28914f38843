// One server per data folder: an exclusive flock on a file there. The kernel drops the lock when
// the process dies, however it dies, so a crash never leaves a stale lock behind.
#pragma once

#include <string>

namespace zephra {

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

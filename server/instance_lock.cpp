#include "server/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace zephra {

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

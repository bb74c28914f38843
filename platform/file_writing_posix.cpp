#include "platform/file_writing.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>

namespace zephra {

namespace {

[[noreturn]] void throwErrno(const std::string& what) {
  throw std::system_error(errno, std::generic_category(), what);
}

::mode_t modeOf(NewFileAccess access) { return access == NewFileAccess::OwnerOnly ? 0600 : 0644; }

// Closes the descriptor of a failed step without losing its errno.
void closeKeepingErrno(int fd) {
  const int saved = errno;
  ::close(fd);
  errno = saved;
}

}  // namespace

NewFile NewFile::create(const std::string& path, NewFileAccess access) {
  ::unlink(path.c_str());
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, modeOf(access));
  if (fd < 0) throwErrno("create " + path);
  return NewFile(fd, path);
}

NewFile NewFile::createUnique(const std::string& prefix) {
  std::string name = prefix + "XXXXXX";
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);  // mode 0600
  if (fd < 0) throwErrno("create " + name);
  return NewFile(fd, name);
}

NewFile::~NewFile() {
  if (m_handle >= 0) ::close(static_cast<int>(m_handle));
}

NewFile::NewFile(NewFile&& other) noexcept
    : m_handle(std::exchange(other.m_handle, -1)), m_path(std::move(other.m_path)) {}

NewFile& NewFile::operator=(NewFile&& other) noexcept {
  if (this != &other) {
    if (m_handle >= 0) ::close(static_cast<int>(m_handle));
    m_handle = std::exchange(other.m_handle, -1);
    m_path = std::move(other.m_path);
  }
  return *this;
}

void NewFile::write(const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(static_cast<int>(m_handle), data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      throwErrno("write " + m_path);
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

void NewFile::sync() {
  if (::fsync(static_cast<int>(m_handle)) != 0) throwErrno("sync " + m_path);
}

void NewFile::close() {
  if (m_handle < 0) return;
  if (::close(static_cast<int>(std::exchange(m_handle, -1))) != 0) throwErrno("close " + m_path);
}

void syncPath(const std::string& path) {
  // A folder opens read-only like a file; fsync on it puts its names on the disk.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throwErrno("open " + path);
  if (::fsync(fd) != 0) {
    closeKeepingErrno(fd);
    throwErrno("sync " + path);
  }
  ::close(fd);
}

bool exchangePaths(const std::string& first, const std::string& second) {
  if (::renameat2(AT_FDCWD, first.c_str(), AT_FDCWD, second.c_str(), RENAME_EXCHANGE) == 0)
    return true;
  if (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP) return false;
  throwErrno("exchange " + second);
}

std::string makePrivateFolder(const std::string& prefix) {
  std::string name = prefix + "XXXXXX";
  if (!::mkdtemp(name.data())) throwErrno("create " + name);
  return name;
}

void writeFileDurably(const std::string& path, const std::string& content, NewFileAccess access) {
  const std::string temporary = path + ".tmp";
  try {
    NewFile file = NewFile::create(temporary, access);
    file.write(content.data(), content.size());
    file.sync();
    file.close();
    if (::rename(temporary.c_str(), path.c_str()) != 0) throwErrno("rename " + temporary);
  } catch (...) {
    ::unlink(temporary.c_str());
    throw;
  }
  const std::string folder = std::filesystem::path(path).parent_path().string();
  syncPath(folder.empty() ? "." : folder);
}

}  // namespace zephra

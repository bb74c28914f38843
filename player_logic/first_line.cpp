#include "player_logic/first_line.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zephra {
namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : m_fd(fd) {}
  ~FileDescriptor() {
    if (m_fd >= 0) ::close(m_fd);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return m_fd; }

 private:
  int m_fd;
};

[[noreturn]] void cannotRead(const std::string& path, const std::string& reason) {
  throw FileError("Cannot read " + path + ": " + reason);
}

}  // namespace

std::string readFirstLine(const std::string& path, std::size_t limit) {
  // Non-blocking, so that opening a FIFO without a writer returns at once; it is refused below.
  const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (file.get() < 0) {
    if (errno == ENOENT) throw FileError("File not found");
    cannotRead(path, std::strerror(errno));
  }
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) cannotRead(path, std::strerror(errno));
  if (!S_ISREG(info.st_mode)) cannotRead(path, "not a regular file");

  std::string line;
  char buffer[16384];
  for (;;) {
    const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      cannotRead(path, std::strerror(errno));
    }
    if (got == 0) break;
    const void* end = std::memchr(buffer, '\n', static_cast<std::size_t>(got));
    const std::size_t take = end ? static_cast<std::size_t>(static_cast<const char*>(end) - buffer)
                                 : static_cast<std::size_t>(got);
    if (line.size() + take > limit)
      cannotRead(path, "the first line is longer than " + std::to_string(limit) + " bytes");
    line.append(buffer, take);
    if (end) break;
  }
  return line;
}

}  // namespace zephra

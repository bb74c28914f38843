#include "platform/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/stat_posix.h"

namespace zephra {

namespace {

[[noreturn]] void refuse(const std::string& path, const std::string& why,
                         FileRefused::Reason reason = FileRefused::Reason::Other) {
  throw FileRefused(path + ": " + why, reason);
}

}  // namespace

InputFile InputFile::open(const std::string& path, const InputFileOptions& options) {
  // O_NONBLOCK: a FIFO put in the file's place would otherwise wait for a writer for ever.
  int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  if (options.finalLink == FinalLink::Report) flags |= O_NOFOLLOW;
  const int fd = ::open(path.c_str(), flags);
  if (fd < 0) {
    const int error = errno;
    if (error == ENOENT) refuse(path, std::strerror(error), FileRefused::Reason::Missing);
    refuse(path, error == ELOOP && options.finalLink == FinalLink::Report ? "a symbolic link"
                                                                          : std::strerror(error));
  }
  InputFile file(fd, path);
  struct stat st {};
  if (::fstat(fd, &st) != 0) refuse(path, std::strerror(errno));
  file.m_status = statusFromStat(st);
  if (!S_ISREG(st.st_mode)) refuse(path, "not a regular file", FileRefused::Reason::NotRegular);
  if (options.maxSize && file.m_status.size > *options.maxSize)
    refuse(path, "larger than " + std::to_string(*options.maxSize) + " bytes",
           FileRefused::Reason::TooLarge);
  if (options.expected && file.m_status.identity != *options.expected)
    refuse(path, "not the file that was listed");
  return file;
}

void InputFile::close() noexcept {
  if (m_handle >= 0) ::close(static_cast<int>(m_handle));
  m_handle = -1;
}

InputFile::~InputFile() { close(); }

InputFile::InputFile(InputFile&& other) noexcept
    : m_handle(std::exchange(other.m_handle, -1)),
      m_path(std::move(other.m_path)),
      m_status(other.m_status) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
  if (this != &other) {
    close();
    m_handle = std::exchange(other.m_handle, -1);
    m_path = std::move(other.m_path);
    m_status = other.m_status;
  }
  return *this;
}

std::size_t InputFile::read(char* buffer, std::size_t capacity) {
  for (;;) {
    const ssize_t n = ::read(static_cast<int>(m_handle), buffer, capacity);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) refuse(m_path, std::strerror(errno));
  }
}

int InputFile::descriptor() const { return static_cast<int>(m_handle); }

int InputFile::releaseDescriptor() { return static_cast<int>(std::exchange(m_handle, -1)); }

}  // namespace zephra

#include "platform/random_bytes.h"

#include <sys/random.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace zephra {

void fillRandomBytes(unsigned char* buffer, std::size_t size) {
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = ::getrandom(buffer + got, size - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw std::runtime_error(std::string("no random numbers: ") + std::strerror(errno));
    got += static_cast<std::size_t>(n);
  }
}

}  // namespace zephra

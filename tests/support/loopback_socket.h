// Raw TCP connections to a server on 127.0.0.1, for tests that must send exactly what a broken
// or slow client sends, and a server that never answers.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace zephra::test {

// A connected socket, or -1.
inline int connectTo(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

inline bool sendAll(int fd, const std::string& data) {
  return ::send(fd, data.data(), data.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(data.size());
}

// Everything the server sends until it closes, waiting at most `limit` for each piece.
inline std::string readUntilClosed(int fd, std::chrono::milliseconds limit) {
  std::string text;
  char buffer[4096];
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(limit.count())) <= 0) break;
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  return text;
}

// A socket listening on an ephemeral 127.0.0.1 port; its port goes to `port`.
inline int listenOnLoopback(int backlog, int& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(fd, backlog) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (fd >= 0) ::close(fd);
    throw std::runtime_error("cannot listen on a loopback socket");
  }
  port = ntohs(address.sin_port);
  return fd;
}

// Accepts connections into its backlog and never answers: a server that hangs.
class SilentServer {
 public:
  explicit SilentServer(int backlog = 8) : m_socket(listenOnLoopback(backlog, m_port)) {}
  ~SilentServer() { ::close(m_socket); }
  SilentServer(const SilentServer&) = delete;
  SilentServer& operator=(const SilentServer&) = delete;
  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + "/" + path;
  }

 private:
  int m_port = 0;
  int m_socket = -1;
};

}  // namespace zephra::test

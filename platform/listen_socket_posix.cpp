#include "platform/listen_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace zephra {

ListenSocket::ListenSocket(const std::string& host, int port, int backlog) {
  if (port < 0 || port > 65535) throw SocketError("bad port " + std::to_string(port));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  if (::inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1)
    throw SocketError("not an IPv4 address: " + host);
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw SocketError(std::string("socket: ") + std::strerror(errno));
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, backlog) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    const std::string why = std::strerror(errno);
    ::close(fd);
    throw SocketError("cannot bind " + host + ":" + std::to_string(port) + ": " + why);
  }
  m_handle = static_cast<std::uintptr_t>(fd);
  m_port = ntohs(address.sin_port);
}

ListenSocket::~ListenSocket() {
  if (valid()) ::close(static_cast<int>(m_handle));
}

ListenSocket::ListenSocket(ListenSocket&& other) noexcept
    : m_handle(std::exchange(other.m_handle, kNone)), m_port(other.m_port) {}

ListenSocket& ListenSocket::operator=(ListenSocket&& other) noexcept {
  if (this != &other) {
    if (valid()) ::close(static_cast<int>(m_handle));
    m_handle = std::exchange(other.m_handle, kNone);
    m_port = other.m_port;
  }
  return *this;
}

std::uintptr_t ListenSocket::release() { return std::exchange(m_handle, kNone); }

std::string numericAddress(const sockaddr* peer) {
  if (!peer) return {};
  const void* address = nullptr;
  if (peer->sa_family == AF_INET)
    address = &reinterpret_cast<const sockaddr_in*>(peer)->sin_addr;
  else if (peer->sa_family == AF_INET6)
    address = &reinterpret_cast<const sockaddr_in6*>(peer)->sin6_addr;
  char text[INET6_ADDRSTRLEN] = {};
  if (!address || !::inet_ntop(peer->sa_family, address, text, sizeof text)) return {};
  return text;
}

}  // namespace zephra

// The listening TCP socket of the HTTP servers, made before the server runs so that the port
// (chosen by the system for port 0) is known at once. Per-OS implementation beside this header.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

struct sockaddr;

namespace zephra {

class SocketError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Move-only; closes the socket unless it was handed over.
class ListenSocket {
 public:
  ListenSocket() = default;
  // Listens on the IPv4 address `host` (numeric) and `port` (0: any free one) with room for
  // `backlog` waiting connections. SocketError "not an IPv4 address: <host>", "socket: <why>" or
  // "cannot bind <host>:<port>: <why>".
  ListenSocket(const std::string& host, int port, int backlog);
  ~ListenSocket();
  ListenSocket(ListenSocket&& other) noexcept;
  ListenSocket& operator=(ListenSocket&& other) noexcept;
  ListenSocket(const ListenSocket&) = delete;
  ListenSocket& operator=(const ListenSocket&) = delete;

  bool valid() const { return m_handle != kNone; }
  int port() const { return m_port; }
  // The system's socket (an int on POSIX, a SOCKET on Windows), still owned by this object
  // until release() hands it over to the library that serves on it and closes it.
  std::uintptr_t native() const { return m_handle; }
  std::uintptr_t release();

 private:
  static constexpr std::uintptr_t kNone = ~std::uintptr_t{0};
  std::uintptr_t m_handle = kNone;
  int m_port = 0;
};

// The numeric text of an IPv4 or IPv6 socket address ("127.0.0.1", "::1"); "" for any other.
std::string numericAddress(const sockaddr* address);

}  // namespace zephra

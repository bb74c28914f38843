// A real HTTP server on 127.0.0.1 (ephemeral port) running on its own thread for the length of
// a test; stopped and joined by the destructor.
#pragma once

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zephra::test {

class LoopbackServer {
 public:
  // One request per connection: otherwise stop() waits for idle keep-alive connections to time out.
  LoopbackServer() { m_server.set_keep_alive_max_count(1); }
  ~LoopbackServer() { stop(); }
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  httplib::Server& http() { return m_server; }

  // Binds and starts serving; routes must be registered before.
  void start() {
    m_port = m_server.bind_to_any_port("127.0.0.1");
    if (m_port <= 0) throw std::runtime_error("cannot bind a loopback port");
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    for (int i = 0; i < 200 && !m_server.is_running(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  void stop() {
    if (m_thread.joinable()) {
      m_server.stop();
      m_thread.join();
    }
  }
  int port() const { return m_port; }
  std::string base() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/"; }

 private:
  httplib::Server m_server;
  std::thread m_thread;
  int m_port = 0;
};

// A port on 127.0.0.1 where nothing listens (bound, then released). A plain socket, never
// listening: an httplib::Server that is bound but not run keeps its socket listening, so
// connections to it would hang instead of being refused.
inline int unusedLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) throw std::runtime_error("cannot open a socket");
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof addr;
  const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
                  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0;
  ::close(fd);
  if (!ok) throw std::runtime_error("cannot bind a loopback port");
  return ntohs(addr.sin_port);
}

}  // namespace zephra::test

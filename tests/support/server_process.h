// zephra-server or zephra-service started for a test on a free loopback port ("--port 0"): the
// port it announces on its first line, its base address, and a stop (SIGTERM) at the end.
#pragma once

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace zephra::test {

// The port of the "listening on 127.0.0.1:<port>" line a server prints once it is bound; 0 when
// the next line, within `timeout`, is anything else or does not come.
inline int announcedPort(ChildProcess& server, std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
  const std::string prefix = "listening on 127.0.0.1:";
  const std::optional<std::string> line = server.readLine(timeout);
  if (!line || line->rfind(prefix, 0) != 0) return 0;
  const std::string digits = line->substr(prefix.size());
  if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) return 0;
  return std::stoi(digits);
}

class ServerProcess {
 public:
  // `argv`: the program and its options but the port. Throws when no port is announced.
  explicit ServerProcess(const std::vector<std::string>& argv, const std::string& cwd = {},
                         const std::vector<std::string>& unsetEnv = {})
      : m_child(withFreePort(argv), cwd, unsetEnv), m_port(announcedPort(m_child)) {
    if (m_port == 0) throw std::runtime_error(argv.front() + " did not announce a port");
  }
  ~ServerProcess() { stop(); }
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  int port() const { return m_port; }
  std::string base() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/"; }
  ChildProcess& process() { return m_child; }

  // SIGTERM, then its exit status once it ended (nothing if it did not within `timeout`).
  std::optional<int> stop(std::chrono::milliseconds timeout = std::chrono::seconds(10)) { return m_child.stop(timeout); }

 private:
  static std::vector<std::string> withFreePort(std::vector<std::string> argv) {
    argv.insert(argv.end(), {"--port", "0"});
    return argv;
  }

  ChildProcess m_child;
  int m_port;
};

}  // namespace zephra::test

// Many clients at once on kept-alive connections, each asking again as soon as it has its answer:
// every request must be answered promptly, none left waiting for the idle time-out.
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <string>
#include <vector>

#include "common/http/http_server.h"
#include "tests/support/loopback_socket.h"

namespace zephra::http {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Client {
  int fd = -1;
  std::string received;
  Clock::time_point askedAt;
  bool waiting = false;
};

// A whole answer at the start of `text` (headers and Content-Length body): its length, or 0.
std::size_t completeAnswer(const std::string& text) {
  const auto end = text.find("\r\n\r\n");
  if (end == std::string::npos) return 0;
  const auto at = text.find("Content-Length: ");
  if (at == std::string::npos || at > end) return 0;
  const std::size_t length = std::strtoul(text.c_str() + at + 16, nullptr, 10);
  return text.size() >= end + 4 + length ? end + 4 + length : 0;
}

struct LoadResult {
  std::size_t answered = 0;
  std::size_t unanswered = 0;  // still waiting `patience` after being sent
  std::size_t refused = 0;     // connections that could not be opened or were closed
};

// `clients` connections, each sending its next request once the previous one is answered, for
// `duration`; a request without its answer after `patience` counts as lost.
LoadResult runLoad(int port, int clients, std::chrono::milliseconds duration,
                   std::chrono::milliseconds patience) {
  LoadResult result;
  std::vector<Client> all(static_cast<std::size_t>(clients));
  const std::string request = "GET /load HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  for (Client& client : all) {
    client.fd = test::connectTo(port);
    if (client.fd < 0 || !test::sendAll(client.fd, request)) {
      ++result.refused;
      continue;
    }
    client.askedAt = Clock::now();
    client.waiting = true;
  }
  const auto stopAsking = Clock::now() + duration;
  for (;;) {
    std::vector<pollfd> polled;
    std::vector<Client*> owners;
    const auto now = Clock::now();
    for (Client& client : all) {
      if (!client.waiting) continue;
      if (now - client.askedAt > patience) {
        ++result.unanswered;
        client.waiting = false;
        continue;
      }
      polled.push_back({client.fd, POLLIN, 0});
      owners.push_back(&client);
    }
    if (polled.empty()) break;
    if (::poll(polled.data(), polled.size(), 100) < 0) break;
    for (std::size_t i = 0; i < polled.size(); ++i) {
      if (!polled[i].revents) continue;
      Client& client = *owners[i];
      char buffer[8192];
      const ssize_t n = ::recv(client.fd, buffer, sizeof buffer, 0);
      if (n <= 0) {
        ++result.refused;
        client.waiting = false;
        continue;
      }
      client.received.append(buffer, static_cast<std::size_t>(n));
      const std::size_t length = completeAnswer(client.received);
      if (length == 0) continue;
      ++result.answered;
      client.received.erase(0, length);
      client.waiting = Clock::now() < stopAsking && test::sendAll(client.fd, request);
      client.askedAt = Clock::now();
    }
  }
  for (Client& client : all)
    if (client.fd >= 0) ::close(client.fd);
  return result;
}

// With a worker's full share of the connection limit (128) busy at once, whole groups of 128
// kept-alive connections went unserved until the idle time-out closed them.
TEST(HttpServerLoad, EveryKeptAliveClientIsAnsweredUnderLoad) {
  // Both ends live in this process: 500 sockets each, beyond the usual soft limit of 1024.
  rlimit files{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &files), 0);
  if (files.rlim_cur < 1500 && files.rlim_max >= 1500) {
    files.rlim_cur = 1500;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &files), 0);
  }
  ASSERT_GE(files.rlim_cur, 1500u) << "too few file descriptors allowed for this test";
  Server server([](const Request&, Response& res) { res.setContent("ok", "text/plain"); });
  const int port = server.bind("127.0.0.1", 0);
  auto running = std::async(std::launch::async, [&] { return server.run(); });
  const LoadResult result = runLoad(port, 500, 2s, 3s);
  server.stop();
  EXPECT_TRUE(running.get());
  EXPECT_EQ(result.unanswered, 0u) << result.answered << " answered";
  EXPECT_EQ(result.refused, 0u);
  EXPECT_GT(result.answered, 500u);
}

}  // namespace
}  // namespace zephra::http

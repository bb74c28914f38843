// The real server on 127.0.0.1 against clients that misbehave: slow, idle, oversized, odd ranges.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "common/http/http_server.h"
#include "tests/support/loopback_socket.h"

namespace zephra::http {
namespace {

using namespace std::chrono_literals;

using test::connectTo;
using test::readUntilClosed;
using test::sendAll;

// One request sent exactly as written on its own connection; the whole answer, or "".
std::string roundTrip(int port, const std::string& request) {
  const int fd = connectTo(port);
  if (fd < 0) return {};
  std::string answer = sendAll(fd, request) ? readUntilClosed(fd, 10s) : std::string();
  ::close(fd);
  return answer;
}

std::string get(int port, const std::string& target, const std::string& headers = "") {
  return roundTrip(port, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers +
                            "Connection: close\r\n\r\n");
}

int statusOf(const std::string& answer) {
  return answer.rfind("HTTP/1.1 ", 0) == 0 ? std::atoi(answer.c_str() + 9) : 0;
}

std::string headerOf(const std::string& answer, const std::string& name) {
  const auto at = answer.find("\r\n" + name + ": ");
  if (at == std::string::npos) return {};
  const auto start = at + name.size() + 4;
  return answer.substr(start, answer.find("\r\n", start) - start);
}

std::string bodyOf(const std::string& answer) {
  const auto end = answer.find("\r\n\r\n");
  return end == std::string::npos ? std::string() : answer.substr(end + 4);
}

class RunningServer {
 public:
  explicit RunningServer(Handler handler, ServerOptions options = {})
      : m_server(std::move(handler), options) {
    m_port = m_server.bind("127.0.0.1", 0);
    m_done = std::async(std::launch::async, [this] { return m_server.run(); });
  }
  ~RunningServer() { stop(10s); }
  // Whether run() returned within `limit` of the stop.
  bool stop(std::chrono::milliseconds limit) {
    m_server.stop();
    return !m_done.valid() || m_done.wait_for(limit) == std::future_status::ready;
  }
  int port() const { return m_port; }

 private:
  Server m_server;
  int m_port = 0;
  std::future<bool> m_done;
};

void echo(const Request& req, Response& res) {
  if (req.path == "/throw") throw std::runtime_error("broken handler");
  res.setContent(req.target + "|" + req.path + "|" + req.param("q") + "|" + req.header("host") +
                     "|" + req.body,
                 "text/plain");
}

// Fifty connections that are slow or silent, each holding a request that has not ended; the
// real request must still be answered, while the slow ones are still going. The wait for the
// answer is bounded only so a broken server fails instead of hanging.
TEST(HttpServer, SlowAndIdleClientsDoNotHoldUpARealRequest) {
  RunningServer server(&echo);
  std::vector<int> slow, idle;
  for (int i = 0; i < 25; ++i) {
    idle.push_back(connectTo(server.port()));
    slow.push_back(connectTo(server.port()));
    ASSERT_GE(idle.back(), 0);
    ASSERT_GE(slow.back(), 0);
    ASSERT_TRUE(sendAll(slow.back(), "GET /slow HTTP/1.1\r\nHost: 127.0.0.1\r\n"));
  }
  std::atomic<bool> answered{false};
  std::thread trickle([&] {
    while (!answered)
      for (int fd : slow) {
        sendAll(fd, "X-Slow: 1\r\n");
        std::this_thread::sleep_for(5ms);
      }
  });
  const std::string answer = get(server.port(), "/real?q=1");
  answered = true;
  trickle.join();
  EXPECT_EQ(statusOf(answer), 200);
  EXPECT_EQ(bodyOf(answer), "/real?q=1|/real|1|127.0.0.1|");
  // None of the slow requests was ended, so none can have been answered.
  for (int fd : slow) {
    pollfd p{fd, POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 0), 0);
  }
  EXPECT_TRUE(server.stop(2s));
  for (int fd : slow) ::close(fd);
  for (int fd : idle) ::close(fd);
}

TEST(HttpServer, StopEndsServingAtOnceWithClientsStillConnected) {
  RunningServer server(&echo);
  std::vector<int> open;
  for (int i = 0; i < 50; ++i) {
    open.push_back(connectTo(server.port()));
    if (i % 2) sendAll(open.back(), "GET /x HTTP/1.1\r\n");
  }
  ASSERT_EQ(statusOf(get(server.port(), "/")), 200);  // serving, with the others connected
  EXPECT_TRUE(server.stop(2s));
  for (int fd : open) {
    // The server closed every connection on its way out.
    EXPECT_EQ(readUntilClosed(fd, 5s), "");
    ::close(fd);
  }
}

TEST(HttpServer, EveryTargetReachesTheHandlerWithItsHeaders) {
  RunningServer server(&echo);
  // A second "?" in the target and "=" in a value stay as they were sent.
  EXPECT_EQ(bodyOf(get(server.port(), "/query.php?x=?y&q=a=b")),
            "/query.php?x=?y&q=a=b|/query.php|a=b|127.0.0.1|");
  const std::string foreign = roundTrip(
      server.port(), "GET /v?q=a?b HTTP/1.1\r\nHost: evil.example\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(bodyOf(foreign), "/v?q=a?b|/v|a?b|evil.example|");

  EXPECT_EQ(statusOf(get(server.port(), "/throw")), 500);
  EXPECT_EQ(statusOf(get(server.port(), "http://evil.example/")), 400);
  EXPECT_EQ(statusOf(roundTrip(server.port(), "POST /up HTTP/1.1\r\nHost: h\r\nContent-Length: 5\r\n"
                                             "Connection: close\r\n\r\nhello")),
            200);
  const std::string big(70 * 1024, 'x');
  EXPECT_EQ(statusOf(roundTrip(server.port(), "POST /up HTTP/1.1\r\nHost: h\r\nContent-Length: " +
                                                 std::to_string(big.size()) +
                                                 "\r\nConnection: close\r\n\r\n" + big)),
            413);
  const std::string hugeHeader(64 * 1024, 'h');
  const int status = statusOf(get(server.port(), "/", "X-Big: " + hugeHeader + "\r\n"));
  EXPECT_TRUE(status == 413 || status == 431) << status;
}

TEST(HttpServer, HandlersSeeTheClientAddress) {
  RunningServer server([](const Request& req, Response& res) {
    res.setContent(req.clientAddress, "text/plain");
  });
  EXPECT_EQ(bodyOf(get(server.port(), "/")), "127.0.0.1");
}

// Without SO_REUSEPORT a second server on a port in use fails at once, instead of silently
// taking part of the first one's requests.
TEST(HttpServer, APortInUseIsAnErrorThatSaysSo) {
  RunningServer first(&echo);
  Server second(&echo);
  try {
    second.bind("127.0.0.1", first.port());
    ADD_FAILURE() << "bound a port in use";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find(":" + std::to_string(first.port()) + ": Address already in use"),
              std::string::npos)
        << e.what();
  }
  EXPECT_EQ(statusOf(get(first.port(), "/")), 200);
}

TEST(HttpServer, FileBodiesHonourRanges) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("zephra-http-range-" + std::to_string(::getpid()));
  {
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < (1 << 20); ++i) out.put(static_cast<char>('a' + i % 26));
  }
  RunningServer server([&](const Request&, Response& res) {
    if (!res.sendFile(path.string(), "video/mp2t")) res.status = 404;
  });
  const std::string whole = get(server.port(), "/f");
  EXPECT_EQ(statusOf(whole), 200);
  EXPECT_EQ(headerOf(whole, "Content-Length"), "1048576");

  const std::string part = get(server.port(), "/f", "Range: bytes=26-28\r\n");
  EXPECT_EQ(statusOf(part), 206);
  EXPECT_EQ(headerOf(part, "Content-Range"), "bytes 26-28/1048576");
  EXPECT_EQ(bodyOf(part), "abc");

  const std::string past = get(server.port(), "/f", "Range: bytes=999999999-\r\n");
  EXPECT_EQ(statusOf(past), 416);
  EXPECT_EQ(headerOf(past, "Content-Range"), "bytes */1048576");
  EXPECT_EQ(headerOf(past, "Content-Length"), "0");
  std::filesystem::remove(path);
}

TEST(HttpServer, FileBodyRefusesFifosWithoutWaitingForAWriter) {
  const auto fifo = std::filesystem::temp_directory_path() /
                    ("zephra-http-fifo-" + std::to_string(::getpid()));
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(FileBody::open(fifo.string()));
  EXPECT_FALSE(FileBody::open("/dev/zero"));
  std::filesystem::remove(fifo);
}

TEST(HttpServer, CookiesAndHeadersAreFoundWhateverTheirCase) {
  Request req;
  req.headers = {{"cookie", "a=1; token = x=y ;b=2"}, {"Cookie", "c=3"}};
  EXPECT_EQ(req.cookie("token"), std::optional<std::string>("x=y"));
  EXPECT_EQ(req.cookie("c"), std::optional<std::string>("3"));
  EXPECT_EQ(req.cookie("missing"), std::nullopt);
  EXPECT_EQ(req.header("COOKIE"), "a=1; token = x=y ;b=2");
}

}  // namespace
}  // namespace zephra::http

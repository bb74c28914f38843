// The zephra-server program itself: start through serv.sh, the printed port, one instance per
// data folder, a clean stop on SIGTERM.
#include <gtest/gtest.h>

#include <signal.h>

#include "tests/server/http/child_process.h"
#include "tests/server/http/server_test_support.h"

namespace zephra::test {
namespace {

using namespace std::chrono_literals;

// A private application lib/ folder with a copy of the program and its start script, so the
// program's default root (its own folder) is exercised.
class ServerProgram : public ::testing::Test {
 protected:
  ServerProgram() {
    fs::create_directories(lib());
    fs::copy_file(ZEPHRA_SERVER_BINARY, lib() / "zephra-server");
    fs::copy_file(ZEPHRA_SERVER_SCRIPT, lib() / "serv.sh");
    writeFile(lib() / "Program" / "www" / "localhost" / "channels.m3u",
              "#EXTM3U\n" + entry("Bin", "http://b.example/1?x=1&y=2"));
  }
  fs::path lib() const { return dir.path() / "lib"; }
  fs::path data() const { return dir.path() / "data"; }

  // Starts the server through serv.sh from another folder; returns the port it printed.
  std::unique_ptr<ChildProcess> start(int& port) {
    auto child = std::make_unique<ChildProcess>(
        std::vector<std::string>{"/bin/sh", (lib() / "serv.sh").string(), "--port", "0", "--data",
                                 data().string(), "--no-window"},
        "/");
    port = 0;
    if (auto line = child->readLine(10s)) {
      const std::string prefix = "listening on 127.0.0.1:";
      if (line->rfind(prefix, 0) == 0) port = std::stoi(line->substr(prefix.size()));
    }
    return child;
  }

  std::string fetch(int port, const std::string& target) {
    httplib::Client client("127.0.0.1", port);
    std::string token = readFile(data() / LocalServer::kPageTokenName);
    if (!token.empty()) token.pop_back();  // its line end
    client.set_default_headers({{"Cookie", std::string(kPageCookieName) + "=" + token}});
    client.set_connection_timeout(5);
    client.set_read_timeout(5);
    client.set_url_encode(false);
    auto result = client.Get(target.c_str());
    return result ? result->body : std::string();
  }

  TempDir dir;
};

TEST_F(ServerProgram, ServesFromItsOwnFolderAndStopsCleanlyOnSigterm) {
  int port = 0;
  auto server = start(port);
  ASSERT_GT(port, 0);
  EXPECT_NE(fetch(port, "/query.php?code=&fav=0").find("#1|http://b.example/1?x=1&amp;y=2"),
            std::string::npos);
  EXPECT_EQ(retVal(fetch(port, "/valid.php?cmd=addFav&code=z&method=URL&value=http://b.example/1?x=1&y=2")),
            "1");
  EXPECT_TRUE(fs::exists(data() / "favorites.sqlite3"));

  // An idle keep-alive connection must not hold the stop up.
  httplib::Client idle("127.0.0.1", port);
  idle.set_keep_alive(true);
  idle.set_read_timeout(5);
  ASSERT_TRUE(idle.Get("/assets/none"));

  server->signal(SIGTERM);
  EXPECT_EQ(server->wait(10s), std::optional<int>(0));
}

TEST_F(ServerProgram, SecondStartExitsAtOnceAndLeavesTheFirstServing) {
  int port = 0;
  auto first = start(port);
  ASSERT_GT(port, 0);
  const auto before = fs::last_write_time(data() / "favorites.sqlite3");

  int secondPort = -1;
  const auto started = std::chrono::steady_clock::now();
  auto second = start(secondPort);
  EXPECT_EQ(second->wait(5s), std::optional<int>(0));
  EXPECT_LT(std::chrono::steady_clock::now() - started, 3s);
  EXPECT_EQ(secondPort, 0);  // it never announced a port
  EXPECT_EQ(fs::last_write_time(data() / "favorites.sqlite3"), before);

  EXPECT_NE(fetch(port, "/query.php?code=&fav=0").find("Bin"), std::string::npos);
  first->signal(SIGINT);
  EXPECT_EQ(first->wait(10s), std::optional<int>(0));
}

TEST_F(ServerProgram, BadOptionsAreRefused) {
  ChildProcess child({(lib() / "zephra-server").string(), "--port", "http"});
  EXPECT_EQ(child.wait(5s), std::optional<int>(2));
  ChildProcess unknown({(lib() / "zephra-server").string(), "--frobnicate"});
  EXPECT_EQ(unknown.wait(5s), std::optional<int>(2));
}

}  // namespace
}  // namespace zephra::test

// The zephra-server program itself: start through serv.sh, the printed port, one instance per
// data folder, a clean stop on SIGTERM.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include "platform/instance_lock.h"
#include "tests/support/server_process.h"
#include "tests/local_server/server_test_support.h"
#include "tests/support/loopback_socket.h"

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
    port = announcedPort(*child, 10s);
    return child;
  }

  std::string fetch(int port, const std::string& target) {
    httplib::Client client("127.0.0.1", port);
    const std::string cookie = m_cookie.empty() ? pageCookie(data()) : m_cookie;
    client.set_default_headers({{"Cookie", cookie}, {"Sec-Fetch-Dest", "document"}});
    client.set_connection_timeout(5);
    client.set_read_timeout(5);
    client.set_url_encode(false);
    // The program reads its list beside the listening server and answers a loading notice
    // until the list is there: wait for the list itself (bounded, event-driven by the answers).
    for (int attempt = 0; attempt < 500; ++attempt) {
      auto result = client.Get(target.c_str());
      if (!result) return std::string();
      if (result->body.find("Loading the channel list") == std::string::npos) return result->body;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::string();
  }

  TempDir dir;
  std::string m_cookie;  // when the secret is not in data()
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

  EXPECT_EQ(server->stop(10s), std::optional<int>(0));
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
  EXPECT_EQ(first->stop(10s, SIGINT), std::optional<int>(0));
}

// Fifty connections that send a header line now and then or nothing at all, kept open all along:
// a real request is still answered (the slow ones never end their requests, so it cannot be
// waiting behind them), and SIGTERM ends the program at once.
TEST_F(ServerProgram, SlowAndIdleClientsNeitherBlockRequestsNorTheStop) {
  int port = 0;
  auto server = start(port);
  ASSERT_GT(port, 0);
  std::vector<int> open;
  for (int i = 0; i < 50; ++i) {
    open.push_back(connectTo(port));
    ASSERT_GE(open.back(), 0);
    if (i % 2) {
      ASSERT_TRUE(sendAll(open.back(), "GET /query.php?code=&fav=0 HTTP/1.1\r\nHost: 127.0.0.1\r\n"));
    }
  }
  for (std::size_t i = 1; i < open.size(); i += 2) sendAll(open[i], "X-Slow: 1\r\n");
  EXPECT_NE(fetch(port, "/query.php?code=&fav=0").find("Bin"), std::string::npos);
  for (std::size_t i = 1; i < open.size(); i += 2) sendAll(open[i], "X-Slow: 2\r\n");

  EXPECT_EQ(server->stop(2s), std::optional<int>(0));
  for (int fd : open) ::close(fd);
}

// A FIFO as the channel list would hang every reader (and with it the stop); it is refused with a
// notice, a regular file put in its place later is read, and SIGTERM still ends the program.
TEST_F(ServerProgram, FifoAsChannelListIsRefusedAndAGoodListIsReadLater) {
  const fs::path list = lib() / "Program" / "www" / "localhost" / "channels.m3u";
  fs::remove(list);
  ASSERT_EQ(::mkfifo(list.c_str(), 0600), 0);
  int port = 0;
  auto server = start(port);
  ASSERT_GT(port, 0);
  const std::string page = fetch(port, "/query.php?code=&fav=0");
  EXPECT_NE(page.find("is not a regular file"), std::string::npos) << page;

  fs::remove(list);
  fs::create_symlink("/dev/zero", list);
  EXPECT_NE(fetch(port, "/query.php?code=&fav=0").find("is not a regular file"), std::string::npos);

  fs::remove(list);
  writeFile(list, "#EXTM3U\n" + entry("Later", "http://l.example/1"));
  EXPECT_NE(fetch(port, "/query.php?code=&fav=0").find("Later"), std::string::npos);
  EXPECT_EQ(server->stop(2s), std::optional<int>(0));
}

// Another installation's server on the port (its own data, so its own lock): a clear failure
// naming the port, never a second listener sharing it.
TEST_F(ServerProgram, APortInUseIsAClearFailure) {
  int port = 0;
  auto first = start(port);
  ASSERT_GT(port, 0);
  ChildProcess second({"/bin/sh", "-c",
                       "exec \"$0\" --port " + std::to_string(port) + " --data \"$1\" --no-window 2>&1",
                       (lib() / "zephra-server").string(), (dir.path() / "other").string()});
  const auto said = second.readLine(10s);
  ASSERT_TRUE(said);
  EXPECT_NE(said->find("cannot bind 127.0.0.1:" + std::to_string(port) + ": Address already in use"),
            std::string::npos)
      << *said;
  EXPECT_EQ(second.wait(10s), std::optional<int>(1));
  EXPECT_NE(fetch(port, "/query.php?code=&fav=0").find("Bin"), std::string::npos);
}

// Installed where the user may not write (and with no data folder yet): the channel list is
// served all the same, says in one line that favorites cannot be saved, and adding one is an
// ordinary failure reply. The lock lives in the user's runtime folder.
TEST_F(ServerProgram, ReadOnlyApplicationFolderStillServesTheChannels) {
  const auto readOnly = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                        fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
  for (const fs::path& p : {dir.path(), lib(), lib() / "Program", lib() / "Program" / "www"})
    fs::permissions(p, readOnly);
  fs::permissions(lib() / "Program" / "www" / "localhost", readOnly);
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  ASSERT_TRUE(runtime && *runtime) << "the tests run with a runtime folder";
  std::vector<std::string> command = {"/bin/sh", (lib() / "serv.sh").string(), "--port", "0", "--no-window"};
  // Root may write anywhere: run as a plain user, who may use the runtime folder.
  const fs::path userRuntime = dir.path().parent_path() / (dir.path().filename().string() + "-run");
  if (::geteuid() == 0) {
    fs::create_directory(userRuntime);
    fs::permissions(userRuntime, fs::perms::all);
    command.insert(command.begin(), {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "/usr/bin/env",
                                     "XDG_RUNTIME_DIR=" + userRuntime.string()});
  }
  ChildProcess server(command, "/");
  const int port = announcedPort(server, 10s);
  ASSERT_GT(port, 0) << "the server did not start";
  // The secret could not be kept in the data folder: it is beside the lock, where the player
  // looks next.
  fs::path secret = secretFallbackPath((lib() / "Program" / "data").string());
  if (::geteuid() == 0) secret = userRuntime / secret.filename();
  m_cookie = std::string(kPageCookieName) + "=" + readFile(secret).substr(0, 64);
  const std::string page = fetch(port, "/query.php?code=&fav=0");
  EXPECT_NE(page.find("Bin"), std::string::npos) << page;
  EXPECT_NE(page.find("<p class=\"notice\">Favorites are unavailable"), std::string::npos) << page;
  EXPECT_EQ(retVal(fetch(port, "/valid.php?cmd=addFav&code=z&method=URL&value=http://b.example/1?x=1&y=2")), "2");
  EXPECT_NE(fetch(port, "/favmanage.php?user=z").find("Favorites are unavailable"), std::string::npos);
  EXPECT_EQ(server.stop(10s), std::optional<int>(0));
  for (const fs::path& p : {dir.path(), lib(), lib() / "Program", lib() / "Program" / "www", lib() / "Program" / "www" / "localhost"})
    fs::permissions(p, fs::perms::owner_all, fs::perm_options::add);
  std::error_code ignored;
  fs::remove_all(userRuntime, ignored);
}

TEST_F(ServerProgram, BadOptionsAreRefused) {
  ChildProcess child({(lib() / "zephra-server").string(), "--port", "http"});
  EXPECT_EQ(child.wait(5s), std::optional<int>(2));
  ChildProcess unknown({(lib() / "zephra-server").string(), "--frobnicate"});
  EXPECT_EQ(unknown.wait(5s), std::optional<int>(2));
}

}  // namespace
}  // namespace zephra::test

// The real zephra-service program: serving on the address it is given, publishing while it
// runs, refusing bad content and bad options, stopping on SIGTERM.
#include <gtest/gtest.h>

#include <signal.h>

#include <httplib.h>

#include "tests/support/server_process.h"
#include "tests/local_server/server_test_support.h"

#ifndef ZEPHRA_SERVICE_BINARY
#error "ZEPHRA_SERVICE_BINARY must name the zephra-service program"
#endif

namespace zephra::service {
namespace {

using namespace std::chrono_literals;
using test::ChildProcess;
using test::TempDir;
using test::writeFile;
namespace fs = std::filesystem;

// Runs the program to its end; its exit status.
int runToEnd(const std::vector<std::string>& args, std::string* out = nullptr) {
  std::vector<std::string> argv{ZEPHRA_SERVICE_BINARY};
  argv.insert(argv.end(), args.begin(), args.end());
  ChildProcess child(argv);
  std::string text;
  while (const auto line = child.readLine(30s)) text += *line + "\n";
  if (out) *out = text;
  return child.wait(30s).value_or(-1);
}

std::string retTime(int port, const std::string& stamp) {
  httplib::Client client("127.0.0.1", port);
  const auto res = client.Get(("/update.php?t=" + stamp).c_str());
  if (!res) return "no answer";
  const auto at = res->body.find("id=\"retTime\" name=\"retTime\" value=\"");
  if (at == std::string::npos) return "";
  const auto start = res->body.find("value=\"", at) + 7;
  return res->body.substr(start, res->body.find('"', start) - start);
}

TEST(ServiceProgram, PublishesWhileServingAndStopsOnSigterm) {
  TempDir dir;
  const std::string data = (dir.path() / "data").string();
  test::ServerProcess service({ZEPHRA_SERVICE_BINARY, "--data", data});
  const int port = service.port();
  EXPECT_EQ(retTime(port, "0"), "");

  writeFile(dir.path() / "content" / "channels.m3u", "#EXTM3U\n#EXTINF:-1,A\nhttp://a/\n");
  std::string printed;
  ASSERT_EQ(runToEnd({"publish", (dir.path() / "content").string(), "--data", data}, &printed), 0);
  ASSERT_EQ(printed.rfind("published ", 0), 0u) << printed;
  const std::string stamp = printed.substr(10, printed.find(' ', 10) - 10);
  EXPECT_EQ(retTime(port, "0"), stamp);
  EXPECT_EQ(retTime(port, stamp), "");

  ASSERT_EQ(runToEnd({"publish", (dir.path() / "content").string(), "--data", data}, &printed), 0);
  EXPECT_EQ(printed.rfind("unchanged " + stamp, 0), 0u) << printed;

  fs::create_symlink("/etc/passwd", dir.path() / "content" / "passwd");
  EXPECT_EQ(runToEnd({"publish", (dir.path() / "content").string(), "--data", data}), 1);
  EXPECT_EQ(retTime(port, "0"), stamp);

  EXPECT_EQ(service.stop(30s), 0);
}

TEST(ServiceProgram, BadCommandLinesExitWithStatus2) {
  for (const auto& args : std::vector<std::vector<std::string>>{{"--port", "70000"},
                                                                {"--port"},
                                                                {"--bogus"},
                                                                {"publish"},
                                                                {"publish", "dir", "--port", "1"}})
    EXPECT_EQ(runToEnd(args), 2) << args[0];
  EXPECT_EQ(runToEnd({"--help"}), 0);
}

TEST(ServiceProgram, ABusyPortIsAClearFailure) {
  TempDir dir;
  test::ServerProcess first({ZEPHRA_SERVICE_BINARY, "--data", (dir.path() / "a").string()});
  const std::string port = std::to_string(first.port());
  ChildProcess second({"/bin/sh", "-c", "exec \"$0\" --port " + port + " --data \"$1\" 2>&1",
                       ZEPHRA_SERVICE_BINARY, (dir.path() / "b").string()});
  const auto said = second.readLine(30s);
  ASSERT_TRUE(said);
  EXPECT_EQ(*said, "zephra-service: cannot bind 127.0.0.1:" + port + ": Address already in use");
  EXPECT_EQ(second.wait(30s), 1);
  EXPECT_EQ(retTime(std::stoi(port), "0"), "");  // the first still answers
}

}  // namespace
}  // namespace zephra::service

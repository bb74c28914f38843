// Needs a display (run under xvfb-run): the player's window finder sees the server's presence
// window while the server runs, and no longer once it has stopped.
#include <gtest/gtest.h>

#include <signal.h>

#include <cstdlib>

#include "common/zephra_constants.h"
#include "platform/window_finder.h"
#include "platform/presence_window.h"
#include "tests/support/server_process.h"
#include "tests/local_server/server_test_support.h"

namespace zephra::test {
namespace {

using namespace std::chrono_literals;

bool displayPresent() {
  const char* display = std::getenv("DISPLAY");
  return display && *display;
}

// A display named in DISPLAY may still refuse us (for instance a second xvfb-run that lost the
// race for a display number); that is the environment's fault, said plainly.
::testing::AssertionResult displayReachable() {
  try {
    PresenceWindow probe("Zephra display probe");
    return ::testing::AssertionSuccess();
  } catch (const PresenceWindowError& e) {
    return ::testing::AssertionFailure() << "the test display cannot be opened: " << e.what();
  }
}

bool waitForWindow(bool present, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  do {
    if (topLevelWindowExists(kLocalServerWindowTitle) == present) return true;
    std::this_thread::sleep_for(20ms);
  } while (std::chrono::steady_clock::now() < deadline);
  return false;
}

TEST(PresenceWindow, FoundByTheWindowFinderWhileItLives) {
  if (!displayPresent()) GTEST_SKIP() << "needs a display";
  ASSERT_TRUE(displayReachable());
  const std::string title = "Zephra presence test " + std::to_string(::getpid());
  EXPECT_FALSE(topLevelWindowExists(title));
  {
    PresenceWindow window(title);
    EXPECT_TRUE(topLevelWindowExists(title));
  }
  EXPECT_FALSE(topLevelWindowExists(title));
}

TEST(PresenceWindow, NoDisplayIsAnError) {
  EXPECT_THROW(PresenceWindow("x", ":12345"), PresenceWindowError);
}

TEST(PresenceWindow, ServerProgramShowsItsWindowUntilStopped) {
  if (!displayPresent()) GTEST_SKIP() << "needs a display";
  ASSERT_TRUE(displayReachable());
  if (topLevelWindowExists(kLocalServerWindowTitle))
    GTEST_SKIP() << "another local server runs on this display";
  TempDir dir;
  writeFile(dir.path() / "lib" / "Program" / "www" / "localhost" / "channels.m3u", "#EXTM3U\n");
  ServerProcess server({ZEPHRA_SERVER_BINARY, "--root", (dir.path() / "lib").string(), "--data",
                        (dir.path() / "data").string()});
  EXPECT_TRUE(waitForWindow(true, 5s));
  EXPECT_EQ(server.stop(), std::optional<int>(0));
  EXPECT_TRUE(waitForWindow(false, 5s));
}

TEST(PresenceWindow, NoWindowOptionAndNoDisplayStillServe) {
  TempDir dir;
  writeFile(dir.path() / "lib" / "Program" / "www" / "localhost" / "channels.m3u", "#EXTM3U\n");
  ServerProcess server({ZEPHRA_SERVER_BINARY, "--root", (dir.path() / "lib").string(), "--data",
                        (dir.path() / "data").string()},
                       {}, {"DISPLAY"});
  EXPECT_GT(server.port(), 0);
  EXPECT_EQ(server.stop(), std::optional<int>(0));
}

}  // namespace
}  // namespace zephra::test

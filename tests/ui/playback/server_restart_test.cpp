// The local server killed while the player runs: the next directory page starts it again, from
// the application's own lib/serv.sh, and shows the channels without a restart of the player.
#include <signal.h>
#include <unistd.h>

#include <optional>

#include "common/zephra_constants.h"
#include "platform/window_finder.h"
#include "tests/support/child_process.h"
#include "tests/ui/playback/e2e_fixture.h"

namespace zephra::test {
namespace {

class ServerRestartTest : public ::testing::Test {
 protected:
  static constexpr std::chrono::seconds kPatience{15};

  void SetUp() override {
    // The staged application's lib/ folder: the real start script and server, a private copy.
    fs::copy(fs::path(ZEPHRA_APP_DIR) / "lib", m_app / "lib", fs::copy_options::recursive);
    std::ofstream(m_app / "config.ini") << "stamp\r\n";
    m_oldCwd = fs::current_path();
    fs::current_path(ZEPHRA_APP_DIR);  // the skin pictures
    ASSERT_FALSE(topLevelWindowExists(kLocalServerWindowTitle)) << "a local server runs on this display already";

    MediaPlayerOptions player;
    player.audioOutput = "null";
    PlatformParts services = realPlatformParts(player);
    services.appDir = [this] { return m_app.string() + "/"; };
    services.loadRemoteBase = [this](const std::string&) { return remote.base(); };
    services.loadAccountCode = [] { return std::string("restart"); };
    frm = new TfrmMain(std::move(services));  // starts the server as at every start
    frm->Show();
  }

  void TearDown() override {
    if (frm) {
      delete frm;
      wxTheApp->ProcessIdle();
    }
    if (const auto pid = server()) kill(*pid, SIGTERM);
    pumpUntil([&] { return !server(); }, std::chrono::seconds(5));
    fs::current_path(m_oldCwd);
  }

  // The process running the copy's server (a path only this test uses); none when there is none.
  std::optional<pid_t> server() const {
    const std::vector<pid_t> running = processesRunning(fs::weakly_canonical(m_app / "lib" / "zephra-server"));
    if (running.empty()) return std::nullopt;
    return running.front();
  }

  bool directoryListed() {
    wxWebView& view = *dynamic_cast<wxWebView*>(frm->wbApp().window());
    return view.GetCurrentTitle() == "Channels" && !view.IsBusy();
  }

  TfrmMain* frm = nullptr;
  RemoteService remote;
  TempDir m_dir;
  const fs::path m_app = m_dir.path();
  fs::path m_oldCwd;
};

TEST_F(ServerRestartTest, KilledServerIsStartedAgainByTheNextDirectoryPage) {
  ASSERT_TRUE(pumpUntil([&] { return directoryListed(); }, kPatience)) << "the server of start-up did not answer";
  const std::optional<pid_t> first = server();
  ASSERT_TRUE(first);

  ASSERT_EQ(kill(*first, SIGKILL), 0);
  ASSERT_TRUE(pumpUntil([&] { return !server() && !topLevelWindowExists(kLocalServerWindowTitle); }, kPatience));

  frm->imTabBrowserClick(frm->imTabBrowser.get());  // the channels tab: the directory again
  ASSERT_TRUE(pumpUntil([&] { return server().has_value(); }, kPatience)) << "the server was not started again";
  EXPECT_NE(*server(), *first);
  // Loaded again once the wait is over.
  EXPECT_TRUE(pumpUntil([&] { return frm->statusText().empty() && directoryListed(); }, kPatience))
      << "status: " << frm->statusText() << ", page: "
      << dynamic_cast<wxWebView*>(frm->wbApp().window())->GetCurrentTitle();
}

TEST_F(ServerRestartTest, AServerThatStaysAwayIsStartedOnlyOnceAndSaidSo) {
  ASSERT_TRUE(pumpUntil([&] { return directoryListed(); }, kPatience));
  // A start script that starts nothing: the server stays away.
  std::ofstream(m_app / "lib" / "serv.sh", std::ios::trunc) << "#!/bin/sh\nexit 0\n";
  const std::optional<pid_t> first = server();
  ASSERT_TRUE(first);
  ASSERT_EQ(kill(*first, SIGKILL), 0);
  ASSERT_TRUE(pumpUntil([&] { return !server() && !topLevelWindowExists(kLocalServerWindowTitle); }, kPatience));

  frm->imTabBrowserClick(frm->imTabBrowser.get());
  ASSERT_TRUE(pumpUntil([&] { return frm->statusText() == "Starting the local server again..."; }, kPatience))
      << frm->statusText();
  // The reload fails too: within the 10 s no second start, and the user is told.
  EXPECT_TRUE(pumpUntil([&] {
    return frm->statusText() == "The channel list cannot be reached: the local server does not answer.";
  }, kPatience)) << frm->statusText();
}

}  // namespace
}  // namespace zephra::test

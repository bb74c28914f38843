// The real program from a temporary copy of the application folder, against the real local
// server it starts itself. The remote service is a loopback test server that also observes the
// instrumented pages' pointer events.
#include "tests/ui/main/program_fixture.h"

namespace zephra::test {
namespace {

class ProgramTest : public ProgramFixture {
 protected:
  void SetUp() override {
    ProgramFixture::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    recordInto(m_remote, m_recorder);
    m_remote.start();
    std::ofstream(m_app / "remotebase.txt") << m_remote.base() << "\n";
    instrumentPages(m_remote.base());
  }
  void TearDown() override {
    ProgramFixture::TearDown();
    m_remote.stop();
  }
  std::string diagnosis() { return ProgramFixture::diagnosis(m_recorder); }

  LoopbackServer m_remote;
  Recorder m_recorder;
};

TEST_F(ProgramTest, StartsTheServerLoadsTheDirectoryKeepsTheRightButtonFromThePageAndExits) {
  startProgram();

  // The server is absent, so the program starts it and waits before asking for the directory.
  const std::string directory = std::string("/loaded?href=http://") + kLocalServerHost + ":" +
                                std::to_string(kLocalServerPort) + "/query.php?code=e2e-user&fav=0";
  ASSERT_TRUE(m_recorder.waitFor(directory, 20s)) << "directory page never loaded\n" << diagnosis();
  EXPECT_TRUE(m_recorder.waitFor("/update.php?t=0", 5s)) << "update check with the shipped stamp";
  EXPECT_FALSE(processesRunning(fs::canonical(m_app / "lib" / "zephra-server")).empty());

  // In the middle of the directory view (8, 61, 703, 428).
  click(3, 360, 275);
  click(1, 360, 275);
  ASSERT_TRUE(m_recorder.waitFor("/event?type=click&button=0", 10s))
      << "left click did not reach the page\n" << diagnosis();
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(m_recorder.count("/event?type=mousedown&button=0"), 1);
  EXPECT_EQ(m_recorder.count("/event?type=mousedown&button=2"), 0);
  EXPECT_EQ(m_recorder.count("/event?type=mouseup&button=2"), 0);
  EXPECT_EQ(m_recorder.count("/event?type=contextmenu"), 0);
  EXPECT_EQ(m_recorder.count("/event?type=auxclick"), 0);

  // File > Exit, answered Yes: the program ends, the local server stays.
  EXPECT_EQ(exitThroughMenu(), 0) << diagnosis();
  EXPECT_FALSE(processesRunning(fs::canonical(m_app / "lib" / "zephra-server")).empty());
}

}  // namespace
}  // namespace zephra::test

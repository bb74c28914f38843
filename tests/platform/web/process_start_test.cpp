// Starting a script detached: where it runs, what it inherits, and that nothing is left behind.
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/process_start.h"

namespace zephra::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string readFile(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool waitForFile(const fs::path& path, std::chrono::milliseconds timeout = 5s) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    // Written last by each script, so the other outputs are complete when it appears.
    if (fs::exists(path)) return true;
    std::this_thread::sleep_for(10ms);
  }
  return false;
}

// Fields of /proc/<pid>/stat after the command name: state, ppid, pgrp, session.
struct ProcStat {
  char state = '?';
  long ppid = 0, session = 0;
};
bool procStat(long pid, ProcStat& out) {
  const std::string text = readFile("/proc/" + std::to_string(pid) + "/stat");
  const auto close = text.rfind(')');
  if (close == std::string::npos) return false;
  long pgrp = 0;
  std::istringstream fields(text.substr(close + 2));
  fields >> out.state >> out.ppid >> pgrp >> out.session;
  return static_cast<bool>(fields);
}

// Zombie children of this process.
int zombieChildren() {
  int zombies = 0;
  DIR* proc = opendir("/proc");
  while (dirent* entry = readdir(proc)) {
    const long pid = std::atol(entry->d_name);
    ProcStat stat;
    if (pid > 0 && procStat(pid, stat) && stat.ppid == ::getpid() && stat.state == 'Z') ++zombies;
  }
  closedir(proc);
  return zombies;
}

class ProcessStartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() / ("zephra-start-" + std::to_string(::getpid()));
    fs::remove_all(m_dir);
    fs::create_directories(m_dir / "lib");
  }
  void TearDown() override { fs::remove_all(m_dir); }

  fs::path writeScript(const std::string& body) {
    const fs::path script = m_dir / "lib" / "serv.sh";
    std::ofstream(script) << body;
    return script;
  }

  fs::path m_dir;
};

TEST_F(ProcessStartTest, RunsInItsFolderInItsOwnSessionWithoutOurStreams) {
  const fs::path out = m_dir / "out";
  const fs::path done = m_dir / "done";
  const fs::path script = writeScript(
      "pwd > '" + out.string() + "'\n"
      "readlink /proc/$$/fd/0 /proc/$$/fd/1 /proc/$$/fd/2 >> '" + out.string() + "'\n"
      "ls /proc/$$/fd | wc -l >> '" + out.string() + "'\n"
      "echo $$ > '" + done.string() + ".tmp'; mv '" + done.string() + ".tmp' '" + done.string() + "'\n");
  startScriptHidden(script.string(), (m_dir / "lib").string() + "/");
  ASSERT_TRUE(waitForFile(done));

  std::istringstream lines(readFile(out));
  std::string cwd, in, stdoutTarget, err, fdCount;
  std::getline(lines, cwd);
  std::getline(lines, in);
  std::getline(lines, stdoutTarget);
  std::getline(lines, err);
  std::getline(lines, fdCount);
  EXPECT_EQ(fs::path(cwd), fs::canonical(m_dir / "lib"));
  EXPECT_EQ(in, "/dev/null");
  // Our own output redirect (>>) replaced fd 1 inside the script; stdin and stderr show what it got.
  EXPECT_EQ(err, "/dev/null");
  // 0, 1, 2 and the one ls opens to list: nothing of ours leaked into it.
  EXPECT_LE(std::stol(fdCount), 4);

  ProcStat self, scriptStat;
  ASSERT_TRUE(procStat(::getpid(), self));
  const long scriptPid = std::stol(readFile(done));
  if (procStat(scriptPid, scriptStat)) {  // it may have ended already
    EXPECT_NE(scriptStat.session, self.session);
    EXPECT_NE(scriptStat.ppid, ::getpid());
  }
}

TEST_F(ProcessStartTest, ReturnsAtOnceAndLeavesNoZombie) {
  const fs::path pidFile = m_dir / "pid";
  const fs::path script = writeScript("echo $$ > '" + pidFile.string() + ".tmp'; mv '" +
                                      pidFile.string() + ".tmp' '" + pidFile.string() +
                                      "'\nexec sleep 20\n");
  const auto start = std::chrono::steady_clock::now();
  startScriptHidden(script.string(), (m_dir / "lib").string());
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);  // not waited for
  ASSERT_TRUE(waitForFile(pidFile));
  const long pid = std::stol(readFile(pidFile));
  ProcStat stat;
  ASSERT_TRUE(procStat(pid, stat));
  EXPECT_NE(stat.ppid, ::getpid());  // not ours to reap
  EXPECT_EQ(zombieChildren(), 0);
  ::kill(static_cast<pid_t>(pid), SIGTERM);
}

TEST_F(ProcessStartTest, MissingScriptOrFolderIsSilentAndLeavesNothing) {
  startScriptHidden((m_dir / "lib" / "absent.sh").string(), (m_dir / "lib").string());
  startScriptHidden(writeScript("touch '" + (m_dir / "ran").string() + "'\n").string(),
                    (m_dir / "no-such-folder").string());
  startScriptHidden("", "");
  std::this_thread::sleep_for(300ms);
  // Without its working folder the script is not started at all.
  EXPECT_FALSE(fs::exists(m_dir / "ran"));
  EXPECT_EQ(zombieChildren(), 0);
}

}  // namespace
}  // namespace zephra::test

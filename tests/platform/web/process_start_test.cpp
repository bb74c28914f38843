// Starting a script detached: where it runs, what it inherits, and that nothing is left behind.
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <set>
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
  // The script ends by becoming a plain program, whose descriptors are then exactly what it was
  // given: counting them from inside the shell would also count the shell's own (its script,
  // the pipes of a pipeline while they are set up).
  const fs::path script = writeScript(
      "pwd > '" + out.string() + "'\n"
      "echo $$ > '" + done.string() + ".tmp'; mv '" + done.string() + ".tmp' '" + done.string() + "'\n"
      "exec sleep 30\n");
  startScriptHidden(script.string(), (m_dir / "lib").string() + "/");
  ASSERT_TRUE(waitForFile(done));
  const long scriptPid = std::stol(readFile(done));
  const fs::path proc = "/proc/" + std::to_string(scriptPid);
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  std::error_code ec;
  while (fs::read_symlink(proc / "exe", ec).filename() != "sleep" && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(10ms);
  ASSERT_EQ(fs::read_symlink(proc / "exe", ec).filename(), "sleep");

  EXPECT_EQ(fs::path(readFile(out).substr(0, readFile(out).find('\n'))), fs::canonical(m_dir / "lib"));
  // 0, 1 and 2 on /dev/null, and nothing of ours leaked into it.
  std::set<std::string> fds;
  for (const auto& fd : fs::directory_iterator(proc / "fd", ec))
    fds.insert(fd.path().filename().string() + " " + fs::read_symlink(fd.path(), ec).string());
  EXPECT_EQ(fds, (std::set<std::string>{"0 /dev/null", "1 /dev/null", "2 /dev/null"}));

  ProcStat self, scriptStat;
  ASSERT_TRUE(procStat(::getpid(), self));
  ASSERT_TRUE(procStat(scriptPid, scriptStat));
  EXPECT_NE(scriptStat.session, self.session);
  EXPECT_NE(scriptStat.ppid, ::getpid());
  ::kill(static_cast<pid_t>(scriptPid), SIGKILL);
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

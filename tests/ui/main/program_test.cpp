// The real program, started through its launcher from a temporary copy of the application
// folder, against the real local server it starts itself. The remote service is a loopback test
// server; the directory page's script is extended to report pointer events to it.
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <netinet/in.h>
#include <unistd.h>

#include "common/zephra_constants.h"
#include "tests/support/loopback_server.h"

#ifndef ZEPHRA_APP_DIR
#error "ZEPHRA_APP_DIR must name the staged application folder"
#endif

namespace zephra::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Records every request the page and the player send to the test server.
class Recorder {
 public:
  void add(const std::string& entry) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries.push_back(entry);
  }
  std::vector<std::string> entries() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_entries;
  }
  bool waitFor(const std::string& prefix, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
      if (count(prefix) > 0) return true;
      std::this_thread::sleep_for(50ms);
    }
    return count(prefix) > 0;
  }
  int count(const std::string& prefix) {
    int n = 0;
    for (const std::string& e : entries()) n += e.rfind(prefix, 0) == 0;
    return n;
  }

 private:
  std::mutex m_mutex;
  std::vector<std::string> m_entries;
};

bool portInUse(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool used = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return used;
}

// Processes whose executable is exactly `path` (the copy's own server, nothing else).
std::vector<pid_t> processesRunning(const fs::path& path) {
  std::vector<pid_t> pids;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::error_code error;
    const fs::path exe = fs::read_symlink(entry.path() / "exe", error);
    if (!error && exe == path) pids.push_back(static_cast<pid_t>(std::stoi(name)));
  }
  return pids;
}

std::string run(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe)) out += buffer;
    pclose(pipe);
  }
  return out;
}

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs a display (run under xvfb-run)";
    if (std::system("command -v xdotool >/dev/null") != 0) GTEST_SKIP() << "needs xdotool";
    ASSERT_FALSE(portInUse(kLocalServerPort))
        << "port " << kLocalServerPort << " is taken: another local server runs on this machine";

    char pattern[] = "/tmp/zephra-program-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_root = pattern;
    m_app = m_root / "app";
    fs::copy(ZEPHRA_APP_DIR, m_app, fs::copy_options::recursive);
    ASSERT_TRUE(fs::exists(m_app / "lib" / "zephra-server")) << "build the local server first";
    fs::create_directories(m_root / "config" / "zephra-player");
    std::ofstream(m_root / "config" / "zephra-player" / "account") << "e2e-user\n";

    m_remote.http().Get(R"(/(.*))", [this](const httplib::Request& request, httplib::Response& response) {
      // The raw request target, without the cache breaker the page adds.
      std::string entry = request.target;
      const size_t breaker = entry.find("&nocache=");
      if (breaker != std::string::npos) entry.erase(breaker);
      m_recorder.add(httplib::detail::decode_url(entry, false));
      response.set_content("<html><body></body></html>", "text/html");
    });
    m_remote.start();
    std::ofstream(m_app / "remotebase.txt") << m_remote.base() << "\n";
    instrumentPages();
  }

  void TearDown() override {
    if (m_program > 0) {
      kill(m_program, SIGKILL);
      waitpid(m_program, nullptr, 0);
    }
    for (pid_t server : processesRunning(fs::canonical(m_app / "lib" / "zephra-server", m_ignored))) {
      kill(server, SIGTERM);
      for (int i = 0; i < 100 && kill(server, 0) == 0; ++i) std::this_thread::sleep_for(20ms);
      kill(server, SIGKILL);
    }
    m_remote.stop();
    if (!m_root.empty()) fs::remove_all(m_root, m_ignored);
  }

  // Every page of the local server loads this script: report the page address and the pointer
  // events the page sees to the test server.
  void instrumentPages() {
    const fs::path script = m_app / "lib" / "Program" / "www" / "localhost" / "assets" / "zephra.js";
    ASSERT_TRUE(fs::exists(script));
    std::ofstream out(script, std::ios::app);
    out << "\n(function () {\n"
        << "  var base = '" << m_remote.base() << "';\n"
        << "  function report(what) { new Image().src = base + what + '&nocache=' + Date.now(); }\n"
        << "  report('loaded?href=' + encodeURIComponent(location.href));\n"
        << "  ['mousedown', 'mouseup', 'click', 'contextmenu', 'auxclick'].forEach(function (type) {\n"
        << "    document.addEventListener(type, function (e) {\n"
        << "      report('event?type=' + type + '&button=' + e.button);\n"
        << "    }, true);\n"
        << "  });\n"
        << "})();\n";
  }

  void startProgram() {
    m_program = fork();
    ASSERT_GE(m_program, 0);
    if (m_program == 0) {
      setenv("XDG_CONFIG_HOME", (m_root / "config").c_str(), 1);
      setenv("XDG_DATA_HOME", (m_root / "data").c_str(), 1);
      setenv("XDG_CACHE_HOME", (m_root / "cache").c_str(), 1);
      // Started from elsewhere on purpose: the launcher must move to the program's folder.
      if (chdir(m_root.c_str()) != 0) _exit(126);
      const int log = open((m_root / "program.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (log >= 0) {
        dup2(log, STDOUT_FILENO);
        dup2(log, STDERR_FILENO);
      }
      const std::string launcher = (m_app / "zephra").string();
      execl(launcher.c_str(), launcher.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
  }

  // Screen position of a client point of the main window.
  bool clientToScreen(int x, int y, int& screenX, int& screenY) {
    std::istringstream geometry(run("xdotool search --onlyvisible --name '^Zephra Player$' getwindowgeometry --shell"));
    int left = -1, top = -1, height = -1;
    for (std::string line; std::getline(geometry, line);) {
      if (line.rfind("X=", 0) == 0) left = std::stoi(line.substr(2));
      if (line.rfind("Y=", 0) == 0) top = std::stoi(line.substr(2));
      if (line.rfind("HEIGHT=", 0) == 0) height = std::stoi(line.substr(7));
    }
    if (left < 0 || height < 576) return false;
    // The menu bar sits above the 718 x 576 client area.
    screenX = left + x;
    screenY = top + (height - 576) + y;
    return true;
  }

  void click(int button, int x, int y) {
    int sx = 0, sy = 0;
    ASSERT_TRUE(clientToScreen(x, y, sx, sy)) << "main window not found";
    const std::string command = "xdotool mousemove " + std::to_string(sx) + " " + std::to_string(sy) +
                                " sleep 0.2 click " + std::to_string(button);
    ASSERT_EQ(std::system(command.c_str()), 0);
  }

  // What went wrong, for the failure message: is the program still there, what did it print.
  std::string diagnosis() {
    std::string text;
    int status = 0;
    if (m_program > 0 && waitpid(m_program, &status, WNOHANG) == m_program) {
      text += "program ended with status " + std::to_string(status) + "\n";
      m_program = -1;
    }
    std::ifstream log(m_root / "program.log");
    text += std::string(std::istreambuf_iterator<char>(log), {});
    text += "requests:";
    for (const std::string& e : m_recorder.entries()) text += "\n  " + e;
    return text;
  }

  // The confirmation box: No on the left, Yes on the right of its bottom row.
  bool clickYesInConfirmation() {
    for (int attempt = 0; attempt < 50; ++attempt) {
      std::istringstream geometry(run("xdotool search --onlyvisible --name '^Confirmation$' getwindowgeometry --shell"));
      int left = -1, top = -1, width = -1, height = -1;
      for (std::string line; std::getline(geometry, line);) {
        if (line.rfind("X=", 0) == 0) left = std::stoi(line.substr(2));
        if (line.rfind("Y=", 0) == 0) top = std::stoi(line.substr(2));
        if (line.rfind("WIDTH=", 0) == 0) width = std::stoi(line.substr(6));
        if (line.rfind("HEIGHT=", 0) == 0) height = std::stoi(line.substr(7));
      }
      if (width > 0 && height > 0) {
        const std::string command = "xdotool mousemove " + std::to_string(left + width * 3 / 4) + " " +
                                    std::to_string(top + height - 12) + " sleep 0.2 click 1";
        return std::system(command.c_str()) == 0;
      }
      std::this_thread::sleep_for(100ms);
    }
    return false;
  }

  fs::path m_root;
  fs::path m_app;
  std::error_code m_ignored;
  pid_t m_program = -1;
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

  // File > Exit (the last item of the first menu), answered Yes: the program ends, the local
  // server stays.
  int sx = 0, sy = 0;
  ASSERT_TRUE(clientToScreen(0, 0, sx, sy));
  const std::string openFileMenu = "xdotool mousemove " + std::to_string(sx + 18) + " " +
                                   std::to_string(sy - 12) + " click 1 sleep 0.5 key Up Return";
  ASSERT_EQ(std::system(openFileMenu.c_str()), 0);
  ASSERT_TRUE(clickYesInConfirmation()) << diagnosis();
  int status = -1;
  for (int i = 0; i < 100 && waitpid(m_program, &status, WNOHANG) == 0; ++i) std::this_thread::sleep_for(100ms);
  ASSERT_TRUE(WIFEXITED(status)) << "program did not end\n" << diagnosis();
  m_program = -1;
  EXPECT_EQ(WEXITSTATUS(status), 0) << diagnosis();
  EXPECT_FALSE(processesRunning(fs::canonical(m_app / "lib" / "zephra-server")).empty());
}

}  // namespace
}  // namespace zephra::test

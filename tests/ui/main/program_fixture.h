// The real program, started through its launcher from a temporary copy of the staged application
// folder, against the real local server it starts itself, driven with real pointer clicks
// (xdotool). Every page of the local server is extended to report its address, its text and the
// pointer events it sees to a loopback observer, which records them as events to wait for.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
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
#include "tests/support/child_process.h"
#include "tests/support/loopback_server.h"
#include "tests/support/temp_dir.h"

#ifndef ZEPHRA_APP_DIR
#error "ZEPHRA_APP_DIR must name the staged application folder"
#endif

namespace zephra::test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Lines that arrive from another thread (requests, a child's output), kept to be waited for.
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
    return waitUntil([&] { return count(prefix) > 0; }, timeout);
  }
  int count(const std::string& prefix) {
    int n = 0;
    for (const std::string& e : entries()) n += e.rfind(prefix, 0) == 0;
    return n;
  }
  // Whether `done` became true before `timeout` (checked every 50 ms).
  static bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      std::this_thread::sleep_for(50ms);
    }
    return true;
  }

 private:
  std::mutex m_mutex;
  std::vector<std::string> m_entries;
};

inline bool portInUse(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool used = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return used;
}

inline std::string run(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe)) out += buffer;
    pclose(pipe);
  }
  return out;
}

struct WindowGeometry {
  int left = -1, top = -1, width = -1, height = -1;
  bool found() const { return width > 0 && height > 0; }
};

// The first visible window whose title is exactly `title`.
inline WindowGeometry visibleWindow(const std::string& title) {
  std::istringstream geometry(
      run("xdotool search --onlyvisible --name '^" + title + "$' getwindowgeometry --shell 2>/dev/null"));
  WindowGeometry g;
  for (std::string line; std::getline(geometry, line);) {
    if (line.rfind("WINDOW=", 0) == 0 && g.width > 0) break;  // the first window only
    if (line.rfind("X=", 0) == 0) g.left = std::stoi(line.substr(2));
    if (line.rfind("Y=", 0) == 0) g.top = std::stoi(line.substr(2));
    if (line.rfind("WIDTH=", 0) == 0) g.width = std::stoi(line.substr(6));
    if (line.rfind("HEIGHT=", 0) == 0) g.height = std::stoi(line.substr(7));
  }
  return g;
}

class ProgramFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs a display (run under xvfb-run)";
    if (std::system("command -v xdotool >/dev/null") != 0) GTEST_SKIP() << "needs xdotool";
    ASSERT_FALSE(portInUse(kLocalServerPort))
        << "port " << kLocalServerPort << " is taken: another local server runs on this machine";

    m_app = m_root / "app";
    fs::copy(ZEPHRA_APP_DIR, m_app, fs::copy_options::recursive);
    ASSERT_TRUE(fs::exists(m_app / "lib" / "zephra-server")) << "build the local server first";
    fs::create_directories(m_root / "config" / "zephra-player");
    std::ofstream(m_root / "config" / "zephra-player" / "account") << "e2e-user\n";
  }

  void TearDown() override {
    if (m_program > 0) {
      kill(m_program, SIGKILL);
      waitpid(m_program, nullptr, 0);
    }
    stopLocalServer();
  }

  fs::path docRoot() const { return m_app / "lib" / "Program" / "www" / "localhost"; }

  void stopLocalServer() {
    if (m_app.empty()) return;
    for (pid_t server : processesRunning(fs::canonical(m_app / "lib" / "zephra-server", m_ignored))) {
      kill(server, SIGTERM);
      for (int i = 0; i < 100 && kill(server, 0) == 0; ++i) std::this_thread::sleep_for(20ms);
      kill(server, SIGKILL);
    }
  }

  // Every page of the local server loads this script: report the page address (and its text
  // with `withText`) and the pointer events the page sees to `observer`.
  void instrumentPages(const std::string& observer, bool withText = false) {
    const fs::path script = docRoot() / "assets" / "zephra.js";
    ASSERT_TRUE(fs::exists(script));
    std::ofstream out(script, std::ios::app);
    out << "\n(function () {\n"
        << "  var base = '" << observer << "';\n"
        << "  function report(what) { new Image().src = base + what + '&nocache=' + Date.now(); }\n"
        << "  report('loaded?href=' + encodeURIComponent(location.href)"
        << (withText ? " + '&text=' + encodeURIComponent(document.body ? document.body.innerText.slice(0, 4000) : '')"
                     : "")
        << ");\n"
        << "  ['mousedown', 'mouseup', 'click', 'contextmenu', 'auxclick'].forEach(function (type) {\n"
        << "    document.addEventListener(type, function (e) {\n"
        << "      report('event?type=' + type + '&button=' + e.button);\n"
        << "    }, true);\n"
        << "  });\n"
        << "})();\n";
  }

  // Records every request of the instrumented pages, decoded, without the cache breaker.
  void recordInto(LoopbackServer& observer, Recorder& recorder) {
    observer.http().Get(R"(/(.*))", [&recorder](const httplib::Request& request, httplib::Response& response) {
      std::string entry = request.target;
      const size_t breaker = entry.find("&nocache=");
      if (breaker != std::string::npos) entry.erase(breaker);
      recorder.add(httplib::detail::decode_url(entry, false));
      response.set_content("<html><body></body></html>", "text/html");
    });
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
      const int log = open((m_root / "program.log").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
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
    const WindowGeometry main = visibleWindow("Zephra Player");
    if (main.left < 0 || main.height < 576) return false;
    // The menu bar sits above the 718 x 576 client area.
    screenX = main.left + x;
    screenY = main.top + (main.height - 576) + y;
    return true;
  }

  void click(int button, int x, int y) {
    int sx = 0, sy = 0;
    ASSERT_TRUE(clientToScreen(x, y, sx, sy)) << "main window not found";
    clickAt(button, sx, sy);
  }

  static bool clickAt(int button, int screenX, int screenY) {
    const std::string command = "xdotool mousemove " + std::to_string(screenX) + " " +
                                std::to_string(screenY) + " sleep 0.2 click " + std::to_string(button);
    return std::system(command.c_str()) == 0;
  }

  // A Yes/No message box: No on the left, Yes on the right of its bottom row. Waits for it.
  static bool clickYesIn(const std::string& title, std::chrono::milliseconds timeout = 10s) {
    WindowGeometry box;
    if (!Recorder::waitUntil([&] { return (box = visibleWindow(title)).found(); }, timeout)) return false;
    return clickAt(1, box.left + box.width * 3 / 4, box.top + box.height - 12);
  }

  // File > Exit (the last item of the first menu), answered Yes; the program's exit status, or
  // -1 when it did not end. `beforeYes` runs while the confirmation box is up.
  int exitThroughMenu(const std::function<void()>& beforeYes = {}) {
    int sx = 0, sy = 0;
    if (!clientToScreen(0, 0, sx, sy)) return -1;
    const std::string openFileMenu = "xdotool mousemove " + std::to_string(sx + 18) + " " +
                                     std::to_string(sy - 12) + " click 1 sleep 0.5 key Up Return";
    if (std::system(openFileMenu.c_str()) != 0) return -1;
    if (!Recorder::waitUntil([] { return visibleWindow("Confirmation").found(); }, 10s)) return -1;
    if (beforeYes) beforeYes();
    if (!clickYesIn("Confirmation")) return -1;
    int status = -1;
    if (!Recorder::waitUntil([&] { return waitpid(m_program, &status, WNOHANG) == m_program; }, 10s)) return -1;
    m_program = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // What went wrong, for the failure message: is the program still there, what did it print.
  std::string diagnosis(Recorder& recorder) {
    std::string text;
    int status = 0;
    if (m_program > 0 && waitpid(m_program, &status, WNOHANG) == m_program) {
      text += "program ended with status " + std::to_string(status) + "\n";
      m_program = -1;
    }
    std::ifstream log(m_root / "program.log");
    text += std::string(std::istreambuf_iterator<char>(log), {});
    text += "requests:";
    for (const std::string& e : recorder.entries()) text += "\n  " + e;
    return text;
  }

  TempDir m_dir;
  const fs::path m_root = m_dir.path();
  fs::path m_app;
  std::error_code m_ignored;
  pid_t m_program = -1;
};

}  // namespace zephra::test

// Every browser of the program shares one WebKit web process, and each one still reads its own
// real document.
#include <dirent.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wx/dialog.h>
#include <wx/frame.h>

#include "platform/web_view.h"
#include "tests/platform/web/web_test_support.h"
#include "tests/support/loopback_server.h"
#include "tests/support/wx_test_util.h"

namespace zephra::test {
namespace {

using namespace std::chrono_literals;

// The web processes WebKit started for this test program: its children of that name.
std::vector<int> webProcesses() {
  std::vector<int> found;
  DIR* proc = opendir("/proc");
  if (!proc) return found;
  while (dirent* entry = readdir(proc)) {
    const int pid = std::atoi(entry->d_name);
    if (pid <= 0) continue;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    // pid (comm) state ppid ...: comm may hold blanks, so read from the last ')'.
    const auto open = line.find('(');
    const auto close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos) continue;
    const std::string comm = line.substr(open + 1, close - open - 1);
    char state = 0;
    int ppid = 0;
    if (std::sscanf(line.c_str() + close + 1, " %c %d", &state, &ppid) != 2) continue;
    if (ppid == getpid() && comm.rfind("WebKitWebProces", 0) == 0 && state != 'Z') found.push_back(pid);
  }
  closedir(proc);
  return found;
}

struct Browser {
  std::unique_ptr<WebView> view;
  int completes = 0;
};

TEST(WebProcessTest, TheProgramsBrowsersShareOneWebProcessAndEachReadsItsOwnDocument) {
  LoopbackServer server;
  server.http().Get("/reply", [](const httplib::Request& req, httplib::Response& res) {
    res.set_content(replyPage(req.get_param_value("v")), "text/html; charset=utf-8");
  });
  server.start();
  // As the program has them: the directory browser, two hidden 20 x 14 ones above the top
  // edge in the same window, and one in another window (About, Help, Updates). The loop runs
  // between creations, as during the start-up wait.
  auto* main = new wxFrame(nullptr, wxID_ANY, "main", wxPoint(0, 0), wxSize(700, 500));
  auto* other = new wxDialog(nullptr, wxID_ANY, "other", wxPoint(100, 100), wxSize(300, 200));
  struct Place {
    wxWindow* parent;
    int left, top, width, height;
    std::string host;  // two sites: the remote service is another site than the local server
  };
  const std::vector<Place> places = {
      {main, 0, 0, 700, 400, "127.0.0.1"},
      {main, 16, -40, 20, 14, "127.0.0.1"},
      {main, 16, -40, 28, 14, "localhost"},
      {other, 0, 0, 300, 200, "localhost"},
  };
  std::vector<Browser> browsers(places.size());
  for (size_t i = 0; i < places.size(); ++i) {
    const Place& p = places[i];
    browsers[i].view = createWebView(p.parent, p.left, p.top, p.width, p.height);
    browsers[i].view->onDocumentComplete = [&browsers, i] { ++browsers[i].completes; };
    pumpFor(100ms);
  }
  main->Show();
  other->Show();
  for (size_t i = 0; i < browsers.size(); ++i)
    browsers[i].view->navigate("http://" + places[i].host + ":" + std::to_string(server.port()) +
                               "/reply?v=page" + std::to_string(i));
  ASSERT_TRUE(pumpUntil(
      [&] {
        for (const Browser& b : browsers)
          if (b.completes == 0) return false;
        return true;
      },
      20s));
  for (size_t i = 0; i < browsers.size(); ++i)
    EXPECT_EQ("page" + std::to_string(i), browsers[i].view->readElementValue("retVal")) << i;
  EXPECT_EQ(1u, webProcesses().size());

  browsers.clear();
  other->Destroy();
  main->Destroy();
  pumpFor(50ms);
}

}  // namespace
}  // namespace zephra::test

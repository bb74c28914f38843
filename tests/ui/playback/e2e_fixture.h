// End-to-end setting: the real local server (a copy of the staged document tree, its own port and
// favorites folder), a loopback stand-in for the remote service, and a real main window with the
// real browser and player, shown on the test display.
#pragma once

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <string>

#include <gtest/gtest.h>
#include <wx/menu.h>
#include <wx/webview.h>

#include "player_logic/service_addresses.h"
#include "tests/support/loopback_server.h"
#include "tests/support/page_cookie.h"
#include "tests/support/server_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wx_test_util.h"
#include "ui/controls/ImageButton.h"
#include "ui/frames/uFrame.h"
#include "ui/frames/uFrame2.h"
#include "ui/main/platform_parts.h"
#include "ui/main/uMain.h"

namespace zephra::test {

namespace fs = std::filesystem;

// zephra-server on a free port, serving a copy of the staged tree whose playlist points at it.
class LocalServerProcess {
 public:
  explicit LocalServerProcess(const fs::path& root) : m_root(root) {
    const fs::path docroot = root / "lib" / "Program" / "www" / "localhost";
    fs::create_directories(docroot);
    fs::copy(fs::path(ZEPHRA_APP_DIR) / "lib" / "Program" / "www" / "localhost", docroot,
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    fs::remove(docroot / "channels.m3u");  // written once the port is known
    m_server.emplace(std::vector<std::string>{std::string(ZEPHRA_APP_DIR) + "/lib/zephra-server", "--root",
                                              (root / "lib").string(), "--data", (root / "data").string(),
                                              "--no-window"});
  }

  int port() const { return m_server->port(); }
  std::string cookie() const { return pageCookie(m_root / "data"); }
  std::string base() const { return m_server->base(); }
  std::string stream(const std::string& name) const { return base() + "demo/" + name + ".ts"; }

  // The demo channels at this server's address, plus one whose address nobody answers.
  void writePlaylist(const std::string& deadStream, const std::string& extraEntries = {}) {
    std::ofstream out(m_root / "lib" / "Program" / "www" / "localhost" / "channels.m3u");
    out << "#EXTM3U\n";
    for (const char* name : {"testcard", "colourbars", "mandelbrot"})
      out << "#EXTINF:-1 tvg-id=\"" << name << ".demo\" group-title=\"Demo\"," << name << "\n" << stream(name) << "\n";
    out << "#EXTINF:-1 tvg-id=\"dead.demo\" group-title=\"Demo\",Dead Channel\n" << deadStream << "\n";
    out << extraEntries;
  }

  // A file of the served tree (guide.xml, say), written whole.
  void writeDocument(const std::string& name, const std::string& content) {
    std::ofstream(m_root / "lib" / "Program" / "www" / "localhost" / name, std::ios::binary | std::ios::trunc) << content;
  }

  // A page of the server, fetched directly (checks what it stored).
  std::string get(const std::string& path) {
    httplib::Client client("127.0.0.1", port());
    client.set_read_timeout(5, 0);
    client.set_default_headers({{"Cookie", cookie()}});
    auto result = client.Get(path.c_str());
    return result ? result->body : std::string();
  }

 private:
  fs::path m_root;
  std::optional<ServerProcess> m_server;
};

// The remote service: answers the update check with "nothing new" and records report requests.
class RemoteService {
 public:
  RemoteService() {
    m_server.http().Get("/update.php", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("<html><body><input id=\"retVal\" value=\"0\"><input id=\"retTime\" value=\"\"></body></html>",
                      "text/html");
    });
    m_server.http().Get("/report-soft.php", [this](const httplib::Request& req, httplib::Response& res) {
      {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_reports.push_back(req.target);
      }
      res.set_content("<html><head><title>Report</title></head><body><h1>Report a channel</h1></body></html>",
                      "text/html");
    });
    m_server.start();
  }
  std::string base() const { return m_server.base(); }
  std::vector<std::string> reports() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_reports;
  }

 private:
  LoopbackServer m_server;
  std::mutex m_mutex;
  std::vector<std::string> m_reports;
};

class EndToEndTest : public ::testing::Test {
 protected:
  static constexpr std::chrono::seconds kPatience{12};
  const std::string kAccount = "e2e";

  void SetUp() override {
    fs::create_directories(m_root / "app");
    std::ofstream(m_root / "app" / "config.ini") << "stamp\r\n";
    server = std::make_unique<LocalServerProcess>(m_root / "server");
    server->writePlaylist(deadStream(), extraEntries());
    // The server looks at the playlist file again only now and then: wait until it lists ours.
    ASSERT_TRUE(pumpUntil([&] { return server->get("/query.php?code=x&fav=0").find(server->stream("testcard")) != std::string::npos; },
                          kPatience));
    // The skin pictures are looked up in the current folder: the staged application folder's.
    m_oldCwd = fs::current_path();
    fs::current_path(ZEPHRA_APP_DIR);

    MediaPlayerOptions player;
    player.audioOutput = "null";  // no sound card here
    PlatformParts services = realPlatformParts(player);
    services.findWindow = [](const std::string&) { return true; };  // started above, not by the window
    services.appDir = [this] { return (m_root / "app").string() + "/"; };
    services.loadRemoteBase = [this](const std::string&) { return remote.base(); };
    services.loadAccountCode = [this] { return kAccount; };
    frm = new TfrmMain(std::move(services));
    // The server listens on a port of its own, not the installation's fixed one.
    frm->LocalBase = server->base();
    // Its secret is in its own data folder, not in the application folder's.
    const std::string cookie = server->cookie();
    frm->wbApp().setLocalCookie(kLocalServerCookieName, cookie.substr(cookie.find('=') + 1), "127.0.0.1");
    frm->wmApp().setServerCookie(frm->LocalBase, cookie);
    frm->wbApp().navigate(channelDirectoryUrl(frm->LocalBase, kAccount, "0"));
    frm->Show();
    directory().Bind(wxEVT_WEBVIEW_SCRIPT_RESULT, [this](wxWebViewEvent& event) {
      const auto id = reinterpret_cast<std::uintptr_t>(event.GetClientData());
      if (id <= kFirstScriptId) {
        event.Skip();  // the window's own read
        return;
      }
      m_answers[id] = event.IsError() ? std::string() : event.GetString().ToStdString(wxConvUTF8);
    });
    ASSERT_TRUE(pumpUntil([&] { return pageHas("a.play"); }, kPatience)) << "the directory did not load";
    // A pointer click reaches only a window that is on the screen.
    ASSERT_TRUE(pumpUntil([&] { return frm->IsShownOnScreen() && directory().IsShownOnScreen(); }, kPatience));
    // The window manager's part, as there is none on the test display: the new window gets the
    // keyboard.
    ASSERT_EQ(std::system("xdotool search --onlyvisible --name '^Zephra Player$' windowfocus --sync"), 0);
    ASSERT_TRUE(pumpUntil([&] { return frm->IsActive(); }, kPatience)) << "the window did not get the keyboard";
  }

  void TearDown() override {
    if (frm) {
      delete frm;
      wxTheApp->ProcessIdle();
    }
    server.reset();
    fs::current_path(m_oldCwd);
  }

  // Playlist entries after the demo channels, for a test's own streams.
  virtual std::string extraEntries() { return {}; }

  // The demo's test card clip, for a test's own stream servers.
  static std::string demoClip() {
    std::ifstream in(std::string(ZEPHRA_APP_DIR) + "/lib/Program/www/localhost/demo/testcard.ts", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  static std::string deadStream() { return "http://127.0.0.1:" + std::to_string(unusedLoopbackPort()) + "/dead.ts"; }

  wxWebView& directory() { return *dynamic_cast<wxWebView*>(frm->wbApp().window()); }

  // Runs a script in the directory page; "" when it fails or does not answer within 5 s. Run
  // asynchronously: the synchronous form nests an event loop that the window's own page reads
  // may nest into.
  std::string script(const std::string& code) {
    const std::uintptr_t id = kFirstScriptId + ++m_scripts;
    directory().RunScriptAsync(wxString::FromUTF8(code), reinterpret_cast<void*>(id));
    pumpUntil([&] { return m_answers.count(id) > 0; }, std::chrono::seconds(5));
    const auto it = m_answers.find(id);
    if (it == m_answers.end()) return {};
    const std::string answer = it->second;
    m_answers.erase(it);
    return answer;
  }
  bool pageHas(const std::string& selector) { return script("document.querySelector('" + selector + "') ? 'y' : 'n'") == "y"; }
  std::string pageText() { return script("document.body ? document.body.innerText : ''"); }

  // A real pointer click (through the X server) on the link `linkClass` in the row of `channel`.
  void clickChannelLink(const std::string& channel, const std::string& linkClass) {
    const std::string where = script(
        "(function(){for (const li of document.querySelectorAll('li.channel')) {"
        " const name = li.querySelector('a.play'); if (!name || name.textContent !== '" + channel + "') continue;"
        " const a = li.querySelector('a." + linkClass + "'); a.scrollIntoView({block: 'center'});"
        " const r = a.getBoundingClientRect(); return Math.round(r.left + r.width / 2) + ',' + Math.round(r.top + r.height / 2); }"
        " return ''; })()");
    ASSERT_NE(where.find(','), std::string::npos) << "no " << linkClass << " link for " << channel;
    const wxPoint inView(std::stoi(where), std::stoi(where.substr(where.find(',') + 1)));
    std::fprintf(stderr, "click %s at %d,%d screen %d,%d\n", linkClass.c_str(), inView.x, inView.y,
                 directory().ClientToScreen(inView).x, directory().ClientToScreen(inView).y);
    clickAt(directory().ClientToScreen(inView));
  }

  void clickAt(const wxPoint& screen) {
    // What is pending (a repaint, a hover) is done before the pointer moves; --sync waits for
    // the pointer to arrive.
    wxTheApp->ProcessPendingEvents();
    wxTheApp->ProcessIdle();
    const std::string command = "xdotool mousemove --sync " + std::to_string(screen.x) + " " +
                                std::to_string(screen.y) + " click 1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }

  // Chooses a menu item, as the menu does when the item is enabled.
  void chooseMenu(wxMenuItem* item) {
    ASSERT_TRUE(item->IsEnabled());
    wxCommandEvent choose(wxEVT_MENU, item->GetId());
    choose.SetEventObject(frm);
    frm->ProcessWindowEvent(choose);
  }

  bool playing() { return frm->statusText() == "Playing"; }

  TfrmMain* frm = nullptr;
  std::unique_ptr<LocalServerProcess> server;
  RemoteService remote;

 private:
  // Far above the ids the browser adapter gives its own reads.
  static constexpr std::uintptr_t kFirstScriptId = std::uintptr_t(1) << 40;
  std::uintptr_t m_scripts = 0;
  std::map<std::uintptr_t, std::string> m_answers;
  TempDir m_dir;
  const fs::path m_root = m_dir.path();
  fs::path m_oldCwd;
};

}  // namespace zephra::test

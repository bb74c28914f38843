// Test doubles for the platform pieces of the main window, and a fixture that builds a TfrmMain
// on them inside a temporary program folder whose current folder holds the skin pictures.
#pragma once

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>
#include <wx/app.h>
#include <wx/image.h>
#include <wx/msgdlg.h>

#include "tests/support/temp_dir.h"
#include "ui/dialogs/lazy_web_view.h"
#include "ui/frames/uFrame.h"
#include "ui/frames/uFrame2.h"
#include "ui/main/platform_parts.h"
#include "ui/main/uMain.h"

namespace zephra::test {

using Clock = std::chrono::steady_clock;

class FakeWebView : public WebView {
 public:
  void navigate(const std::string& url) override {
    navigations.push_back(url);
    navigatedAt.push_back(Clock::now());
  }
  void refresh() override { ++refreshes; }
  std::string readElementValue(const std::string& id) override {
    if (failReads) throw WebViewError("no document");
    for (const auto& [key, value] : elements)
      if (key == id) return value;
    throw WebViewError("no element " + id);
  }
  wxWindow* window() override { return nullptr; }
  std::vector<PageLink> readLinks(const std::string&) override { return links; }
  void markLinks(const std::string&, const std::string& value, const std::string&) override { marked.push_back(value); }
  void setLocalCookie(const std::string& name, const std::string& value, const std::string& host) override {
    cookies.push_back(name + "=" + value + "@" + host);
  }
  std::vector<PageLink> links;
  std::vector<std::string> marked;
  std::vector<std::string> cookies;

  wxWindow* parent = nullptr;
  wxRect place;
  std::vector<std::string> navigations;
  std::vector<Clock::time_point> navigatedAt;
  int refreshes = 0;
  bool failReads = false;
  std::vector<std::pair<std::string, std::string>> elements;
};

class FakePlayer : public MediaPlayer {
 public:
  void play() override { call("play"); }
  void pause() override { call("pause"); }
  void stop() override { call("stop"); }
  void setUrl(const std::string& url) override {
    call("setUrl " + url);
    m_url = url;
  }
  void setFullScreen(bool on) override {
    call(on ? "setFullScreen 1" : "setFullScreen 0");
    m_fullScreen = on;
  }
  bool fullScreen() const override { return m_fullScreen; }
  std::string status() const override { return statusText; }
  bool failed() const override { return failedState; }
  bool mute() const override {
    if (failReads) throw MediaPlayerError("player gone");
    return muted;
  }
  void setMute(bool on) override {
    call(on ? "setMute 1" : "setMute 0");
    muted = on;
  }
  int volume() const override {
    if (failReads) throw MediaPlayerError("player gone");
    return volumeLevel;
  }
  void setVolume(int volume) override {
    call("setVolume " + std::to_string(volume));
    volumeLevel = volume;
  }
  // Counted apart from the calls: it changes nothing the user sees.
  void prepare() override {
    ++prepares;
    if (failOn == "prepare") throw MediaPlayerError("prepare failed");
  }
  wxWindow* window() override { return nullptr; }
  void setServerCookie(const std::string& base, const std::string& cookie) override {
    serverCookies.push_back(base + " " + cookie);
  }
  SeekOutcome seekBy(double seconds) override {
    call("seekBy " + std::to_string(static_cast<int>(seconds)));
    return seekOutcome;
  }
  bool returnToLive() override {
    call("returnToLive");
    return true;
  }
  // Writes a little, as the engine would.
  void startRecording(const std::string& path) override {
    call("startRecording");
    std::ofstream(path, std::ios::binary) << "recorded";
    recordingTo = path;
  }
  void stopRecording() override {
    call("stopRecording");
    recordingTo.clear();
  }
  bool recording() const override { return !recordingTo.empty(); }
  void setCornerText(const std::string& text) override { cornerText = text; }
  SeekOutcome seekOutcome = SeekOutcome::Moved;
  std::string recordingTo;
  std::string cornerText;

  std::vector<std::string> calls;
  std::vector<std::string> serverCookies;
  int prepares = 0;
  std::string failOn;  // a call name ("stop", "play", ...) that throws
  bool failReads = false;
  bool muted = false;
  int volumeLevel = 50;
  std::string statusText;
  bool failedState = false;

 private:
  void call(const std::string& what) {
    if (!failOn.empty() && what.rfind(failOn, 0) == 0) throw MediaPlayerError(failOn + " failed");
    calls.push_back(what);
  }
  std::string m_url;
  bool m_fullScreen = false;
};

struct MessageBoxCall {
  wxWindow* parent = nullptr;
  std::string text;
  std::string caption;
  long style = 0;
};

// What the doubles were asked, and how they answer. Must outlive the window built on it.
struct PlatformDoubles {
  bool serverWindowPresent = true;
  std::vector<std::string> searchedTitles;
  std::vector<std::pair<std::string, std::string>> startedScripts;  // script, working folder
  Clock::time_point scriptStartedAt;
  std::string appDir;
  std::string accountCode;
  bool accountCodeThrows = false;
  std::string remoteBase = "http://remote.test/";
  bool filterInstallResult = true;
  bool filterInstallThrows = false;
  bool filterRemoveThrows = false;
  int filterInstalls = 0;
  int filterRemovals = 0;
  int boxAnswer = wxID_YES;
  std::vector<MessageBoxCall> boxes;
  // Hooks to set the player's state before the start-up sequence reads it.
  bool playerMuted = false;
  int playerVolume = 50;
  bool playerReadsFail = false;
  bool playerCreationFails = false;

  PlatformParts services() {
    PlatformParts s;
    s.findWindow = [this](const std::string& title) {
      searchedTitles.push_back(title);
      return serverWindowPresent;
    };
    s.startScript = [this](const std::string& script, const std::string& dir) {
      startedScripts.emplace_back(script, dir);
      scriptStartedAt = Clock::now();
    };
    s.createWebView = [](wxWindow* parent, int left, int top, int width, int height) {
      auto view = std::make_unique<FakeWebView>();
      view->parent = parent;
      view->place = wxRect(left, top, width, height);
      return std::unique_ptr<WebView>(std::move(view));
    };
    s.createMediaPlayer = [this](wxWindow*) {
      if (playerCreationFails) throw MediaPlayerError("cannot create the media player");
      auto player = std::make_unique<FakePlayer>();
      player->muted = playerMuted;
      player->volumeLevel = playerVolume;
      player->failReads = playerReadsFail;
      return std::unique_ptr<MediaPlayer>(std::move(player));
    };
    s.installMouseFilter = [this] {
      ++filterInstalls;
      if (filterInstallThrows) throw std::runtime_error("no display");
      return filterInstallResult;
    };
    s.removeMouseFilter = [this] {
      ++filterRemovals;
      if (filterRemoveThrows) throw std::runtime_error("cannot remove");
    };
    s.appDir = [this] { return appDir; };
    s.loadAccountCode = [this] {
      if (accountCodeThrows) throw std::runtime_error("unreadable");
      return accountCode;
    };
    s.loadRemoteBase = [this](const std::string&) { return remoteBase; };
    s.messageBox = [this](wxWindow* parent, const std::string& text, const std::string& caption, long style) {
      boxes.push_back({parent, text, caption, style});
      return boxAnswer;
    };
    return s;
  }
};

// A browser made on first showing is looked at through: asking about it makes it.
inline FakeWebView& fake(WebView& view) {
  if (auto* lazy = dynamic_cast<LazyWebView*>(&view)) return dynamic_cast<FakeWebView&>(lazy->realised());
  return dynamic_cast<FakeWebView&>(view);
}
inline FakePlayer& fake(MediaPlayer& player) { return dynamic_cast<FakePlayer&>(player); }

// The sixteen skin pictures, small and plain, written into `dir`.
inline void writeSkinPictures(const std::filesystem::path& dir) {
  if (!wxImage::FindHandler(wxBITMAP_TYPE_JPEG)) wxImage::AddHandler(new wxJPEGHandler());
  const char* bitmaps[] = {"btChanOff.bmp",  "btChanOn.bmp",   "btPlayerOff.bmp", "btPlayerOn.bmp",
                           "btPlayOff.bmp",  "btPlayOn.bmp",   "btPauseOff.bmp",  "btPauseOn.bmp",
                           "btFullOff.bmp",  "btFullOn.bmp",   "btStopOff.bmp",   "btStopOn.bmp",
                           "btSoundOff.bmp", "btSoundOn.bmp",  "btSoundHover.bmp"};
  int shade = 40;
  for (const char* name : bitmaps) {
    wxImage image(8, 8);
    image.SetRGB(wxRect(0, 0, 8, 8), shade, 200 - shade, 90);
    shade += 10;
    if (!image.SaveFile((dir / name).string(), wxBITMAP_TYPE_BMP)) throw std::runtime_error(name);
  }
  wxImage speaker(8, 8);
  speaker.SetRGB(wxRect(0, 0, 8, 8), 200, 200, 200);
  if (!speaker.SaveFile((dir / "sound.jpg").string(), wxBITMAP_TYPE_JPEG)) throw std::runtime_error("sound.jpg");
}

// A program folder (AppDir, holding config.ini) and a current folder holding the pictures.
class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(m_root / "app" / "lib");
    std::filesystem::create_directories(m_root / "pictures");
    writeSkinPictures(m_root / "pictures");
    doubles.appDir = (m_root / "app").string() + "/";
    writeConfig("stamp1\r\n");
    m_oldCwd = std::filesystem::current_path();
    std::filesystem::current_path(m_root / "pictures");
  }

  void TearDown() override {
    closeWindow();
    std::filesystem::current_path(m_oldCwd);
  }

  void writeConfig(const std::string& content) {
    std::ofstream(configPath(), std::ios::binary | std::ios::trunc) << content;
  }
  std::string configPath() const { return doubles.appDir + "config.ini"; }
  std::filesystem::path picturesDir() const { return m_root / "pictures"; }

  TfrmMain& open() { return open(doubles.services()); }
  TfrmMain& open(PlatformParts services) {
    closeWindow();
    m_window = new TfrmMain(std::move(services));
    return *m_window;
  }
  TfrmMain& window() { return *m_window; }
  void closeWindow() {
    if (!m_window) return;
    if (!wxTheApp->IsScheduledForDestruction(m_window)) delete m_window;
    flushPendingDeletes();
    m_window = nullptr;
  }
  // A window that closed itself is deleted on idle time.
  static void flushPendingDeletes() { wxTheApp->ProcessIdle(); }

  FakeWebView& wbApp() { return fake(window().wbApp()); }
  FakeWebView& wbQuery() { return fake(*window().wbQuery); }
  FakeWebView& wbUpdate() { return fake(*window().wbUpdate); }
  FakePlayer& player() { return fake(window().wmApp()); }

  PlatformDoubles doubles;

 private:
  TempDir m_dir;
  const std::filesystem::path m_root = m_dir.path();
  std::filesystem::path m_oldCwd;
  TfrmMain* m_window = nullptr;
};

}  // namespace zephra::test

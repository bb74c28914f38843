// Zap time in the real main window: from a click on a channel link in the directory page to the
// player's MediaChange and to its first frame ("Playing"), for every channel of the directory.
// Between two zaps it goes back to the directory with the channels tab, as a user does.
//
//   zephra_zap_bench APP_DIR LOCAL_BASE ROUNDS
//
// APP_DIR holds the skin pictures and config.ini; LOCAL_BASE is a running local server whose
// playlist plays. Prints one line per zap: "zap <ms to media> <ms to frame> <url> <channel>".
// Needs a display.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/init.h>
#include <wx/log.h>
#include <wx/utils.h>
#include <wx/webview.h>

#include "bench/bench_events.h"
#include "services/service_addresses.h"
#include "ui/main/platform_services.h"
#include "ui/main/uMain.h"

namespace {

using Clock = std::chrono::steady_clock;
using zephra::TfrmMain;

double msBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

using zephra::bench::pumpUntil;

// Errors escaping a handler go where the program sends them: dropped once start-up is through.
class BenchApp : public wxApp {
 public:
  bool OnExceptionInMainLoop() override {
    if (zephra::frmMain) zephra::frmMain->handleEscapedError(std::current_exception());
    return true;
  }
};

// A script's answer from the directory page ("" when none within 5 s).
class PageScripts {
 public:
  explicit PageScripts(wxWebView& view) : m_view(view) {
    view.Bind(wxEVT_WEBVIEW_SCRIPT_RESULT, [this](wxWebViewEvent& event) {
      if (event.GetClientData() != &m_view) {
        event.Skip();  // the window's own read
        return;
      }
      m_answer = event.IsError() ? std::string() : event.GetString().ToStdString(wxConvUTF8);
      m_answered = true;
    });
  }
  std::string run(const std::string& code) {
    m_answered = false;
    m_view.RunScriptAsync(wxString::FromUTF8(code), &m_view);
    pumpUntil([&] { return m_answered; }, std::chrono::seconds(5));
    return m_answered ? m_answer : std::string();
  }

 private:
  wxWebView& m_view;
  bool m_answered = false;
  std::string m_answer;
};

int run(const std::string& appDir, const std::string& localBase, int rounds) {
  zephra::MediaPlayerOptions playerOptions;
  playerOptions.audioOutput = "null";
  zephra::PlatformServices services = zephra::realPlatformServices(playerOptions);
  services.findWindow = [](const std::string&) { return true; };  // the script started the server
  services.appDir = [&] { return appDir; };
  services.loadRemoteBase = [](const std::string&) { return std::string("http://127.0.0.1:9/"); };
  services.loadAccountCode = [] { return std::string("bench"); };
  auto* frm = new TfrmMain(std::move(services));
  frm->LocalBase = localBase;
  frm->Show();
  auto* view = dynamic_cast<wxWebView*>(frm->wbApp().window());
  if (!view) return 1;
  PageScripts page(*view);

  // The moments of one zap, taken where the window's own handlers are entered.
  Clock::time_point clicked, media, frame;
  bool zapping = false;
  auto& browser = frm->wbApp();
  auto& player = frm->wmApp();
  auto decode = browser.onBeforeNavigate2;
  browser.onBeforeNavigate2 = [&](const std::string& url) {
    if (zapping && url.find("#1|") != std::string::npos && clicked == Clock::time_point()) clicked = Clock::now();
    decode(url);
  };
  auto mediaChange = player.onMediaChange;
  player.onMediaChange = [&] {
    if (zapping && media == Clock::time_point()) media = Clock::now();
    mediaChange();
  };
  auto statusChange = player.onStatusChange;
  player.onStatusChange = [&] {
    statusChange();
    if (zapping && frame == Clock::time_point() && player.status() == "Playing") frame = Clock::now();
  };

  const auto directoryShown = [&] { return page.run("document.querySelectorAll('a.play').length") != ""; };
  frm->wbApp().navigate(zephra::channelDirectoryUrl(localBase, "bench", "0"));
  if (!pumpUntil([&] { return page.run("document.querySelectorAll('a.play').length") != "0" && directoryShown(); },
                 std::chrono::seconds(15))) {
    std::fprintf(stderr, "the directory did not load from %s\n", localBase.c_str());
    return 1;
  }
  const int channels = std::atoi(page.run("document.querySelectorAll('a.play').length").c_str());
  int failures = 0;
  for (int round = 0; round < rounds; ++round) {
    for (int i = 0; i < channels; ++i) {
      // Back to the directory first, and wait for its links, as a user would.
      frm->imTabBrowserClick(frm->imTabBrowser.get());
      const std::string link = "document.querySelectorAll('a.play')[" + std::to_string(i) + "]";
      if (!pumpUntil([&] { return page.run(link + " ? 'y' : 'n'") == "y"; }, std::chrono::seconds(15))) {
        ++failures;
        continue;
      }
      const std::string name = page.run(link + ".textContent");
      clicked = media = frame = Clock::time_point();
      zapping = true;
      page.run(link + ".click(); 'clicked'");  // a DOM click: the browser's own link handling
      const bool done = pumpUntil([&] { return frame != Clock::time_point(); }, std::chrono::seconds(10));
      zapping = false;
      if (!done || clicked == Clock::time_point() || media == Clock::time_point()) {
        std::fprintf(stderr, "no first frame for %s (status \"%s\")\n", name.c_str(), frm->statusText().c_str());
        ++failures;
        continue;
      }
      std::printf("zap %.1f %.1f %s %s\n", msBetween(clicked, media), msBetween(clicked, frame),
                  frm->CurrentUrl.c_str(), name.c_str());
      std::fflush(stdout);
    }
  }
  player.stop();
  delete frm;
  return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s APP_DIR LOCAL_BASE ROUNDS\n", argv[0]);
    return 2;
  }
  setenv("GDK_BACKEND", "x11", 1);
  wxApp::SetInstance(new BenchApp());
  int wxArgc = 1;
  char* wxArgv[] = {argv[0], nullptr};
  if (!wxEntryStart(wxArgc, wxArgv)) return 2;
  wxTheApp->CallOnInit();
  delete wxLog::SetActiveTarget(new wxLogStderr());
  // Pictures are found by bare name in the current folder.
  if (chdir(argv[1]) != 0) return 2;
  std::string appDir = argv[1];
  if (appDir.back() != '/') appDir += '/';
  const int result = run(appDir, argv[2], std::max(1, std::atoi(argv[3])));
  wxEntryCleanup();
  return result;
}

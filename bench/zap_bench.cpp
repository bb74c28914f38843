// Zap time in the real main window: from the DOM click on a channel link in the directory page
// to the player's MediaChange and to its first frame ("Playing"), for every channel of the
// directory. Between two zaps it goes back to the directory with the channels tab, as a user
// does. Each zap is paired with the engine's floor for the same stream, measured right after in
// the same process: a bare libmpv with the player's own settings, drawing into a window that
// already exists, from loadfile to its first frame (PLAYBACK_RESTART). Only one of the two plays
// at a time (the player paused while the engine zaps, the engine stopped while the player does),
// and which of the pair goes first alternates.
//
//   zephra_zap_bench APP_DIR LOCAL_BASE ROUNDS
//
// Before those, the first play after start: the first channel clicked while no media engine
// has started in the process yet (it starts at the first play).
//
// APP_DIR holds the skin pictures and config.ini; LOCAL_BASE is a running local server whose
// playlist plays. Prints "first <ms to media> <ms to frame> <ms to navigation event>", then one
// line per zap:
//   "zap <ms to media> <ms to frame> <engine ms to frame> <ms to navigation event> <url> <channel>".
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
#include <wx/frame.h>
#include <wx/webview.h>

#include "bench/bench_events.h"
#include "platform/display_backend.h"
#include "platform/media_player_mpv.h"
#include "platform/mpv_handle.h"
#include "platform/native_window.h"
#include "tests/support/wx_session.h"
#include "player_logic/service_addresses.h"
#include "ui/main/platform_parts.h"
#include "ui/main/uMain.h"

namespace {

using Clock = std::chrono::steady_clock;
using zephra::TfrmMain;

double msBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

// Wall clock in ms, the page's clock (performance.timeOrigin + performance.now()).
double wallMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// The bare engine in a window of its own, set up as the player sets up its engine.
class EngineFloor {
 public:
  EngineFloor(const zephra::MediaPlayerOptions& options) {
    m_frame = new wxFrame(nullptr, wxID_ANY, "engine floor", wxPoint(760, 0), wxSize(360, 280));
    m_window = new wxWindow(m_frame, wxID_ANY, wxPoint(0, 0), wxSize(352, 210));
    m_frame->Show();
    zephra::MpvMediaPlayer::configureEngine(m_mpv, options, zephra::nativeWindowId(m_window));
  }
  ~EngineFloor() {
    m_mpv.destroy();
    m_frame->Destroy();
  }
  // loadfile to the first frame, ms; negative when the stream did not start within 10 s.
  double zap(const std::string& url) {
    drain();
    const auto start = Clock::now();
    m_mpv.command({"loadfile", url, "replace"});
    m_mpv.setFlag("pause", false);
    const auto deadline = start + std::chrono::seconds(10);
    while (Clock::now() < deadline) {
      const mpv_event& event = m_mpv.waitEvent(0.05);
      if (event.event_id == MPV_EVENT_PLAYBACK_RESTART) return msBetween(start, Clock::now());
    }
    return -1;
  }
  // Lets go of the stream, so that only one of the two holds a connection to the server.
  void stop() { m_mpv.command({"stop"}); }
  void pause() { m_mpv.setFlag("pause", true); }

 private:
  void drain() {
    while (m_mpv.waitEvent(0).event_id != MPV_EVENT_NONE) {
    }
  }
  wxFrame* m_frame = nullptr;
  wxWindow* m_window = nullptr;
  zephra::MpvHandle m_mpv;
};

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

// The moments of one zap, taken where the window's own handlers are entered.
struct ZapMoments {
  Clock::time_point clicked, media, frame;
};

int run(const std::string& appDir, const std::string& localBase, int rounds) {
  zephra::MediaPlayerOptions playerOptions;
  playerOptions.audioOutput = "null";
  zephra::PlatformParts services = zephra::realPlatformParts(playerOptions);
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

  ZapMoments at;
  bool zapping = false;
  auto& browser = frm->wbApp();
  auto& player = frm->wmApp();
  auto decode = browser.onBeforeNavigate2;
  browser.onBeforeNavigate2 = [&](const std::string& url) {
    if (zapping && url.find("#1|") != std::string::npos && at.clicked == Clock::time_point()) at.clicked = Clock::now();
    decode(url);
  };
  auto mediaChange = player.onMediaChange;
  player.onMediaChange = [&] {
    if (zapping && at.media == Clock::time_point()) at.media = Clock::now();
    mediaChange();
  };
  auto statusChange = player.onStatusChange;
  player.onStatusChange = [&] {
    statusChange();
    // Only after the new item's MediaChange: a status of the item being left is not this zap's
    // first frame.
    if (zapping && at.media != Clock::time_point() && at.frame == Clock::time_point() && player.status() == "Playing")
      at.frame = Clock::now();
  };

  const auto directoryShown = [&] { return page.run("document.querySelectorAll('a.play').length") != ""; };
  frm->wbApp().navigate(zephra::channelDirectoryUrl(localBase, "bench", "0"));
  if (!pumpUntil([&] { return page.run("document.querySelectorAll('a.play').length") != "0" && directoryShown(); },
                 std::chrono::seconds(15))) {
    std::fprintf(stderr, "the directory did not load from %s\n", localBase.c_str());
    return 1;
  }
  const int channels = std::atoi(page.run("document.querySelectorAll('a.play').length").c_str());
  const auto linkTo = [](int i) { return "document.querySelectorAll('a.play')[" + std::to_string(i) + "]"; };

  // Clicks the link and waits for its first frame. Times in ms from the click: media, frame,
  // navigation event; false when the zap was lost.
  struct Zap {
    double media, frame, navigation;
  };
  const auto clickAndWait = [&](const std::string& link, Zap& zap) {
    at = ZapMoments();
    zapping = true;
    // A DOM click, the browser's own link handling; the page notes the moment on its clock.
    const double clickedAt =
        std::atof(page.run("(function(){var t=performance.timeOrigin+performance.now();" + link +
                           ".click();return String(t);})()").c_str());
    const bool done = pumpUntil([&] { return at.frame != Clock::time_point(); }, std::chrono::seconds(10));
    const auto wallAt = [&](Clock::time_point moment) { return wallMs() - msBetween(moment, Clock::now()); };
    zap = {wallAt(at.media) - clickedAt, wallAt(at.frame) - clickedAt, wallAt(at.clicked) - clickedAt};
    zapping = false;
    return done && at.clicked != Clock::time_point() && at.media != Clock::time_point() && clickedAt > 0;
  };

  // The first play after start, before anything else in this process has started a media
  // engine, after the second and a half a user takes to look at the list.
  pumpUntil([] { return false; }, std::chrono::milliseconds(1500));
  {
    Zap first{};
    if (!clickAndWait(linkTo(0), first)) {
      std::fprintf(stderr, "no first frame for the first play (status \"%s\")\n", frm->statusText().c_str());
      return 1;
    }
    std::printf("first %.1f %.1f %.1f\n", first.media, first.frame, first.navigation);
    std::fflush(stdout);
  }

  EngineFloor floor(playerOptions);
  int failures = 0;
  for (int round = 0; round < rounds; ++round) {
    for (int i = 0; i < channels; ++i) {
      // Back to the directory first, and wait for its links, as a user would.
      frm->imTabBrowserClick(frm->imTabBrowser.get());
      const std::string link = linkTo(i);
      if (!pumpUntil([&] { return page.run(link + " ? 'y' : 'n'") == "y"; }, std::chrono::seconds(15))) {
        ++failures;
        continue;
      }
      const std::string name = page.run(link + ".textContent");
      const std::string href = page.run(link + ".getAttribute('href')");
      std::string url = href.substr(href.find('|') == std::string::npos ? href.size() : href.find('|') + 1);
      // Which of the pair goes first alternates, so neither always finds the stream warm.
      const bool floorFirst = (round * channels + i) % 2 == 1 && !url.empty();
      const auto measureFloor = [&] {
        player.pause();
        pumpUntil([&] { return player.status() == "Paused" || player.status() == "Stopped"; }, std::chrono::seconds(5));
        return floor.zap(url.empty() ? frm->CurrentUrl : url);
      };
      double engine = floorFirst ? measureFloor() : 0;
      floor.pause();
      Zap zap{};
      if (!clickAndWait(link, zap)) {
        std::fprintf(stderr, "no first frame for %s (status \"%s\")\n", name.c_str(), frm->statusText().c_str());
        ++failures;
        continue;
      }
      if (!floorFirst) engine = measureFloor();
      if (engine < 0) {
        std::fprintf(stderr, "the bare engine did not start %s\n", url.c_str());
        ++failures;
        continue;
      }
      std::printf("zap %.1f %.1f %.1f %.1f %s %s\n", zap.media, zap.frame, engine, zap.navigation, url.c_str(),
                  name.c_str());
      std::fflush(stdout);
    }
  }
  player.stop();
  delete frm;
  std::printf("lost %d\n", failures);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s APP_DIR LOCAL_BASE ROUNDS\n", argv[0]);
    return 2;
  }
  zephra::chooseDisplayBackend();
  zephra::test::WxSession session(new BenchApp(), argv[0]);
  if (!session.started()) return 2;
  // Pictures are found by bare name in the current folder.
  if (chdir(argv[1]) != 0) return 2;
  std::string appDir = argv[1];
  if (appDir.back() != '/') appDir += '/';
  return run(appDir, argv[2], std::max(1, std::atoi(argv[3])));
}

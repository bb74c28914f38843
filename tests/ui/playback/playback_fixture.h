// A main window on test doubles for the playback, link-command and favorites handlers. Its
// browsers raise the before-navigate event for the program's own navigations too, as the real
// browser does, so that requests carrying a link command are decoded like clicked links.
#pragma once

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wx/checkbox.h>
#include <wx/menu.h>

#include "tests/ui/main/main_window_doubles.h"
#include "ui/controls/ImageButton.h"
#include "ui/controls/XTrakBar.h"
#include "ui/controls/graphic_picture.h"

namespace zephra::test {

class NavigatingWebView : public FakeWebView {
 public:
  void navigate(const std::string& url) override {
    FakeWebView::navigate(url);
    if (onBeforeNavigate2) onBeforeNavigate2(url);
  }
  void refresh() override {
    FakeWebView::refresh();
    if (onRefresh) onRefresh();
  }
  std::function<void()> onRefresh;  // lets a test look at the window while the reload is asked for
};

// The main window's test folders and doubles, with an account code, and browsers that report
// the program's own navigations.
class PlaybackTest : public MainWindowTest {
 protected:
  // The play/pause button offers Play (`play`) or Pause: its flag, hover picture and picture shown.
  void expectButtonOffers(bool play) {
    EXPECT_EQ(window().PlayIsShown, play);
    EXPECT_EQ(window().imPlay->ImageHover, play ? "btPlayOn.bmp" : "btPauseOn.bmp");
    EXPECT_EQ(window().imPlay->shownFile(), play ? "btPlayOff.bmp" : "btPauseOff.bmp");
  }
  void SetUp() override {
    MainWindowTest::SetUp();
    doubles.accountCode = "acc";
  }

  // Opens the window on browsers that raise the before-navigate event for the program's own
  // navigations as well, as the real browser does.
  TfrmMain& open() {
    PlatformParts services = doubles.services();
    services.createWebView = [](wxWindow* parent, int left, int top, int width, int height) {
      auto view = std::make_unique<NavigatingWebView>();
      view->parent = parent;
      view->place = wxRect(left, top, width, height);
      return std::unique_ptr<WebView>(std::move(view));
    };
    return MainWindowTest::open(std::move(services));
  }

  NavigatingWebView& wbApp() { return dynamic_cast<NavigatingWebView&>(window().wbApp()); }
  NavigatingWebView& wbQuery() { return dynamic_cast<NavigatingWebView&>(*window().wbQuery); }

  // A click on a link in the directory page, as the browser reports it.
  void clickLink(const std::string& url) { window().wbApp().onBeforeNavigate2(url); }
  // The player has opened new media.
  void mediaChange() { window().wmApp().onMediaChange(); }
  // The player's status text changed to `text`.
  void playerStatus(const std::string& text) {
    player().statusText = text;
    window().wmApp().onStatusChange();
  }
  // A channel is playing and the player has reported it: every control is usable.
  void playingChannel(const std::string& url = "http://streams.test/one.ts") {
    clickLink("http://dir.test/query.php#1|" + url);
    mediaChange();
    player().calls.clear();
  }

  std::vector<TImageButton*> playbackButtons() {
    TfrmMain& f = window();
    return {f.imPlay.get(), f.imStop.get(), f.imSound.get(), f.imFullScreen.get(), f.imgSound.get()};
  }

  // Everything a handler may change, in one text, so "nothing else changed" is one comparison
  // whose failure shows what did change.
  std::string snapshot() {
    TfrmMain& f = window();
    std::ostringstream out;
    out << "browser " << f.tabBrowser->IsShown() << " player " << f.tabPlayer->IsShown()
        << " cbFav " << f.cbFav->IsShown() << " tbVolume " << f.tbVolume->IsShown() << " lbStatus "
        << f.lbStatus->visible() << "\nbuttons";
    for (TImageButton* b : playbackButtons())
      out << " [" << b->visible() << b->enabled() << b->Active << " " << b->ImageOff << "|" << b->ImageOn << "|"
          << b->ImageHover << " " << b->shownFile() << " " << b->ToggleState << "]";
    out << "\nmenu";
    for (wxMenuItem* item : {f.mnuPlay, f.mnuPause, f.mnuStop, f.mnuReport, f.mnuFullscreen, f.mnuAddFav, f.mnuOrgFav})
      out << " " << item->IsEnabled();
    out << "\nPlayIsShown " << f.PlayIsShown << " CurrentUrl " << f.CurrentUrl << " status '" << f.statusText()
        << "'\nplayer calls " << player().calls.size() << " wbApp " << wbApp().navigations.size() << "/"
        << wbApp().refreshes << " wbQuery " << wbQuery().navigations.size() << "/" << wbQuery().refreshes;
    return out.str();
  }

  std::string lastNavigation(FakeWebView& view) {
    return view.navigations.empty() ? std::string() : view.navigations.back();
  }
};

}  // namespace zephra::test

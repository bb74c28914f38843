// The update check's reply and the Updates window: reply handling on browser doubles, the
// download with the real downloader against a loopback remote service.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/gauge.h>
#include <wx/stattext.h>
#include <wx/timer.h>

#include "player_logic/content_stamp.h"
#include "player_logic/service_addresses.h"
#include "tests/support/wx_test_util.h"
#include "tests/ui/main/main_window_doubles.h"
#include "tests/ui/main/remote_service_double.h"
#include "ui/dialogs/uUpdate.h"

namespace zephra::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void click(wxButton* button) {
  wxCommandEvent event(wxEVT_BUTTON, button->GetId());
  event.SetEventObject(button);
  button->ProcessWindowEvent(event);
}

class UpdatesTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    doubles.remoteBase = remote.base();
  }
  void TearDown() override {
    if (fmUpdate) {
      delete fmUpdate;
      fmUpdate = nullptr;
    }
    pumpFor(20ms);
    MainWindowTest::TearDown();
  }

  // The main window and the Updates window, both on `services`.
  TfrmMain& openWithUpdates(PlatformParts services) {
    WebViewFactory factory = services.createWebView;
    TfrmMain& frm = open(std::move(services));
    fmUpdate = new TfmUpdate(factory);
    return frm;
  }
  TfrmMain& openWithUpdates() { return openWithUpdates(doubles.services()); }

  FakeWebView& wbInfo() { return fake(*fmUpdate->wbInfo); }
  fs::path packagePath() { return fs::path(doubles.appDir) / "lib/Program/www/localhost/update/update.zip"; }
  std::string installUrl() { return localBaseAddress() + "locup.php"; }

  // Shows the Updates window modally as the reply handling does, running `inside` in it.
  void whileShownModally(const std::function<void()>& inside) {
    fmUpdate->CallAfter([inside] {
      inside();
      fmUpdate->Button1Click();
    });
    fmUpdate->ShowModal();
  }

  RemoteServiceDouble remote;
};

// --- the reply ---

struct ReplyCase {
  const char* name;
  std::vector<std::pair<std::string, std::string>> elements;
  int answer;
  bool offered;     // the box is shown
  bool opensWindow;
  bool raises;      // the handler ends with an error (dropped by the application's handler)
};

void PrintTo(const ReplyCase& c, std::ostream* out) { *out << c.name; }

class UpdateReplyTest : public UpdatesTest, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(UpdateReplyTest, OnlyRetVal1OffersAndOnlyYesWithRetTimeOpensTheWindow) {
  const ReplyCase& c = GetParam();
  TfrmMain& frm = openWithUpdates();
  wbUpdate().elements = c.elements;
  doubles.boxAnswer = c.answer;
  fmUpdate->NewStamp = "previous";
  bool shownModally = false;
  std::string stampWhenShown;
  fmUpdate->CallAfter([&] {
    shownModally = fmUpdate->IsModal();
    stampWhenShown = fmUpdate->NewStamp;
    fmUpdate->Button1Click();
  });

  if (c.raises) {
    EXPECT_ANY_THROW(frm.wbUpdateNavigateComplete2());
  } else {
    EXPECT_NO_THROW(frm.wbUpdateNavigateComplete2());
  }

  if (c.offered) {
    ASSERT_EQ(doubles.boxes.size(), 1u);
    EXPECT_EQ(doubles.boxes[0].parent, &frm);
    EXPECT_EQ(doubles.boxes[0].caption, "Application updates");
    EXPECT_EQ(doubles.boxes[0].text, "New updates Available.\r\nDo you want to download the new updates?");
    EXPECT_EQ(doubles.boxes[0].style, wxYES_NO | wxYES_DEFAULT | wxICON_NONE);
  } else {
    EXPECT_TRUE(doubles.boxes.empty());
  }
  EXPECT_EQ(shownModally, c.opensWindow);
  if (c.opensWindow) {
    EXPECT_EQ(stampWhenShown, "2024-06-01 &t=#7 ");
  } else {
    EXPECT_EQ(fmUpdate->NewStamp, "previous");
  }
  pumpFor(10ms);  // the posted close runs here when the window never opened
  EXPECT_EQ(readFile(configPath()), "stamp1\r\n");
  EXPECT_TRUE(wbInfo().navigations.empty());
  EXPECT_EQ(wbUpdate().navigations.size(), 1u) << "no further request";
}

const std::pair<std::string, std::string> kStamp{"retTime", "2024-06-01 &t=#7 "};

INSTANTIATE_TEST_SUITE_P(
    Replies, UpdateReplyTest,
    ::testing::Values(ReplyCase{"OneYes", {{"retVal", "1"}, kStamp}, wxID_YES, true, true, false},
                      ReplyCase{"LeadingZeroYes", {{"retVal", "01"}, kStamp}, wxID_YES, true, true, false},
                      ReplyCase{"OneNo", {{"retVal", "1"}, kStamp}, wxID_NO, true, false, false},
                      ReplyCase{"OneYesNoRetTime", {{"retVal", "1"}}, wxID_YES, true, false, true},
                      ReplyCase{"Zero", {{"retVal", "0"}, kStamp}, wxID_YES, false, false, false},
                      ReplyCase{"Two", {{"retVal", "2"}, kStamp}, wxID_YES, false, false, false},
                      ReplyCase{"MinusOne", {{"retVal", "-1"}, kStamp}, wxID_YES, false, false, false},
                      ReplyCase{"Empty", {{"retVal", ""}, kStamp}, wxID_YES, false, false, true},
                      ReplyCase{"Word", {{"retVal", "yes"}, kStamp}, wxID_YES, false, false, true},
                      ReplyCase{"Trailing blank", {{"retVal", "1 "}, kStamp}, wxID_YES, false, false, true},
                      ReplyCase{"NoRetVal", {kStamp}, wxID_YES, false, false, true}),
    [](const auto& info) {
      std::string name = info.param.name;
      for (char& ch : name)
        if (ch == ' ') ch = '_';
      return name;
    });

// The real browsers: the reply page is read when the hidden browser has loaded it.
TEST_F(UpdatesTest, RealBrowserReplyOffersTheUpdateAndHandsOverTheStamp) {
  remote.setReply("<html><body><input id=\"retVal\" value=\"1\"><input id=\"retTime\" value=\"v 2&amp;x\">"
                  "</body></html>");
  PlatformParts services = doubles.services();
  services.createWebView = &createWebView;
  TfrmMain& frm = openWithUpdates(std::move(services));
  std::string stampWhenShown;
  fmUpdate->Bind(wxEVT_SHOW, [&](wxShowEvent& event) {
    event.Skip();
    if (!event.IsShown()) return;
    fmUpdate->CallAfter([&] {
      if (fmUpdate->IsModal()) stampWhenShown = fmUpdate->NewStamp;
      fmUpdate->Button1Click();
    });
  });
  ASSERT_TRUE(pumpUntil([&] { return !stampWhenShown.empty(); }, 20s));
  EXPECT_EQ(stampWhenShown, "v 2&x");
  EXPECT_EQ(remote.requests(), std::vector<std::string>{"/update.php?t=stamp1"});
  ASSERT_EQ(doubles.boxes.size(), 1u);
  EXPECT_EQ(doubles.boxes[0].caption, "Application updates");
  EXPECT_FALSE(fmUpdate->IsShown());
  (void)frm;
}

// --- the window ---

TEST_F(UpdatesTest, WindowLayout) {
  openWithUpdates();
  TfmUpdate& fm = *fmUpdate;
  EXPECT_EQ(fm.GetTitle(), "Updates");
  EXPECT_EQ(fm.GetClientSize(), wxSize(325, 165));
  EXPECT_EQ(fm.GetWindowStyleFlag() & (wxSYSTEM_MENU | wxCLOSE_BOX | wxMINIMIZE_BOX | wxMAXIMIZE_BOX | wxRESIZE_BORDER), 0);
  EXPECT_EQ(fm.Label1->GetLabel(), "Update Progress");
  EXPECT_EQ(fm.Label1->GetPosition(), wxPoint(8, 8));
  EXPECT_EQ(fm.pgDownload->GetRect(), wxRect(32, 32, 281, 25));
  EXPECT_EQ(fm.pgDownload->GetRange(), 100);
  EXPECT_EQ(fm.pgDownload->GetValue(), 0);
  EXPECT_EQ(fm.btUpdate->GetLabel(), "Update Now");
  EXPECT_EQ(fm.btUpdate->GetRect(), wxRect(168, 136, 75, 25));
  EXPECT_EQ(fm.Button1->GetLabel(), "Close");
  EXPECT_EQ(fm.Button1->GetRect(), wxRect(248, 136, 67, 25));
  EXPECT_EQ(wbInfo().place, wxRect(32, 64, 281, 65));
  EXPECT_EQ(wbInfo().parent, &fm);
  // Tab order is creation order: the bar, then Update Now, then Close.
  const wxWindowList& children = fm.GetChildren();
  ASSERT_GE(children.size(), 4u);
  EXPECT_EQ(children[1], fm.pgDownload);
  EXPECT_EQ(children[2], fm.btUpdate);
  EXPECT_EQ(children[3], fm.Button1);
}

TEST_F(UpdatesTest, ReportsMoveTheBarAndOnlyTheFinalOneInstalls) {
  openWithUpdates();
  fmUpdate->NewStamp = "abc";
  const struct {
    uint32_t progress, max;
    DownloadStage stage;
    int range, value;
  } reports[] = {
      {0, 0, DownloadStage::Connecting, 0, 0},
      {100, 400, DownloadStage::Receiving, 400, 100},
      {400, 400, DownloadStage::Receiving, 400, 400},  // all bytes read, file not yet in place
      {500, 400, DownloadStage::Receiving, 400, 400},
      {4000000000u, 4000000000u, DownloadStage::Receiving, 2000000000, 2000000000},
  };
  for (const auto& r : reports) {
    bool cancel = false;
    fmUpdate->downloadProgress(nullptr, r.progress, r.max, static_cast<uint32_t>(r.stage), "", cancel);
    EXPECT_EQ(fmUpdate->pgDownload->GetRange(), r.range) << r.progress;
    EXPECT_EQ(fmUpdate->pgDownload->GetValue(), r.value) << r.progress;
    EXPECT_FALSE(cancel);
  }
  EXPECT_EQ(readFile(configPath()), "stamp1\r\n");
  EXPECT_TRUE(wbInfo().navigations.empty());
}

TEST_F(UpdatesTest, CompletedDownloadRecordsTheStampAndAsksForTheInstallEveryTime) {
  openWithUpdates();
  writeConfig("old stamp\r\nsecond line\r\n");
  for (const std::string stamp : {"abc", ""}) {
    SCOPED_TRACE("stamp \"" + stamp + "\"");
    fmUpdate->NewStamp = stamp;
    whileShownModally([] { click(fmUpdate->btUpdate); });
    EXPECT_EQ(readFile(packagePath()), remote.package) << "the update/ folder is created";
    EXPECT_EQ(readFile(configPath()), stamp + "\r\n");
    EXPECT_EQ(fmUpdate->pgDownload->GetRange(), static_cast<int>(remote.package.size()));
    EXPECT_EQ(fmUpdate->pgDownload->GetValue(), static_cast<int>(remote.package.size()));
  }
  EXPECT_EQ(remote.count("/update/update.zip"), 2);
  EXPECT_EQ(wbInfo().navigations, (std::vector<std::string>{installUrl(), installUrl()}));
  EXPECT_EQ(window().ContentStamp, "stamp1") << "takes effect at the next start";
  EXPECT_TRUE(doubles.boxes.empty());
}

struct DownloadFailure {
  const char* name;
  PackageMode mode;
  bool refused;
};

void PrintTo(const DownloadFailure& c, std::ostream* out) { *out << c.name; }

class FailedUpdateTest : public UpdatesTest, public ::testing::WithParamInterface<DownloadFailure> {};

TEST_P(FailedUpdateTest, LeavesConfigAndPackageAloneAndSendsNoInstall) {
  if (GetParam().refused) doubles.remoteBase = "http://127.0.0.1:" + std::to_string(unusedLoopbackPort()) + "/";
  remote.packageMode = GetParam().mode;
  openWithUpdates();
  fs::create_directories(packagePath().parent_path());
  std::ofstream(packagePath(), std::ios::binary) << "previous package";
  fmUpdate->NewStamp = "new";
  fmUpdate->downloadSettings.stallLimit = 1s;
  fmUpdate->Show();

  EXPECT_THROW(fmUpdate->btUpdateClick(), DownloadError) << "dropped by the application's handler";
  EXPECT_EQ(readFile(configPath()), "stamp1\r\n");
  EXPECT_EQ(readFile(packagePath()), "previous package");
  EXPECT_TRUE(wbInfo().navigations.empty());
  EXPECT_TRUE(doubles.boxes.empty());
  EXPECT_TRUE(fmUpdate->IsShown()) << "the user can try again or close";
  EXPECT_FALSE(fmUpdate->downloading());
}

INSTANTIATE_TEST_SUITE_P(Failures, FailedUpdateTest,
                         ::testing::Values(DownloadFailure{"NotFound", PackageMode::Missing, false},
                                           DownloadFailure{"Refused", PackageMode::Whole, true},
                                           DownloadFailure{"CutShort", PackageMode::CutShort, false},
                                           DownloadFailure{"Stalled", PackageMode::Stalled, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdatesTest, ConfigThatCannotBeWrittenSendsNoInstall) {
  openWithUpdates();
  fs::create_directories(configPath() + ".tmp");  // where the new file would be written
  fmUpdate->NewStamp = "new";
  EXPECT_THROW(fmUpdate->btUpdateClick(), FileError);
  EXPECT_EQ(readFile(configPath()), "stamp1\r\n");
  EXPECT_TRUE(wbInfo().navigations.empty());
}

TEST_F(UpdatesTest, WindowRespondsDuringTheDownloadButIgnoresUpdateNowAndClose) {
  remote.packageMode = PackageMode::Gated;  // half the package, then the rest once let through
  openWithUpdates();
  fmUpdate->NewStamp = "abc";
  fmUpdate->Show();
  bool clickedDuringTransfer = false;
  // A timer that fires inside the download's event loop; it waits until the bar shows part of
  // the package, clicks both buttons and tries to close, then lets the rest through.
  wxTimer poll;
  poll.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
    if (fmUpdate->pgDownload->GetValue() == 0 && fmUpdate->downloading()) {
      poll.StartOnce(10);
      return;
    }
    clickedDuringTransfer = fmUpdate->downloading();
    EXPECT_GT(fmUpdate->pgDownload->GetValue(), 0);
    EXPECT_LT(fmUpdate->pgDownload->GetValue(), fmUpdate->pgDownload->GetRange());
    click(fmUpdate->btUpdate);
    click(fmUpdate->Button1);
    fmUpdate->Close();
    EXPECT_TRUE(fmUpdate->IsShown());
    remote.openGate();
  });
  poll.StartOnce(10);
  click(fmUpdate->btUpdate);

  EXPECT_TRUE(clickedDuringTransfer);
  EXPECT_EQ(remote.count("/update/update.zip"), 1) << "the second Update Now started nothing";
  EXPECT_EQ(readFile(configPath()), "abc\r\n");
  EXPECT_EQ(wbInfo().navigations, std::vector<std::string>{installUrl()});
  EXPECT_TRUE(fmUpdate->IsShown());

  // Once it has ended, Close hides the window and the bar keeps its last report.
  click(fmUpdate->Button1);
  EXPECT_FALSE(fmUpdate->IsShown());
  fmUpdate->Show();
  EXPECT_EQ(fmUpdate->pgDownload->GetValue(), static_cast<int>(remote.package.size()));
}

}  // namespace
}  // namespace zephra::test

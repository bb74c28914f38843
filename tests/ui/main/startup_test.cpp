// The start-up sequence run while the main window is created, on test doubles.
#include <chrono>
#include <ctime>
#include <filesystem>
#include <ostream>

#include <gtest/gtest.h>
#include <wx/checkbox.h>
#include <wx/menu.h>

#include "common/zephra_constants.h"
#include "player_logic/service_addresses.h"
#include "tests/ui/main/main_window_doubles.h"
#include "ui/controls/ImageButton.h"
#include "ui/controls/XTrakBar.h"

namespace zephra::test {
namespace {

using std::chrono::milliseconds;

const std::string kDirectoryAtStart = localBaseAddress() + "query.php?code=&fav=0";

TEST_F(MainWindowTest, ServerWindowPresentStartsNothingAndAsksForTheDirectoryAtOnce) {
  doubles.serverWindowPresent = true;
  TfrmMain& frm = open();

  EXPECT_EQ(doubles.searchedTitles, std::vector<std::string>{kLocalServerWindowTitle});
  EXPECT_TRUE(doubles.startedScripts.empty());
  EXPECT_FALSE(frm.ServerReady) << "the wait timer must not have run";
  EXPECT_FALSE(frm.tmrWait.IsRunning());
  EXPECT_EQ(wbApp().navigations, std::vector<std::string>{kDirectoryAtStart});
  EXPECT_FALSE(frm.IsShown()) << "the window shows only once the message loop runs";
}

TEST_F(MainWindowTest, ServerWindowAbsentStartsTheScriptFromLibAndWaitsBeforeTheDirectory) {
  doubles.serverWindowPresent = false;
  const std::clock_t cpuBefore = std::clock();
  TfrmMain& frm = open();
  const double cpuSeconds = static_cast<double>(std::clock() - cpuBefore) / CLOCKS_PER_SEC;

  ASSERT_EQ(doubles.startedScripts.size(), 1u);
  EXPECT_EQ(doubles.startedScripts[0].first, doubles.appDir + "lib/serv.sh");
  EXPECT_EQ(doubles.startedScripts[0].second, doubles.appDir + "lib/");
  EXPECT_TRUE(frm.ServerReady);
  EXPECT_FALSE(frm.tmrWait.IsRunning()) << "the timer disables itself";
  ASSERT_EQ(wbApp().navigations, std::vector<std::string>{kDirectoryAtStart});
  const auto waited = std::chrono::duration_cast<milliseconds>(wbApp().navigatedAt[0] - doubles.scriptStartedAt);
  EXPECT_GE(waited.count(), 3000);
  // Spinning through the 3 s wait would cost 3 s of processor time; opening the window costs a
  // fraction of one, more in the sanitizer build.
  EXPECT_LT(cpuSeconds, 2.0) << "the wait blocks on the event loop instead of spinning";
  EXPECT_FALSE(frm.IsShown());
}

TEST_F(MainWindowTest, AccountCodeEntersTheDirectoryAddress) {
  doubles.accountCode = "u-42";
  open();
  EXPECT_EQ(wbApp().navigations, std::vector<std::string>{localBaseAddress() + "query.php?code=u-42&fav=0"});
  EXPECT_EQ(window().AccountCode, "u-42");
}

TEST_F(MainWindowTest, UnreadableAccountCodeMeansNoneAndStartUpGoesOn) {
  doubles.accountCodeThrows = true;
  open();
  EXPECT_EQ(window().AccountCode, "");
  EXPECT_EQ(wbApp().navigations, std::vector<std::string>{kDirectoryAtStart});
  EXPECT_TRUE(doubles.boxes.empty());
  EXPECT_TRUE(window().ignoreExceptionInstalled());
}

TEST_F(MainWindowTest, BaseAddressesAndAppDirAreFixed) {
  TfrmMain& frm = open();
  EXPECT_EQ(frm.AppDir, doubles.appDir);
  EXPECT_EQ(frm.RemoteBase, "http://remote.test/");
  EXPECT_EQ(frm.LocalBase, localBaseAddress());
  EXPECT_EQ(frm.CurrentUrl, "");
}

struct StampCase {
  const char* name;
  std::string content;
  std::string stamp;
};

void PrintTo(const StampCase& c, std::ostream* out) { *out << c.name; }

class ContentStampStartTest : public MainWindowTest, public ::testing::WithParamInterface<StampCase> {};

TEST_P(ContentStampStartTest, FirstLineOfConfigIniGoesIntoTheUpdateCheck) {
  writeConfig(GetParam().content);
  open();
  EXPECT_EQ(window().ContentStamp, GetParam().stamp);
  EXPECT_EQ(wbUpdate().navigations, std::vector<std::string>{"http://remote.test/update.php?t=" + GetParam().stamp});
  EXPECT_TRUE(doubles.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Stamps, ContentStampStartTest,
                         ::testing::Values(StampCase{"CrLfAndSecondLine", "abc\r\nsecond", "abc"},
                                           StampCase{"Empty", "", ""},
                                           StampCase{"NoLineEnd", "7f3e", "7f3e"},
                                           StampCase{"Verbatim", " a&b #c \n", " a&b #c "}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, CompleteSequenceLeavesTheDirectoryViewWithPlaybackOff) {
  doubles.playerVolume = 37;
  TfrmMain& frm = open();

  EXPECT_TRUE(doubles.boxes.empty());
  EXPECT_FALSE(frm.tabPlayer->IsShown());
  EXPECT_TRUE(frm.tabBrowser->IsShown());
  EXPECT_TRUE(frm.cbFav->IsShown());
  EXPECT_FALSE(frm.tbVolume->IsShown());
  EXPECT_EQ(frm.tbVolume->position(), 37);
  for (wxMenuItem* item : {frm.mnuPlay, frm.mnuPause, frm.mnuStop, frm.mnuReport, frm.mnuFullscreen, frm.mnuAddFav})
    EXPECT_FALSE(item->IsEnabled()) << item->GetItemLabelText();
  for (wxMenuItem* item : {frm.Exit1, frm.mnuOrgFav, frm.Help2, frm.About1})
    EXPECT_TRUE(item->IsEnabled()) << item->GetItemLabelText();
  for (auto* button : {frm.imPlay.get(), frm.imFullScreen.get(), frm.imStop.get(), frm.imSound.get(), frm.imgSound.get()})
    EXPECT_FALSE(button->visible());
  EXPECT_TRUE(frm.imTabBrowser->visible());
  EXPECT_TRUE(frm.imTabPlayer->visible());
  EXPECT_TRUE(frm.mouseFilterInstalled());
  EXPECT_EQ(doubles.filterInstalls, 1);
  EXPECT_TRUE(frm.ignoreExceptionInstalled());
  EXPECT_FALSE(frm.PlayIsShown);
}

TEST_F(MainWindowTest, EveryButtonGetsItsPicturesAndActiveState) {
  TfrmMain& frm = open();
  struct Expected {
    TImageButton* button;
    const char* off;
    const char* on;
    const char* hover;
    bool active;
  };
  const Expected table[] = {
      {frm.imTabBrowser.get(), "btChanOff.bmp", "btChanOff.bmp", "btChanOn.bmp", true},
      {frm.imTabPlayer.get(), "btPlayerOff.bmp", "btPlayerOff.bmp", "btPlayerOn.bmp", true},
      {frm.imPlay.get(), "btPauseOff.bmp", "btPauseOff.bmp", "btPauseOn.bmp", false},
      {frm.imFullScreen.get(), "btFullOff.bmp", "btFullOff.bmp", "btFullOn.bmp", false},
      {frm.imStop.get(), "btStopOff.bmp", "btStopOff.bmp", "btStopOn.bmp", false},
      {frm.imSound.get(), "btSoundOff.bmp", "btSoundOn.bmp", "btSoundHover.bmp", true},
      {frm.imgSound.get(), "sound.jpg", "sound.jpg", "sound.jpg", true},
  };
  for (const Expected& e : table) {
    SCOPED_TRACE(e.off);
    EXPECT_EQ(e.button->ImageOff, e.off);
    EXPECT_EQ(e.button->ImageOn, e.on);
    EXPECT_EQ(e.button->ImageHover, e.hover);
    EXPECT_EQ(e.button->Active, e.active);
    EXPECT_EQ(e.button->ToggleState, 0);
    EXPECT_EQ(e.button->shownFile(), e.off) << "state 0 picture loaded";
  }
}

TEST_F(MainWindowTest, MuteOnAtStartPutsTheSoundButtonInState1) {
  doubles.playerMuted = true;
  TfrmMain& frm = open();
  EXPECT_EQ(frm.imSound->ToggleState, 1);
  EXPECT_EQ(frm.imSound->shownFile(), "btSoundOn.bmp");
}

// The engine's start waits until the first directory page is in, and then for the thread to be
// free; a failure there is left for the first play to meet.
TEST_F(MainWindowTest, ThePlayerIsPreparedOnceWhenTheFirstDirectoryPageIsIn) {
  for (const bool fails : {false, true}) {
    SCOPED_TRACE(fails);
    TfrmMain& frm = open();
    player().failOn = fails ? "prepare" : "";
    EXPECT_EQ(player().prepares, 0) << "not during the start-up";
    wbApp().onDocumentComplete();
    EXPECT_EQ(player().prepares, 0) << "not inside the page's event";
    wxTheApp->ProcessPendingEvents();
    EXPECT_EQ(player().prepares, 1);
    wbApp().onDocumentComplete();
    wxTheApp->ProcessPendingEvents();
    EXPECT_EQ(player().prepares, 1) << "once";
    EXPECT_TRUE(player().calls.empty());
    EXPECT_TRUE(doubles.boxes.empty());
    EXPECT_EQ(frm.imTabBrowser->shownFile(), "btChanOff.bmp");
  }
}

TEST_F(MainWindowTest, MissingConfigIniShowsTheReportAndLeavesTheHalfInitialisedWindow) {
  std::filesystem::remove(configPath());
  TfrmMain& frm = open();

  ASSERT_EQ(doubles.boxes.size(), 1u);
  EXPECT_EQ(doubles.boxes[0].text, "File not found.");
  EXPECT_EQ(doubles.boxes[0].caption, "Zephra Player");
  EXPECT_EQ(doubles.boxes[0].style, wxOK | wxICON_ERROR);

  EXPECT_EQ(wbApp().navigations, std::vector<std::string>{kDirectoryAtStart}) << "directory still loaded";
  EXPECT_TRUE(wbUpdate().navigations.empty()) << "no update check";
  EXPECT_FALSE(frm.tabPlayer->IsShown());
  for (wxMenuItem* item : {frm.mnuPlay, frm.mnuPause, frm.mnuStop, frm.mnuReport, frm.mnuFullscreen, frm.mnuAddFav})
    EXPECT_TRUE(item->IsEnabled()) << item->GetItemLabelText();
  EXPECT_TRUE(frm.tbVolume->IsShown());
  EXPECT_EQ(frm.tbVolume->position(), 0);
  for (auto* button : {frm.imPlay.get(), frm.imFullScreen.get(), frm.imStop.get(), frm.imSound.get(), frm.imgSound.get(),
                       frm.imTabBrowser.get(), frm.imTabPlayer.get()}) {
    EXPECT_TRUE(button->visible());
    EXPECT_TRUE(button->Active);
    EXPECT_EQ(button->shownFile(), "");
  }
  EXPECT_FALSE(frm.mouseFilterInstalled());
  EXPECT_EQ(doubles.filterInstalls, 0);
  EXPECT_FALSE(frm.ignoreExceptionInstalled());

  // Without the application-wide handler a later stray error is reported, not dropped.
  frm.handleEscapedError(std::make_exception_ptr(std::runtime_error("Access violation")));
  ASSERT_EQ(doubles.boxes.size(), 2u);
  EXPECT_EQ(doubles.boxes[1].text, "Access violation.");
}

TEST_F(MainWindowTest, PlayerErrorBeforeTheHandlerIsReportedAndEndsTheSequence) {
  doubles.playerReadsFail = true;  // the volume bar's position is read from the player
  TfrmMain& frm = open();
  ASSERT_EQ(doubles.boxes.size(), 1u);
  EXPECT_EQ(doubles.boxes[0].text, "player gone.");
  EXPECT_TRUE(frm.mouseFilterInstalled()) << "the mouse filter comes before the volume read";
  EXPECT_FALSE(frm.ignoreExceptionInstalled());
  EXPECT_EQ(frm.imTabBrowser->shownFile(), "");
}

TEST_F(MainWindowTest, AWindowThatCannotBeBuiltLeavesNoMainWindowBehind) {
  doubles.playerCreationFails = true;
  EXPECT_THROW(open(), MediaPlayerError);
  // The program reports that error through the main window while there is one: a dangling
  // pointer here would be used at once.
  EXPECT_EQ(frmMain, nullptr);
}

TEST_F(MainWindowTest, MissingPictureEndsTheSequenceSilentlyAtThatButton) {
  std::filesystem::remove(picturesDir() / "btStopOff.bmp");
  TfrmMain& frm = open();

  EXPECT_TRUE(doubles.boxes.empty()) << "dropped after the handler was installed";
  EXPECT_EQ(frm.imTabBrowser->shownFile(), "btChanOff.bmp");
  EXPECT_EQ(frm.imPlay->shownFile(), "btPauseOff.bmp");
  EXPECT_EQ(frm.imFullScreen->shownFile(), "btFullOff.bmp");
  EXPECT_EQ(frm.imStop->shownFile(), "");
  EXPECT_EQ(frm.imSound->shownFile(), "");
  EXPECT_EQ(frm.imSound->ImageOff, "") << "later steps are not made";
  EXPECT_EQ(frm.imgSound->shownFile(), "");
}

TEST_F(MainWindowTest, PicturesAreLookedUpInTheCurrentFolderNotInAppDir) {
  std::filesystem::current_path(doubles.appDir);  // holds config.ini but no pictures
  TfrmMain& frm = open();
  EXPECT_TRUE(doubles.boxes.empty());
  EXPECT_EQ(frm.imTabBrowser->shownFile(), "");
  EXPECT_EQ(frm.imTabPlayer->ImageOff, "") << "the sequence ended at the first picture";
  EXPECT_TRUE(frm.ignoreExceptionInstalled());
}

TEST_F(MainWindowTest, RefusedOrFailingMouseFilterDoesNotStopStartUp) {
  for (bool throws : {false, true}) {
    SCOPED_TRACE(throws ? "throws" : "refused");
    doubles.filterInstallResult = false;
    doubles.filterInstallThrows = throws;
    TfrmMain& frm = open();
    EXPECT_FALSE(frm.mouseFilterInstalled());
    EXPECT_TRUE(frm.ignoreExceptionInstalled());
    EXPECT_EQ(frm.imgSound->shownFile(), "sound.jpg");
    EXPECT_TRUE(doubles.boxes.empty());
    closeWindow();
    EXPECT_EQ(doubles.filterRemovals, 0) << "nothing to remove";
  }
}

struct ReportCase {
  const char* name;
  std::string message;
  std::string shown;
};

void PrintTo(const ReportCase& c, std::ostream* out) { *out << c.name; }

class DefaultErrorReportTextTest : public ::testing::TestWithParam<ReportCase> {};

TEST_P(DefaultErrorReportTextTest, AppendsAFullStopOnlyAfterBytesAboveIt) {
  EXPECT_EQ(defaultErrorReportText(GetParam().message), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Texts, DefaultErrorReportTextTest,
                         ::testing::Values(ReportCase{"Letter", "File not found", "File not found."},
                                           ReportCase{"Empty", "", ""},
                                           ReportCase{"FullStop", "Done.", "Done."},
                                           ReportCase{"Exclamation", "Really!", "Really!"},
                                           ReportCase{"Hyphen", "a-", "a-"},
                                           ReportCase{"Slash", "a/", "a/."},
                                           ReportCase{"Digit", "code 7", "code 7."},
                                           ReportCase{"Multibyte", "caf\xc3\xa9", "caf\xc3\xa9."}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zephra::test

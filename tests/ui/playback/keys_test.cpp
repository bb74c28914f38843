// Keyboard keys of the player view.
#include <gtest/gtest.h>
#include <wx/defs.h>

#include <cstdlib>
#include <filesystem>

#include "tests/support/temp_dir.h"
#include "tests/ui/playback/playback_fixture.h"
#include "ui/main/channel_zap.h"
#include "ui/main/player_keys.h"

namespace zephra::test {
namespace {

using Calls = std::vector<std::string>;

TEST(PlayerKeyCommand, MapsThePlayerKeysAndLeavesEverythingElse) {
  struct Case {
    int key;
    int modifiers;
    PlayerKeyCommand command;
  };
  const Case cases[] = {
      {WXK_SPACE, wxMOD_NONE, PlayerKeyCommand::PlayPause},
      {'F', wxMOD_NONE, PlayerKeyCommand::FullScreen},
      {'F', wxMOD_SHIFT, PlayerKeyCommand::FullScreen},
      {WXK_F11, wxMOD_NONE, PlayerKeyCommand::FullScreen},
      {WXK_ESCAPE, wxMOD_NONE, PlayerKeyCommand::LeaveFullScreen},
      {'M', wxMOD_NONE, PlayerKeyCommand::Mute},
      {WXK_PAGEDOWN, wxMOD_NONE, PlayerKeyCommand::NextChannel},
      {WXK_MEDIA_NEXT_TRACK, wxMOD_NONE, PlayerKeyCommand::NextChannel},
      {WXK_PAGEUP, wxMOD_SHIFT, PlayerKeyCommand::PreviousChannel},
      {WXK_MEDIA_PREV_TRACK, wxMOD_NONE, PlayerKeyCommand::PreviousChannel},
      {WXK_BACK, wxMOD_NONE, PlayerKeyCommand::LastChannel},
      {WXK_LEFT, wxMOD_NONE, PlayerKeyCommand::SeekBack},
      {WXK_DOWN, wxMOD_NONE, PlayerKeyCommand::SeekBack},
      {WXK_RIGHT, wxMOD_NONE, PlayerKeyCommand::SeekForward},
      {WXK_UP, wxMOD_NONE, PlayerKeyCommand::SeekForward},
      {WXK_END, wxMOD_NONE, PlayerKeyCommand::ReturnToLive},
      {'R', wxMOD_NONE, PlayerKeyCommand::Record},
      {'R', wxMOD_CONTROL, PlayerKeyCommand::None},
      {WXK_PAGEDOWN, wxMOD_CONTROL, PlayerKeyCommand::None},  // the toolkit's tab switching
      // Menu accelerators and shortcuts of other windows are never taken.
      {'F', wxMOD_ALT, PlayerKeyCommand::None},
      {'M', wxMOD_CONTROL, PlayerKeyCommand::None},
      {WXK_SPACE, wxMOD_META, PlayerKeyCommand::None},
      {'P', wxMOD_NONE, PlayerKeyCommand::None},
      {WXK_F10, wxMOD_NONE, PlayerKeyCommand::None},
      {WXK_RETURN, wxMOD_NONE, PlayerKeyCommand::None},
  };
  for (const Case& c : cases)
    EXPECT_EQ(playerKeyCommand(c.key, c.modifiers), c.command) << "key " << c.key << " modifiers " << c.modifiers;
}

TEST(ZapTarget, WrapsAndStartsAtAnEndForAChannelNotOnThePage) {
  const std::vector<std::string> page = {"a", "b", "c"};
  const struct {
    std::vector<std::string> values;
    const char* current;
    int step;
    std::optional<std::size_t> target;
  } cases[] = {
      {page, "a", +1, 1}, {page, "c", +1, 0}, {page, "a", -1, 2}, {page, "b", -1, 0},
      {page, "x", +1, 0}, {page, "x", -1, 2}, {page, "", +1, 0},
      {{"a"}, "a", +1, 0}, {{"a"}, "a", -1, 0},
      {{"a", "b", "a"}, "a", -1, 2},  // a channel listed twice: from its first place
      {{}, "a", +1, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(zapTarget(c.values, c.current, c.step), c.target) << c.current << c.step;
}

class KeysTest : public PlaybackTest {
 protected:
  // A key press as the frame receives it, before the focused control.
  bool press(int key, int modifiers = wxMOD_NONE) {
    wxKeyEvent event(wxEVT_CHAR_HOOK);
    event.m_keyCode = key;
    event.m_controlDown = modifiers & wxMOD_CONTROL;
    event.m_altDown = modifiers & wxMOD_ALT;
    event.m_shiftDown = modifiers & wxMOD_SHIFT;
    event.SetEventObject(&window());
    window().ProcessWindowEvent(event);
    return !event.GetSkipped();
  }
};

TEST_F(KeysTest, PlayingChannelAnswersEveryKeyLikeItsButton) {
  TfrmMain& frm = open();
  playingChannel();

  EXPECT_TRUE(press(WXK_SPACE));
  EXPECT_TRUE(frm.PlayIsShown);
  EXPECT_TRUE(press(WXK_SPACE));
  EXPECT_FALSE(frm.PlayIsShown);
  EXPECT_TRUE(press('M'));
  EXPECT_EQ(frm.imSound->ToggleState, 1);
  EXPECT_TRUE(press('M'));
  EXPECT_EQ(frm.imSound->ToggleState, 0);
  EXPECT_FALSE(press(WXK_ESCAPE)) << "not in full screen: Esc is someone else's";
  EXPECT_TRUE(press('F'));
  EXPECT_TRUE(press(WXK_ESCAPE));
  EXPECT_TRUE(press(WXK_F11));
  EXPECT_TRUE(press('F')) << "F again leaves full screen";
  EXPECT_EQ(player().calls, (Calls{"pause", "play", "setMute 1", "setMute 0", "setFullScreen 1", "setFullScreen 0",
                                   "setFullScreen 1", "setFullScreen 0"}));
}

TEST_F(KeysTest, PageKeysZapThroughThePageAndBackspaceGoesBack) {
  TfrmMain& frm = open();
  // What the page holds, in its order: a favorite link and a foreign link are not channels.
  wbApp().links = {{"http://127.0.0.1/query.php#1|http://s/a.ts", "A"},
                   {"http://127.0.0.1/query.php#2|17", "add"},
                   {"http://127.0.0.1/query.php#1|http://s/b.ts|User-Agent=x", "B"},
                   {"http://elsewhere/", "elsewhere"},
                   {"http://127.0.0.1/query.php#1|http://s/c.ts", "C"}};
  playingChannel("http://s/b.ts|User-Agent=x");
  const struct {
    int key;
    const char* plays;
    const char* status;
  } steps[] = {
      {WXK_PAGEDOWN, "http://s/c.ts", "C"},
      {WXK_PAGEDOWN, "http://s/a.ts", "A"},  // wraps at the end
      {WXK_PAGEUP, "http://s/c.ts", "C"},    // and at the start
      {WXK_BACK, "http://s/a.ts", "A"},
      {WXK_BACK, "http://s/c.ts", "C"},
      {WXK_PAGEUP, "http://s/b.ts|User-Agent=x", "B"},
  };
  for (const auto& step : steps) {
    player().calls.clear();
    EXPECT_TRUE(press(step.key)) << step.plays;
    EXPECT_EQ(frm.CurrentUrl, step.plays);
    EXPECT_EQ(player().calls, (Calls{"stop", std::string("setUrl ") + step.plays, "play"}));
    EXPECT_EQ(frm.statusText(), step.status);
    EXPECT_TRUE(frm.imStop->visible());
    EXPECT_EQ(wbApp().marked.back(), step.plays) << "the page marks the playing channel";
  }
  // The player's statuses name the channel until it plays.
  player().statusText = "Opening media...";
  frm.wmAppStatusChange();
  EXPECT_EQ(frm.statusText(), "B: Opening media...");
  player().statusText = "Playing";
  frm.wmAppStatusChange();
  EXPECT_EQ(frm.statusText(), "Playing");
  // A page without channels leaves the key to others.
  wbApp().links.clear();
  EXPECT_FALSE(press(WXK_PAGEDOWN));
}

// R records into the videos folder under the page's name for the channel, R again or another
// channel ends it with its finished name; names from the page cannot leave the folder.
TEST_F(KeysTest, RecordKeyWritesIntoTheVideosFolderUntilStoppedOrZapped) {
  TempDir home;
  const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  setenv("HOME", home.path().c_str(), 1);
  unsetenv("XDG_CONFIG_HOME");
  TfrmMain& frm = open();
  wbApp().links = {{"http://127.0.0.1/query.php#1|http://s/a.ts", "../News/24"},
                   {"http://127.0.0.1/query.php#1|http://s/b.ts", "B"}};
  playingChannel("http://s/a.ts");
  const auto folder = home.path() / "Videos" / "Zephra Player";
  const struct {
    int key;
    const char* call;
    size_t finished;  // files with their finished name afterwards
  } steps[] = {{'R', "startRecording", 0}, {'R', "stopRecording", 1}, {'R', "startRecording", 1},
               {WXK_PAGEDOWN, "stopRecording", 2}, {WXK_LEFT, "seekBy -10", 2}, {WXK_UP, "seekBy 60", 2},
               {WXK_END, "returnToLive", 2}};
  for (const auto& step : steps) {
    player().calls.clear();
    EXPECT_TRUE(press(step.key)) << step.call;
    ASSERT_FALSE(player().calls.empty()) << step.call;
    EXPECT_EQ(player().calls.front(), step.call);
    size_t finished = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      const std::string name = entry.path().filename().string();
      EXPECT_EQ(name.rfind("_News_24 ", name[0] == '.' ? 1 : 0), name[0] == '.' ? 1u : 0u) << name;
      finished += name[0] != '.';
    }
    EXPECT_EQ(finished, step.finished) << step.call;
  }
  EXPECT_EQ(frm.statusText().rfind("B", 0), 0u) << frm.statusText();
  EXPECT_EQ(player().cornerText, "");
  player().seekOutcome = SeekOutcome::NotSeekable;
  EXPECT_FALSE(press(WXK_RIGHT)) << "nothing to seek in: the key is someone else's";
  setenv("HOME", oldHome.c_str(), 1);
}

TEST_F(KeysTest, KeysOfUnusableControlsDoNothing) {
  TfrmMain& frm = open();
  frm.imTabPlayerClick(frm.imTabPlayer.get());  // player view, nothing played yet
  const std::string before = snapshot();
  EXPECT_FALSE(press(WXK_SPACE));
  EXPECT_FALSE(press('F'));
  EXPECT_FALSE(press(WXK_F11));
  EXPECT_FALSE(press(WXK_ESCAPE));
  EXPECT_EQ(snapshot(), before);
  // The mute button is usable from the start, so is its key.
  EXPECT_TRUE(press('M'));
  EXPECT_EQ(player().calls, Calls{"setMute 1"});
}

TEST_F(KeysTest, DirectoryViewKeepsItsKeysForThePage) {
  TfrmMain& frm = open();
  playingChannel();
  frm.imTabBrowserClick(frm.imTabBrowser.get());
  // Media arriving late shows buttons over the directory; typing in a page's search field must
  // still not pause, mute or go full screen.
  mediaChange();
  const std::string before = snapshot();
  for (int key : {int(WXK_SPACE), int('F'), int('M'), int(WXK_F11), int(WXK_ESCAPE)}) EXPECT_FALSE(press(key)) << key;
  EXPECT_EQ(snapshot(), before);
}

TEST_F(KeysTest, FullScreenKeyFollowsTheButtonOrTheMenuItem) {
  TfrmMain& frm = open();
  playingChannel();
  frm.mnuStopClick();  // the menu item goes, the button stays usable
  ASSERT_FALSE(frm.mnuFullscreen->IsEnabled());
  EXPECT_TRUE(press('F'));
  EXPECT_TRUE(press(WXK_ESCAPE));

  frm.mnuOrgFavClick();
  frm.mnuPlayClick();  // player view again, buttons still hidden, menu item enabled
  ASSERT_FALSE(frm.imFullScreen->visible());
  player().calls.clear();
  EXPECT_TRUE(press('F'));
  EXPECT_FALSE(press(WXK_SPACE)) << "the play/pause button is hidden";
  EXPECT_FALSE(press('M')) << "so is the mute button";
  EXPECT_EQ(player().calls, Calls{"setFullScreen 1"});
}

TEST_F(KeysTest, AltFIsLeftToTheMenu) {
  TfrmMain& frm = open();
  playingChannel();
  EXPECT_FALSE(press('F', wxMOD_ALT));
  EXPECT_FALSE(press(WXK_SPACE, wxMOD_CONTROL));
  EXPECT_TRUE(player().calls.empty());
  EXPECT_FALSE(frm.PlayIsShown);
}

}  // namespace
}  // namespace zephra::test

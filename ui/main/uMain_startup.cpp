// The start-up sequence, run while the main window is created (still hidden). Its order matters:
// an error ends it at that point (see handleEscapedError), so what has been set up stays and the
// rest does not happen, and the tests pin that order.
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/menu.h>

#include "common/zephra_constants.h"
#include "player_logic/content_stamp.h"
#include "player_logic/service_addresses.h"
#include "ui/controls/ImageButton.h"
#include "ui/controls/XTrakBar.h"
#include "ui/frames/uFrame.h"
#include "ui/main/play_button_pictures.h"
#include "ui/main/uMain.h"

namespace zephra {

void TfrmMain::FormCreate() {
  // A running local server shows a top-level window with its title; only without one do we start it.
  const bool serverFound = m_platform.findWindow(kLocalServerWindowTitle);
  AppDir = m_platform.appDir();
  // Start it and give it time to come up before the directory page asks it for anything.
  if (!serverFound) {
    try {
      m_platform.startScript(AppDir + "lib/serv.sh", AppDir + "lib/");
    } catch (...) {
      // Not examined: a server that does not come up shows as an unreachable directory page.
    }
    ServerReady = false;
    tmrWait.Start(m_platform.serverWaitMs);
    waitForServer();
  }
  RemoteBase = m_platform.loadRemoteBase(AppDir);
  // The window opens on the directory view.
  tabPlayer->Hide();
  // Never fails: any problem means no account code.
  try {
    AccountCode = m_platform.loadAccountCode();
  } catch (...) {
    AccountCode.clear();
  }
  LocalBase = localBaseAddress();
  // The server is up by now (or never will be): its secret, before the first page asks for it.
  // A browser or player that cannot take it costs the pages only, never the start.
  try {
    giveLocalServerCookie();
  } catch (...) {
  }
  // The whole directory, not filtered by favorites.
  wbApp().navigate(channelDirectoryUrl(LocalBase, AccountCode, "0"));
  // A missing config.ini throws here: the directory is already loading, but no update check is
  // sent and the controls below keep their construction state.
  readContentStamp();
  // The reply arrives later through wbUpdate.
  wbUpdate->navigate(updateCheckUrl(RemoteBase, ContentStamp));
  // Nothing is playing yet: no playback buttons, no volume bar, nothing to add to favorites.
  disableButton();
  mnuAddFav->Enable(false);
  tbVolume->Hide();
  // Without the filter the browsers merely show their context menu: not worth stopping for.
  try {
    m_mouseFilterInstalled = m_platform.installMouseFilter();
  } catch (...) {
  }
  // The engine's own volume setting; a player that cannot answer ends the sequence here, while
  // that error is still reported.
  tbVolume->setPosition(wmApp().volume());
  // From here on, errors escaping a handler are dropped.
  m_ignoreExceptionInstalled = true;
  tbVolume->setBackgroundBrush(wxColour(6, 6, 6));
  // Pictures by bare name from the current folder; one that cannot be loaded ends the sequence
  // silently at its button, so the buttons before it keep theirs.
  setButtonPictures(*imTabBrowser, "btChanOff.bmp", "btChanOff.bmp", "btChanOn.bmp");
  imTabBrowser->refreshImage();
  setButtonPictures(*imTabPlayer, "btPlayerOff.bmp", "btPlayerOff.bmp", "btPlayerOn.bmp");
  imTabPlayer->refreshImage();
  installPauseTriple(*imPlay);
  imPlay->Active = false;
  imPlay->refreshImage();
  PlayIsShown = false;
  setButtonPictures(*imFullScreen, "btFullOff.bmp", "btFullOff.bmp", "btFullOn.bmp");
  imFullScreen->Active = false;
  imFullScreen->refreshImage();
  setButtonPictures(*imStop, "btStopOff.bmp", "btStopOff.bmp", "btStopOn.bmp");
  imStop->Active = false;
  imStop->refreshImage();
  setButtonPictures(*imSound, "btSoundOff.bmp", "btSoundOn.bmp", "btSoundHover.bmp");
  imSound->ToggleState = 0;
  if (wmApp().mute()) imSound->ToggleState = 1;
  imSound->refreshImage();
  setButtonPictures(*imgSound, "sound.jpg", "sound.jpg", "sound.jpg");
  imgSound->refreshImage();
}

void TfrmMain::setButtonPictures(TImageButton& button, const char* off, const char* on, const char* hover) {
  button.ImageOff = off;
  button.ImageOn = on;
  button.ImageHover = hover;
}

// Processes events until tmrWaitTimer has run. Blocks on the event loop between passes instead of
// spinning: only the timer and system messages can arrive while the window is still hidden.
void TfrmMain::waitForServer() {
  wxGUIEventLoop loop;
  wxEventLoopActivator activate(&loop);
  while (!ServerReady) {
    loop.Dispatch();
    if (wxTheApp) wxTheApp->ProcessPendingEvents();
  }
}

void TfrmMain::tmrWaitTimer() {
  ServerReady = true;
  tmrWait.Stop();
}

void TfrmMain::readContentStamp() { ContentStamp = ::zephra::readContentStamp(AppDir + "config.ini"); }

}  // namespace zephra

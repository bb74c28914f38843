// The start-up sequence, run while the main window is created (still hidden).
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/menu.h>

#include "common/zephra_constants.h"
#include "services/content_stamp.h"
#include "services/service_addresses.h"
#include "ui/controls/ImageButton.h"
#include "ui/controls/XTrakBar.h"
#include "ui/frames/uFrame.h"
#include "ui/main/uMain.h"

namespace zephra {

void TfrmMain::FormCreate() {
  // 1. Is the local server already there?
  const bool serverFound = m_services.findWindow(kLocalServerWindowTitle);
  // 2.
  AppDir = m_services.appDir();
  // 3. Start it and give it time to come up.
  if (!serverFound) {
    try {
      m_services.startScript(AppDir + "lib/serv.sh", AppDir + "lib/");
    } catch (...) {
      // Not examined: a server that does not come up shows as an unreachable directory page.
    }
    ServerReady = false;
    tmrWait.Start(m_services.serverWaitMs);
    waitForServer();
  }
  // 4.
  RemoteBase = m_services.loadRemoteBase(AppDir);
  // 5.
  tabPlayer->Hide();
  // 6. Never fails: any problem means no account code.
  try {
    AccountCode = m_services.loadAccountCode();
  } catch (...) {
    AccountCode.clear();
  }
  // 7.
  LocalBase = localBaseAddress();
  // 8. The whole directory, not filtered by favorites.
  wbApp().navigate(channelDirectoryUrl(LocalBase, AccountCode, "0"));
  // 9.
  readContentStamp();
  // 10. The reply arrives later through wbUpdate.
  wbUpdate->navigate(updateCheckUrl(RemoteBase, ContentStamp));
  // 11.-13.
  disableButton();
  mnuAddFav->Enable(false);
  tbVolume->Hide();
  // 14. Without the filter the browsers merely show their context menu: not worth stopping for.
  try {
    m_mouseFilterInstalled = m_services.installMouseFilter();
  } catch (...) {
  }
  // 15.
  tbVolume->setPosition(wmApp().volume());
  // 16. From here on, errors escaping a handler are dropped.
  m_ignoreExceptionInstalled = true;
  // 17.
  tbVolume->setBackgroundBrush(wxColour(6, 6, 6));
  // 18.-25. Pictures by bare name from the current folder.
  setButtonPictures(*imTabBrowser, "btChanOff.bmp", "btChanOff.bmp", "btChanOn.bmp");
  imTabBrowser->refreshImage();
  setButtonPictures(*imTabPlayer, "btPlayerOff.bmp", "btPlayerOff.bmp", "btPlayerOn.bmp");
  imTabPlayer->refreshImage();
  setButtonPictures(*imPlay, "btPauseOff.bmp", "btPauseOff.bmp", "btPauseOn.bmp");
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

// Keyboard keys of the player view: Space, F/F11, Esc and M do what the matching button or menu
// item does, and only where that button or item could be used right now; Page Up/Down and
// Backspace zap (uMain_zap.cpp); the arrows and End move in time, R records (uMain_record.cpp).
#include <wx/event.h>
#include <wx/menuitem.h>

#include "ui/controls/ImageButton.h"
#include "ui/frames/uFrame.h"
#include "ui/main/player_keys.h"
#include "ui/main/uMain.h"

namespace zephra {

namespace {

// A press on the button itself: flips its state, reloads its picture and raises its click,
// exactly as the pointer would.
bool pressIfUsable(TImageButton& button) {
  if (!button.visible() || !button.enabled() || !button.Active) return false;
  button.leftButtonDown();
  return true;
}

}  // namespace

// The frame sees every key before the focused control does, so the keys work wherever the
// focus sits inside the player view.
void TfrmMain::bindKeys() {
  Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) {
    // An open menu sees the keys first on some toolkits but not on GTK: its arrows and Return
    // must still move in it, not in the picture.
    if (m_menusOpen > 0 || !playerKeyDown(event.GetKeyCode(), event.GetModifiers())) event.Skip();
  });
  Bind(wxEVT_MENU_OPEN, [this](wxMenuEvent& event) {
    event.Skip();
    if (!event.IsPopup()) ++m_menusOpen;
  });
  Bind(wxEVT_MENU_CLOSE, [this](wxMenuEvent& event) {
    event.Skip();
    if (!event.IsPopup() && m_menusOpen > 0) --m_menusOpen;
  });
  // A key reaches the frame only through a focused control. A link click leaves the focus in
  // the directory's browser, which the player view then hides, and the toolkit drops it with
  // nowhere to go: give it to the player view, unless someone else holds it.
  Bind(wxEVT_IDLE, [this](wxIdleEvent& event) {
    event.Skip();
    if (IsActive() && tabPlayer->IsShown() && !wxWindow::FindFocus()) tabPlayer->SetFocus();
  });
}

bool TfrmMain::playerKeyDown(int keyCode, int modifiers) {
  const PlayerKeyCommand command = playerKeyCommand(keyCode, modifiers);
  if (command == PlayerKeyCommand::None) return false;
  // In the directory view the keys belong to the page: a search field must get its "f" and " ".
  if (!tabPlayer->IsShown()) return false;
  switch (command) {
    case PlayerKeyCommand::PlayPause:
      return pressIfUsable(*imPlay);
    case PlayerKeyCommand::FullScreen:
      if (wmApp().fullScreen()) {
        wmApp().setFullScreen(false);
        return true;
      }
      if (pressIfUsable(*imFullScreen)) return true;
      if (!mnuFullscreen->IsEnabled()) return false;
      mnuFullscreenClick();
      return true;
    case PlayerKeyCommand::LeaveFullScreen:
      if (!wmApp().fullScreen()) return false;
      wmApp().setFullScreen(false);
      return true;
    case PlayerKeyCommand::Mute:
      return pressIfUsable(*imSound);
    case PlayerKeyCommand::NextChannel:
      return zapChannel(+1);
    case PlayerKeyCommand::PreviousChannel:
      return zapChannel(-1);
    case PlayerKeyCommand::LastChannel:
      return playLastChannel();
    case PlayerKeyCommand::SeekBack:
    case PlayerKeyCommand::SeekForward:
      return seekPlayer(seekSeconds(keyCode));
    case PlayerKeyCommand::ReturnToLive:
      return wmApp().returnToLive();
    case PlayerKeyCommand::Record:
      return toggleRecording();
    case PlayerKeyCommand::None:
      break;
  }
  return false;
}

}  // namespace zephra

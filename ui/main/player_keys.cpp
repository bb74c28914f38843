#include "ui/main/player_keys.h"

#include <wx/defs.h>

namespace zephra {

PlayerKeyCommand playerKeyCommand(int keyCode, int modifiers) {
  if (modifiers & (wxMOD_CONTROL | wxMOD_ALT | wxMOD_META)) return PlayerKeyCommand::None;
  switch (keyCode) {
    case WXK_SPACE:
      return PlayerKeyCommand::PlayPause;
    case 'F':
    case 'f':
    case WXK_F11:
      return PlayerKeyCommand::FullScreen;
    case WXK_ESCAPE:
      return PlayerKeyCommand::LeaveFullScreen;
    case 'M':
    case 'm':
      return PlayerKeyCommand::Mute;
    case WXK_PAGEDOWN:
    case WXK_NUMPAD_PAGEDOWN:
    case WXK_MEDIA_NEXT_TRACK:
      return PlayerKeyCommand::NextChannel;
    case WXK_PAGEUP:
    case WXK_NUMPAD_PAGEUP:
    case WXK_MEDIA_PREV_TRACK:
      return PlayerKeyCommand::PreviousChannel;
    case WXK_BACK:
      return PlayerKeyCommand::LastChannel;
    case WXK_LEFT:
    case WXK_NUMPAD_LEFT:
    case WXK_DOWN:
    case WXK_NUMPAD_DOWN:
      return PlayerKeyCommand::SeekBack;
    case WXK_RIGHT:
    case WXK_NUMPAD_RIGHT:
    case WXK_UP:
    case WXK_NUMPAD_UP:
      return PlayerKeyCommand::SeekForward;
    case WXK_END:
    case WXK_NUMPAD_END:
      return PlayerKeyCommand::ReturnToLive;
    case 'R':
    case 'r':
      return PlayerKeyCommand::Record;
    default:
      return PlayerKeyCommand::None;
  }
}

int seekSeconds(int keyCode) {
  switch (keyCode) {
    case WXK_LEFT:
    case WXK_NUMPAD_LEFT:
      return -10;
    case WXK_RIGHT:
    case WXK_NUMPAD_RIGHT:
      return 10;
    case WXK_DOWN:
    case WXK_NUMPAD_DOWN:
      return -60;
    case WXK_UP:
    case WXK_NUMPAD_UP:
      return 60;
    default:
      return 0;
  }
}

}  // namespace zephra

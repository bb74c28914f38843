// The keyboard keys a player's users expect: which command a key press asks for. Whether the
// command may run is the window's business (the matching button or menu item must be usable).
#pragma once

namespace zephra {

enum class PlayerKeyCommand {
  None,
  PlayPause,        // Space
  FullScreen,       // F or F11: enters full screen, or leaves it when already there
  LeaveFullScreen,  // Esc
  Mute,             // M
  NextChannel,      // Page Down, or the media key for the next track / channel down
  PreviousChannel,  // Page Up, or the media key for the previous track / channel up
  LastChannel,      // Backspace: the channel played before this one
  SeekBack,         // Left: 10 s back; Down: 60 s back
  SeekForward,      // Right: 10 s on; Up: 60 s on
  ReturnToLive,     // End: a live channel played behind its edge goes back to it
  Record,           // R: starts recording the channel, or stops it
};

// How far SeekBack and SeekForward go for `keyCode`, in seconds (negative: back); 0 for other keys.
int seekSeconds(int keyCode);

// `keyCode` is a wx key code (letters arrive upper case), `modifiers` a wx modifier mask.
// Presses with Ctrl, Alt or Meta are never ours: Alt+F opens the File menu, for one.
PlayerKeyCommand playerKeyCommand(int keyCode, int modifiers);

}  // namespace zephra

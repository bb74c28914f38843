// TFrame1: the player view, a frame whose media player wmApp fills it.
#pragma once

#include <functional>
#include <memory>

#include <wx/panel.h>

#include "platform/media_player.h"

namespace zephra {

class TFrame1 : public wxPanel {
 public:
  using PlayerFactory = std::function<std::unique_ptr<MediaPlayer>(wxWindow* parent)>;

  TFrame1(wxWindow* parent, int left, int top, int width, int height, const PlayerFactory& createPlayer);
  ~TFrame1() override;

  std::unique_ptr<MediaPlayer> wmApp;

  // The player's status text changed: hands it to the main window's status bar.
  void wmAppStatusChange();
};

}  // namespace zephra

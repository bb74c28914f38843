// Playing a channel and the playback commands.
//
// Every player call may throw MediaPlayerError; it ends the handler at that step and the steps
// already done stay done (the application's error policy decides what the user sees).
#include <wx/checkbox.h>
#include <wx/menuitem.h>

#include "ui/controls/ImageButton.h"
#include "ui/controls/XTrakBar.h"
#include "ui/controls/graphic_picture.h"
#include "ui/frames/uFrame.h"
#include "ui/frames/uFrame2.h"
#include "ui/main/play_button_pictures.h"
#include "ui/main/uMain.h"

namespace zephra {

void TfrmMain::playChannel(const std::string& url) {
  endRecording();
  showPlayerView();
  if (url != CurrentUrl) PreviousUrl = CurrentUrl;
  CurrentUrl = url;
  m_openingName.clear();
  lbStatus->show();
  mnuReport->Enable(true);
  cbFav->Hide();
  tbVolume->Show();
  // No clicks until the player has opened the new media.
  imPlay->setEnabled(false);
  PlayIsShown = false;
  installPauseTriple(*imPlay);
  imPlay->refreshImage();
  imPlay->show();
  MediaPlayer& player = wmApp();
  notePlayStarted();
  player.stop();
  player.setUrl(CurrentUrl);
  player.play();
  markPlayingChannel();
}

// Deliberately leaves the view alone: new media may arrive while the directory is shown.
void TfrmMain::tabPlayerwmAppMediaChange() {
  notePlayOutcome(true);
  enableButton();
  mnuAddFav->Enable(true);
  imPlay->setEnabled(true);
  imPlay->Active = true;
  imStop->Active = true;
  imFullScreen->Active = true;
}

void TfrmMain::wmAppStatusChange() {
  const std::string status = wmApp().status();
  notePlayOutcome(false);
  if (status.rfind("Playing", 0) == 0) m_openingName.clear();
  setStatusText(m_openingName.empty() ? status : m_openingName + ": " + status);
}

void TfrmMain::imPlayClick(TImageButton*) {
  // As choosing the menu item: nothing runs while the item is disabled.
  if (!PlayIsShown) {
    if (mnuPause->IsEnabled()) mnuPauseClick();
    PlayIsShown = true;
    installPlayTriple(*imPlay);
  } else {
    if (mnuPlay->IsEnabled()) mnuPlayClick();
    PlayIsShown = false;
    installPauseTriple(*imPlay);
  }
  imPlay->refreshImage();
}

void TfrmMain::imStopClick(TImageButton*) {
  showPlayerView();
  cbFav->Hide();
  wmApp().stop();
  mnuFullscreen->Enable(false);
  PlayIsShown = true;
  installPlayTriple(*imPlay);
  imPlay->refreshImage();
}

void TfrmMain::imFullScreenClick(TImageButton*) { mnuFullscreenClick(); }

// Both mute buttons read imSound: the speaker picture only repeats what imSound shows.
void TfrmMain::imSoundClick(TImageButton*) { wmApp().setMute(imSound->ToggleState != 0); }

void TfrmMain::mnuPlayClick() {
  showPlayerView();
  cbFav->Hide();
  imgSound->show();
  tbVolume->Show();
  mnuFullscreen->Enable(true);
  wmApp().play();
}

void TfrmMain::mnuPauseClick() {
  showPlayerView();
  cbFav->Hide();
  mnuFullscreen->Enable(false);
  wmApp().pause();
}

void TfrmMain::mnuStopClick() {
  showPlayerView();
  cbFav->Hide();
  wmApp().stop();
  mnuFullscreen->Enable(false);
}

void TfrmMain::mnuFullscreenClick() {
  showPlayerView();
  wmApp().setFullScreen(true);
}

void TfrmMain::preparePlayerWhenIdle() {
  if (m_playerPrepareQueued) return;
  m_playerPrepareQueued = true;
  // After the page's own event: the page is shown before the engine's start holds up the thread.
  CallAfter([this] {
    try {
      wmApp().prepare();
    } catch (...) {
      // Only a head start: the first play starts the engine again and reports what fails then.
    }
  });
}

// Moving the bar also unmutes: a bar that moved while the sound stayed off would leave imSound
// showing "sound on" over a muted player.
void TfrmMain::tbVolumeChange() {
  MediaPlayer& player = wmApp();
  player.setVolume(tbVolume->position());
  player.setMute(false);
  imSound->ToggleState = 0;
  imSound->refreshImage();
}

}  // namespace zephra

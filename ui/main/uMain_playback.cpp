// Playing a channel and the playback commands.
#include "ui/main/uMain.h"

namespace zephra {

void TfrmMain::playChannel(const std::string&) {}
void TfrmMain::tabPlayerwmAppMediaChange() {}
void TfrmMain::wmAppStatusChange() {}
void TfrmMain::imPlayClick(TImageButton*) {}
void TfrmMain::imStopClick(TImageButton*) {}
void TfrmMain::imFullScreenClick(TImageButton*) {}
void TfrmMain::imSoundClick(TImageButton*) {}
void TfrmMain::mnuPlayClick() {}
void TfrmMain::mnuPauseClick() {}
void TfrmMain::mnuStopClick() {}
void TfrmMain::mnuFullscreenClick() {}
void TfrmMain::tbVolumeChange() {}

}  // namespace zephra

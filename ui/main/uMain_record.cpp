// Moving in time and recording, from the player view's keys: the arrows seek, R starts and stops
// recording the channel playing into the user's videos folder. A recording ends with another
// channel, with the close of the window, or by itself (the stream lost, the disk full), and its
// file then gets its finished name.
#include <ctime>

#include "common/recording/recording_file.h"
#include "platform/disk_space.h"
#include "ui/controls/ImageButton.h"
#include "ui/frames/uFrame.h"
#include "ui/main/uMain.h"

namespace zephra {

bool TfrmMain::seekPlayer(int seconds) {
  if (seconds == 0 || !tabPlayer->IsShown()) return false;
  return wmApp().seekBy(seconds) != SeekOutcome::NotSeekable;
}

bool TfrmMain::toggleRecording() {
  if (m_recording) {
    endRecording();
    return true;
  }
  if (CurrentUrl.empty() || !imStop->Active) return false;
  try {
    std::string name = pageChannelName(CurrentUrl);
    if (name.empty()) name = CurrentUrl;  // sanitised into a file name like any name
    m_recording.emplace(recordingsFolder(), name, std::time(nullptr), RecordingSession::Clock::now());
    wmApp().startRecording(m_recording->partPath().string());
  } catch (const std::exception& error) {
    m_recording.reset();
    setStatusText(std::string("Cannot record: ") + error.what());
    return true;
  }
  wmApp().setCornerText(m_recording->cornerText(RecordingSession::Clock::now()));
  tmrRecord.Start(1000);
  return true;
}

void TfrmMain::tmrRecordTimer() {
  if (!m_recording) return;
  if (!wmApp().recording()) {
    endRecording(wmApp().recordingProblem());
    return;
  }
  if (RecordingSession::diskNearlyFull(freeDiskSpace(m_recording->partPath().parent_path().string()))) {
    endRecording("the disk is full");
    return;
  }
  wmApp().setCornerText(m_recording->cornerText(RecordingSession::Clock::now()));
}

void TfrmMain::endRecording(const std::string& why) {
  if (!m_recording) return;
  tmrRecord.Stop();
  RecordingSession session = std::move(*m_recording);
  m_recording.reset();
  std::string status;
  try {
    wmApp().stopRecording();
    wmApp().setCornerText("");
  } catch (const MediaPlayerError&) {
    // The player is gone: what it wrote is still to be named.
  }
  try {
    const auto file = session.finish();
    status = file ? "Recorded: " + file->filename().string() : "Nothing was recorded";
  } catch (const std::exception& error) {
    status = std::string("Recording not finished: ") + error.what();
  }
  setStatusText(why.empty() ? status : "Recording stopped (" + why + "). " + status);
}

}  // namespace zephra

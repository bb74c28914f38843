// The player's status text, worded for the user, worked out from what the playback engine
// reports. Pure logic: the adapter feeds it engine events, tests feed it tables.
#pragma once

#include <string>

namespace zephra {

enum class PlaybackEnd { Finished, Stopped, Failed, Redirected };

class PlayerStatus {
 public:
  // A new address is being opened.
  void opening();
  // The stream answered and its format is known.
  void loaded();
  // Pictures and sound flow (first frame, or again after a seek).
  void started();
  // The item ended; `error` is the engine's reason when `how` is Failed.
  void ended(PlaybackEnd how, const std::string& error = {});
  // Told to stop while nothing was open.
  void stopped();
  // The stream was lost; it is opened again after a pause.
  void reconnecting();
  // The open item is being stopped or replaced: until its end is reported, its text stays as it
  // is (a pause flag cleared for the next item must not show the old one as playing).
  void leaving();
  // An address was not handed to the engine; the end of what played before changes nothing.
  void refused(const std::string& reason);

  void setPaused(bool paused);
  void setWaitingForCache(bool waiting);
  void setBufferedPercent(long percent);
  // A warning or error the engine logged; the most telling one explains a failure, also when
  // it is reported after the failure itself (the engine queues log lines apart from events).
  // `source` is the engine's module name ("ffmpeg" is where network errors come from).
  void noteProblem(const std::string& source, bool isError, const std::string& text);

  std::string text() const;
  // The item could not be opened or ended with an error.
  bool failed() const { return m_phase == Phase::OpenFailed || m_phase == Phase::PlayFailed; }

 private:
  enum class Phase { Stopped, Opening, Loaded, Playing, Finished, OpenFailed, PlayFailed, Refused, Reconnecting };

  std::string failureReason(const std::string& error) const;

  Phase m_phase = Phase::Stopped;
  bool m_leaving = false;
  std::string m_leavingText;
  bool m_paused = false;
  bool m_waitingForCache = false;
  long m_percent = 0;
  std::string m_networkProblem;
  std::string m_firstError;
  std::string m_engineError;
  std::string m_refusal;
};

}  // namespace zephra

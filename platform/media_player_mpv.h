// The media player on libmpv, drawing into a child window of its own. Declared here (not only
// in the .cpp) so tests can reach the engine's log.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <wx/timer.h>
#include <wx/weakref.h>
#include <wx/window.h>

#include "common/stream_headers.h"
#include "platform/media_player.h"
#include "platform/mpv_handle.h"
#include "platform/player_full_screen.h"
#include "platform/playlist_fetch.h"
#include "player_logic/player_status.h"
#include "player_logic/reconnect_policy.h"
#include "player_logic/time_shift.h"

namespace zephra {

// The player's own settings, held until the engine exists and handed to it when it starts.
struct MpvEngineSettings {
  int volume = 50;  // 0..100
  bool mute = false;
};

class MpvMediaPlayer final : public MediaPlayer {
 public:
  MpvMediaPlayer(wxWindow* parent, const MediaPlayerOptions& options);
  ~MpvMediaPlayer() override;
  MpvMediaPlayer(const MpvMediaPlayer&) = delete;
  MpvMediaPlayer& operator=(const MpvMediaPlayer&) = delete;

  void play() override;
  void pause() override;
  void stop() override;
  void setUrl(const std::string& url) override;
  void setFullScreen(bool on) override;
  bool fullScreen() const override;
  std::string status() const override;
  bool failed() const override { return m_status.failed(); }
  bool mute() const override;
  void setMute(bool on) override;
  int volume() const override;
  void setVolume(int volume) override;
  void prepare() override;
  wxWindow* window() override;
  void setServerCookie(const std::string& base, const std::string& cookie) override;
  SeekOutcome seekBy(double seconds) override;
  bool returnToLive() override;
  void startRecording(const std::string& path) override;
  void stopRecording() override;
  bool recording() const override { return !m_recordingPath.empty(); }
  std::string recordingProblem() const override { return m_recordingProblem; }
  void setCornerText(const std::string& text) override;
  // What the engine was last told to show: the brief text after a seek, and the corner text.
  const std::string& onScreenText() const { return m_onScreenText; }
  const std::string& cornerText() const { return m_cornerText; }

  // Gives an engine, not yet initialised, the player's settings, drawing into `windowId`, and
  // starts it. Public so that benchmarks can run the bare engine exactly as the player does.
  static void configureEngine(MpvHandle& mpv, const MediaPlayerOptions& options, unsigned long windowId,
                              const MpvEngineSettings& settings = {});
  // Whether the engine has been started (it starts at the first play, not with the window).
  bool engineStarted() const { return m_mpv != nullptr; }

  // Every warning or error the engine logs, on the UI thread (level, module, text).
  std::function<void(const std::string&, const std::string&, const std::string&)> onLogMessage;

 private:
  struct EventPump;

  // The buffer that lets a live channel be paused and rewound: memory and a file in the user's
  // cache folder (media_player_mpv_shift.cpp).
  static void configureTimeShift(MpvHandle& mpv);
  void showOnScreen(const std::string& text);
  // Rewound before what a live channel keeps: asks the local server for the channel's archive
  // from `utc` and plays it when there is one.
  void openArchive(std::int64_t utc);

  MpvHandle& engine() const;
  // Throws when the player's window is gone: settings are then neither read nor kept.
  void requireOpen() const;
  void open(const std::string& url, const StreamHeaders& headers);
  void openVariant(const std::string& url, const StreamHeaders& headers);
  // `recordTo`: a file the item is recorded to from its start.
  void load(const std::string& url, const StreamHeaders& headers, const std::string& recordTo = {});
  bool sendsServerCookie(const std::string& url) const;
  // Plays nothing and says why in the status.
  void refuse(const std::string& why);
  void drainEvents();
  bool handleEvent(const mpv_event& event);  // true when a new media item was opened
  // Decides, once the batch that ended the item has its log lines read, whether it is opened again.
  void settleEnd();
  // Called when the user (or the program) acts: no reopening is under way any more. True when a
  // pause before reopening was cut short.
  bool cancelReconnection();
  void reopen();
  void raiseStatusIfChanged();
  // The player's status with how far behind live a channel is shown.
  std::string statusText() const;
  PlayPosition playPosition() const;
  // Ends a recording the engine writes; `problem` says why when it was not asked for.
  void endRecording(const std::string& problem);
  void requestDrain();
  void shutDown();

  wxWeakRef<wxWindow> m_video;
  std::unique_ptr<FullScreenView> m_fullScreen;
  MediaPlayerOptions m_options;
  mutable std::unique_ptr<MpvHandle> m_mpv;  // started by engine() at the first use
  MpvEngineSettings m_settings;                // what the engine gets when it starts
  bool m_closed = false;
  unsigned long m_windowId = 0;  // native window the engine draws into
  std::shared_ptr<EventPump> m_pump;
  PlayerStatus m_status;
  std::string m_notifiedStatus;
  std::string m_url;
  StreamHeaders m_headers;  // sent with m_url
  std::string m_serverBase, m_serverCookie;

  // The item being played, as far as reconnection cares.
  struct ItemEnd {
    PlaybackEnd how;
    std::string error;
  };
  std::optional<ItemEnd> m_endToSettle;  // ended by itself, in the batch being drained
  ReconnectPolicy::End m_item;           // what is known of the current item
  ReconnectPolicy m_reconnect;
  wxTimer m_reconnectTimer;  // runs on the UI thread
  std::unique_ptr<PlaylistFetch> m_masterFetch;  // an HLS channel's master playlist being read
  std::unique_ptr<PlaylistFetch> m_archiveFetch;  // the local server asked for a channel's archive
  std::string m_channelUrl;  // the live channel whose archive plays (End goes back to it)
  double m_aheadSeconds = 0;  // received but not yet shown
  std::optional<double> m_seekingTo;  // where the engine is going, until it gets there
  std::string m_recordingPath, m_recordingProblem;
  std::string m_loadedUrl;  // what the engine was given for m_url (an HLS channel's variant)
  std::string m_onScreenText, m_cornerText;
};

}  // namespace zephra

#include "platform/media_player_mpv.h"

#include <atomic>
#include <cmath>
#include <filesystem>

#include <wx/app.h>

#include "common/stream_address.h"
#include "common/stream_headers.h"
#include "platform/native_window.h"
#include "player_logic/hls_master.h"
#include "player_logic/recording_session.h"

namespace zephra {
namespace {

// Fills its parent and stays black where no picture is drawn.
class VideoWindow : public wxWindow {
 public:
  explicit VideoWindow(wxWindow* parent)
      : wxWindow(parent, wxID_ANY, wxPoint(0, 0), parent->GetClientSize(), wxBORDER_NONE | wxWANTS_CHARS) {
    SetBackgroundColour(*wxBLACK);
    parent->Bind(wxEVT_SIZE, &VideoWindow::onParentSize, this);
  }

 private:
  void onParentSize(wxSizeEvent& event) {
    event.Skip();
    SetSize(GetParent()->GetClientSize());
  }
};

PlaybackEnd endOf(const mpv_event_end_file& end) {
  switch (end.reason) {
    case MPV_END_FILE_REASON_EOF:
      return PlaybackEnd::Finished;
    case MPV_END_FILE_REASON_ERROR:
      return PlaybackEnd::Failed;
    case MPV_END_FILE_REASON_REDIRECT:
      return PlaybackEnd::Redirected;
    default:
      return PlaybackEnd::Stopped;
  }
}

// A master playlist is a few hundred bytes: what takes longer than this is not coming.
constexpr long kMasterPlaylistTimeoutMs = 3000;

std::string notANetworkStream(const std::string& address) {
  const std::string scheme = addressScheme(address);
  return scheme.empty() || isNetworkStreamScheme(scheme)
             ? "not a network stream address"
             : "\"" + scheme + "\" addresses are not network streams";
}

// A live stream has no end: neither its length nor its size is known. The engine may estimate a
// duration for a stream from its bit rate, so the size is what tells a file from a channel.
bool isFinite(const MpvHandle& mpv) {
  try {
    return mpv.number("duration") > 0 && mpv.integer("file-size") > 0;
  } catch (const MediaPlayerError&) {
    return false;
  }
}

}  // namespace

// Carries mpv's wakeups to the UI thread. Shared so a wakeup that arrives after the player is
// gone finds `player` null instead of freed memory.
struct MpvMediaPlayer::EventPump : std::enable_shared_from_this<EventPump> {
  MpvMediaPlayer* player = nullptr;  // read and written on the UI thread only
  std::atomic<bool> queued{false};

  // Runs on one of mpv's threads: only posts; the UI thread drains.
  static void wake(void* context) { static_cast<EventPump*>(context)->post(); }

  // One drain queued at a time, however many wakeups come in before it runs.
  void post() {
    if (queued.exchange(true) || !wxTheApp) return;
    wxTheApp->CallAfter([weak = weak_from_this()] {
      const auto alive = weak.lock();
      if (!alive) return;
      alive->queued = false;
      if (alive->player) alive->player->drainEvents();
    });
  }
};

MpvMediaPlayer::MpvMediaPlayer(wxWindow* parent, const MediaPlayerOptions& options)
    : m_options(options), m_pump(std::make_shared<EventPump>()) {
  if (!parent) throw MediaPlayerError("the media player needs a parent window");
  m_video = new VideoWindow(parent);
  // The native window is made now, while the frames are built: made later, when other
  // windows already lie beside it, it would take the pointer from the browser above it.
  try {
    m_windowId = nativeWindowId(m_video);
  } catch (...) {
    m_video->Destroy();
    throw;
  }
  m_fullScreen = std::make_unique<FullScreenView>(m_video);
  // Should the window go first (its parent closing), mpv must stop drawing into it before
  // the native window disappears.
  m_video->Bind(wxEVT_DESTROY, [this](wxWindowDestroyEvent& event) {
    event.Skip();
    if (event.GetEventObject() == m_video.get()) shutDown();
  });
  m_notifiedStatus = statusText();
  m_pump->player = this;
  m_reconnectTimer.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { reopen(); });
}

void MpvMediaPlayer::requireOpen() const {
  if (m_closed || !m_video) throw MediaPlayerError("the media player is closed");
}

// The engine starts at the first play, not with the window: the program's first page does not
// wait for the engine's libraries and its video output, and a program that never plays never
// maps them. Until then the player answers for the settings it will hand over; from then on
// what it reports is the engine's own.
MpvHandle& MpvMediaPlayer::engine() const {
  if (m_mpv) return *m_mpv;
  requireOpen();
  auto mpv = std::make_unique<MpvHandle>();
  configureEngine(*mpv, m_options, m_windowId, m_settings);
  m_mpv = std::move(mpv);
  m_mpv->setWakeupCallback(&EventPump::wake, m_pump.get());
  return *m_mpv;
}

namespace {

// The GPU output only where a GPU is there to be used (a DRM render node). Without one (a
// software X server such as Xvfb) its GLX probe can end in an X error that the toolkit's
// process-wide X error handler treats as fatal, and it would fall back to x11 anyway.
std::string defaultVideoOutput() {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/dev/dri", error))
    if (entry.path().filename().string().rfind("renderD", 0) == 0) return "gpu,x11";
  return "x11";
}

}  // namespace

void MpvMediaPlayer::configureEngine(MpvHandle& mpv, const MediaPlayerOptions& options, unsigned long windowId,
                                     const MpvEngineSettings& settings) {
  mpv.setOption("wid", std::to_string(windowId));
  // Only the picture: no controls, keys, menus, on-screen messages or scripts of mpv's own,
  // and the pointer stays with the host so it sees double clicks.
  mpv.setOption("config", "no");
  mpv.setOption("load-scripts", "no");
  mpv.setOption("ytdl", "no");
  mpv.setOption("osc", "no");
  mpv.setOption("load-stats-overlay", "no");
  mpv.setOption("load-osd-console", "no");
  mpv.setOption("load-auto-profiles", "no");
  mpv.setOption("resume-playback", "no");
  // A stream may name further addresses (manifest segments, playlist entries, references in a
  // media file). The media library opens only network protocols for them, so a remote
  // manifest cannot read local files or run a filter graph; the engine's own guard against
  // local entries in network playlists stays on.
  // Live start: the media library would read 20 frames to guess the frame rate and up to 5 s of
  // stream to describe it before the first picture; the stream's own tables name the tracks, and
  // the decoders learn the rest from the data (README, Live streams, has the figures).
  mpv.setOption("demuxer-lavf-o",
                std::string("protocol_whitelist=[") + kMediaLibraryProtocols + "],fpsprobesize=0");
  mpv.setOption("demuxer-lavf-probe-info", "nostreams");
  mpv.setOption("demuxer-lavf-analyzeduration", "0.5");
  mpv.setOption("load-unsafe-playlists", "no");
  mpv.setOption("osd-level", "0");
  mpv.setOption("terminal", "no");
  mpv.setOption("input-default-bindings", "no");
  mpv.setOption("input-vo-keyboard", "no");
  mpv.setOption("input-cursor", "no");
  mpv.setOption("cursor-autohide", "no");
  mpv.setOption("idle", "yes");
  // Keeps the video output alive between items: a failed GPU probe (no GPU, e.g. Xvfb) is
  // paid once at start instead of at every channel switch.
  mpv.setOption("force-window", "yes");
  mpv.setOption("vo", options.videoOutput.empty() ? defaultVideoOutput() : options.videoOutput);
  if (!options.audioOutput.empty()) mpv.setOption("ao", options.audioOutput);
  mpv.setOption("audio-fallback-to-null", "yes");
  configureTimeShift(mpv);
  // A dead address must end in a failure within seconds, not an endless wait.
  mpv.setOption("network-timeout", "5");
  mpv.setOption("volume", std::to_string(settings.volume));
  mpv.setOption("mute", settings.mute ? "yes" : "no");
  mpv.setOption("speed", "1");
  mpv.setOption("pause", "no");
  mpv.setOption("fullscreen", "no");

  mpv.initialize();
  mpv.requestLogMessages("warn");
  mpv.observe("pause", MPV_FORMAT_FLAG);
  mpv.observe("paused-for-cache", MPV_FORMAT_FLAG);
  mpv.observe("cache-buffering-state", MPV_FORMAT_INT64);
  mpv.observe("demuxer-cache-duration", MPV_FORMAT_DOUBLE);
}

MpvMediaPlayer::~MpvMediaPlayer() {
  m_fullScreen.reset();
  shutDown();
  if (m_video) m_video->Destroy();
}

void MpvMediaPlayer::shutDown() {
  cancelReconnection();
  endRecording("");
  m_masterFetch.reset();
  m_archiveFetch.reset();
  m_closed = true;
  m_pump->player = nullptr;
  if (m_mpv) m_mpv->destroy();
}

void MpvMediaPlayer::open(const std::string& url, const StreamHeaders& headers) {
  m_masterFetch.reset();
  m_archiveFetch.reset();
  if (isHlsAddress(url))
    openVariant(url, headers);
  else
    load(url, headers);
}

// Live HLS: the variant is picked here and its playlist handed to the engine, which would
// otherwise fetch and probe every variant before the first picture. What is not a master
// playlist, or cannot be read, goes to the engine as it is, which plays it or says why not.
void MpvMediaPlayer::openVariant(const std::string& url, const StreamHeaders& headers) {
  std::vector<std::string> lines;
  lines.push_back("User-Agent: " + (headers.userAgent.empty() ? engine().text("user-agent") : headers.userAgent));
  if (!headers.referrer.empty()) lines.push_back("Referer: " + headers.referrer);
  if (sendsServerCookie(url)) lines.push_back("Cookie: " + m_serverCookie);
  if (engine().integer("playlist-current-pos") < 0) {
    m_status.opening();
    requestDrain();
  }
  m_masterFetch = std::make_unique<PlaylistFetch>(
      url, lines, kHlsMasterLimit, kMasterPlaylistTimeoutMs, [this, url, headers](const PlaylistFetch::Answer& answer) {
        std::string target = url;
        if (answer.ok) {
          if (const auto variant = chooseHlsVariant(readHlsMaster(answer.body))) {
            const std::string address = withLowerCaseScheme(resolvePlaylistUri(answer.address, variant->uri));
            if (isNetworkStreamAddress(address)) target = address;
          }
        }
        m_masterFetch.reset();
        if (m_closed || !m_video) return;
        try {
          load(target, headers);
        } catch (const MediaPlayerError&) {
          m_status.ended(PlaybackEnd::Failed, "the engine could not open the stream");
          raiseStatusIfChanged();
        }
      });
}

bool MpvMediaPlayer::sendsServerCookie(const std::string& url) const {
  return !m_serverCookie.empty() && !m_serverBase.empty() && url.compare(0, m_serverBase.size(), m_serverBase) == 0;
}

void MpvMediaPlayer::load(const std::string& url, const StreamHeaders& headers, const std::string& recordTo) {
  // The engine would open the same file again for the next item and write over it.
  endRecording("the stream was opened again");
  if (engine().integer("playlist-current-pos") >= 0) m_status.leaving();  // replaced by this one
  std::vector<std::pair<std::string, std::string>> perFile;
  if (!recordTo.empty()) {
    // The file's header needs what the fast start leaves to the decoders (an audio track's
    // sample rate): a recorded item is opened with the stream described in full first.
    perFile.emplace_back("demuxer-lavf-probe-info", "yes");
    perFile.emplace_back("stream-record", recordTo);
  }
  if (!headers.userAgent.empty()) perFile.emplace_back("user-agent", headers.userAgent);
  if (!headers.referrer.empty()) perFile.emplace_back("referrer", headers.referrer);
  // The local server answers only with its cookie; no other host may learn it.
  if (sendsServerCookie(url)) perFile.emplace_back("http-header-fields", "Cookie: " + m_serverCookie);
  engine().loadFile(url, perFile);
  m_loadedUrl = url;
  m_recordingPath = recordTo;
  m_recordingProblem.clear();
  // An item opened after a pause would otherwise start paused.
  engine().setFlag("pause", false);
}

void MpvMediaPlayer::play() {
  cancelReconnection();
  if (!m_mpv && m_url.empty()) return;  // nothing to play: no need to start the engine
  if (engine().integer("playlist-current-pos") < 0) {
    if (!m_url.empty()) open(m_url, m_headers);
    return;
  }
  engine().setFlag("pause", false);
}

// Without an engine nothing is open, so there is nothing to pause: an item opened later starts
// unpaused anyway.
void MpvMediaPlayer::pause() {
  // Waiting to open a lost stream again, nothing is open to pause: it stays closed.
  if (cancelReconnection()) {
    m_status.stopped();
    requestDrain();
    return;
  }
  if (m_mpv)
    m_mpv->setFlag("pause", true);
  else
    requireOpen();
}

void MpvMediaPlayer::stop() {
  cancelReconnection();
  endRecording("");
  // A channel still being looked up is dropped; nothing of it reached the engine.
  const bool wasLookingUp = m_masterFetch != nullptr;
  m_masterFetch.reset();
  m_archiveFetch.reset();
  const bool wasOpen = m_mpv && m_mpv->integer("playlist-current-pos") >= 0;
  if (wasOpen) m_status.leaving();
  if (m_mpv) m_mpv->command({"stop"});
  // An open item reports its end through the event queue; with none, nothing would.
  if (!wasOpen || wasLookingUp) {
    m_status.stopped();
    requestDrain();
  }
}

void MpvMediaPlayer::setServerCookie(const std::string& base, const std::string& cookie) {
  // A value with a line end or list separator would add headers or entries of its own.
  if (cookie.find_first_of("\r\n,") != std::string::npos || base.empty() || base.back() != '/')
    throw MediaPlayerError("server cookie: not a usable cookie or base address");
  m_serverBase = withLowerCaseScheme(base);
  m_serverCookie = cookie;
}

void MpvMediaPlayer::setUrl(const std::string& url) {
  if (url.empty()) throw MediaPlayerError("set address: the address is empty");
  if (url.find('\0') != std::string::npos)
    throw MediaPlayerError("set address: the address contains a NUL character");
  cancelReconnection();
  // The header part is split off first: the checks below are about the address alone.
  StreamRequest request = splitStreamHeaders(url);
  if (!request.problem.empty()) {
    refuse(request.problem);
    return;
  }
  if (!isNetworkStreamAddress(request.address)) {
    refuse(notANetworkStream(request.address));
    return;
  }
  const std::string address = withLowerCaseScheme(request.address);
  m_channelUrl.clear();
  open(address, request.headers);
  m_url = address;
  m_headers = std::move(request.headers);
}

// Nothing of the address reaches the engine. Whatever played before stops, so the status and
// the picture agree; its late end report does not replace the refusal.
void MpvMediaPlayer::refuse(const std::string& why) {
  cancelReconnection();
  m_masterFetch.reset();
  m_archiveFetch.reset();
  m_channelUrl.clear();
  m_url.clear();
  m_headers = StreamHeaders();
  if (m_mpv) m_mpv->command({"stop"});
  m_status.refused(why);
  requestDrain();
}

void MpvMediaPlayer::setFullScreen(bool on) {
  if (!m_fullScreen || !m_video) throw MediaPlayerError("full screen: the player window is gone");
  if (on)
    m_fullScreen->enter();
  else
    m_fullScreen->leave();
}

bool MpvMediaPlayer::fullScreen() const { return m_fullScreen && m_fullScreen->active(); }

std::string MpvMediaPlayer::status() const { return statusText(); }

bool MpvMediaPlayer::mute() const {
  if (m_mpv) return m_mpv->flag("mute");
  requireOpen();
  return m_settings.mute;
}

void MpvMediaPlayer::setMute(bool on) {
  if (m_mpv)
    m_mpv->setFlag("mute", on);
  else
    requireOpen();
  m_settings.mute = on;
}

int MpvMediaPlayer::volume() const {
  if (m_mpv) return static_cast<int>(std::lround(m_mpv->number("volume")));
  requireOpen();
  return m_settings.volume;
}

void MpvMediaPlayer::setVolume(int volume) {
  if (volume < 0 || volume > 100)
    throw MediaPlayerError("volume: " + std::to_string(volume) + " is outside 0 to 100");
  if (m_mpv)
    m_mpv->setInt("volume", volume);
  else
    requireOpen();
  m_settings.volume = volume;
}

void MpvMediaPlayer::prepare() { engine(); }

wxWindow* MpvMediaPlayer::window() { return m_video.get(); }

void MpvMediaPlayer::requestDrain() { m_pump->post(); }

void MpvMediaPlayer::drainEvents() {
  // Held so that a handler which deletes this player leaves a flag to look at.
  const std::shared_ptr<EventPump> pump = m_pump;
  while (pump->player) {
    if (!m_mpv) {  // only a status of our own to report (a stop before the engine started)
      raiseStatusIfChanged();
      return;
    }
    const mpv_event& event = m_mpv->nextEvent();
    if (event.event_id == MPV_EVENT_NONE) {
      settleEnd();
      raiseStatusIfChanged();
      return;
    }
    if (handleEvent(event)) {
      const auto handler = onMediaChange;
      if (handler) handler();
      if (!pump->player) return;
    }
    // Every status the engine passes through is reported, also when a whole switch (stopped,
    // opening, playing) comes in one batch. A failure or an end waits for the end of the batch:
    // mpv hands out log lines only after the events, and the line that explains it is needed to
    // word it and to know whether the stream is to be opened again.
    if (!m_status.failed() && !m_endToSettle) raiseStatusIfChanged();
  }
}

void MpvMediaPlayer::raiseStatusIfChanged() {
  const std::string text = statusText();
  if (text == m_notifiedStatus) return;
  m_notifiedStatus = text;
  const auto handler = onStatusChange;
  if (handler) handler();
}

bool MpvMediaPlayer::handleEvent(const mpv_event& event) {
  switch (event.event_id) {
    case MPV_EVENT_START_FILE:
      m_status.opening();
      m_endToSettle.reset();
      m_item = {};
      m_aheadSeconds = 0;
      m_seekingTo.reset();
      return false;
    case MPV_EVENT_FILE_LOADED:
      m_status.loaded();
      m_item.opened = true;
      m_item.live = !isFinite(*m_mpv);
      return true;
    case MPV_EVENT_PLAYBACK_RESTART:
      m_seekingTo.reset();
      m_status.started();
      m_reconnect.playing(std::chrono::steady_clock::now());
      return false;
    case MPV_EVENT_END_FILE: {
      const auto& end = *static_cast<const mpv_event_end_file*>(event.data);
      const PlaybackEnd how = endOf(end);
      const std::string error = end.error < 0 ? mpvErrorText(end.error) : "";
      // Ended by itself (not stopped or replaced): perhaps a lost stream.
      if (how == PlaybackEnd::Finished || how == PlaybackEnd::Failed) {
        m_endToSettle = ItemEnd{how, error};
        endRecording("the stream ended");
      } else {
        m_status.ended(how, error);
      }
      return false;
    }
    case MPV_EVENT_PROPERTY_CHANGE: {
      const auto& property = *static_cast<const mpv_event_property*>(event.data);
      const std::string name = property.name;
      if (property.format == MPV_FORMAT_FLAG) {
        const bool on = *static_cast<const int*>(property.data) != 0;
        if (name == "pause") m_status.setPaused(on);
        if (name == "paused-for-cache") m_status.setWaitingForCache(on);
      } else if (property.format == MPV_FORMAT_INT64 && name == "cache-buffering-state") {
        m_status.setBufferedPercent(static_cast<long>(*static_cast<const int64_t*>(property.data)));
      } else if (property.format == MPV_FORMAT_DOUBLE && name == "demuxer-cache-duration") {
        m_aheadSeconds = *static_cast<const double*>(property.data);
      }
      return false;
    }
    case MPV_EVENT_LOG_MESSAGE: {
      const auto& message = *static_cast<const mpv_event_log_message*>(event.data);
      const std::string level = message.level;
      const bool isError = level == "error" || level == "fatal";
      m_status.noteProblem(message.prefix, isError, message.text);
      if (recording() && endsRecording(isError, message.prefix, message.text))
        endRecording(recordingFailure(message.text));
      if (const int status = httpErrorStatus(message.text)) m_item.httpStatus = status;
      const auto handler = onLogMessage;
      if (handler) handler(level, message.prefix, message.text);
      return false;
    }
    default:
      return false;
  }
}

void MpvMediaPlayer::settleEnd() {
  if (!m_endToSettle) return;
  const ItemEnd end = *m_endToSettle;
  m_endToSettle.reset();
  const bool wasReconnecting = m_reconnect.reconnecting();
  if (const auto pause = m_reconnect.ended(m_item, std::chrono::steady_clock::now())) {
    m_status.reconnecting();
    m_reconnectTimer.StartOnce(static_cast<int>(pause->count()));
    return;
  }
  // A live stream has no end of its own: one that ended and did not come back was lost.
  if (end.how == PlaybackEnd::Finished && m_item.opened && m_item.live)
    m_status.ended(PlaybackEnd::Failed, wasReconnecting ? "the stream did not come back" : "the stream ended");
  else
    m_status.ended(end.how, end.error);
}

bool MpvMediaPlayer::cancelReconnection() {
  const bool waiting = m_reconnectTimer.IsRunning();
  m_reconnectTimer.Stop();
  m_reconnect.cancel();
  return waiting;
}

void MpvMediaPlayer::reopen() {
  if (m_closed || !m_video || m_url.empty()) return;
  try {
    open(m_url, m_headers);
  } catch (const MediaPlayerError&) {
    m_reconnect.cancel();
    m_status.ended(PlaybackEnd::Failed, "the engine could not open the stream again");
    raiseStatusIfChanged();
  }
}

std::unique_ptr<MediaPlayer> createMediaPlayer(wxWindow* parent, const MediaPlayerOptions& options) {
  return std::make_unique<MpvMediaPlayer>(parent, options);
}

}  // namespace zephra

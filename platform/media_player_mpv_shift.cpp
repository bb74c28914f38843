// Moving in time: seeking, a live channel paused and rewound inside what the engine keeps of it,
// recording what arrives, and the texts shown on the picture for these.
#include <algorithm>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "common/stream_address.h"
#include "common/text.h"
#include "platform/disk_space.h"
#include "platform/media_player_mpv.h"
#include "player_logic/recording_session.h"
#include "player_logic/settings.h"

namespace zephra {
namespace {

constexpr const char* kOnScreenMs = "1500";
// Shown whatever the engine's own on-screen level (kept at 0: it says nothing by itself).
constexpr const char* kAlwaysShown = "0";
constexpr const char* kCornerOverlay = "1";
// The local server answers on the loopback at once, with a redirect and no body to speak of.
constexpr size_t kArchiveAnswerLimit = 64 * 1024;
constexpr long kArchiveAnswerTimeoutMs = 3000;

std::string mebibytes(std::int64_t bytes) { return std::to_string(std::max<std::int64_t>(1, bytes >> 20)) + "MiB"; }

// The corner text goes to the engine as subtitle markup: braces and backslashes would be read
// as its commands.
std::string assEscaped(const std::string& text) {
  std::string out;
  for (char c : text) out += (c == '{' || c == '}' || c == '\\') ? ' ' : c;
  return out;
}

}  // namespace

void MpvMediaPlayer::configureTimeShift(MpvHandle& mpv) {
  // The engine keeps reading a paused channel into its cache; the part not in memory goes to a
  // file it unlinks as soon as it is made, so nothing is left behind after a channel change, an
  // exit or a crash.
  mpv.setOption("cache", "yes");
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::path(userCacheFolder()) / "time-shift";
  const bool onDisk = !userCacheFolder().empty() && (std::filesystem::create_directories(folder, error), !error) &&
                      std::filesystem::is_directory(folder, error);
  const TimeShiftBuffer buffer =
      onDisk ? timeShiftBuffer(kTimeShiftMinutes, kTimeShiftBitRate, freeDiskSpace(folder.string()))
             : timeShiftBuffer(kTimeShiftMemoryMinutes, kTimeShiftBitRate);
  if (onDisk) {
    mpv.setOption("cache-on-disk", "yes");
    mpv.setOption("cache-dir", folder.string());
  }
  mpv.setOption("demuxer-max-bytes", mebibytes(buffer.aheadBytes));
  mpv.setOption("demuxer-max-back-bytes", mebibytes(buffer.behindBytes));
}

// A live channel is what cannot be sought in as a whole: a file or an archive item served with
// its length can.
PlayPosition MpvMediaPlayer::playPosition() const {
  PlayPosition where;
  if (!m_mpv || !m_item.opened) return where;
  try {
    where.live = !m_mpv->flag("seekable");
    where.behindLive = m_aheadSeconds;
    where.position = m_mpv->number("time-pos");
    if (!where.live) where.duration = m_mpv->number("duration");
  } catch (const MediaPlayerError&) {
    // Not known yet (nothing decoded): the start.
  }
  return where;
}

std::string MpvMediaPlayer::statusText() const { return statusWithTimeShift(m_status.text(), playPosition()); }

SeekOutcome MpvMediaPlayer::seekBy(double seconds) {
  if (!m_mpv || !m_item.opened || m_closed) return SeekOutcome::NotSeekable;
  PlayPosition where = playPosition();
  // Keys pressed in a row count from where the last one went, not from where the engine is yet.
  if (m_seekingTo) where.position = *m_seekingTo;
  double start = 0, end = where.duration;
  bool kept = true;
  if (where.live) {
    // Only inside what the cache holds: a seek beyond it fails with an error of the engine's.
    // Just opened, it may hold nothing to seek to yet: then only the archive is behind.
    kept = false;
    start = end = where.position;
    for (const auto& [from, to] : m_mpv->cachedRanges())
      if (where.position >= from - 1 && where.position <= to + 1) {
        start = from, end = to, kept = true;
        break;
      }
  }
  const SeekTarget target = seekTarget(where.position, seconds, start, end);
  if (target.beforeStart && where.live)
    openArchive(static_cast<std::int64_t>(std::time(nullptr) - (end - (where.position + seconds))));
  if (!kept) return target.beforeStart ? SeekOutcome::AtBufferStart : SeekOutcome::NotSeekable;
  try {
    m_mpv->command({"seek", std::to_string(target.position), "absolute"});
  } catch (const MediaPlayerError&) {
    // Refused (what the cache holds moved on meanwhile): the picture stays where it is.
    return SeekOutcome::NotSeekable;
  }
  m_seekingTo = target.position;
  where.behindLive = end - target.position;
  where.position = target.position;
  showOnScreen(positionText(where));
  return target.beforeStart && where.live ? SeekOutcome::AtBufferStart : SeekOutcome::Moved;
}

bool MpvMediaPlayer::returnToLive() {
  if (!m_channelUrl.empty() && !m_closed) {
    m_url = m_channelUrl;
    m_channelUrl.clear();
    open(m_url, m_headers);
    return true;
  }
  if (!m_mpv || !behindLive(playPosition())) return false;
  return seekBy(m_aheadSeconds) != SeekOutcome::NotSeekable;
}

void MpvMediaPlayer::openArchive(std::int64_t utc) {
  if (m_serverBase.empty() || m_url.empty() || m_archiveFetch) return;
  std::vector<std::string> headers;
  if (!m_serverCookie.empty()) headers.push_back("Cookie: " + m_serverCookie);
  const std::string request =
      m_serverBase + "archive.php?stream=" + text::percentEncoded(m_url) + "&start=" + std::to_string(utc);
  // The server only points the way (a redirect, or 404 for a channel without an archive then).
  m_archiveFetch = std::make_unique<PlaylistFetch>(
      request, headers, kArchiveAnswerLimit, kArchiveAnswerTimeoutMs,
      [this](const PlaylistFetch::Answer& answer) {
        const std::string archive = withLowerCaseScheme(answer.redirect);
        m_archiveFetch.reset();
        // What the server names is checked as any address given to play.
        if (m_closed || !m_video || archive.empty() || !isNetworkStreamAddress(archive)) return;
        try {
          if (m_channelUrl.empty()) m_channelUrl = m_url;
          m_url = archive;
          load(archive, m_headers);
        } catch (const MediaPlayerError&) {
          m_status.ended(PlaybackEnd::Failed, "the engine could not open the archive");
          raiseStatusIfChanged();
        }
      },
      PlaylistFetch::Redirects::Report);
}

void MpvMediaPlayer::showOnScreen(const std::string& text) {
  m_onScreenText = text;
  m_mpv->command({"show-text", text, kOnScreenMs, kAlwaysShown});
}

void MpvMediaPlayer::setCornerText(const std::string& text) {
  if (text == m_cornerText) return;
  m_cornerText = text;
  if (!m_mpv) return;
  if (text.empty())
    m_mpv->command({"osd-overlay", kCornerOverlay, "none", ""});
  else
    m_mpv->command({"osd-overlay", kCornerOverlay, "ass-events", "{\\an9}" + assEscaped(text)});
}

void MpvMediaPlayer::startRecording(const std::string& path) {
  if (!m_mpv || !m_item.opened || m_closed) throw MediaPlayerError("record: nothing is playing");
  if (path.empty() || path.find('\0') != std::string::npos) throw MediaPlayerError("record: not a file name");
  endRecording("");
  load(m_loadedUrl, m_headers, path);
}

void MpvMediaPlayer::stopRecording() { endRecording(""); }

void MpvMediaPlayer::endRecording(const std::string& problem) {
  if (m_recordingPath.empty()) return;
  m_recordingPath.clear();
  m_recordingProblem = problem;
  try {
    if (m_mpv) m_mpv->setProperty("stream-record", "");
  } catch (const MediaPlayerError&) {
    // The engine is gone: so is its recording.
  }
}

}  // namespace zephra

// The recordings page: scheduling a programme of the guide, cancelling, deleting, and serving a
// recording's file to the player.
#include <ctime>
#include <filesystem>

#include "common/recording/recording_file.h"
#include "common/text.h"
#include "local_server/local_server.h"
#include "local_server/recording/connection_limit.h"

namespace zephra {
namespace {

namespace fs = std::filesystem;

std::int64_t recordingId(const std::string& value) {
  const auto id = text::wholeNumber(value, 999'999'999'999'999'999);
  return id ? static_cast<std::int64_t>(*id) : -1;
}

// What a recording's row points at: the partial file while it is made.
fs::path fileOf(const Recording& r) {
  return r.state == RecordingState::Recording ? partialRecordingPath(r.file) : fs::path(r.file);
}

}  // namespace

std::optional<std::string> LocalServer::recordingFile(const Recording& r) {
  if (r.file.empty()) return std::nullopt;
  // Links resolved: a row (or a file replaced by a link) can never lead out of the folder.
  std::error_code ec;
  const fs::path folder = fs::canonical(m_recorder.folder(), ec);
  if (ec) return std::nullopt;
  const fs::path file = fs::canonical(fileOf(r), ec);
  if (ec || file.parent_path() != folder || !fs::is_regular_file(file, ec)) return std::nullopt;
  return file.string();
}

std::string LocalServer::scheduleRecording(const std::string& channelId, const std::string& at) {
  const auto start = text::wholeNumber(at, 999'999'999'999);
  const auto channel = m_playlist.snapshot()->findById(channelId);
  if (!channel || !start) return "no channel has this id";
  const auto airings = m_guide.airings({&*channel}, static_cast<std::int64_t>(*start),
                                       static_cast<std::int64_t>(*start) + 1);
  const guide::Airing* programme = nullptr;
  for (const guide::Airing& a : airings.front())
    if (a.start == static_cast<std::int64_t>(*start)) programme = &a;
  if (!programme) return "the guide has no programme of this channel starting then";
  if (programme->stop <= std::time(nullptr)) return "the programme is over";
  Recording r;
  r.channelId = channel->id;
  r.channelName = channel->name;
  r.address = playValue(*channel);
  r.title = programme->title;
  r.start = programme->start;
  r.stop = programme->stop;
  r.oneConnection = accountConnectionLimit(*channel, m_sourceStore.list(), m_accounts) == 1;
  if (!m_recordingStore.schedule(r))
    return "it is scheduled already, or the list is full (" + std::to_string(kMaxRecordings) + " recordings)";
  m_recorder.wake();
  return {};
}

std::string LocalServer::deleteRecording(std::int64_t id) {
  auto r = m_recordingStore.find(id);
  if (!r) return {};
  if (r->state == RecordingState::Recording) {
    m_recorder.abort(id);
    r = m_recordingStore.find(id);
    if (!r) return {};
  }
  if (!r->file.empty()) {
    std::error_code ec;
    const bool there = fs::exists(fs::symlink_status(fileOf(*r), ec));
    const auto file = recordingFile(*r);
    if (there && !file) return "its file is not in the recordings folder, so it was left alone";
    if (file && !fs::remove(*file, ec)) return "its file could not be removed: " + ec.message();
  }
  m_recordingStore.remove(id, false);
  return {};
}

void LocalServer::handleRecordings(const http::Request& req, http::Response& res) {
  RecordingsPage page;
  page.code = req.param("code");
  std::string why;
  bool changed = true;
  if (req.hasParam("record")) {
    why = scheduleRecording(req.param("record"), req.param("at"));
    if (!why.empty()) why = "Not scheduled: " + why + ".";
  } else if (req.hasParam("cancel")) {
    // It may have begun in the meantime: then it goes as a deletion would.
    const std::int64_t id = recordingId(req.param("cancel"));
    m_recorder.abort(id);
    if (!m_recordingStore.remove(id, true)) why = deleteRecording(id);
    if (!why.empty()) why = "Not cancelled: " + why + ".";
  } else if (req.hasParam("delete")) {
    why = deleteRecording(recordingId(req.param("delete")));
    if (!why.empty()) why = "Not deleted: " + why + ".";
  } else {
    changed = false;
  }
  // As on the other pages: a change is followed by the plain page, so a reload never repeats it.
  if (changed && why.empty()) {
    res.redirect(recordingsAddress(page.code), 303);
    res.setHeader("Cache-Control", "no-store");
    return;
  }
  page.notice = why;
  page.recordings = m_recordingStore.list();
  for (const Recording& r : page.recordings)
    if (const auto file = recordingFile(r)) {
      std::error_code ec;
      page.sizes[r.id] = static_cast<std::int64_t>(fs::file_size(*file, ec));
    }
  page.formToken = m_formToken.value();
  page.port = m_port;
  page.folder = m_recorder.folder().string();
  // Sizes and states move while something records.
  for (const Recording& r : page.recordings)
    if (r.state == RecordingState::Recording) res.setHeader("Refresh", "5");
  res.setHeader("Cache-Control", "no-store");
  res.setContent(renderRecordings(page), "text/html; charset=utf-8");
}

void LocalServer::handleRecordingFile(const http::Request& req, http::Response& res) {
  const auto r = m_recordingStore.find(recordingId(req.param("id")));
  const auto file = r ? recordingFile(*r) : std::nullopt;
  if (!file || !res.sendFile(*file, "video/mp2t")) res.status = 404;
}

}  // namespace zephra

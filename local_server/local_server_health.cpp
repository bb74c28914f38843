// The player's reports of how channels played, and the channel check of the sources page.
#include <cstdio>
#include <ctime>

#include "local_server/favorite_request.h"
#include "local_server/health/play_report.h"
#include "local_server/local_server.h"

namespace zephra {

void LocalServer::handlePlayReport(const http::Request& req, http::Response& res) {
  res.setHeader("Cache-Control", "no-store");
  auto answer = [&res](int status, const std::string& text) {
    res.status = status;
    res.setContent(text + "\n", "text/plain; charset=utf-8");
  };
  std::string why;
  const auto report = parsePlayReport(req.params, why);
  if (!report) return answer(400, "Not recorded: " + why + ".");
  // The player knows what it played by its address (with any headers), as the link gave it.
  AddFavoriteCommand byAddress;
  byAddress.method = AddFavoriteCommand::Method::Url;
  byAddress.value = report->url;
  const auto channel = findRequestedChannel(*m_playlist.snapshot(), byAddress);
  if (!channel) return answer(404, "Not recorded: no channel has this address.");
  ChannelOutcome outcome;
  outcome.ok = report->ok;
  outcome.openMs = report->openMs;
  outcome.reason = report->reason;
  outcome.when = std::time(nullptr);
  outcome.by = ChannelOutcome::By::Player;
  try {
    m_health.record(channel->id, outcome);
  } catch (const SqliteError& e) {
    std::fprintf(stderr, "zephra-server: play outcome not saved: %s\n", e.what());
    return answer(500, "Not recorded: the outcome could not be saved.");
  }
  answer(200, "Recorded.");
}

void LocalServer::startChannelCheck(std::int64_t sourceId) {
  const auto channels = m_sourceRefresher.channels();
  if (!channels) return;
  // Only a playlist that is on and read has channels here.
  for (const SourceChannels::Entry& entry : channels->entries)
    if (entry.sourceId == sourceId) {
      m_checker.start(sourceId, entry.playlist);
      return;
    }
}

}  // namespace zephra

// The recordings page, and the record link of the guide.
#include "common/html/html.h"
#include "common/text.h"
#include "local_server/pages.h"
#include "local_server/request_guard.h"

namespace zephra {
namespace {

std::string sizeText(std::int64_t bytes) {
  if (bytes < (1 << 20)) return std::to_string((bytes + 1023) / 1024) + " KiB";
  return std::to_string(bytes >> 20) + " MiB";
}

void changeLink(std::string& out, const RecordingsPage& page, const char* action, std::int64_t id,
                const char* label) {
  const std::string href = recordingsAddress(page.code) + "&" + action + "=" + std::to_string(id) + "&" +
                           kFormTokenParam + "=" + text::percentEncoded(page.formToken);
  out += "<a class=\"" + std::string(action) + "\" href=\"" + text::escapeHtml(href) + "\">" + label + "</a>";
}

}  // namespace

std::string recordingsAddress(const std::string& code) {
  return "recordings.php?code=" + text::percentEncoded(code);
}

std::string recordAddress(const std::string& code, const std::string& channelId, std::int64_t start,
                          const std::string& formToken) {
  return recordingsAddress(code) + "&record=" + text::percentEncoded(channelId) + "&at=" +
         std::to_string(start) + "&" + kFormTokenParam + "=" + text::percentEncoded(formToken);
}

std::string recordingStreamAddress(int port, std::int64_t id) {
  return "http://127.0.0.1:" + std::to_string(port) + kRecordingStreamPath + "?id=" + std::to_string(id);
}

std::string renderRecordings(const RecordingsPage& page) {
  std::string out = html::pageStart("Recordings");
  DirectoryRequest directory;
  directory.code = page.code;
  GuideRequest guide;
  guide.code = page.code;
  out += "<header><h1>Recordings</h1><a class=\"manage\" href=\"" +
         text::escapeHtml(directoryAddress(directory)) + "\">Channel list</a><a class=\"manage\" href=\"" +
         text::escapeHtml(guideAddress(guide)) + "\">Programme guide</a></header>\n";
  out += html::noticeLine(page.notice);
  out += "<p class=\"count\">Recordings are written to " + text::escapeHtml(page.folder) +
         ". Choose \xE2\x97\x8F record on a programme of the guide to add one.</p>\n";
  if (page.recordings.empty()) out += "<p class=\"empty\">No recordings yet.</p>\n";
  out += "<table class=\"recordings\">\n";
  for (const Recording& r : page.recordings) {
    const auto size = page.sizes.find(r.id);
    out += "<tr class=\"" + std::string(recordingStateName(r.state)) + "\"><td class=\"title\">" +
           text::escapeHtml(r.title) + (r.part > 1 ? " (part " + std::to_string(r.part) + ")" : "") +
           "</td><td class=\"channel\">" + text::escapeHtml(r.channelName) + "</td><td class=\"when\">" +
           localDateTime(r.start) + " \xE2\x80\x93 " + localDateTime(r.stop) + "</td><td class=\"state\">" +
           recordingStateName(r.state);
    if (!r.why.empty()) out += ": " + text::escapeHtml(r.why);
    if (r.state == RecordingState::Scheduled && r.oneConnection)
      out += "<span class=\"notice\">" + std::string(kOneConnectionNotice) + "</span>";
    out += "</td><td class=\"size\">" + (size != page.sizes.end() ? sizeText(size->second) : "") +
           "</td><td class=\"actions\">";
    if (size != page.sizes.end())
      out += "<a class=\"play\" href=\"" + text::escapeHtml(playLink(recordingStreamAddress(page.port, r.id))) +
             "\">play</a>";
    if (r.state == RecordingState::Scheduled)
      changeLink(out, page, "cancel", r.id, "cancel");
    else
      changeLink(out, page, "delete", r.id, "delete");
    out += "</td></tr>\n";
  }
  out += "</table>\n" + html::pageEnd();
  return out;
}

}  // namespace zephra

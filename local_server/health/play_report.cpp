#include "local_server/health/play_report.h"

#include "common/text.h"

namespace zephra {

namespace {

const std::string* param(const http::QueryParams& params, const char* name) {
  const auto it = params.find(name);
  return it == params.end() ? nullptr : &it->second;
}

bool hasControl(const std::string& text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return true;
  return false;
}

}  // namespace

std::optional<PlayReport> parsePlayReport(const http::QueryParams& params, std::string& why) {
  const std::string* url = param(params, "url");
  const std::string* ok = param(params, "ok");
  if (!url || url->empty()) {
    why = "no address";
    return std::nullopt;
  }
  if (url->size() > kMaxReportedUrlBytes || hasControl(*url)) {
    why = "not a channel's address";
    return std::nullopt;
  }
  if (!ok || (*ok != "0" && *ok != "1")) {
    why = "no outcome";
    return std::nullopt;
  }
  PlayReport report;
  report.url = *url;
  report.ok = *ok == "1";
  if (report.ok) {
    const std::string* ms = param(params, "ms");
    const auto openMs = ms ? text::wholeNumber(*ms, kMaxReportedOpenMs) : std::nullopt;
    if (!openMs) {
      why = "no opening time";
      return std::nullopt;
    }
    report.openMs = static_cast<std::int64_t>(*openMs);
    return report;
  }
  const std::string* reason = param(params, "why");
  if (!reason || reason->empty()) {
    why = "no reason";
    return std::nullopt;
  }
  if (reason->size() > kMaxReportedReasonBytes || !text::isValidUtf8(*reason)) {
    why = "the reason is not readable text";
    return std::nullopt;
  }
  report.reason = *reason;
  // Line ends and other controls would only confuse the page's hover text.
  for (char& c : report.reason)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  return report;
}

}  // namespace zephra

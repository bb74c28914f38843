#include "remote_service/service_pages.h"

#include <cstdio>

#include "common/contract.h"
#include "common/text.h"
#include "remote_service/page_frame.h"

#ifndef ZEPHRA_VERSION
#error "ZEPHRA_VERSION must name the product version"
#endif

namespace zephra::service {

namespace {

constexpr const char* kHtml = "text/html; charset=utf-8";

// Printable ASCII but the blank and the backslash as it is, everything else as \xHH: a field
// can neither end its line, nor split into two fields, nor reach the operator's terminal as a
// control sequence.
void appendLogSafe(std::string& line, const std::string& field) {
  for (const unsigned char c : field) {
    if (c > 0x20 && c < 0x7f && c != '\\') {
      line += static_cast<char>(c);
    } else {
      static const char kHex[] = "0123456789abcdef";
      line += "\\x";
      line += kHex[c >> 4];
      line += kHex[c & 15];
    }
  }
}

}  // namespace

std::string renderUpdateReply(const std::string& clientStamp, const std::string* publishedStamp) {
  const bool offer = publishedStamp && *publishedStamp != clientStamp;
  std::string out = pageStart(offer ? "Update available" : "No update");
  // The player reads both fields' values: the reply value offers the update, the time is the
  // stamp it records once the package is installed.
  out += "<form>" + html::hiddenField(contract::kReplyValueId,
                                      std::to_string(offer ? contract::kReplyDone : contract::kReplyNone));
  if (offer) out += html::hiddenField(contract::kReplyTimeId, *publishedStamp);
  out += "</form>\n<p>";
  out += offer ? "New content is available: " + text::escapeHtml(*publishedStamp) + "."
               : std::string("Your content is up to date.");
  out += "</p>\n" + pageEnd();
  return out;
}

std::string renderReportThanks(const std::string& address) {
  std::string out = pageStart("Thank you");
  out += "<h1>Thank you</h1>\n<p>Your report has been received. We will look at the channel";
  if (!address.empty()) out += " <code>" + text::escapeHtml(address) + "</code>";
  out += " as soon as we can.</p>\n" + pageEnd();
  return out;
}

std::string renderAbout(const std::string& accountCode) {
  std::string out = pageStart("About Zephra Player");
  out += "<h1>Zephra Player</h1>\n<p>Version " + text::escapeHtml(ZEPHRA_VERSION) + "</p>\n";
  out += "<p>A desktop TV player: a channel directory and a media player in one window.</p>\n";
  out += accountCode.empty() ? std::string("<p>No account code is set on this computer.</p>\n")
                             : "<p>Account: <code>" + text::escapeHtml(accountCode) + "</code></p>\n";
  out += pageEnd();
  return out;
}

std::string renderError(int status) {
  std::string out = pageStart("Error " + std::to_string(status));
  out += status == 404   ? "<p>Not found.</p>\n"
         : status == 429 ? "<p>Too many reports from your address. Please try again later.</p>\n"
                         : "<p>The request could not be served.</p>\n";
  return out + pageEnd();
}

std::string accessLogLine(const http::Request& req, int status) {
  std::string line = req.clientAddress + " ";
  appendLogSafe(line, req.method);
  line += ' ';
  appendLogSafe(line, req.target);
  return line + " " + std::to_string(status);
}

ServicePages::ServicePages(Publisher& publisher, ReportStore& reports, RateLimitSettings reportRate)
    : m_publisher(publisher), m_reports(reports), m_reportRate(reportRate) {}

void ServicePages::answer(const http::Request& req, http::Response& res) {
  res.setHeader("Cache-Control", "no-store");
  if (req.method != "GET" && req.method != "HEAD") {
    res.status = 405;
    res.setHeader("Allow", "GET, HEAD");
    res.setContent(renderError(405), kHtml);
  } else if (req.path == contract::pathOf(contract::kUpdateCheckPage)) {
    const auto release = m_publisher.current();
    res.setContent(renderUpdateReply(req.param("t"), release ? &release->stamp : nullptr), kHtml);
  } else if (req.path == contract::pathOf(contract::kUpdatePackage)) {
    // The file is opened here, once: a publish that prunes this release afterwards cannot cut
    // the download short.
    const auto release = m_publisher.current();
    if (!release || !res.sendFile(release->packagePath, "application/zip")) {
      res.status = 404;
      res.setContent(renderError(404), kHtml);
    }
  } else if (req.path == contract::pathOf(contract::kReportPage) &&
             !m_reportRate.allow(req.clientAddress, ClientRateLimit::Clock::now())) {
    res.status = 429;
    res.setHeader("Retry-After", "60");
    res.setContent(renderError(429), kHtml);
  } else if (req.path == contract::pathOf(contract::kReportPage)) {
    const std::string address = http::rawTrailingValue(req.query, "url");
    m_reports.add(address, req.clientAddress, req.header("User-Agent"));
    res.setContent(renderReportThanks(address), kHtml);
  } else if (req.path == contract::pathOf(contract::kAboutPage)) {
    // The browser percent-encodes blanks and other characters the player left raw.
    res.setContent(renderAbout(text::percentDecoded(http::rawTrailingValue(req.query, "code"))), kHtml);
  } else if (req.path == contract::pathOf(contract::kHelpPage) || req.path == "/") {
    res.setContent(renderHelp(req.param("topic")), kHtml);
  } else {
    res.status = 404;
    res.setContent(renderError(404), kHtml);
  }
}

}  // namespace zephra::service

#include "service/service_pages.h"

#include <cstdio>

#include "server/html.h"
#include "service/page_frame.h"
#include "service/request_target.h"

#ifndef ZEPHRA_VERSION
#error "ZEPHRA_VERSION must name the product version"
#endif

namespace zephra::service {

std::string renderUpdateReply(const std::string& clientStamp, const std::string* publishedStamp) {
  const bool offer = publishedStamp && *publishedStamp != clientStamp;
  std::string out = pageStart(offer ? "Update available" : "No update");
  // The player reads both fields' values: retVal 1 offers the update, retTime is the stamp
  // it records once the package is installed.
  out += "<form><input type=\"hidden\" id=\"retVal\" name=\"retVal\" value=\"";
  out += offer ? "1" : "0";
  out += "\">";
  if (offer)
    out += "<input type=\"hidden\" id=\"retTime\" name=\"retTime\" value=\"" +
           html::escape(*publishedStamp) + "\">";
  out += "</form>\n<p>";
  out += offer ? "New content is available: " + html::escape(*publishedStamp) + "."
               : std::string("Your content is up to date.");
  out += "</p>\n" + pageEnd();
  return out;
}

std::string renderReportThanks(const std::string& address) {
  std::string out = pageStart("Thank you");
  out += "<h1>Thank you</h1>\n<p>Your report has been received. We will look at the channel";
  if (!address.empty()) out += " <code>" + html::escape(address) + "</code>";
  out += " as soon as we can.</p>\n" + pageEnd();
  return out;
}

std::string renderAbout(const std::string& accountCode) {
  std::string out = pageStart("About Zephra Player");
  out += "<h1>Zephra Player</h1>\n<p>Version " + html::escape(ZEPHRA_VERSION) + "</p>\n";
  out += "<p>A desktop TV player: a channel directory and a media player in one window.</p>\n";
  out += accountCode.empty() ? std::string("<p>No account code is set on this computer.</p>\n")
                             : "<p>Account: <code>" + html::escape(accountCode) + "</code></p>\n";
  out += pageEnd();
  return out;
}

std::string renderError(int status) {
  std::string out = pageStart("Error " + std::to_string(status));
  out += status == 404 ? "<p>Not found.</p>\n" : "<p>The request could not be served.</p>\n";
  return out + pageEnd();
}

ServicePages::ServicePages(Publisher& publisher, ReportStore& reports)
    : m_publisher(publisher), m_reports(reports) {}

ServiceReply ServicePages::answer(const ServiceRequest& request) {
  ServiceReply reply;
  if (request.method != "GET" && request.method != "HEAD") {
    reply.status = 405;
    reply.body = renderError(405);
    return reply;
  }
  const RequestTarget target = parseTarget(request.target);
  if (target.path == "/update.php") {
    const auto release = m_publisher.current();
    reply.body = renderUpdateReply(param(target, "t"), release ? &release->stamp : nullptr);
  } else if (target.path == "/update/update.zip") {
    if (const auto release = m_publisher.current()) {
      reply.contentType = "application/zip";
      reply.filePath = release->packagePath;
    } else {
      reply.status = 404;
      reply.body = renderError(404);
    }
  } else if (target.path == "/report-soft.php") {
    const std::string address = rawTrailingValue(target, "url");
    m_reports.add(address, request.clientAddress, request.userAgent);
    reply.body = renderReportThanks(address);
  } else if (target.path == "/about-soft.php") {
    // The browser percent-encodes blanks and other characters the player left raw.
    reply.body = renderAbout(html::percentDecode(rawTrailingValue(target, "code")));
  } else if (target.path == "/help-soft.php" || target.path == "/") {
    reply.body = renderHelp(param(target, "topic"));
  } else {
    reply.status = 404;
    reply.body = renderError(404);
  }
  return reply;
}

}  // namespace zephra::service

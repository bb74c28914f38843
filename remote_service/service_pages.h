// The pages of the remote service: update check, update package, channel report, About and
// Help. ServicePages::answer is the whole service's handler for zephra::http::Server.
#pragma once

#include <string>

#include "common/http/http_server.h"
#include "remote_service/client_rate_limit.h"
#include "remote_service/publisher.h"
#include "remote_service/report_store.h"

namespace zephra::service {

class ServicePages {
 public:
  // Reports beyond `reportRate` from one client address are answered 429 and not stored.
  ServicePages(Publisher& publisher, ReportStore& reports, RateLimitSettings reportRate = {});

  // Every page depends on what is published or who asks, so none may be cached.
  void answer(const http::Request& req, http::Response& res);

 private:
  Publisher& m_publisher;
  ReportStore& m_reports;
  ClientRateLimit m_reportRate;
};

// The pages themselves, for tests and for the routes above.
std::string renderUpdateReply(const std::string& clientStamp, const std::string* publishedStamp);
std::string renderReportThanks(const std::string& address);
std::string renderAbout(const std::string& accountCode);
// `topic` is one of the help topics ("views", "keys", "favorites", "channels", "updates"); any
// other text gives the contents page.
std::string renderHelp(const std::string& topic);
std::string renderError(int status);

// One line of the access log, without its line end: "CLIENT METHOD TARGET STATUS". Bytes of
// the method and the target that are not printable ASCII, the blank and the backslash appear
// as \xHH, so a hostile request cannot forge lines or fields or send escape codes to the
// operator's terminal.
std::string accessLogLine(const http::Request& req, int status);

}  // namespace zephra::service

// The pages of the remote service: update check, update package, channel report, About and
// Help. ServicePages::answer is the whole service's handler for zephra::http::Server.
#pragma once

#include <string>

#include "common/http/http_server.h"
#include "remote_service/publisher.h"
#include "remote_service/report_store.h"

namespace zephra::service {

class ServicePages {
 public:
  ServicePages(Publisher& publisher, ReportStore& reports);

  // Every page depends on what is published or who asks, so none may be cached.
  void answer(const http::Request& req, http::Response& res);

 private:
  Publisher& m_publisher;
  ReportStore& m_reports;
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
// the target that are not printable ASCII, and the backslash, appear as \xHH, so a hostile
// target cannot forge lines or send escape codes to the operator's terminal.
std::string accessLogLine(const http::Request& req, int status);

}  // namespace zephra::service

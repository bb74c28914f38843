// The pages of the remote service as plain functions of the request: update check, update
// package, channel report, About and Help. Nothing here knows the HTTP library; the wiring in
// service_http.cpp hands requests in and sends replies out.
#pragma once

#include <cstdint>
#include <string>

#include "service/publisher.h"
#include "service/report_store.h"

namespace zephra::service {

struct ServiceRequest {
  std::string method = "GET";
  std::string target;         // raw request target, as the request line carried it
  std::string clientAddress;  // may be empty when the HTTP layer could not tell
  std::string userAgent;
};

struct ServiceReply {
  int status = 200;
  std::string contentType = "text/html; charset=utf-8";
  std::string body;
  std::string filePath;  // when set, the body is this file, sent as it is on disk
  bool noStore = true;   // every page depends on what is published or who asks
};

class ServicePages {
 public:
  ServicePages(Publisher& publisher, ReportStore& reports);

  ServiceReply answer(const ServiceRequest& request);

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

}  // namespace zephra::service

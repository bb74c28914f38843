// The service's HTTP wiring: hands every request to ServicePages and sends its reply. The only
// file that knows the HTTP library.
#pragma once

#include <memory>
#include <string>

#include "service/service_pages.h"

namespace httplib {
class Server;
}

namespace zephra::service {

class ServiceHttp {
 public:
  explicit ServiceHttp(ServicePages& pages);
  ~ServiceHttp();
  ServiceHttp(const ServiceHttp&) = delete;
  ServiceHttp& operator=(const ServiceHttp&) = delete;

  // Binds `host`:`port` (0 picks a free port) and returns the port; throws when it cannot.
  int bind(const std::string& host, int port);
  // Serves until stop(); false when serving failed.
  bool run();
  // Safe from any thread.
  void stop();
  bool isRunning() const;

 private:
  ServicePages& m_pages;
  std::unique_ptr<httplib::Server> m_http;
};

}  // namespace zephra::service

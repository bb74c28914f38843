#include "service/service_http.h"

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>

#include <httplib.h>

namespace zephra::service {

namespace {

// The package is read from its file as the client takes it, never held in memory. The file is
// opened here, once: a publish that prunes the release afterwards cannot cut this download.
void sendFile(const std::string& path, const std::string& type, httplib::Response& res) {
  auto file = std::make_shared<std::ifstream>(path, std::ios::binary);
  struct stat st {};
  if (!*file || ::stat(path.c_str(), &st) != 0) {
    res.status = 404;
    res.set_content(renderError(404), "text/html; charset=utf-8");
    return;
  }
  res.set_content_provider(
      static_cast<std::size_t>(st.st_size), type.c_str(),
      [file](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
        char buffer[64 * 1024];
        file->clear();
        file->seekg(static_cast<std::streamoff>(offset));
        while (length > 0) {
          file->read(buffer, static_cast<std::streamsize>(std::min(length, sizeof buffer)));
          const auto got = static_cast<std::size_t>(file->gcount());
          if (got == 0 || !sink.write(buffer, got)) return false;
          length -= got;
        }
        return true;
      });
}

void send(const ServiceReply& reply, httplib::Response& res) {
  res.status = reply.status;
  if (reply.noStore) res.set_header("Cache-Control", "no-store");
  if (!reply.filePath.empty())
    sendFile(reply.filePath, reply.contentType, res);
  else
    res.set_content(reply.body, reply.contentType.c_str());
}

}  // namespace

ServiceHttp::ServiceHttp(ServicePages& pages)
    : m_pages(pages), m_http(std::make_unique<httplib::Server>()) {
  httplib::Server& http = *m_http;
  http.set_payload_max_length(64 * 1024);
  // One request per connection, so a stop never waits for idle browser connections.
  http.set_keep_alive_max_count(1);
  // The library's default adds SO_REUSEPORT, which lets a second service bind the same port and
  // silently take half of the requests; a busy port must be an error instead.
  http.set_socket_options([](socket_t sock) {
    int yes = 1;
    ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  http.Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
    send(m_pages.answer({req.method, req.target, req.remote_addr,
                         req.get_header_value("User-Agent")}),
         res);
  });
  // A report's stream address enters the query unescaped and may hold a second "?"; the
  // library refuses such a request line with 400 before routing, keeping only the target (no
  // headers, no client address). Those requests are answered here from the target alone.
  http.set_error_handler([this](const httplib::Request& req, httplib::Response& res) {
    const auto query = req.target.find('?');
    if (res.status == 400 && (req.method == "GET" || req.method == "HEAD") &&
        !req.target.empty() && req.target.front() == '/' && query != std::string::npos &&
        req.target.find('?', query + 1) != std::string::npos) {
      res = httplib::Response();
      send(m_pages.answer({req.method, req.target, req.remote_addr, {}}), res);
      return;
    }
    if (res.body.empty()) res.set_content(renderError(res.status), "text/html; charset=utf-8");
  });
  http.set_exception_handler(
      [](const httplib::Request& req, httplib::Response& res, std::exception_ptr error) {
        std::string what = "unknown error";
        try {
          std::rethrow_exception(error);
        } catch (const std::exception& e) {
          what = e.what();
        } catch (...) {
        }
        std::fprintf(stderr, "zephra-service: %s: %s\n", req.path.c_str(), what.c_str());
        res.status = 500;
        res.set_content(renderError(500), "text/html; charset=utf-8");
      });
}

ServiceHttp::~ServiceHttp() { stop(); }

int ServiceHttp::bind(const std::string& host, int port) {
  if (port == 0) {
    const int chosen = m_http->bind_to_any_port(host);
    if (chosen <= 0) throw std::runtime_error("cannot bind " + host);
    return chosen;
  }
  if (!m_http->bind_to_port(host, port))
    throw std::runtime_error("cannot bind " + host + ":" + std::to_string(port));
  return port;
}

bool ServiceHttp::run() { return m_http->listen_after_bind(); }
void ServiceHttp::stop() { m_http->stop(); }
bool ServiceHttp::isRunning() const { return m_http->is_running(); }

}  // namespace zephra::service

// zephra::http: a small HTTP/1.1 server on libmicrohttpd, shared by the programs of the project.
//
// Connections are served by a few event-driven worker threads (poll): a connection that sends
// slowly or not at all costs a socket and a little memory, never a worker, so it cannot hold up
// anyone else's request, and stop() ends at once whatever the clients do. Handlers get a plain
// Request and fill a plain Response; they run on a worker thread and should not block for long.
//
//   zephra::http::Router router;
//   router.add("/hello", [](const Request& req, Response& res) {
//     res.setContent("hi " + req.param("name"), "text/plain; charset=utf-8");
//   });
//   zephra::http::Server server([&](const Request& q, Response& r) { router.dispatch(q, r); });
//   const int port = server.bind("127.0.0.1", 0);   // 0: any free port
//   server.run();                                    // until server.stop() from another thread
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/http/request_target.h"
#include "platform/input_file.h"
#include "platform/listen_socket.h"

struct MHD_Daemon;

namespace zephra::http {

// Header fields in arrival order; names compare without regard to case.
using Headers = std::vector<std::pair<std::string, std::string>>;

struct Request {
  std::string method;   // "GET", "HEAD", "POST", ...
  std::string version;  // "HTTP/1.1"
  std::string target;   // the request target exactly as sent: "/valid.php?cmd=a&value=x?y"
  std::string path;     // its path, percent-decoded: "/valid.php"
  std::string query;    // raw text after the first "?", or ""
  QueryParams params;   // the query split into decoded names and values
  Headers headers;
  std::string body;     // uploaded content, at most ServerOptions::maxBodyBytes
  // The peer's IP address as text ("127.0.0.1"); "" when the connection could not tell. Behind a
  // proxy this is the proxy.
  std::string clientAddress;

  // The first header of this name, or "".
  std::string header(std::string_view name) const;
  bool hasHeader(std::string_view name) const;
  bool hasParam(const std::string& name) const { return params.count(name) != 0; }
  // The first value of this parameter, or "".
  std::string param(const std::string& name) const;
  // The value of this cookie in the Cookie header(s), or nullopt.
  std::optional<std::string> cookie(std::string_view name) const;
};

// An open regular file to send as the body. Move-only; closes the file unless sent.
class FileBody {
 public:
  // Opens `path` for sending; nullopt when it cannot be opened or is not a regular file (a FIFO
  // or device is never opened in a way that could block).
  static std::optional<FileBody> open(const std::string& path);

  std::uint64_t size() const { return m_file.size(); }
  // The file as a C runtime descriptor; release() hands it to the library that sends and
  // closes it.
  int fd() const { return m_file.descriptor(); }
  int release() { return m_file.releaseDescriptor(); }

 private:
  explicit FileBody(InputFile file) : m_file(std::move(file)) {}

  InputFile m_file;
};

struct Response {
  int status = 200;
  Headers headers;
  std::string body;
  // When set, sent instead of `body`. A GET or HEAD answered 200 with a file honours Range
  // (206, or 416 for a range past the end).
  std::optional<FileBody> file;

  // Replaces any header of that name. Values holding CR or LF are refused by the server (500).
  void setHeader(std::string name, std::string value);
  void addHeader(std::string name, std::string value);
  bool hasHeader(std::string_view name) const;
  void setContent(std::string content, std::string contentType);
  void redirect(std::string location, int redirectStatus = 303);
  // Sends the file at `path`; false (and nothing changed) when it cannot be opened.
  bool sendFile(const std::string& path, std::string contentType);
};

using Handler = std::function<void(const Request&, Response&)>;

// Exact-path routing with a fallback for every other path.
class Router {
 public:
  void add(std::string path, Handler handler);
  void setFallback(Handler handler) { m_fallback = std::move(handler); }
  // Runs the handler for req.path; 404 when nothing matches and there is no fallback.
  void dispatch(const Request& req, Response& res) const;

 private:
  std::unordered_map<std::string, Handler> m_routes;
  Handler m_fallback;
};

struct ServerOptions {
  unsigned workerThreads = 4;
  // Open connections at once; more are refused at accept.
  unsigned connectionLimit = 512;
  // A connection that sends or takes nothing for this long is closed.
  unsigned idleTimeoutSeconds = 10;
  // Request line plus headers of one request; larger requests are answered 431/413.
  std::size_t maxHeaderBytes = 32 * 1024;
  // Uploaded content of one request; larger uploads are answered 413.
  std::size_t maxBodyBytes = 64 * 1024;
};

class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Server {
 public:
  // `handler` answers every request whose target parses; others get 400 without it. An
  // exception escaping the handler is logged to stderr and answered 500.
  explicit Server(Handler handler, ServerOptions options = {});
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Binds and listens on `host` (an IPv4 address) and `port` (0 picks a free one); returns the
  // port. Connections wait in the queue until run(). Throws Error when it cannot bind; a port
  // in use by anyone, this program included, is such an error (no SO_REUSEPORT).
  int bind(const std::string& host, int port);
  // Serves until stop(); false when serving could not start.
  bool run();
  // Safe from any thread and before run(): run() returns, open connections are closed.
  void stop();
  bool isRunning() const;

  // Used by the library's callbacks.
  struct Internals;

 private:
  Handler m_handler;
  ServerOptions m_options;
  ListenSocket m_listen;
  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  bool m_stopRequested = false;
  bool m_running = false;
};

}  // namespace zephra::http

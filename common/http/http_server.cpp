#include "common/http/http_server.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <microhttpd.h>

#include "common/http/byte_range.h"
#include "common/text.h"

namespace zephra::http {

namespace {

using text::equalsIgnoringCase;
using text::trimmed;

std::string peerAddress(MHD_Connection* connection) {
  const MHD_ConnectionInfo* info =
      MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
  if (!info) return {};
  return numericAddress(info->client_addr);
}

const std::string* findHeader(const Headers& headers, std::string_view name) {
  for (const auto& [key, value] : headers)
    if (equalsIgnoringCase(key, name)) return &value;
  return nullptr;
}

}  // namespace

std::string Request::header(std::string_view name) const {
  const std::string* value = findHeader(headers, name);
  return value ? *value : std::string();
}

bool Request::hasHeader(std::string_view name) const { return findHeader(headers, name) != nullptr; }

std::string Request::param(const std::string& name) const {
  const auto it = params.find(name);
  return it == params.end() ? std::string() : it->second;
}

std::optional<std::string> Request::cookie(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (!equalsIgnoringCase(key, "Cookie")) continue;
    std::string_view rest = value;
    while (!rest.empty()) {
      const auto semicolon = rest.find(';');
      const std::string_view pair = trimmed(rest.substr(0, semicolon));
      rest = semicolon == std::string_view::npos ? std::string_view() : rest.substr(semicolon + 1);
      const auto equals = pair.find('=');
      if (equals != std::string_view::npos && trimmed(pair.substr(0, equals)) == name)
        return std::string(trimmed(pair.substr(equals + 1)));
    }
  }
  return std::nullopt;
}

std::optional<FileBody> FileBody::open(const std::string& path) {
  try {
    return FileBody(InputFile::open(path));
  } catch (const FileRefused&) {
    return std::nullopt;
  }
}

void Response::setHeader(std::string name, std::string value) {
  Headers kept;
  for (auto& header : headers)
    if (!equalsIgnoringCase(header.first, name)) kept.push_back(std::move(header));
  headers = std::move(kept);
  addHeader(std::move(name), std::move(value));
}

void Response::addHeader(std::string name, std::string value) {
  headers.emplace_back(std::move(name), std::move(value));
}

bool Response::hasHeader(std::string_view name) const { return findHeader(headers, name) != nullptr; }

void Response::setContent(std::string content, std::string contentType) {
  body = std::move(content);
  file.reset();
  setHeader("Content-Type", std::move(contentType));
}

void Response::redirect(std::string location, int redirectStatus) {
  status = redirectStatus;
  setHeader("Location", std::move(location));
}

bool Response::sendFile(const std::string& path, std::string contentType) {
  auto opened = FileBody::open(path);
  if (!opened) return false;
  body.clear();
  file = std::move(opened);
  setHeader("Content-Type", std::move(contentType));
  return true;
}

void Router::add(std::string path, Handler handler) {
  m_routes[std::move(path)] = std::move(handler);
}

void Router::dispatch(const Request& req, Response& res) const {
  const auto it = m_routes.find(req.path);
  if (it != m_routes.end()) {
    it->second(req, res);
  } else if (m_fallback) {
    m_fallback(req, res);
  } else {
    res.status = 404;
  }
}

// One request's state between the library's calls, from its request line to its end.
struct RequestContext {
  std::string rawTarget;
  bool headersSeen = false;
  bool bodyTooLarge = false;
  std::string body;
};

struct Server::Internals {
  static void* requestLine(void*, const char* uri, MHD_Connection*) {
    auto* context = new (std::nothrow) RequestContext;
    if (context && uri) context->rawTarget = uri;
    return context;
  }

  static void requestEnded(void*, MHD_Connection*, void** state, MHD_RequestTerminationCode) {
    delete static_cast<RequestContext*>(*state);
    *state = nullptr;
  }

  static MHD_Result collectHeader(void* target, MHD_ValueKind, const char* key, const char* value) {
    static_cast<Headers*>(target)->emplace_back(key ? key : "", value ? value : "");
    return MHD_YES;
  }

  static MHD_Result queue(MHD_Connection* connection, const Request* req, Response& res) {
    std::uint64_t offset = 0;
    std::uint64_t length = res.file ? res.file->size() : res.body.size();
    if (res.file && res.status == 200 && req && (req->method == "GET" || req->method == "HEAD")) {
      res.setHeader("Accept-Ranges", "bytes");
      const std::string rangeHeader = req->header("Range");
      const ByteRange range = parseByteRange(rangeHeader, res.file->size());
      if (!rangeHeader.empty() && range.kind == ByteRange::Kind::Partial) {
        res.status = 206;
        offset = range.first;
        length = range.last - range.first + 1;
        res.setHeader("Content-Range", "bytes " + std::to_string(range.first) + "-" +
                                           std::to_string(range.last) + "/" +
                                           std::to_string(res.file->size()));
      } else if (range.kind == ByteRange::Kind::Unsatisfiable) {
        res.status = 416;
        res.setHeader("Content-Range", "bytes */" + std::to_string(res.file->size()));
        res.file.reset();
        res.body.clear();
        length = 0;
      }
    }
    MHD_Response* response = nullptr;
    if (res.file && length > 0) {
      response = MHD_create_response_from_fd_at_offset64(length, res.file->fd(), offset);
      if (response) res.file->release();  // the library closes it
    } else {
      response = MHD_create_response_from_buffer(res.file ? 0 : res.body.size(),
                                                 res.body.data(), MHD_RESPMEM_MUST_COPY);
    }
    if (!response) return MHD_NO;
    int status = res.status;
    for (const auto& [name, value] : res.headers) {
      if (MHD_add_response_header(response, name.c_str(), value.c_str()) == MHD_NO) {
        // A header the library refuses (a line break in a value, say) is a fault of ours:
        // answer 500 rather than send a response with part of its headers.
        MHD_destroy_response(response);
        static const char kText[] = "Internal error.\n";
        response = MHD_create_response_from_buffer(sizeof kText - 1, const_cast<char*>(kText),
                                                   MHD_RESPMEM_PERSISTENT);
        if (!response) return MHD_NO;
        status = 500;
        break;
      }
    }
    const MHD_Result queued = MHD_queue_response(connection, static_cast<unsigned>(status), response);
    MHD_destroy_response(response);
    return queued;
  }

  static MHD_Result plain(MHD_Connection* connection, int status, const char* text) {
    Response res;
    res.status = status;
    res.setContent(text, "text/plain; charset=utf-8");
    return queue(connection, nullptr, res);
  }

  static MHD_Result access(void* self, MHD_Connection* connection, const char*, const char* method,
                           const char* version, const char* upload, std::size_t* uploadSize,
                           void** state) {
    auto& server = *static_cast<Server*>(self);
    auto* context = static_cast<RequestContext*>(*state);
    if (!context) return MHD_NO;  // out of memory at the request line
    if (!context->headersSeen) {
      // The first call comes once the headers are in; the content, if any, follows.
      context->headersSeen = true;
      return MHD_YES;
    }
    if (*uploadSize > 0) {
      if (context->body.size() + *uploadSize > server.m_options.maxBodyBytes)
        context->bodyTooLarge = true;
      else
        context->body.append(upload, *uploadSize);
      *uploadSize = 0;
      return MHD_YES;
    }
    if (context->bodyTooLarge) return plain(connection, 413, "Request too large.\n");

    auto target = parseRequestTarget(context->rawTarget);
    if (!target) return plain(connection, 400, "Bad request target.\n");
    Request req;
    req.method = method ? method : "";
    req.version = version ? version : "";
    req.target = std::move(context->rawTarget);
    req.path = std::move(target->path);
    req.query = std::move(target->query);
    req.params = std::move(target->params);
    req.body = std::move(context->body);
    req.clientAddress = peerAddress(connection);
    MHD_get_connection_values(connection, MHD_HEADER_KIND, &collectHeader, &req.headers);

    Response res;
    try {
      server.m_handler(req, res);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "http: %s %s: %s\n", req.method.c_str(), req.path.c_str(), e.what());
      return plain(connection, 500, "Internal error.\n");
    } catch (...) {
      std::fprintf(stderr, "http: %s %s: unknown error\n", req.method.c_str(), req.path.c_str());
      return plain(connection, 500, "Internal error.\n");
    }
    return queue(connection, &req, res);
  }
};

Server::Server(Handler handler, ServerOptions options)
    : m_handler(std::move(handler)), m_options(options) {}

Server::~Server() { stop(); }

int Server::bind(const std::string& host, int port) {
  if (m_listen.valid()) throw Error("already bound");
  if (port < 0 || port > 65535) throw Error("bad port " + std::to_string(port));
  // A queue as long as the connection limit: a burst of clients within the limit is not made to
  // wait a second for the retry of a dropped connection request.
  try {
    m_listen = ListenSocket(host, port, static_cast<int>(m_options.connectionLimit));
  } catch (const SocketError& e) {
    throw Error(e.what());
  }
  return m_listen.port();
}

bool Server::run() {
  std::unique_lock<std::mutex> lock(m_mutex);
  if (m_stopRequested) return true;
  if (!m_listen.valid()) return false;
  // poll(), not epoll: the library's epoll loop (0.9.75) takes at most 128 events per call and,
  // when a worker gets exactly that many, waits again with the full time-out before serving
  // them, so a worker with 128 busy kept-alive connections left them all unanswered until the
  // idle time-out closed them. poll() has no such batch, and a worker holds a few hundred
  // sockets at most.
  MHD_Daemon* daemon = MHD_start_daemon(
      MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_POLL | MHD_USE_ITC, 0, nullptr, nullptr,
      &Internals::access, this,
      MHD_OPTION_LISTEN_SOCKET, static_cast<MHD_socket>(m_listen.native()),
      MHD_OPTION_THREAD_POOL_SIZE, static_cast<unsigned int>(m_options.workerThreads),
      MHD_OPTION_CONNECTION_LIMIT, static_cast<unsigned int>(m_options.connectionLimit),
      MHD_OPTION_CONNECTION_TIMEOUT, static_cast<unsigned int>(m_options.idleTimeoutSeconds),
      MHD_OPTION_CONNECTION_MEMORY_LIMIT, static_cast<std::size_t>(m_options.maxHeaderBytes),
      MHD_OPTION_URI_LOG_CALLBACK, &Internals::requestLine, nullptr,
      MHD_OPTION_NOTIFY_COMPLETED, &Internals::requestEnded, nullptr,
      MHD_OPTION_END);
  if (!daemon) return false;
  m_listen.release();  // the daemon owns and closes it
  m_running = true;
  m_changed.notify_all();
  m_changed.wait(lock, [this] { return m_stopRequested; });
  lock.unlock();
  MHD_stop_daemon(daemon);
  lock.lock();
  m_running = false;
  return true;
}

void Server::stop() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_stopRequested = true;
  m_changed.notify_all();
}

bool Server::isRunning() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_running && !m_stopRequested;
}

}  // namespace zephra::http

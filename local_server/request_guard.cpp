#include "local_server/request_guard.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace zephra {

namespace {

constexpr std::size_t kTokenBytes = 32;

std::string lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// Splits "name:port" / "[::1]:port"; port is "" when absent.
void splitHostPort(std::string_view host, std::string& name, std::string& port) {
  if (!host.empty() && host.front() == '[') {
    const auto end = host.find(']');
    name = lowered(host.substr(0, end == std::string_view::npos ? host.size() : end + 1));
    port = end != std::string_view::npos && end + 1 < host.size() && host[end + 1] == ':'
               ? std::string(host.substr(end + 2))
               : std::string();
    return;
  }
  const auto colon = host.rfind(':');
  name = lowered(host.substr(0, colon));
  port = colon == std::string_view::npos ? std::string() : std::string(host.substr(colon + 1));
}

bool loopbackName(const std::string& name) {
  return name == "127.0.0.1" || name == "localhost" || name == "[::1]";
}

bool isHexToken(const std::string& text) {
  if (text.size() != kTokenBytes * 2) return false;
  for (char c : text)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

std::string readSmallRegularFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return {};
  std::string text;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= 256) {
    char buffer[256];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) text.assign(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

std::string newToken() {
  unsigned char bytes[kTokenBytes];
  std::size_t got = 0;
  while (got < sizeof bytes) {
    const ssize_t n = ::getrandom(bytes + got, sizeof bytes - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw std::runtime_error(std::string("no random numbers: ") + std::strerror(errno));
    got += static_cast<std::size_t>(n);
  }
  static const char kHex[] = "0123456789abcdef";
  std::string text;
  for (unsigned char b : bytes) {
    text += kHex[b >> 4];
    text += kHex[b & 15];
  }
  return text;
}

void storeToken(const std::string& path, const std::string& token) {
  const std::string part = path + ".part";
  ::unlink(part.c_str());
  const int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) throw std::runtime_error("cannot create " + part + ": " + std::strerror(errno));
  const std::string line = token + "\n";
  const bool written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
  ::close(fd);
  if (!written || ::rename(part.c_str(), path.c_str()) != 0) {
    ::unlink(part.c_str());
    throw std::runtime_error("cannot write " + path);
  }
}

}  // namespace

bool loopbackHost(std::string_view host) {
  if (host.empty()) return true;
  std::string name, port;
  splitHostPort(host, name, port);
  return loopbackName(name);
}

bool fromAnotherOrigin(const http::Request& req, int ownPort) {
  const std::string site = req.header("Sec-Fetch-Site");
  if (!site.empty() && site != "same-origin" && site != "none") return true;
  if (!req.hasHeader("Referer")) return false;
  const std::string referer = req.header("Referer");
  constexpr std::string_view kScheme = "http://";
  if (referer.compare(0, kScheme.size(), kScheme) != 0) return true;
  const auto hostEnd = referer.find_first_of("/?#", kScheme.size());
  std::string name, port;
  splitHostPort(std::string_view(referer).substr(kScheme.size(), hostEnd == std::string::npos
                                                                      ? std::string::npos
                                                                      : hostEnd - kScheme.size()),
                name, port);
  return !loopbackName(name) || port != std::to_string(ownPort);
}

bool changesStoredData(const http::Request& req) {
  if (req.path == "/valid.php" || req.path == "/locup.php") return true;
  if (req.path == "/sources.php")
    return req.hasParam("add") || req.hasParam("remove") || req.hasParam("on") ||
           req.hasParam("off") || req.hasParam("refresh");
  return req.path == "/favmanage.php" &&
         (req.hasParam("remove") || req.hasParam("up") || req.hasParam("down"));
}

PageToken::PageToken(const std::string& path) {
  m_value = readSmallRegularFile(path);
  if (isHexToken(m_value)) return;
  m_value = newToken();
  try {
    storeToken(path, m_value);
  } catch (const std::exception& e) {
    // A data folder that cannot be written costs only this: pages opened before a restart of
    // the server have to be loaded again after it.
    std::fprintf(stderr, "zephra-server: page token kept for this run only: %s\n", e.what());
  }
}

bool PageToken::carriedBy(const http::Request& req) const {
  const auto sent = req.cookie(kPageCookieName);
  if (!sent || sent->size() != m_value.size()) return false;
  unsigned char difference = 0;  // compared in constant time
  for (std::size_t i = 0; i < m_value.size(); ++i)
    difference |= static_cast<unsigned char>((*sent)[i] ^ m_value[i]);
  return difference == 0;
}

std::string PageToken::setCookie() const {
  return std::string(kPageCookieName) + "=" + m_value + "; Path=/; SameSite=Strict; HttpOnly";
}

}  // namespace zephra

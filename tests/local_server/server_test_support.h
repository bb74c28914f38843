// Shared pieces of the local server tests: private folders, a document tree with a playlist, the
// real routes running in-process on an ephemeral 127.0.0.1 port, and small HTML helpers.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

#include "local_server/local_server.h"
#include "tests/support/page_cookie.h"
#include "tests/support/temp_dir.h"

namespace zephra::test {

namespace fs = std::filesystem;

inline void writeFile(const fs::path& path, const std::string& content) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

inline std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// One #EXTINF entry.
inline std::string entry(const std::string& name, const std::string& url,
                         const std::string& group = "", const std::string& logo = "") {
  std::string line = "#EXTINF:-1";
  if (!group.empty()) line += " group-title=\"" + group + "\"";
  if (!logo.empty()) line += " tvg-logo=\"" + logo + "\"";
  return line + "," + name + "\n" + url + "\n";
}

// lib/ with Program/www/localhost/channels.m3u and a private data folder, served by the real
// routes on a thread.
class ServerFixture {
 public:
  explicit ServerFixture(const std::string& playlist, std::size_t pageSize = kDirectoryPageSize,
                         PackageLimits limits = {}, SourceRefreshOptions sources = {},
                         ChannelCheckOptions checks = {}, RecordingOptions recordings = {}) {
    writeFile(docRoot() / "channels.m3u", playlist);
    LocalServerConfig config;
    config.docRoot = docRoot().string();
    config.dataDir = dataDir().string();
    config.pageSize = pageSize;
    config.packageLimits = limits;
    config.sources = sources;
    config.checks = checks;
    config.recordings = recordings;
    config.playlistCheckInterval = std::chrono::milliseconds(0);
    config.guideCheckInterval = std::chrono::milliseconds(20);
    m_server = std::make_unique<LocalServer>(config);
    // The pages under test are those of a loaded list, not the loading notice.
    m_server->waitForChannelList();
    m_port = m_server->bind("127.0.0.1", 0);
    m_thread = std::thread([this] { m_server->run(); });
    for (int i = 0; i < 400 && !m_server->isRunning(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ~ServerFixture() {
    m_server->stop();
    if (m_thread.joinable()) m_thread.join();
  }
  ServerFixture(const ServerFixture&) = delete;
  ServerFixture& operator=(const ServerFixture&) = delete;

  fs::path lib() const { return m_dir.path() / "lib"; }
  fs::path docRoot() const { return lib() / "Program" / "www" / "localhost"; }
  fs::path dataDir() const { return lib() / "Program" / "data"; }
  int port() const { return m_port; }
  LocalServer& server() { return *m_server; }

  // The page cookie the player puts in its browsers, as a Cookie header value.
  std::string cookie() const { return pageCookie(dataDir()); }
  std::string cookieHeader() const { return "Cookie: " + cookie() + "\r\n"; }
  // The form token our own pages put into their change links and forms.
  std::string formToken() {
    std::smatch match;
    const std::string page = body("/sources.php");
    if (!std::regex_search(page, match, std::regex("name=\"token\" value=\"([0-9a-f]+)\"")))
      throw std::runtime_error("no form token on the sources page");
    return match[1].str();
  }

  // GET of a request target sent byte for byte as given (the player never escapes anything),
  // with the page cookie, as the player's browsers send it for a navigation.
  httplib::Result get(const std::string& target) {
    httplib::Client client("127.0.0.1", m_port);
    client.set_default_headers({{"Cookie", cookie()}, {"Sec-Fetch-Dest", "document"}});
    client.set_connection_timeout(5);
    client.set_read_timeout(10);
    client.set_url_encode(false);
    return client.Get(target.c_str());
  }
  std::string body(const std::string& target) {
    auto result = get(target);
    if (!result) throw std::runtime_error("no answer for " + target);
    return result->body;
  }

 private:
  TempDir m_dir;
  std::unique_ptr<LocalServer> m_server;
  std::thread m_thread;
  int m_port = 0;
};

// The status code of a request line sent over a plain socket, exactly as written, so that no
// client library can normalise the path first. 0 when there was no answer.
inline int rawStatus(int port, const std::string& target, const std::string& host = "127.0.0.1",
                     const std::string& extraHeaders = "") {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return 0;
  timeval timeout{5, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int status = 0;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    const std::string request =
        "GET " + target + " HTTP/1.1\r\nHost: " + host + "\r\n" + extraHeaders +
        "Connection: close\r\n\r\n";
    if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
        static_cast<ssize_t>(request.size())) {
      char buffer[64] = {};
      const ssize_t n = ::recv(fd, buffer, sizeof buffer - 1, 0);
      if (n > 12 && std::string(buffer, 9) == "HTTP/1.1 ") status = std::atoi(buffer + 9);
    }
  }
  ::close(fd);
  return status;
}

// What a browser makes of an attribute value: character references decoded.
inline std::string htmlUnescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&') {
      out += text[i];
      continue;
    }
    const auto end = text.find(';', i);
    if (end == std::string::npos) throw std::runtime_error("bare & in HTML: " + text);
    const std::string name = text.substr(i + 1, end - i - 1);
    if (name == "amp") out += '&';
    else if (name == "lt") out += '<';
    else if (name == "gt") out += '>';
    else if (name == "quot") out += '"';
    else if (name == "#39") out += '\'';
    else throw std::runtime_error("unknown reference &" + name + ";");
    i = end;
  }
  return out;
}

// The first group of every match of `pattern` in the page, in page order.
inline std::vector<std::string> firstGroups(const std::string& page, const std::string& pattern) {
  std::vector<std::string> result;
  const std::regex expression(pattern);
  for (auto it = std::sregex_iterator(page.begin(), page.end(), expression);
       it != std::sregex_iterator(); ++it)
    result.push_back((*it)[1].str());
  return result;
}

// The decoded href values of the links of one class ("play", "fav", "remove") in page order.
inline std::vector<std::string> hrefsOf(const std::string& page, const std::string& cls) {
  std::vector<std::string> result;
  for (const auto& href : firstGroups(page, "<a class=\"" + cls + "[^\"]*\" href=\"([^\"]*)\""))
    result.push_back(htmlUnescape(href));
  return result;
}

// The page's own requests, as the player's browser sends them after a click on our page.
inline httplib::Result change(ServerFixture& server, const std::string& target) {
  const std::string withToken = target + "&token=" + server.formToken();
  httplib::Client client("127.0.0.1", server.port());
  client.set_default_headers({{"Cookie", server.cookie()},
                              {"Sec-Fetch-Site", "same-origin"},
                              {"Sec-Fetch-Dest", "document"}});
  client.set_url_encode(false);
  return client.Get(withToken.c_str());
}

// The value of the retVal field of a reply page, or "" when there is none.
inline std::string retVal(const std::string& page) {
  std::smatch match;
  if (std::regex_search(page, match, std::regex("id=\"retVal\"[^>]*value=\"([^\"]*)\"")))
    return match[1].str();
  return {};
}

}  // namespace zephra::test

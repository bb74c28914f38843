// A loopback stand-in for the remote service, for the update and information windows' tests:
// the update check's reply, the package in several misbehaving forms, the About and Help pages,
// and a log of every request target as it arrived (raw, not decoded).
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "tests/support/loopback_server.h"

namespace zephra::test {

enum class PackageMode { Whole, Missing, CutShort, Stalled, Gated };

class RemoteServiceDouble {
 public:
  RemoteServiceDouble() {
    auto& http = m_server.http();
    http.Get("/update.php", [this](const httplib::Request& req, httplib::Response& res) {
      log(req.target);
      std::lock_guard<std::mutex> lock(m_mutex);
      res.set_content(m_reply, "text/html; charset=utf-8");
    });
    http.Get("/update/update.zip", [this](const httplib::Request& req, httplib::Response& res) {
      log(req.target);
      const PackageMode mode = packageMode;
      if (mode == PackageMode::Missing) {
        res.status = 404;
        res.set_content("<html><body>Not Found</body></html>", "text/html");
        return;
      }
      res.set_content_provider(package.size(), "application/zip",
                               [this, mode](size_t offset, size_t, httplib::DataSink& sink) {
                                 if (mode == PackageMode::Whole || offset > 0) {
                                   if (mode == PackageMode::CutShort) return false;
                                   if (mode != PackageMode::Whole) waitAtGate();
                                   sink.write(package.data() + offset, package.size() - offset);
                                   return true;
                                 }
                                 sink.write(package.data(), package.size() / 2);
                                 return true;
                               });
    });
    for (const char* page : {"/about-soft.php", "/help-soft.php"})
      http.Get(page, [this](const httplib::Request& req, httplib::Response& res) {
        log(req.target);
        res.set_content("<html><body><p>page</p></body></html>", "text/html");
      });
    m_server.start();
  }
  ~RemoteServiceDouble() {
    openGate();
    m_server.stop();
  }

  std::string base() const { return m_server.base(); }

  void setReply(const std::string& html) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_reply = html;
  }
  std::vector<std::string> requests() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
  }
  int count(const std::string& target) {
    int n = 0;
    for (const std::string& r : requests()) n += r == target;
    return n;
  }
  // Lets a stalled or gated package go on.
  void openGate() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_gateOpen = true;
    m_wake.notify_all();
  }

  std::string package = std::string(200000, 'P');
  PackageMode packageMode = PackageMode::Whole;

 private:
  void log(const std::string& target) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requests.push_back(target);
  }
  void waitAtGate() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_wake.wait_for(lock, std::chrono::seconds(20), [this] { return m_gateOpen; });
  }

  LoopbackServer m_server;
  std::mutex m_mutex;
  std::condition_variable m_wake;
  bool m_gateOpen = false;
  std::string m_reply;
  std::vector<std::string> m_requests;
};

}  // namespace zephra::test

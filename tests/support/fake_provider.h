// A provider's server of the player API on 127.0.0.1, written from the API's public description:
// player_api.php (the login, get_live_categories, get_live_streams), get.php (the same channels
// as a playlist) and xmltv.php for one account, with as many channels as asked for, and the ways real servers refuse or misbehave.
// The answers carry the API's usual looseness (ids and flags as text or numbers, "" for none).
#pragma once

#include <chrono>
#include <ctime>
#include <mutex>
#include <string>

#include "tests/support/loopback_server.h"

namespace zephra::test {

class FakeProvider {
 public:
  enum class Login { Good, Wrong, Expired, Disabled, Banned, WebPage, Huge, Refused401 };

  static constexpr const char* kUser = "viewer";
  static constexpr const char* kPassword = "pa ss&word";
  static constexpr int kCategories = 3;
  // With its charset, as many servers send it; and the test server then sends it as it is,
  // without spending seconds compressing a large list for a client on the same machine.
  static constexpr const char* kJson = "application/json; charset=utf-8";

  explicit FakeProvider(std::size_t channels = 6) {
    setChannels(channels);
    m_server.http().Get("/player_api.php", [this](const httplib::Request& req,
                                                  httplib::Response& res) { api(req, res); });
    m_server.http().Get("/get.php", [this](const httplib::Request& req, httplib::Response& res) {
      if (!authorised(req)) {
        res.status = 401;
        return;
      }
      res.set_content(playlist(), "audio/x-mpegurl");
    });
    m_server.http().Get("/xmltv.php", [this](const httplib::Request& req, httplib::Response& res) {
      if (!authorised(req)) {
        res.status = 401;
        return;
      }
      res.set_content(guide(), "application/xml");
    });
    m_server.start();
  }

  std::string server() const { return "http://127.0.0.1:" + std::to_string(m_server.port()); }

  void setLogin(Login login) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_login = login;
  }
  // Channel i: "Channel i", stream id 1000 + i, in category i % kCategories + 1, guide id
  // "chI.example"; every third keeps an archive of 7 days.
  void setChannels(std::size_t channels) {
    std::string streams = "[";
    for (std::size_t i = 0; i < channels; ++i) {
      const std::string n = std::to_string(i);
      const bool archive = i % 3 == 0;
      streams += std::string(i ? "," : "") + "{\"num\":" + std::to_string(i + 1) +
                 ",\"name\":\"Channel " + n + "\",\"stream_type\":\"live\",\"stream_id\":" +
                 (i % 2 ? "\"" + std::to_string(1000 + i) + "\"" : std::to_string(1000 + i)) +
                 ",\"stream_icon\":\"http://logo.example/" + n + ".png\",\"epg_channel_id\":\"ch" +
                 n + ".example\",\"added\":\"1600000000\",\"category_id\":\"" +
                 std::to_string(i % kCategories + 1) + "\",\"custom_sid\":\"\",\"tv_archive\":" +
                 (archive ? "1" : "\"0\"") + ",\"direct_source\":\"\",\"tv_archive_duration\":" +
                 (archive ? "\"7\"" : "0") + "}";
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_streams = streams + "]";
    m_channels = channels;
  }
  // The streams answer as given, however broken.
  void setStreamsAnswer(std::string answer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_streams = std::move(answer);
  }
  int apiRequests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
  }

 private:
  bool authorised(const httplib::Request& req) const {
    return req.get_param_value("username") == kUser && req.get_param_value("password") == kPassword;
  }

  void api(const httplib::Request& req, httplib::Response& res) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_requests;
    const std::string action = req.get_param_value("action");
    if (m_login == Login::WebPage) {
      res.set_content("<!DOCTYPE html><html><body>Welcome</body></html>", "text/html");
    } else if (m_login == Login::Huge) {
      res.set_content(std::string(3 << 20, ' ') + "{}", kJson);
    } else if (m_login == Login::Refused401) {
      res.status = 401;
    } else if (!authorised(req) || m_login == Login::Wrong) {
      res.set_content("{\"user_info\":{\"auth\":0}}", kJson);
    } else if (action.empty()) {
      res.set_content(userInfo(), kJson);
    } else if (action == "get_live_categories") {
      res.set_content("[{\"category_id\":\"3\",\"category_name\":\"Films\",\"parent_id\":0},"
                      "{\"category_id\":\"1\",\"category_name\":\"News\",\"parent_id\":0},"
                      "{\"category_id\":2,\"category_name\":\"Sport\",\"parent_id\":\"0\"}]",
                      kJson);
    } else if (action == "get_live_streams") {
      res.set_content(m_streams, kJson);
    } else {
      res.set_content("[]", kJson);
    }
  }

  std::string userInfo() const {
    const char* status = m_login == Login::Disabled ? "Disabled"
                         : m_login == Login::Banned ? "Banned"
                         : m_login == Login::Expired ? "Expired"
                                                     : "Active";
    const std::string expires = m_login == Login::Expired ? "1594000000" : "4102488000";
    return std::string("{\"user_info\":{\"username\":\"") + kUser + "\",\"password\":\"" +
           kPassword + "\",\"message\":\"\",\"auth\":1,\"status\":\"" + status +
           "\",\"exp_date\":\"" + expires + "\",\"is_trial\":\"0\",\"active_cons\":\"1\","
           "\"created_at\":\"1500000000\",\"max_connections\":\"2\","
           "\"allowed_output_formats\":[\"m3u8\",\"ts\"]},\"server_info\":{\"url\":\"127.0.0.1\","
           "\"port\":\"" + std::to_string(m_server.port()) + "\",\"server_protocol\":\"http\"}}";
  }

  std::string playlist() const {
    static const char* const kNames[] = {"News", "Sport", "Films"};
    std::size_t channels = 0;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      channels = m_channels;
    }
    std::string text = "#EXTM3U\n";
    for (std::size_t i = 0; i < channels; ++i) {
      const std::string n = std::to_string(i);
      text += "#EXTINF:-1 tvg-id=\"ch" + n + ".example\" tvg-logo=\"http://logo.example/" + n +
              ".png\" group-title=\"" + kNames[i % kCategories] + "\",Channel " + n + "\n" +
              server() + "/live/viewer/pa%20ss%26word/" + std::to_string(1000 + i) + ".ts\n";
    }
    return text;
  }

  // Channel 0's programme now, and the next one.
  static std::string guide() {
    auto at = [](std::time_t when) {
      std::tm parts{};
      gmtime_r(&when, &parts);
      char text[32];
      std::strftime(text, sizeof text, "%Y%m%d%H%M%S +0000", &parts);
      return std::string(text);
    };
    const std::time_t now = std::time(nullptr);
    return "<?xml version=\"1.0\"?><tv><channel id=\"ch0.example\"><display-name>Channel 0"
           "</display-name></channel><programme channel=\"ch0.example\" start=\"" + at(now - 1800) +
           "\" stop=\"" + at(now + 1800) + "\"><title>Morning News</title></programme>"
           "<programme channel=\"ch0.example\" start=\"" + at(now + 1800) + "\" stop=\"" +
           at(now + 5400) + "\"><title>Weather</title></programme></tv>";
  }

  mutable std::mutex m_mutex;
  Login m_login = Login::Good;
  std::string m_streams;
  std::size_t m_channels = 0;
  int m_requests = 0;
  LoopbackServer m_server;  // last: stopped before what its handlers use goes
};

}  // namespace zephra::test

// A real player in a shown frame, a loopback server with the test stream, and a record of
// everything the player reported.
#pragma once

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>
#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/thread.h>

#include "platform/media_player_mpv.h"
#include "tests/support/loopback_server.h"
#include "tests/support/loopback_socket.h"
#include "tests/support/wx_test_util.h"

namespace zephra::test {

inline std::string readTestClip() {
  std::ifstream in(ZEPHRA_PLAYER_TEST_CLIP, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_clip = readTestClip();
    ASSERT_GT(m_clip.size(), 10000u) << "test stream missing: " << ZEPHRA_PLAYER_TEST_CLIP;
    m_server.http().Get(R"(/(\w+)\.ts)", [this](const httplib::Request& request, httplib::Response& response) {
      std::lock_guard<std::mutex> lock(m_requestsMutex);
      m_requests.push_back(request.path);
      // Sent as a live channel is: chunked, no length, no seeking.
      response.set_chunked_content_provider("video/mp2t", [this](size_t offset, httplib::DataSink& sink) {
        if (offset >= m_clip.size()) {
          sink.done();
          return true;
        }
        const size_t length = std::min<size_t>(64 * 1024, m_clip.size() - offset);
        return sink.write(m_clip.data() + offset, length);
      });
    });
    m_server.start();
    m_frame = new wxFrame(nullptr, wxID_ANY, "player test", wxPoint(0, 0), wxSize(400, 300));
    m_host = new wxPanel(m_frame, wxID_ANY, wxPoint(20, 20), wxSize(320, 240));
    m_frame->Show();
  }

  void TearDown() override {
    m_player.reset();
    if (m_frame) m_frame->Destroy();
    pumpFor(std::chrono::milliseconds(20));
  }

  // Most tests need no picture or sound device: both null outputs.
  void createPlayer(MediaPlayerOptions options = {"null", "null"}) {
    m_player = createMediaPlayer(m_host, options);
    m_mpv = dynamic_cast<MpvMediaPlayer*>(m_player.get());
    ASSERT_NE(m_mpv, nullptr);
    m_player->onMediaChange = [this] {
      ++m_mediaChanges;
      if (!wxIsMainThread()) m_offThread = true;
    };
    m_player->onStatusChange = [this] {
      m_statuses.push_back(m_player->status());
      if (!wxIsMainThread()) m_offThread = true;
    };
    m_mpv->onLogMessage = [this](const std::string& level, const std::string& module, const std::string& text) {
      if (level == "error" || level == "fatal") m_errors.push_back(module + ": " + text);
    };
  }

  std::string url(const std::string& name) const { return m_server.base() + name + ".ts"; }

  // The main window's channel switch: stop, the new address, play.
  void switchTo(const std::string& name) {
    m_player->stop();
    m_player->setUrl(url(name));
    m_player->play();
  }

  // A new player given the address of `name`: true once it plays.
  bool startPlaying(const std::string& name) {
    createPlayer();
    m_player->setUrl(url(name));
    return waitForStatus("Playing");
  }

  bool waitForStatus(const std::string& text, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    return pumpUntil([&] { return m_player->status() == text; }, timeout);
  }
  bool waitForStatusStart(const std::string& prefix, std::chrono::milliseconds timeout) {
    return pumpUntil([&] { return m_player->status().rfind(prefix, 0) == 0; }, timeout);
  }
  bool waitForMediaChanges(int count) {
    return pumpUntil([&] { return m_mediaChanges >= count; });
  }
  bool sawStatus(const std::string& text) const {
    for (const auto& s : m_statuses)
      if (s == text) return true;
    return false;
  }
  int requestsFor(const std::string& path) {
    std::lock_guard<std::mutex> lock(m_requestsMutex);
    int count = 0;
    for (const auto& r : m_requests) count += (r == path);
    return count;
  }
  std::string errors() const {
    std::ostringstream out;
    for (const auto& e : m_errors) out << e;
    return out.str();
  }

  std::string m_clip;
  LoopbackServer m_server;
  std::mutex m_requestsMutex;
  std::vector<std::string> m_requests;  // written on the server thread
  wxFrame* m_frame = nullptr;
  wxPanel* m_host = nullptr;
  std::unique_ptr<MediaPlayer> m_player;
  MpvMediaPlayer* m_mpv = nullptr;
  int m_mediaChanges = 0;
  bool m_offThread = false;
  std::vector<std::string> m_statuses;
  std::vector<std::string> m_errors;
};

}  // namespace zephra::test

// The whole update journey on the staged program, with the real local server it starts and the
// real zephra-service: new content is published, the player offers it, downloads it, records the
// stamp, has the local server install it, and shows the new channels; plus the ways it fails.
#include <algorithm>
#include <optional>
#include <regex>

#include "tests/support/server_process.h"
#include "tests/ui/main/program_fixture.h"

#ifndef ZEPHRA_SERVICE_BINARY
#error "ZEPHRA_SERVICE_BINARY must name the zephra-service program"
#endif

namespace zephra::test {
namespace {

const std::string kLocalBase =
    std::string("http://") + kLocalServerHost + ":" + std::to_string(kLocalServerPort) + "/";
const std::string kNewChannels = "#EXTM3U\n#EXTINF:-1 tvg-id=\"journey.demo\" group-title=\"Journey\",Journey Channel\n" +
                                 kLocalBase + "demo/testcard.ts\n";

std::string readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

int visibleCount(const std::string& title) {
  const std::string ids = run("xdotool search --onlyvisible --name '^" + title + "$' 2>/dev/null");
  return static_cast<int>(std::count(ids.begin(), ids.end(), '\n'));
}

// zephra-service on a free loopback port with its own data folder; every line of its access log
// becomes an event.
class ServiceProcess {
 public:
  explicit ServiceProcess(const fs::path& data) : m_data(data), m_service({ZEPHRA_SERVICE_BINARY, "--data", data.string()}) {
    m_reader = std::thread([this] {
      while (const auto logged = m_service.process().readLine(std::chrono::hours(1))) log.add(*logged);
      log.add("(output ended: the service exited or closed it)");  // says so when it died early
    });
  }
  ~ServiceProcess() {
    m_service.stop();
    m_reader.join();
  }
  int port() const { return m_service.port(); }
  std::string base() const { return m_service.base(); }

  // Publishes `channels` as the content's channel list; the new stamp.
  std::string publish(const fs::path& content, const std::string& channels) {
    fs::create_directories(content);
    std::ofstream(content / "channels.m3u", std::ios::binary) << channels;
    ChildProcess publisher({ZEPHRA_SERVICE_BINARY, "publish", content.string(), "--data", m_data.string()});
    const auto line = publisher.readLine(30s);
    std::smatch match;
    if (!line || !std::regex_search(*line, match, std::regex(R"(^published (\S+))")) || publisher.wait(30s) != 0)
      throw std::runtime_error("publish failed: " + line.value_or("(nothing)"));
    return match[1];
  }

  Recorder log;  // "127.0.0.1 GET /update.php?t=0 200"

 private:
  fs::path m_data;
  ServerProcess m_service;
  std::thread m_reader;
};

// Passes every request on to the real service, but spoils the package: it is gone (404, as when
// it vanishes between the check and the download; the service itself never offers a package it
// does not have), or only its first half is sent before the connection closes.
class Relay {
 public:
  enum class Package { Missing, Cut };
  Relay(int servicePort, Package package) : m_servicePort(servicePort) {
    m_server.http().Get(R"(/(.*))", [this, package](const httplib::Request& request, httplib::Response& response) {
      httplib::Client service("127.0.0.1", m_servicePort);
      service.set_url_encode(false);
      service.set_connection_timeout(10);
      service.set_read_timeout(10);
      const auto answer = service.Get(request.target.c_str());
      // Every request and what the service made of it, for the failure message.
      forwarded.add(request.target + " -> " + (answer ? std::to_string(answer->status) : httplib::to_string(answer.error())));
      if (!answer) {
        response.status = 502;
        return;
      }
      response.status = answer->status;
      if (request.path == "/update/update.zip") spoiled.add("package");
      if (request.path == "/update/update.zip" && package == Package::Missing) {
        response.status = 404;
        response.set_content("<html><body>Not found.</body></html>", "text/html");
        return;
      }
      if (request.path != "/update/update.zip" || answer->status != 200) {
        response.set_content(answer->body, answer->get_header_value("Content-Type").c_str());
        return;
      }
      auto package = std::make_shared<std::string>(answer->body);
      response.set_content_provider(package->size(), "application/zip",
                                    [this, package](size_t offset, size_t, httplib::DataSink& sink) {
                                      if (offset > 0) return false;  // the cut
                                      sink.write(package->data(), package->size() / 2);
                                      spoiled.add("cut");
                                      return true;
                                    });
    });
    m_server.start();
  }
  std::string base() const { return m_server.base(); }
  Recorder spoiled;    // "package" for each package request, "cut" once half of it is sent
  Recorder forwarded;  // "<target> -> <service status or error>"

 private:
  int m_servicePort;
  LoopbackServer m_server;
};

class UpdateJourney : public ProgramFixture {
 protected:
  void SetUp() override {
    ProgramFixture::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    recordInto(m_observer, m_pages);
    m_observer.start();
    instrumentPages(m_observer.base(), true);
    m_service.emplace(m_root / "service-data");
    m_shippedConfig = readAll(m_app / "config.ini");
    m_shippedChannels = readAll(docRoot() / "channels.m3u");
  }
  void TearDown() override {
    ProgramFixture::TearDown();
    m_relay.reset();
    m_service.reset();
    m_observer.stop();
  }

  void pointPlayerAt(const std::string& base) { std::ofstream(m_app / "remotebase.txt") << base << "\n"; }
  std::string diagnosis() {
    std::string text = ProgramFixture::diagnosis(m_pages) + "\nservice:";
    if (m_service)
      for (const std::string& line : m_service->log.entries()) text += "\n  " + line;
    if (m_relay) {
      text += "\nrelay at " + m_relay->base() + ":";
      for (const std::string& line : m_relay->forwarded.entries()) text += "\n  " + line;
    }
    return text;
  }
  bool directoryShown(const std::string& channel) {
    return Recorder::waitUntil(
        [&] {
          for (const std::string& e : m_pages.entries())
            if (e.rfind("/loaded?href=" + kLocalBase + "query.php", 0) == 0 && e.find(channel) != std::string::npos)
              return true;
          return false;
        },
        30s);
  }

  // Starts the player, accepts the offer and presses Update Now; the Updates window.
  WindowGeometry acceptAndUpdate() {
    startProgram();
    if (!clickYesIn("Application updates", 30s)) {
      ADD_FAILURE() << "no update offer\n" << diagnosis();
      return {};
    }
    WindowGeometry updates;
    if (!Recorder::waitUntil([&] { return (updates = visibleWindow("Updates")).found(); }, 10s)) {
      ADD_FAILURE() << "the Updates window did not open\n" << diagnosis();
      return {};
    }
    clickAt(1, updates.left + 168 + 37, updates.top + 136 + 12);  // Update Now
    return updates;
  }
  // Close; ignored while a transfer runs, so the window's going means the download has ended.
  bool closeUpdates(const WindowGeometry& updates) {
    return Recorder::waitUntil(
        [&] {
          clickAt(1, updates.left + 248 + 33, updates.top + 136 + 12);
          return !visibleWindow("Updates").found();
        },
        20s);
  }
  // A failed download: nothing recorded, nothing installed, no message, and the program goes on.
  void expectNothingChanged() {
    EXPECT_EQ(readAll(m_app / "config.ini"), m_shippedConfig);
    EXPECT_EQ(readAll(docRoot() / "channels.m3u"), m_shippedChannels);
    EXPECT_FALSE(fs::exists(docRoot() / "update" / "update.zip"));
    EXPECT_EQ(exitThroughMenu([&] { EXPECT_EQ(visibleCount("Zephra Player"), 1) << "a message box"; }), 0)
        << diagnosis();
    EXPECT_EQ(m_pages.count("/loaded?href=" + kLocalBase + "locup.php"), 0);
  }

  LoopbackServer m_observer;
  Recorder m_pages;
  std::optional<ServiceProcess> m_service;
  std::optional<Relay> m_relay;  // the one in use, if any
  std::string m_shippedConfig;
  std::string m_shippedChannels;
};

TEST_F(UpdateJourney, PublishedChannelsAreOfferedDownloadedInstalledAndShownThenNotOfferedAgain) {
  const std::string stamp = m_service->publish(m_root / "content", kNewChannels);
  pointPlayerAt(m_service->base());

  const WindowGeometry updates = acceptAndUpdate();
  ASSERT_TRUE(updates.found());
  EXPECT_EQ(m_service->log.count("127.0.0.1 GET /update.php?t=0 200"), 1);
  // The install request goes out only on the download's final report, the whole package in
  // place; its page (shown in the Updates window) passed the local server's page-cookie check.
  ASSERT_TRUE(Recorder::waitUntil(
      [&] {
        for (const std::string& e : m_pages.entries())
          if (e.rfind("/loaded?href=" + kLocalBase + "locup.php", 0) == 0) return e.find("Update installed") != std::string::npos;
        return false;
      },
      30s))
      << diagnosis();
  EXPECT_EQ(m_service->log.count("127.0.0.1 GET /update/update.zip 200"), 1);
  EXPECT_EQ(readAll(m_app / "config.ini"), stamp + "\r\n");
  EXPECT_EQ(readAll(docRoot() / "channels.m3u"), kNewChannels);
  ASSERT_TRUE(closeUpdates(updates)) << diagnosis();
  ASSERT_EQ(exitThroughMenu(), 0) << diagnosis();

  // The next start: the new channels, and the check with the new stamp offers nothing.
  startProgram();
  ASSERT_TRUE(directoryShown("Journey Channel")) << diagnosis();
  ASSERT_TRUE(m_service->log.waitFor("127.0.0.1 GET /update.php?t=" + stamp + " 200", 20s)) << diagnosis();
  EXPECT_EQ(exitThroughMenu([&] { EXPECT_FALSE(visibleWindow("Application updates").found()); }), 0)
      << diagnosis();
}

TEST_F(UpdateJourney, ServiceDownAtStartShowsNothing) {
  m_service->publish(m_root / "content", kNewChannels);
  pointPlayerAt("http://127.0.0.1:" + std::to_string(unusedLoopbackPort()) + "/");
  startProgram();
  ASSERT_TRUE(directoryShown("Test Card")) << diagnosis();
  EXPECT_EQ(exitThroughMenu([&] {
              EXPECT_FALSE(visibleWindow("Application updates").found());
              EXPECT_EQ(visibleCount("Zephra Player"), 1) << "a message box";
            }),
            0)
      << diagnosis();
  EXPECT_EQ(readAll(m_app / "config.ini"), m_shippedConfig);
}

TEST_F(UpdateJourney, MissingOrCutPackageChangesNothing) {
  m_service->publish(m_root / "content", kNewChannels);
  for (const auto& [package, spoiledWhen] : {std::pair{Relay::Package::Missing, "package"},
                                              std::pair{Relay::Package::Cut, "cut"}}) {
    SCOPED_TRACE(spoiledWhen);
    Relay& relay = m_relay.emplace(m_service->port(), package);
    pointPlayerAt(relay.base());
    const WindowGeometry updates = acceptAndUpdate();
    ASSERT_TRUE(updates.found());
    ASSERT_TRUE(relay.spoiled.waitFor(spoiledWhen, 20s)) << diagnosis();
    ASSERT_TRUE(closeUpdates(updates)) << diagnosis();
    expectNothingChanged();
    m_relay.reset();
  }
}

}  // namespace
}  // namespace zephra::test

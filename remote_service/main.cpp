// zephra-service: the reference remote service of Zephra Player. Answers the player's update
// check, serves the published update package, records channel reports and shows the About and
// Help pages, logging each request on stdout. `zephra-service publish DIR` publishes new content.
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "common/http/http_server.h"
#include "platform/signal_watcher.h"
#include "remote_service/publisher.h"
#include "remote_service/report_store.h"
#include "remote_service/service_options.h"
#include "remote_service/service_pages.h"

namespace fs = std::filesystem;
using zephra::service::ServiceOptions;

namespace {

int publish(const ServiceOptions& options, const std::string& dataDir) {
  zephra::service::Publisher publisher(dataDir);
  const auto result = publisher.publish(options.contentDir);
  std::printf("%s %s (%zu entries)\n", result.unchanged ? "unchanged" : "published",
              result.release.stamp.c_str(), result.entries);
  return 0;
}

int serve(const ServiceOptions& options, const std::string& dataDir) {
  zephra::service::Publisher publisher(dataDir);
  zephra::service::ReportStore reports((fs::path(dataDir) / "reports.sqlite3").string());
  zephra::service::ServicePages pages(publisher, reports);
  std::mutex logMutex;
  zephra::http::Server http([&](const zephra::http::Request& req, zephra::http::Response& res) {
    pages.answer(req, res);
    const std::string line = zephra::service::accessLogLine(req, res.status) + "\n";
    std::lock_guard<std::mutex> lock(logMutex);
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
  });
  const int port = http.bind(options.host, options.port);
  std::printf("listening on %s:%d\n", options.host.c_str(), port);
  std::fflush(stdout);
  if (!zephra::serveUntilSignalled([&] { return http.run(); }, [&] { http.stop(); })) {
    std::fprintf(stderr, "zephra-service: the server stopped with an error\n");
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  zephra::SignalWatcher::blockSignals();
  std::string error;
  const auto options =
      zephra::service::parseServiceOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!options) {
    std::fprintf(stderr, "zephra-service: %s\n%s", error.c_str(),
                 zephra::service::serviceUsage().c_str());
    return 2;
  }
  if (options->command == ServiceOptions::Command::Help) {
    std::fputs(zephra::service::serviceUsage().c_str(), stdout);
    return 0;
  }
  try {
    const std::string dataDir = fs::absolute(options->dataDir.empty()
                                                 ? zephra::service::defaultDataDir()
                                                 : options->dataDir)
                                    .string();
    fs::create_directories(dataDir);
    return options->command == ServiceOptions::Command::Publish ? publish(*options, dataDir)
                                                                : serve(*options, dataDir);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zephra-service: %s\n", e.what());
    return 1;
  }
}

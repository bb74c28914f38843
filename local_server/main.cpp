// zephra-server: the player's local web server. Serves the channel directory, the favorites and
// the local installation of content updates on 127.0.0.1, and shows its presence to the player
// through an unmapped X11 window with a fixed title.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/zephra_constants.h"
#include "platform/instance_lock.h"
#include "local_server/local_server.h"
#include "platform/presence_window.h"
#include "local_server/server_options.h"
#include "platform/signal_watcher.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  // Before any thread exists, so every thread inherits the blocked mask and only the watcher
  // thread ever receives the stop signals.
  zephra::SignalWatcher::blockSignals();

  std::string error;
  const auto options =
      zephra::parseServerOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!options) {
    std::fprintf(stderr, "zephra-server: %s\n%s", error.c_str(), zephra::serverUsage().c_str());
    return 2;
  }
  if (options->help) {
    std::fputs(zephra::serverUsage().c_str(), stdout);
    return 0;
  }

  try {
    const fs::path root =
        fs::absolute(options->root.empty() ? zephra::executableFolder() : options->root);
    zephra::LocalServerConfig config;
    config.docRoot = (root / "Program" / "www" / "localhost").string();
    config.dataDir =
        options->data.empty() ? (root / "Program" / "data").string() : fs::absolute(options->data).string();
    if (!options->recordings.empty()) config.recordings.folder = fs::absolute(options->recordings);

    zephra::InstanceLock lock(zephra::instanceLockPath(config.dataDir));
    if (!lock.held()) {
      // The player starts us whenever it does not see our window yet; that is no error.
      std::fprintf(stderr, "zephra-server: already running for %s\n", config.dataDir.c_str());
      return 0;
    }

    zephra::LocalServer server(config);
    const int port = server.bind(zephra::kLocalServerHost,
                                 options->port < 0 ? zephra::kLocalServerPort : options->port);
    std::printf("listening on %s:%d\n", zephra::kLocalServerHost, port);
    std::fflush(stdout);

    // Created only once the port is bound: a player that sees the window can connect at once.
    std::optional<zephra::PresenceWindow> window;
    const char* display = std::getenv("DISPLAY");
    if (options->window && display && *display) {
      try {
        window.emplace(zephra::kLocalServerWindowTitle);
      } catch (const std::exception& e) {
        std::fprintf(stderr, "zephra-server: no presence window: %s\n", e.what());
      }
    }

    const bool served =
        zephra::serveUntilSignalled([&] { return server.run(); }, [&] { server.stop(); });
    window.reset();
    if (!served) {
      std::fprintf(stderr, "zephra-server: the server stopped with an error\n");
      return 1;
    }
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zephra-server: %s\n", e.what());
    return 1;
  }
}

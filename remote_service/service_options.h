// Command line of zephra-service:
//   zephra-service [--host H] [--port N] [--data DIR]        serve
//   zephra-service publish CONTENT_DIR [--data DIR]           publish new content
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zephra::service {

inline constexpr int kDefaultServicePort = 8490;

struct ServiceOptions {
  enum class Command { Serve, Publish, Help };
  Command command = Command::Serve;
  std::string host = "127.0.0.1";
  int port = kDefaultServicePort;
  std::string dataDir;     // empty: defaultDataDir()
  std::string contentDir;  // publish only
};

// nullopt with `error` set for an unknown option, a missing or bad value.
std::optional<ServiceOptions> parseServiceOptions(const std::vector<std::string>& args,
                                                  std::string& error);
std::string serviceUsage();

// $XDG_DATA_HOME/zephra-service, else ~/.local/share/zephra-service, else ./zephra-service-data.
std::string defaultDataDir();

}  // namespace zephra::service

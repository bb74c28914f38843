#include "remote_service/service_options.h"

#include <cstdlib>

#include "common/text.h"

namespace zephra::service {

std::optional<ServiceOptions> parseServiceOptions(const std::vector<std::string>& args,
                                                  std::string& error) {
  ServiceOptions options;
  std::size_t i = 0;
  if (!args.empty() && args[0] == "publish") {
    options.command = ServiceOptions::Command::Publish;
    if (args.size() < 2 || args[1].rfind("--", 0) == 0) {
      error = "publish needs the content folder";
      return std::nullopt;
    }
    options.contentDir = args[1];
    i = 2;
  }
  for (; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    const bool serving = options.command == ServiceOptions::Command::Serve;
    if ((arg == "--host" || arg == "--port") && !serving) {
      error = arg + " is an option of serving, not of publish";
      return std::nullopt;
    }
    if ((arg == "--host" || arg == "--port" || arg == "--data") && !hasValue) {
      error = arg + " needs a value";
      return std::nullopt;
    }
    if (arg == "--host") {
      options.host = args[++i];
      if (options.host.empty()) {
        error = "--host needs an address";
        return std::nullopt;
      }
    } else if (arg == "--port") {
      const auto port = text::wholeNumber(args[++i], 65535);
      if (!port) {
        error = "--port needs a number from 0 to 65535";
        return std::nullopt;
      }
      options.port = static_cast<int>(*port);
    } else if (arg == "--data") {
      options.dataDir = args[++i];
    } else if (arg == "--help" || arg == "-h") {
      options.command = ServiceOptions::Command::Help;
    } else {
      error = "unknown option " + arg;
      return std::nullopt;
    }
  }
  return options;
}

std::string serviceUsage() {
  return "usage: zephra-service [--host ADDRESS] [--port N] [--data DIR]\n"
         "       zephra-service publish CONTENT_DIR [--data DIR]\n"
         "  --host ADDRESS  listen on this IPv4 address (default 127.0.0.1; 0.0.0.0 for all)\n"
         "  --port N        listen on port N (default 8490; 0 = any free port, printed on stdout)\n"
         "  --data DIR      published packages and reports (default\n"
         "                  $XDG_DATA_HOME/zephra-service)\n"
         "  publish         makes update.zip from CONTENT_DIR the current update, under a new\n"
         "                  stamp; a running service serves it at once\n";
}

std::string defaultDataDir() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && *xdg == '/') return std::string(xdg) + "/zephra-service";
  const char* home = std::getenv("HOME");
  if (home && *home) return std::string(home) + "/.local/share/zephra-service";
  return "zephra-service-data";
}

}  // namespace zephra::service

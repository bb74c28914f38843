#include "local_server/server_options.h"

#include <filesystem>
#include <stdexcept>

#include "platform/app_dir.h"

#include "common/text.h"

namespace zephra {

std::optional<ServerOptions> parseServerOptions(const std::vector<std::string>& args,
                                                std::string& error) {
  ServerOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= args.size()) {
        error = arg + " needs a value";
        return std::nullopt;
      }
      return args[++i];
    };
    if (arg == "--port") {
      const auto text = value();
      if (!text) return std::nullopt;
      const auto port = text::wholeNumber(*text, 65535);
      if (!port) {
        error = "--port needs a number from 0 to 65535";
        return std::nullopt;
      }
      options.port = static_cast<int>(*port);
    } else if (arg == "--root") {
      const auto text = value();
      if (!text) return std::nullopt;
      options.root = *text;
    } else if (arg == "--data") {
      const auto text = value();
      if (!text) return std::nullopt;
      options.data = *text;
    } else if (arg == "--recordings") {
      const auto text = value();
      if (!text) return std::nullopt;
      options.recordings = *text;
    } else if (arg == "--no-window") {
      options.window = false;
    } else if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else {
      error = "unknown option " + arg;
      return std::nullopt;
    }
  }
  return options;
}

std::string serverUsage() {
  return "usage: zephra-server [--port N] [--root LIBDIR] [--data DIR] [--recordings DIR] [--no-window]\n"
         "  --port N      listen on 127.0.0.1:N (0 = any free port, printed on stdout)\n"
         "  --root LIBDIR the lib/ folder holding Program/www/localhost (default: this\n"
         "                program's folder)\n"
         "  --data DIR    favorites database folder (default: LIBDIR/Program/data)\n"
         "  --recordings DIR  where scheduled recordings go (default: \"Zephra Player\" in\n"
         "                the videos folder)\n"
         "  --no-window   do not create the presence window for the player\n";
}

std::string executableFolder() {
  try {
    std::string folder = executableDir();
    if (folder.size() > 1) folder.pop_back();  // the trailing separator
    return folder;
  } catch (const std::runtime_error&) {
    return std::filesystem::current_path().string();
  }
}

}  // namespace zephra

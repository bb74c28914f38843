// Command line of zephra-server. The player starts it without arguments; the options serve tests
// and people running several copies side by side.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zephra {

struct ServerOptions {
  int port = -1;            // -1: the fixed port shared with the player; 0: any free port
  std::string root;         // the lib/ folder; empty: the executable's folder
  std::string data;         // favorites folder; empty: <root>/Program/data
  std::string recordings;   // recordings folder; empty: the user's videos folder's
  bool window = true;       // create the presence window when a display is there
  bool help = false;
};

// nullopt with `error` set for an unknown option or a bad value.
std::optional<ServerOptions> parseServerOptions(const std::vector<std::string>& args,
                                                std::string& error);

std::string serverUsage();

// The folder of the running executable, without a trailing "/".
std::string executableFolder();

}  // namespace zephra

#include "player_logic/local_server_secret.h"

#include "player_logic/first_line.h"

namespace zephra {

std::string readLocalServerSecret(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    std::string line;
    try {
      line = readFirstLine(path, 256);
    } catch (const FileError&) {
      continue;
    }
    if (line.size() == 64 && line.find_first_not_of("0123456789abcdef") == std::string::npos)
      return line;
  }
  return {};
}

}  // namespace zephra

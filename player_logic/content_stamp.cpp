#include "player_logic/content_stamp.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include <unistd.h>

namespace zephra {

std::string readContentStamp(const std::string& path) {
  const std::string line = readFirstLine(path);
  std::string stamp;
  stamp.reserve(line.size());
  for (char c : line)
    if (c != '\r') stamp += c;
  return stamp;
}

void writeContentStamp(const std::string& path, const std::string& stamp) {
  const std::string temp = path + ".tmp";
  FILE* out = std::fopen(temp.c_str(), "wb");
  if (!out) throw FileError("Cannot create " + temp + ": " + std::strerror(errno));
  const std::string line = stamp + "\r\n";
  // On the disk before the rename, so that a crash leaves the old file or the whole new one.
  bool written = std::fwrite(line.data(), 1, line.size(), out) == line.size() && std::fflush(out) == 0 &&
                 ::fsync(::fileno(out)) == 0;
  int error = errno;
  if (std::fclose(out) != 0 && written) {
    written = false;
    error = errno;
  }
  if (!written) {
    std::remove(temp.c_str());
    throw FileError("Cannot write " + temp + ": " + std::strerror(error));
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    const int err = errno;
    std::remove(temp.c_str());
    throw FileError("Cannot replace " + path + ": " + std::strerror(err));
  }
}

}  // namespace zephra
